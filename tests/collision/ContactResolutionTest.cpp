// Contact resolution against textbook mechanics: conservation of momentum,
// Newton's restitution law, the energy balance, Coulomb friction on a static
// plane, symmetric and lever-rule supports, resting contact coupled with a
// contact manifold; and the rest test and the staging of pairs.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "ContactFixtures.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactManifold.h"
#include "engine/solver/ContactBlocks.h"
#include "support/BodyFixtures.h"
#include "support/RandomGeometry.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

const MgcVector3 kUp(0.0, 1.0, 0.0);

struct Motion {
  double mass;
  MgcVector3 velocity;
  MgcVector3 spin;
};

std::unique_ptr<BoxBody> box(const MgcVector3& size, const MgcVector3& at, const Motion& motion,
                             const MgcMatrix3& R = MgcMatrix3::IDENTITY) {
  auto body = std::make_unique<BoxBody>(size);
  body->init(at, R, MgcVector3(1.0, 1.0, 1.0));
  body->setMass(static_cast<float>(motion.mass));
  body->setLinearVelocity(motion.velocity);
  body->setAngularVelocity(motion.spin);
  body->last() = body->current();  // approaching in the last state too: a collision
  return body;
}

// A prepared pair of (a, b) with contacts at the world points, one normal.
CollisionPair& contactPair(CollisionManager& manager, HardBody* a, HardBody* b, const std::vector<MgcVector3>& points,
                           const MgcVector3& normal = kUp) {
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = a;
  pair->secondBody = b;
  for (const MgcVector3& p : points) pair->contactSet().append(p, normal, 0.0, 0, 0);
  manager.prepareContacts(*pair);
  return *pair;
}

double scaleOf(const HardBody& a, const HardBody& b) { return b.isStatic() ? a.getMass() : a.getMass() * b.getMass(); }

void collide(CollisionManager& manager, CollisionPair& pair, std::uint32_t hint = kContactColliding) {
  ContactBlocks* K = nullptr;
  manager.resolveCollision(pair, hint, K, scaleOf(*pair.firstBody, *pair.secondBody), 0, 0);
}

MgcVector3 momentum(const HardBody& b) { return b.getDyn().linearVelocity * b.getMass(); }
MgcVector3 angularMomentumAbout(const HardBody& b, const MgcVector3& o) {
  return (b.getDyn().position - o).Cross(momentum(b)) + b.getDyn().angularMomentum;
}
double energy(const HardBody& b) {
  const RBDynamics& s = b.getDyn();
  return 0.5 * b.getMass() * s.linearVelocity.SquaredLength() + 0.5 * s.angularVelocity.Dot(s.angularMomentum);
}
MgcVector3 velocityAt(const HardBody& b, const MgcVector3& p) { return b.getPointVelocity(p); }

