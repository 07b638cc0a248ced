#include "src/simulation/rigidBodyCmd.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include <cctype>
#include <cmath>
#include <string>

#include "src/bodySetup.h"
#include "src/commandSelection.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/meshOpHistory.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

constexpr CommandFlag kActiveFlag{"-a", "-active", MSyntax::kUnsigned};
constexpr CommandFlag kShapeTypeFlag{"-st", "-shapeType", MSyntax::kUnsigned};
constexpr CommandFlag kMultipleFlag{"-mul", "-multiple", MSyntax::kBoolean};

const char* const kDisabledDialog =
    "confirmDialog -title \"Zov Info\" -button \"OK\" -defaultButton \"OK\" -message \"Zov dynamics has been "
    "disabled, clean ZOV Data for baked objects will enable it again \"";
const char* const kNothingToMake = " Select one or more polygonal objects( not instances).";

/// The passive states and the shape types a body takes (a cracker's shape
/// type is for crackers).
constexpr FlagBounds kActiveRange{0.0, 2.0};
constexpr FlagBounds kShapeTypeRange{0.0, 4.0};

/// The transform's first child of the module's node type `Node`; null when it has none.
template <typename Node>
MObject childOfType(const MObject& transform) {
  const MFnDagNode fn(transform);
  for (unsigned int i = 0; i < fn.childCount(); ++i)
    if (userNodeOf<Node>(fn.child(i)) != nullptr) return fn.child(i);
  return MObject();
}

/// Whether the mesh's world geometry (of the path's instance) feeds a mesh
/// cache: the mesh is played back from elsewhere.
bool feedsMeshCache(const MDagPath& shapePath) {
  const MPlug worldMesh = MFnDependencyNode(shapePath.node()).findPlug("worldMesh", true);
  if (worldMesh.isNull()) return false;
  MPlugArray destinations;
  worldMesh.elementByLogicalIndex(shapePath.instanceNumber()).destinations(destinations);
  for (unsigned int i = 0; i < destinations.length(); ++i)
    if (destinations[i].node().hasFn(MFn::kMeshCache)) return true;
  return false;
}

bool hasInMeshSource(const MObject& mesh) {
  const MPlug inMesh = MFnDependencyNode(mesh).findPlug("inMesh", true);
  return !inMesh.isNull() && inMesh.isDestination();
}

/// Sets a collision shape's type and has it brought up to date.
void setShapeType(const MObject& shape, unsigned int type) {
  MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(type));
  pullPlugs(shape, {&collisionShapeNode::outCollisionType, &collisionShapeNode::ca_collisionShape});
}

}  // namespace

void linkPivotHelpers(const MObject& body, const MObject& transform, MDGModifier& modifier) {
  const MFnDependencyNode fn(transform);
  const MPlug pivots[3] = {fn.findPlug("rotatePivotX", true), fn.findPlug("rotatePivotY", true),
                           fn.findPlug("rotatePivotZ", true)};
  if (pivots[0].isNull() || pivots[1].isNull() || pivots[2].isNull()) return;
  const double factor = 1.0 / getLinearUnitScale();
  const MObject keys[3] = {rigidBodyNode::keysTX, rigidBodyNode::keysTY, rigidBodyNode::keysTZ};
  for (int k = 0; k < 3; ++k) {
    MPlug key(body, keys[k]);
    key.setValue(pivots[k].asFloat() * factor);
    if (!pivots[k].isDestination()) modifier.connect(key, pivots[k]);
  }
  modifier.doIt();
}

bool solverTakesBodies(const MObject& solver, const char* what) {
  if (MPlug(solver, zovSolverNode::inTime).isDestination()) return true;
  MGlobal::executeCommandOnIdle(kDisabledDialog);
  MGlobal::displayError(MString("ZOV INFO: cannot create ") + what + " because zov solver is disabled");
  return false;
}

MString rigidBodyNameFor(const MString& transformName) {
  const std::string name = transformName.asChar();
  size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  return MString((name.substr(0, digits) + "ZovBody" + name.substr(digits)).c_str());
}

MSyntax RigidBodyCmd::newSyntax() {
  return commandSyntax({kActiveFlag, kShapeTypeFlag, kMultipleFlag}, kSelectedObjects);
}

MStatus RigidBodyCmd::doIt(const MArgList& list) {
  const MStatus parsed = arguments.parse(syntax(), list);
  if (!parsed) return parsed;
  // Taken once: a redo works on the same objects whatever is selected then.
  selection = arguments.objects();
  return redoIt();
}

