#include "SceneWorldWalk.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "engine/PrivateWorld.h"
#include "engine/PublicWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

// The module's node types, by their ids (the walk does not ask the module).
constexpr unsigned int kSolverId = 0x113A60;
constexpr unsigned int kRigidBodyId = 0x113A70;
constexpr unsigned int kFractureId = 0x113A80;
constexpr unsigned int kClusterId = 0x113A81;
constexpr unsigned int kJointId = 0x113A82;

std::string nameOf(const MObject& node) { return MFnDependencyNode(node).name().asChar(); }

unsigned int typeOf(const MObject& node) { return MFnDependencyNode(node).typeId().id(); }

MPlug plugOf(const MObject& node, const char* attribute) { return MFnDependencyNode(node).findPlug(attribute, true); }

/// The nodes on the far side of a node's attribute, in connection order.
std::vector<MObject> linked(const MObject& node, const char* attribute, bool asDestination, bool asSource) {
  std::vector<MObject> nodes;
  const MPlug plug = plugOf(node, attribute);
  if (plug.isNull()) return nodes;
  MPlugArray plugs;
  plug.connectedTo(plugs, asDestination, asSource);
  for (unsigned int i = 0; i < plugs.length(); ++i) nodes.push_back(plugs[i].node());
  return nodes;
}

/// The node feeding the attribute, null when none does.
MObject sourceOf(const MObject& node, const char* attribute) {
  const std::vector<MObject> sources = linked(node, attribute, true, false);
  return sources.empty() ? MObject() : sources.front();
}

bool boolOf(const MObject& node, const char* attribute) {
  const MPlug plug = plugOf(node, attribute);
  return !plug.isNull() && plug.asBool();
}

/// The scene's nodes of the module, by kind, in creation order.
struct SceneNodes {
  std::vector<MObject> solvers, rigidBodies, fractures, clusters, joints;
};

SceneNodes gatherNodes() {
  // Each module node type and the list its nodes go to.
  using Listing = std::pair<unsigned int, std::vector<MObject> SceneNodes::*>;
  const Listing listings[] = {{kSolverId, &SceneNodes::solvers},
                              {kRigidBodyId, &SceneNodes::rigidBodies},
                              {kFractureId, &SceneNodes::fractures},
                              {kClusterId, &SceneNodes::clusters},
                              {kJointId, &SceneNodes::joints}};
  SceneNodes nodes;
  std::set<std::string> seen;
  // A locator is a plug-in node of both kinds: each node once.
  for (MFn::Type kind : {MFn::kPluginDependNode, MFn::kPluginLocatorNode}) {
    for (MItDependencyNodes it(kind); !it.isDone(); it.next()) {
      const MObject node = it.thisNode();
      if (!seen.insert(nameOf(node)).second) continue;
      for (const Listing& listing : listings)
        if (typeOf(node) == listing.first) (nodes.*listing.second).push_back(node);
    }
  }
  return nodes;
}

using JointPair = std::pair<const HardBody*, const HardBody*>;

JointPair pairOf(const HardBody* a, const HardBody* b) { return a < b ? JointPair{a, b} : JointPair{b, a}; }

/// One walk: what the nodes say, what the world holds, and the lines that
/// tell where they part.
class Walk {
 public:
  explicit Walk(const SceneWalkOptions& options) : options(options) {}

  std::vector<std::string> run() {
    const SceneNodes nodes = gatherNodes();
    world = static_cast<PrivateWorld*>(theWorld);
    if (!nodes.solvers.empty() && world == nullptr) report("a solver node stands in the scene but there is no world");
    readWorldLists();
    readRigidBodies(nodes);
    for (const MObject& fracture : nodes.fractures) walkFracture(fracture);
    checkFreeBodies();
    checkUnexplained();
    return problems;
  }

 private:
  void report(const std::string& line) { problems.push_back(line); }

  /// How often the world's dynamic, static and inactive lists hold each body.
  void readWorldLists() {
    if (world == nullptr) return;
    for (const EngineList<HardBody*>* list :
         {&world->getDynamicBodies(), &world->getStaticBodies(), &world->getInactiveBodies()})
      for (auto* node = list->getFirst(); node != nullptr; node = node->next) ++held[node->value];
  }

