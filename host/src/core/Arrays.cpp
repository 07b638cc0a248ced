// The out-of-line members of the host's array classes: removal and insertion
// check their index and fail rather than touch memory outside the array.
#include <maya/MDoubleArray.h>
#include <maya/MIntArray.h>
#include <maya/MObjectArray.h>
#include <maya/MStringArray.h>
#include <maya/MTimeArray.h>

namespace {

template <typename Vector>
MStatus removeAt(Vector& items, unsigned int index) {
  if (index >= items.size()) return MS::kInvalidParameter;
  items.erase(items.begin() + index);
  return MS::kSuccess;
}

}  // namespace

MStatus MStringArray::insert(const MString& item, unsigned int index) {
  if (index > m_items.size()) return MS::kInvalidParameter;
  m_items.insert(m_items.begin() + index, item);
  return MS::kSuccess;
}

MStatus MStringArray::remove(unsigned int index) { return removeAt(m_items, index); }

MStatus MStringArray::set(const MString& item, unsigned int index) {
  if (index >= m_items.size()) return MS::kInvalidParameter;
  m_items[index] = item;
  return MS::kSuccess;
}

int MStringArray::indexOf(const MString& item) const {
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i] == item) return static_cast<int>(i);
  return -1;
}

MStatus MIntArray::remove(unsigned int index) { return removeAt(m_items, index); }
MStatus MDoubleArray::remove(unsigned int index) { return removeAt(m_items, index); }
MStatus MObjectArray::remove(unsigned int index) { return removeAt(m_items, index); }
MStatus MTimeArray::remove(unsigned int index) { return removeAt(m_items, index); }
