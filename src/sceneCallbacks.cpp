#include "src/sceneCallbacks.h"

#include <maya/M3dView.h>
#include <maya/MAnimControl.h>
#include <maya/MDGModifier.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "src/draw/viewportResources.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyCmd.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"
#include "src/userInput.h"

namespace {

/// The module's version, which scenes record in their solver.
constexpr double kModuleVersion = 4.0;
const char* const kModuleVersionText = "4.0";
/// Versions from which a scene needs the steps of each upgrade.
constexpr double kShapeTypeLinks = 3.5;
constexpr double kTimeAndPivotLinks = 3.6;
constexpr double kStressColourNodes = 4.0;

int frameOf(const MTime& time) { return static_cast<int>(std::trunc(time.value())); }

/// A node's version text as a number.
double versionOf(const MObject& node, const MObject& versionAttribute) {
  MString text;
  MPlug(node, versionAttribute).getValue(text);
  return std::atof(text.asChar());
}

/// Keeps a node unlocked while an upgrade edits it, locking it again after.
class Unlocked {
 public:
  explicit Unlocked(const MObject& node) : nodeFn(node), wasLocked(nodeFn.isLocked()) {
    if (wasLocked) nodeFn.setLocked(false);
  }
  ~Unlocked() {
    if (wasLocked) nodeFn.setLocked(true);
  }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  MFnDependencyNode nodeFn;
  bool wasLocked;
};

/// Scenes before 3.5 fed the collision type through the mesh-animation link:
/// the shape's type output now feeds it.
void linkShapeTypes(const MObject& solver, MDGModifier& modifier) {
  const MPlugArray bodies = connectedPlugs(solver, zovSolverNode::rigidBodies);
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    const MObject node = bodies[i].node();
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr) continue;
    const Unlocked unlocked(node);
    const int type = rigid->collisionType();
    MObject shape;
    if (firstConnectedNode(MPlug(node, rigidBodyNode::animated), shape) && collisionShapeNode::isShapeNode(shape)) {
      modifier.connect(MPlug(shape, collisionShapeNode::outCollisionType), MPlug(node, rigidBodyNode::inCollisionType));
      modifier.doIt();
      MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(type));
      pullPlugs(shape, {&collisionShapeNode::outCollisionType, &collisionShapeNode::ca_collisionShape});
    }
    rigid->pullAll();
  }
  const MPlugArray crackers = connectedPlugs(solver, zovSolverNode::crackers);
  for (unsigned int i = 0; i < crackers.length(); ++i) {
    const MObject node = crackers[i].node();
    zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(node);
    if (cracker == nullptr) continue;
    MObject shape;
    if (firstConnectedNode(MPlug(node, zovCrackerNode::inCollisionShape), shape) &&
        collisionShapeNode::isShapeNode(shape)) {
      modifier.disconnect(MPlug(shape, collisionShapeNode::outCollisionShape),
                          MPlug(node, zovCrackerNode::inCollisionShape));
      modifier.connect(MPlug(shape, collisionShapeNode::outCollisionType),
                       MPlug(node, zovCrackerNode::inCollisionType));
      modifier.doIt();
      pullPlugs(shape, {&collisionShapeNode::outCollisionType, &collisionShapeNode::ca_collisionShape});
    }
    cracker->readParameters();
  }
}

/// Scenes before 3.6 did not feed time to the bodies nor hold their
/// transforms' rotate pivots in the pivot helpers.
void linkTimeAndPivots(const MObject& solver, MDGModifier& modifier) {
  const MPlugArray bodies = connectedPlugs(solver, zovSolverNode::rigidBodies);
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    const MObject node = bodies[i].node();
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr) continue;
    const Unlocked unlocked(node);
    const MPlug timeInput(node, rigidBodyNode::inTimeRbd);
    if (!timeInput.isDestination()) {
      modifier.connect(MPlug(solver, zovSolverNode::inTime), timeInput);
      modifier.doIt();
    }
    MDagPath transform;
    if (rigid->isAnimated(rigidBodyNode::kTransformAnimated) || !parentTransformPath(node, transform)) continue;
    linkPivotHelpers(node, transform.node(), modifier);
    rigid->pullAll();
  }
}

