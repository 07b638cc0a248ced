// The fracture body node: its attributes, its compute, and the pushes of its
// parameters into the engine fracture body and the joint nodes.
#include "src/fracture/fractureBodyNode.h"

#include <maya/MAnimUtil.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/FractureFactory.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fracturePieces.h"
#include "src/fracture/sceneStress.h"
#include "src/hostEngineConversions.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

const MTypeId FractureBodyNode::id(0x113A80);
const MString FractureBodyNode::nodeTypeName("zovFbodyNode");

namespace {

/// The engine's dampings and the strength across shatter groups are the
/// single-precision tenth.
constexpr double kSingleTenth = static_cast<double>(0.1f);
/// Strength across groups when the threshold itself is pushed.
constexpr double kCrossGroupTenth = 0.1;
/// Velocities shorter than this are not pushed when the body is enabled.
constexpr double kNegligibleSpeed = 1e-5;
/// Pieces whose mass ratio gives a scale below this hold nothing.
constexpr double kWeakestScale = 0.3;
/// `randomThreshold` in steps of ten percent, up to the whole tree.
constexpr int kRandomStep = 10;
constexpr int kWholeTree = 100;

/// Hidden links to other nodes that nobody keys.
constexpr AttributeFlags kFractureLink = AttributeFlags().hidden(true);
constexpr AttributeFlags kFractureShown = kNotKeyable.hidden(false);
constexpr AttributeFlags kFractureHiddenValue = kNotKeyable.hidden(true);

int randomStepOf(int value) {
  const int k = value / kRandomStep;
  if (k < 1) return 0;
  if (k >= kWholeTree / kRandomStep) return kWholeTree;
  return kRandomStep * k;
}

/// The joint's two bodies when both exist.
bool bothJointBodies(const DynamicStress& joint, PrivateHardBody*& first, PrivateHardBody*& second) {
  first = joint.getCNode();
  second = joint.getPNode();
  return first != nullptr && second != nullptr;
}

}  // namespace

bool pieceGroupPath(const MObject& piece, MDagPath& group) {
  return parentTransformPath(piece, group) && group.pop() && group.length() > 0 && group.node().hasFn(MFn::kTransform);
}

UnlockedPiece::UnlockedPiece(rigidBodyNode& piece) : node(piece) {
  node.setParamsLocked(false);
  MFnDependencyNode(node.thisMObject()).setLocked(false);
}

UnlockedPiece::~UnlockedPiece() {
  node.setParamsLocked(true);
  MFnDependencyNode(node.thisMObject()).setLocked(true);
}

FractureBodyNode::FractureBodyNode() : modifier(std::make_unique<MDGModifier>()) {}

FractureBodyNode::~FractureBodyNode() { release(); }

void* FractureBodyNode::creator() {
  auto* node = new FractureBodyNode;
  node->fractureBody.reset(createFractureBody());
  return static_cast<MPxNode*>(node);
}

FractureBody* FractureBodyNode::getFractureBody() const { return static_cast<FractureBody*>(fractureBody.get()); }

void FractureBodyNode::registerParticipant() {
  registerFrameParticipant(id, [](MPxNode* node) -> FrameParticipant* { return static_cast<FractureBodyNode*>(node); });
}

