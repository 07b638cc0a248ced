#include "src/simulation/queryZovBodyCmd.h"

#include <maya/MDagPath.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MItMeshEdge.h>
#include <maya/MStringArray.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kCollisionListFlag{"-cl", "-collisionList"};
constexpr CommandFlag kCollisionPointsFlag{"-cp", "-collisionPoints"};
constexpr CommandFlag kIsTransitionFlag{"-itr", "-isTransition"};
constexpr CommandFlag kIsMassNegativeFlag{"-imn", "-isMassNegative"};
constexpr CommandFlag kIsCacheOnFlag{"-ico", "-isCacheON"};

const char* const kNotBodies = "not zov bodies selected";
/// An open edge at most this long (object space) is taken for a seam, not
/// a hole.
constexpr double kOpenEdgeLength = static_cast<double>(0.005f);

/// Whether a mesh has an edge with fewer than two faces that is longer than
/// kOpenEdgeLength.
bool hasOpenEdge(const MObject& mesh) {
  for (MItMeshEdge edge(mesh); !edge.isDone(); edge.next()) {
    int faces = 0;
    double length = 0.0;
    if (edge.numConnectedFaces(faces) && faces < 2 && edge.getLength(length) && length > kOpenEdgeLength) return true;
  }
  return false;
}

/// Whether a mesh under the body's transform is open.
bool transformHasOpenMesh(const MObject& body) {
  MDagPath transform;
  if (!parentTransformPath(body, transform)) return false;
  for (unsigned int i = 0; i < transform.childCount(); ++i) {
    const MObject child = transform.child(i);
    if (child.apiType() == MFn::kMesh && hasOpenEdge(child)) return true;
  }
  return false;
}

}  // namespace

MSyntax queryZovBodyCmd::newSyntax() {
  return commandSyntax(
      {kCollisionListFlag, kCollisionPointsFlag, kIsTransitionFlag, kIsMassNegativeFlag, kIsCacheOnFlag},
      kSelectedObjects);
}

MStatus queryZovBodyCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  if (arguments.isSet(kCollisionPointsFlag) && selection.length() < 2) return failWithError("expected two objects");
  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) return failWithError("zov solver not found");

  // The modes that walk the selection for bodies say which nodes are none.
  const bool walksBodies = arguments.isSet(kCollisionListFlag) ||
                           (!arguments.isSet(kCollisionPointsFlag) && !arguments.isSet(kIsTransitionFlag) &&
                            (arguments.isSet(kIsMassNegativeFlag) || arguments.isSet(kIsCacheOnFlag)));
  if (walksBodies) selectedNodes<rigidBodyNode>(selection, LeftOut{arguments.command(), "a zov rigid body"});
  if (arguments.isSet(kCollisionListFlag)) return collisionList(*solver);
  if (arguments.isSet(kCollisionPointsFlag)) return collisionPoints(*solver);
  if (arguments.isSet(kIsTransitionFlag)) {
    setResult(false);
  } else if (arguments.isSet(kIsMassNegativeFlag)) {
    isMassNegative();
  } else if (arguments.isSet(kIsCacheOnFlag)) {
    isCacheOn();
  }
  return MS::kSuccess;
}

MStatus queryZovBodyCmd::collisionList(zovSolverNode& solver) {
  const std::vector<MObject> nodes = selectedDependNodes(selection, MFn::kPluginLocatorNode);
  if (nodes.empty()) return failWithError(kNotBodies);
  MStringArray partners;
  for (const MObject& node : nodes) {
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr || rigid->engineBody(true) == nullptr) continue;
    // The world hands out one array for every call: its names are taken now.
    HardBody** bodies = nullptr;
    const std::uint32_t count = solver.bodyCollisions(node, &bodies);
    for (std::uint32_t k = 0; k < count; ++k) partners.append(bodies[k]->getShape().name);
  }
  if (partners.length() > 0) setResult(partners);
  return MS::kSuccess;
}

MStatus queryZovBodyCmd::collisionPoints(zovSolverNode& solver) {
  MObject first, second;
  selection.getDependNode(0, first);
  selection.getDependNode(1, second);
  rigidBodyNode* a = userNodeOf<rigidBodyNode>(first);
  rigidBodyNode* b = userNodeOf<rigidBodyNode>(second);
  if (a == nullptr || b == nullptr) return failWithError(kNotBodies);
  if (a->engineBody(true) == nullptr || b->engineBody(true) == nullptr) return MS::kSuccess;
  Mgc::MgcVector3* points = nullptr;
  const std::uint32_t count = solver.pairCollisions(first, second, &points);
  if (count == 0) return MS::kSuccess;
  MDoubleArray coordinates;
  for (std::uint32_t k = 0; k < count; ++k) {
    coordinates.append(points[k].x);
    coordinates.append(points[k].y);
    coordinates.append(points[k].z);
  }
  setResult(coordinates);
  return MS::kSuccess;
}

void queryZovBodyCmd::isMassNegative() {
  bool negative = false;
  for (rigidBodyNode* rigid : selectedNodes<rigidBodyNode>(selection, MFn::kPluginLocatorNode)) {
    if (rigid->engineBody(true) == nullptr) continue;
    if (rigid->isMassNegative()) {
      negative = true;
      break;
    }
    if (transformHasOpenMesh(rigid->thisMObject())) negative = true;
  }
  setResult(negative);
}

void queryZovBodyCmd::isCacheOn() {
  const std::vector<rigidBodyNode*> bodies = selectedNodes<rigidBodyNode>(selection, MFn::kPluginLocatorNode);
  setResult(!bodies.empty() && bodies.front()->cachedFrameCount() > 1);
}
