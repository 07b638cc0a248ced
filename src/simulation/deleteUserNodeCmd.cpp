#include "src/simulation/deleteUserNodeCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"

MSyntax deleteUserNodeCmd::newSyntax() { return commandSyntax({}, kSelectedObjects); }

MStatus deleteUserNodeCmd::doIt(const MArgList& list) {
  const MStatus parsed = arguments.parse(syntax(), list);
  if (!parsed) return parsed;
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  deleteNodes(selection);
  return MS::kSuccess;
}

void deleteUserNodeCmd::deleteNodes(const MSelectionList& list) {
  // The nodes are gathered first: deleting one takes it off the list.
  const std::vector<MObject> nodes = selectedDependNodes(list);
  modifier = std::make_unique<MDGModifier>();
  deleted.clear();
  for (const MObject& node : nodes) {
    // A node deleted with an earlier one (a child with its transform) is
    // gone already, and its deletion is dropped.
    MDagPath path;
    const MString name = node.hasFn(MFn::kDagNode) && MDagPath::getAPathTo(node, path) ? path.fullPathName()
                                                                                       : MFnDependencyNode(node).name();
    modifier->deleteNode(node);
    if (modifier->doIt()) deleted.append(name);
  }
}

MStatus deleteUserNodeCmd::undoIt() { return modifier ? modifier->undoIt() : MS::kFailure; }

MStatus deleteUserNodeCmd::redoIt() {
  MSelectionList named;
  for (unsigned int i = 0; i < deleted.length(); ++i) named.add(deleted[i]);
  deleteNodes(named);
  return MS::kSuccess;
}
