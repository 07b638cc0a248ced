#include "src/solverNode.h"

#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MDataHandle.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>

#include <cmath>
#include <cstring>
#include <string>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "src/collisionShapeNode.h"
#include "src/nodeLinks.h"
#include "src/ownedBody.h"
#include "src/rigidBodyNode.h"

bool g_sceneLoading = false;
bool g_displaySelected = true;

const MTypeId zovSolverNode::id(0x113A60);
const MString zovSolverNode::nodeTypeName("zovSolverNode");

MObject zovSolverNode::version;
MObject zovSolverNode::inTime;
MObject zovSolverNode::startFrame;
MObject zovSolverNode::rigidBodies;
MObject zovSolverNode::fractureBodies;
MObject zovSolverNode::crackers;
MObject zovSolverNode::gravity;
MObject zovSolverNode::substeps;
MObject zovSolverNode::fitUnitsToMayaScale;
MObject zovSolverNode::gravityEnabled;
MObject zovSolverNode::useGroundGrid;
MObject zovSolverNode::ca_solverParams;
MObject zovSolverNode::numThreads;
MObject zovSolverNode::ca_numThreads;
MObject zovSolverNode::ca_indexFbodies;
MObject zovSolverNode::displaySelected;
MObject zovSolverNode::ca_displaySelected;
MObject zovSolverNode::cacheSize;
MObject zovSolverNode::ca_cacheSize;
MObject zovSolverNode::cachedMode;
MObject zovSolverNode::cacheActive;

namespace {

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
  for (const MString& name : names) MGlobal::executeCommand("delete " + name, false, true);
}

MObject makeBoolean(const char* longName, const char* shortName, bool initial) {
  MFnNumericAttribute numeric;
  return numeric.create(longName, shortName, MFnNumericData::kBoolean, initial ? 1.0 : 0.0);
}

MObject makeInt(const char* longName, const char* shortName, double initial) {
  MFnNumericAttribute numeric;
  return numeric.create(longName, shortName, MFnNumericData::kInt, initial);
}

/// A hidden twin: not connectable, not storable, not keyable.
MObject makeTwin(const char* longName, const char* shortName) {
  const MObject attribute = makeBoolean(longName, shortName, false);
  MFnNumericAttribute numeric(attribute);
  numeric.setConnectable(false);
  numeric.setHidden(true);
  numeric.setStorable(false);
  numeric.setKeyable(false);
  return attribute;
}

MObject makeMessage(const char* longName, const char* shortName) {
  MFnMessageAttribute message;
  const MObject attribute = message.create(longName, shortName);
  message.setHidden(true);
  return attribute;
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

zovSolverNode* solverOf(const MObject& node) {
  if (node.isNull()) return nullptr;
  MFnDependencyNode fn(node);
  if (fn.typeId() != zovSolverNode::id) return nullptr;
  return static_cast<zovSolverNode*>(fn.userNode());
}

void zovSolverNode::BodyDeleter::operator()(HardBody* body) const { deleteBody(&body); }

zovSolverNode::zovSolverNode() : prevTime(0.0), lastSimTime(0.0) {
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
    std::strncpy(groundBody->getShape().name, kGroundName, kBodyNameLength - 1);
    // The ground joins the simulation only when the grid is used.
    theWorld->removeBody(groundBody.get());
  }
}

