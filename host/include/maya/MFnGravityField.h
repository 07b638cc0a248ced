#pragma once

#include <maya/MFnField.h>
#include <maya/MVector.h>

/// Function set for gravity fields: mass times magnitude along the unit
/// direction, so that every sample accelerates alike.
class MFnGravityField : public MFnField {
 public:
  MFnGravityField() = default;
  explicit MFnGravityField(const MObject& object, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kGravity; }

  MVector direction(MStatus* status = nullptr) const;
  MStatus setDirection(const MVector& direction);
};
