#include "src/simulation/deleteUserNodeCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"

namespace {

/// Whether the node is locked or one of the host's default nodes: the host
/// deletes neither.
bool undeletable(const MObject& node) {
  const MFnDependencyNode fn(node);
  return fn.isLocked() || fn.isDefaultNode();
}

/// What keeps the host from deleting a node: the node itself, or a node below
/// it that would go with it (one with no other parent) and is locked or a
/// default node; null when nothing does.
MObject removalBlocker(const MObject& node) {
  if (undeletable(node)) return node;
  if (!node.hasFn(MFn::kDagNode)) return MObject();
  const MFnDagNode dag(node);
  for (unsigned int i = 0; i < dag.childCount(); ++i) {
    const MObject child = dag.child(i);
    if (MFnDagNode(child).parentCount() != 1) continue;
    const MObject blocker = removalBlocker(child);
    if (!blocker.isNull()) return blocker;
  }
  return MObject();
}

/// Whether the node is still in the scene (not gone with an earlier one).
bool inScene(const MObject& node) {
  MDagPath path;
  if (node.hasFn(MFn::kDagNode)) return static_cast<bool>(MDagPath::getAPathTo(node, path));
  MSelectionList named;
  MObject found;
  return named.add(MFnDependencyNode(node).name()) && named.getDependNode(0, found) && found == node;
}

/// The warning for a node the command leaves, naming it and why.
void warnLeft(const MObject& node) {
  const MObject blocker = removalBlocker(node);
  MString why = "cannot be deleted";
  if (!blocker.isNull()) {
    const MFnDependencyNode fn(blocker);
    if (blocker == node)
      why = fn.isLocked() ? "is locked" : "is a default node";
    else
      why = MString("has the ") + (fn.isLocked() ? "locked" : "default") + " node " + fn.name() + " below it";
  }
  MGlobal::displayWarning("deleteUserNode: " + MFnDependencyNode(node).name() + " " + why + ", it is left as it is");
}

}  // namespace

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
    if (modifier->doIt())
      deleted.append(name);
    else if (inScene(node))
      warnLeft(node);
  }
}

MStatus deleteUserNodeCmd::undoIt() { return modifier ? modifier->undoIt() : MS::kFailure; }

MStatus deleteUserNodeCmd::redoIt() {
  MSelectionList named;
  for (unsigned int i = 0; i < deleted.length(); ++i) named.add(deleted[i]);
  deleteNodes(named);
  return MS::kSuccess;
}