// Two free bodies meeting at one off-centre point, at random, with and
// without friction: momentum is conserved, linear and angular about any
// point; the normal relative velocity reverses with e = the smaller
// restitution; the kinetic energy never grows.
TEST(ContactResolution, TwoBodyHitsKeepTheTextbookLaws) {
  zovtest::Random random(20240611);
  CollisionManager manager;
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    const bool frictionless = trial % 2 == 0;
    auto a = box(random.vector(0.5, 2.0), MgcVector3(0.0, 1.0, 0.0),
                 {random.uniform(0.5, 5.0), random.vector(-2, 2), random.vector(-2, 2)}, random.rotation());
    auto b = box(random.vector(0.5, 2.0), MgcVector3(0.0, -1.0, 0.0),
                 {random.uniform(0.5, 5.0), random.vector(-2, 2), random.vector(-2, 2)}, random.rotation());
    const MgcVector3 p = random.vector(-0.4, 0.4);
    MgcVector3 n = random.unitVector();
    if (n.y < 0.2) n = (n + kUp * 1.5) / (n + kUp * 1.5).Length();
    const double approach = (velocityAt(*a, p) - velocityAt(*b, p)).Dot(n);
    if (approach > -0.2) {
      a->setLinearVelocity(a->getDyn().linearVelocity - n * (approach + random.uniform(0.2, 2.0)));
      a->last() = a->current();
    }
    a->setRestitutionCoeff(frictionless || trial % 4 == 1 ? random.uniform(0.0, 1.0) : 0.0);
    b->setRestitutionCoeff(random.uniform(0.0, 1.0));
    a->setFrictionCoeff(frictionless ? 0.0 : random.uniform(0.1, 1.5));
    b->setFrictionCoeff(frictionless ? 0.0 : random.uniform(0.0, 0.5));
    const double e = std::fmin(a->getRestitutionCoeff(), b->getRestitutionCoeff());
    const MgcVector3 o = random.vector(-5, 5);
    const MgcVector3 p0 = momentum(*a) + momentum(*b);
    const MgcVector3 l0 = angularMomentumAbout(*a, o) + angularMomentumAbout(*b, o);
    const double e0 = energy(*a) + energy(*b);
    const double un = (velocityAt(*a, p) - velocityAt(*b, p)).Dot(n);

    CollisionPair& pair = contactPair(manager, a.get(), b.get(), {p}, n);
    collide(manager, pair);

    const double scale = 1.0 + p0.Length() + l0.Length();
    EXPECT_LT((momentum(*a) + momentum(*b) - p0).Length(), 1e-9 * scale);
    EXPECT_LT((angularMomentumAbout(*a, o) + angularMomentumAbout(*b, o) - l0).Length(), 1e-9 * scale);
    const double after = (velocityAt(*a, p) - velocityAt(*b, p)).Dot(n);
    EXPECT_NEAR(after, -e * un, 1e-8 * std::fabs(un));
    EXPECT_LE(energy(*a) + energy(*b), e0 * (1.0 + 1e-9));
    manager.queueContact(&pair, 0);
  }
}

// A central elastic hit without friction keeps the energy and exchanges
// velocities as the one-dimensional formulas say.
TEST(ContactResolution, CentralElasticHitKeepsTheEnergy) {
  CollisionManager manager;
  const double m1 = 2.0;
  const double m2 = 3.0;
  const double v1 = -2.0;
  const double v2 = 1.5;
  auto a = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {m1, kUp * v1, MgcVector3()});
  auto b = box(MgcVector3(1, 1, 1), MgcVector3(0.0, -0.5, 0.0), {m2, kUp * v2, MgcVector3()});
  a->setRestitutionCoeff(1.0);
  b->setRestitutionCoeff(1.0);
  const double e0 = energy(*a) + energy(*b);
  collide(manager, contactPair(manager, a.get(), b.get(), {MgcVector3()}));
  EXPECT_NEAR(energy(*a) + energy(*b), e0, 1e-12 * e0);
  EXPECT_NEAR(a->getDyn().linearVelocity.y, ((m1 - m2) * v1 + 2.0 * m2 * v2) / (m1 + m2), 1e-12);
  EXPECT_NEAR(b->getDyn().linearVelocity.y, ((m2 - m1) * v2 + 2.0 * m1 * v1) / (m1 + m2), 1e-12);
  EXPECT_LT(a->getDyn().angularVelocity.Length(), 1e-12);
}

