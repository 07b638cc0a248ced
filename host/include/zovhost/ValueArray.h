#pragma once

#include <maya/MStatus.h>

#include <vector>

namespace zovhost {

/// The body shared by the host's arrays of values (points, vectors, ...):
/// an ordered, growable array whose index checks make insert, remove and set
/// fail rather than touch memory outside it. Element access with [] is not
/// checked, as in the host.
template <typename T>
class ValueArray {
 public:
  ValueArray() = default;
  explicit ValueArray(unsigned int length, const T& initial = T()) : m_items(length, initial) {}
  ValueArray(const T* values, unsigned int count) : m_items(values, values + count) {}

  unsigned int length() const { return static_cast<unsigned int>(m_items.size()); }
  MStatus setLength(unsigned int length) {
    m_items.resize(length);
    return MS::kSuccess;
  }
  MStatus append(const T& item) {
    m_items.push_back(item);
    return MS::kSuccess;
  }
  MStatus insert(const T& item, unsigned int index) {
    if (index > m_items.size()) return MS::kInvalidParameter;
    m_items.insert(m_items.begin() + index, item);
    return MS::kSuccess;
  }
  MStatus remove(unsigned int index) {
    if (index >= m_items.size()) return MS::kInvalidParameter;
    m_items.erase(m_items.begin() + index);
    return MS::kSuccess;
  }
  MStatus set(const T& item, unsigned int index) {
    if (index >= m_items.size()) return MS::kInvalidParameter;
    m_items[index] = item;
    return MS::kSuccess;
  }
  MStatus clear() {
    m_items.clear();
    return MS::kSuccess;
  }
  T& operator[](unsigned int index) { return m_items[index]; }
  const T& operator[](unsigned int index) const { return m_items[index]; }

  // Host side: the values as a standard vector.
  const std::vector<T>& items() const { return m_items; }
  std::vector<T>& items() { return m_items; }

 private:
  std::vector<T> m_items;
};

}  // namespace zovhost
