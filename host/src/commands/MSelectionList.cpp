#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include "core/DataObjects.h"
#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

struct ComponentName {
  const char* prefix;
  MFn::Type kind;
};
const ComponentName kComponentNames[] = {
    {"f", MFn::kMeshPolygonComponent}, {"e", MFn::kMeshEdgeComponent}, {"vtx", MFn::kMeshVertComponent}};

/// The component that "f[3]", "e[0:2]" and the like name; null otherwise.
MObject parseComponent(const std::string& text) {
  const size_t open = text.find('[');
  if (open == std::string::npos || text.back() != ']') return MObject();
  const std::string prefix = text.substr(0, open);
  const std::string range = text.substr(open + 1, text.size() - open - 2);
  for (const ComponentName& name : kComponentNames) {
    if (prefix != name.prefix) continue;
    const size_t colon = range.find(':');
    try {
      size_t used = 0;
      const int first = std::stoi(range.substr(0, colon), &used);
      if (used != range.substr(0, colon).size()) return MObject();
      int last = first;
      if (colon != std::string::npos) {
        last = std::stoi(range.substr(colon + 1), &used);
        if (used != range.size() - colon - 1) return MObject();
      }
      if (first < 0 || last < first) return MObject();
      auto component = std::make_shared<zovhost::ComponentObject>(name.kind);
      for (int i = first; i <= last; ++i) component->elements.push_back(i);
      return MObject(component);
    } catch (const std::exception&) {
      return MObject();
    }
  }
  return MObject();
}

std::string componentText(const MObject& component) {
  const auto c = std::dynamic_pointer_cast<zovhost::ComponentObject>(component.object());
  if (!c) return std::string();
  std::string prefix;
  for (const ComponentName& name : kComponentNames)
    if (name.kind == c->kind) prefix = name.prefix;
  std::string text;
  for (int element : c->elements) text += (text.empty() ? "" : " ") + prefix + "[" + std::to_string(element) + "]";
  return text;
}

}  // namespace

MStatus MSelectionList::clear() {
  m_items.clear();
  return MS::kSuccess;
}

bool MSelectionList::isEmpty(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_items.empty();
}

unsigned int MSelectionList::length(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return static_cast<unsigned int>(m_items.size());
}

MStatus MSelectionList::add(const MObject& node, bool mergeWithExisting) {
  if (!zovhost::nodeOf(node)) return MS::kInvalidParameter;
  if (mergeWithExisting && hasItem(node)) return MS::kSuccess;
  m_items.push_back({node, MPlug(), MDagPath(), MObject()});
  return MS::kSuccess;
}

MStatus MSelectionList::add(const MString& matchString, bool) {
  const std::string text = matchString.str();
  const size_t dot = text.find('.');
  const std::string nodeName = text.substr(0, dot);
  const auto node = sceneGraph().find(nodeName);
  if (!node) return MS::kInvalidParameter;
  if (dot == std::string::npos) {
    m_items.push_back(
        {MObject(node), MPlug(), node->isDag() ? zovhost::dagPathNamed(nodeName) : MDagPath(), MObject()});
    return MS::kSuccess;
  }
  const MObject component = parseComponent(text.substr(dot + 1));
  if (!component.isNull()) {
    MDagPath path = node->isDag() ? zovhost::dagPathNamed(nodeName) : MDagPath();
    if (path.isValid() && !path.hasFn(MFn::kMesh)) path.extendToShape();
    if (!path.isValid() || !path.hasFn(MFn::kMesh)) return MS::kInvalidParameter;
    m_items.push_back({path.node(), MPlug(), path, component});
    return MS::kSuccess;
  }
  const auto attribute = node->findAttribute(text.substr(dot + 1));
  if (!attribute) return MS::kInvalidParameter;
  m_items.push_back({MObject(node), MPlug(node, attribute, {}), MDagPath(), MObject()});
  return MS::kSuccess;
}

