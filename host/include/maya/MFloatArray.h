#pragma once

#include <zovhost/ValueArray.h>

/// An array of floats (texture coordinates, weights).
class MFloatArray : public zovhost::ValueArray<float> {
 public:
  using ValueArray::ValueArray;
};
