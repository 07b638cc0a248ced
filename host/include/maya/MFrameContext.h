#pragma once

#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MStatus.h>

namespace MHWRender {

/// What Viewport 2.0 knows about the frame it draws: the matrices of the
/// object being drawn and of the camera, the viewport's size, the display
/// style and what the user is doing. Matrices act on row vectors; the
/// projection maps the view to OpenGL's clip space (-1 to 1 in x, y, z).
class MFrameContext {
 public:
  /// Matrices by kind, four variants each: the matrix, its transpose, its
  /// inverse and the transpose of its inverse.
  enum MatrixType {
    kWorldMtx,
    kWorldTransposeMtx,
    kWorldInverseMtx,
    kWorldTranspInverseMtx,
    kViewMtx,
    kViewTransposeMtx,
    kViewInverseMtx,
    kViewTranspInverseMtx,
    kProjectionMtx,
    kProjectionTranposeMtx,
    kProjectionInverseMtx,
    kProjectionTranspInverseMtx,
    kViewProjMtx,
    kViewProjTransposeMtx,
    kViewProjInverseMtx,
    kViewProjTranspInverseMtx,
    kWorldViewMtx,
    kWorldViewTransposeMtx,
    kWorldViewInverseMtx,
    kWorldViewTranspInverseMtx,
    kWorldViewProjMtx,
    kWorldViewProjTransposeMtx,
    kWorldViewProjInverseMtx,
    kWorldViewProjTranspInverseMtx
  };
  /// Bits of the display style.
  enum DisplayStyle { kGouraudShaded = 1 << 0, kWireFrame = 1 << 1, kBoundingBox = 1 << 2 };

  /// Host side: a frame seen through a camera (its path may be invalid for
  /// a context made by hand), drawing an object placed by `world`.
  MFrameContext(const MMatrix& world, const MMatrix& view, const MMatrix& projection, unsigned int displayStyle,
                int viewportWidth, int viewportHeight, const MDagPath& camera = MDagPath());
  virtual ~MFrameContext() = default;

  /// Fails (and answers the identity) for a type outside the enumeration.
  MMatrix getMatrix(MatrixType type, MStatus* status = nullptr) const;
  /// MFrameContext::DisplayStyle bits.
  unsigned int getDisplayStyle() const { return m_displayStyle; }
  MStatus getViewportDimensions(int& originX, int& originY, int& width, int& height) const;
  MDagPath getCurrentCameraPath(MStatus* status = nullptr) const;

  /// The user is interacting with the view (tumbling, dragging).
  static bool inUserInteraction();
  /// The user is moving the camera of the view.
  static bool userChangingViewContext();

 private:
  MMatrix m_world;
  MMatrix m_view;
  MMatrix m_projection;
  unsigned int m_displayStyle;
  int m_width;
  int m_height;
  MDagPath m_camera;
};

}  // namespace MHWRender
