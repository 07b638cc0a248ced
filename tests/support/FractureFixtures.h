#pragma once

// Pieces, fracture bodies and a split done by hand for the engine's fracture
// tests, and full text dumps of a fracture body and of a world.

#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/HullBody.h"
#include "engine/fracture/FractureBody.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/GeometryFixtures.h"

namespace zovtest {

/// A hull body of the box [centre - half, centre + half], its reference
/// point at the centre, with the given mass and name.
inline std::unique_ptr<HullBody> boxPiece(const Mgc::MgcVector3& centre, const Mgc::MgcVector3& half, float mass,
                                          const char* name) {
  auto mesh = boxMesh(half);
  for (std::uint32_t i = 0; i < mesh->numVertices; ++i) {
    mesh->vertices[i] += centre;
    mesh->worldVertices[i] += centre;
  }
  std::unique_ptr<HullBody> body(static_cast<HullBody*>(createHullBody(mesh.get())));
  body->init(centre, Mgc::MgcMatrix3::IDENTITY, Mgc::MgcVector3(1.0, 1.0, 1.0));
  body->setMass(mass);
  body->getShape().setName(name);
  return body;
}

/// A unit cube piece.
inline std::unique_ptr<HullBody> cubePiece(const Mgc::MgcVector3& centre, float mass, const char* name) {
  return boxPiece(centre, Mgc::MgcVector3(0.5, 0.5, 0.5), mass, name);
}

/// A joint between a and b at point p with the given index.
inline DynamicStress* jointAt(const Mgc::MgcVector3& p, PrivateHardBody* a, PrivateHardBody* b, std::uint32_t index) {
  auto* joint = new DynamicStress;
  joint->attach(p, 1, a, b);
  joint->setIndex(index);
  std::string name = std::string("str_") + a->getShape().name + "_" + b->getShape().name;
  joint->setName(name.c_str());
  return joint;
}

/// A block of unit cubes standing on y = 0 in one fracture body, joined by
/// the automatic joints of touching faces, breakable by force: `columns` along x, `rows` along
/// y, `layers` along z, cube (c, r, l) centred at (c, r + 0.5, l) and named
/// "w<l>_<r>_<c>". The world it is added to owns the pieces (see release).
struct CubeWall {
  FractureBody* body = new FractureBody;
  std::vector<HullBody*> pieces;
  int columns = 0;
  int rows = 0;
  int layers = 0;

  CubeWall(int columns_, int rows_, int layers_ = 1, const char* name = "wall", float mass = 1.0f)
      : columns(columns_), rows(rows_), layers(layers_) {
    body->getShape().setName(name);
    for (int l = 0; l < layers; ++l) {
      for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
          char pieceName[48];
          std::snprintf(pieceName, sizeof pieceName, "w%d_%d_%d", l, r, c);
          pieces.push_back(cubePiece(Mgc::MgcVector3(c, r + 0.5, l), mass, pieceName).release());
          body->addUniqueToList(pieces.back());
        }
      }
    }
    body->createJoints(kTouchDistance, false, false);
    // As the host's joint nodes make them: breakable by force.
    for (auto* node = body->getActiveJoints().getFirst(); node != nullptr; node = node->next)
      node->value->enableBreakableByForce();
    body->rebuildFromPieces();
    body->saveDynamics(kSaveAll);
  }
  /// Faces closer than this touch.
  static constexpr double kTouchDistance = 0.01;
  HullBody* at(int c, int r, int l = 0) const { return pieces[static_cast<std::size_t>((l * rows + r) * columns + c)]; }
  /// Deletes the body and every piece, for a test that kept them to its end.
  void deleteAll() {
    delete body;
    body = nullptr;
    for (HullBody* piece : pieces) delete piece;
    pieces.clear();
  }
  /// What the host's deletion of a fracture body does: the body comes back
  /// whole, leaves the world, which takes its pieces as bodies of its own,
  /// and is deleted with its joints.
  void release(PrivateWorld& world) {
    world.restoreBody(body);
    world.removeBody(body);
    delete body;
    body = nullptr;
  }
};

