// Fracture bodies: the compound's mass properties against a solid box, its
// motion (free fall, torque-free spin, damping) at any split of a second with
// the pieces following as one rigid body, and its assembly and bookkeeping.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/PrivateWorld.h"
#include "geometry/MeshTransforms.h"
#include "math/Tolerances.h"
#include "support/BodyFixtures.h"
#include "support/FractureFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::cubePiece;
using zovtest::jointAt;

namespace {

static_assert(!std::is_copy_constructible_v<FractureBody> && !std::is_copy_assignable_v<FractureBody>,
              "a copy would share the lists, joints and tree");

MgcMatrix3 turn(MgcVector3 axis, double angle) {
  axis.Unitize(1e-12);
  MgcMatrix3 R;
  R.FromAxisAngle(axis, angle);
  return R;
}

// Cubes of the given masses at the given centres, each joined to the next,
// in a fracture body.
struct Compound {
  std::vector<std::unique_ptr<HullBody>> pieces;
  std::unique_ptr<FractureBody> body = std::make_unique<FractureBody>();

  Compound(const std::vector<MgcVector3>& centres, const std::vector<float>& masses,
           const MgcMatrix3& R = MgcMatrix3::IDENTITY) {
    for (std::size_t i = 0; i < centres.size(); ++i) {
      const std::string name = "piece" + std::to_string(i);
      pieces.push_back(cubePiece(centres[i], masses[i], name.c_str()));
      pieces.back()->setOrientation(R);
    }
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
      const MgcVector3 between = (centres[i] + centres[i + 1]) * 0.5;
      body->attachJoint(jointAt(between, pieces[i].get(), pieces[i + 1].get(), static_cast<std::uint32_t>(i + 1)));
    }
    body->rebuildFromPieces();
  }
  // The pieces' angular momentum about the compound's centre.
  MgcVector3 piecesMomentum() const {
    MgcVector3 L;
    for (const auto& piece : pieces) {
      const RBDynamics& s = piece->getDyn();
      L += (s.position - body->getDyn().position).Cross(s.linearVelocity * piece->getMass()) + s.angularMomentum;
    }
    return L;
  }
};

// Two unit cubes side by side are a 2 x 1 x 1 box: mass 2, centre between
// them, inertia m(b^2 + c^2)/12 about each axis; turned, the tensor turns.
TEST(FractureBody, TwoCubesSideBySideAreATwoByOneByOneBox) {
  for (const MgcMatrix3& R : {MgcMatrix3::IDENTITY, turn(MgcVector3(1, 2, 3), 0.7)}) {
    const MgcVector3 t(3, -1, 2);
    Compound c({R * MgcVector3(-0.5, 0, 0) + t, R * MgcVector3(0.5, 0, 0) + t}, {1.0f, 1.0f}, R);
    const FractureBody& body = *c.body;
    EXPECT_NEAR(body.getMass(), 2.0, 1e-12);
    EXPECT_NEAR((body.getDyn().position - t).Length(), 0.0, 1e-12);
    MgcMatrix3 box;
    box.MakeDiagonal(2.0 * 2.0 / 12.0, 2.0 * 5.0 / 12.0, 2.0 * 5.0 / 12.0);
    const MgcMatrix3 expected = (R * box).TimesTranspose(R);
    for (int r = 0; r < 3; ++r)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(body.getDyn().worldInertia[r][k], expected[r][k], 1e-12);
    // The compound's box bounds every corner of the pieces.
    ZOVbox bounds = *c.body->updateBounds();
    for (const auto& piece : c.pieces) {
      MgcVector3 corners[8];
      obbCorners(*piece->updateBounds(), corners);
      for (const MgcVector3& corner : corners) {
        for (int k = 0; k < 3; ++k) {
          EXPECT_LE(std::fabs((corner - bounds.center).Dot(bounds.axes.GetColumn(k))), bounds.extents[k] + 1e-9);
        }
      }
    }
    EXPECT_EQ(body.getNJointBodies(), 2u);
    EXPECT_TRUE(body.isActive());
    // The collision code walks the same two pieces.
    const EngineList<PrivateHardBody*>* walked = compoundPiecesOf(c.body.get());
    ASSERT_NE(walked, nullptr);
    EXPECT_EQ(walked->getCount(), 2u);
  }
}

