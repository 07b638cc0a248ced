#include "mesh/MeshNode.h"

#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>

#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/MeshData.h"

namespace zovhost {

namespace {

// The host's own type id of the mesh shape.
constexpr unsigned int kMeshTypeId = 0x444D5348;

std::shared_ptr<const MeshGeometry> geometryIn(const MObject& data) {
  const auto mesh = meshDataOf(data);
  return mesh && mesh->geometry ? mesh->geometry : std::make_shared<MeshGeometry>();
}

}  // namespace

MObject MeshNode::inMesh;
MObject MeshNode::outMesh;
MObject MeshNode::worldMesh;
MObject MeshNode::instObjGroups;
MObject MeshNode::objectGrpCompList;
MObject MeshNode::displayColors;
MObject MeshNode::uvSet;
MObject MeshNode::uvSetName;

MStatus MeshNode::initialize() {
  MFnTypedAttribute typed;
  inMesh = typed.create("inMesh", "i", MFnData::kMesh);
  typed.setHidden(true);
  outMesh = typed.create("outMesh", "o", MFnData::kMesh);
  typed.setWritable(false);
  typed.setStorable(false);
  typed.setHidden(true);
  worldMesh = typed.create("worldMesh", "w", MFnData::kMesh);
  typed.setWritable(false);
  typed.setStorable(false);
  typed.setArray(true);
  attributeOf(worldMesh)->worldSpace = true;
  MFnMessageAttribute message;
  instObjGroups = message.create("instObjGroups", "iog");
  message.setArray(true);
  objectGrpCompList = typed.create("objectGrpCompList", "gcl", MFnData::kString);
  typed.setArray(true);
  typed.setHidden(true);
  MFnNumericAttribute numeric;
  displayColors = numeric.create("displayColors", "dcol", MFnNumericData::kBoolean, 0.0);
  uvSetName = typed.create("uvSetName", "uvsn", MFnData::kString);
  typed.setStorable(false);
  MFnCompoundAttribute compound;
  uvSet = compound.create("uvSet", "uvst");
  compound.addChild(uvSetName);
  compound.setArray(true);
  compound.setStorable(false);
  for (const MObject* attribute :
       {&inMesh, &outMesh, &worldMesh, &instObjGroups, &objectGrpCompList, &displayColors, &uvSet})
    addAttribute(*attribute);
  attributeAffects(inMesh, outMesh);
  attributeAffects(inMesh, worldMesh);
  attributeAffects(DagNode::worldMatrix, worldMesh);
  return MS::kSuccess;
}

MStatus MeshNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == outMesh) {
    const auto geometry = geometryIn(block.inputValue(inMesh).data());
    block.outputValue(plug).set(MObject(std::make_shared<MeshData>(geometry)));
  } else if (plug == worldMesh && plug.isElement()) {
    const auto geometry = geometryIn(block.inputValue(outMesh).data());
    const MMatrix world = DagNode::worldMatrixOf(plug.nodeImpl(), plug.logicalIndex());
    block.outputValue(plug).set(MObject(std::make_shared<MeshData>(geometry, world)));
  } else {
    return MS::kUnknownParameter;
  }
  block.setClean(plug);
  return MS::kSuccess;
}

std::shared_ptr<const MeshGeometry> MeshNode::geometry(const std::shared_ptr<NodeImpl>& node) {
  return geometryIn(MPlug(MObject(node), outMesh).asMObject());
}

MStatus MeshNode::setGeometry(const std::shared_ptr<NodeImpl>& node, std::shared_ptr<const MeshGeometry> geometry) {
  MPlug plug(MObject(node), inMesh);
  if (plug.isNull()) return MS::kInvalidParameter;
  if (plug.isDestination()) return MS::kFailure;
  return plug.setValue(MObject(std::make_shared<MeshData>(std::move(geometry))));
}

MBoundingBox MeshNode::objectBoundingBox() const { return geometry(nodeOf(thisMObject()))->boundingBox(); }

void registerMeshNodeType(NodeTypeRegistry& registry) {
  const auto type =
      registry.registerBuiltin("mesh", MTypeId(kMeshTypeId), &MeshNode::creator, &MeshNode::initialize, MFn::kMesh,
                               {MFn::kMesh, MFn::kGeometric, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode},
                               {"dagNode", "shape", "geometryShape", "surfaceShape"});
  type->defaultName = "polySurfaceShape";
  type->parentDefaultName = "polySurface";
}

}  // namespace zovhost
