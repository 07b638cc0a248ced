#include "src/simulation/solverCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include <cmath>
#include <cstdio>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyCmd.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kReportFlag{"-rc", "-repportCollisions", MSyntax::kBoolean};
constexpr CommandFlag kClearFlag{"-cac", "-clearAllcollisions"};
constexpr CommandFlag kConnectDynFlag{"-con", "-connectDyn"};
const char* const kNoTimeNode = "can not find time node";

/// The scene's first time node, or the null object.
MObject findTimeNode() {
  MItDependencyNodes it(MFn::kTime);
  return it.isDone() ? MObject() : it.thisNode();
}

}  // namespace

MSyntax SolverCmd::newSyntax() { return commandSyntax({kReportFlag, kClearFlag, kConnectDynFlag}); }

MStatus SolverCmd::redoIt() {
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  const MObject existing = findSolverNode();
  if (!existing.isNull()) return act(existing);

  MStatus status;
  const MObject solver = modifier->createNode(zovSolverNode::id, &status);
  if (status) status = modifier->doIt();
  if (!status) {
    undoIt();
    return status;
  }
  MPlug version(solver, zovSolverNode::version);
  if (!version.isNull()) version.setValue(MString("4.0"));
  const MObject time = findTimeNode();
  if (time.isNull()) {
    // Nothing is left behind when the solver cannot run.
    undoIt();
    return failWithError(kNoTimeNode);
  }
  status = modifier->connect(MFnDependencyNode(time).findPlug("outTime", true), MPlug(solver, zovSolverNode::inTime));
  if (status) status = modifier->doIt();
  if (!status) {
    undoIt();
    return status;
  }

  pullPlug(solver, zovSolverNode::rigidBodies);
  const double frames = std::trunc((MAnimControl::maxTime() - MAnimControl::minTime()).value() + 1.0);
  MPlug(solver, zovSolverNode::cacheSize).setValue(static_cast<int>(frames));
  pullPlug(solver, zovSolverNode::ca_cacheSize);

  const bool flagged = arguments.isSet(kReportFlag) || arguments.isSet(kClearFlag) || arguments.isSet(kConnectDynFlag);
  const MStatus acted = act(solver);
  if (!flagged) MGlobal::executeCommandOnIdle("zovSetGravityAxis");
  return acted;
}

MStatus SolverCmd::act(const MObject& solver) {
  zovSolverNode* node = userNodeOf<zovSolverNode>(solver);
  bool on = false;
  if (arguments.read(kReportFlag, on)) {
    if (node) node->setReportCollisions(on);
    setResult(on ? "repport collisions enabled" : "repport collisions disabled");
    return MS::kSuccess;
  }
  if (arguments.isSet(kClearFlag)) {
    if (node) node->clearAllCollisions();
    return MS::kSuccess;
  }
  if (arguments.isSet(kConnectDynFlag)) return connectDynamics(solver);
  setResult(MFnDependencyNode(solver).name());
  return MS::kSuccess;
}

MStatus SolverCmd::connectDynamics(const MObject& solver) {
  if (!modifier) return MS::kFailure;
  MStatus status = MS::kSuccess;
  const MPlug inTime(solver, zovSolverNode::inTime);
  if (!inTime.isDestination()) {
    const MObject time = findTimeNode();
    if (time.isNull()) return failWithError(kNoTimeNode);
    status = modifier->connect(MFnDependencyNode(time).findPlug("outTime", true), inTime);
    if (status) status = modifier->doIt();
  }

  // The rigid bodies' pivot helpers keep each transform's rotate pivot on
  // its body.
  MPlugArray bodies;
  MPlug(solver, zovSolverNode::rigidBodies).connectedTo(bodies, false, true);
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    const MObject node = bodies[i].node();
    MDagPath path;
    if (!node.hasFn(MFn::kDagNode) || !parentTransformPath(node, path)) {
      std::printf("No transform found!\n");
      std::fflush(stdout);
      continue;
    }
    const rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr || rigid->isAnimated(rigidBodyNode::kTransformAnimated)) continue;
    linkPivotHelpers(node, path.node(), *modifier);
  }
  return status;
}
