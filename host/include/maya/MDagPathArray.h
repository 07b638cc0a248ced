#pragma once

#include <maya/MDagPath.h>
#include <zovhost/ValueArray.h>

/// An array of DAG paths.
class MDagPathArray : public zovhost::ValueArray<MDagPath> {
 public:
  using ValueArray::ValueArray;
};