// A box meets the ground under its centre: inside the friction cone the
// contact sticks; outside it slides, the tangential impulse mu times the
// normal one and against the sliding.
TEST(ContactResolution, CoulombFrictionOnAStaticPlane) {
  struct Case {
    const char* name;
    double mu;
    MgcVector3 velocity;
    bool sticks;
  };
  for (const Case& c :
       {Case{"stick", 1.0, MgcVector3(0.5, -2.0, 0.0), true}, Case{"slide", 0.5, MgcVector3(10.0, -1.0, 0.0), false},
        Case{"slide sideways", 0.3, MgcVector3(-3.0, -1.0, 4.0), false}}) {
    SCOPED_TRACE(c.name);
    CollisionManager manager;
    const double m = 2.0;
    auto ground = zovtest::barrier(MgcVector3(), kUp);
    auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {m, c.velocity, MgcVector3()});
    body->setRestitutionCoeff(0.0);
    body->setFrictionCoeff(c.mu);
    const MgcVector3 p0 = momentum(*body);
    CollisionPair& pair = contactPair(manager, body.get(), ground.get(), {MgcVector3()});
    collide(manager, pair);
    const MgcVector3 change = momentum(*body) - p0;
    const double normal = change.y;
    const MgcVector3 tangential(change.x, 0.0, change.z);
    EXPECT_NEAR(normal, -m * c.velocity.y, 1e-9);
    const ResolutionCounters counters = manager.getResolutionCounters();
    if (c.sticks) {
      EXPECT_LT(velocityAt(*body, MgcVector3()).Length(), 1e-9);
      EXPECT_LE(tangential.Length(), c.mu * normal);
      EXPECT_EQ(counters.withinCone, 1u);
    } else {
      EXPECT_NEAR(tangential.Length(), c.mu * normal, 1e-9);
      const MgcVector3 sliding(c.velocity.x, 0.0, c.velocity.z);
      EXPECT_NEAR(tangential.Dot(sliding) / (tangential.Length() * sliding.Length()), -1.0, 1e-12);
      EXPECT_EQ(counters.backedOff, 1u);
    }
    EXPECT_EQ(ground->getDyn().linearVelocity, MgcVector3());  // the plane takes nothing
  }
}

// A contact that has carried a push earlier in the pair processing holds
// by the friction of all it carried: a box with one corner on the plane,
// sliding at 0.1 and sinking at 0.01, sticks when mu times the normal
// impulse carried and solved covers the sticking impulse, and slides when
// it carried nothing (Coulomb: |J_t| <= mu J_n for the contact's total).
TEST(ContactResolution, CarriedLoadLetsAContactStick) {
  for (const double carried : {0.0, 1.0}) {
    SCOPED_TRACE(carried);
    CollisionManager manager;
    auto ground = zovtest::barrier(MgcVector3(), kUp);
    auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, MgcVector3(0.1, -0.01, 0.0), MgcVector3()});
    body->setRestitutionCoeff(0.0);
    body->setFrictionCoeff(0.5);
    CollisionPair& pair = contactPair(manager, body.get(), ground.get(), {MgcVector3()});
    pair.keepFoundContacts();
    pair.found.carried[0] = kUp * carried;
    collide(manager, pair, kContactResting);
    const MgcVector3 slip = velocityAt(*body, MgcVector3());
    EXPECT_NEAR(slip.y, 0.0, 1e-9);
    const MgcVector3 total = pair.found.carried[0];
    const double normal = total.y;
    const double tangential = MgcVector3(total.x, 0.0, total.z).Length();
    EXPECT_LE(tangential, 0.5 * normal + 1e-12);
    if (carried > 0.0) {
      EXPECT_LT(MgcVector3(slip.x, 0.0, slip.z).Length(), 1e-9);
    } else {
      EXPECT_GT(slip.x, 0.0);
    }
  }
}

// A second body that creeps into the first is stopped however slowly it
// moves, and a held side takes no impulse: the solve moves only the other
// body, as against a static one.
TEST(ContactResolution, SlowSecondBodiesAreStoppedAndHeldSidesStayPut) {
  for (const double speed : {0.002, 0.5}) {
    for (const std::uint8_t held : {std::uint8_t{0}, kHeldFirst}) {
      SCOPED_TRACE(speed);
      SCOPED_TRACE(held);
      CollisionManager manager;
      auto lower = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, MgcVector3(), MgcVector3()});
      auto upper = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 1.5, 0.0), {1.0, kUp * -speed, MgcVector3()});
      for (BoxBody* b : {lower.get(), upper.get()}) b->setRestitutionCoeff(0.0);
      const std::vector<MgcVector3> corners = {{-0.5, 1, -0.5}, {0.5, 1, -0.5}, {0.5, 1, 0.5}, {-0.5, 1, 0.5}};
      CollisionPair& pair = contactPair(manager, lower.get(), upper.get(), corners, kUp * -1.0);
      pair.held = held;
      const MgcVector3 p0 = momentum(*lower) + momentum(*upper);
      collide(manager, pair, kContactResting);
      for (const MgcVector3& c : corners) {
        EXPECT_NEAR((velocityAt(*lower, c) - velocityAt(*upper, c)).y, 0.0, 1e-9);
      }
      if (held != 0) {
        EXPECT_EQ(lower->getDyn().linearVelocity, MgcVector3());
        EXPECT_EQ(lower->getDyn().angularVelocity, MgcVector3());
      } else {
        const MgcVector3 p1 = momentum(*lower) + momentum(*upper);
        EXPECT_NEAR((p1 - p0).Length(), 0.0, 1e-12);
        EXPECT_NEAR(lower->getDyn().linearVelocity.y, -speed / 2.0, 1e-9);
      }
    }
  }
}

