#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDrawContext.h>
#include <maya/MFrameContext.h>
#include <maya/MObject.h>
#include <maya/MPointArray.h>
#include <maya/MUIDrawManager.h>

#include "geometry/ZOV_DFmesh.h"
#include "src/draw/overrideDrawing.h"

/// What the voronoi node's override prepares for its draw callback.
class voronoiNodeDrawData : public zovdraw::ObjectDrawData {
 public:
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
class voronoiNodeDrawVport20 : public zovdraw::ObjectDrawOverrideOf<voronoiNodeDrawVport20> {
 public:
  using ObjectDrawOverrideOf::ObjectDrawOverrideOf;

  bool isBounded(const MDagPath&, const MDagPath&) const override { return false; }
  /// The box of the node's seeds (its local point list).
  MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  bool hasUIDrawables() const override { return false; }
  MHWRender::MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                       const MHWRender::MFrameContext& frameContext,
                                       MHWRender::MUserData* oldData) override;
  void addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager&, const MHWRender::MFrameContext&,
                      const MHWRender::MUserData*) override {}

  /// Draws a voronoiNodeDrawData.
  static void drawCallback(const MHWRender::MDrawContext& context, const MHWRender::MUserData* data);
};
