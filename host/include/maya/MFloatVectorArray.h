#pragma once

#include <maya/MFloatVector.h>
#include <zovhost/ValueArray.h>

/// An array of single-precision vectors.
class MFloatVectorArray : public zovhost::ValueArray<MFloatVector> {
 public:
  using ValueArray::ValueArray;
};
