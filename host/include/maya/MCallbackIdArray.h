#pragma once

#include <maya/MTypes.h>
#include <zovhost/ValueArray.h>

/// An array of callback ids.
class MCallbackIdArray : public zovhost::ValueArray<MCallbackId> {
 public:
  using ValueArray::ValueArray;
};
