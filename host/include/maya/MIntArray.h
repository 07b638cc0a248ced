#pragma once

#include <maya/MStatus.h>

#include <vector>

/// An array of ints.
class MIntArray {
 public:
  MIntArray() = default;
  MIntArray(unsigned int length, int initial = 0) : m_items(length, initial) {}

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(int item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  MStatus remove(unsigned int index);
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  int& operator[](unsigned int index) { return m_items[index]; }
  int operator[](unsigned int index) const { return m_items[index]; }

 private:
  std::vector<int> m_items;
};