MStatus FractureBodyNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {usercommand, numericAttribute("usercommand", "use", Kind::kBoolean, 0.0, kHiddenState)},
      {rigidBodies, messageAttribute("rigidBodies", "rbds", kFractureLink)},
      {clusters, messageAttribute("clusters", "clus", kFractureLink)},
      {animBody, messageAttribute("animBody", "anim", kFractureLink)},
      {stresses, messageAttribute("stresses", "strs", kFractureLink)},
      {solver, messageAttribute("solver", "solv")},
      {initialVelocity, pointAttribute("initialVelocity", "inve")},
      {initialSpin, pointAttribute("initialSpin", "insp")},
      {distThreshold, boundedAttribute("distThreshold", "dthr", Kind::kDouble, 0.05, 0.0, 100.0, kFractureHiddenValue)},
      {passive, numericAttribute("passive", "pass", Kind::kBoolean, 0.0, kFractureShown)},
      // Off, on the first hit, at the activation frame.
      {firstHitActive, boundedAttribute("firstHitActive", "fha", Kind::kShort, 0.0, 0.0, 2.0, kNotKeyable)},
      {actFrameAttr, numericAttribute("actFrame", "acf", Kind::kInt, 1.0, kFractureShown)},
      {breakFrameAttr, numericAttribute("breakFrame", "bfr", Kind::kInt, 1.0, kFractureShown)},
      {stressThresholdAttr, boundedAttribute("stressThreshold", "sthr", Kind::kDouble, 50.0, 0.0, 1e6, kNotKeyable)},
      {randomThresholdAttr, boundedAttribute("randomThreshold", "rthr", Kind::kInt, 40.0, 0.0, 100.0, kNotKeyable)},
      {stress2mass, numericAttribute("stress2mass", "st2m", Kind::kBoolean, 1.0, kNotKeyable)},
      {propStyle, enumAttribute("propStyle", "pst", 0, {{"PROP_CONTINUOUS", 0}, {"PROP_LOCAL", 1}},
                                kFractureShown.storable(true))},
      {enabled, numericAttribute("enabled", "enb", Kind::kBoolean, 1.0, kNotKeyable)},
      {unbreakable, numericAttribute("unbreakable", "unb", Kind::kBoolean, 0.0, kNotKeyable)},
      {secCracks, numericAttribute("secCracks", "scrk", Kind::kBoolean, 1.0, kNotKeyable)},
      {percentSecCracks, boundedAttribute("percentSecCracks", "pscr", Kind::kInt, 5.0, 0.0, 100.0, kNotKeyable)},
      {doTrans, numericAttribute("doTrans", "dot", Kind::kBoolean, 0.0, kFractureHiddenValue)},
      // The engine takes a positive single-precision mass.
      {mass, boundedAttribute("mass", "ma", Kind::kDouble, 1.0, kLeastPositiveFloat, kGreatestFloat, kNotKeyable)},
      {friction, fractionAttribute("friction", "fc", 0.7)},
      {bounciness, fractionAttribute("bounciness", "bcn", 0.3)},
      {linearDamping, fractionAttribute("linearDamping", "lid", 0.01)},
      {angularDamping, fractionAttribute("angularDamping", "and", 0.01)},
      {selected, numericAttribute("selected", "sel", Kind::kBoolean, 0.0, kHiddenState)},
      {displayStressses,
       numericAttribute("displayStressses", "dst", Kind::kBoolean, 0.0, kHiddenSetting.storable(true))},
      {index, numericAttribute("index", "idx", Kind::kInt, -1.0, kHiddenSetting)},
      {ca_index, hiddenTwin("ca_index", "cidx"), {&index}},
      {keysTX, numericAttribute("keysTX", "ktx", Kind::kDouble, 0.0, kFractureHiddenValue)},
      {keysTY, numericAttribute("keysTY", "kty", Kind::kDouble, 0.0, kFractureHiddenValue)},
      {keysTZ, numericAttribute("keysTZ", "ktz", Kind::kDouble, 0.0, kFractureHiddenValue)},
      {keysRX, unitAttribute("keysRX", "krx", MFnUnitAttribute::kAngle, 0.0, kFractureHiddenValue)},
      {keysRY, unitAttribute("keysRY", "kry", MFnUnitAttribute::kAngle, 0.0, kFractureHiddenValue)},
      {keysRZ, unitAttribute("keysRZ", "krz", MFnUnitAttribute::kAngle, 0.0, kFractureHiddenValue)},
      {transFrame, numericAttribute("transFrame", "tfr", Kind::kInt, 0.0, kHiddenSetting)},
      {ca_initialVelocity, hiddenTwin("ca_initialVelocity", "caiv"), {&initialVelocity}},
      {ca_initialSpin, hiddenTwin("ca_initialSpin", "caiw"), {&initialSpin}},
      {ca_stressThreshold, hiddenTwin("ca_stressThreshold", "cast"), {&stressThresholdAttr}},
      {ca_randomThreshold, hiddenTwin("ca_randomThreshold", "cart"), {&randomThresholdAttr}},
      {ca_propStyle, hiddenTwin("ca_propStyle", "caps"), {&propStyle}},
      {ca_enabled, hiddenTwin("ca_enabled", "cebl"), {&enabled}},
      {ca_firstHit, hiddenTwin("ca_firstHit", "cafh"), {&firstHitActive}},
      {ca_stress2mass, hiddenTwin("ca_stress2mass", "cas2"), {&stress2mass}},
      {ca_unbreakable, hiddenTwin("ca_unbreakable", "cunb"), {&unbreakable}},
      {ca_secCracks, hiddenTwin("ca_secCracks", "cscr"), {&secCracks, &percentSecCracks}},
      {ca_mass, hiddenTwin("ca_mass", "cmss"), {&mass}},
      {ca_friction, hiddenTwin("ca_friction", "cfr"), {&friction}},
      {ca_bounciness, hiddenTwin("ca_bounciness", "cbn"), {&bounciness}},
      {ca_airdamping, hiddenTwin("ca_airdamping", "cad"), {&linearDamping}},
      {ca_angdamping, hiddenTwin("ca_angdamping", "cgd"), {&angularDamping}},
      {affectForceFields,
       numericAttribute("affectForceFields", "aff", Kind::kBoolean, 0.0, kFractureShown.storable(true))},
      {fieldList, messageAttribute("fieldList", "ffl", AttributeFlags().array(true).keyable(false).connectable(true))},
      {ca_forceFields, hiddenTwin("ca_forceFields", "caff"), {&affectForceFields}},
      {ca_selected, hiddenTwin("ca_selected", "csel"), {&selected}},
      {ca_disStresses, hiddenTwin("ca_disStresses", "cdst"), {&displayStressses}},
      {ca_passive, hiddenTwin("ca_passive", "cpas"), {&passive}},
  });
  if (!added) return added;

  return MS::kSuccess;
}

