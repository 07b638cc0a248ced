#pragma once

#include <maya/M3dView.h>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <memory>
#include <vector>

/// Base of plug-in manipulator containers: the handles the show-manipulator
/// tool puts on a node whose type is in the connect table. The tool makes
/// the container of the type named after the node's type plus "Manip",
/// calls createChildren and then connectToDependNode with the node. The
/// manipulators it adds live as long as the container; they are not nodes of
/// the scene.
class MPxManipContainer : public MPxNode {
 public:
  MPxManipContainer() = default;
  ~MPxManipContainer() override = default;

  Type type() const override { return kManipContainer; }
  /// The initialize function manipulator containers register with.
  static MStatus initialize();
  /// Lets the show-manipulator tool build a container for nodes of the type.
  static MStatus addToManipConnectTable(const MTypeId& id);
  static MStatus removeFromManipConnectTable(const MTypeId& id);

  /// Adds the container's manipulators; the base adds none.
  virtual MStatus createChildren();
  /// Ties the manipulators to the node's plugs; the base keeps the node.
  virtual MStatus connectToDependNode(const MObject& node);
  /// Legacy drawing of the manipulators: the base sends one vertex for the
  /// point of each shown manipulator, in world space (the caller chooses
  /// the primitive).
  virtual void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status);
  /// Called as the user presses, drags and lets go of a manipulator, after
  /// its new value reached the plug it is connected to.
  virtual MStatus doPress();
  virtual MStatus doDrag();
  virtual MStatus doRelease();

  /// A new free-point triad manipulator of the container; its path serves
  /// MFnFreePointTriadManip.
  MDagPath addFreePointTriadManip(const MString& manipName, const MString& pointName);
  /// Ends the adding of manipulators.
  MStatus finishAddingManips();

  // Host side.
  const std::vector<MDagPath>& manipulatorPaths() const { return m_manipulators; }
  bool finishedAdding() const { return m_finished; }
  /// The node the base connectToDependNode was given (null before).
  const MObject& connectedNode() const { return m_connectedNode; }

 private:
  std::vector<MDagPath> m_manipulators;
  bool m_finished = false;
  MObject m_connectedNode;
};
