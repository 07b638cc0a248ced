#include "dag/FieldNode.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPlug.h>

#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"

namespace zovhost {

namespace {

// The host's own type ids.
constexpr unsigned int kUniformFieldTypeId = 0x46554E49;
constexpr unsigned int kGravityFieldTypeId = 0x46475241;

/// The field attributes of the type being initialised, after the transform's.
MStatus addFieldAttributes(double initialMagnitude, const MVector& initialDirection) {
  TransformNode::inheritInto(*nodeTypeRegistry().initializing());
  MFnNumericAttribute numeric;
  const MObject magnitude = numeric.create("magnitude", "mag", MFnNumericData::kDouble, initialMagnitude);
  numeric.setKeyable(true);
  const char* const longNames[] = {"directionX", "directionY", "directionZ"};
  const char* const shortNames[] = {"dx", "dy", "dz"};
  MObject axes[3];
  for (unsigned int i = 0; i < 3; ++i) {
    axes[i] = numeric.create(longNames[i], shortNames[i], MFnNumericData::kDouble, initialDirection[i]);
    numeric.setKeyable(true);
  }
  const MObject direction = numeric.create("direction", "d", axes[0], axes[1], axes[2]);
  const MObject maxDistance = numeric.create("maxDistance", "max", MFnNumericData::kDouble, -1.0);
  const MObject useMaxDistance = numeric.create("useMaxDistance", "umd", MFnNumericData::kBoolean, 0.0);
  for (const MObject* attribute : {&magnitude, &direction, &maxDistance, &useMaxDistance}) {
    const MStatus status = MPxNode::addAttribute(*attribute);
    if (!status) return status;
  }
  return MS::kSuccess;
}

double fieldNumber(const MObject& node, const char* name) { return MFnDependencyNode(node).findPlug(name).asDouble(); }

}  // namespace

MStatus FieldNode::initializeUniform() { return addFieldAttributes(1.0, MVector(1.0, 0.0, 0.0)); }
MStatus FieldNode::initializeGravity() { return addFieldAttributes(9.8, MVector(0.0, -1.0, 0.0)); }

void FieldNode::forces(const std::shared_ptr<NodeImpl>& field, const MVectorArray& points, const MDoubleArray& masses,
                       MVectorArray& result) {
  const MObject node(field);
  MVector along(fieldNumber(node, "directionX"), fieldNumber(node, "directionY"), fieldNumber(node, "directionZ"));
  const double length = along.length();
  along = length > 0.0 ? along / length : MVector();
  const double size = fieldNumber(node, "magnitude");
  const bool reachUsed = fieldNumber(node, "useMaxDistance") != 0.0;
  const double reach = fieldNumber(node, "maxDistance");
  const MMatrix world = DagNode::worldMatrixOf(field, 0);
  const MVector centre(world(3, 0), world(3, 1), world(3, 2));
  const bool gravity = field->hasFn(MFn::kGravity);
  result.setLength(points.length());
  for (unsigned int i = 0; i < points.length(); ++i) {
    const bool reached = !reachUsed || reach < 0.0 || (points[i] - centre).length() <= reach;
    result[i] = reached ? along * (gravity ? size * masses[i] : size) : MVector();
  }
}

void registerFieldNodeTypes(NodeTypeRegistry& registry) {
  const std::vector<std::string> bases = {"dagNode", "transform", "dynBase", "field"};
  registry.registerBuiltin("uniformField", MTypeId(kUniformFieldTypeId), &FieldNode::creator,
                           &FieldNode::initializeUniform, MFn::kUniform,
                           {MFn::kUniform, MFn::kField, MFn::kTransform, MFn::kDagNode, MFn::kDependencyNode}, bases);
  registry.registerBuiltin("gravityField", MTypeId(kGravityFieldTypeId), &FieldNode::creator,
                           &FieldNode::initializeGravity, MFn::kGravity,
                           {MFn::kGravity, MFn::kField, MFn::kTransform, MFn::kDagNode, MFn::kDependencyNode}, bases);
}

}  // namespace zovhost
