#pragma once

#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MVector.h>

#include <initializer_list>
#include <vector>

// Small links between the module's nodes and the host's graph: the module's
// node behind a host node, the nodes connected to a plug, pulls, paths.

/// The module's node behind a host node when the node is of type `Node`
/// (told by its type id), else null.
template <typename Node>
Node* userNodeOf(const MObject& node) {
  if (node.isNull()) return nullptr;
  MFnDependencyNode fn(node);
  if (fn.typeId() != Node::id) return nullptr;
  return static_cast<Node*>(fn.userNode());
}

/// The module's node behind a plug's node, as userNodeOf.
template <typename Node>
Node* userNodeOf(const MPlug& plug) {
  return userNodeOf<Node>(plug.node());
}

/// The module's nodes of type `Node` behind the plugs' nodes, in the plugs'
/// order; plugs of other nodes are passed over.
template <typename Node>
std::vector<Node*> userNodesOf(const MPlugArray& plugs) {
  std::vector<Node*> nodes;
  for (unsigned int i = 0; i < plugs.length(); ++i)
    if (Node* node = userNodeOf<Node>(plugs[i])) nodes.push_back(node);
  return nodes;
}

/// The plugs connected to a node's attribute, as destination and as source.
MPlugArray connectedPlugs(const MObject& node, const MObject& attribute);
/// The node of the first plug connected to the plug, as destination or
/// source; false, leaving `node` alone, when nothing is connected.
bool firstConnectedNode(const MPlug& plug, MObject& node);
/// The node of the first plug feeding the plug, or the null object.
MObject sourceNodeOf(const MPlug& plug);

/// Reads a plug so that the host computes it when it is dirty; the value is
/// not looked at. Nothing for a plug the node does not have.
void pullPlug(const MObject& node, const MObject& attribute);
/// pullPlug on each attribute, in order.
void pullPlugs(const MObject& node, std::initializer_list<const MObject*> attributes);
/// The three children of a compound plug as a vector.
MVector readVector(const MObject& node, const MObject& attribute);

/// A compute's answer to a node's user-command flag: when the flag is up,
/// `drop` runs (it drops what the command made stale) and the flag goes down.
template <typename Drop>
void answerUserCommand(MDataBlock& block, const MObject& flag, Drop drop) {
  MDataHandle command = block.outputValue(flag);
  if (command.asBool()) {
    drop();
    command.set(false);
  }
}

/// The path of the transform above a DAG node; false when the node has no
/// path or sits at the top.
bool parentTransformPath(const MObject& node, MDagPath& path);
/// The transform keeps its present transformation as its rest position.
void keepAsRest(const MDagPath& transform);
/// keepAsRest on the transform above a DAG node; false, and nothing kept,
/// when parentTransformPath finds none.
bool keepParentAsRest(const MObject& node);
/// Keeps a node unlocked while it lives, locked again after when it was: a
/// locked node takes no connection, nor gives one up.
class UnlockedNode {
 public:
  explicit UnlockedNode(const MObject& node) : fn(node), wasLocked(fn.isLocked()) {
    if (wasLocked) fn.setLocked(false);
  }
  ~UnlockedNode() {
    if (wasLocked) fn.setLocked(true);
  }
  UnlockedNode(const UnlockedNode&) = delete;
  UnlockedNode& operator=(const UnlockedNode&) = delete;

 private:
  MFnDependencyNode fn;
  bool wasLocked;
};

/// parentTransformPath, printing the module's path error line when there is
/// none.
bool transformPathOrReport(const MObject& node, MDagPath& path);

/// Runs a host command line without showing it and outside the undo queue;
/// its result is not looked at.
void runQuietly(const MString& line);

/// Empties the host's undo and redo queues. A command whose work cannot be
/// taken back (shards made outside the undo queue, engine state rewritten
/// without a record) is undoable and runs this from its undoIt: an undo then
/// stops at the command and never reaches past it into the commands its
/// work stands on, such as the one that made the mesh it shattered. Always
/// succeeds.
MStatus flushUndoQueue();
