#pragma once

#include <maya/MStatus.h>

/// A 3D view of the host. Legacy drawing code brackets its OpenGL calls with
/// beginGL and endGL, which make the view's OpenGL context current (drawing
/// into the view's framebuffer) and then give the calling thread back the
/// context it had.
class M3dView {
 public:
  M3dView() = default;

  /// The view that has the focus.
  static M3dView active3dView(MStatus* status = nullptr);

  /// Fails when no OpenGL context can be had for the view.
  MStatus beginGL();
  MStatus endGL();
  int portWidth(MStatus* status = nullptr) const;
  int portHeight(MStatus* status = nullptr) const;
};
