#include "src/simulation/manageZovListCmd.h"

#include <maya/MFnDependencyNode.h>

#include <vector>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

constexpr CommandFlag kAddFlag{"-add", "-additems", MSyntax::kBoolean};

}  // namespace

MSyntax ManageZovListCmd::newSyntax() { return commandSyntax({kAddFlag}, {MSyntax::kSelectionList, 1, 0, true}); }

MStatus ManageZovListCmd::doIt(const MArgList& list) {
  const MStatus parsed = arguments.parse(syntax(), list);
  if (!parsed) return parsed;
  bool add = false;
  arguments.read(kAddFlag, add);
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;

  zovSolverNode* solver = findSolverByName();
  if (solver == nullptr) return failWithError("no ZOV solver found");
  const std::vector<rigidBodyNode*> bodies =
      selectedNodes<rigidBodyNode>(selection, LeftOut{arguments.command(), "a zov rigid body"});
  if (bodies.empty()) return failWithError("ManageZovListCmd: no zov rigid body selected");
  adding = add;
  switched.clear();
  for (const rigidBodyNode* body : bodies) {
    const MObject node = body->thisMObject();
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
