#pragma once

#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

/// Function set for animation curves: nodes whose output follows the current
/// time through keys (time, value), interpolated linearly between keys and
/// held flat before the first and after the last. Values are in the host's
/// internal units (centimetres, radians).
class MFnAnimCurve : public MFnDependencyNode {
 public:
  enum AnimCurveType { kAnimCurveTA, kAnimCurveTL, kAnimCurveTT, kAnimCurveTU, kAnimCurveUnknown };

  MFnAnimCurve() = default;
  explicit MFnAnimCurve(const MObject& object, MStatus* status = nullptr);
  /// Attaches to the curve that drives the plug.
  explicit MFnAnimCurve(const MPlug& plug, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kAnimCurve; }
  MStatus setObject(const MObject& object) override;

  /// Makes a curve driven by the scene's time that drives the plug; fails,
  /// making nothing, when the plug is not a number or already has a source.
  /// The curve's kind follows the plug's unit.
  MObject create(const MPlug& plug, MStatus* status = nullptr);
  AnimCurveType animCurveType(MStatus* status = nullptr) const;

  /// Adds a key; a key at the same time gets the new value.
  MStatus addKeyframe(const MTime& time, double value);
  /// Removes the key at an index (keys in time order).
  MStatus remove(unsigned int index);
  unsigned int numKeys(MStatus* status = nullptr) const;
  unsigned int numKeyframes(MStatus* status = nullptr) const { return numKeys(status); }
  MTime time(unsigned int index, MStatus* status = nullptr) const;
  double value(unsigned int index, MStatus* status = nullptr) const;
  MStatus evaluate(const MTime& atTime, double& value) const;
  /// True when every key has the same value.
  bool isStatic(MStatus* status = nullptr) const;
};
