#include "src/simulation/manageZovListCmd.h"

#include <maya/MArgDatabase.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include <vector>

#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

const char* const kAddFlag = "-add";

}  // namespace

void* ManageZovListCmd::creator() { return new ManageZovListCmd; }

MSyntax ManageZovListCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kAddFlag, "-additems", MSyntax::kBoolean);
  syntax.setObjectType(MSyntax::kSelectionList, 1);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus ManageZovListCmd::doIt(const MArgList& arguments) {
  MStatus status;
  const MArgDatabase parsed(syntax(), arguments, &status);
  if (!status) return status;
  bool add = false;
  if (parsed.isFlagSet(kAddFlag)) parsed.getFlagArgument(kAddFlag, 0, add);
  selection.clear();
  parsed.getObjects(selection);
  if (selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }

  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) {
    MGlobal::displayError("no ZOV solver found");
    return MS::kFailure;
  }
  std::vector<MObject> bodies;
  for (unsigned int i = 0; i < selection.length(); ++i) {
    MObject node;
    if (!selection.getDependNode(i, node)) continue;
    if (userNodeOf<rigidBodyNode>(node) != nullptr)
      bodies.push_back(node);
    else
      MGlobal::displayWarning("ManageZovListCmd: " + MFnDependencyNode(node).name() +
                              " is not a zov rigid body, it is left out");
  }
  if (bodies.empty()) {
    MGlobal::displayError("ManageZovListCmd: no zov rigid body selected");
    return MS::kFailure;
  }
  adding = add;
  switched.clear();
  for (const MObject& node : bodies) {
    const bool wasEnabled = MPlug(node, rigidBodyNode::enabled).asBool();
    if (add ? solver->addRigidBody(node) : solver->removeRigidBody(node))
      switched.push_back({MFnDependencyNode(node).name(), wasEnabled});
  }
  return MS::kSuccess;
}

void ManageZovListCmd::switchBody(zovSolverNode& solver, const MString& name, bool add) {
  MSelectionList named;
  MObject node;
  if (!named.add(name) || !named.getDependNode(0, node)) return;
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  if (rigid == nullptr || rigid->engineBody(true) == nullptr) return;
  add ? solver.addRigidBody(node) : solver.removeRigidBody(node);
}

MStatus ManageZovListCmd::undoIt() {
  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) return MS::kFailure;
  for (auto it = switched.rbegin(); it != switched.rend(); ++it) switchBody(*solver, it->node, it->wasEnabled);
  return MS::kSuccess;
}

MStatus ManageZovListCmd::redoIt() {
  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) return MS::kFailure;
  for (const Switched& body : switched) switchBody(*solver, body.node, adding);
  return MS::kSuccess;
}
