#pragma once

#include <maya/MString.h>
#include <zovhost/ValueArray.h>

/// An array of strings.
class MStringArray : public zovhost::ValueArray<MString> {
 public:
  using ValueArray::ValueArray;

  /// Index of the first element equal to item, -1 when none is.
  int indexOf(const MString& item) const;

  bool operator==(const MStringArray& other) const { return items() == other.items(); }
};