// A box meeting the ground flat on four corners: sliding slowly it sticks
// although sticking would make the rear corners pull (they are let go and
// the front corners stick inside their cone); sliding fast it slides, every
// corner taking part, the friction mu times the pressure. Either way no
// corner approaches the ground afterwards.
TEST(ContactResolution, FlatBoxSticksOnItsPushingCornersOrSlidesOnAll) {
  struct Case {
    const char* name;
    MgcVector3 velocity;
    double mu;
    bool sticks;
  };
  const std::vector<MgcVector3> corners = {{-0.5, 0, -0.5}, {0.5, 0, -0.5}, {0.5, 0, 0.5}, {-0.5, 0, 0.5}};
  // A unit cube stopped on all four corners needs a front-rear difference of
  // the pressure of m v_t (its friction's moment about the centre) out of a
  // total of m v_n: with v_t > v_n the rear would pull.
  for (const Case& c :
       {Case{"slow", MgcVector3(0.1, -0.08, 0.0), 1.5, true}, Case{"fast", MgcVector3(5.0, -0.05, 0.0), 0.7, false}}) {
    const double mu = c.mu;
    SCOPED_TRACE(c.name);
    CollisionManager manager;
    auto ground = zovtest::barrier(MgcVector3(), kUp);
    auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, c.velocity, MgcVector3()});
    body->setRestitutionCoeff(0.0);
    body->setFrictionCoeff(mu);
    CollisionPair& pair = contactPair(manager, body.get(), ground.get(), corners);
    collide(manager, pair);
    double pressure = 0.0;
    MgcVector3 friction;
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
      const MgcVector3& J = pair.impulses[i];
      const MgcVector3 tangential(J.x, 0.0, J.z);
      EXPECT_GE(J.y, -1e-12) << i;
      EXPECT_LE(tangential.Length(), mu * J.y + 1e-12) << i;
      pressure += J.y;
      friction += tangential;
    }
    EXPECT_GT(pressure, 0.0);
    for (const MgcVector3& corner : corners) EXPECT_GE(velocityAt(*body, corner).y, -1e-9);
    if (c.sticks) {
      for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
        if (pair.impulses[i].y <= 1e-9) continue;
        const MgcVector3 p = body->getDyn().position + pair.firstArms[i];
        EXPECT_LT(velocityAt(*body, p).Length(), 1e-9) << i;
      }
      EXPECT_EQ(manager.getResolutionCounters().withinCone, 1u);
    } else {
      EXPECT_NEAR(friction.Length(), mu * pressure, 1e-9);
      EXPECT_LT(friction.x, 0.0);
    }
  }
}

// Landing on a corner while sliding slowly: the normal impulse alone turns
// the corner's sliding round, so every friction factor (1, 0.8, ..., 0.4096)
// fails and the impulse ends frictionless: j = 2 / (1/m + 6 (r x n)^2) for a
// unit cube of mass 1 (I = 1/6) hit at r = (0.5, -0.5, 0).
TEST(ContactResolution, FrictionThatTurnsTheSlidingRoundIsDropped) {
  CollisionManager manager;
  auto ground = zovtest::barrier(MgcVector3(), kUp);
  auto body = box(MgcVector3(1, 1, 1), MgcVector3(-0.5, 0.5, 0.0), {1.0, MgcVector3(-0.1, -2.0, 0.0), {}});
  body->setFrictionCoeff(0.3);
  CollisionPair& pair = contactPair(manager, body.get(), ground.get(), {MgcVector3()});
  collide(manager, pair);
  EXPECT_EQ(manager.getResolutionCounters().frictionDropped, 1u);
  EXPECT_LT((pair.impulses[0] - kUp * (2.0 / 2.5)).Length(), 1e-12);
}