/// Groups of cubes held together by the active joints, found by a union-find
/// over the joints: each group as the sorted set of cube names.
inline std::set<std::set<std::string>> jointGroups(const std::vector<HullBody*>& pieces,
                                                   const std::vector<DynamicStress*>& joints) {
  std::map<const PrivateHardBody*, std::size_t> slot;
  for (std::size_t i = 0; i < pieces.size(); ++i) slot[pieces[i]] = i;
  std::vector<std::size_t> root(pieces.size());
  std::iota(root.begin(), root.end(), 0);
  const auto find = [&](std::size_t i) {
    while (root[i] != i) i = root[i] = root[root[i]];
    return i;
  };
  for (const DynamicStress* joint : joints) {
    if (joint->isActive()) root[find(slot.at(joint->getCNode()))] = find(slot.at(joint->getPNode()));
  }
  std::map<std::size_t, std::set<std::string>> groups;
  for (std::size_t i = 0; i < pieces.size(); ++i) groups[find(i)].insert(pieces[i]->getShape().name);
  std::set<std::set<std::string>> out;
  for (const auto& entry : groups) out.insert(entry.second);
  return out;
}

/// What the split made: each fragment's cubes (a fragment that split in
/// turn: what its split made), and each released cube alone.
inline std::set<std::set<std::string>> splitParts(const FractureBody& body) {
  std::set<std::set<std::string>> out;
  for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next) {
    const auto* fragment = static_cast<const FractureBody*>(node->value);
    if (fragment->isSplitted()) {
      const std::set<std::set<std::string>> parts = splitParts(*fragment);
      out.insert(parts.begin(), parts.end());
      continue;
    }
    std::set<std::string> names;
    const auto& pieces = fragment->getPieces();
    for (auto* p = pieces.getFirst(); p != nullptr; p = p->next) names.insert(p->value->getShape().name);
    out.insert(names);
  }
  for (auto* node = body.getDisconnectedBodies().getFirst(); node != nullptr; node = node->next)
    out.insert({node->value->getShape().name});
  return out;
}

/// The first joint on a's joint list that holds b; null when none does.
inline DynamicStress* jointBetween(PrivateHardBody* a, const PrivateHardBody* b) {
  for (auto* node = a->getJointList().getFirst(); node != nullptr; node = node->next)
    if (node->value->getCNode() == b || node->value->getPNode() == b) return node->value;
  return nullptr;
}

/// A fracture body whose lists a test may arrange the way a split leaves
/// them.
class SplitProbe : public FractureBody {
 public:
  /// Does what a split does with the given outcome: every released body
  /// leaves the pieces for the disconnected list; each component (active
  /// joints) becomes a fragment that takes the component's joints and
  /// pieces; the broken joints (already on the inactive list) go to the
  /// split-joint and off-joint lists; the body is deactivated.
  std::vector<FractureBody*> splitByHand(const std::vector<std::vector<DynamicStress*>>& components,
                                         const std::vector<PrivateHardBody*>& released) {
    for (PrivateHardBody* body : released) {
      body->clearJoints();
      body->setParent(nullptr);
      pieces.remove(body);
      disconnectedBodies.append(body);
    }
    std::vector<FractureBody*> fragments;
    for (const auto& component : components) {
      auto* fragment = new FractureBody;
      for (DynamicStress* joint : component) {
        for (PrivateHardBody* body : {joint->getPNode(), joint->getCNode()}) {
          if (body->getParent() != this) continue;
          pieces.remove(body);
          body->clearJoints();
        }
      }
      for (DynamicStress* joint : component) {
        activeJoints.remove(joint);
        fragment->attachJoint(joint);
        splitJoints.append(joint);
      }
      const std::string name = std::string(shape.name).substr(0, 200) + "_" + std::to_string(fragmentCount + 1);
      fragment->getShape().setName(name.c_str());
      addFragment(fragment);
      ++fragmentCount;
      fragment->updateMassProperties();
      fragments.push_back(fragment);
    }
    fileBrokenJoints();
    deActivate();
    return fragments;
  }
};

inline void dumpVector(std::string& out, const char* label, const Mgc::MgcVector3& v) {
  char line[160];
  std::snprintf(line, sizeof line, " %s(%.17g %.17g %.17g)", label, v.x, v.y, v.z);
  out += line;
}

