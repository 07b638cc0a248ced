#include "mesh/MeshSupportTypes.h"

#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxNode.h>

#include "dg/NodeTypeRegistry.h"

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
  kPolyTweakKind,
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
        {"inputPolymesh", "ip", "output", "out"}, {"inputPolymesh", "ip", "output", "out"},
        {"inputPolymesh", "ip", "output", "out"}};
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
  static MObject input;
  static MObject output;
};

template <int Kind>
MObject MeshHistoryNode<Kind>::input;
template <int Kind>
MObject MeshHistoryNode<Kind>::output;

using MeshCacheNode = MeshHistoryNode<kMeshCacheKind>;
using GroupPartsNode = MeshHistoryNode<kGroupPartsKind>;
using PolyEditNode = MeshHistoryNode<kPolyModifierKind>;
using MeshCopyNode = MeshHistoryNode<kPolyMeshCopyKind>;
using PolyTweakNode = MeshHistoryNode<kPolyTweakKind>;
using ColourPerVertexNode = MeshHistoryNode<kPolyColorPerVertexKind>;
using ColourSetNode = MeshHistoryNode<kPolyColorSetKind>;

}  // namespace

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
  registry.registerBuiltin("polyColorPerVertex", MTypeId(kPolyColorPerVertexTypeId), &ColourPerVertexNode::creator,
                           &ColourPerVertexNode::initialize, MFn::kPolyColorPerVertex,
                           {MFn::kPolyColorPerVertex, MFn::kDependencyNode});
  registry.registerBuiltin("polyColorSet", MTypeId(kPolyColorSetTypeId), &ColourSetNode::creator,
                           &ColourSetNode::initialize, MFn::kPolyColorSet, {MFn::kPolyColorSet, MFn::kDependencyNode});
}

}  // namespace zovhost