MStatus RigidBodyCmd::redoIt() {
  Settings settings;
  if (!arguments.readInRange(kActiveFlag, kActiveRange, settings.active) ||
      !arguments.readInRange(kShapeTypeFlag, kShapeTypeRange, settings.shapeType))
    return MS::kFailure;
  arguments.read(kMultipleFlag, settings.multiple);
  if (!requireObjects(selection)) return MS::kFailure;
  if (!modifier) modifier = std::make_unique<MDagModifier>();
  const MObject solver = runningSolver();
  if (solver.isNull()) return MS::kFailure;
  rewindToStart("  time resetted to create zov rigid bodies");

  MStringArray names;
  bool created = false;
  outOfMemory = false;
  const bool sawMesh = forEachSelectedMesh(selection, true, [&](const SelectedMesh& mesh) {
    handleMesh(mesh.shape, solver, settings, names, created);
    return !outOfMemory;
  });
  if (outOfMemory || !sawMesh || names.length() == 0) {
    // A command that cannot finish leaves the scene as it was: whatever a
    // mesh began is taken back; the selection stays the user's.
    if (!outOfMemory) MGlobal::displayInfo(kNothingToMake);
    modifier->undoIt();
    modifier.reset();
    return MS::kFailure;
  }
  if (created) MGlobal::executeCommandOnIdle("updateZovManagePanel");
  setResult(names);
  return MS::kSuccess;
}

MObject RigidBodyCmd::runningSolver() const {
  const MObject solver = findSolverNode(true);
  if (solver.isNull()) {
    MGlobal::displayError("ZOV INFO: no zov solver found, abort");
    return solver;
  }
  MStatus status;
  const MPlug inTime = MFnDependencyNode(solver).findPlug("inTime", true, &status);
  if (!status || inTime.isNull()) {
    // Bodies of a solver without time would never move.
    MGlobal::displayError("ZOV INFO: zov solver is not connected to time node");
    return MObject();
  }
  return solverTakesBodies(solver, "rigid body") ? solver : MObject();
}

MStatus RigidBodyCmd::undoIt() {
  MGlobal::setActiveSelectionList(selection);
  return ModifierCommand::undoIt();
}

bool RigidBodyCmd::handleMesh(MDagPath shapePath, const MObject& solver, const Settings& settings, MStringArray& names,
                              bool& created) {
  const bool jagged = hasMeshOpHistory(shapePath.node());
  if (jagged) {
    // The body goes on the mesh the roughened one is made from; that mesh's
    // transform starts where the user sees the roughened one.
    const MDagPath upstream = findUpstreamNode(shapePath);
    MDagPath seen = shapePath;
    MDagPath source = upstream;
    if (seen.pop() && source.pop() && source.length() > 0 && seen.length() > 0 && source != seen) {
      MFnDependencyNode to(source.node());
      copyTranslateRotate(MFnDependencyNode(seen.node()), to);
    }
    shapePath = upstream;
  }
  const MObject mesh = shapePath.node();
  if (refuseInstance(shapePath)) return false;
  MDagPath transformPath = shapePath;
  if (!transformPath.pop() || transformPath.length() == 0) return false;
  const MObject transform = transformPath.node();
  MObject found;
  // A body the host simulates itself is not simulated here too.
  if (findMayaRigidBodyChild(transform, found)) return false;
  if (!hasInMeshSource(mesh) && feedsMeshCache(shapePath)) return false;
  const MObject cracker = childOfType<zovCrackerNode>(transform);
  if (!cracker.isNull()) {
    // The cracker's body already stands for the mesh in the world.
    MGlobal::displayWarning("Object " + MFnDependencyNode(transform).name() + " is the cracker " +
                            MFnDependencyNode(cracker).name() + ": no rigid body is made for it");
    return false;
  }

  if (!settings.multiple && findChildOfType(transform, found)) {
    const rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(found);
    if (rigid != nullptr && rigid->isFracturePieceNode()) {
      MGlobal::displayWarning("Object " + MFnDependencyNode(found).name() +
                              " belong to a fracture body, use fracture options to modify it state");
    } else {
      // Updating is what the command does with a body that exists: said, not warned.
      MGlobal::displayInfo("Object " + MFnDependencyNode(transform).name() + " has the rigid body " +
                           MFnDependencyNode(found).name() +
                           " already: its settings are updated (-multiple true makes another body)");
      updateBody(found, settings);
    }
    names.append(MFnDependencyNode(found).name());
    return true;
  }

  const MString name = createBody(shapePath, transform, solver, settings, jagged);
  if (name.length() == 0) return false;
  names.append(name);
  created = true;
  return true;
}

