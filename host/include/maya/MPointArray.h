#pragma once

#include <maya/MPoint.h>
#include <zovhost/ValueArray.h>

/// An array of points.
class MPointArray : public zovhost::ValueArray<MPoint> {
 public:
  using ValueArray::ValueArray;
};
