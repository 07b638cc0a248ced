#pragma once

#include <maya/MFloatPoint.h>
#include <zovhost/ValueArray.h>

/// An array of single-precision points.
class MFloatPointArray : public zovhost::ValueArray<MFloatPoint> {
 public:
  using ValueArray::ValueArray;
};
