#include "mesh/MeshNode.h"

#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>

#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/BlindDataTypes.h"
#include "mesh/MeshData.h"
#include "mesh/MeshSupportTypes.h"

namespace zovhost {

namespace {

// The host's own type id of the mesh shape.
constexpr unsigned int kMeshTypeId = 0x444D5348;

std::shared_ptr<const MeshGeometry> geometryIn(const MObject& data) {
  const auto mesh = meshDataOf(data);
  return mesh && mesh->geometry ? mesh->geometry : std::make_shared<MeshGeometry>();
}

/// The mesh with the node's tweaks (its "pnts" elements) added to, or with
/// sign -1 taken from, its points.
std::shared_ptr<const MeshGeometry> withTweaks(const std::shared_ptr<NodeImpl>& node,
                                               std::shared_ptr<const MeshGeometry> geometry, float sign) {
  const auto tweaks = float3Elements(MPlug(MObject(node), MeshNode::pnts));
  std::shared_ptr<MeshGeometry> moved;
  for (const auto& [vertex, offset] : tweaks) {
    if (!geometry->validVertex(vertex) || (offset.x == 0.0f && offset.y == 0.0f && offset.z == 0.0f)) continue;
    if (!moved) moved = std::make_shared<MeshGeometry>(*geometry);
    const MFloatPoint& p = moved->points()[static_cast<size_t>(vertex)];
    moved->setPoint(vertex, MFloatPoint(p.x + sign * offset.x, p.y + sign * offset.y, p.z + sign * offset.z));
  }
  return moved ? moved : geometry;
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
MObject MeshNode::pnts;
MObject MeshNode::blindDataNodes;

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
  pnts = float3Array("pnts", "pt");
  blindDataNodes = message.create("blindDataNodes", "bdn");
  message.setArray(true);
  for (const MObject* attribute : {&inMesh, &outMesh, &worldMesh, &instObjGroups, &objectGrpCompList, &displayColors,
                                   &uvSet, &pnts, &blindDataNodes})
    addAttribute(*attribute);
  attributeAffects(inMesh, outMesh);
  attributeAffects(inMesh, worldMesh);
  attributeAffects(pnts, outMesh);
  attributeAffects(pnts, worldMesh);
  attributeAffects(DagNode::worldMatrix, worldMesh);
  return MS::kSuccess;
}

MStatus MeshNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == outMesh) {
    const auto geometry = withTweaks(plug.nodeImpl(), geometryIn(block.inputValue(inMesh).data()), 1.0f);
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
  // The tweaks stay where they are and still apply on top of the new mesh.
  const MStatus status = plug.setValue(MObject(std::make_shared<MeshData>(withTweaks(node, geometry, -1.0f))));
  if (status) linkBlindDataTypes(node, *geometry);
  return status;
}

void MeshNode::outMeshStored(const MPlug& plug) {
  if (plug != outMesh) return;
  MPlug in(plug.node(), inMesh);
  if (in.isDestination()) return;
  const auto data = meshDataOf(plug.asMObject());
  if (data && data->geometry) setGeometry(plug.nodeImpl(), data->geometry);
}

MBoundingBox MeshNode::objectBoundingBox() const { return geometry(nodeOf(thisMObject()))->boundingBox(); }

void registerMeshNodeType(NodeTypeRegistry& registry) {
  const auto type =
      registry.registerBuiltin("mesh", MTypeId(kMeshTypeId), &MeshNode::creator, &MeshNode::initialize, MFn::kMesh,
                               {MFn::kMesh, MFn::kGeometric, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode},
                               {"dagNode", "shape", "geometryShape", "surfaceShape"});
  type->defaultName = "polySurfaceShape";
  type->dataStored = &MeshNode::outMeshStored;
  type->parentDefaultName = "polySurface";
}

}  // namespace zovhost
