#pragma once

#include <maya/MPlug.h>
#include <zovhost/ValueArray.h>

/// An array of plugs.
class MPlugArray : public zovhost::ValueArray<MPlug> {
 public:
  using ValueArray::ValueArray;
};
