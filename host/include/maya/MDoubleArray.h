#pragma once

#include <zovhost/ValueArray.h>

/// An array of doubles.
class MDoubleArray : public zovhost::ValueArray<double> {
 public:
  using ValueArray::ValueArray;
};