// ---- Compute ------------------------------------------------------------------

void FractureBodyNode::computeRandomThreshold(MDataBlock& block) {
  applyIntParam(ca_randomThreshold, block.inputValue(randomThresholdAttr).asInt());
  if (block.inputValue(stress2mass).asBool()) applyBoolParam(ca_stress2mass, true);
  // What `stress2mass` asks is done (scaled by mass, or the strengths drawn
  // without): its twin, read later, would scale or draw them again, over
  // what the user has since set on a joint.
  block.outputValue(ca_stress2mass).set(true);
  block.setClean(ca_stress2mass);
  if (block.inputValue(displayStressses).asBool()) refreshStressDisplay();
  answerUserCommand(block, usercommand, [this] { deactivateSolverCache(); });
}

MStatus FractureBodyNode::compute(const MPlug& plug, MDataBlock& block) {
  bool output = true;
  if (plug == solver) {
    block.setClean(plug);
    return MS::kSuccess;
  }
  if (plug == ca_initialVelocity || plug == ca_initialSpin) {
    const MObject& input = plug == ca_initialVelocity ? initialVelocity : initialSpin;
    const float3& v = block.inputValue(input).asFloat3();
    applyVectorParam(plug.attribute(), MVector(v[0], v[1], v[2]));
    deactivateSolverCache();
  } else if (plug == ca_randomThreshold) {
    computeRandomThreshold(block);
  } else if (plug == ca_stressThreshold) {
    applyDoubleParam(ca_stressThreshold, block.inputValue(stressThresholdAttr).asDouble());
    computeRandomThreshold(block);
    block.outputValue(ca_randomThreshold).set(true);
    block.setClean(ca_randomThreshold);
  } else if (plug == ca_stress2mass) {
    applyBoolParam(ca_stress2mass, block.inputValue(stress2mass).asBool());
    if (block.inputValue(displayStressses).asBool()) refreshStressDisplay();
    deactivateSolverCache();
  } else if (plug == ca_enabled) {
    applyBoolParam(ca_enabled, block.inputValue(enabled).asBool());
    if (FractureBody* body = getFractureBody()) {
      const float3& v = block.inputValue(initialVelocity).asFloat3();
      const MVector velocity(v[0], v[1], v[2]);
      if (velocity.length() > kNegligibleSpeed) body->setLinearVelocity(toEngine(velocity));
      const float3& w = block.inputValue(initialSpin).asFloat3();
      const MVector spin(w[0], w[1], w[2]);
      if (spin.length() > kNegligibleSpeed) body->setAngularMomentum(toEngine(spin));
    }
    deactivateSolverCache();
  } else if (plug == ca_unbreakable) {
    applyBoolParam(ca_unbreakable, block.inputValue(unbreakable).asBool());
    deactivateSolverCache();
  } else if (plug == ca_secCracks) {
    applyBoolParam(ca_secCracks, block.inputValue(secCracks).asBool());
    applyIntParam(ca_secCracks, block.inputValue(percentSecCracks).asInt());
    deactivateSolverCache();
  } else if (plug == ca_passive) {
    const bool isPassive = block.inputValue(passive).asBool();
    applyBoolParam(ca_passive, isPassive);
    if (!isPassive) {
      const float3& v = block.inputValue(initialVelocity).asFloat3();
      applyVectorParam(ca_initialVelocity, MVector(v[0], v[1], v[2]));
      const float3& w = block.inputValue(initialSpin).asFloat3();
      applyVectorParam(ca_initialSpin, MVector(w[0], w[1], w[2]));
    }
    deactivateSolverCache();
  } else if (plug == ca_firstHit) {
    applyIntParam(ca_firstHit, block.inputValue(firstHitActive).asShort());
    deactivateSolverCache();
  } else if (plug == ca_forceFields) {
    affectForceFieldsState = block.inputValue(affectForceFields).asBool();
    deactivateSolverCache();
  } else if (plug == ca_mass) {
    applyDoubleParam(ca_mass, block.inputValue(mass).asDouble());
    // The reference mass of secondary cracks follows the new mass.
    applyIntParam(ca_secCracks, block.inputValue(percentSecCracks).asInt());
    deactivateSolverCache();
  } else if (plug == ca_friction || plug == ca_bounciness || plug == ca_airdamping || plug == ca_angdamping) {
    const MObject& input = plug == ca_friction     ? friction
                           : plug == ca_bounciness ? bounciness
                           : plug == ca_airdamping ? linearDamping
                                                   : angularDamping;
    applyDoubleParam(plug.attribute(), block.inputValue(input).asDouble());
    deactivateSolverCache();
  } else if (plug == ca_selected) {
    output = block.inputValue(selected).asBool();
    applyBoolParam(ca_selected, output);
  } else if (plug == ca_disStresses) {
    output = block.inputValue(displayStressses).asBool();
    if (!output) hideStressColors();
  } else if (plug == ca_propStyle) {
    applyIntParam(ca_propStyle, block.inputValue(propStyle).asShort());
    answerUserCommand(block, usercommand, [this] { deactivateSolverCache(); });
  } else if (plug == ca_index) {
    if (FractureBody* body = getFractureBody()) body->getShape().id = block.inputValue(index).asInt();
  } else {
    return MS::kUnknownParameter;
  }
  block.outputValue(plug).set(output);
  block.setClean(plug);
  return MS::kSuccess;
}