// A fracture body in a world falls 1/2 g t^2 at any split of a second and its
// pieces keep their places in it.
TEST(FractureBody, FallsAsOneBodyAtAnySplit) {
  for (int advances : {24, 120, 300}) {
    PrivateWorld world;
    world.disableAirDamping();
    Compound c({MgcVector3(-0.5, 2, 0), MgcVector3(0.5, 2, 0)}, {1.0f, 3.0f});
    FractureBody* body = c.body.get();
    world.addBody(body, 0);
    EXPECT_EQ(world.countSubBodies(), 3u);
    for (int i = 0; i < advances; ++i) {
      ASSERT_TRUE(world.step(1.0 / advances));
      ASSERT_TRUE(world.advance(1.0 / advances, nullptr));
    }
    EXPECT_NEAR(body->getDyn().position.y, 2.0 - 5.0, 1e-9) << advances;
    EXPECT_NEAR(body->getDyn().linearVelocity.y, -10.0, 1e-9);
    for (const auto& piece : c.pieces) {
      EXPECT_NEAR(piece->getDyn().position.y, -3.0, 1e-9) << advances;
      EXPECT_NEAR(piece->getDyn().linearVelocity.y, -10.0, 1e-9);
      EXPECT_FALSE(world.containsBody(piece.get()));
    }
    EXPECT_NEAR((c.pieces[1]->getDyn().position - c.pieces[0]->getDyn().position).Length(), 1.0, 1e-12);
    world.removeBody(body);
    world.clearAllBodies();
  }
}

