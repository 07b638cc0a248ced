#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDrawContext.h>
#include <maya/MFrameContext.h>
#include <maya/MObject.h>
#include <maya/MPointArray.h>
#include <maya/MUIDrawManager.h>
#include "src/draw/overrideDrawing.h"

/// What the preview's override prepares for its draw callback: copies of
/// the locator's points for one frame.
class ShatterLocatorDrawData : public zovdraw::ObjectDrawData {
 public:
  /// The locator's space.
  MPointArray previewPoints;
  /// The object's space.
  MPointArray existingSeeds;
};

/// The Viewport 2.0 override of the shatter preview: the preview points in
/// cyan and an earlier shatter's seeds in blue through the draw agent of the
/// renderer's graphics interface, and the label in green below the points.
class ShatterLocatorDrawVport20 : public zovdraw::ObjectDrawOverrideOf<ShatterLocatorDrawVport20> {
 public:
  using ObjectDrawOverrideOf::ObjectDrawOverrideOf;

  bool isBounded(const MDagPath&, const MDagPath&) const override { return true; }
  /// The box of the preview points (empty without them).
  MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  bool hasUIDrawables() const override { return true; }
  /// Copies the locator's points and notes the camera's directions and its
  /// distance to the point it turns about (the Direct3D marker size).
  MHWRender::MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                       const MHWRender::MFrameContext& frameContext,
                                       MHWRender::MUserData* oldData) override;
  /// The label, centred half the box's height below the locator.
  void addUIDrawables(const MDagPath& objPath, MHWRender::MUIDrawManager& drawManager,
                      const MHWRender::MFrameContext& frameContext, const MHWRender::MUserData* data) override;

  /// Draws a ShatterLocatorDrawData; nothing while the user moves the view.
  static void drawCallback(const MHWRender::MDrawContext& context, const MHWRender::MUserData* data);
};
