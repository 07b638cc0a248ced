#include <maya/MDagPathArray.h>
#include <maya/MItDag.h>

#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>
#include <deque>

using zovhost::NodeImpl;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

/// The paths one level below a path (below the world for the world's path).
std::vector<MDagPath> childPaths(const MDagPath& path) {
  std::vector<MDagPath> result;
  const auto& nodes = path.nodes();
  for (NodeImpl* child : sceneGraph().dag().children(nodes.empty() ? nullptr : nodes.back().get())) {
    auto extended = nodes;
    extended.push_back(child->shared_from_this());
    result.emplace_back(std::move(extended));
  }
  return result;
}

bool startsWith(const MDagPath& path, const MDagPath& prefix) {
  const auto& a = path.nodes();
  const auto& b = prefix.nodes();
  return a.size() > b.size() && std::equal(b.begin(), b.end(), a.begin());
}

}  // namespace

MItDag::MItDag(TraversalType type, MFn::Type filter, MStatus* status) {
  const MStatus result = reset(MDagPath(std::vector<std::shared_ptr<NodeImpl>>()), type, filter);
  setStatus(status, result);
}

MStatus MItDag::reset() { return reset(m_root, m_type, m_filter); }

MStatus MItDag::reset(const MObject& root, TraversalType type, MFn::Type filter) {
  if (root.isNull()) return reset(MDagPath(std::vector<std::shared_ptr<NodeImpl>>()), type, filter);
  MDagPath path;
  const MStatus status = MDagPath::getAPathTo(root, path);
  return status ? reset(path, type, filter) : status;
}

MStatus MItDag::reset(const MDagPath& root, TraversalType type, MFn::Type filter) {
  if (!root.isValid() || (type != kDepthFirst && type != kBreadthFirst)) return MS::kInvalidParameter;
  m_root = root;
  m_type = type;
  m_filter = filter;
  walk(root);
  return MS::kSuccess;
}

void MItDag::walk(const MDagPath& root) {
  m_paths.clear();
  m_index = 0;
  // The world itself is not an item; a node given as root is.
  if (root.length() > 0) m_paths.push_back(root);
  if (m_type == kBreadthFirst) {
    std::deque<MDagPath> pending(1, root);
    while (!pending.empty()) {
      for (MDagPath& child : childPaths(pending.front())) {
        m_paths.push_back(child);
        pending.push_back(std::move(child));
      }
      pending.pop_front();
    }
  } else {
    std::vector<MDagPath> pending = childPaths(root);
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
      const MDagPath path = std::move(pending.back());
      pending.pop_back();
      m_paths.push_back(path);
      std::vector<MDagPath> children = childPaths(path);
      pending.insert(pending.end(), children.rbegin(), children.rend());
    }
  }
  skipUnwanted();
}

bool MItDag::wanted(const MDagPath& path) const {
  return path.isValid() && (m_filter == MFn::kInvalid || path.hasFn(m_filter));
}

void MItDag::skipUnwanted() {
  while (m_index < m_paths.size() && !wanted(m_paths[m_index])) ++m_index;
}

MObject MItDag::currentItem(MStatus* status) const {
  const bool valid = m_index < m_paths.size();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? m_paths[m_index].node() : MObject();
}

MStatus MItDag::getPath(MDagPath& path) const {
  if (m_index >= m_paths.size()) return MS::kFailure;
  path = m_paths[m_index];
  return MS::kSuccess;
}

MStatus MItDag::getAllPaths(MDagPathArray& paths) const { return MDagPath::getAllPathsTo(currentItem(), paths); }

MString MItDag::fullPathName(MStatus* status) const {
  MDagPath path;
  const MStatus found = getPath(path);
  setStatus(status, found);
  return found ? path.fullPathName() : MString();
}

MString MItDag::partialPathName(MStatus* status) const {
  MDagPath path;
  const MStatus found = getPath(path);
  setStatus(status, found);
  return found ? path.partialPathName() : MString();
}

unsigned int MItDag::depth(MStatus* status) const {
  MDagPath path;
  const MStatus found = getPath(path);
  setStatus(status, found);
  return found ? path.length() : 0;
}

MObject MItDag::root(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_root.node();
}

MItDag::TraversalType MItDag::getType(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_type;
}

MStatus MItDag::next() {
  if (m_index >= m_paths.size()) return MS::kFailure;
  ++m_index;
  skipUnwanted();
  return MS::kSuccess;
}

bool MItDag::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_index >= m_paths.size();
}

MStatus MItDag::prune() {
  if (m_index >= m_paths.size()) return MS::kFailure;
  const MDagPath current = m_paths[m_index];
  m_paths.erase(std::remove_if(m_paths.begin() + static_cast<long>(m_index) + 1, m_paths.end(),
                               [&current](const MDagPath& path) { return startsWith(path, current); }),
                m_paths.end());
  return MS::kSuccess;
}