// Rebuilt from moving pieces, the compound moves with the pieces' total
// momentum and turns with their total angular momentum about its centre
// (unit cubes of 1 kg at x = -0.5 and 0.5: a 2 x 1 x 1 box of 2 kg, moments
// 10/12 about y and z, 1/6 each cube about its own centre).
TEST(FractureBody, RebuildingFromMovingPiecesKeepsTheirMomentum) {
  struct Case {
    const char* name;
    MgcVector3 velocity[2], spin[2];
    MgcVector3 velocityOfWhole, momentum;
  };
  const Case cases[] = {
      {"apart along y", {{0, -1, 0}, {0, 1, 0}}, {{}, {}}, {0, 0, 0}, {0, 0, 1}},
      {"apart along z", {{0, 0, -2}, {0, 0, 2}}, {{}, {}}, {0, 0, 0}, {0, -2, 0}},
      {"drifting along x, both spinning about z",
       {{3, 0, 0}, {3, 0, 0}},
       {{0, 0, 2}, {0, 0, 2}},
       {3, 0, 0},
       {0, 0, 2.0 / 3.0}},
      {"one at rest, one moving up", {{0, 0, 0}, {0, 4, 0}}, {{}, {}}, {0, 2, 0}, {0, 0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Compound compound({MgcVector3(-0.5, 0, 0), MgcVector3(0.5, 0, 0)}, {1.0f, 1.0f});
    for (int i = 0; i < 2; ++i) {
      compound.pieces[i]->setLinearVelocity(c.velocity[i]);
      compound.pieces[i]->setAngularVelocity(c.spin[i]);
    }
    compound.body->rebuildFromPieces();
    const RBDynamics& whole = compound.body->getDyn();
    EXPECT_LT((whole.position - MgcVector3()).Length(), 1e-12);
    EXPECT_LT((whole.linearVelocity - c.velocityOfWhole).Length(), 1e-12);
    EXPECT_LT((whole.angularMomentum - c.momentum).Length(), 1e-12);
    const MgcVector3 turning(c.momentum.x * 3.0, c.momentum.y * 1.2, c.momentum.z * 1.2);
    EXPECT_LT((whole.angularVelocity - turning).Length(), 1e-12);
  }
}

// A broken joint's energy sends each side away from the other along the
// line from the joint's first node to its second: a fracture body holding
// a node as a lone body would be (2 units of speed, whatever the mass).
TEST(FractureBody, BreakEnergyPushesAFractureBodyAsItPushesALoneBody) {
  const MgcVector3 away(0.6, 0.8, 0.0);  // from the first node at the origin to the second at (3, 4, 0)
  for (const bool inCompound : {false, true}) {
    for (const bool firstNode : {true, false}) {
      SCOPED_TRACE(std::string(inCompound ? "fracture body" : "lone body") + (firstNode ? ", first" : ", second"));
      Compound nearSide({MgcVector3(0, 0, 0), MgcVector3(-1, 0, 0)}, {1.0f, 3.0f});
      Compound farSide({MgcVector3(3, 4, 0), MgcVector3(4, 4, 0)}, {2.0f, 1.0f});
      auto loneNear = cubePiece(MgcVector3(0, 0, 0), 2.0f, "near");
      auto loneFar = cubePiece(MgcVector3(3, 4, 0), 0.5f, "far");
      PrivateHardBody* first = inCompound ? static_cast<PrivateHardBody*>(nearSide.pieces[0].get()) : loneNear.get();
      PrivateHardBody* second = inCompound ? static_cast<PrivateHardBody*>(farSide.pieces[0].get()) : loneFar.get();
      DynamicStress joint;
      joint.setCNode(first);
      joint.setPNode(second);
      joint.setBreakEnergy(2.0);
      HardBody* pushed = inCompound ? static_cast<HardBody*>(firstNode ? nearSide.body.get() : farSide.body.get())
                                    : (firstNode ? first : second);
      const MgcVector3 before = pushed->getDyn().linearVelocity;
      pushed->ApplyBreakEnergy(&joint);
      const MgcVector3 change = pushed->getDyn().linearVelocity - before;
      EXPECT_LT((change - away * (firstNode ? -2.0 : 2.0)).Length(), 1e-12);
    }
  }
}

// Spinning freely, the compound keeps its angular momentum, the pieces carry
// exactly that momentum as points and spins of one rigid body, and the
// energy stays within the scheme's error.
TEST(FractureBody, FreeSpinKeepsAngularMomentum) {
  PrivateWorld world;
  world.disableGravity();
  world.disableAirDamping();
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(1, 1, 0), MgcVector3(1, 1, 1)},
             {1.0f, 2.0f, 3.0f, 1.5f});
  FractureBody* body = c.body.get();
  body->setAngularVelocity(MgcVector3(1.0, 2.0, -1.5));
  body->setLinearVelocity(MgcVector3(0.5, 0, 0));
  world.addBody(body, 0);
  const MgcVector3 L0 = body->getDyn().angularMomentum;
  const double E0 = body->computeEnergy();
  const double d01 = (c.pieces[0]->getDyn().position - c.pieces[3]->getDyn().position).Length();
  for (int i = 1; i <= 1200; ++i) {
    ASSERT_TRUE(world.advance(1.0 / 120.0, nullptr));
    if (i % 120 != 0) continue;
    EXPECT_LT((body->getDyn().angularMomentum - L0).Length(), 1e-9 * L0.Length());
    EXPECT_LT((c.piecesMomentum() - L0).Length(), 1e-9 * L0.Length()) << i;
    EXPECT_NEAR(body->computeEnergy(), E0, 1e-5 * E0);
    EXPECT_NEAR((c.pieces[0]->getDyn().position - c.pieces[3]->getDyn().position).Length(), d01, 1e-9);
  }
  world.removeBody(body);
  world.clearAllBodies();
}

// Damping c takes (1 - c)^(100 t) of the motion whatever the step rate.
TEST(FractureBody, DampingDoesNotDependOnTheStepRate) {
  const double c = 0.05;
  const double c2 = 0.1;
  for (int advances : {24, 120, 300}) {
    PrivateWorld world;
    world.disableGravity();
    Compound compound({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(1, 1, 0)}, {1.0f, 2.0f, 1.0f});
    FractureBody* body = compound.body.get();
    body->setAirDampingCoeff(c);
    body->setAirDampingCoeff2(c2);
    body->setAngularVelocity(MgcVector3(0.3, -2.0, 1.0));
    body->setLinearVelocity(MgcVector3(1.0, 2.0, 3.0));
    const MgcVector3 L0 = body->getDyn().angularMomentum;
    world.addBody(body, 0);
    for (int i = 0; i < advances; ++i) ASSERT_TRUE(world.advance(1.0 / advances, nullptr));
    const MgcVector3 L = body->getDyn().angularMomentum;
    EXPECT_LT((L - L0 * std::pow(1.0 - c2, 100.0)).Length(), 1e-12 * L0.Length()) << advances;
    EXPECT_LT((body->getDyn().linearVelocity - MgcVector3(1, 2, 3) * std::pow(1.0 - c, 100.0)).Length(), 1e-12);
    world.removeBody(body);
    world.clearAllBodies();
  }
}

