#include "dag/MotionPathNode.h"

#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MPlug.h>

#include "dag/CurveNode.h"
#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"

namespace zovhost {

namespace {

// The host's own type id.
constexpr unsigned int kMotionPathTypeId = 0x4D505448;

}  // namespace

MObject MotionPathNode::message;
MObject MotionPathNode::geometryPath;
MObject MotionPathNode::uValue;
MObject MotionPathNode::fractionMode;
MObject MotionPathNode::allCoordinates;

MStatus MotionPathNode::initialize() {
  MFnMessageAttribute messageFn;
  message = messageFn.create("message", "msg");
  geometryPath = messageFn.create("geometryPath", "gp");
  MFnNumericAttribute numeric;
  uValue = numeric.create("uValue", "u", MFnNumericData::kDouble, 0.0);
  numeric.setKeyable(true);
  fractionMode = numeric.create("fractionMode", "fm", MFnNumericData::kBoolean, 0.0);
  MFnUnitAttribute unit;
  const char* const longNames[] = {"xCoordinate", "yCoordinate", "zCoordinate"};
  const char* const shortNames[] = {"xc", "yc", "zc"};
  MObject axes[3];
  for (unsigned int i = 0; i < 3; ++i) axes[i] = unit.create(longNames[i], shortNames[i], MFnUnitAttribute::kDistance);
  allCoordinates = numeric.create("allCoordinates", "ac", axes[0], axes[1], axes[2]);
  numeric.setWritable(false);
  numeric.setStorable(false);
  for (const MObject* attribute : {&message, &geometryPath, &uValue, &fractionMode, &allCoordinates}) {
    const MStatus status = addAttribute(*attribute);
    if (!status) return status;
  }
  for (const MObject* cause : {&geometryPath, &uValue, &fractionMode}) attributeAffects(*cause, allCoordinates);
  return MS::kSuccess;
}

MStatus MotionPathNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug != allCoordinates && plug.parent() != allCoordinates) return MS::kUnknownParameter;
  MPoint point;
  const MPlug source = MPlug(thisMObject(), geometryPath).source();
  const std::shared_ptr<NodeImpl> curve = source.isNull() ? nullptr : source.nodeImpl();
  if (curve && curve->hasFn(MFn::kNurbsCurve)) {
    const CurveData data = CurveNode::data(curve);
    double u = block.inputValue(uValue).asDouble();
    if (block.inputValue(fractionMode).asBool()) u = data.paramAtLengthFraction(u);
    const unsigned int instance = source.isElement() ? source.logicalIndex() : 0;
    point = data.pointAt(u) * DagNode::worldMatrixOf(curve, instance);
  }
  block.outputValue(allCoordinates).set3Double(point.x, point.y, point.z);
  block.setClean(allCoordinates);
  return MS::kSuccess;
}

void registerMotionPathNodeType(NodeTypeRegistry& registry) {
  registry.registerBuiltin("motionPath", MTypeId(kMotionPathTypeId), &MotionPathNode::creator,
                           &MotionPathNode::initialize, MFn::kMotionPath, {MFn::kMotionPath, MFn::kDependencyNode});
}

}  // namespace zovhost
