#pragma once

#include <maya/MColor.h>
#include <zovhost/ValueArray.h>

/// An array of colours.
class MColorArray : public zovhost::ValueArray<MColor> {
 public:
  using ValueArray::ValueArray;
};