// ---- Readers ------------------------------------------------------------------

bool FractureBodyNode::isEnabled() const {
  return getFractureBody() != nullptr && MPlug(thisMObject(), enabled).asBool();
}
bool FractureBodyNode::isSelected() const { return MPlug(thisMObject(), selected).asBool(); }
int FractureBodyNode::actFrame() const { return MPlug(thisMObject(), actFrameAttr).asInt(); }
int FractureBodyNode::breakFrame() const { return MPlug(thisMObject(), breakFrameAttr).asInt(); }
double FractureBodyNode::stressThreshold() const { return MPlug(thisMObject(), stressThresholdAttr).asDouble(); }
int FractureBodyNode::randomThreshold() const { return MPlug(thisMObject(), randomThresholdAttr).asInt(); }
bool FractureBodyNode::displaysStress() const { return MPlug(thisMObject(), displayStressses).asBool(); }

PieceCluster FractureBodyNode::clusterOf(const rigidBodyNode& piece) const {
  const clusterFractureNode* cluster = clusterNodeOf(piece);
  if (cluster == nullptr) return PieceCluster::kNone;
  return cluster->isSelected() ? PieceCluster::kSelected : PieceCluster::kUnselected;
}

void FractureBodyNode::pullPieceSettings() {
  pullPlugs(thisMObject(),
            {&ca_propStyle, &ca_randomThreshold, &ca_stressThreshold, &ca_secCracks, &ca_bounciness, &ca_enabled});
}

