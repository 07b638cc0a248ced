#include <maya/MItSelectionList.h>

#include <maya/MFnDagNode.h>

#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

MItSelectionList::MItSelectionList(const MSelectionList& list, MFn::Type filter, MStatus* status)
    : m_list(list), m_filter(filter) {
  skipFiltered();
  setStatus(status, MS::kSuccess);
}

bool MItSelectionList::current(MDagPath& path, MObject& node) const {
  path = MDagPath();
  if (m_index >= m_list.length() || !m_list.getDependNode(m_index, node)) return false;
  const bool dag = node.hasFn(MFn::kDagNode);
  if (dag && !m_list.getDagPath(m_index, path)) path = MDagPath();
  if (m_filter == MFn::kInvalid || node.hasFn(m_filter)) return true;
  if (!dag || !node.hasFn(MFn::kTransform) || !path.isValid()) return false;
  for (unsigned int i = 0; i < path.childCount(); ++i) {
    const MObject child = path.child(i);
    if (!child.hasFn(MFn::kShape) || !child.hasFn(m_filter) || MFnDagNode(child).isIntermediateObject()) continue;
    path.push(child);
    node = child;
    return true;
  }
  return false;
}

void MItSelectionList::skipFiltered() {
  MDagPath path;
  for (MObject node; m_index < m_list.length(); ++m_index)
    if (current(path, node)) return;
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
  MDagPath path;
  if (!current(path, node)) return MS::kFailure;
  return MS::kSuccess;
}

MStatus MItSelectionList::getDagPath(MDagPath& path) const {
  MObject node;
  if (!current(path, node) || !path.isValid()) return MS::kFailure;
  return MS::kSuccess;
}

MStatus MItSelectionList::getDagPath(MDagPath& path, MObject& component) const {
  component = MObject();
  const MStatus status = getDagPath(path);
  MDagPath listed;
  if (status) m_list.getDagPath(m_index, listed, component);
  return status;
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
