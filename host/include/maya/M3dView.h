#pragma once

#include <maya/MDagPath.h>
#include <maya/MPoint.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

/// A 3D view of the host. This host has one, the active one, which looks
/// through the camera given to setCamera or, until one is given, through the
/// first camera in the scene. Legacy drawing code brackets its OpenGL calls
/// with beginGL and endGL, which make the view's OpenGL context current
/// (drawing into the view's framebuffer) and then give the calling thread back
/// the context it had.
class M3dView {
 public:
  /// How a view shows geometry.
  enum DisplayStyle { kBoundingBox, kFlatShaded, kGouraudShaded, kWireFrame, kPoints };
  /// What state an object being drawn is in: selected, not, as template, ...
  enum DisplayStatus {
    kActive,
    kLive,
    kDormant,
    kInvisible,
    kHilite,
    kTemplate,
    kActiveTemplate,
    kActiveComponent,
    kLead,
    kIntermediateObject,
    kActiveAffected,
    kNoStatus
  };

  /// Where drawText puts its text about the position.
  enum TextPosition { kLeft, kCenter, kRight };

  M3dView() = default;

  /// The view that has the focus.
  static M3dView active3dView(MStatus* status = nullptr);

  /// Fails when the scene has no camera for the view.
  MStatus getCamera(MDagPath& camera) const;
  MStatus setCamera(const MDagPath& camera);

  /// Fails when no OpenGL context can be had for the view.
  MStatus beginGL();
  MStatus endGL();
  int portWidth(MStatus* status = nullptr) const;
  int portHeight(MStatus* status = nullptr) const;
  /// Asks for the view (all views with all) to be drawn again; this host
  /// counts the requests.
  MStatus refresh(bool all = false, bool force = false);
  /// Text at a point of the current OpenGL object space, in the current
  /// OpenGL colour; this host records it (with the colour) instead of
  /// drawing it.
  MStatus drawText(const MString& text, const MPoint& position, TextPosition textPosition = kLeft);
};
