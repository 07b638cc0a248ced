#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <vector>

/// An array of callback ids.
class MCallbackIdArray {
 public:
  MCallbackIdArray() = default;
  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus append(MCallbackId id) {
    m_items.push_back(id);
    return MS::kSuccess;
  }
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  MCallbackId& operator[](unsigned int index) { return m_items[index]; }
  MCallbackId operator[](unsigned int index) const { return m_items[index]; }

 private:
  std::vector<MCallbackId> m_items;
};