void RigidBodyCmd::updateBody(const MObject& body, const Settings& settings) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(body);
  if (rigid == nullptr) return;
  MPlug(body, rigidBodyNode::usercommand).setValue(true);
  // Mass and centre count as unset: the body's new shape gives them again.
  MPlug(body, rigidBodyNode::mass).setValue(kUnsetCentre);
  const MPlug centre(body, rigidBodyNode::massCenter);
  for (unsigned int k = 0; k < 3; ++k) centre.child(k).setValue(kUnsetCentre);

  const MPlug type(body, rigidBodyNode::inCollisionType);
  MObject shape;
  if (firstConnectedNode(type, shape) && collisionShapeNode::isShapeNode(shape)) {
    setShapeType(shape, settings.shapeType);
  } else if (firstConnectedNode(MPlug(body, rigidBodyNode::animated), shape) &&
             collisionShapeNode::isShapeNode(shape)) {
    modifier->connect(MPlug(shape, collisionShapeNode::outCollisionType), type);
    modifier->doIt();
    setShapeType(shape, settings.shapeType);
  }
  MPlug(body, rigidBodyNode::passive).setValue(static_cast<int>(settings.active));
  if (rigid->isParentAnimated() && !rigid->firstHitActive())
    MPlug(body, rigidBodyNode::firstHitActiveAttr).setValue(static_cast<short>(FirstHit::kOnFirstHit));
  rigid->pullAll();
}

MString RigidBodyCmd::createBody(const MDagPath& shapePath, const MObject& transform, const MObject& solver,
                                 const Settings& settings, bool jagged) {
  const MString bodyName = rigidBodyNameFor(MFnDependencyNode(transform).name());
  MDGModifier& graph = *modifier;
  MStatus status;
  const MObject shape = graph.createNode(collisionShapeNode::id, &status);
  if (!status) return MString();
  modifier->renameNode(shape, bodyName + "Shape");
  const MPlug worldMesh = MFnDependencyNode(shapePath.node()).findPlug("worldMesh", true);
  modifier->connect(worldMesh.elementByLogicalIndex(shapePath.instanceNumber()),
                    MPlug(shape, collisionShapeNode::inShape));
  if (!modifier->doIt()) return MString();

  const MObject body = modifier->createNode(rigidBodyNode::id, transform, &status);
  if (!status) return MString();
  modifier->renameNode(body, bodyName);
  modifier->connect(MPlug(solver, zovSolverNode::rigidBodies), MPlug(body, rigidBodyNode::solver));
  if (!modifier->doIt()) return MString();
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(body);
  if (rigid == nullptr) return MString();

  const MPlug cacheSize(solver, zovSolverNode::cacheSize);
  const int capacity = cacheSize.isNull() ? 0 : cacheSize.asInt();
  MPlug(body, rigidBodyNode::passive).setValue(static_cast<int>(settings.active));
  MPlug(body, rigidBodyNode::isJaggyAttr).setValue(jagged);
  modifier->connect(MPlug(shape, collisionShapeNode::outCollisionType), MPlug(body, rigidBodyNode::inCollisionType));
  modifier->connect(MPlug(shape, collisionShapeNode::animatedMesh), MPlug(body, rigidBodyNode::animated));
  modifier->doIt();
  MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(settings.shapeType));
  pullPlug(shape, collisionShapeNode::ca_collisionShape);

  MPlug(body, rigidBodyNode::usercommand).setValue(true);
  // A mesh whose geometry is animated is a moving triangle mesh, rebuilt on
  // every evaluation.
  const bool shapeAnimated = rigid->isAnimated(rigidBodyNode::kShapeInputAnimated);
  const MPlug animatedMesh(shape, collisionShapeNode::animatedMesh);
  if (shapeAnimated && !animatedMesh.asBool()) {
    MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(collisionShapeNode::kTypeMesh));
    MPlug(animatedMesh).setValue(true);
  }
  const bool keyed = rigid->isAnimated(rigidBodyNode::kTransformAnimated);
  if (keyed) {
    // A keyed transform may be the animated parent of fracture bodies: the
    // new body becomes their animation source.
    for (FrameParticipant* fracture : frameParticipantsOf(connectedPlugs(solver, zovSolverNode::fractureBodies)))
      if (fracture->hasAnimatedParentNode()) fracture->linkGroupBody();
  } else if (!shapeAnimated && rigid->isParentAnimated() && !rigid->firstHitActive()) {
    MPlug(body, rigidBodyNode::firstHitActiveAttr).setValue(static_cast<short>(FirstHit::kOnFirstHit));
  }

  modifier->connect(MPlug(solver, zovSolverNode::inTime), MPlug(body, rigidBodyNode::inTimeRbd));
  modifier->doIt();

  if (!keyed) linkPivotHelpers(body, transform, *modifier);

  rigid->pullAll();
  HardBody* engineBody = rigid->engineBody(false);
  if (engineBody == nullptr && rigid->ranOutOfMemory()) {
    // The command takes back everything it made: see redoIt.
    outOfMemory = true;
    MGlobal::displayError("new_ZOVBody: memory ran out making the body of " + shapePath.partialPathName() +
                          ", no body is made");
    return MString();
  }
  if (jagged && engineBody != nullptr) engineBody->enableJagginess();
  const int startFrame = MPlug(solver, zovSolverNode::startFrame).asInt();
  rigid->allocateFrameCache(capacity, startFrame - static_cast<int>(std::trunc(MAnimControl::minTime().value())));
  return MFnDependencyNode(body).name();
}