bool FractureBodyNode::firstHitPending() const {
  return !staticPartsReleased &&
         static_cast<FirstHit>(MPlug(thisMObject(), firstHitActive).asShort()) == FirstHit::kAtFrame;
}

bool FractureBodyNode::isAnimated(int mask) const {
  if (mask != kParametersAnimated) return false;
  for (const MObject* attribute : {&propStyle, &randomThresholdAttr, &stressThresholdAttr})
    if (MAnimUtil::isAnimated(MPlug(thisMObject(), *attribute))) return true;
  return false;
}

unsigned int FractureBodyNode::numClusters() const {
  MPlugArray plugs;
  MPlug(thisMObject(), clusters).connectedTo(plugs, false, true);
  return plugs.length();
}

unsigned int FractureBodyNode::numStresses() const {
  MPlugArray plugs;
  MPlug(thisMObject(), stresses).connectedTo(plugs, false, true);
  return plugs.length();
}

SceneStress* FractureBodyNode::stressNodeAt(unsigned int i) const {
  MPlugArray plugs;
  MPlug(thisMObject(), stresses).connectedTo(plugs, false, true);
  return i < plugs.length() ? userNodeOf<SceneStress>(plugs[i]) : nullptr;
}

MString FractureBodyNode::nodeName() const { return MFnDependencyNode(thisMObject()).name(); }

void FractureBodyNode::setNodeName(const MString& name) {
  MFnDependencyNode(thisMObject()).setName(name);
  if (FractureBody* body = getFractureBody()) {
    body->getShape().setName(nodeName().asChar());
  }
}

std::vector<rigidBodyNode*> FractureBodyNode::pieceNodes() const {
  MPlugArray plugs;
  MPlug(thisMObject(), rigidBodies).connectedTo(plugs, false, true);
  return userNodesOf<rigidBodyNode>(plugs);
}

std::vector<clusterFractureNode*> FractureBodyNode::clusterNodes() const {
  MPlugArray plugs;
  MPlug(thisMObject(), clusters).connectedTo(plugs, false, true);
  return userNodesOf<clusterFractureNode>(plugs);
}

std::vector<SceneStress*> FractureBodyNode::stressNodesLinked() const {
  MPlugArray plugs;
  MPlug(thisMObject(), stresses).connectedTo(plugs, false, true);
  return userNodesOf<SceneStress>(plugs);
}

std::vector<SceneStress*> FractureBodyNode::strengthNodes() const {
  // A rebuild pulls the parameters with no joint node counted: the joint
  // nodes hold the strengths and switches the scene kept, which the rules
  // would draw again (and scale by mass twice).
  if (numStressNodes == 0) return {};
  return stressNodesLinked();
}

MDGModifier& FractureBodyNode::dgModifier() {
  if (!modifier) modifier = std::make_unique<MDGModifier>();
  return *modifier;
}