/// Voronoi nodes of an opened scene: new nodes are numbered above the stored
/// ones, and the seeds of records from before 4.0, kept in world space, are
/// brought into the space of the mesh that drives them.
void upgradeVoronoiNodes() {
  for (MItDependencyNodes it(MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    voronoiNode* node = userNodeOf<voronoiNode>(it.thisNode());
    if (!node) continue;
    const double version = versionOf(node->thisMObject(), voronoiNode::version);
    voronoiNode::setIndexCounter(std::max(voronoiNode::indexCounter(), voronoiNode::getIndex(node) + 1));
    if (version >= kModuleVersion) continue;
    const MPlug inShape = MFnDependencyNode(node->thisMObject()).findPlug("inShape");
    if (!inShape.isNull()) {
      const MObject source = sourceNodeOf(inShape);
      MDagPath shape;
      if (!source.isNull() && MDagPath::getAPathTo(source, shape) && shape.isValid())
        voronoiNode::transformVoroPoints(node, shape.exclusiveMatrix().inverse());
    }
    MPlug(node->thisMObject(), voronoiNode::version).setValue(MString(kModuleVersionText));
  }
}

}  // namespace

void onTimeChanged(void*) {
  const MObject solver = findSolverNode();
  if (solver.isNull()) return;
  pullPlug(solver, zovSolverNode::rigidBodies);
  if (!g_sceneLoading) M3dView::active3dView().refresh(false, false);
}

void onLinearUnitChanged(void*) {
  const MTime now = MAnimControl::currentTime();
  const MTime start = MAnimControl::minTime();
  const int first = frameOf(start);
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) {
    if (userNodeOf<zovSolverNode>(it.thisNode()) == nullptr) continue;
    MPlug startFrame(it.thisNode(), zovSolverNode::startFrame);
    if (startFrame.isNull() || startFrame.asInt() == first) continue;
    if (now != start) {
      MAnimControl::setCurrentTime(start);
      MGlobal::displayWarning(" time set to start frame of the playback range");
    }
    startFrame.setValue(first);
  }
}

void onPlaybackRangeChanged(void*) {
  const MTime now = MAnimControl::currentTime();
  const MTime start = MAnimControl::minTime();
  const MTime end = MAnimControl::maxTime();
  const int first = frameOf(start);
  const MObject solver = findSolverNode();
  if (solver.isNull()) return;

  MPlug cacheSize(solver, zovSolverNode::cacheSize);
  if (!cacheSize.isNull() && !MPlug(solver, zovSolverNode::ca_cacheSize).isNull()) {
    cacheSize.setValue(static_cast<int>(std::trunc((end - start).value() + 1.0)));
    pullPlug(solver, zovSolverNode::ca_cacheSize);
  }
  MPlug startFrame(solver, zovSolverNode::startFrame);
  if (startFrame.isNull()) return;
  const int current = startFrame.asInt();
  if (current < first) {
    startFrame.setValue(first);
    if (now != start) {
      MAnimControl::setCurrentTime(start);
      MGlobal::displayWarning(" time set to start frame of the new playback range");
    }
    pullPlug(solver, zovSolverNode::ca_solverParams);
    MGlobal::executeCommandOnIdle("updateZovSolverPanel()");
  } else if (current > first) {
    MGlobal::executeCommandOnIdle("warning \"ZOv solver options->start frame is bigger than playback start time\"");
  }
}

