#pragma once

#include <zovhost/ValueArray.h>

/// An array of ints.
class MIntArray : public zovhost::ValueArray<int> {
 public:
  using ValueArray::ValueArray;
};
