#include "src/simulation/solverNode.h"

#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MSelectionList.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "platform/ModuleState.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/ownedBody.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/zovCrackerNode.h"
#include "src/userInput.h"

bool g_sceneLoading = false;
bool g_displaySelected = true;

const MTypeId zovSolverNode::id(0x113A60);
const MString zovSolverNode::nodeTypeName("zovSolverNode");

namespace {

/// The `gravity` attribute's default: the host's, in metres a second squared.
constexpr float kDefaultGravity[3] = {0.0f, -9.81f, 0.0f};
/// Substeps a frame: a frame needs one, and past this many one frame of a
/// few bodies takes longer than a user waits.
constexpr double kMaxSubsteps = 1000.0;
/// Threads of the contact passes, the calling thread included: one per
/// worker slot and the caller.
constexpr double kMaxThreads = 32.0;
/// Frames a body's cache holds at most (over an hour at 24 frames a second).
constexpr double kMaxCacheFrames = 100000.0;
/// Gravity of a new world: the engine's (0, -10, 0) at the host's scale.
constexpr double kEngineGravity = -10.0;
/// Host centimetres against the engine's working scale.
constexpr double kUnitGravityScale = 4.0;
const char* const kGroundName = "groundGrid";
/// Grid colours: the ground in use, and the host's default.
const char* const kGroundGridColour = "displayColor -dormant \"grid\" 15";
const char* const kDefaultGridColour = "displayColor -dormant \"grid\" 3";
const char* const kDynamicsDisabledDialog =
    "confirmDialog -title \"Zov Info\" -button \"OK\" -defaultButton \"OK\" -message \"Zov dynamics has been "
    "disabled, delete all Zov keys will enable it again \"";

/// Serial of the world a solver made last, and of theWorld when a solver
/// made it (0 otherwise); a world's address may be reused, its serial not.
std::uint64_t g_lastWorldSerial = 0;
std::uint64_t g_currentWorldSerial = 0;

/// A load starts with no scene loading, the solver's `displaySelected` at
/// its default, and no world made.
const zov::platform::ModuleStateReset g_solverStateReset([] {
  g_sceneLoading = false;
  g_displaySelected = true;
  g_lastWorldSerial = 0;
  g_currentWorldSerial = 0;
});

bool windowExists(const char* window) {
  int exists = 0;
  MGlobal::executeCommand(MString("window -ex ") + window, exists, false, false);
  return exists > 0;
}

/// A name the "delete" command finds the node by.
MString deletableName(const MObject& node) {
  MDagPath path;
  if (node.hasFn(MFn::kDagNode) && MDagPath::getAPathTo(node, path)) return path.partialPathName();
  return MFnDependencyNode(node).name();
}

/// Deletes the nodes on the plugs through the host's "delete", which the
/// user can undo.
void deleteNodesOf(const MPlugArray& plugs) {
  std::vector<MString> names;
  for (unsigned int i = 0; i < plugs.length(); ++i) {
    const MString name = deletableName(plugs[i].node());
    bool known = false;
    for (const MString& other : names) known = known || other == name;
    if (!known) names.push_back(name);
  }
  for (const MString& name : names) MGlobal::executeCommand("delete " + quotedArgument(name), false, true);
}

/// Makes a body node's engine body again through `pull`, keeping the user's
/// mass (when the node has one) and centre: creation writes the computed
/// ones only over unset values, so both are unset for the pull and the
/// user's put back after it; a centre that moved is put back and pulled again.
void makeBodyAgain(const MObject& node, const MObject& massAttribute, const MObject& centreAttribute,
                   const std::function<void()>& pull) {
  constexpr double kSameCentre = 1e-5;
  MPlug massPlug;
  double savedMass = 0.0;
  if (!massAttribute.isNull()) {
    massPlug = MPlug(node, massAttribute);
    savedMass = massPlug.asDouble();
    massPlug.setValue(kUnsetCentre);
  }
  MPlug centrePlug(node, centreAttribute);
  float savedCentre[3];
  for (unsigned int k = 0; k < 3; ++k) savedCentre[k] = centrePlug.child(k).asFloat();
  for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(kUnsetCentre);

  pull();
  if (!massPlug.isNull()) massPlug.setValue(savedMass);
  double distance = 0.0;
  for (unsigned int k = 0; k < 3; ++k) {
    const double d = centrePlug.child(k).asFloat() - savedCentre[k];
    distance += d * d;
  }
  if (distance > kSameCentre) {
    for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(savedCentre[k]);
    pull();
  }
}

/// Turns a bool output off; true when it was on.
bool switchOff(MDataBlock& block, const MObject& attribute) {
  MDataHandle handle = block.outputValue(attribute);
  const bool wasOn = handle.asBool();
  handle.set(false);
  return wasOn;
}

}  // namespace

