#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MColorArray.h>
#include <maya/MDagPath.h>
#include <maya/MDrawContext.h>
#include <maya/MFrameContext.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MUIDrawManager.h>
#include <maya/MViewport2Renderer.h>

#include "engine/bodies/HardBody.h"
#include "geometry/ZOVmesh.h"
#include "src/draw/bodyDrawing.h"
#include "src/draw/overrideDrawing.h"

/// What the rigid body override prepares for its draw callback: a snapshot
/// of the node's state for one frame. The viewport keeps it from frame to
/// frame. Pointers are borrowed: the node owns the body, the collision
/// shape node the mesh.
class rigidBodyNodeDrawData : public zovdraw::ObjectDrawData {
 public:
  /// World space to the transform's frame.
  MMatrix worldInverse;
  /// The body's frame to the transform's frame.
  MMatrix offsetInverse;
  HardBody* body = nullptr;
  /// The node's state as the body's colour shows it; `isStatic` is read
  /// from the body when it is drawn.
  zovdraw::BodyLook look;
  /// A piece shows its stress as per-vertex colours of `mesh`.
  bool showStress = false;
  /// The collision shape's mesh, in world space, for stress display.
  ZOVmesh* mesh = nullptr;
  /// One colour per vertex of `mesh`.
  MColorArray stressColors;
};

/// The Viewport 2.0 override of the rigid body locator: it draws the engine
/// body's faces, or a capsule's end circles, in the colour of the body's
/// state, through the draw agent of the renderer's graphics interface.
class rigidBodyNodeDrawVport20 : public zovdraw::ObjectDrawOverrideOf<rigidBodyNodeDrawVport20> {
 public:
  using ObjectDrawOverrideOf::ObjectDrawOverrideOf;

  bool isBounded(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  /// The rigid body's box; for another node, the box of the path's parent
  /// (kept by the override).
  MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const override;
  bool hasUIDrawables() const override { return true; }
  /// Fills the node's draw data, reusing the old one; while the host plays
  /// back or scrubs the data stays as it was.
  MHWRender::MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                       const MHWRender::MFrameContext& frameContext,
                                       MHWRender::MUserData* oldData) override;
  void addUIDrawables(const MDagPath& objPath, MHWRender::MUIDrawManager& drawManager,
                      const MHWRender::MFrameContext& frameContext, const MHWRender::MUserData* data) override;

  /// Draws a rigidBodyNodeDrawData. Leaves the context's rasterizer state
  /// as it found it.
  static void drawCallback(const MHWRender::MDrawContext& context, const MHWRender::MUserData* data);
};
