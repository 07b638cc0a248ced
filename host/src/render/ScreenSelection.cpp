// Picking from the screen: the objects whose shapes' world boxes, seen
// through the active view's camera, meet a rectangle of the view's port.
#include <maya/M3dView.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDagNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>
#include <maya/MPoint.h>

#include <algorithm>
#include <limits>

#include "dag/CameraNode.h"
#include "render/RenderState.h"
#include "render/SceneViewport.h"

namespace {

/// A rectangle of port pixels.
struct PortRect {
  double left, bottom, right, top;
};

/// How the view sees: world to camera space, camera space to clip space,
/// the clipping planes' distances and the port's size.
struct ViewLook {
  MMatrix toCamera;
  MMatrix projection;
  double nearClip, farClip;
  int width, height;
};

/// The port rectangle a world box covers; false when the box lies wholly
/// before the near or beyond the far clipping plane. Only the corners in
/// front of the eye are projected.
bool projectedRect(const MBoundingBox& box, const ViewLook& look, PortRect& rect) {
  bool seen = false;
  double nearest = std::numeric_limits<double>::max(), farthest = std::numeric_limits<double>::lowest();
  const MPoint lo = box.min(), hi = box.max();
  for (int corner = 0; corner < 8; ++corner) {
    const MPoint world((corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y, (corner & 4) ? hi.z : lo.z);
    const MPoint eye = world * look.toCamera;
    // The camera looks down its -z axis.
    const double depth = -eye.z;
    nearest = std::min(nearest, depth);
    farthest = std::max(farthest, depth);
    if (depth <= 0.0) continue;
    const MPoint clip = eye * look.projection;
    const double x = (clip.x / clip.w + 1.0) * 0.5 * look.width;
    const double y = (clip.y / clip.w + 1.0) * 0.5 * look.height;
    if (!seen) {
      rect = {x, y, x, y};
      seen = true;
    } else {
      rect = {std::min(rect.left, x), std::min(rect.bottom, y), std::max(rect.right, x), std::max(rect.top, y)};
    }
  }
  return seen && farthest >= look.nearClip && nearest <= look.farClip;
}

bool meets(const PortRect& a, const PortRect& b) {
  return a.left <= b.right && b.left <= a.right && a.bottom <= b.top && b.bottom <= a.top;
}

}  // namespace

MStatus MGlobal::selectFromScreen(short xStart, short yStart, short xEnd, short yEnd, ListAdjustment adjustment,
                                  MSelectionMethod) {
  const M3dView view = M3dView::active3dView();
  MDagPath camera;
  if (!view.getCamera(camera)) {
    // The view looks through the default camera until it is given another.
    zovhost::createDefaultCameras();
    if (!view.getCamera(camera)) return MS::kFailure;
  }
  const MFnCamera lens(camera);
  ViewLook look;
  look.width = view.portWidth();
  look.height = view.portHeight();
  look.toCamera = camera.inclusiveMatrixInverse();
  look.projection = zovhost::cameraProjection(camera, look.width, look.height);
  look.nearClip = lens.nearClippingPlane();
  look.farClip = lens.farClippingPlane();
  const PortRect marquee = {static_cast<double>(std::min(xStart, xEnd)), static_cast<double>(std::min(yStart, yEnd)),
                            static_cast<double>(std::max(xStart, xEnd)), static_cast<double>(std::max(yStart, yEnd))};

  MSelectionList picked;
  for (MItDag it; !it.isDone(); it.next()) {
    MDagPath path;
    if (!it.getPath(path) || path.hasFn(MFn::kTransform) || path.hasFn(MFn::kCamera)) continue;
    const MFnDagNode shape(path);
    if (shape.isIntermediateObject()) continue;
    MBoundingBox box = shape.boundingBox();
    if (box.isEmpty()) continue;
    box.transformUsing(path.inclusiveMatrix());
    PortRect covered = {0.0, 0.0, 0.0, 0.0};
    if (!projectedRect(box, look, covered) || !meets(covered, marquee)) continue;
    MDagPath object = path;
    if (!object.pop() || object.length() == 0) continue;
    picked.add(object, MObject::kNullObj, true);
  }
  return setActiveSelectionList(picked, adjustment);
}