MObject findSolverNode(bool last) {
  MObject found;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) {
    if (MFnDependencyNode(it.thisNode()).typeId() != zovSolverNode::id) continue;
    found = it.thisNode();
    if (!last) break;
  }
  return found;
}

zovSolverNode* findSolverByName() {
  MSelectionList named;
  MObject node;
  if (named.add("zovSolverNode1")) named.getDependNode(0, node);
  return userNodeOf<zovSolverNode>(node);
}

zovSolverNode::zovSolverNode()
    : prevTime(0.0), lastSimTime(0.0), acceptedGravity(kDefaultGravity[0], kDefaultGravity[1], kDefaultGravity[2]) {
  destroyWorldKeepingOwnedBodies();
  g_currentWorldSerial = 0;
  if (createWorld() == nullptr) return;
  worldSerial = ++g_lastWorldSerial;
  g_currentWorldSerial = worldSerial;

  theWorld->SetGravity(Mgc::MgcVector3(0.0, kEngineGravity * kUnitGravityScale, 0.0));
  enableWorldManagerOption();
  theWorld->enableGravity();
  theWorld->enableBodyDeactivation();

  MString axis;
  MGlobal::executeCommand("upAxis -q -axis", axis, false, false);
  Mgc::MgcVector3 up = axis == "z" ? Mgc::MgcVector3(0.0, 0.0, 1.0) : Mgc::MgcVector3(0.0, 1.0, 0.0);
  groundBody.reset(createBarrierBody(Mgc::MgcVector3(), up));
  if (groundBody) {
    groundBody->getShape().setName(kGroundName);
    // The ground joins the simulation only when the grid is used.
    theWorld->removeBody(groundBody.get());
  }
}

zovSolverNode::~zovSolverNode() {
  // Fracture bodies first: their pieces stay locked while they hold them.
  deleteNodesOf(connectedPlugs(thisMObject(), fractureBodies));
  deleteNodesOf(connectedPlugs(thisMObject(), rigidBodies));
  activeBodies.clear();
  idleBodies.clear();
  deleteNodesOf(connectedPlugs(thisMObject(), crackers));

  releaseWorld();
  MGlobal::executeCommandOnIdle(kDefaultGridColour);
}

void zovSolverNode::releaseWorld() {
  groundBody.reset();
  activeBodies.clear();
  idleBodies.clear();
  // A newer solver's world is not this node's to destroy.
  if (ownsWorld()) {
    destroyWorldKeepingOwnedBodies();
    g_currentWorldSerial = 0;
  }
}

