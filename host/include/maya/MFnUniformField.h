#pragma once

#include <maya/MFnField.h>
#include <maya/MVector.h>

/// Function set for uniform fields: the same force, magnitude times the unit
/// direction, on every sample whatever its mass.
class MFnUniformField : public MFnField {
 public:
  MFnUniformField() = default;
  explicit MFnUniformField(const MObject& object, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kUniform; }

  MVector direction(MStatus* status = nullptr) const;
  MStatus setDirection(const MVector& direction);
};
