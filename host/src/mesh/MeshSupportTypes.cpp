#include "mesh/MeshSupportTypes.h"

#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxNode.h>

#include <maya/MFnDependencyNode.h>

#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/MeshData.h"
#include "mesh/MeshSupportTypes.h"

namespace zovhost {

namespace {

// The host's own type ids.
constexpr unsigned int kFileTextureTypeId = 0x52544654;
constexpr unsigned int kCheckerTypeId = 0x52544348;
constexpr unsigned int kMeshCacheTypeId = 0x4D434143;
constexpr unsigned int kGroupPartsTypeId = 0x47525050;
constexpr unsigned int kPolyModifierTypeId = 0x504D4F44;
constexpr unsigned int kPolyMeshCopyTypeId = 0x504D4350;
constexpr unsigned int kPolyTweakTypeId = 0x50545745;
constexpr unsigned int kPolyNormalPerVertexTypeId = 0x504E5056;
constexpr unsigned int kPolyColorPerVertexTypeId = 0x50435056;
constexpr unsigned int kPolyColorSetTypeId = 0x50435354;

class TextureNode : public MPxNode {
 public:
  static void* creator() { return new TextureNode; }
  static MStatus initialize() {
    MFnTypedAttribute typed;
    uvSetLinks = typed.create("uvSetLinks", "uvsl", MFnData::kString);
    typed.setArray(true);
    typed.setIndexMatters(false);
    typed.setStorable(false);
    return addAttribute(uvSetLinks);
  }
  static MObject uvSetLinks;
};

MObject TextureNode::uvSetLinks;

/// Kinds of mesh history nodes: each names its input and output plugs in its
/// own way, and each has a class of its own (static attributes belong to one
/// node type).
enum MeshHistoryKind {
  kMeshCacheKind,
  kGroupPartsKind,
  kPolyModifierKind,
  kPolyMeshCopyKind,
  kPolyColorPerVertexKind,
  kPolyColorSetKind
};

/// A node that gives the mesh on its input unchanged: a mesh cache, or a
/// node of a mesh's history.
template <int Kind>
class MeshHistoryNode : public MPxNode {
 public:
  static void* creator() { return new MeshHistoryNode; }
  static MStatus initialize() {
    static const char* const names[][4] = {
        {"inMesh", "i", "outMesh", "o"},          {"inputGeometry", "ig", "outputGeometry", "og"},
        {"inputPolymesh", "ip", "output", "out"}, {"inMesh", "im", "outMesh", "om"},
        {"inputPolymesh", "ip", "output", "out"}, {"inputPolymesh", "ip", "output", "out"}};
    const char* const* name = names[Kind];
    MFnTypedAttribute typed;
    input = typed.create(name[0], name[1], MFnData::kMesh);
    output = typed.create(name[2], name[3], MFnData::kMesh);
    typed.setWritable(false);
    typed.setStorable(false);
    addAttribute(input);
    addAttribute(output);
    attributeAffects(input, output);
    return MS::kSuccess;
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != output) return MS::kUnknownParameter;
    block.outputValue(output).set(block.inputValue(input).data());
    block.setClean(plug);
    return MS::kSuccess;
  }
  inline static MObject input;
  inline static MObject output;
};

using MeshCacheNode = MeshHistoryNode<kMeshCacheKind>;
using GroupPartsNode = MeshHistoryNode<kGroupPartsKind>;
using PolyEditNode = MeshHistoryNode<kPolyModifierKind>;
using MeshCopyNode = MeshHistoryNode<kPolyMeshCopyKind>;
using ColourPerVertexNode = MeshHistoryNode<kPolyColorPerVertexKind>;
using ColourSetNode = MeshHistoryNode<kPolyColorSetKind>;

/// A mesh edit that works per vertex: the mesh on "inputPolymesh" goes to
/// "output" with one float3 element per vertex (by logical index) applied:
/// the vertex-tweak node adds its elements to the points, the per-vertex
/// normal node gives every face-vertex of a listed vertex that normal.
template <bool Normals>
class PerVertexEditNode : public MPxNode {
 public:
  static void* creator() { return new PerVertexEditNode; }
  static MStatus initialize() {
    MFnTypedAttribute typed;
    input = typed.create("inputPolymesh", "ip", MFnData::kMesh);
    output = typed.create("output", "out", MFnData::kMesh);
    typed.setWritable(false);
    typed.setStorable(false);
    values = float3Array(Normals ? "vertexNormal" : "tweak", Normals ? "vn" : "tk");
    addAttribute(input);
    addAttribute(output);
    addAttribute(values);
    attributeAffects(input, output);
    attributeAffects(values, output);
    return MS::kSuccess;
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != output) return MS::kUnknownParameter;
    const auto in = meshDataOf(block.inputValue(input).data());
    if (!in || !in->geometry) {
      block.outputValue(output).set(MObject());
      block.setClean(plug);
      return MS::kSuccess;
    }
    auto geometry = std::make_shared<MeshGeometry>(*in->geometry);
    for (const auto& [vertex, value] : float3Elements(MPlug(thisMObject(), values))) {
      if (!geometry->validVertex(vertex)) continue;
      if (Normals) {
        for (int k = 0; k < geometry->faceVertexCount(); ++k)
          if (geometry->connects()[static_cast<size_t>(k)] == vertex) geometry->setFaceVertexNormal(k, value);
      } else {
        const MFloatPoint& p = geometry->points()[static_cast<size_t>(vertex)];
        geometry->setPoint(vertex, MFloatPoint(p.x + value.x, p.y + value.y, p.z + value.z));
      }
    }
    block.outputValue(output).set(MObject(std::make_shared<MeshData>(geometry)));
    block.setClean(plug);
    return MS::kSuccess;
  }
  inline static MObject input;
  inline static MObject output;
  inline static MObject values;
};

