// Stress colours: each vertex of a piece shows how strong the joint nearest
// to it is against the fracture body's threshold; blue at the threshold,
// fading to white for weaker joints and to black for stronger ones, red for
// joints that carry break energy. The colours go to the piece's rigid body
// node, which draws them; the meshes themselves are not changed.
#include <maya/MColorArray.h>
#include <maya/MDGModifier.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MPointArray.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

/// The strength of a joint that force does not break: the largest float.
constexpr double kUnbreakable = 3.4028234663852886e38;
/// Break energy above this shows the joint in red.
constexpr double kNoEnergy = 1e-5;
/// The hue of a joint at the threshold: blue.
constexpr double kThresholdHue = 0.666667;
/// The colour set that older scenes painted the stresses into.
const char* const kOldStressSet = "colorStresses";
/// The host's function types of a per-vertex colour node and of a colour-set
/// node in a mesh's history.
constexpr int kPerVertexColourType = 730;
constexpr int kColourSetType = 731;

struct JointMark {
  Mgc::MgcVector3 anchor;
  double strength;
  double energy;
};

/// The mesh a piece collides as: the source of its collision shape's
/// `inShape`, the shape linked to the piece's `inCollisionType`. The null
/// object when a link is missing.
MObject pieceMesh(const rigidBodyNode& piece) {
  const MObject shape = sourceNodeOf(MPlug(piece.thisMObject(), rigidBodyNode::inCollisionType));
  if (shape.isNull() || !collisionShapeNode::isShapeNode(shape)) return MObject();
  return sourceNodeOf(MPlug(shape, collisionShapeNode::inShape));
}

}  // namespace

MColor FractureBodyNode::colorFromHsv(double h, double s, double v) {
  const float h6 = static_cast<float>(h * 360.0 / 60.0);
  const int i = static_cast<int>(h6) % 6;
  const float f = h6 - static_cast<float>(i);
  const float p = static_cast<float>((1.0 - s) * v);
  const float q = static_cast<float>((1.0 - f * s) * v);
  const float t = static_cast<float>((1.0 - (1.0 - f) * s) * v);
  const float value = static_cast<float>(v);
  switch (i) {
    case 0:
      return MColor(value, t, p, 1.0f);
    case 1:
      return MColor(q, value, p, 1.0f);
    case 2:
      return MColor(p, value, t, 1.0f);
    case 3:
      return MColor(p, q, value, 1.0f);
    case 4:
      return MColor(t, p, value, 1.0f);
    default:
      return MColor(value, p, q, 1.0f);
  }
}

void FractureBodyNode::colorStresses(const MObject& piece, int) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(piece);
  if (rigid == nullptr) return;
  const double threshold = stressThreshold();
  auto* body = static_cast<PrivateHardBody*>(rigid->engineBody(true));
  if (body == nullptr) return;

  std::vector<JointMark> marks;
  if (!body->isStatic()) {
    for (const DynamicStress* joint : valuesOf(body->getJointList())) {
      const double strength = joint->isBreakableByForce() ? joint->get_break_tolerance() : kUnbreakable;
      marks.push_back({joint->worldAnchorMidpoint(), strength, joint->getBreakEnergy()});
    }
    if (marks.empty()) return;
  }

  const MObject mesh = pieceMesh(*rigid);
  MDagPath meshPath;
  if (mesh.isNull() || !MDagPath::getAPathTo(mesh, meshPath)) return;
  MPointArray points;
  if (!MFnMesh(meshPath).getPoints(points, MSpace::kWorld)) return;

  MColorArray colours;
  for (unsigned int v = 0; v < points.length(); ++v) {
    if (marks.empty()) {
      colours.append(MColor(0.0f, 0.0f, 0.0f, 1.0f));
      continue;
    }
    const Mgc::MgcVector3 p = toEngine(points[v]);
    size_t nearest = 0;
    double best = (marks[0].anchor - p).SquaredLength();
    for (size_t k = 1; k < marks.size(); ++k) {
      const double d = (marks[k].anchor - p).SquaredLength();
      if (d < best) {
        best = d;
        nearest = k;
      }
    }
    const double s = marks[nearest].strength;
    double saturation = 1.0;
    double value = 1.0;
    if (threshold > s) saturation = s / threshold;
    if (threshold < s) value = threshold / s;
    MColor colour = colorFromHsv(kThresholdHue, saturation, value);
    if (marks[nearest].energy > kNoEnergy) colour = MColor(std::min(1.0f, colour.b + 0.5f), 0.0f, 0.0f, 1.0f);
    colours.append(colour);
  }
  rigid->setStressColors(colours);
}

void FractureBodyNode::refreshStressDisplay() {
  MGlobal::executeCommand("undoInfo -swf off", false, false);
  for (rigidBodyNode* piece : pieceNodes()) colorStresses(piece->thisMObject(), 0);
  for (clusterFractureNode* cluster : clusterNodes()) cluster->setStressColors();
  MGlobal::executeCommandOnIdle("refresh -force;");
  MGlobal::executeCommand("undoInfo -swf on", false, false);
}

void FractureBodyNode::hideStressColors() {
  for (rigidBodyNode* piece : pieceNodes()) {
    const MObject mesh = pieceMesh(*piece);
    if (mesh.isNull()) continue;
    MFnMesh fn(mesh);
    MStringArray names;
    if (fn.numColorSets() <= 1 || !fn.getColorSetNames(names) || names.length() == 0) continue;
    fn.setCurrentColorSetName(names[0]);
  }
}

void FractureBodyNode::removeStressColors() {
  for (rigidBodyNode* piece : pieceNodes()) {
    const MObject mesh = pieceMesh(*piece);
    if (mesh.isNull()) continue;
    MFnMesh fn(mesh);
    const MObject feeding = sourceNodeOf(fn.findPlug("inMesh", true));
    MDGModifier& dg = dgModifier();
    bool marked = false;
    if (!feeding.isNull() && feeding.apiType() == static_cast<MFn::Type>(kPerVertexColourType)) {
      const MObject colourSet = sourceNodeOf(MFnDependencyNode(feeding).findPlug("inputPolymesh", true));
      if (!colourSet.isNull() && colourSet.apiType() == static_cast<MFn::Type>(kColourSetType)) {
        dg.deleteNode(feeding);
        dg.deleteNode(colourSet);
        marked = true;
      }
    } else if (!feeding.isNull() && feeding.apiType() == static_cast<MFn::Type>(kColourSetType)) {
      dg.deleteNode(feeding);
      marked = true;
    }
    if (marked) {
      dg.doIt();
    } else {
      const MString oldSet(kOldStressSet);
      fn.deleteColorSet(oldSet);
    }
  }
}
