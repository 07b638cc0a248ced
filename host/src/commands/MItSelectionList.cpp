#include <maya/MItSelectionList.h>

#include "core/StatusOut.h"

using zovhost::setStatus;

MItSelectionList::MItSelectionList(const MSelectionList& list, MFn::Type filter, MStatus* status)
    : m_list(list), m_filter(filter) {
  skipFiltered();
  setStatus(status, MS::kSuccess);
}

void MItSelectionList::skipFiltered() {
  for (MObject node; m_index < m_list.length(); ++m_index)
    if (m_filter == MFn::kInvalid || (m_list.getDependNode(m_index, node) && node.hasFn(m_filter))) return;
}

bool MItSelectionList::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_index >= m_list.length();
}

MStatus MItSelectionList::next() {
  if (m_index >= m_list.length()) return MS::kFailure;
  ++m_index;
  skipFiltered();
  return MS::kSuccess;
}

MStatus MItSelectionList::reset() {
  m_index = 0;
  skipFiltered();
  return MS::kSuccess;
}

MStatus MItSelectionList::setFilter(MFn::Type filter) {
  m_filter = filter;
  return reset();
}

MStatus MItSelectionList::getDependNode(MObject& node) const {
  if (m_index >= m_list.length()) return MS::kFailure;
  return m_list.getDependNode(m_index, node);
}

MStatus MItSelectionList::getDagPath(MDagPath& path) const {
  if (m_index >= m_list.length()) return MS::kFailure;
  return m_list.getDagPath(m_index, path);
}

MStatus MItSelectionList::getDagPath(MDagPath& path, MObject& component) const {
  component = MObject();
  return getDagPath(path);
}

MStatus MItSelectionList::getPlug(MPlug& plug) const {
  if (m_index >= m_list.length()) return MS::kFailure;
  return m_list.getPlug(m_index, plug);
}

MItSelectionList::selItemType MItSelectionList::itemType(MStatus* status) const {
  MObject node;
  MPlug plug;
  if (!getDependNode(node)) {
    setStatus(status, MS::kFailure);
    return kUnknownItem;
  }
  setStatus(status, MS::kSuccess);
  if (m_list.getPlug(m_index, plug)) return kPlugSelectionItem;
  return node.hasFn(MFn::kDagNode) ? kDagSelectionItem : kDNselectionItem;
}
