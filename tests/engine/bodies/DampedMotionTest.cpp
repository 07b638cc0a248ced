#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"
#include "support/BodyFixtures.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::BoxBody;

namespace {

// Neither zero nor a normal double.
bool hasSubnormal(const MgcVector3& v) {
  for (int i = 0; i < 3; ++i)
    if (std::fpclassify(v[i]) == FP_SUBNORMAL) return true;
  return false;
}

}  // namespace

// Air damping on a body left alone brings its motion to exactly zero and
// never through subnormal values, however long the scene runs.
TEST(DampedMotion, UndisturbedBodyComesToExactRestWithoutSubnormals) {
  struct Case {
    const char* name;
    double damping;
    MgcVector3 velocity, spin;
  };
  const Case cases[] = {
      {"strong damping", 0.5, {3.0, -1.0, 2.0}, {0.4, -2.0, 1.5}},
      {"weak damping", 0.05, {1e-3, 0.0, -2e-3}, {1e-4, 2e-4, 0.0}},
      {"a trace of motion", 0.5, {1e-300, -1e-305, 0.0}, {0.0, 1e-307, -1e-290}},
  };
  const double dt = static_cast<double>(1.0f / 300.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxBody body(MgcVector3(1.0, 2.0, 3.0));
    body.init(MgcVector3(), MgcMatrix3::IDENTITY, MgcVector3(1.0, 1.0, 1.0));
    body.setLinearVelocity(c.velocity);
    body.setAngularVelocity(c.spin);
    body.setAirDampingCoeff(c.damping);
    body.setAirDampingCoeff2(c.damping);
    bool subnormal = false;
    for (int step = 0; step < 100000; ++step) {
      body.clearDynForces();
      body.clearDynTorques();
      body.integrateForces(dt, true);
      body.integrateMotion(dt);
      const RBDynamics& state = body.getDyn();
      subnormal = subnormal || hasSubnormal(state.linearVelocity) || hasSubnormal(state.angularMomentum) ||
                  hasSubnormal(state.angularVelocity);
    }
    EXPECT_FALSE(subnormal);
    EXPECT_EQ(body.getDyn().linearVelocity, MgcVector3(0.0, 0.0, 0.0));
    EXPECT_EQ(body.getDyn().angularMomentum, MgcVector3(0.0, 0.0, 0.0));
    EXPECT_EQ(body.getDyn().angularVelocity, MgcVector3(0.0, 0.0, 0.0));
  }
}
