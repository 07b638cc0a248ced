#include "src/hostUtilities.h"

#include <maya/M3dView.h>
#include <maya/MAnimUtil.h>
#include <maya/MDistance.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDagNode.h>
#include <maya/MPlugArray.h>
#include <maya/MTime.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "geometry/MeshTransforms.h"
#include "math/MgcVector2.h"
#include "src/hostEngineConversions.h"

namespace {

constexpr double kMinutesPerHour = 60.0;
constexpr unsigned int kSecondsPerMinute = 60;
constexpr int kDefaultFramesPerSecond = 24;
/// Type id of the module's rigid body node.
constexpr unsigned int kRigidBodyTypeId = 0x113A70;
/// Squared distance within which a point is taken to be at a corner.
constexpr double kSameCorner = 1e-5;

void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

/// 1 when the transform's first mesh meets the box, else 0.
int meshMeetsBox(const MDagPath& transform, const MBoundingBox& box) {
  MDagPath shape;
  if (!firstMeshBelow(transform, shape)) return 0;
  MBoundingBox bounds = MFnDagNode(shape).boundingBox();
  bounds.transformUsing(transform.exclusiveMatrix());
  return bounds.intersects(box, 0.0) ? 1 : 0;
}

bool findChild(const MObject& node, const std::function<bool(const MFnDependencyNode&)>& matches, MObject& child) {
  if (!node.hasFn(MFn::kDagNode)) return false;
  MFnDagNode dag(node);
  for (unsigned int i = 0; i < dag.childCount(); ++i) {
    const MObject candidate = dag.child(i);
    if (matches(MFnDependencyNode(candidate))) {
      child = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

double getLinearUnitScale() {
  switch (MDistance::uiUnit()) {
    case MDistance::kInches:
      return static_cast<double>(2.54f);
    case MDistance::kFeet:
      return static_cast<double>(30.48f);
    case MDistance::kYards:
      return static_cast<double>(91.44f);
    case MDistance::kMiles:
      return static_cast<double>(160934.4f);
    case MDistance::kMillimeters:
      return static_cast<double>(0.1f);
    case MDistance::kKilometers:
      return 100000.0;
    case MDistance::kMeters:
      return 100.0;
    default:
      return 1.0;
  }
}

int getFramesPerSecond() {
  static const int kFixedRates[] = {2,   3,   4,   5,   6,   8,   10,  12,  16,  20,  40,   75,   80,   100,  120, 125,
                                    150, 200, 240, 250, 300, 375, 400, 500, 600, 750, 1200, 1500, 2000, 3000, 6000};
  struct NamedRate {
    MTime::Unit unit;
    int rate;
  };
  static const NamedRate kNamedRates[] = {{MTime::kGames, 15},     {MTime::kFilm, 24},     {MTime::kPALFrame, 25},
                                          {MTime::kNTSCFrame, 30}, {MTime::kShowScan, 48}, {MTime::kPALField, 50},
                                          {MTime::kNTSCField, 60}};
  const MTime::Unit unit = MTime::uiUnit();
  for (const NamedRate& named : kNamedRates)
    if (named.unit == unit) return named.rate;
  if (unit >= MTime::k2FPS && unit <= MTime::k6000FPS) return kFixedRates[unit - MTime::k2FPS];
  return kDefaultFramesPerSecond;
}

void splitElapsedTime(double& seconds, unsigned int& minutes, unsigned int& hours) {
  if (seconds > kSecondsPerMinute) {
    minutes = static_cast<unsigned int>(seconds) / kSecondsPerMinute;
    seconds -= static_cast<double>(kSecondsPerMinute * minutes);
    if (minutes > kMinutesPerHour) {
      hours = minutes / kSecondsPerMinute;
      minutes -= kSecondsPerMinute * hours;
    }
  }
}

MVector getActiveViewDirection(MStatus* status) {
  MDagPath camera;
  const MStatus found = M3dView::active3dView().getCamera(camera);
  setStatus(status, found);
  return found ? MFnCamera(camera).viewDirection(MSpace::kWorld) : MVector();
}

MStatus copyTranslateRotate(const MFnDependencyNode& source, MFnDependencyNode& target) {
  MStatus status;
  for (const char* name : {"translate", "rotate"}) {
    const MPlug from = source.findPlug(name);
    const MPlug to = target.findPlug(name, &status);
    for (unsigned int i = 0; i < 3 && !from.isNull() && !to.isNull(); ++i) {
      const float value = from.child(i).asFloat();
      MPlug(to.child(i)).setValue(value);
    }
  }
  return status;
}

bool isScaleAnimated(const MDagPath& path) {
  MDagPath transform = path;
  if (transform.apiType() == MFn::kMesh) transform.pop();
  if (!transform.isValid() || transform.apiType() != MFn::kTransform) return false;
  MStatus status;
  const MPlug scale = MFnDependencyNode(transform.node()).findPlug("scale", &status);
  if (!status || scale.isNull()) return false;
  for (unsigned int i = 0; i < 3; ++i)
    if (MAnimUtil::isAnimated(scale.child(i))) return true;
  return false;
}

MStatus disconnectAllConnections(const MPlug& plug, MDGModifier& modifier) {
  MStatus result;
  const auto disconnectPlug = [&](const MPlug& end) {
    MPlugArray sources;
    MPlugArray destinations;
    end.connectedTo(sources, true, false);
    end.connectedTo(destinations, false, true);
    const auto apply = [&](const MPlug& source, const MPlug& destination) {
      MStatus status = modifier.disconnect(source, destination);
      if (status) status = modifier.doIt();
      if (!status && result) result = status;
    };
    for (unsigned int i = 0; i < sources.length(); ++i) apply(sources[i], end);
    for (unsigned int i = 0; i < destinations.length(); ++i) apply(end, destinations[i]);
  };
  if (plug.isArray()) {
    for (unsigned int i = 0; i < plug.numElements(); ++i) disconnectPlug(plug.elementByPhysicalIndex(i));
  } else {
    disconnectPlug(plug);
  }
  return result;
}

bool findMayaRigidBodyChild(const MObject& node, MObject& child) {
  return findChild(
      node, [](const MFnDependencyNode& fn) { return fn.typeName() == "rigidBody"; }, child);
}

bool findChildOfType(const MObject& node, MObject& child) {
  return findChild(
      node, [](const MFnDependencyNode& fn) { return fn.typeId() == MTypeId(kRigidBodyTypeId); }, child);
}

bool firstMeshBelow(const MDagPath& transform, MDagPath& shape) {
  for (unsigned int i = 0; i < transform.childCount(); ++i) {
    const MObject child = transform.child(i);
    if (child.apiType() != MFn::kMesh) continue;
    shape = transform;
    return static_cast<bool>(shape.push(child));
  }
  return false;
}

int meshBoundsIntersect(const MDagPath& parent, const MBoundingBox& box) {
  if (!parent.isValid()) return 0;
  int count = 0;
  for (unsigned int i = 0; i < parent.childCount(); ++i) {
    const MObject child = parent.child(i);
    if (child.apiType() != MFn::kTransform) continue;
    MDagPath transform = parent;
    if (transform.push(child)) count += meshMeetsBox(transform, box);
  }
  return count;
}

int anyMeshBoundsIntersect(const MObjectArray& objects, const MBoundingBox& box) {
  int count = 0;
  for (unsigned int i = 0; i < objects.length(); ++i) {
    MDagPath transform;
    if (MDagPath::getAPathTo(objects[i], transform)) count += meshMeetsBox(transform, box);
  }
  return count;
}

int countColorSets(const MFnMesh& mesh) { return mesh.numColorSets() > 0 && mesh.numColors() > 0 ? 1 : 0; }

bool faceUVAtPoint(const MPoint& point, int face, int faceVertex, const MFnMesh& mesh, const MString& uvSet, float& u,
                   float& v) {
  MIntArray vertices;
  if (!mesh.getPolygonVertices(face, vertices) || vertices.length() < 3 || faceVertex < 0 ||
      static_cast<unsigned int>(faceVertex) >= vertices.length())
    return false;
  const int corners = static_cast<int>(vertices.length());
  std::vector<float> us(static_cast<size_t>(corners));
  std::vector<float> vs(static_cast<size_t>(corners));
  std::vector<MPoint> positions(static_cast<size_t>(corners));
  for (int k = 0; k < corners; ++k) {
    if (!mesh.getPolygonUV(face, k, us[static_cast<size_t>(k)], vs[static_cast<size_t>(k)], &uvSet)) return false;
    mesh.getPoint(vertices[static_cast<unsigned int>(k)], positions[static_cast<size_t>(k)]);
  }
  const size_t a = static_cast<size_t>(faceVertex);
  if ((point - positions[a]).length() * (point - positions[a]).length() < kSameCorner) {
    u = us[a];
    v = vs[a];
    return true;
  }
  // B: the corner whose u differs most from A's (the next corner when all are equal).
  size_t b = (a + 1) % static_cast<size_t>(corners);
  double widest = 0.0;
  for (size_t k = 0; k < us.size(); ++k)
    if (k != a && std::fabs(us[k] - us[a]) > widest) {
      widest = std::fabs(us[k] - us[a]);
      b = k;
    }
  // C: the corner making the widest triangle with A and B.
  size_t c = a;
  double area = -1.0;
  for (size_t k = 0; k < us.size(); ++k) {
    if (k == a || k == b) continue;
    const double cross = ((positions[k] - positions[a]) ^ (positions[b] - positions[a])).length();
    if (cross > area) {
      area = cross;
      c = k;
    }
  }
  MVector normal;
  mesh.getPolygonNormal(face, normal);
  float du = 0.0f;
  float dv = 0.0f;
  triangleUVAtPoint(toEngine(point - positions[a]), toEngine(normal), toEngine(positions[b] - positions[a]),
                    toEngine(positions[c] - positions[a]), Mgc::MgcVector2(us[b] - us[a], us[c] - us[a]),
                    Mgc::MgcVector2(vs[b] - vs[a], vs[c] - vs[a]), du, dv);
  u = us[a] + du;
  v = vs[a] + dv;
  return true;
}
