#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDAGDrawOverrideInfo.h>
#include <maya/MDagPath.h>
#include <maya/MDrawContext.h>
#include <maya/MFrameContext.h>
#include <maya/MObject.h>
#include <maya/MPointArray.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MUIDrawManager.h>
#include <maya/MUserData.h>

/// What the preview's override prepares for its draw callback: copies of
/// the locator's points for one frame.
class ShatterLocatorDrawData : public MHWRender::MUserData {
 public:
  ShatterLocatorDrawData() : MHWRender::MUserData(false) {}

  /// The host's wireframe colour of the object (kept, not drawn with).
  float wireColour[3] = {0.0f, 0.0f, 0.0f};
  bool boxFlag = false;
  MBoundingBox box;
  MDAGDrawOverrideInfo overrideInfo;
  /// The locator's space.
  MPointArray previewPoints;
  /// The object's space.
  MPointArray existingSeeds;
};

/// The Viewport 2.0 override of the shatter preview: the preview points in
/// cyan and an earlier shatter's seeds in blue through the draw agent of the
/// renderer's graphics interface, and the label in green below the points.
class ShatterLocatorDrawVport20 : public MHWRender::MPxDrawOverride {
 public:
  static MHWRender::MPxDrawOverride* Creator(const MObject& object);

  explicit ShatterLocatorDrawVport20(const MObject& object);
  ~ShatterLocatorDrawVport20() override = default;

  /// OpenGL, Direct3D 11 and the OpenGL core profile.
  MHWRender::DrawAPI supportedDrawAPIs() const override;
  bool isBounded(const MDagPath&, const MDagPath&) const override { return true; }
  /// The box of the preview points (empty without them).
  MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  bool hasUIDrawables() const override { return true; }
  bool disableInternalBoundingBoxDraw() const override { return boxFlag; }
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

 private:
  mutable MBoundingBox box;
  bool boxFlag = true;
};