zovSolverNode::~zovSolverNode() {
  deleteNodesOf(connectedPlugs(rigidBodies));
  deleteNodesOf(connectedPlugs(fractureBodies));
  activeBodies.clear();
  idleBodies.clear();
  deleteNodesOf(connectedPlugs(crackers));

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

void* zovSolverNode::creator() { return new zovSolverNode; }

MStatus zovSolverNode::initialize() {
  MFnTypedAttribute typed;
  MFnStringData text;
  version = typed.create("version", "vs", MFnData::kString, text.create("0.0"));
  typed.setStorable(true);
  typed.setHidden(true);
  typed.setKeyable(false);

  MFnUnitAttribute unit;
  inTime = unit.create("inTime", "it", MFnUnitAttribute::kTime, 0.0);
  unit.setHidden(true);

  MFnNumericAttribute numeric;
  startFrame = makeInt("startFrame", "stf", 1.0);
  numeric.setObject(startFrame);
  numeric.setHidden(false);
  numeric.setKeyable(false);
  numeric.setStorable(true);

  rigidBodies = makeMessage("rigidBodies", "rbds");
  fractureBodies = makeMessage("fractureBodies", "fbds");
  crackers = makeMessage("crackers", "crks");

  gravity = numeric.createPoint("gravity", "grvt");
  numeric.setDefault(0.0f, -9.81f, 0.0f);
  numeric.setKeyable(false);

  substeps = makeInt("substeps", "sbs", 5.0);
  numeric.setObject(substeps);
  numeric.setKeyable(true);

  fitUnitsToMayaScale = makeBoolean("fitUnitsToMayaScale", "umu", false);
  numeric.setObject(fitUnitsToMayaScale);
  numeric.setHidden(true);

  gravityEnabled = makeBoolean("gravityEnabled", "genbl", true);
  numeric.setObject(gravityEnabled);
  numeric.setKeyable(false);
  numeric.setStorable(true);

  useGroundGrid = makeBoolean("useGroundGrid", "ugrid", false);
  numeric.setObject(useGroundGrid);
  numeric.setKeyable(false);
  numeric.setStorable(true);

  ca_solverParams = makeTwin("ca_solverParams", "cgr");

  numThreads = makeInt("numThreads", "nth", 1.0);
  numeric.setObject(numThreads);
  numeric.setConnectable(false);
  numeric.setStorable(true);
  numeric.setKeyable(false);

  ca_numThreads = makeTwin("ca_numThreads", "cnth");

  ca_indexFbodies = makeInt("ca_indexFbodies", "caif", 0.0);
  numeric.setObject(ca_indexFbodies);
  numeric.setConnectable(false);
  numeric.setHidden(true);
  numeric.setStorable(true);
  numeric.setKeyable(false);

  displaySelected = makeBoolean("displaySelected", "dis", true);
  ca_displaySelected = makeTwin("ca_displaySelected", "cadi");

  // The cache holds the playback range as it is when the module loads.
  const double rangeLength = std::trunc((MAnimControl::maxTime() - MAnimControl::minTime()).value());
  cacheSize = makeInt("cacheSize", "chs", rangeLength);
  numeric.setObject(cacheSize);
  numeric.setConnectable(false);
  numeric.setStorable(true);
  numeric.setKeyable(false);

  ca_cacheSize = makeTwin("ca_cacheSize", "cchs");
  cachedMode = makeTwin("cachedMode", "cm");

  cacheActive = makeBoolean("cacheActive", "cha", true);
  numeric.setObject(cacheActive);
  numeric.setConnectable(false);
  numeric.setStorable(true);
  numeric.setKeyable(false);

  for (const MObject* attribute :
       {&version,      &inTime,        &startFrame,          &rigidBodies,     &fractureBodies,     &crackers,
        &gravity,      &substeps,      &fitUnitsToMayaScale, &gravityEnabled,  &useGroundGrid,      &ca_solverParams,
        &numThreads,   &ca_numThreads, &ca_indexFbodies,     &displaySelected, &ca_displaySelected, &cacheSize,
        &ca_cacheSize, &cachedMode,    &cacheActive}) {
    const MStatus status = addAttribute(*attribute);
    if (!status) return status;
  }

  for (const MObject* setting :
       {&substeps, &fitUnitsToMayaScale, &gravityEnabled, &useGroundGrid, &gravity, &startFrame})
    attributeAffects(*setting, ca_solverParams);
  attributeAffects(numThreads, ca_numThreads);
  attributeAffects(cacheSize, ca_cacheSize);
  attributeAffects(cacheActive, ca_cacheSize);
  attributeAffects(inTime, rigidBodies);
  attributeAffects(displaySelected, ca_displaySelected);
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
  Mgc::MgcVector3 pull(g[0], g[1], g[2]);
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

MPlugArray zovSolverNode::connectedPlugs(const MObject& attribute) const {
  MPlugArray plugs;
  MPlug(thisMObject(), attribute).connectedTo(plugs, true, true);
  return plugs;
}

bool zovSolverNode::addRigidBody(const MObject& node) {
  rigidBodyNode* rigid = rigidBodyOf(node);
  if (theWorld == nullptr || rigid == nullptr || rigid->engineBody(false) == nullptr) return false;
  rigid->activateBody();
  deactivateCachedMode();
  return true;
}

bool zovSolverNode::removeRigidBody(const MObject& node) {
  rigidBodyNode* rigid = rigidBodyOf(node);
  if (theWorld == nullptr || rigid == nullptr || rigid->engineBody(false) == nullptr) return false;
  rigid->deactivateBody();
  deactivateCachedMode();
  return true;
}

std::uint32_t zovSolverNode::bodyCollisions(const MObject& node, HardBody*** partners) {
  rigidBodyNode* rigid = rigidBodyOf(node);
  HardBody* body = rigid ? rigid->engineBody(false) : nullptr;
  if (theWorld == nullptr || body == nullptr) return 0;
  return theWorld->bodyPartners(body, partners);
}

std::uint32_t zovSolverNode::pairCollisions(const MObject& first, const MObject& second, Mgc::MgcVector3** points) {
  rigidBodyNode* a = rigidBodyOf(first);
  rigidBodyNode* b = rigidBodyOf(second);
  HardBody* bodyA = a ? a->engineBody(false) : nullptr;
  HardBody* bodyB = b ? b->engineBody(false) : nullptr;
  if (theWorld == nullptr || bodyA == nullptr || bodyB == nullptr) return 0;
  return theWorld->pairContacts(bodyA, bodyB, points);
}

bool zovSolverNode::unitScaleOn() const { return MPlug(thisMObject(), fitUnitsToMayaScale).asBool(); }

unsigned int zovSolverNode::numFractureBodies() const { return connectedPlugs(fractureBodies).length(); }

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
  if (solverOf(findSolverNode()) == nullptr) return;
  runQuietly("clear( $zovCurrentSelectedFragments); $selectedZovFbody=\"\";");
  if (windowExists("winZovBasicFractures")) MGlobal::executeCommandOnIdle("updateZovFracturesPanel");
  if (windowExists("winZovManageWorld"))
    MGlobal::executeCommandOnIdle("textScrollList -edit -removeAll $zovBodiesList;");
}

void zovSolverNode::rebuildWorld() {
  constexpr double kUnset = static_cast<double>(1.1920929e-07f);
  constexpr double kSameCentre = 1e-5;
  const MPlugArray bodies = connectedPlugs(rigidBodies);
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    const MObject node = bodies[i].node();
    rigidBodyNode* rigid = rigidBodyOf(node);
    if (rigid == nullptr) continue;
    if (!node.hasFn(MFn::kDagNode)) {
      rigid->pullAll();
      continue;
    }
    // Creation writes the computed mass and centre only over unset values:
    // both are unset for the pull and the user's values put back after it.
    MPlug massPlug(node, rigidBodyNode::mass);
    MPlug centrePlug(node, rigidBodyNode::massCenter);
    const double savedMass = massPlug.asDouble();
    float savedCentre[3];
    for (unsigned int k = 0; k < 3; ++k) savedCentre[k] = centrePlug.child(k).asFloat();
    massPlug.setValue(kUnset);
    for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(kUnset);

    MObject shape;
    if (rigid->collisionShapeNode(shape)) {
      MFnDependencyNode fn(shape);
      if (fn.typeId() == collisionShapeNode::id) {
        MPlug type = fn.findPlug("type", true);
        type.setValue(type.asShort());
      }
    }
    rigid->pullAll();
    massPlug.setValue(savedMass);
    double distance = 0.0;
    for (unsigned int k = 0; k < 3; ++k) {
      const double d = centrePlug.child(k).asFloat() - savedCentre[k];
      distance += d * d;
    }
    if (distance > kSameCentre) {
      for (unsigned int k = 0; k < 3; ++k) centrePlug.child(k).setValue(savedCentre[k]);
      rigid->pullAll();
    }
  }

  MObject value;
  for (const MObject* twin : {&ca_cacheSize, &ca_solverParams}) {
    MPlug plug(thisMObject(), *twin);
    if (!plug.isNull()) plug.getValue(value);
  }

  if (windowExists("winZovBasicFractures")) MGlobal::executeCommandOnIdle("updateZovFracturesPanel");
  if (windowExists("winZovManageWorld")) MGlobal::executeCommandOnIdle("updateZovManagePanel");
  if (windowExists("winZovSolver")) MGlobal::executeCommandOnIdle("updateZovSolverPanel");
  MString renderer;
  MGlobal::executeCommand("modelEditor -q -rnm modelPanel4", renderer, false, false);
  if (renderer == "vp2Renderer") MGlobal::executeCommandOnIdle("ogs -reset");
}