MStatus MSelectionList::add(const MDagPath& path, const MObject& component, bool mergeWithExisting) {
  if (!path.last()) return MS::kInvalidParameter;
  if (!component.isNull() && !std::dynamic_pointer_cast<zovhost::ComponentObject>(component.object()))
    return MS::kInvalidParameter;
  const Item item{path.node(), MPlug(), path, component};
  if (mergeWithExisting)
    for (const Item& existing : m_items)
      if (sameItem(existing, item)) return MS::kSuccess;
  m_items.push_back(item);
  return MS::kSuccess;
}

bool MSelectionList::sameItem(const Item& a, const Item& b) {
  return a.node == b.node && a.plug == b.plug && a.component == b.component &&
         (a.path == b.path || !a.path.isValid() || !b.path.isValid());
}

MStatus MSelectionList::add(const MPlug& plug, bool mergeWithExisting) {
  if (plug.isNull()) return MS::kInvalidParameter;
  if (mergeWithExisting)
    for (const Item& item : m_items)
      if (item.plug == plug) return MS::kSuccess;
  m_items.push_back({plug.node(), plug, MDagPath(), MObject()});
  return MS::kSuccess;
}

MStatus MSelectionList::merge(const MSelectionList& other, MergeStrategy strategy) {
  for (const Item& item : other.m_items) {
    const auto same = [&item](const Item& existing) { return sameItem(existing, item); };
    auto found = std::find_if(m_items.begin(), m_items.end(), same);
    switch (strategy) {
      case kMergeNormal:
        if (found == m_items.end()) m_items.push_back(item);
        break;
      case kXORWithList:
        if (found == m_items.end())
          m_items.push_back(item);
        else
          m_items.erase(found);
        break;
      case kRemoveFromList:
        if (found != m_items.end()) m_items.erase(found);
        break;
    }
  }
  return MS::kSuccess;
}

MStatus MSelectionList::remove(unsigned int index) {
  if (index >= m_items.size()) return MS::kInvalidParameter;
  m_items.erase(m_items.begin() + index);
  return MS::kSuccess;
}

MStatus MSelectionList::getDependNode(unsigned int index, MObject& node) const {
  if (index >= m_items.size()) return MS::kInvalidParameter;
  node = m_items[index].node;
  return MS::kSuccess;
}

MStatus MSelectionList::getPlug(unsigned int index, MPlug& plug) const {
  if (index >= m_items.size() || m_items[index].plug.isNull()) return MS::kInvalidParameter;
  plug = m_items[index].plug;
  return MS::kSuccess;
}

MStatus MSelectionList::getDagPath(unsigned int index, MDagPath& path, MObject& component) const {
  component = MObject();
  const MStatus status = getDagPath(index, path);
  if (status) component = m_items[index].component;
  return status;
}

MStatus MSelectionList::getDagPath(unsigned int index, MDagPath& path) const {
  if (index >= m_items.size() || !m_items[index].plug.isNull()) return MS::kInvalidParameter;
  const Item& item = m_items[index];
  if (item.path.isValid()) {
    path = item.path;
    return MS::kSuccess;
  }
  return MDagPath::getAPathTo(item.node, path);
}

bool MSelectionList::hasItem(const MObject& node, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  for (const Item& item : m_items)
    if (item.node == node && item.plug.isNull()) return true;
  return false;
}

MString MSelectionList::itemName(const Item& item) {
  if (!item.plug.isNull()) return item.plug.name();
  if (item.path.isValid() && !item.component.isNull())
    return item.path.partialPathName() + "." + componentText(item.component).c_str();
  if (item.path.isValid()) return item.path.partialPathName();
  const auto node = zovhost::nodeOf(item.node);
  return node ? MString(node->name) : MString();
}

MStatus MSelectionList::getSelectionStrings(MStringArray& strings) const {
  strings.clear();
  for (const Item& item : m_items) strings.append(itemName(item));
  return MS::kSuccess;
}

MStatus MSelectionList::getSelectionStrings(unsigned int index, MStringArray& strings) const {
  strings.clear();
  if (index >= m_items.size()) return MS::kInvalidParameter;
  strings.append(itemName(m_items[index]));
  return MS::kSuccess;
}

void MSelectionList::removeNode(const MObject& node) {
  m_items.erase(std::remove_if(m_items.begin(), m_items.end(), [&node](const Item& item) { return item.node == node; }),
                m_items.end());
}
