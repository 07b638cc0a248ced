#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

/// An array of object handles.
class MObjectArray {
 public:
  MObjectArray() = default;

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(const MObject& item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  MStatus remove(unsigned int index);
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  MObject& operator[](unsigned int index) { return m_items[index]; }
  const MObject& operator[](unsigned int index) const { return m_items[index]; }

 private:
  std::vector<MObject> m_items;
};
