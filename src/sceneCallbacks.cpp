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
#include <utility>
#include <vector>

#include "engine/PublicWorld.h"
#include "engine/bodies/HardBody.h"
#include "engine/fracture/FractureBody.h"
#include "platform/ModuleState.h"
#include "src/bodySetup.h"
#include "src/draw/viewportResources.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"
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

/// Whether a file is being imported, and the rigid bodies it renamed so far,
/// each with its name in the file.
bool g_importing = false;
std::vector<std::pair<MObject, MString>> g_importRenames;
const zov::platform::ModuleStateReset g_importRenamesReset([] {
  g_importing = false;
  g_importRenames.clear();
});

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

/// A fracture piece from a shatter takes its shatter's group, as pieces
/// built now do; scenes before 3.5 kept none.
void giveShatterGroup(rigidBodyNode& rigid) {
  if (connectedPlugs(rigid.thisMObject(), rigidBodyNode::fracture).length() == 0) return;
  MDagPath transform;
  int group = -1;
  if (!parentTransformPath(rigid.thisMObject(), transform) || !findShatterGroupNumber(transform, group)) return;
  rigid.setGroupId(group);
}

/// Scenes before 3.5 fed the collision type through the mesh-animation link:
/// the shape's type output now feeds it.
void linkShapeTypes(const MObject& solver, MDGModifier& modifier) {
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(connectedPlugs(solver, zovSolverNode::rigidBodies))) {
    const MObject node = rigid->thisMObject();
    const UnlockedNode unlocked(node);
    const int type = rigid->collisionType();
    MObject shape;
    if (firstConnectedNode(MPlug(node, rigidBodyNode::animated), shape) && collisionShapeNode::isShapeNode(shape)) {
      modifier.connect(MPlug(shape, collisionShapeNode::outCollisionType), MPlug(node, rigidBodyNode::inCollisionType));
      modifier.doIt();
      MPlug(shape, collisionShapeNode::shapeType).setValue(static_cast<short>(type));
      pullPlugs(shape, {&collisionShapeNode::outCollisionType, &collisionShapeNode::ca_collisionShape});
    }
    giveShatterGroup(*rigid);
    rigid->pullAll();
  }
  for (zovCrackerNode* cracker : userNodesOf<zovCrackerNode>(connectedPlugs(solver, zovSolverNode::crackers))) {
    const MObject node = cracker->thisMObject();
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
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(connectedPlugs(solver, zovSolverNode::rigidBodies))) {
    const MObject node = rigid->thisMObject();
    const UnlockedNode unlocked(node);
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

/// The scene's solver nodes, in scene order.
std::vector<MObject> solverNodes() {
  std::vector<MObject> solvers;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next())
    if (userNodeOf<zovSolverNode>(it.thisNode()) != nullptr) solvers.push_back(it.thisNode());
  return solvers;
}

