#pragma once

#include <maya/MFnField.h>
#include <maya/MVector.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for uniform fields: the same force, magnitude times the unit
/// direction, on every sample whatever its mass.
class MFnUniformField : public zovhost::FunctionSetOf<MFnField, MFn::kUniform> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MVector direction(MStatus* status = nullptr) const;
  MStatus setDirection(const MVector& direction);
};
