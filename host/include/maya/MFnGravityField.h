#pragma once

#include <maya/MFnField.h>
#include <maya/MVector.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for gravity fields: mass times magnitude along the unit
/// direction, so that every sample accelerates alike.
class MFnGravityField : public zovhost::FunctionSetOf<MFnField, MFn::kGravity> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MVector direction(MStatus* status = nullptr) const;
  MStatus setDirection(const MVector& direction);
};
