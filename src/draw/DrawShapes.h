#pragma once

#include <cmath>
#include <cstdint>

// Geometry the draw agents share: the unit cube of bounding boxes, its edges,
// the circle's sampling and an identity matrix.
namespace zovdraw {

constexpr unsigned int kBoxCorners = 8;
constexpr unsigned int kBoxEdgeIndices = 24;
/// Corners of the cube [-0.5, 0.5]^3, bottom face first.
inline const float kUnitCube[kBoxCorners][3] = {{-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, 0.5f},
                                                {-0.5f, -0.5f, 0.5f},  {-0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, -0.5f},
                                                {0.5f, 0.5f, 0.5f},    {-0.5f, 0.5f, 0.5f}};
/// The cube's twelve edges as pairs of corner indices.
inline const std::uint16_t kBoxEdges[kBoxEdgeIndices] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6,
                                                         6, 7, 7, 4, 0, 4, 1, 5, 2, 6, 3, 7};

/// Points of a circle's outline.
constexpr int kCirclePoints = 31;
/// 3.14 stands for pi, so the last point falls just short of a full turn.
constexpr float kHalfTurn = 3.14f;

/// The outline points of a circle of `radius` about `center`: in the XY
/// plane for axis 2, in the XZ plane for any other axis.
inline void circlePoints(unsigned int axis, const float center[3], float radius, float (&points)[kCirclePoints][3]) {
  for (int i = 0; i < kCirclePoints; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(kCirclePoints - 1);
    const float angle = (t + t) * kHalfTurn;
    const float along = radius * std::cos(angle), across = radius * std::sin(angle);
    points[i][0] = along + center[0];
    points[i][1] = (axis == 2 ? across : 0.0f) + center[1];
    points[i][2] = (axis == 2 ? 0.0f : across) + center[2];
  }
}

/// Every attribute group of glPushAttrib.
constexpr unsigned int kAllAttributeGroups = 0xFFFFF;
/// Polygon modes of glSetFrontPolygonMode and glSetBackPolygonMode.
constexpr int kLines = 1;
constexpr int kFill = 0;

/// Line width the agents leave behind them.
constexpr float kDefaultLineWidth = 1.0f;

/// The 4x4 identity, column major.
inline const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace zovdraw
