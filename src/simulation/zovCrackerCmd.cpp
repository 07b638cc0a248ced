#include "src/simulation/zovCrackerCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

constexpr CommandFlag kDiameterFlag{"-dia", "-diameter", MSyntax::kDouble};
constexpr CommandFlag kNewFlag{"-new", "-new"};

/// Whether an item of the list, or a parent of it, is animated.
bool anyAnimated(const MSelectionList& list) {
  for (unsigned int i = 0; i < list.length(); ++i) {
    MDagPath path;
    MObject node;
    if (list.getDagPath(i, path)) {
      if (MAnimUtil::isAnimated(path, true)) return true;
    } else if (list.getDependNode(i, node) && MAnimUtil::isAnimated(node, true)) {
      return true;
    }
  }
  return false;
}

}  // namespace

MSyntax zovCrackerCmd::newSyntax() { return commandSyntax({kDiameterFlag, kNewFlag}, kSelectedObjects); }

MStatus zovCrackerCmd::redoIt() {
  selection = arguments.objects();
  if (!requireObjects(selection)) return MS::kFailure;
  if (!modifier) modifier = std::make_unique<MDagModifier>();

  const MObject solver = findSolverNode(true);
  if (solver.isNull()) return failWithError("no zov solver found");
  const MPlug crackers(solver, zovSolverNode::crackers);

  // The rest pose of an animated cracker is where its animation starts.
  if (MAnimControl::currentTime() != MAnimControl::minTime() && anyAnimated(selection)) {
    MAnimControl::setCurrentTime(MAnimControl::minTime());
    MGlobal::displayWarning(" time set to start frame becouse animated object selected");
  }

  MString made;
  forEachSelectedMesh(selection, false, [&](const SelectedMesh& mesh) {
    if (refuseInstance(mesh.shape)) return true;
    const MString name = makeCracker(mesh.shape, crackers);
    if (name.length() > 0) made = name;
    return true;
  });
  // Instanced meshes make nothing: a call that made no cracker fails.
  if (made.length() == 0) {
    MGlobal::displayInfo(" error creating cracker");
    // Whatever a refused step began is taken back.
    modifier->undoIt();
    modifier.reset();
    return MS::kFailure;
  }
  setResult(made);
  return MS::kSuccess;
}

MString zovCrackerCmd::makeCracker(const MDagPath& meshPath, const MPlug& crackers) {
  MDagPath transformPath = meshPath;
  if (!transformPath.pop() || transformPath.length() == 0) return MString();
  const MObject transform = transformPath.node();
  const MString name = "Zov" + MFnDependencyNode(transform).name();
  // A mesh stands in the world once: as one cracker or as rigid bodies.
  const MFnDagNode parent(transform);
  for (unsigned int i = 0; i < parent.childCount(); ++i) {
    const MObject child = parent.child(i);
    const char* what = userNodeOf<zovCrackerNode>(child)  ? "the cracker "
                       : userNodeOf<rigidBodyNode>(child) ? "the rigid body "
                                                          : nullptr;
    if (what == nullptr) continue;
    MGlobal::displayWarning("Object " + parent.name() + " has " + what + MFnDependencyNode(child).name() +
                            " already: no cracker is made for it");
    return MString();
  }

  MStatus status;
  const MObject cracker = modifier->createNode(zovCrackerNode::id, transform, &status);
  if (!status) return MString();
  modifier->renameNode(cracker, name);
  if (!modifier->doIt()) return MString();
  modifier->connect(crackers, MPlug(cracker, zovCrackerNode::solver));
  if (!modifier->doIt()) return MString();

  MDGModifier& graph = *modifier;
  const MObject shape = graph.createNode(collisionShapeNode::id, &status);
  if (!status) return MString();
  modifier->renameNode(shape, name + "Shape");
  modifier->connect(MPlug(shape, collisionShapeNode::outCollisionType),
                    MPlug(cracker, zovCrackerNode::inCollisionType));
  const MPlug worldMesh = MFnDependencyNode(meshPath.node()).findPlug("worldMesh", true);
  modifier->connect(worldMesh.elementByLogicalIndex(meshPath.instanceNumber()),
                    MPlug(shape, collisionShapeNode::inShape));
  if (!modifier->doIt()) return MString();

  MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(collisionShapeNode::kTypeCracker));
  pullPlug(shape, collisionShapeNode::ca_collisionShape);
  MPlug(cracker, zovCrackerNode::usercommand).setValue(true);
  zovCrackerNode* node = userNodeOf<zovCrackerNode>(cracker);
  if (node == nullptr) return MString();
  // Makes the engine body, gives it its settings, puts it in the world and
  // records the rest pose.
  node->readParameters();
  return MFnDependencyNode(cracker).name();
}