using PolyTweakNode = PerVertexEditNode<false>;
using NormalPerVertexNode = PerVertexEditNode<true>;

}  // namespace

MObject float3Array(const char* longName, const char* shortName) {
  MFnNumericAttribute numeric;
  const std::string full(longName);
  const std::string brief(shortName);
  MObject components[3];
  const char axes[] = {'x', 'y', 'z'};
  for (int i = 0; i < 3; ++i)
    components[i] = numeric.create((full + axes[i]).c_str(), (brief + axes[i]).c_str(), MFnNumericData::kFloat, 0.0);
  const MObject attribute = numeric.create(longName, shortName, components[0], components[1], components[2]);
  numeric.setArray(true);
  return attribute;
}

MObject normalEditAbove(const std::shared_ptr<NodeImpl>& mesh) {
  const MPlug in = MFnDependencyNode(MObject(mesh)).findPlug("inMesh");
  const MPlug upstream = in.isNull() ? MPlug() : in.source();
  if (upstream.isNull()) return MObject();
  if (upstream.node().apiType() == MFn::kPolyNormalPerVertex) return upstream.node();
  MStatus status;
  const auto edit = sceneGraph().instantiate(nodeTypeRegistry().find("polyNormalPerVertex"), &status);
  if (!edit || !sceneGraph().add(edit)) return MObject();
  const MObject node(edit);
  sceneGraph().disconnect(upstream, in, true);
  sceneGraph().connect(upstream, MPlug(node, NormalPerVertexNode::input));
  sceneGraph().connect(MPlug(node, NormalPerVertexNode::output), in);
  return node;
}

std::vector<std::pair<int, MFloatVector>> float3Elements(const MPlug& array) {
  std::vector<std::pair<int, MFloatVector>> result;
  for (unsigned int i = 0; i < array.numElements(); ++i) {
    const MPlug element = array.elementByPhysicalIndex(i);
    if (element.numChildren() < 3) continue;
    const MFloatVector value(element.child(0).asFloat(), element.child(1).asFloat(), element.child(2).asFloat());
    result.emplace_back(static_cast<int>(element.logicalIndex()), value);
  }
  return result;
}

void registerMeshSupportTypes(NodeTypeRegistry& registry) {
  registry.registerBuiltin("file", MTypeId(kFileTextureTypeId), &TextureNode::creator, &TextureNode::initialize,
                           MFn::kFileTexture, {MFn::kFileTexture, MFn::kTexture2d, MFn::kDependencyNode},
                           {"texture2d"});
  registry.registerBuiltin("checker", MTypeId(kCheckerTypeId), &TextureNode::creator, &TextureNode::initialize,
                           MFn::kTexture2d, {MFn::kTexture2d, MFn::kDependencyNode}, {"texture2d"});
  registry.registerBuiltin("meshCache", MTypeId(kMeshCacheTypeId), &MeshCacheNode::creator, &MeshCacheNode::initialize,
                           MFn::kMeshCache, {MFn::kMeshCache, MFn::kDependencyNode});
  registry.registerBuiltin("groupParts", MTypeId(kGroupPartsTypeId), &GroupPartsNode::creator,
                           &GroupPartsNode::initialize, MFn::kGroupParts, {MFn::kGroupParts, MFn::kDependencyNode});
  registry.registerBuiltin("polyModifier", MTypeId(kPolyModifierTypeId), &PolyEditNode::creator,
                           &PolyEditNode::initialize, MFn::kPolyModifierNode,
                           {MFn::kPolyModifierNode, MFn::kDependencyNode});
  registry.registerBuiltin("polyMeshCopy", MTypeId(kPolyMeshCopyTypeId), &MeshCopyNode::creator,
                           &MeshCopyNode::initialize, MFn::kPolyMeshCopy, {MFn::kPolyMeshCopy, MFn::kDependencyNode});
  registry.registerBuiltin("polyTweak", MTypeId(kPolyTweakTypeId), &PolyTweakNode::creator, &PolyTweakNode::initialize,
                           MFn::kPolyTweak, {MFn::kPolyTweak, MFn::kDependencyNode});
  registry.registerBuiltin("polyNormalPerVertex", MTypeId(kPolyNormalPerVertexTypeId), &NormalPerVertexNode::creator,
                           &NormalPerVertexNode::initialize, MFn::kPolyNormalPerVertex,
                           {MFn::kPolyNormalPerVertex, MFn::kDependencyNode});
  registry.registerBuiltin("polyColorPerVertex", MTypeId(kPolyColorPerVertexTypeId), &ColourPerVertexNode::creator,
                           &ColourPerVertexNode::initialize, MFn::kPolyColorPerVertex,
                           {MFn::kPolyColorPerVertex, MFn::kDependencyNode});
  registry.registerBuiltin("polyColorSet", MTypeId(kPolyColorSetTypeId), &ColourSetNode::creator,
                           &ColourSetNode::initialize, MFn::kPolyColorSet, {MFn::kPolyColorSet, MFn::kDependencyNode});
}

}  // namespace zovhost
