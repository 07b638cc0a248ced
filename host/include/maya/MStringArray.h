#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>

#include <vector>

/// An array of strings.
class MStringArray {
 public:
  MStringArray() = default;
  MStringArray(unsigned int length, const MString& initial) : m_items(length, initial) {}

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(const MString& item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  MStatus insert(const MString& item, unsigned int index);
  MStatus remove(unsigned int index);
  MStatus set(const MString& item, unsigned int index);
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  /// Index of the first element equal to item, -1 when none is.
  int indexOf(const MString& item) const;

  MString& operator[](unsigned int index) { return m_items[index]; }
  const MString& operator[](unsigned int index) const { return m_items[index]; }
  bool operator==(const MStringArray& other) const { return m_items == other.m_items; }

 private:
  std::vector<MString> m_items;
};