/// Brings a solver of an older version and the nodes linked to it up to date.
void upgradeSolver(const MObject& solver) {
  const double version = versionOf(solver, zovSolverNode::version);
  if (version >= kModuleVersion) return;
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

/// Moves every link of a solver over to the same attribute of `into` (a link
/// into it only where `into` has none), and deletes the solver, which then
/// holds nothing.
void joinSolver(const MObject& solver, const MObject& into) {
  MDGModifier modifier;
  MPlugArray plugs;
  MFnDependencyNode(solver).getConnections(plugs);
  for (unsigned int i = 0; i < plugs.length(); ++i) {
    const MPlug target(into, plugs[i].attribute());
    MPlugArray destinations;
    plugs[i].connectedTo(destinations, false, true);
    for (unsigned int k = 0; k < destinations.length(); ++k) {
      const UnlockedNode unlocked(destinations[k].node());
      modifier.disconnect(plugs[i], destinations[k]);
      modifier.connect(target, destinations[k]);
      modifier.doIt();
    }
    const MPlug source = plugs[i].source();
    if (!source.isNull() && !target.isDestination()) {
      modifier.disconnect(source, plugs[i]);
      modifier.connect(source, target);
      modifier.doIt();
    }
  }
  modifier.deleteNode(solver);
  modifier.doIt();
}

/// The settings of a scene's solver, which a solver that replaces it takes.
void copySolverSettings(const MObject& from, const MObject& to) {
  for (const MObject* attribute :
       {&zovSolverNode::startFrame, &zovSolverNode::substeps, &zovSolverNode::fitUnitsToMayaScale,
        &zovSolverNode::gravityEnabled, &zovSolverNode::useGroundGrid, &zovSolverNode::numThreads,
        &zovSolverNode::displaySelected, &zovSolverNode::cacheSize, &zovSolverNode::cacheActive}) {
    MPlug target(to, *attribute);
    if (!target.isDestination()) target.setValue(MPlug(from, *attribute).asDouble());
  }
  const MPlug gravity(from, zovSolverNode::gravity);
  const MPlug target(to, zovSolverNode::gravity);
  for (unsigned int k = 0; k < 3; ++k)
    if (MPlug child = target.child(k); !child.isDestination()) child.setValue(gravity.child(k).asDouble());
  // Fracture bodies of both are numbered on from the larger count.
  MPlug index(to, zovSolverNode::ca_indexFbodies);
  index.setValue(std::max(index.asInt(), MPlug(from, zovSolverNode::ca_indexFbodies).asInt()));
}

/// One warning naming a node of the module that does not take part in the
/// simulation as the scene says it should.
void reportNode(const char* kind, const MString& name, const char* problem) {
  MGlobal::displayWarning(MString("zov: ") + kind + " " + name + " " + problem);
}

/// Reports, after a scene was read, every node of the module that could not
/// be made again into what it stands for: a solver beside the one that
/// simulates, bodies and crackers that no solver simulates or without their
/// engine body, bodies whose collision shape is not linked to their type,
/// fracture bodies without their engine fracture body or pieces, joint nodes
/// without their joint, and clusters of no fracture body.
void reportUnrebuilt() {
  const std::vector<MObject> solvers = solverNodes();
  if (solvers.empty()) {
    bool bodies = false;
    for (MItDependencyNodes it(MFn::kPluginLocatorNode); !it.isDone() && !bodies; it.next())
      bodies = userNodeOf<rigidBodyNode>(it.thisNode()) != nullptr;
    if (bodies) MGlobal::displayWarning("zov: the scene has no solver: none of its bodies simulates");
  }
  // The frame loop drives the first solver only.
  const MObject simulating = solvers.empty() ? MObject() : solvers.front();
  for (const MObject& solver : solvers)
    if (solver != simulating)
      reportNode("solver", MFnDependencyNode(solver).name(), "does not simulate: the scene has one engine world");

  const auto simulatedBy = [&simulating](const MPlug& solverLink) {
    const MObject solver = sourceNodeOf(solverLink);
    return !solver.isNull() && solver == simulating;
  };
  for (MItDependencyNodes it(MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    const MObject node = it.thisNode();
    const MString name = MFnDependencyNode(node).name();
    if (rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node)) {
      MObject shape;
      if (!simulatedBy(MPlug(node, rigidBodyNode::solver)))
        reportNode("body", name, "is linked to no simulating solver: it does not simulate");
      else if (!rigid->collisionShapeNode(shape))
        reportNode("body", name, "could not be rebuilt: it has no collision shape");
      // A body takes its kind through the type link alone: one that finds its
      // shape through the mesh-animation link only is made of the kind its
      // unlinked input holds, a phantom unless set.
      else if (!MPlug(node, rigidBodyNode::inCollisionType).isDestination())
        reportNode("body", name,
                   (MString("could not be rebuilt: its collision shape ") + MFnDependencyNode(shape).name() +
                    " is not linked to its collision type")
                       .asChar());
      else if (rigid->engineBody(false) == nullptr)
        reportNode("body", name, "could not be rebuilt");
    } else if (zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(node)) {
      if (!simulatedBy(MPlug(node, zovCrackerNode::solver)))
        reportNode("cracker", name, "is linked to no simulating solver: it does not simulate");
      else if (cracker->engineBody() == nullptr)
        reportNode("cracker", name, "could not be rebuilt");
    }
  }
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) {
    const MObject node = it.thisNode();
    const MString name = MFnDependencyNode(node).name();
    if (FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(node)) {
      const FractureBody* body = fracture->getFractureBody();
      if (!simulatedBy(MPlug(node, FractureBodyNode::solver)))
        reportNode("fracture body", name, "is linked to no simulating solver: it does not simulate");
      else if (fracture->pieceNodes().empty())
        reportNode("fracture body", name, "could not be rebuilt: it has no pieces");
      else if (body == nullptr || body->getNJointBodies() == 0)
        reportNode("fracture body", name, "could not be rebuilt from its pieces and joints");
    } else if (SceneStress* joint = userNodeOf<SceneStress>(node)) {
      const MObject owner = sourceNodeOf(MPlug(node, SceneStress::fracture));
      // The joints of a fracture body that does not simulate are told with it.
      const FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(owner);
      if (owner.isNull())
        reportNode("joint", name, "belongs to no fracture body: it holds nothing");
      else if (fracture != nullptr && !simulatedBy(MPlug(owner, FractureBodyNode::solver)))
        continue;
      else if (joint->getJoint() == nullptr)
        reportNode("joint", name,
                   (MString("could not be rebuilt: it joins ") + joint->body1Name() + " and " + joint->body2Name() +
                    ", which are not both pieces of " + MFnDependencyNode(owner).name())
                       .asChar());
    } else if (clusterFractureNode* cluster = userNodeOf<clusterFractureNode>(node)) {
      if (cluster->fractureNode() == nullptr)
        reportNode("cluster", name, "belongs to no fracture body: its pieces and joints are left out");
    }
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
  if (fn.typeId() == clusterFractureNode::id) {
    clusterFractureNode::onNodeAdded(node);
    return;
  }
  if (fn.typeId() == rigidBodyNode::id) {
    rigidBodyNode::onNodeAdded(node);
    return;
  }
  if (fn.typeId() == SceneStress::id) {
    SceneStress::onNodeAdded(node);
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
  if (zovSolverNode* node = userNodeOf<zovSolverNode>(solver)) {
    upgradeSolver(solver);
    node->rebuildWorld();
  }
  reportUnrebuilt();
}

void onBeforeImport(void*) {
  g_importRenames.clear();
  g_importing = true;
}

void onNodeRenamed(MObject& node, const MString& previous, void*) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  if (rigid == nullptr) return;
  if (HardBody* body = rigid->engineBody(false)) nameBody(*body, rigid->name());
  if (g_importing)
    g_importRenames.emplace_back(node, previous);
  else
    FractureBodyNode::followPieceNames({{node, previous}});
}

void onAfterImport(void*) {
  // The file's joint nodes name its pieces by the file's names: they follow
  // the pieces that the import gave other names, before anything is built.
  g_importing = false;
  const std::vector<std::pair<MObject, MString>> renamed = std::move(g_importRenames);
  g_importRenames.clear();
  FractureBodyNode::followPieceNames(renamed);
  upgradeVoronoiNodes();
  const std::vector<MObject> solvers = solverNodes();
  if (solvers.empty()) {
    reportUnrebuilt();
    return;
  }
  // The solver made last owns the world: one read from the file replaced
  // the world of the scene's own.
  MObject owner = solvers.front();
  for (const MObject& solver : solvers)
    if (userNodeOf<zovSolverNode>(solver)->ownsWorld()) owner = solver;
  zovSolverNode* ownerNode = userNodeOf<zovSolverNode>(owner);
  upgradeSolver(owner);
  if (solvers.size() > 1) {
    // One engine world: the other solvers' nodes join the owner, which takes
    // the settings and the name of the scene's first solver.
    const MObject first = owner == solvers.front() ? solvers[1] : solvers.front();
    const MString firstName = MFnDependencyNode(first).name();
    const MString ownerName = MFnDependencyNode(owner).name();
    copySolverSettings(first, owner);
    for (const MObject& solver : solvers) {
      if (solver == owner) continue;
      upgradeSolver(solver);
      joinSolver(solver, owner);
    }
    MDGModifier renamer;
    renamer.renameNode(owner, firstName);
    renamer.doIt();
    MGlobal::displayWarning("zov: the imported solver " + ownerName + " and " + firstName +
                            " are one solver now, named " + MFnDependencyNode(owner).name() + " with " + firstName +
                            "'s settings: the scene has one engine world");
  }
  // What the file brought is not made yet: it is made as an opened scene's
  // nodes are. What the scene had is made already, but lost its world when
  // a solver from the file made a new one: it joins that world as it is.
  MPlugArray crackerPlugs, bodies, fractures;
  const MPlugArray linkedCrackers = connectedPlugs(owner, zovSolverNode::crackers);
  for (unsigned int i = 0; i < linkedCrackers.length(); ++i) {
    zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(linkedCrackers[i]);
    if (cracker == nullptr) continue;
    if (cracker->engineBody() == nullptr)
      crackerPlugs.append(linkedCrackers[i]);
    else if (cracker->isActive() && theWorld != nullptr)
      theWorld->addBody(cracker->engineBody(), 0);
  }
  const MPlugArray linkedBodies = connectedPlugs(owner, zovSolverNode::rigidBodies);
  for (unsigned int i = 0; i < linkedBodies.length(); ++i) {
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(linkedBodies[i]);
    if (rigid == nullptr) continue;
    if (rigid->engineBody(false) == nullptr)
      bodies.append(linkedBodies[i]);
    else if (rigid->fractureBodyNode() == nullptr && MPlug(rigid->thisMObject(), rigidBodyNode::enabled).asBool())
      rigid->activateBody();
  }
  const MPlugArray linkedFractures = connectedPlugs(owner, zovSolverNode::fractureBodies);
  for (unsigned int i = 0; i < linkedFractures.length(); ++i) {
    FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(linkedFractures[i]);
    const FractureBody* body = fracture != nullptr ? fracture->getFractureBody() : nullptr;
    if (body == nullptr) continue;
    if (body->getNJointBodies() == 0)
      fractures.append(linkedFractures[i]);
    else if (MPlug(fracture->thisMObject(), FractureBodyNode::enabled).asBool())
      fracture->addToWorld();
  }
  ownerNode->rebuildNodes(crackerPlugs, bodies, fractures);
  pullPlugs(owner, {&zovSolverNode::ca_cacheSize, &zovSolverNode::ca_solverParams});
  reportUnrebuilt();
}

void onReleaseViewportResources(void*) {
  runQuietly("displayColor -dormant \"grid\" 3");
  runQuietly("savePrefs -colors");
  if (zovSolverNode* solver = userNodeOf<zovSolverNode>(findSolverNode())) solver->releaseWorld();
  releaseDrawAgents();
}

void onSoftwareRender(void*) {}
