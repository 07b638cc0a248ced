#include "math/EdgeTurn.h"

#include <gtest/gtest.h>

#include <vector>

using Mgc::MgcVector3;

TEST(EdgeTurn, SignFollowsTheTurnAboutTheNormal) {
  // Corner at point 1; the path comes from point 0 and goes on to point 2.
  struct Case {
    const char* name;
    MgcVector3 from, corner, to;
    MgcVector3 normal;
    int sign;
  };
  const MgcVector3 up(0, 0, 1);
  const Case cases[] = {
      // (unit e1) x (unit e0) points along -z for a left turn seen from +z.
      {"left turn seen from +z", {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, up, -1},
      {"right turn seen from +z", {0, 0, 0}, {1, 0, 0}, {1, -1, 0}, up, 1},
      {"left turn seen from -z", {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, -up, 1},
      {"turn about an axis in the plane gives no sign", {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 0, 0}, 0},
      {"straight on, in order", {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, up, 0},
      {"doubling back along the line", {0, 0, 0}, {2, 0, 0}, {1, 0, 0}, up, -1},
      {"returning to the start", {0, 0, 0}, {1, 0, 0}, {0, 0, 0}, up, -1},
      {"kink within the dead zone", {0, 0, 0}, {1, 0, 0}, {2, 1e-7, 0}, up, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const std::vector<MgcVector3> points = {test.from, test.corner, test.to};
    EXPECT_EQ(edgeTurnSign({0, 1}, {1, 2}, points.data(), test.normal), test.sign);
  }
}