  int timesHeld(const HardBody* body) const {
    const auto found = held.find(body);
    return found == held.end() ? 0 : found->second;
  }

  /// Each rigid body node's engine body, and the fracture body node that
  /// holds it as a piece (directly or through a cluster), by connections.
  void readRigidBodies(const SceneNodes& nodes) {
    for (const MObject& node : nodes.rigidBodies) {
      auto* rigid = static_cast<rigidBodyNode*>(MFnDependencyNode(node).userNode());
      HardBody* body = rigid != nullptr ? rigid->engineBody(false) : nullptr;
      if (body == nullptr) continue;
      const std::string name = nameOf(node);
      if (!bodyNames.emplace(body, name).second) {
        report("rigid bodies " + bodyNames[body] + " and " + name + " share one engine body");
        continue;
      }
      MObject owner = sourceOf(node, "fracture");
      if (!owner.isNull() && typeOf(owner) == kClusterId) owner = sourceOf(owner, "fracture");
      if (!owner.isNull() && typeOf(owner) == kFractureId) {
        piecesOf[nameOf(owner)].push_back(body);
      } else {
        freeBodies.emplace_back(node, body);
      }
    }
  }

  /// The joint nodes of a fracture body node: its own and its clusters'.
  static std::vector<MObject> jointNodesOf(const MObject& fracture) {
    std::vector<MObject> joints = linked(fracture, "stresses", false, true);
    for (const MObject& cluster : linked(fracture, "clusters", false, true)) {
      if (typeOf(cluster) != kClusterId) continue;
      for (const char* list : {"instresses", "outstresses"})
        for (const MObject& joint : linked(cluster, list, false, true)) joints.push_back(joint);
    }
    return joints;
  }

  void walkFracture(const MObject& node) {
    const std::string name = nameOf(node);
    auto* fracture = static_cast<FractureBodyNode*>(MFnDependencyNode(node).userNode());
    FractureBody* body = fracture != nullptr ? fracture->getFractureBody() : nullptr;
    const std::vector<HardBody*>& expected = piecesOf[name];
    if (body == nullptr) {
      if (!expected.empty()) report(name + ": pieces are linked but there is no engine fracture body");
      return;
    }
    known.insert(body);
    if (expected.empty()) {
      report(name + ": an engine fracture body is kept with no piece linked");
      return;
    }
    const bool simulated = boolOf(node, "enabled");

    // The family: the fracture body and its fragments, with where each of
    // their bodies sits.
    std::vector<FractureBody*> family{body};
    std::map<const HardBody*, const FractureBody*> pieceOf;
    std::set<const HardBody*> loose;
    for (size_t i = 0; i < family.size(); ++i) {
      FractureBody* member = family[i];
      for (auto* child = member->getChildBodies().getFirst(); child != nullptr; child = child->next) {
        if (child->value->getType() != kFractureBody) {
          report(name + ": a fragment that is no fracture body");
          continue;
        }
        family.push_back(static_cast<FractureBody*>(child->value));
        known.insert(child->value);
      }
      for (auto* piece = member->getPieces().getFirst(); piece != nullptr; piece = piece->next)
        if (!pieceOf.emplace(piece->value, member).second || loose.count(piece->value) != 0)
          report(name + ": a body is a piece twice in the fracture body");
      for (auto* other = member->getDisconnectedBodies().getFirst(); other != nullptr; other = other->next)
        if (!loose.insert(other->value).second || pieceOf.count(other->value) != 0)
          report(name + ": a released body is listed twice in the fracture body");
    }

    // Exactly the linked pieces, each once.
    const std::set<const HardBody*> linkedPieces(expected.begin(), expected.end());
    for (const HardBody* piece : linkedPieces)
      if (pieceOf.count(piece) == 0 && loose.count(piece) == 0)
        report(name + ": " + bodyNames[piece] + " is linked as a piece but the fracture body does not hold it");
    for (const auto& [piece, member] : pieceOf) {
      if (linkedPieces.count(piece) == 0) {
        report(name + ": the fracture body holds a piece that no linked rigid body owns");
        continue;
      }
      placed.insert(piece);
      if (piece->getParent() != member) report(name + ": " + bodyNames[piece] + " does not name its fracture body");
      // A piece moves with its compound, never as a body of its own.
      if (timesHeld(piece) != 0) report(name + ": the world holds " + bodyNames[piece] + ", a piece, on its own");
    }
    for (const HardBody* other : loose) {
      if (linkedPieces.count(other) == 0) {
        report(name + ": the fracture body released a body that no linked rigid body owns");
        continue;
      }
      placed.insert(other);
      if (simulated && timesHeld(other) != 1)
        report(name + ": the world holds the released " + bodyNames[other] + " " + std::to_string(timesHeld(other)) +
               " times");
    }
    if (simulated) {
      for (const FractureBody* member : family)
        if (timesHeld(member) != 1)
          report(name + ": the world holds " + (member == body ? "the fracture body " : "a fragment ") +
                 std::to_string(timesHeld(member)) + " times");
    } else if (timesHeld(body) != 0) {
      report(name + ": disabled, yet the world holds the fracture body");
    }

    walkJoints(node, name, family, linkedPieces);
    for (const FractureBody* member : family) checkClusterTree(name, *member, linkedPieces);
  }

