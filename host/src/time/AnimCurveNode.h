#pragma once

#include <maya/MObject.h>
#include <maya/MPxNode.h>

#include <utility>
#include <vector>

namespace zovhost {

class NodeTypeRegistry;

/// The host's animation curves ("animCurveTL" for lengths, "animCurveTA"
/// for angles, "animCurveTU" for plain numbers; function-set type
/// kAnimCurve): output follows input (a time, fed by time1) through the keys
/// kept in keyTimeValue (keyTime, keyValue), so that the keys are saved with
/// the scene.
class AnimCurveNode : public MPxNode {
 public:
  static void* creator() { return new AnimCurveNode; }
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  /// The keys (time in seconds, value), sorted by time.
  static std::vector<std::pair<double, double>> keys(const MObject& node);
  /// The keys' linear interpolation at a time (held flat outside them; 0 without keys).
  static double valueAt(const std::vector<std::pair<double, double>>& keys, double time);
};

/// Registers the curve node types with the host's own types.
void registerAnimCurveNodeTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
