// The cracker node's services to the solver: the keyed motion of its
// transform handed to the engine body frame by frame.
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>

#include <cfloat>
#include <vector>

#include "math/MgcMath.h"
#include "src/hostEngineConversions.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

/// Values of `type`.
constexpr int kAlignToPath = 0;
constexpr int kAlignToSurface = 1;
/// Path samples per control vertex.
constexpr int kMotionSamplesPerCV = 4;
constexpr double kShortestDomain = 1e-5;
constexpr double kUnitTolerance = 1e-6;
constexpr double kShortestCross = 1e-5;
/// Speed factors of the random variation.
constexpr double kFaster = 1.5;
constexpr double kSlower = 0.75;

/// Normalises v and answers its old length; leaves v as it is, answering 0,
/// when it is not longer than the tolerance.
double unitize(MVector& v, double tolerance) {
  const double length = v.length();
  if (length <= tolerance) return 0.0;
  v /= length;
  return length;
}

/// The node feeding the named plug of a node, or null.
MObject feederOf(const MObject& node, const char* plugName) {
  if (node.isNull()) return MObject();
  const MPlug plug = MFnDependencyNode(node).findPlug(plugName);
  if (plug.isNull()) return MObject();
  const MPlug source = plug.source();
  return source.isNull() ? MObject() : source.node();
}

}  // namespace

void zovCrackerNode::readTargetPose(const MTime&) {
  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return;
  target = poseOf(transform.inclusiveMatrix());
}

void zovCrackerNode::placeAtCurrentPose(const MTime&) {
  if (!body) return;
  MDagPath transform;
  if (!transformPathOrReport(thisMObject(), transform)) return;
  const MMatrix W = transform.inclusiveMatrix();
  previous = poseOf(W);
  placeBodyAt(*body.get(), multiplyTransforms(W, offset.inverse()), false);
}

void zovCrackerNode::placeAtFraction(double fraction, const MTime&, const MTime&) {
  if (!body) return;
  MVector p;
  MQuaternion q;
  blendPoses(previous, target, fraction, p, q);
  placeBodyAt(*body.get(), multiplyTransforms(poseMatrix(p, q), offset.inverse()), false);
}

void zovCrackerNode::setVelocityFromMotion(double frameSeconds, const MTime&, const MTime&) {
  if (!body || !(frameSeconds > 0.0)) return;
  const double factor = MPlug(thisMObject(), multiplier).asDouble();
  const double variation = MPlug(thisMObject(), multrand).asDouble();
  const int alignment = MPlug(thisMObject(), type).asInt();
  MVector v = (target.translationVector() - previous.translationVector()) / frameSeconds * factor;
  if (variation > 0.0) {
    const double r = Mgc::Math::UnitRandom(0.0);
    if (r > 1.0 - variation)
      v *= kFaster;
    else if (variation > r)
      v *= kSlower;
  }
  if (alignment != kAlignToPath) {
    if (alignment == kAlignToSurface) impulse = surfaceAlignedDirection();
    const double speed = static_cast<float>(v.length());
    v = impulse * speed;
  }
  body->setLinearVelocity(toEngine(v));
  MVector w;
  if (turnRate(previous.rotationQuaternion(), target.rotationQuaternion(), frameSeconds, w))
    body->setAngularMomentum(toEngine(w));
}

MVector zovCrackerNode::surfaceAlignedDirection() const {
  MVector result(0.0, 0.0, 1.0);
  MDagPath transform;
  if (!parentTransformPath(thisMObject(), transform)) return result;
  const MObject motionPath = feederOf(transform.node(), "specifiedManipLocation");
  const MObject curve = feederOf(motionPath, "geometryPath");
  MDagPath curvePath;
  if (curve.isNull() || !curve.hasFn(MFn::kNurbsCurve) || !MDagPath::getAPathTo(curve, curvePath)) return result;
  MFnNurbsCurve fn(curve);
  double start = 0.0, end = 0.0;
  const int count = kMotionSamplesPerCV * fn.numCVs();
  if (!fn.getKnotDomain(start, end) || end - start < kShortestDomain || count < 2) return result;
  const MMatrix world = curvePath.inclusiveMatrix();
  const double h = (end - start) / (count - 1);
  std::vector<MVector> samples;
  for (int k = 0; k < count; ++k) {
    MPoint point;
    fn.getPointAtParam(std::min(start + k * h, end), point, MSpace::kObject);
    samples.push_back(transformPoint(point, world));
  }

  const MVector A = previous.translationVector();
  const MVector B = target.translationVector();
  size_t nearest = 0;
  double best = FLT_MAX;
  for (size_t k = 0; k < samples.size(); ++k) {
    const double distance = (samples[k] - B).length();
    if (distance < best) {
      best = distance;
      nearest = k;
    }
  }
  MVector d = B - A;
  unitize(d, kUnitTolerance);
  for (size_t k = nearest + 1; k < samples.size(); ++k) {
    MVector along = samples[k] - samples[nearest];
    unitize(along, kUnitTolerance);
    MVector across = d ^ along;
    if (across.length() > kShortestCross) {
      unitize(across, kUnitTolerance);
      result = across;
      break;
    }
  }
  if (result * getActiveViewDirection() > 0.0) result = -result;
  return result;
}

void zovCrackerNode::storeRestPosition(const MTime& time) {
  if (body) {
    placeAtCurrentPose(time);
    body->saveDynamics(kSaveAll);
  }
  rest = previous;
  if (!keepParentAsRest(thisMObject())) return;
  restStored = true;
}

void zovCrackerNode::resetToRestPosition() {
  if (!restStored) return;
  previous = target = rest;
  if (body) body->restoreDynamics();
  MDagPath transform;
  if (!parentTransformPath(thisMObject(), transform)) return;
  MFnTransform(transform).resetFromRestPosition();
}