// Without friction the back-off gives the frictionless impulse of an
// off-centre hit: j n with j = -(1 + e) u.n / (1/m1 + 1/m2 + (r1 x n).I1^-1
// (r1 x n) + (r2 x n).I2^-1 (r2 x n)).
TEST(ContactResolution, FrictionBackOffWithoutFrictionGivesTheFrictionlessImpulse) {
  zovtest::Random random(77);
  CollisionManager manager;
  for (int trial = 0; trial < 50; ++trial) {
    auto a = box(random.vector(0.5, 2.0), MgcVector3(0.3, 1.0, 0.0),
                 {random.uniform(0.5, 4.0), MgcVector3(3.0, -1.0, 1.0), random.vector(-1, 1)}, random.rotation());
    auto b = box(random.vector(0.5, 2.0), MgcVector3(-0.2, -1.0, 0.4),
                 {random.uniform(0.5, 4.0), MgcVector3(-1.0, 1.0, 0.0), random.vector(-1, 1)}, random.rotation());
    a->setRestitutionCoeff(0.4);
    b->setRestitutionCoeff(0.6);
    const MgcVector3 p = random.vector(-0.3, 0.3);
    const MgcVector3 r1 = p - a->getDyn().position;
    const MgcVector3 r2 = p - b->getDyn().position;
    const MgcVector3 c1 = r1.Cross(kUp);
    const MgcVector3 c2 = r2.Cross(kUp);
    const double k = a->getInvMass() + b->getInvMass() + c1.Dot(a->getDyn().worldInvInertia * c1) +
                     c2.Dot(b->getDyn().worldInvInertia * c2);
    const double un = (velocityAt(*a, p) - velocityAt(*b, p)).Dot(kUp);
    if (un > -0.1) continue;
    CollisionPair& pair = contactPair(manager, a.get(), b.get(), {p});
    collide(manager, pair);
    ASSERT_EQ(pair.contactCount, 1u);
    const MgcVector3 expected = kUp * (-(1.0 + 0.4) * un / k);
    EXPECT_LT((pair.impulses[0] - expected).Length(), 1e-9 * expected.Length());
    manager.queueContact(&pair, 0);
  }
  EXPECT_GT(manager.getResolutionCounters().backedOff, 0u);
}

// A box falling flat on the ground stops with four equal impulses; a plank
// on two supports stops with the reactions of the lever rule; both through
// the collision solve and through the resting-contact solve.
TEST(ContactResolution, SupportsShareTheLoadAsStaticsSay) {
  const double m = 3.0;
  const double v = 2.0;
  struct Case {
    const char* name;
    MgcVector3 size;
    std::vector<MgcVector3> points;
    std::vector<double> shares;
  };
  const Case cases[] = {
      {"box on four corners",
       MgcVector3(1.0, 1.0, 1.0),
       {{-0.5, 0.0, -0.5}, {0.5, 0.0, -0.5}, {0.5, 0.0, 0.5}, {-0.5, 0.0, 0.5}},
       {0.25, 0.25, 0.25, 0.25}},
      {"plank on two supports", MgcVector3(3.0, 0.2, 0.5), {{-0.6, 0.0, 0.0}, {1.2, 0.0, 0.0}}, {1.2 / 1.8, 0.6 / 1.8}},
  };
  for (const Case& c : cases) {
    for (const bool resting : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (resting ? ", resting" : ", colliding"));
      CollisionManager manager;
      auto ground = zovtest::barrier(MgcVector3(), kUp);
      auto body = box(c.size, MgcVector3(0.0, c.size.y / 2, 0.0), {m, kUp * -v, MgcVector3()});
      body->setRestitutionCoeff(0.0);
      body->setFrictionCoeff(0.5);
      CollisionPair& pair = contactPair(manager, body.get(), ground.get(), c.points);
      if (resting) {
        manager.resolveContact(pair, kContactResting, nullptr, m, 0);
      } else {
        collide(manager, pair);
      }
      ASSERT_EQ(pair.contactCount, c.points.size());
      for (std::size_t i = 0; i < c.points.size(); ++i) {
        EXPECT_LT((pair.impulses[i] - kUp * (m * v * c.shares[i])).Length(), 1e-9);
      }
      EXPECT_LT(body->getDyn().linearVelocity.Length(), 1e-9);
      EXPECT_LT(body->getDyn().angularVelocity.Length(), 1e-9);
    }
  }
}