// ---- Parameters -----------------------------------------------------------------

bool FractureBodyNode::applyBoolParam(const MObject& twin, bool value) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return true;
  if (twin == ca_enabled) {
    if (value) {
      if (theWorld != nullptr) theWorld->activateBody(body);
      for (rigidBodyNode* piece : pieceNodes()) {
        const UnlockedPiece unlocked(*piece);
        piece->activateBody();
      }
    } else {
      if (PrivateWorld* world = privateWorld()) world->unlinkBody(body);
      for (rigidBodyNode* piece : pieceNodes()) {
        const UnlockedPiece unlocked(*piece);
        piece->deactivateBody();
      }
    }
    MPlugArray sources;
    MPlug(thisMObject(), animBody).connectedTo(sources, true, true);
    rigidBodyNode* source = sources.length() > 0 ? userNodeOf<rigidBodyNode>(sources[0]) : nullptr;
    if (source != nullptr) {
      HardBody* sourceBody = source->engineBody(true);
      const bool free = source->fractureBodyNode() == nullptr;
      if (value && sourceBody != nullptr) {
        body->setLinearVelocity(sourceBody->getDyn().linearVelocity);
        body->setAngularMomentum(sourceBody->getDyn().angularMomentum);
        if (free && theWorld != nullptr) theWorld->removeBody(sourceBody);
      } else if (!value && sourceBody != nullptr && free && theWorld != nullptr) {
        theWorld->addBody(sourceBody, 0);
      }
    }
  } else if (twin == ca_passive) {
    if (value)
      body->enableStatic();
    else
      body->disableStatic();
    passiveState = value;
  } else if (twin == ca_stress2mass) {
    if (value)
      applyJointForce();
    else
      applyIntParam(ca_randomThreshold, randomThreshold());
  } else if (twin == ca_unbreakable) {
    if (value)
      body->setSubtreeFlag();
    else
      body->clearSubtreeFlag();
  } else if (twin == ca_secCracks) {
    if (value)
      body->enableSecImpacts();
    else
      body->disableSecImpacts();
  }
  return true;
}

bool FractureBodyNode::applyDoubleParam(const MObject& twin, double value) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return true;
  if (twin == ca_stressThreshold) {
    body->setGlobalStressThreshold(value);
    for (SceneStress* node : strengthNodes()) {
      PrivateHardBody* first = nullptr;
      PrivateHardBody* second = nullptr;
      if (node->getJoint() == nullptr || !bothJointBodies(*node->getJoint(), first, second)) continue;
      double strength = value;
      if (first->isStatic() || second->isStatic())
        strength = 0.0;
      else if (first->getGroupID() != second->getGroupID())
        strength = value * kCrossGroupTenth;
      node->setDouble("forceStrenght", strength);
    }
  } else if (twin == ca_mass) {
    if ((body->numDisconectBodies() != 0 || body->getNFBodies() != 0) && theWorld != nullptr)
      theWorld->restoreBody(body);
    body->setMass(static_cast<float>(value));
    body->saveDynamics(kSaveMass);
  } else if (twin == ca_friction) {
    body->setFrictionCoeff(value);
  } else if (twin == ca_bounciness) {
    body->setRestitutionCoeff(value);
  } else if (twin == ca_airdamping) {
    body->setAirDampingCoeff(value * kSingleTenth);
  } else if (twin == ca_angdamping) {
    body->setAirDampingCoeff2(value * kSingleTenth);
  }
  return true;
}

void FractureBodyNode::applyClusterStrengths() {
  const double threshold = stressThreshold();
  for (SceneStress* node : strengthNodes()) {
    PrivateHardBody* first = nullptr;
    PrivateHardBody* second = nullptr;
    if (node->getJoint() == nullptr || !bothJointBodies(*node->getJoint(), first, second)) continue;
    double strength = threshold;
    if (first->isStatic() || second->isStatic() || first->getShape().tag != second->getShape().tag)
      strength = 0.0;
    else if (first->getGroupID() != second->getGroupID())
      strength = threshold * kSingleTenth;
    node->setDouble("forceStrenght", strength);
  }
}