void onNodeAdded(MObject& node, void*) {
  MStatus status;
  MFnDependencyNode fn(node, &status);
  if (!status) {
    std::cerr << "Error creating MFnDependencyNode in onNodeAdded" << std::endl;
    return;
  }
  if (fn.typeId() == FractureBodyNode::id) {
    FractureBodyNode::onNodeAdded(node);
    return;
  }
  const MFn::Type type = node.apiType();
  if ((type >= MFn::kField && type <= MFn::kVortex) || type == MFn::kVolumeAxis) {
    // A field read from a file or copied brings its link attribute along.
    if (fn.hasAttribute("zovfield")) return;
    MFnMessageAttribute message;
    const MObject attribute = message.create("zovfield", "zovf", &status);
    if (!status) {
      std::cerr << "Error creating new attribute in onNodeAdded" << std::endl;
      return;
    }
    message.setConnectable(true);
    message.setKeyable(false);
    if (!fn.addAttribute(attribute, MFnDependencyNode::kLocalDynamicAttr)) {
      std::cerr << "Error adding dynamic attribute" << std::endl;
      return;
    }
    runQuietly("zovConnectForceFields -connectAll " + quotedArgument(fn.name()));
    return;
  }
  if (fn.typeName() != "rigidBody") return;
  MDagPath path;
  if (!MDagPath::getAPathTo(node, path)) return;
  const MString fullName = path.fullPathName();
  MObject simulated;
  if (!path.pop() || path.length() == 0 || !findChildOfType(path.node(), simulated)) return;
  MGlobal::executeCommandOnIdle("delete " + quotedArgument(fullName));
  MGlobal::executeCommandOnIdle("error \"cannot add a Maya rigid body to a Zov object\"");
}

void onSceneReset(void*) {
  const MTime start = MAnimControl::minTime();
  if (MAnimControl::currentTime() != start) {
    MAnimControl::setCurrentTime(start);
    const MObject solver = findSolverNode();
    if (zovSolverNode* node = userNodeOf<zovSolverNode>(solver))
      node->rewindBodies(connectedPlugs(solver, zovSolverNode::rigidBodies),
                         connectedPlugs(solver, zovSolverNode::crackers),
                         connectedPlugs(solver, zovSolverNode::fractureBodies));
  }
  int mainWindow = 0;
  MGlobal::executeCommand("window -ex MayaWindow", mainWindow, false, false);
  if (mainWindow != 0) runQuietly("deleteZovLocators()");
}

void onSceneOpened(void*) {
  g_sceneLoading = false;
  upgradeVoronoiNodes();
  const MObject solver = findSolverNode();
  zovSolverNode* node = userNodeOf<zovSolverNode>(solver);
  if (node == nullptr) return;
  const double version = versionOf(solver, zovSolverNode::version);
  if (version < kModuleVersion) {
    MDGModifier modifier;
    MPlug(solver, zovSolverNode::version).setValue(MString(kModuleVersionText));
    MGlobal::displayInfo(" This scene has been created with a previous version of ZOV, resave it for faster loading ");
    if (version < kShapeTypeLinks) linkShapeTypes(solver, modifier);
    if (version < kTimeAndPivotLinks) linkTimeAndPivots(solver, modifier);
    // Older scenes painted stresses into the meshes; they are drawn now.
    if (version < kStressColourNodes)
      for (FractureBodyNode* fracture :
           userNodesOf<FractureBodyNode>(connectedPlugs(solver, zovSolverNode::fractureBodies)))
        fracture->removeStressColors();
    MPlug(solver, zovSolverNode::version).setValue(MString(kModuleVersionText));
  }
  node->rebuildWorld();
}

// An imported scene's solver and bodies need nothing from the module.
void onAfterImport(void*) {}

void onReleaseViewportResources(void*) {
  runQuietly("displayColor -dormant \"grid\" 3");
  runQuietly("savePrefs -colors");
  if (zovSolverNode* solver = userNodeOf<zovSolverNode>(findSolverNode())) solver->releaseWorld();
  releaseDrawAgents();
}

void onSoftwareRender(void*) {}