// Of two contacts whose normals oppose, the shallower goes; contacts that
// share one normal, or whose normals only cross, all stay.
TEST(ContactResolution, OpposingContactsGoAndContactsOnOneNormalStay) {
  const MgcVector3 kDown(0.0, -1.0, 0.0);
  const MgcVector3 kAcross(1.0, 0.0, 0.0);
  struct Contact {
    MgcVector3 normal;
    double depth;
  };
  struct Case {
    const char* name;
    std::vector<Contact> contacts;
    std::vector<MgcVector3> keptNormals;
  };
  const Case cases[] = {
      {"one normal", {{kUp, -0.1}, {kUp, -0.2}, {kUp, -0.3}, {kUp, -0.1}}, {kUp, kUp, kUp, kUp}},
      {"one opposed and shallower", {{kUp, -0.2}, {kUp, -0.2}, {kDown, -0.1}}, {kUp, kUp}},
      {"one opposed and deeper", {{kUp, -0.1}, {kDown, -0.3}}, {kDown}},
      {"one across", {{kUp, -0.1}, {kUp, -0.1}, {kAcross, -0.1}}, {kUp, kUp, kAcross}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CollisionManager manager;
    auto ground = zovtest::barrier(MgcVector3(), kUp);
    auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, MgcVector3(), MgcVector3()});
    CollisionPair* pair = manager.threadBuffer(0);
    pair->reset();
    pair->firstBody = body.get();
    pair->secondBody = ground.get();
    double x = 0.0;
    for (const Contact& contact : c.contacts) {
      pair->contactSet().append(MgcVector3(x, 0.0, 0.0), contact.normal, contact.depth, 0, 0);
      x += 0.25;
    }
    CollisionManager::removeOpposingContacts(*pair);
    ASSERT_EQ(pair->contactCount, c.keptNormals.size());
    for (std::uint32_t i = 0; i < pair->contactCount; ++i) EXPECT_EQ(pair->normals[i], c.keptNormals[i]);
  }
}

// A resting solve whose contacts ask for no normal velocity change (none
// approaches by the tolerance) takes no impulse: the box keeps its motion to
// the bit, keeps its contacts, and every contact's impulse is zero.
TEST(ContactResolution, RestingSolveWithoutApproachLeavesTheBodyAlone) {
  const double m = 3.0;
  struct Case {
    const char* name;
    MgcVector3 velocity;
    MgcVector3 spin;
  };
  const Case cases[] = {
      {"at rest", MgcVector3(), MgcVector3()},
      {"lifting off", kUp * 0.5, MgcVector3()},
      {"sliding", MgcVector3(1.0, 0.0, -0.5), MgcVector3()},
      {"spinning about the normal", MgcVector3(), kUp * 2.0},
      {"creeping in below the tolerance", kUp * -3e-6, MgcVector3()},
  };
  const std::vector<MgcVector3> corners = {{-0.5, 0, -0.5}, {0.5, 0, -0.5}, {0.5, 0, 0.5}, {-0.5, 0, 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CollisionManager manager;
    auto ground = zovtest::barrier(MgcVector3(), kUp);
    auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {m, c.velocity, c.spin});
    body->setFrictionCoeff(0.5);
    const RBDynamics before = body->getDyn();
    CollisionPair& pair = contactPair(manager, body.get(), ground.get(), corners);
    manager.resolveContact(pair, kContactResting, nullptr, m, 0);
    ASSERT_EQ(pair.contactCount, corners.size());
    for (std::uint32_t i = 0; i < pair.contactCount; ++i) EXPECT_EQ(pair.impulses[i].SquaredLength(), 0.0);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(body->getDyn().linearVelocity[k], before.linearVelocity[k]);
      EXPECT_EQ(body->getDyn().angularVelocity[k], before.angularVelocity[k]);
    }
  }
}