inline void dumpMatrix(std::string& out, const char* label, const Mgc::MgcMatrix3& m) {
  out += std::string(" ") + label;
  for (int c = 0; c < 3; ++c) dumpVector(out, "", m.GetColumn(c));
}

inline void dumpState(std::string& out, const RBDynamics& s) {
  dumpVector(out, "p", s.position);
  dumpMatrix(out, "R", s.orientation);
  dumpVector(out, "v", s.linearVelocity);
  dumpVector(out, "w", s.angularVelocity);
  dumpVector(out, "L", s.angularMomentum);
  char line[64];
  std::snprintf(line, sizeof line, " im %.17g", s.invMass);
  out += line;
  dumpMatrix(out, "I", s.worldInertia);
}

inline const char* nameOf(const HardBody* body) { return body != nullptr ? body->getShape().name : "-"; }

/// Every list, count, joint and piece of a fracture body, as text.
inline std::string dumpFracture(FractureBody& body) {
  std::string out = std::string("fbody ") + nameOf(&body);
  char line[200];
  std::snprintf(line, sizeof line, " pending %u broken %u fragments %u children %u split %u inactive %u",
                body.getPendingDeactivations(), body.getBrokenJointCount(), body.getFragmentCount(), body.getNFBodies(),
                body.getNSplitJoints(), body.getNInactiveJoints());
  out += line;
  out += body.isActive() ? " active" : " asleep";
  out += body.isStatic() ? " static" : " moving";
  dumpState(out, body.getDyn());
  dumpVector(out, "centre", body.getShape().localCenter);
  dumpVector(out, "box", body.getShape().boxSize);
  out += "\n";
  for (auto* node = body.getActiveJoints().getFirst(); node != nullptr; node = node->next) {
    const DynamicStress* j = node->value;
    std::snprintf(line, sizeof line, " index %u flags %x", j->getIndex(), j->getFlags());
    out += std::string("joint ") + j->getName() + line + " C " + nameOf(j->getCNode()) + " P " + nameOf(j->getPNode());
    dumpVector(out, "a", j->getPAnchor());
    dumpVector(out, "b", j->getCAnchor());
    out += "\n";
  }
  for (const auto* list : {&body.getPieces(), &body.getDisconnectedBodies()}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      PrivateHardBody* piece = node->value;
      std::snprintf(line, sizeof line, " active %d static %d joined %d joints %u:", piece->isActive(),
                    piece->isStatic(), piece->isJoined(), piece->getJointCount());
      out += std::string(list == &body.getPieces() ? "piece " : "loose ") + nameOf(piece) + " parent " +
             nameOf(piece->getParent()) + line;
      for (auto* j = piece->getJointList().getFirst(); j != nullptr; j = j->next)
        out += std::string(" ") + j->value->getName();
      dumpState(out, piece->getDyn());
      dumpMatrix(out, "Q", piece->getMatrixPivotCm());
      dumpVector(out, "o", piece->getTransPivotCm());
      out += "\n";
    }
  }
  return out;
}

/// The world's lists in order, its counts, and a dump of every fracture
/// body on them.
inline std::string dumpWorld(PrivateWorld& world) {
  std::string out;
  const std::pair<const char*, const EngineList<HardBody*>*> lists[] = {{"dynamic", &world.getDynamicBodies()},
                                                                        {"static", &world.getStaticBodies()},
                                                                        {"inactive", &world.getInactiveBodies()},
                                                                        {"sleeping", &world.getSleepingBodies()}};
  for (const auto& [label, list] : lists) {
    out += label;
    for (auto* node = list->getFirst(); node != nullptr; node = node->next)
      out += std::string(" ") + nameOf(node->value);
    out += "\n";
  }
  char line[120];
  std::snprintf(line, sizeof line, "counts %d %d %u\n", world.getNumDynamicBodies(), world.getNumberOfStaticBodies(),
                world.countSubBodies());
  out += line;
  for (const auto& [label, list] : lists) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      if (node->value->getType() == kFractureBody) {
        out += dumpFracture(*static_cast<FractureBody*>(node->value));
      } else {
        out += std::string("body ") + nameOf(node->value);
        dumpState(out, node->value->getDyn());
        out += "\n";
      }
    }
  }
  return out;
}

}  // namespace zovtest