MStatus zovSolverNode::initialize() {
  using Kind = MFnNumericData;
  // Settings kept with the scene that nothing connects to.
  constexpr AttributeFlags kStoredSetting = kNotKeyable.storable(true).connectable(false);
  const AttributeFlags kHidden = AttributeFlags().hidden(true);
  // The cache holds the playback range as it is when the module loads.
  const double rangeLength = std::trunc((MAnimControl::maxTime() - MAnimControl::minTime()).value());
  const MStatus added = addAttributes({
      {version, stringAttribute("version", "vs", "0.0", kNotKeyable.hidden(true).storable(true))},
      {inTime, unitAttribute("inTime", "it", MFnUnitAttribute::kTime, 0.0, kHidden)},
      {startFrame, numericAttribute("startFrame", "stf", Kind::kInt, 1.0, kNotKeyable.hidden(false).storable(true))},
      {rigidBodies, messageAttribute("rigidBodies", "rbds", kHidden), {&inTime}},
      {fractureBodies, messageAttribute("fractureBodies", "fbds", kHidden)},
      {crackers, messageAttribute("crackers", "crks", kHidden)},
      {gravity, pointAttribute("gravity", "grvt", kNotKeyable, kDefaultGravity)},
      {substeps,
       boundedAttribute("substeps", "sbs", Kind::kInt, 5.0, 1.0, kMaxSubsteps, AttributeFlags().keyable(true))},
      {fitUnitsToMayaScale, numericAttribute("fitUnitsToMayaScale", "umu", Kind::kBoolean, 0.0, kHidden)},
      {gravityEnabled, numericAttribute("gravityEnabled", "genbl", Kind::kBoolean, 1.0, kNotKeyable.storable(true))},
      {useGroundGrid, numericAttribute("useGroundGrid", "ugrid", Kind::kBoolean, 0.0, kNotKeyable.storable(true))},
      {ca_solverParams,
       hiddenTwin("ca_solverParams", "cgr"),
       {&substeps, &fitUnitsToMayaScale, &gravityEnabled, &useGroundGrid, &gravity, &startFrame}},
      {numThreads, boundedAttribute("numThreads", "nth", Kind::kInt, 1.0, 1.0, kMaxThreads, kStoredSetting)},
      {ca_numThreads, hiddenTwin("ca_numThreads", "cnth"), {&numThreads}},
      {ca_indexFbodies, numericAttribute("ca_indexFbodies", "caif", Kind::kInt, 0.0, kHiddenSetting.storable(true))},
      {displaySelected, numericAttribute("displaySelected", "dis", Kind::kBoolean, 1.0)},
      {ca_displaySelected, hiddenTwin("ca_displaySelected", "cadi"), {&displaySelected}},
      {cacheSize, boundedAttribute("cacheSize", "chs", Kind::kInt, rangeLength, 0.0, kMaxCacheFrames, kStoredSetting)},
      {ca_cacheSize, hiddenTwin("ca_cacheSize", "cchs"), {&cacheSize, &cacheActive}},
      {cachedMode, hiddenTwin("cachedMode", "cm")},
      {cacheActive, numericAttribute("cacheActive", "cha", Kind::kBoolean, 1.0, kStoredSetting)},
  });
  if (!added) return added;

  return MS::kSuccess;
}

void zovSolverNode::postConstructor() {
  MPlug start(thisMObject(), startFrame);
  if (!start.isNull()) {
    const int playbackStart = static_cast<int>(std::trunc(MAnimControl::minTime().value()));
    if (start.asInt() < playbackStart) start.setValue(playbackStart);
  }
  setExistWithoutOutConnections(true);
}

MStatus zovSolverNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == ca_solverParams) {
    applySolverParams(block);
  } else if (plug == rigidBodies) {
    stepFrame(plug, block);
  } else if (plug == ca_numThreads) {
    // The world keeps the thread count it has.
  } else if (plug == ca_cacheSize) {
    sizeFrameCaches(block);
    if (switchOff(block, cachedMode)) MGlobal::displayInfo(kCachedModeOffMessage);
  } else if (plug == ca_displaySelected) {
    g_displaySelected = block.inputValue(displaySelected).asBool();
  } else {
    return MS::kUnknownParameter;
  }
  block.outputValue(plug).set(true);
  block.setClean(plug);
  return MS::kSuccess;
}

MStatus zovSolverNode::setDependentsDirty(const MPlug&, MPlugArray&) { return MS::kSuccess; }

