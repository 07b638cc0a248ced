#include "time/AnimCurveNode.h"

#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MIntArray.h>
#include <maya/MPlug.h>

#include "dg/NodeTypeRegistry.h"

#include <algorithm>

namespace zovhost {

namespace {

// The host's own type ids of the curve types.
constexpr unsigned int kAnimCurveTLTypeId = 0x41435443;
constexpr unsigned int kAnimCurveTATypeId = 0x41435441;
constexpr unsigned int kAnimCurveTUTypeId = 0x41435455;

}  // namespace

namespace {

/// The attributes of one curve type: output is a length, an angle or a
/// plain number. The types get attributes of their own, which compute and
/// the readers find by name.
MStatus initializeCurve(MFnUnitAttribute::Type outputUnit) {
  MObject input, output, keyTimeValue, keyTime, keyValue;
  MFnUnitAttribute unit;
  input = unit.create("input", "i", MFnUnitAttribute::kTime, 0.0);
  unit.setStorable(false);
  MFnNumericAttribute numeric;
  if (outputUnit == MFnUnitAttribute::kInvalid) {
    output = numeric.create("output", "o", MFnNumericData::kDouble, 0.0);
    numeric.setWritable(false);
    numeric.setStorable(false);
  } else {
    output = unit.create("output", "o", outputUnit, 0.0);
    unit.setWritable(false);
    unit.setStorable(false);
  }
  keyTime = unit.create("keyTime", "kt", MFnUnitAttribute::kTime, 0.0);
  keyValue = numeric.create("keyValue", "kv", MFnNumericData::kDouble, 0.0);
  MFnCompoundAttribute compound;
  keyTimeValue = compound.create("keyTimeValue", "ktv");
  compound.addChild(keyTime);
  compound.addChild(keyValue);
  compound.setArray(true);
  for (const MObject* attribute : {&input, &output, &keyTimeValue}) MPxNode::addAttribute(*attribute);
  for (const MObject* cause : {&input, &keyTimeValue, &keyTime, &keyValue}) MPxNode::attributeAffects(*cause, output);
  return MS::kSuccess;
}

MStatus initializeLength() { return initializeCurve(MFnUnitAttribute::kDistance); }
MStatus initializeAngle() { return initializeCurve(MFnUnitAttribute::kAngle); }
MStatus initializeNumber() { return initializeCurve(MFnUnitAttribute::kInvalid); }

}  // namespace

std::vector<std::pair<double, double>> AnimCurveNode::keys(const MObject& node) {
  std::vector<std::pair<double, double>> result;
  const MPlug array = MFnDependencyNode(node).findPlug("keyTimeValue");
  MIntArray indices;
  array.getExistingArrayAttributeIndices(indices);
  for (unsigned int i = 0; i < indices.length(); ++i) {
    const MPlug key = array.elementByLogicalIndex(static_cast<unsigned int>(indices[i]));
    result.emplace_back(key.child(0).asMTime().as(MTime::kSeconds), key.child(1).asDouble());
  }
  std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return result;
}

double AnimCurveNode::valueAt(const std::vector<std::pair<double, double>>& keys, double time) {
  if (keys.empty()) return 0.0;
  if (time <= keys.front().first) return keys.front().second;
  if (time >= keys.back().first) return keys.back().second;
  const auto after = std::upper_bound(keys.begin(), keys.end(), time,
                                      [](double t, const std::pair<double, double>& key) { return t < key.first; });
  const auto before = after - 1;
  const double span = after->first - before->first;
  if (span <= 0.0) return after->second;
  return before->second + (after->second - before->second) * (time - before->first) / span;
}

MStatus AnimCurveNode::compute(const MPlug& plug, MDataBlock& block) {
  MFnDependencyNode self(thisMObject());
  if (plug != self.attribute("output")) return MS::kUnknownParameter;
  const double time = block.inputValue(self.attribute("input")).asTime().as(MTime::kSeconds);
  block.outputValue(plug).set(valueAt(keys(thisMObject()), time));
  block.setClean(plug);
  return MS::kSuccess;
}

void registerAnimCurveNodeTypes(NodeTypeRegistry& registry) {
  const struct {
    const char* name;
    unsigned int id;
    MFn::Type fn;
    MInitializeFunction initialize;
  } kinds[] = {{"animCurveTL", kAnimCurveTLTypeId, MFn::kAnimCurveTimeToDistance, &initializeLength},
               {"animCurveTA", kAnimCurveTATypeId, MFn::kAnimCurveTimeToAngular, &initializeAngle},
               {"animCurveTU", kAnimCurveTUTypeId, MFn::kAnimCurveTimeToUnitless, &initializeNumber}};
  for (const auto& kind : kinds)
    registry.registerBuiltin(kind.name, MTypeId(kind.id), &AnimCurveNode::creator, kind.initialize, kind.fn,
                             {kind.fn, MFn::kAnimCurve, MFn::kDependencyNode}, {"animCurve"});
}

}  // namespace zovhost
