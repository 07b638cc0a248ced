#include "src/simulation/deleteUserNodeCmd.h"

#include <maya/MArgDatabase.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MObjectArray.h>

void* deleteUserNodeCmd::creator() { return new deleteUserNodeCmd; }

MSyntax deleteUserNodeCmd::newSyntax() {
  MSyntax syntax;
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus deleteUserNodeCmd::doIt(const MArgList& arguments) {
  MStatus status;
  const MArgDatabase parsed(syntax(), arguments, &status);
  if (!status) return status;
  m_selection.clear();
  parsed.getObjects(m_selection);
  if (m_selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  deleteNodes(m_selection);
  return MS::kSuccess;
}

void deleteUserNodeCmd::deleteNodes(const MSelectionList& list) {
  // The nodes are gathered first: deleting one takes it off the list.
  MObjectArray nodes;
  for (unsigned int i = 0; i < list.length(); ++i) {
    MObject node;
    if (list.getDependNode(i, node) && !node.isNull()) nodes.append(node);
  }
  m_modifier = std::make_unique<MDGModifier>();
  m_deleted.clear();
  for (unsigned int i = 0; i < nodes.length(); ++i) {
    // A node deleted with an earlier one (a child with its transform) is
    // gone already, and its deletion is dropped.
    MDagPath path;
    const MString name = nodes[i].hasFn(MFn::kDagNode) && MDagPath::getAPathTo(nodes[i], path)
                             ? path.fullPathName()
                             : MFnDependencyNode(nodes[i]).name();
    m_modifier->deleteNode(nodes[i]);
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
