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

#include "geometry/ZOV_DFmesh.h"

/// What the voronoi node's override prepares for its draw callback.
class voronoiNodeDrawData : public MHWRender::MUserData {
 public:
  voronoiNodeDrawData() : MHWRender::MUserData(false) {}

  /// The host's wireframe colour of the object (kept, not drawn with).
  float wireColour[3] = {0.0f, 0.0f, 0.0f};
  bool boxFlag = false;
  MBoundingBox box;
  MDAGDrawOverrideInfo overrideInfo;
  /// Emptied at each prepare; not drawn.
  MPointArray points;
  /// The node's display cells, borrowed (the node owns them).
  const ZOV_DFmesh* cells = nullptr;
  /// The node may show its cells.
  bool drawCells = false;
};

/// The Viewport 2.0 override of the voronoi node: the cut faces of a
/// shatter's cells as grey outlines, through the draw agent of the
/// renderer's graphics interface, while the node's `draw` asks for them and
/// nothing plays back.
class voronoiNodeDrawVport20 : public MHWRender::MPxDrawOverride {
 public:
  static MHWRender::MPxDrawOverride* Creator(const MObject& object);

  explicit voronoiNodeDrawVport20(const MObject& object);
  ~voronoiNodeDrawVport20() override = default;

  /// OpenGL, Direct3D 11 and the OpenGL core profile.
  MHWRender::DrawAPI supportedDrawAPIs() const override;
  bool isBounded(const MDagPath&, const MDagPath&) const override { return false; }
  /// The box of the node's seeds (its local point list).
  MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  bool hasUIDrawables() const override { return false; }
  bool disableInternalBoundingBoxDraw() const override { return boxFlag; }
  MHWRender::MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                       const MHWRender::MFrameContext& frameContext,
                                       MHWRender::MUserData* oldData) override;
  void addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager&, const MHWRender::MFrameContext&,
                      const MHWRender::MUserData*) override {}

  /// Draws a voronoiNodeDrawData.
  static void drawCallback(const MHWRender::MDrawContext& context, const MHWRender::MUserData* data);

 private:
  mutable MBoundingBox box;
  bool boxFlag = true;
};