TEST(FractureBody, MassEnergyAndBoundedMoves) {
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0)}, {1.0f, 3.0f});
  FractureBody& body = *c.body;
  // A mass below the least is raised to it and shared by the ratios 1:3.
  body.setMass(0.0f);
  EXPECT_EQ(body.getInvMass(), 1.0 / kMinBodyMass);
  EXPECT_NEAR(c.pieces[0]->getMass(), kMinBodyMass, 1e-18);
  body.setMass(8.0f);
  EXPECT_NEAR(c.pieces[0]->getMass(), 2.0, 1e-6);
  EXPECT_NEAR(c.pieces[1]->getMass(), 6.0, 1e-6);

  // moveBy beyond the last step ends on the sphere about its midpoint.
  body.storeLastDynamics();
  const MgcVector3 start = body.getDyn().position;
  body.setPosition(start + MgcVector3(0.2, 0, 0));
  body.moveBy(MgcVector3(0, 5, 0));
  const MgcVector3 middle = start + MgcVector3(0.1, 0, 0);
  EXPECT_NEAR((body.getDyn().position - middle).Length(), 0.1, 1e-12);

  body.enableStatic();
  EXPECT_EQ(body.computeEnergy(), zov::kMaxFloat);
  body.setLinearVelocity(MgcVector3(1, 1, 1));
  const MgcVector3 before = body.getDyn().position;
  body.integrateMotion(0.1);
  EXPECT_EQ(body.getDyn().position, before);

  // A split body moves its own velocity only.
  body.disableStatic();
  HullBody loose;
  body.addUniqueToList(&loose);
  const MgcVector3 pieceVelocity = c.pieces[0]->getDyn().linearVelocity;
  body.setLinearVelocity(MgcVector3(9, 9, 9));
  EXPECT_EQ(body.getDyn().linearVelocity, MgcVector3(9, 9, 9));
  EXPECT_EQ(c.pieces[0]->getDyn().linearVelocity, pieceVelocity);
  body.removeDisconectBodies();
}

// Moving the reference point, turning and extraction moves keep every piece
// where the compound's frame puts it.
TEST(FractureBody, PiecesFollowEveryMoveOfTheCompound) {
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(1, 1, 0)}, {1.0f, 2.0f, 1.0f});
  FractureBody& body = *c.body;
  const auto consistent = [&] {
    for (const auto& piece : c.pieces) {
      const MgcMatrix3 frame = body.getDyn().orientation.TimesTranspose(piece->getMatrixPivotCm());
      const MgcVector3 implied = body.getDyn().position - frame * piece->getTransPivotCm();
      if ((implied - piece->getDyn().position).Length() > 1e-12) return false;
      for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
          if (std::fabs(frame[r][k] - piece->getDyn().orientation[r][k]) > 1e-12) return false;
    }
    return true;
  };
  const MgcVector3 centre = body.computeWCenter();
  const MgcVector3 piecePlace = c.pieces[2]->getDyn().position;
  body.moveCenterOfMass(MgcVector3(0.3, 0.3, 0.3));
  EXPECT_NEAR((body.computeWCenter() - centre).Length(), 0.0, 1e-12);
  body.setPosition(body.getDyn().position);
  EXPECT_NEAR((c.pieces[2]->getDyn().position - piecePlace).Length(), 0.0, 1e-12);
  body.storeLastDynamics();
  body.setAngularVelocity(MgcVector3(0, 0, 3));
  body.integrateMotion(0.01);
  EXPECT_TRUE(consistent());
  body.rotate(MgcVector3(0.01, 0.02, 0));
  EXPECT_TRUE(consistent());
  body.translate(MgcVector3(0.01, 0, 0), MgcVector3(0, 0.01, 0));
  EXPECT_TRUE(consistent());
  body.setOrientationQuat(Mgc::Quaternion(0.5, 0.5, 0.5, 0.5));
  EXPECT_TRUE(consistent());
  // Velocities as points of the compound, taken at the pieces' new places.
  body.integrateMotion(0.01);
  for (const auto& piece : c.pieces) {
    const MgcVector3 expected = body.getPointVelocity(piece->getDyn().position);
    EXPECT_NEAR((piece->getDyn().linearVelocity - expected).Length(), 0.0, 1e-12);
  }
}

