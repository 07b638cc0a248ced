#include "math/PolygonPredicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/RandomGeometry.h"

using Mgc::MgcVector3;

// Points against polygons of either winding, and the polygons' signed areas.
TEST(PolygonPredicates, PointInPolygonAndAreaAgreeWithEdgeSides) {
  const MgcVector3 ccw[4] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MgcVector3 cw[4] = {ccw[0], ccw[3], ccw[2], ccw[1]};
  // Inside, on an edge, on a corner, just outside, beyond a corner, above the
  // plane (outside), below it over the polygon (inside).
  const MgcVector3 points[] = {{0.5, 1.5, 0}, {2, 1, 0}, {0, 2, 0}, {1, -0.001, 0}, {3, 3, 0}, {1, 1, 0.1}, {1, 1, -5}};
  const bool inside[] = {true, true, true, false, false, false, true};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(pointInPolygon(points[i], ccw, 4, MgcVector3::UNIT_Z, 1e-5), inside[i]) << i;
    EXPECT_EQ(pointInPolygon(points[i], cw, 4, MgcVector3::UNIT_Z, 1e-5), inside[i]) << i;
  }
  EXPECT_FALSE(pointInPolygon({0.1, 0.1, 0}, ccw, 2, MgcVector3::UNIT_Z, 1e-5));
  EXPECT_DOUBLE_EQ(polygonArea(ccw, 4, MgcVector3::UNIT_Z), 4.0);
  EXPECT_DOUBLE_EQ(polygonArea(cw, 4, MgcVector3::UNIT_Z), -4.0);
  EXPECT_DOUBLE_EQ(polygonArea(ccw, 2, MgcVector3::UNIT_Z), 0.0);

  zovtest::Random random(51);
  for (int i = 0; i < 200; ++i) {
    const Mgc::MgcMatrix3 frame = random.rotation();
    const MgcVector3 normal = frame.GetColumn(2), center = random.vector(-3, 3);
    std::vector<MgcVector3> polygon = zovtest::ellipsePolygon(random, 3 + random.index(6), frame, center, 1.0, 1.0);
    if (i % 2 == 1) std::reverse(polygon.begin(), polygon.end());
    const auto count = static_cast<int>(polygon.size());
    // Anywhere in space: the sum of the fan triangles' areas, negative when
    // the polygon turns clockwise about the normal.
    double area = 0.0;
    for (int k = 1; k + 1 < count; ++k)
      area += 0.5 * (polygon[k] - polygon[0]).Cross(polygon[k + 1] - polygon[0]).Length();
    EXPECT_NEAR(polygonArea(polygon.data(), count, normal), i % 2 == 1 ? -area : area, 1e-12);
    for (int j = 0; j < 20; ++j) {
      const MgcVector3 p =
          center + frame.GetColumn(0) * random.uniform(-1.2, 1.2) + frame.GetColumn(1) * random.uniform(-1.2, 1.2);
      // Inside when on the same side of every edge; points near an edge skipped.
      int left = 0;
      double nearest = 1e300;
      for (int k = 0; k < count; ++k) {
        const MgcVector3 edge = polygon[(k + 1) % count] - polygon[k];
        const double side = edge.Cross(p - polygon[k]).Dot(normal) / edge.Length();
        nearest = std::min(nearest, std::fabs(side));
        left += side > 0;
      }
      if (nearest < 1e-6) continue;
      EXPECT_EQ(pointInPolygon(p, polygon.data(), count, normal, 1e-9), left == count || left == 0) << i;
    }
  }
}

TEST(PolygonPredicates, SegmentsIntersectOnlyWhereTheyCrossOrOverlap) {
  struct Case {
    MgcVector3 a0, a1, b0, b1;
    bool meet;
  };
  const Case cases[] = {
      {{0, 0, 0}, {2, 2, 0}, {0, 2, 0}, {2, 0, 0}, true},    // crossing
      {{0, 0, 0}, {1, 0, 0}, {2, -1, 0}, {2, 1, 0}, false},  // apart
      {{0, 0, 0}, {1, 0, 0}, {1, -1, 0}, {1, 1, 0}, false},  // an end on the other
      {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, false},   // sharing an end
      {{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {3, 0, 0}, true},    // collinear, overlapping
      {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {1.5, 0, 0}, true},  // reversed, overlapping
      {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, false},   // collinear, apart
      {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}, false},   // parallel
  };
  for (const Case& c : cases) {
    EXPECT_EQ(segmentsIntersect(c.a0, c.a1, c.b0, c.b1), c.meet) << c.b0.x << " " << c.b0.y;
    EXPECT_EQ(segmentsIntersect(c.b0, c.b1, c.a0, c.a1), c.meet) << c.b0.x << " " << c.b0.y << " (swapped)";
  }
}
