#include "src/simulation/deleteUserNodeCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"

void* deleteUserNodeCmd::creator() { return new deleteUserNodeCmd; }

MSyntax deleteUserNodeCmd::newSyntax() { return commandSyntax({}, kSelectedObjects); }

MStatus deleteUserNodeCmd::doIt(const MArgList& list) {
  const MStatus parsed = arguments.parse(syntax(), list);
  if (!parsed) return parsed;
  m_selection = arguments.objects();
  if (!requireObjects(m_selection)) return MS::kFailure;
  deleteNodes(m_selection);
  return MS::kSuccess;
}

void deleteUserNodeCmd::deleteNodes(const MSelectionList& list) {
  // The nodes are gathered first: deleting one takes it off the list.
  const std::vector<MObject> nodes = selectedDependNodes(list);
  m_modifier = std::make_unique<MDGModifier>();
  m_deleted.clear();
  for (const MObject& node : nodes) {
    // A node deleted with an earlier one (a child with its transform) is
    // gone already, and its deletion is dropped.
    MDagPath path;
    const MString name = node.hasFn(MFn::kDagNode) && MDagPath::getAPathTo(node, path) ? path.fullPathName()
                                                                                       : MFnDependencyNode(node).name();
    m_modifier->deleteNode(node);
    if (m_modifier->doIt()) m_deleted.append(name);
  }
}

MStatus deleteUserNodeCmd::undoIt() { return m_modifier ? m_modifier->undoIt() : MS::kFailure; }

MStatus deleteUserNodeCmd::redoIt() {
  MSelectionList named;
  for (unsigned int i = 0; i < m_deleted.length(); ++i) named.add(m_deleted[i]);
  deleteNodes(named);
  return MS::kSuccess;
}