// A box on a box on the ground, the lower one's support as a manifold: the
// resting solve stops both.
TEST(ContactResolution, RestingContactStopsAStackThroughItsManifold) {
  CollisionManager manager;
  auto ground = zovtest::barrier(MgcVector3(), kUp);
  auto lower = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {2.0, kUp * -1.0, MgcVector3()});
  auto upper = box(MgcVector3(1, 1, 1), MgcVector3(0.1, 1.5, 0.0), {1.0, kUp * -3.0, MgcVector3()});
  const std::vector<MgcVector3> corners = {{-0.5, 0, -0.5}, {0.5, 0, -0.5}, {0.5, 0, 0.5}, {-0.5, 0, 0.5}};
  std::vector<MgcVector3> top;
  for (const MgcVector3& c : corners) top.push_back(c + MgcVector3(c.x > 0 ? 0.0 : 0.1, 1.0, 0.0));
  CollisionPair& support = contactPair(manager, lower.get(), ground.get(), corners);
  ContactManifold manifold;
  ASSERT_TRUE(manifold.merge(support, lower.get()));
  CollisionPair& pair = contactPair(manager, upper.get(), lower.get(), top);
  pair.manifolds.append(&manifold);
  // The resolution writes the pair's bodies and its manifolds' bodies, also
  // one outside the pair; a static body is never written.
  HardBody* written[4];
  EXPECT_EQ(CollisionManager::resolvedBodies(pair, written, 4), 2u);
  auto third = box(MgcVector3(1, 1, 1), MgcVector3(3.0, 0.5, 0.0), {1.0, {}, {}});
  ContactManifold elsewhere;
  elsewhere.body = third.get();
  pair.manifolds.append(&elsewhere);
  ASSERT_EQ(CollisionManager::resolvedBodies(pair, written, 4), 3u);
  EXPECT_EQ(written[2], third.get());
  third->enableStatic();
  EXPECT_EQ(CollisionManager::resolvedBodies(pair, written, 4), 2u);
  pair.manifolds.remove(&elsewhere);

  manager.resolveContact(pair, kContactResting, nullptr, upper->getMass() * lower->getMass(), 0);
  for (const BoxBody* b : {lower.get(), upper.get()}) {
    EXPECT_LT(b->getDyn().linearVelocity.Length(), 1e-9);
    EXPECT_LT(b->getDyn().angularVelocity.Length(), 1e-9);
  }
  EXPECT_EQ(pair.manifoldRows, 4u);
}

TEST(ContactResolution, WhatAContactLeavesAlone) {
  CollisionManager manager;
  auto ground = zovtest::barrier(MgcVector3(), kUp);
  // Moving apart: no status, nothing applied.
  auto rising = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, kUp, MgcVector3()});
  CollisionPair& apart = contactPair(manager, rising.get(), ground.get(), {MgcVector3()});
  collide(manager, apart);
  EXPECT_EQ(apart.status, kContactNone);
  EXPECT_EQ(rising->getDyn().linearVelocity, kUp);
  // An asleep body is woken by its impulse.
  auto sleeper = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, -kUp, MgcVector3()});
  sleeper->deActivate();
  collide(manager, contactPair(manager, sleeper.get(), ground.get(), {MgcVector3()}));
  EXPECT_TRUE(sleeper->isActive());
  EXPECT_NEAR(sleeper->getDyn().linearVelocity.y, 0.0, 1e-12);
}