TEST(FractureBody, AssemblyEdgeCases) {
  // Joining pieces already joined, or pieces without a mesh, gives nothing.
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(2, 0, 0), MgcVector3(3, 0, 0)},
             {1.0f, 1.0f, 1.0f, 1.0f});
  FractureBody& body = *c.body;
  EXPECT_EQ(body.joinPieces(c.pieces[0].get(), c.pieces[1].get()), nullptr);
  EXPECT_EQ(body.getNActiveJoints(), 3u);
  zovtest::BoxBody bare;
  EXPECT_EQ(body.joinPieces(c.pieces[0].get(), &bare), nullptr);
  DynamicStress* made = body.joinPieces(c.pieces[0].get(), c.pieces[3].get());
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(made->getName(), "str_piece0_piece3");
  EXPECT_NEAR(made->worldAnchorMidpoint().x, 1.5, 1e-9);
  EXPECT_EQ(body.findJointBetween(c.pieces[3].get(), c.pieces[0].get()), made);

  // Four pieces: the cluster tree is one leaf.
  ASSERT_TRUE(body.buildClusterTree());
  const BoxTree* tree = body.getTreeMesh();
  EXPECT_EQ(tree->getRoot()->nodeId, 0u);
  EXPECT_EQ(tree->getRoot()->level, 0u);
  EXPECT_EQ(tree->getDepth(), 1u);
  EXPECT_EQ(tree->getLeafCount(), 1u);
  EXPECT_EQ(body.clusterIdOf(), 1u);
  EXPECT_FALSE(body.checkSecImpactsCond());

  // Every piece static: the centre and mass of all of them, and static.
  for (const auto& piece : c.pieces) piece->enableStatic();
  ASSERT_TRUE(body.updateMassProperties());
  EXPECT_TRUE(body.isStatic());
  EXPECT_NEAR(body.getMass(), 4.0, 1e-12);
  EXPECT_NEAR((body.getDyn().position - MgcVector3(1.5, 0, 0)).Length(), 0.0, 1e-12);

  body.deleteAllJoints();
  EXPECT_EQ(body.getNActiveJoints(), 0u);
  EXPECT_EQ(body.getNFBodies(), 0u);
  for (const auto& piece : c.pieces) {
    EXPECT_EQ(piece->getJointCount(), 0u);
    EXPECT_EQ(piece->getJointList().getCount(), 0u);
    EXPECT_FALSE(piece->isJoined());
    EXPECT_EQ(piece->getParent(), nullptr);
  }
  FractureBody empty;
  EXPECT_FALSE(empty.updateMassProperties());
  EXPECT_FALSE(empty.isActive());
}

// Joints broken and not yet split come back with the restore; the mass
// ratios follow a changed piece list.
TEST(FractureBody, RestoreTakesBackBrokenJointsAndRatiosFollowThePieces) {
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(2, 0, 0)}, {1.0f, 2.0f, 3.0f});
  FractureBody& body = *c.body;
  body.saveDynamics(kSaveAll);
  DynamicStress* first = body.getFirstActiveJoint();
  first->deActivate();
  body.removeDeactivatedJointsFromActiveList();
  EXPECT_TRUE(body.isSplitReady());
  EXPECT_EQ(body.getNActiveJoints(), 1u);
  body.restoreDynamics();
  EXPECT_FALSE(body.isSplitReady());
  ASSERT_EQ(body.getNActiveJoints(), 2u);
  std::uint32_t previous = 0;
  for (DynamicStress* j = body.getFirstActiveJoint(); j != nullptr; j = body.getNextActiveJoint()) {
    EXPECT_TRUE(j->isActive());
    EXPECT_GE(j->getIndex(), previous);
    previous = j->getIndex();
  }
  EXPECT_EQ(body.getNJointBodies(), 3u);

  // A fourth piece joins: setMass shares the mass by the pieces' own masses.
  auto extra = cubePiece(MgcVector3(3, 0, 0), 4.0f, "extra");
  body.attachJoint(jointAt(MgcVector3(2.5, 0, 0), c.pieces[2].get(), extra.get(), 9));
  body.setMass(20.0f);
  double total = extra->getMass();
  for (const auto& piece : c.pieces) total += piece->getMass();
  EXPECT_NEAR(total, 20.0, 1e-5);
  EXPECT_NEAR(extra->getMass(), 8.0, 1e-5);
  EXPECT_NEAR(c.pieces[2]->getMass(), 6.0, 1e-5);
  // Pieces outlive their fracture body.
  c.body.reset();
}

