#pragma once

#include <maya/M3dView.h>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPxManipContainer.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>
#include <maya/MVector.h>

#include "src/moduleNode.h"

/// The handles of a shatter preview (`ShatterLocatorManip`): one free-point
/// manipulator per centre in use (`numLoc`, at most five), each tied to its
/// element of the locator's `shatter_pos`. Dragging one makes the preview
/// points again at once.
class ShatterLocatorManip : public ModuleNode<ShatterLocatorManip, MPxManipContainer> {
 public:
  /// Centres a preview has handles for.
  static constexpr int kMaxHandles = 5;

  /// Five handles, "pointManip" with the point "freePoint".
  MStatus createChildren() override;
  /// Shows handle k at centre k for k below `numLoc`, hides the others.
  /// Fails for a null node.
  MStatus connectToDependNode(const MObject& node) override;
  /// The shown handles as points, in the colour the host set.
  void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override;
  /// Both make the preview follow the moved centre, then go on as the base.
  MStatus doDrag() override;
  MStatus doRelease() override;

  static const MTypeId id;

  /// Centres in use, from `numLoc`.
  int centreCount = 0;
  MDagPath handles[kMaxHandles];
  /// Where each handle was last put.
  MVector positions[kMaxHandles];
  /// The locator the handles are tied to.
  MObject locator;
};
