#pragma once

#include <maya/MVector.h>

#include "mesh/MeshGeometry.h"

#include <memory>

namespace zovhost {

/// The host's primitive meshes, centred on the origin with their main axis
/// (a plane's normal, a cylinder's or sphere's pole axis, a cube's up) along
/// axis, polygons wound outward. Sizes are in centimetres; subdivision counts
/// must be at least the minimums below.
///   cube: w x h x d, sx, sy, sz >= 1 quads a side;
///     (sx+1)(sy+1)(sz+1) - (sx-1)(sy-1)(sz-1) vertices, 2(sx sy + sy sz + sz sx) faces
///   plane: w x h, sx, sy >= 1; (sx+1)(sy+1) vertices, sx sy quads
///   cylinder: radius, height, sa >= 3 around, sh >= 1 along, sc >= 0 rings on
///     each cap (0: each cap one sa-gon); sa(sh+1) + 2(sa(sc-1)+1) vertices and
///     sa sh + 2 sa sc faces for sc >= 1
///   sphere: radius, sa >= 3 around, sh >= 2 from pole to pole; sa(sh-1)+2
///     vertices, sa sh faces (triangles at the poles)
struct MeshPrimitives {
  static constexpr int kMinCubeDivisions = 1;
  static constexpr int kMinPlaneDivisions = 1;
  static constexpr int kMinAxisDivisions = 3;
  static constexpr int kMinCylinderHeightDivisions = 1;
  static constexpr int kMinCapDivisions = 0;
  static constexpr int kMinSphereHeightDivisions = 2;
  /// No subdivision count goes beyond this, so that a mesh stays within reach
  /// of memory (a million faces for two counts at their limit).
  static constexpr int kMaxDivisions = 1000;

  static std::shared_ptr<MeshGeometry> cube(double width, double height, double depth, int sx, int sy, int sz,
                                            const MVector& axis = MVector::yAxis);
  static std::shared_ptr<MeshGeometry> plane(double width, double height, int sx, int sy,
                                             const MVector& axis = MVector::yAxis);
  static std::shared_ptr<MeshGeometry> cylinder(double radius, double height, int sa, int sh, int sc,
                                                const MVector& axis = MVector::yAxis);
  static std::shared_ptr<MeshGeometry> sphere(double radius, int sa, int sh, const MVector& axis = MVector::yAxis);
};

}  // namespace zovhost
