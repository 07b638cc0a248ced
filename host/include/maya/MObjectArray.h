#pragma once

#include <maya/MObject.h>
#include <zovhost/ValueArray.h>

/// An array of object handles.
class MObjectArray : public zovhost::ValueArray<MObject> {
 public:
  using ValueArray::ValueArray;
};
