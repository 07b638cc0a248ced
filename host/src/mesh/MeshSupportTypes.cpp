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

class MeshCacheNode : public MPxNode {
 public:
  static void* creator() { return new MeshCacheNode; }
  static MStatus initialize() {
    MFnTypedAttribute typed;
    inMesh = typed.create("inMesh", "i", MFnData::kMesh);
    outMesh = typed.create("outMesh", "o", MFnData::kMesh);
    typed.setWritable(false);
    typed.setStorable(false);
    addAttribute(inMesh);
    addAttribute(outMesh);
    attributeAffects(inMesh, outMesh);
    return MS::kSuccess;
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != outMesh) return MS::kUnknownParameter;
    block.outputValue(outMesh).set(block.inputValue(inMesh).data());
    block.setClean(plug);
    return MS::kSuccess;
  }
  static MObject inMesh;
  static MObject outMesh;
};

MObject MeshCacheNode::inMesh;
MObject MeshCacheNode::outMesh;

}  // namespace

void registerMeshSupportTypes(NodeTypeRegistry& registry) {
  registry.registerBuiltin("file", MTypeId(kFileTextureTypeId), &TextureNode::creator, &TextureNode::initialize,
                           MFn::kFileTexture, {MFn::kFileTexture, MFn::kTexture2d, MFn::kDependencyNode},
                           {"texture2d"});
  registry.registerBuiltin("checker", MTypeId(kCheckerTypeId), &TextureNode::creator, &TextureNode::initialize,
                           MFn::kTexture2d, {MFn::kTexture2d, MFn::kDependencyNode}, {"texture2d"});
  registry.registerBuiltin("meshCache", MTypeId(kMeshCacheTypeId), &MeshCacheNode::creator, &MeshCacheNode::initialize,
                           MFn::kMeshCache, {MFn::kMeshCache, MFn::kDependencyNode});
}

}  // namespace zovhost
