#pragma once

#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include <vector>

/// An array of plugs.
class MPlugArray {
 public:
  MPlugArray() = default;

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(const MPlug& item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  MPlug& operator[](unsigned int index) { return m_items[index]; }
  const MPlug& operator[](unsigned int index) const { return m_items[index]; }

 private:
  std::vector<MPlug> m_items;
};
