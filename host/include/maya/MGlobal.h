#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MSelectionMask.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

/// Host-wide services: running host command lines, messages to the user, the
/// active selection and node deletion.
class MGlobal {
 public:
  enum ListAdjustment { kReplaceList, kXORWithList, kAddToList, kRemoveFromList, kAddToHeadOfList };
  /// Whether picking selects whole objects or their components.
  enum MSelectionMode { kSelectObjectMode, kSelectComponentMode };
  /// How picking from the screen meets shapes: by their surfaces or their wires.
  enum MSelectionMethod { kSurfaceSelectMethod, kWireframeSelectMethod };

  /// Runs a host command line. displayEnabled echoes it and its result in the
  /// script editor; undoEnabled puts its changes on the undo queue. A line that
  /// no command knows fails.
  static MStatus executeCommand(const MString& command, bool displayEnabled = false, bool undoEnabled = false);
  /// The same, reading the line's result; a result that cannot be read as the
  /// kind asked for fails.
  static MStatus executeCommand(const MString& command, int& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, double& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MString& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MStringArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MIntArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  static MStatus executeCommand(const MString& command, MDoubleArray& result, bool displayEnabled = false,
                                bool undoEnabled = false);
  /// Queues a line to run when the host is next idle.
  static MStatus executeCommandOnIdle(const MString& command, bool displayEnabled = false);

  /// Messages to the user, shown in the script editor and kept in the log.
  static void displayInfo(const MString& text);
  static void displayWarning(const MString& text);
  static void displayError(const MString& text);

  static MStatus getActiveSelectionList(MSelectionList& list, bool orderedSelectionIfAvailable = false);
  /// Changes the active selection; raises "SelectionChanged".
  static MStatus setActiveSelectionList(const MSelectionList& list, ListAdjustment adjustment = kReplaceList);
  static MStatus selectByName(const MString& name, ListAdjustment adjustment = kAddToList);
  static MStatus clearSelectionList();

  /// The selection mode (object mode in a started host) and the masks of
  /// what can be picked in each mode (empty in a started host).
  static MSelectionMode selectionMode(MStatus* status = nullptr);
  static MStatus setSelectionMode(MSelectionMode mode);
  static MSelectionMask objectSelectionMask(MStatus* status = nullptr);
  static MStatus setObjectSelectionMask(const MSelectionMask& mask);
  static MSelectionMask componentSelectionMask(MStatus* status = nullptr);
  static MStatus setComponentSelectionMask(const MSelectionMask& mask);
  /// Picks, with the active view's camera, the objects whose shapes' world
  /// bounding boxes meet the rectangle of the view's port (pixels, origin
  /// at the bottom left; the corners in any order) and changes the active
  /// selection by them: each object is its shape's transform. Cameras and
  /// intermediate shapes are not picked; the method changes nothing here.
  static MStatus selectFromScreen(short xStart, short yStart, short xEnd, short yEnd,
                                  ListAdjustment adjustment = kAddToList,
                                  MSelectionMethod method = kWireframeSelectMethod);

  /// Deletes a node from the scene at once (not undoable).
  static MStatus deleteNode(MObject& node);

  /// The host's API version number, 20180000.
  static int apiVersion();
};
