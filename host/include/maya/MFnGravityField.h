#pragma once

#include <maya/MFnField.h>

/// Function set for gravity fields: mass times magnitude along the unit
/// direction, so that every sample accelerates alike.
class MFnGravityField : public zovhost::DirectedFieldOf<MFn::kGravity> {
 public:
  using DirectedFieldOf::DirectedFieldOf;
};
