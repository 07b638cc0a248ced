// The function set of cameras and the host's active 3D view.
#include <maya/M3dView.h>
#include <maya/MFnCamera.h>

#include <maya/MPlug.h>

#include <cmath>
#include <memory>

#include "dag/CameraNode.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

namespace {

/// The camera the active view looks through, once one is given.
std::weak_ptr<zovhost::NodeImpl>& viewCamera() {
  static std::weak_ptr<zovhost::NodeImpl> camera;
  return camera;
}

}  // namespace

namespace {

/// An object-space direction or point of a camera in the space asked for.
template <typename Value>
Value inSpace(const MFnCamera& fn, const Value& local, MSpace::Space space, MStatus* status) {
  if (!fn.object().hasFn(MFn::kCamera)) {
    setStatus(status, MS::kFailure);
    return Value();
  }
  setStatus(status, MS::kSuccess);
  return space == MSpace::kWorld ? local * fn.dagPath().inclusiveMatrix() : local;
}

}  // namespace

MVector MFnCamera::viewDirection(MSpace::Space space, MStatus* status) const {
  return inSpace(*this, MVector(0.0, 0.0, -1.0), space, status).normal();
}

MVector MFnCamera::upDirection(MSpace::Space space, MStatus* status) const {
  return inSpace(*this, MVector(0.0, 1.0, 0.0), space, status).normal();
}

MPoint MFnCamera::eyePoint(MSpace::Space space, MStatus* status) const {
  return inSpace(*this, MPoint(), space, status);
}

MVector MFnCamera::rightDirection(MSpace::Space space, MStatus* status) const {
  return inSpace(*this, MVector(1.0, 0.0, 0.0), space, status).normal();
}

MPoint MFnCamera::centerOfInterestPoint(MSpace::Space space, MStatus* status) const {
  return inSpace(*this, MPoint(0.0, 0.0, -centerOfInterest()), space, status);
}

namespace {

constexpr double kMillimetresPerInch = 25.4;

/// A number of the camera's shape; 0 with a failure for other nodes.
double cameraValue(const MFnCamera& fn, const MObject& attribute, MStatus* status) {
  if (!fn.object().hasFn(MFn::kCamera)) {
    setStatus(status, MS::kFailure);
    return 0.0;
  }
  setStatus(status, MS::kSuccess);
  return MPlug(fn.object(), attribute).asDouble();
}

}  // namespace

double MFnCamera::centerOfInterest(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::centerOfInterest, status);
}

bool MFnCamera::isOrtho(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::orthographic, status) != 0.0;
}

double MFnCamera::orthoWidth(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::orthographicWidth, status);
}

double MFnCamera::horizontalFieldOfView(MStatus* status) const {
  const double aperture = horizontalFilmAperture(status) * kMillimetresPerInch;
  const double focal = focalLength(status);
  return focal > 0.0 ? 2.0 * std::atan(0.5 * aperture / focal) : 0.0;
}

double MFnCamera::focalLength(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::focalLength, status);
}

double MFnCamera::horizontalFilmAperture(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::horizontalFilmAperture, status);
}

double MFnCamera::nearClippingPlane(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::nearClipPlane, status);
}

double MFnCamera::farClippingPlane(MStatus* status) const {
  return cameraValue(*this, zovhost::CameraNode::farClipPlane, status);
}

M3dView M3dView::active3dView(MStatus* status) {
  setStatus(status, MS::kSuccess);
  return M3dView();
}

MStatus M3dView::getCamera(MDagPath& camera) const {
  auto node = viewCamera().lock();
  if (!node || !node->inGraph) {
    node = nullptr;
    for (const auto& candidate : zovhost::sceneGraph().nodes())
      if (candidate->hasFn(MFn::kCamera)) {
        node = candidate;
        break;
      }
  }
  if (!node) return MS::kFailure;
  return MDagPath::getAPathTo(MObject(node), camera);
}

MStatus M3dView::setCamera(const MDagPath& camera) {
  MDagPath shape = camera;
  if (shape.isValid() && !shape.hasFn(MFn::kCamera)) shape.extendToShape();
  if (!shape.hasFn(MFn::kCamera)) return MS::kInvalidParameter;
  viewCamera() = zovhost::nodeOf(shape.node());
  return MS::kSuccess;
}
