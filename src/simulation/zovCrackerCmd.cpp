#include "src/simulation/zovCrackerCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MPlug.h>

#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

const char* const kDiameterFlag = "-dia";
const char* const kNewFlag = "-new";

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

void* zovCrackerCmd::creator() { return new zovCrackerCmd; }

MSyntax zovCrackerCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kDiameterFlag, "-diameter", MSyntax::kDouble);
  syntax.addFlag(kNewFlag, "-new");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus zovCrackerCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  m_arguments = std::move(parsed);
  return redoIt();
}

MStatus zovCrackerCmd::redoIt() {
  m_selection.clear();
  if (m_arguments) m_arguments->getObjects(m_selection);
  if (m_selection.length() == 0) {
    MGlobal::displayError("invalid selection");
    return MS::kFailure;
  }
  if (!m_modifier) m_modifier = std::make_unique<MDagModifier>();

  const MObject solver = findSolverNode(true);
  if (solver.isNull()) {
    MGlobal::displayError("no zov solver found");
    return MS::kFailure;
  }
  const MPlug crackers(solver, zovSolverNode::crackers);

  // The rest pose of an animated cracker is where its animation starts.
  if (MAnimControl::currentTime() != MAnimControl::minTime() && anyAnimated(m_selection)) {
    MAnimControl::setCurrentTime(MAnimControl::minTime());
    MGlobal::displayWarning(" time set to start frame becouse animated object selected");
  }

  MString made;
  for (MItSelectionList it(m_selection, MFn::kGeometric); !it.isDone(); it.next()) {
    MDagPath path;
    if (!it.getDagPath(path) || path.apiType() != MFn::kMesh || MFnDagNode(path).isIntermediateObject()) continue;
    if (path.isInstanced()) {
      MGlobal::displayError("Object " + path.partialPathName() +
                            " is an instance, convert it to object( Modify->convert->instance to object)");
      continue;
    }
    const MString name = makeCracker(path, crackers);
    if (name.length() > 0) made = name;
  }
  // Instanced meshes make nothing: a call that made no cracker fails.
  if (made.length() == 0) {
    MGlobal::displayInfo(" error creating cracker");
    // Whatever a refused step began is taken back.
    m_modifier->undoIt();
    m_modifier.reset();
    return MS::kFailure;
  }
  setResult(made);
  return MS::kSuccess;
}

MStatus zovCrackerCmd::undoIt() {
  MGlobal::setActiveSelectionList(m_selection);
  if (m_modifier) m_modifier->undoIt();
  m_modifier.reset();
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
  const MObject cracker = m_modifier->createNode(zovCrackerNode::id, transform, &status);
  if (!status) return MString();
  m_modifier->renameNode(cracker, name);
  if (!m_modifier->doIt()) return MString();
  m_modifier->connect(crackers, MPlug(cracker, zovCrackerNode::solver));
  if (!m_modifier->doIt()) return MString();

  MDGModifier& graph = *m_modifier;
  const MObject shape = graph.createNode(collisionShapeNode::id, &status);
  if (!status) return MString();
  m_modifier->renameNode(shape, name + "Shape");
  m_modifier->connect(MPlug(shape, collisionShapeNode::outCollisionType),
                      MPlug(cracker, zovCrackerNode::inCollisionType));
  const MPlug worldMesh = MFnDependencyNode(meshPath.node()).findPlug("worldMesh", true);
  m_modifier->connect(worldMesh.elementByLogicalIndex(meshPath.instanceNumber()),
                      MPlug(shape, collisionShapeNode::inShape));
  if (!m_modifier->doIt()) return MString();

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
