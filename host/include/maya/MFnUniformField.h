#pragma once

#include <maya/MFnField.h>

/// Function set for uniform fields: the same force, magnitude times the unit
/// direction, on every sample whatever its mass.
class MFnUniformField : public zovhost::DirectedFieldOf<MFn::kUniform> {
 public:
  using DirectedFieldOf::DirectedFieldOf;
};