bool FractureBodyNode::applyIntParam(const MObject& twin, int value) {
  if (twin == ca_randomThreshold) randomThresholdStep = randomStepOf(value);
  FractureBody* body = getFractureBody();
  if (body == nullptr) return true;
  if (twin == ca_randomThreshold) {
    const unsigned int scaled = body->clusterIdOf() * static_cast<unsigned int>(randomThresholdStep);
    const std::uint32_t n = static_cast<std::uint32_t>(static_cast<double>(scaled) / 100.0);
    body->labelClusters(&n);
    applyClusterStrengths();
  } else if (twin == ca_firstHit) {
    if (value == static_cast<int>(FirstHit::kOnFirstHit)) {
      body->enableFirstHit();
    } else {
      body->disableFirstHit();
      staticPartsReleased = false;
    }
    addToWorld();
  } else if (twin == ca_propStyle) {
    body->setBreakModeRecursive(value);
  } else if (twin == ca_secCracks) {
    body->setSecImpactsParams(value, body->getMass());
  }
  return true;
}

bool FractureBodyNode::applyVectorParam(const MObject& twin, const MVector& value) {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return true;
  if (twin == ca_initialVelocity) {
    body->setLinearVelocity(toEngine(value));
    body->saveDynamics(kSaveLinearVelocity);
  } else if (twin == ca_initialSpin) {
    body->setAngularMomentum(toEngine(value));
    body->saveDynamics(kSaveAngularVelocity);
  }
  return true;
}

void FractureBodyNode::applyJointForce() {
  if (getFractureBody() == nullptr) return;
  const std::vector<SceneStress*> nodes = strengthNodes();
  double sum = 0.0;
  for (SceneStress* node : nodes) {
    PrivateHardBody* first = nullptr;
    PrivateHardBody* second = nullptr;
    if (node->getJoint() == nullptr || !bothJointBodies(*node->getJoint(), first, second)) continue;
    if (first->isStatic() || second->isStatic()) continue;
    sum += (first->getMass() + second->getMass()) * 0.5;
  }
  // Every connection counts, skipped ones too. Without a usable mean (no
  // joint between dynamic pieces, or masses that do not add up to a positive
  // number) the strengths stay as they are.
  const double mean = nodes.empty() ? 0.0 : sum / static_cast<double>(nodes.size());
  const bool usableMean = mean > 0.0 && std::isfinite(mean);
  for (SceneStress* node : nodes) {
    DynamicStress* joint = node->getJoint();
    PrivateHardBody* first = nullptr;
    PrivateHardBody* second = nullptr;
    if (joint != nullptr) {
      if (!bothJointBodies(*joint, first, second)) continue;
      if (first->isStatic() || second->isStatic()) {
        node->setDouble("forceStrenght", 0.0);
      } else {
        double scale = 1.0;
        if (usableMean) {
          double r = std::sqrt((first->getMass() + second->getMass()) * 0.5 / mean);
          if (r < kWeakestScale) r = 0.0;
          scale = std::min(1.0, r);
        }
        node->setDouble("forceStrenght", node->getDouble("forceStrenght") * scale);
      }
    }
    node->setBool("enabled", true);
    node->setBool("torsion", true);
  }
}

void FractureBodyNode::addToWorld() {
  FractureBody* body = getFractureBody();
  if (body == nullptr) return;
  if (theWorld != nullptr) theWorld->addBody(body, 0);
  MPlug(thisMObject(), index).setValue(static_cast<int>(body->getShape().id));
  MPlug(thisMObject(), enabled).setValue(true);
}

void FractureBodyNode::deactivateSolverCache() {
  MObject node;
  if (!firstConnectedNode(MPlug(thisMObject(), solver), node)) return;
  if (zovSolverNode* linked = userNodeOf<zovSolverNode>(node)) linked->deactivateCachedMode();
}