bool zovSolverNode::setInternalValueInContext(const MPlug&, const MDataHandle&, MDGContext&) { return false; }

void zovSolverNode::applySolverParams(MDataBlock& block) {
  const bool gravityOn = block.inputValue(gravityEnabled).asBool();
  const float3& g = block.inputValue(gravity).asFloat3();
  const MVector given(g[0], g[1], g[2]);
  if (finiteAsFloat(given)) {
    acceptedGravity = given;
  } else {
    MGlobal::displayError(MFnDependencyNode(thisMObject()).name() + ": gravity " + vectorText(given) +
                          " does not fit single precision, the gravity " + vectorText(acceptedGravity) + " is kept");
    block.outputValue(gravity).set3Float(static_cast<float>(acceptedGravity.x), static_cast<float>(acceptedGravity.y),
                                         static_cast<float>(acceptedGravity.z));
  }
  Mgc::MgcVector3 pull = toEngine(acceptedGravity);
  if (block.inputValue(fitUnitsToMayaScale).asBool()) pull *= kUnitGravityScale;
  if (theWorld != nullptr) {
    if (gravityOn)
      theWorld->enableGravity();
    else
      theWorld->disableGravity();
    theWorld->SetGravity(pull);
  }

  // A hidden grid leaves the ground as it is.
  int gridShown = 0;
  MGlobal::executeCommand("grid -q -toggle", gridShown, false, false);
  if (gridShown != 0) {
    const bool useGround = block.inputValue(useGroundGrid).asBool();
    runQuietly(useGround ? kGroundGridColour : kDefaultGridColour);
    if (theWorld != nullptr && groundBody) {
      if (useGround)
        theWorld->addBody(groundBody.get(), 0);
      else
        theWorld->removeBody(groundBody.get());
    }
  }

  if (switchOff(block, cachedMode)) MGlobal::displayInfo(kCachedModeOffMessage);
  // Without time the dynamics stand still, as after baking to keys.
  if (!MPlug(thisMObject(), inTime).isDestination()) MGlobal::executeCommandOnIdle(kDynamicsDisabledDialog);
}

void zovSolverNode::deactivateCachedMode() {
  MPlug plug(thisMObject(), cachedMode);
  if (plug.isNull()) return;
  const bool wasOn = plug.asBool();
  plug.setValue(false);
  if (wasOn) MGlobal::displayInfo(kCachedModeOffMessage);
}

bool zovSolverNode::ownsWorld() const {
  return theWorld != nullptr && worldSerial != 0 && worldSerial == g_currentWorldSerial;
}

bool zovSolverNode::addRigidBody(const MObject& node) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  if (theWorld == nullptr || rigid == nullptr || rigid->engineBody(false) == nullptr) return false;
  rigid->activateBody();
  deactivateCachedMode();
  return true;
}

bool zovSolverNode::removeRigidBody(const MObject& node) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  if (theWorld == nullptr || rigid == nullptr || rigid->engineBody(false) == nullptr) return false;
  rigid->deactivateBody();
  deactivateCachedMode();
  return true;
}

std::uint32_t zovSolverNode::bodyCollisions(const MObject& node, HardBody*** partners) {
  rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
  HardBody* body = rigid ? rigid->engineBody(false) : nullptr;
  if (theWorld == nullptr || body == nullptr) return 0;
  return theWorld->bodyPartners(body, partners);
}

std::uint32_t zovSolverNode::pairCollisions(const MObject& first, const MObject& second, Mgc::MgcVector3** points) {
  rigidBodyNode* a = userNodeOf<rigidBodyNode>(first);
  rigidBodyNode* b = userNodeOf<rigidBodyNode>(second);
  HardBody* bodyA = a ? a->engineBody(false) : nullptr;
  HardBody* bodyB = b ? b->engineBody(false) : nullptr;
  if (theWorld == nullptr || bodyA == nullptr || bodyB == nullptr) return 0;
  return theWorld->pairContacts(bodyA, bodyB, points);
}

