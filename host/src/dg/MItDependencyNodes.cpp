#include <maya/MItDependencyNodes.h>

#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

MItDependencyNodes::MItDependencyNodes(MFn::Type filter, MStatus* status) {
  const MStatus result = reset(filter);
  setStatus(status, result);
}

MStatus MItDependencyNodes::reset(MFn::Type filter) {
  m_nodes.clear();
  m_index = 0;
  for (const auto& node : zovhost::sceneGraph().nodes())
    if (filter == MFn::kInvalid || node->hasFn(filter)) m_nodes.emplace_back(node);
  return MS::kSuccess;
}

void MItDependencyNodes::skipRemoved() {
  while (m_index < m_nodes.size() && !zovhost::nodeOf(m_nodes[m_index])->inGraph) ++m_index;
}

MObject MItDependencyNodes::thisNode(MStatus* status) const {
  const bool valid = m_index < m_nodes.size();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? m_nodes[m_index] : MObject();
}

MStatus MItDependencyNodes::next() {
  if (m_index >= m_nodes.size()) return MS::kFailure;
  ++m_index;
  skipRemoved();
  return MS::kSuccess;
}

bool MItDependencyNodes::isDone(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_index >= m_nodes.size();
}