  /// Every joint node stands for exactly one engine joint of the family, and
  /// every engine joint for exactly one joint node.
  void walkJoints(const MObject& node, const std::string& name, const std::vector<FractureBody*>& family,
                  const std::set<const HardBody*>& linkedPieces) {
    std::set<const DynamicStress*> joints;
    std::set<const DynamicStress*> active;
    for (const FractureBody* member : family) {
      for (const EngineList<DynamicStress*>* list :
           {&member->getActiveJoints(), &member->getInactiveJoints(), &member->getSplitJoints()})
        for (auto* entry = list->getFirst(); entry != nullptr; entry = entry->next) joints.insert(entry->value);
      for (auto* entry = member->getActiveJoints().getFirst(); entry != nullptr; entry = entry->next)
        active.insert(entry->value);
    }
    std::map<JointPair, std::vector<const DynamicStress*>> byPair;
    for (const DynamicStress* joint : joints) {
      const HardBody* c = joint->getCNode();
      const HardBody* p = joint->getPNode();
      if (linkedPieces.count(c) == 0 || linkedPieces.count(p) == 0) {
        report(name + ": joint " + joint->getName() + " holds a body that is no linked piece");
        continue;
      }
      byPair[pairOf(c, p)].push_back(joint);
    }

    // The linked pieces by node name, for the joint nodes' stored names.
    std::map<std::string, const HardBody*> pieceNamed;
    for (const HardBody* piece : linkedPieces) pieceNamed[bodyNames[piece]] = piece;
    std::set<const DynamicStress*> matched;
    for (const MObject& jointNode : jointNodesOf(node)) {
      if (typeOf(jointNode) != kJointId) continue;
      const std::string jointName = nameOf(jointNode);
      MString first, second;
      plugOf(jointNode, "body1Name").getValue(first);
      plugOf(jointNode, "body2Name").getValue(second);
      const auto a = pieceNamed.find(first.asChar());
      const auto b = pieceNamed.find(second.asChar());
      // A joint node whose pieces are gone stands for no joint.
      if (a == pieceNamed.end() || b == pieceNamed.end()) continue;
      const auto found = byPair.find(pairOf(a->second, b->second));
      if (found == byPair.end() || found->second.empty()) {
        report(name + ": joint node " + jointName + " has no engine joint");
        continue;
      }
      const DynamicStress* joint = found->second.front();
      if (found->second.size() > 1 || !matched.insert(joint).second) {
        report(name + ": joint node " + jointName + " shares its pieces with another joint");
        continue;
      }
      if (options.atRest) checkJointAtRest(name, jointNode, jointName, *joint, active.count(joint) != 0);
    }
    for (const DynamicStress* joint : joints)
      if (matched.count(joint) == 0) report(name + ": engine joint " + joint->getName() + " has no joint node");

    // Each piece lists the joints its member holds to it, and no joint
    // that the family does not hold (a broken one stays listed until the
    // fracture body is whole again).
    for (FractureBody* member : family) {
      for (auto* piece = member->getPieces().getFirst(); piece != nullptr; piece = piece->next) {
        PrivateHardBody* body = piece->value;
        if (linkedPieces.count(body) == 0) continue;
        const std::vector<DynamicStress*> values = valuesOf(body->getJointList());
        const std::set<const DynamicStress*> listed(values.begin(), values.end());
        bool agrees = listed.size() == values.size();
        for (const DynamicStress* joint : listed) agrees = agrees && joints.count(joint) != 0;
        for (const EngineList<DynamicStress*>* list : {&member->getActiveJoints(), &member->getInactiveJoints()})
          for (auto* entry = list->getFirst(); entry != nullptr; entry = entry->next)
            if (entry->value->getCNode() == body || entry->value->getPNode() == body)
              agrees = agrees && listed.count(entry->value) != 0;
        if (!agrees) report(name + ": " + bodyNames[body] + " lists other joints than its fracture body holds for it");
      }
    }
  }