// Removing a joint frees the bodies it alone held; the remaining bodies no
// longer list it; the caller owns the joint again.
TEST(FractureBody, RemoveJointReleasesBodiesNoJointHolds) {
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(2, 0, 0)}, {1.0f, 1.0f, 1.0f});
  FractureBody& body = *c.body;
  DynamicStress* last = body.findJointBetween(c.pieces[1].get(), c.pieces[2].get());
  body.removeJoint(last);
  EXPECT_FALSE(last->isActive());
  EXPECT_FALSE(body.hasPiece(c.pieces[2].get()));
  EXPECT_EQ(c.pieces[2]->getParent(), nullptr);
  EXPECT_TRUE(body.hasPiece(c.pieces[1].get()));
  EXPECT_FALSE(c.pieces[1]->getJointList().contains(last));
  EXPECT_EQ(c.pieces[1]->getJointCount(), 1u);
  EXPECT_EQ(body.findAnyJointOf(c.pieces[2].get()), nullptr);
  delete last;
  DynamicStress* first = body.findJointBetween(c.pieces[0].get(), c.pieces[1].get());
  body.removePiece(c.pieces[0].get());
  delete first;
  EXPECT_EQ(body.getNJointBodies(), 0u);
  EXPECT_EQ(body.getNActiveJoints(), 0u);
}

// A piece taken out of a split body leaves its fragment, the split joints
// and the cluster tree: the body put back together holds the others only. A
// piece that only a broken joint still ties to falls on its own.
TEST(FractureBody, APieceRemovedAfterASplitLeavesEveryListAndTheTree) {
  Compound c({MgcVector3(0, 0, 0), MgcVector3(1, 0, 0), MgcVector3(2, 0, 0), MgcVector3(3, 0, 0)},
             {1.0f, 1.0f, 1.0f, 1.0f});
  FractureBody& body = *c.body;
  HullBody* a = c.pieces[0].get();
  HullBody* b = c.pieces[1].get();
  body.saveDynamics(kSaveAll);
  ASSERT_NE(body.getTreeMesh(), nullptr);
  DynamicStress* ab = body.findJointBetween(a, b);
  ASSERT_TRUE(body.deActivateJoint(body.findJointBetween(b, c.pieces[2].get())));
  ASSERT_EQ(body.splitIntoFragments(false), 1u);
  ASSERT_EQ(body.getNFBodies(), 2u);

  body.removePiece(a);
  EXPECT_FALSE(body.holdsBody(a));
  EXPECT_EQ(a->getParent(), nullptr);
  EXPECT_EQ(a->getJointCount(), 0u);
  EXPECT_FALSE(body.getSplitJoints().contains(ab));
  for (HardBody* fragment : valuesOf(body.getChildBodies())) {
    EXPECT_FALSE(static_cast<FractureBody*>(fragment)->getActiveJoints().contains(ab));
    EXPECT_FALSE(static_cast<FractureBody*>(fragment)->hasPiece(a));
  }
  for (ClusterItem* item : valuesOf(body.getTreeMesh()->getItems())) EXPECT_NE(item->box, &a->getBbox());
  // b keeps only its broken joint: released.
  EXPECT_TRUE(body.getDisconnectedBodies().contains(b));
  delete ab;

  body.restoreDynamics();
  EXPECT_FALSE(body.isSplitted());
  EXPECT_FALSE(body.holdsBody(a));
  EXPECT_EQ(body.getNJointBodies(), 3u);
  EXPECT_EQ(body.getNActiveJoints(), 2u);
}

}  // namespace
