#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <vector>

/// An array of times.
class MTimeArray {
 public:
  MTimeArray() = default;
  MTimeArray(unsigned int length, const MTime& initial) : m_items(length, initial) {}

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(const MTime& item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  /// Fails, changing nothing, for an index outside the array.
  MStatus remove(unsigned int index);
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  MTime& operator[](unsigned int index) { return m_items[index]; }
  const MTime& operator[](unsigned int index) const { return m_items[index]; }

 private:
  std::vector<MTime> m_items;
};
