#pragma once

#include <maya/MTime.h>
#include <zovhost/ValueArray.h>

/// An array of times; remove fails, changing nothing, for an index outside it.
class MTimeArray : public zovhost::ValueArray<MTime> {
 public:
  using ValueArray::ValueArray;
};