bool zovSolverNode::unitScaleOn() const { return MPlug(thisMObject(), fitUnitsToMayaScale).asBool(); }

unsigned int zovSolverNode::numFractureBodies() const { return connectedPlugs(thisMObject(), fractureBodies).length(); }

void zovSolverNode::setReportCollisions(bool on) {
  if (theWorld == nullptr) return;
  if (on)
    theWorld->enableRepportCollisions();
  else
    theWorld->disableRepportCollisions();
}

void zovSolverNode::clearAllCollisions() {
  if (theWorld != nullptr) theWorld->releaseAllPairs();
}

void zovSolverNode::onSceneChange(void*) {
  g_sceneLoading = true;
  runQuietly("setDefaultsZovFbodyParams(\"\")");
  const MObject solver = findSolverNode();
  if (userNodeOf<zovSolverNode>(solver) == nullptr) return;
  for (FrameParticipant* fracture : frameParticipantsOf(connectedPlugs(solver, fractureBodies))) fracture->release();
  runQuietly("clear( $zovCurrentSelectedFragments); $selectedZovFbody=\"\";");
  if (windowExists("winZovBasicFractures")) MGlobal::executeCommandOnIdle("updateZovFracturesPanel");
  if (windowExists("winZovManageWorld"))
    MGlobal::executeCommandOnIdle("textScrollList -edit -removeAll $zovBodiesList;");
}

void zovSolverNode::rebuildWorld() {
  rebuildNodes(connectedPlugs(thisMObject(), crackers), connectedPlugs(thisMObject(), rigidBodies),
               connectedPlugs(thisMObject(), fractureBodies));
  pullPlugs(thisMObject(), {&ca_cacheSize, &ca_solverParams});

  if (windowExists("winZovBasicFractures")) MGlobal::executeCommandOnIdle("updateZovFracturesPanel");
  if (windowExists("winZovManageWorld")) MGlobal::executeCommandOnIdle("updateZovManagePanel");
  if (windowExists("winZovSolver")) MGlobal::executeCommandOnIdle("updateZovSolverPanel");
  MString renderer;
  MGlobal::executeCommand("modelEditor -q -rnm modelPanel4", renderer, false, false);
  if (renderer == "vp2Renderer") MGlobal::executeCommandOnIdle("ogs -reset");
}

void zovSolverNode::rebuildNodes(const MPlugArray& crackerPlugs, const MPlugArray& bodies,
                                 const MPlugArray& fractures) {
  // Crackers first, as the solver meets them first in every frame.
  for (unsigned int i = 0; i < crackerPlugs.length(); ++i) {
    const MObject node = crackerPlugs[i].node();
    zovCrackerNode* cracker = userNodeOf<zovCrackerNode>(node);
    if (cracker == nullptr) continue;
    if (!node.hasFn(MFn::kDagNode)) {
      cracker->readParameters();
      continue;
    }
    makeBodyAgain(node, MObject::kNullObj, zovCrackerNode::massCenter, [cracker] { cracker->readParameters(); });
  }
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    const MObject node = bodies[i].node();
    rigidBodyNode* rigid = userNodeOf<rigidBodyNode>(node);
    if (rigid == nullptr) continue;
    if (!node.hasFn(MFn::kDagNode)) {
      rigid->pullAll();
      continue;
    }
    MObject shape;
    if (rigid->collisionShapeNode(shape) && collisionShapeNode::isShapeNode(shape)) {
      MPlug type(shape, collisionShapeNode::shapeType);
      type.setValue(type.asShort());
    }
    makeBodyAgain(node, rigidBodyNode::mass, rigidBodyNode::massCenter, [rigid] { rigid->pullAll(); });
  }

  const MTime now = MAnimControl::currentTime();
  for (FrameParticipant* fracture : frameParticipantsOf(fractures)) fracture->buildFromScene(now);
}
