#pragma once

#include <maya/MVector.h>
#include <zovhost/ValueArray.h>

/// An array of vectors.
class MVectorArray : public zovhost::ValueArray<MVector> {
 public:
  using ValueArray::ValueArray;
};