// A static triangle mesh with per-vertex velocities moves at a contact as
// its face's vertices do; a contact without a usable face takes the body's
// rigid velocity.
TEST(ContactResolution, StaticMeshVelocitiesComeFromItsFaceOrItsMotion) {
  CollisionManager manager;
  auto floor = zovtest::meshBox(MgcVector3(2.0, 0.5, 2.0), MgcVector3(0.0, -0.5, 0.0));
  floor->setLinearVelocity(MgcVector3(0.0, 0.0, -1.0));
  floor->enableStatic();
  ZOVmesh* mesh = floor->getWorldMesh();
  mesh->hasVertexData = 1;
  for (std::uint32_t v = 0; v < mesh->numVertices; ++v) mesh->vertexData[v] = MgcVector3(0.5, 0.0, 0.0);
  std::uint32_t topFace = 0;
  while (topFace < mesh->numFaces && mesh->worldFaceNormals[topFace].y < 0.9) ++topFace;
  ASSERT_LT(topFace, mesh->numFaces);
  auto body = box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5, 0.0), {1.0, -kUp, MgcVector3()});
  CollisionPair* pair = manager.threadBuffer(0);
  pair->reset();
  pair->firstBody = body.get();
  pair->secondBody = floor.get();
  for (const std::uint32_t face : {topFace, zov::kNoIndex, mesh->numFaces + 5}) {
    pair->contactSet().append(MgcVector3(0.2, 0.0, 0.1), kUp, 0.0, 0, face);
  }
  manager.prepareContacts(*pair);
  EXPECT_LT((pair->staticVelocities[0] - MgcVector3(0.5, 0.0, 0.0)).Length(), 1e-12);
  EXPECT_EQ(pair->staticVelocities[1], MgcVector3(0.0, 0.0, -1.0));
  EXPECT_EQ(pair->staticVelocities[2], MgcVector3(0.0, 0.0, -1.0));
}

TEST(ContactResolution, RestTestNeedsTwentyQuietCallsInARow) {
  auto body = box(MgcVector3(1, 1, 1), MgcVector3(), {1.0, MgcVector3(0.1, 0.0, 0.0), MgcVector3()});
  for (int call = 1; call < 20; ++call) EXPECT_FALSE(CollisionManager::isRestingBody(body.get(), 1.0f)) << call;
  EXPECT_TRUE(CollisionManager::isRestingBody(body.get(), 1.0f));
  body->setLinearVelocity(MgcVector3(0.5, 0.0, 0.0));  // faster than in the last state
  EXPECT_FALSE(CollisionManager::isRestingBody(body.get(), 1.0f));
  body->last() = body->current();
  EXPECT_FALSE(CollisionManager::isRestingBody(body.get(), 0.1f));  // too fast for this threshold
  EXPECT_EQ(body->getsleepCount(), 0);
}

// Three boxes stacked on the ground get stages 1, 2, 3 from the ground up,
// whatever order the pairs come in.
TEST(ContactResolution, StagingRunsOutwardFromTheGround) {
  CollisionManager manager;
  auto ground = zovtest::barrier(MgcVector3(), kUp);
  std::vector<std::unique_ptr<BoxBody>> boxes;
  for (int i = 0; i < 3; ++i) boxes.push_back(box(MgcVector3(1, 1, 1), MgcVector3(0.0, 0.5 + i, 0.0), {1.0, {}, {}}));
  EngineList<CollisionPair*> pairs;
  const std::pair<HardBody*, HardBody*> touching[] = {
      {boxes[2].get(), boxes[1].get()}, {boxes[0].get(), ground.get()}, {boxes[1].get(), boxes[0].get()}};
  for (const auto& [upperBody, lowerBody] : touching) {
    CollisionPair* pair = manager.threadBuffer(0);
    pair->reset();
    pair->firstBody = upperBody;
    pair->secondBody = lowerBody;
    pairs.append(pair);
  }
  EngineList<CollisionPair*> ordered;
  std::int32_t stage = 0;
  CollisionManager::stageContacts(pairs, ordered, stage);
  EXPECT_EQ(pairs.getCount(), 0u);
  EXPECT_EQ(ordered.getCount(), 3u);
  EXPECT_EQ(ground->getContactStage(), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(boxes[i]->getContactStage(), i + 1);
}

}  // namespace
