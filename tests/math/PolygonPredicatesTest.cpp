#include "math/PolygonPredicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/RandomGeometry.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;
using zovtest::Random;

namespace {

TEST(PolygonPredicates, PointInPolygonCases) {
  const MgcVector3 ccw[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MgcVector3 cw[4] = {{0, 0, 0}, {0, 2, 0}, {2, 2, 0}, {2, 0, 0}};
  const MgcVector3 up = MgcVector3::UNIT_Z;
  struct Case {
    const char* name;
    MgcVector3 point;
    bool inside;
  };
  const Case cases[] = {
      {"inside", {0.5, 1.5, 0}, true},
      {"on an edge", {2, 1, 0}, true},
      {"on a corner", {0, 2, 0}, true},
      {"just outside an edge", {1, -0.001, 0}, false},
      {"outside beyond a corner", {3, 3, 0}, false},
      {"above the plane", {1, 1, 0.1}, false},
      {"below the plane, over the polygon", {1, 1, -5}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(pointInPolygon(c.point, ccw, 4, up, 1e-5), c.inside);
    EXPECT_EQ(pointInPolygon(c.point, cw, 4, up, 1e-5), c.inside);
  }
  EXPECT_FALSE(pointInPolygon({0.1, 0.1, 0}, ccw, 2, up, 1e-5));
}

TEST(PolygonPredicates, PointInPolygonAgreesWithEdgeSides) {
  Random random(51);
  for (int i = 0; i < 200; ++i) {
    const MgcMatrix3 frame = random.rotation();
    const MgcVector3 normal = frame.GetColumn(2);
    const MgcVector3 center = random.vector(-3, 3);
    std::vector<MgcVector3> polygon;
    const int count = 3 + static_cast<int>(random.index(6));
    for (int k = 0; k < count; ++k) {
      const double angle = 2.0 * M_PI * (k + random.uniform(0.1, 0.9)) / count;
      polygon.push_back(center + frame.GetColumn(0) * std::cos(angle) + frame.GetColumn(1) * std::sin(angle));
    }
    if (i % 2 == 1) std::reverse(polygon.begin(), polygon.end());
    for (int j = 0; j < 20; ++j) {
      const MgcVector3 p =
          center + frame.GetColumn(0) * random.uniform(-1.2, 1.2) + frame.GetColumn(1) * random.uniform(-1.2, 1.2);
      // Inside when on the same side of every edge; skip points near an edge.
      int left = 0, right = 0;
      bool nearEdge = false;
      for (int k = 0; k < count; ++k) {
        MgcVector3 edge = polygon[(k + 1) % count] - polygon[k];
        const double side = edge.Cross(p - polygon[k]).Dot(normal) / std::sqrt(edge.SquaredLength());
        nearEdge = nearEdge || std::fabs(side) < 1e-6;
        (side > 0 ? left : right)++;
      }
      if (nearEdge) continue;
      EXPECT_EQ(pointInPolygon(p, polygon.data(), count, normal, 1e-9), left == count || right == count) << i;
    }
  }
}

TEST(PolygonPredicates, SegmentsIntersectCases) {
  struct Case {
    const char* name;
    MgcVector3 a0, a1, b0, b1;
    bool meet;
  };
  const Case cases[] = {
      {"crossing", {0, 0, 0}, {2, 2, 0}, {0, 2, 0}, {2, 0, 0}, true},
      {"apart", {0, 0, 0}, {1, 0, 0}, {2, -1, 0}, {2, 1, 0}, false},
      {"end on the other segment", {0, 0, 0}, {1, 0, 0}, {1, -1, 0}, {1, 1, 0}, false},
      {"sharing an end", {0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, false},
      {"collinear, overlapping", {0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {3, 0, 0}, true},
      {"collinear, reversed and overlapping", {0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {1.5, 0, 0}, true},
      {"collinear, apart", {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, false},
      {"parallel, offset", {0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(segmentsIntersect(c.a0, c.a1, c.b0, c.b1), c.meet) << c.name;
    EXPECT_EQ(segmentsIntersect(c.b0, c.b1, c.a0, c.a1), c.meet) << c.name << " (swapped)";
  }
}

TEST(PolygonPredicates, PolygonAreaIsSignedAndIndependentOfPlacement) {
  const MgcVector3 square[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MgcVector3 reversed[4] = {{0, 2, 0}, {2, 2, 0}, {2, 0, 0}, {0, 0, 0}};
  EXPECT_DOUBLE_EQ(polygonArea(square, 4, MgcVector3::UNIT_Z), 4.0);
  EXPECT_DOUBLE_EQ(polygonArea(reversed, 4, MgcVector3::UNIT_Z), -4.0);
  EXPECT_DOUBLE_EQ(polygonArea(square, 2, MgcVector3::UNIT_Z), 0.0);

  // A triangle anywhere in space: half the length of the cross product.
  Random random(52);
  for (int i = 0; i < 100; ++i) {
    const MgcVector3 tri[3] = {random.vector(-9, 9), random.vector(-9, 9), random.vector(-9, 9)};
    const MgcVector3 n = zovtest::unitNormal(tri[0], tri[1], tri[2]);
    const double area = 0.5 * std::sqrt((tri[1] - tri[0]).Cross(tri[2] - tri[0]).SquaredLength());
    EXPECT_NEAR(polygonArea(tri, 3, n), area, 1e-9 * (1 + area));
  }
}

}  // namespace
