#pragma once

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MItSelectionList.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <vector>

#include "src/nodeLinks.h"

// The selection half of the module's command kit: what a command's objects
// hold of each kind it works on, the module's warnings for what it leaves
// out, and the error lines its commands end with.

// --- The module's error lines -------------------------------------------------

/// The line of a command given nothing it can work on.
constexpr const char* kInvalidSelection = "invalid selection";

/// The command fails with an error line; answers the failure.
MStatus failWithError(const MString& line);
/// The command fails with an information line (the interface's way of
/// saying there is nothing to do); answers the failure.
MStatus failWithInfo(const MString& line);
/// False, after the error line, when the list is empty.
bool requireObjects(const MSelectionList& list, const char* error = kInvalidSelection);

/// Moves the current time to the start of the playback range, with the
/// warning, when it stands elsewhere: commands that build from the rest
/// pose work there.
void rewindToStart(const char* warning);

/// True, after the module's error line naming the path, when the shape is
/// instanced: the module works on meshes that stand in the scene once.
bool refuseInstance(const MDagPath& shape);

/// Host undo recording off while the scope lives: a batch of host commands
/// that the command itself stands for on the undo queue.
class UndoRecordingOff {
 public:
  UndoRecordingOff();
  ~UndoRecordingOff();
  UndoRecordingOff(const UndoRecordingOff&) = delete;
  UndoRecordingOff& operator=(const UndoRecordingOff&) = delete;
};

// --- Nodes of a kind ----------------------------------------------------------

/// How a command tells about a selected node that is not of the kind it
/// works on: "<command>: <node> is not <kind>, <outcome>".
struct LeftOut {
  const char* command;
  const char* kind;
  const char* outcome = "it is left out";
};
/// Shows the LeftOut warning for the node.
void warnLeftOut(const LeftOut& leftOut, const MObject& node);

/// The nodes of the selection in order, as an iterator with the filter
/// gives them: with a filter, a selected transform stands for its first
/// shape of that kind.
std::vector<MObject> selectedDependNodes(const MSelectionList& list, MFn::Type filter = MFn::kInvalid);

/// The module's nodes of type `Node` among selectedDependNodes, in order;
/// the others are passed over.
template <typename Node>
std::vector<Node*> selectedNodes(const MSelectionList& list, MFn::Type filter = MFn::kInvalid) {
  std::vector<Node*> nodes;
  for (const MObject& node : selectedDependNodes(list, filter))
    if (Node* found = userNodeOf<Node>(node)) nodes.push_back(found);
  return nodes;
}

/// As selectedNodes; each other node gets the LeftOut warning, in
/// selection order.
template <typename Node>
std::vector<Node*> selectedNodes(const MSelectionList& list, const LeftOut& leftOut) {
  std::vector<Node*> nodes;
  for (const MObject& node : selectedDependNodes(list)) {
    if (Node* found = userNodeOf<Node>(node))
      nodes.push_back(found);
    else
      warnLeftOut(leftOut, node);
  }
  return nodes;
}

/// The module's node of type `Node` that is the selection's first object;
/// null when it is another.
template <typename Node>
Node* firstSelectedNode(const MSelectionList& list) {
  MObject first;
  list.getDependNode(0, first);
  return userNodeOf<Node>(first);
}

// --- Meshes and their transforms ----------------------------------------------

/// A mesh shape of a selection and the transform right above it.
struct SelectedMesh {
  MDagPath shape;
  MDagPath transform;
};

/// Walks the selection's geometry in order (a transform stands for its
/// first shape) and hands each polygon mesh shape that is not an
/// intermediate object to `visit`, which answers false to stop the walk.
/// With `tellNurbs`, each NURBS surface met gets the module's line that it
/// is not worked on. Answers whether a mesh was met.
template <typename Visit>
bool forEachSelectedMesh(const MSelectionList& list, bool tellNurbs, Visit visit);

/// The line a NURBS surface gets from commands that work on meshes.
void tellNurbsNotWorkedOn();
/// Whether the path leads to a polygon mesh shape that is not an
/// intermediate object.
bool isWorkingMesh(const MDagPath& path);
/// The mesh with the path one up as its transform.
SelectedMesh meshWithTransform(const MDagPath& shape);

/// The first item of the list that is (or has a shape that is) of the
/// type; false when there is none.
bool firstPathOfType(const MSelectionList& list, MFn::Type type, MDagPath& path);

template <typename Visit>
bool forEachSelectedMesh(const MSelectionList& list, bool tellNurbs, Visit visit) {
  bool met = false;
  for (MItSelectionList it(list, MFn::kGeometric); !it.isDone(); it.next()) {
    MDagPath path;
    if (!it.getDagPath(path)) continue;
    if (tellNurbs && path.hasFn(MFn::kNurbsSurface)) {
      tellNurbsNotWorkedOn();
      continue;
    }
    if (!isWorkingMesh(path)) continue;
    met = true;
    if (!visit(meshWithTransform(path))) break;
  }
  return met;
}