  void checkJointAtRest(const std::string& name, const MObject& jointNode, const std::string& jointName,
                        const DynamicStress& joint, bool onActiveList) {
    double strength = 0.0;
    plugOf(jointNode, "forceStrenght").getValue(strength);
    const double tolerance = joint.get_break_tolerance();
    if (std::memcmp(&strength, &tolerance, sizeof strength) != 0)
      report(name + ": joint " + jointName + " holds strength " + std::to_string(joint.get_break_tolerance()) +
             ", its node " + std::to_string(strength));
    const bool enabled = boolOf(jointNode, "enabled");
    if (enabled != onActiveList || enabled != joint.isActive())
      report(name + ": joint " + jointName + (enabled ? " is enabled but not active" : " is disabled but active"));
    const bool byFrame = boolOf(jointNode, "breakByFrame");
    if (byFrame != joint.isBreakableByFrame())
      report(name + ": joint " + jointName +
             (byFrame ? " is set to break by frame but does not" : " breaks by frame but is not set to"));
  }

  /// The cluster tree reaches only the linked pieces.
  void checkClusterTree(const std::string& name, const FractureBody& member,
                        const std::set<const HardBody*>& linkedPieces) {
    const BoxTree* tree = member.getTreeMesh();
    if (tree == nullptr) return;
    std::set<const std::int32_t*> tags;
    for (const HardBody* piece : linkedPieces) tags.insert(&piece->getShape().tag);
    for (auto* item = tree->getItems().getFirst(); item != nullptr; item = item->next)
      if (tags.count(item->value->tag) == 0) {
        report(name + ": the cluster tree reaches a body that is no linked piece");
        return;
      }
  }

  /// A rigid body that is no piece is held by the world exactly when it is
  /// enabled.
  void checkFreeBodies() {
    for (const auto& [node, body] : freeBodies) {
      placed.insert(body);
      const int times = timesHeld(body);
      const bool enabled = boolOf(node, "enabled");
      if (enabled && world != nullptr && times != 1)
        report("the world holds " + nameOf(node) + " " + std::to_string(times) + " times");
      if (!enabled && times != 0) report(nameOf(node) + " is disabled, yet the world holds it");
    }
  }

  /// The world holds nothing that no node stands for.
  void checkUnexplained() {
    for (const auto& [body, times] : held)
      if (placed.count(body) == 0 && known.count(body) == 0)
        report("the world holds a body that no node stands for (" + std::to_string(times) + " times)");
  }

  const SceneWalkOptions options;
  PrivateWorld* world = nullptr;
  std::vector<std::string> problems;
  std::map<const HardBody*, int> held;
  std::map<const HardBody*, std::string> bodyNames;
  /// Linked pieces by the name of the fracture body node that links them.
  std::map<std::string, std::vector<HardBody*>> piecesOf;
  std::vector<std::pair<MObject, const HardBody*>> freeBodies;
  /// Bodies the nodes account for: rigid bodies where they belong, fracture
  /// bodies and fragments.
  std::set<const HardBody*> placed;
  std::set<const HardBody*> known;
};

}  // namespace

std::vector<std::string> walkSceneAgainstWorld(const SceneWalkOptions& options) { return Walk(options).run(); }
