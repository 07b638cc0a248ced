#include "src/simulation/queryZovBodyCmd.h"

#include <maya/MArgDatabase.h>
#include <maya/MDagPath.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItMeshEdge.h>
#include <maya/MItSelectionList.h>
#include <maya/MStringArray.h>

#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

const char* const kCollisionListFlag = "-cl";
const char* const kCollisionPointsFlag = "-cp";
const char* const kIsTransitionFlag = "-itr";
const char* const kIsMassNegativeFlag = "-imn";
const char* const kIsCacheOnFlag = "-ico";

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

void* queryZovBodyCmd::creator() { return new queryZovBodyCmd; }

MSyntax queryZovBodyCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kCollisionListFlag, "-collisionList");
  syntax.addFlag(kCollisionPointsFlag, "-collisionPoints");
  syntax.addFlag(kIsTransitionFlag, "-isTransition");
  syntax.addFlag(kIsMassNegativeFlag, "-isMassNegative");
  syntax.addFlag(kIsCacheOnFlag, "-isCacheON");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus queryZovBodyCmd::doIt(const MArgList& arguments) {
  MStatus status;
  const MArgDatabase parsed(syntax(), arguments, &status);
  if (!status) return status;
  m_selection.clear();
  parsed.getObjects(m_selection);
  if (m_selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  if (parsed.isFlagSet(kCollisionPointsFlag) && m_selection.length() < 2) {
    MGlobal::displayError("expected two objects");
    return MS::kFailure;
  }
  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) {
    MGlobal::displayError("zov solver not found");
    return MS::kFailure;
  }

  // The modes that walk the selection for bodies say which nodes are none.
  const bool walksBodies = parsed.isFlagSet(kCollisionListFlag) ||
                           (!parsed.isFlagSet(kCollisionPointsFlag) && !parsed.isFlagSet(kIsTransitionFlag) &&
                            (parsed.isFlagSet(kIsMassNegativeFlag) || parsed.isFlagSet(kIsCacheOnFlag)));
  if (walksBodies)
    for (unsigned int i = 0; i < m_selection.length(); ++i) {
      MObject node;
      if (m_selection.getDependNode(i, node) && userNodeOf<rigidBodyNode>(node) == nullptr)
        MGlobal::displayWarning("queryZovBody: " + MFnDependencyNode(node).name() +
                                " is not a zov rigid body, it is left out");
    }
  if (parsed.isFlagSet(kCollisionListFlag)) return collisionList(*solver);
  if (parsed.isFlagSet(kCollisionPointsFlag)) return collisionPoints(*solver);
  if (parsed.isFlagSet(kIsTransitionFlag)) {
    setResult(false);
  } else if (parsed.isFlagSet(kIsMassNegativeFlag)) {
    isMassNegative();
  } else if (parsed.isFlagSet(kIsCacheOnFlag)) {
    isCacheOn();
  }
  return MS::kSuccess;
}

MStatus queryZovBodyCmd::collisionList(zovSolverNode& solver) {
  MItSelectionList it(m_selection, MFn::kPluginLocatorNode);
  if (it.isDone()) {
    MGlobal::displayError(kNotBodies);
    return MS::kFailure;
  }
  MStringArray partners;
  for (; !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
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
  m_selection.getDependNode(0, first);
  m_selection.getDependNode(1, second);
  rigidBodyNode* a = userNodeOf<rigidBodyNode>(first);
  rigidBodyNode* b = userNodeOf<rigidBodyNode>(second);
  if (a == nullptr || b == nullptr) {
    MGlobal::displayError(kNotBodies);
    return MS::kFailure;
  }
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
  for (MItSelectionList it(m_selection, MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr || rigid->engineBody(true) == nullptr) continue;
    if (rigid->isMassNegative()) {
      negative = true;
      break;
    }
    if (transformHasOpenMesh(node)) negative = true;
  }
  setResult(negative);
}

void queryZovBodyCmd::isCacheOn() {
  bool cached = false;
  for (MItSelectionList it(m_selection, MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    MObject node;
    if (!it.getDependNode(node)) continue;
    if (rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node)) {
      cached = rigid->cachedFrameCount() > 1;
      break;
    }
  }
  setResult(cached);
}
