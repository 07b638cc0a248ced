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

#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyCmd.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

const char* const kReportFlag = "-rc";
const char* const kClearFlag = "-cac";
const char* const kConnectDynFlag = "-con";
const char* const kNoTimeNode = "can not find time node";

/// The scene's first time node, or the null object.
MObject findTimeNode() {
  MItDependencyNodes it(MFn::kTime);
  return it.isDone() ? MObject() : it.thisNode();
}

}  // namespace

void* SolverCmd::creator() { return new SolverCmd; }

MSyntax SolverCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kReportFlag, "-repportCollisions", MSyntax::kBoolean);
  syntax.addFlag(kClearFlag, "-clearAllcollisions");
  syntax.addFlag(kConnectDynFlag, "-connectDyn");
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus SolverCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  parsedArguments = std::move(parsed);
  return redoIt();
}

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
    MGlobal::displayError(kNoTimeNode);
    // Nothing is left behind when the solver cannot run.
    undoIt();
    return MS::kFailure;
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

  const bool flagged =
      parsedArguments && (parsedArguments->isFlagSet(kReportFlag) || parsedArguments->isFlagSet(kClearFlag) ||
                          parsedArguments->isFlagSet(kConnectDynFlag));
  const MStatus acted = act(solver);
  if (!flagged) MGlobal::executeCommandOnIdle("zovSetGravityAxis");
  return acted;
}

MStatus SolverCmd::undoIt() {
  if (modifier) modifier->undoIt();
  modifier.reset();
  return MS::kSuccess;
}

MStatus SolverCmd::act(const MObject& solver) {
  zovSolverNode* node = userNodeOf<zovSolverNode>(solver);
  if (parsedArguments && parsedArguments->isFlagSet(kReportFlag)) {
    bool on = false;
    parsedArguments->getFlagArgument(kReportFlag, 0, on);
    if (node) node->setReportCollisions(on);
    setResult(on ? "repport collisions enabled" : "repport collisions disabled");
    return MS::kSuccess;
  }
  if (parsedArguments && parsedArguments->isFlagSet(kClearFlag)) {
    if (node) node->clearAllCollisions();
    return MS::kSuccess;
  }
  if (parsedArguments && parsedArguments->isFlagSet(kConnectDynFlag)) return connectDynamics(solver);
  setResult(MFnDependencyNode(solver).name());
  return MS::kSuccess;
}

MStatus SolverCmd::connectDynamics(const MObject& solver) {
  if (!modifier) return MS::kFailure;
  MStatus status = MS::kSuccess;
  const MPlug inTime(solver, zovSolverNode::inTime);
  if (!inTime.isDestination()) {
    const MObject time = findTimeNode();
    if (time.isNull()) {
      MGlobal::displayError(kNoTimeNode);
      return MS::kFailure;
    }
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
