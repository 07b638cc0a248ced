#include "dag/CameraNode.h"

#include <maya/MEulerRotation.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTransform.h>
#include <maya/MPlug.h>

#include "dg/Graph.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/Constants.h"

namespace zovhost {

namespace {

// The host's own type id.
constexpr unsigned int kCameraTypeId = 0x4443414D;

struct DefaultCamera {
  const char* name;
  bool orthographic;
  double translate[3];
  /// Degrees, about x, y, z in that order.
  double rotate[3];
  double centerOfInterest;
};

// The perspective camera sits on the diagonal (28, 21, 28) and looks at the
// origin; the orthographic ones stand 100 units out along their axis.
const DefaultCamera kDefaultCameras[] = {
    {"persp", false, {28.0, 21.0, 28.0}, {-27.938, 45.0, 0.0}, 44.822},
    {"top", true, {0.0, 100.0, 0.0}, {-90.0, 0.0, 0.0}, 100.0},
    {"front", true, {0.0, 0.0, 100.0}, {0.0, 0.0, 0.0}, 100.0},
    {"side", true, {100.0, 0.0, 0.0}, {0.0, 90.0, 0.0}, 100.0},
};

constexpr double kRadiansPerDegree = kPi / 180.0;

}  // namespace

MObject CameraNode::orthographic;
MObject CameraNode::orthographicWidth;
MObject CameraNode::focalLength;
MObject CameraNode::horizontalFilmAperture;
MObject CameraNode::nearClipPlane;
MObject CameraNode::farClipPlane;
MObject CameraNode::centerOfInterest;

MStatus CameraNode::initialize() {
  MFnNumericAttribute numeric;
  orthographic = numeric.create("orthographic", "o", MFnNumericData::kBoolean, 0.0);
  orthographicWidth = numeric.create("orthographicWidth", "ow", MFnNumericData::kDouble, 30.0);
  focalLength = numeric.create("focalLength", "fl", MFnNumericData::kDouble, 35.0);
  horizontalFilmAperture = numeric.create("horizontalFilmAperture", "hfa", MFnNumericData::kDouble, 1.41732);
  nearClipPlane = numeric.create("nearClipPlane", "ncp", MFnNumericData::kDouble, 0.1);
  farClipPlane = numeric.create("farClipPlane", "fcp", MFnNumericData::kDouble, 10000.0);
  centerOfInterest = numeric.create("centerOfInterest", "coi", MFnNumericData::kDouble, 5.0);
  for (const MObject* attribute : {&orthographic, &orthographicWidth, &focalLength, &horizontalFilmAperture,
                                   &nearClipPlane, &farClipPlane, &centerOfInterest}) {
    const MStatus status = addAttribute(*attribute);
    if (!status) return status;
  }
  return MS::kSuccess;
}

MBoundingBox CameraNode::objectBoundingBox() const {
  return MBoundingBox(MPoint(-0.5, -0.5, -0.5), MPoint(0.5, 0.5, 0.5));
}

void registerCameraType(NodeTypeRegistry& registry) {
  auto camera = registry.registerBuiltin(
      "camera", MTypeId(kCameraTypeId), &CameraNode::creator, &CameraNode::initialize, MFn::kCamera,
      {MFn::kCamera, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode}, {"dagNode", "shape"});
  camera->defaultName = "cameraShape";
  camera->parentDefaultName = "camera";
}

bool isDefaultCameraName(const std::string& name) {
  for (const DefaultCamera& camera : kDefaultCameras)
    if (name == camera.name) return true;
  return false;
}

void createDefaultCameras() {
  Graph& graph = sceneGraph();
  for (const DefaultCamera& made : kDefaultCameras) {
    if (graph.find(made.name)) continue;
    std::shared_ptr<NodeImpl> transform;
    const auto shape = createDagNode(nodeTypeRegistry().find("camera"), nullptr, "", &transform, nullptr);
    if (!shape || !transform) continue;
    graph.rename(*transform, made.name);
    graph.rename(*shape, std::string(made.name) + "Shape");
    MFnTransform place{MObject(transform)};
    place.setTranslation(MVector(made.translate[0], made.translate[1], made.translate[2]), MSpace::kTransform);
    place.setRotation(MEulerRotation(made.rotate[0] * kRadiansPerDegree, made.rotate[1] * kRadiansPerDegree,
                                     made.rotate[2] * kRadiansPerDegree));
    MPlug(MObject(shape), CameraNode::orthographic).setValue(made.orthographic);
    MPlug(MObject(shape), CameraNode::centerOfInterest).setValue(made.centerOfInterest);
    transform->defaultNode = shape->defaultNode = true;
  }
}

}  // namespace zovhost
