#include "src/simulation/deleteUserNodeCmd.h"

#include <maya/MArgDatabase.h>
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
  // The nodes are gathered first: deleting one takes it off the list.
  MObjectArray nodes;
  for (unsigned int i = 0; i < m_selection.length(); ++i) {
    MObject node;
    if (m_selection.getDependNode(i, node) && !node.isNull()) nodes.append(node);
  }
  for (unsigned int i = 0; i < nodes.length(); ++i) {
    MObject node = nodes[i];
    // A node deleted with an earlier one (a child with its transform) is gone already.
    if (!node.isNull()) MGlobal::deleteNode(node);
  }
  return MS::kSuccess;
}
