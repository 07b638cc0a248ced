#pragma once

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPoint.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <memory>
#include <vector>

namespace zovhost {

class Interpreter;
class NodeImpl;

/// The state of one free-point triad manipulator: the plug-in object of its
/// node, which is not part of the scene.
class FreePointManipulator : public MPxNode {
 public:
  MString manipName;
  MString pointName;
  /// World space.
  MPoint point;
  bool visible = true;
  /// Where a drag writes the point; null until connected.
  MPlug pointPlug;
};

/// The manipulator containers the show-manipulator tool ("ShowManips") put
/// on the selected nodes, and the node types it may do so for.
class ManipulatorState {
 public:
  /// Node types (by id) that have a manipulator container.
  std::vector<MTypeId> connectTable;

  /// A container shown for a node.
  struct Shown {
    std::shared_ptr<NodeImpl> container;
    MObject node;
  };
  std::vector<Shown> shown;

  /// Builds a container for each selected node (a selected transform stands
  /// for its shapes too) whose type is in the connect table: the type
  /// "<node type>Manip", createChildren, then connectToDependNode.
  void showForSelection();
  /// Takes the shown containers away.
  void clearShown() { shown.clear(); }
  /// Takes away the containers of a node that leaves the scene.
  void dropNode(const MObject& node);
  /// Shown containers forgotten and the connect table emptied.
  void reset();
};

/// Makes a free-point manipulator's node (outside the scene).
std::shared_ptr<NodeImpl> makeFreePointManipulator(const MString& manipName, const MString& pointName);
/// The manipulator behind a node of makeFreePointManipulator, or null.
FreePointManipulator* freePointManipulatorOf(const std::shared_ptr<NodeImpl>& node);

/// Registers the host tool "ShowManips" and the command
///   dragManip index x y z
/// which drags shown free-point manipulator `index` (counting through the
/// shown containers in order) to the world point: it moves the point, writes
/// it to the connected plug and calls the container's doDrag, then doRelease.
void addManipulatorTools(Interpreter& interpreter);

}  // namespace zovhost
