#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/ShapeRecords.h"
#include "engine/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

// Random shapes and small closed meshes for the geometry tests.
namespace zovtest {

class GeometryRandom {
 public:
  explicit GeometryRandom(unsigned seed) : engine_(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
  Mgc::MgcVector3 vector(double lo, double hi) { return {uniform(lo, hi), uniform(lo, hi), uniform(lo, hi)}; }
  Mgc::MgcVector3 unitVector();
  /// A uniformly distributed rotation (axes in the columns).
  Mgc::MgcMatrix3 rotation();
  std::uint32_t index(std::uint32_t n) { return static_cast<std::uint32_t>(engine_() % n); }
  ZOVbox box(double centerRange, double minExtent, double maxExtent);
  ZOVcapsule capsule(double centerRange, double maxLength, double maxRadius);

 private:
  std::mt19937 engine_;
};

/// Unit normal of the triangle (a, b, c), counter-clockwise seen from its tip.
Mgc::MgcVector3 unitNormal(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3& c);

/// A mesh whose local and world data are the given vertices and polygon faces
/// (counter-clockwise seen from outside); normals from the first three corners.
std::unique_ptr<ZOVmesh> polygonMesh(const std::vector<Mgc::MgcVector3>& vertices,
                                     const std::vector<std::vector<std::uint32_t>>& faces);

/// The convex hull of points in general position, with triangle faces; found
/// by testing every triple of points (fine for a dozen points).
std::unique_ptr<ZOVmesh> convexHullMesh(const std::vector<Mgc::MgcVector3>& points);

/// The axis-aligned box [-half, half] with six quad faces.
std::unique_ptr<ZOVmesh> boxMesh(const Mgc::MgcVector3& half);

/// A non-convex closed mesh: an L-shaped prism, the union of [0,2]x[0,1]x[0,1]
/// and [0,1]x[0,2]x[0,1], with quad faces.
std::unique_ptr<ZOVmesh> lPrismMesh();

/// Inside test of a closed mesh's world data by counting the crossings of
/// rays (odd: inside), the majority over three ray directions.
bool insideByRayParity(const ZOVmesh& mesh, const Mgc::MgcVector3& point);

/// Squared distance from a point to the world surface of a mesh.
double surfaceDistanceSq(const ZOVmesh& mesh, const Mgc::MgcVector3& point);

/// The polygon of face f in world coordinates.
std::vector<Mgc::MgcVector3> worldFace(const ZOVmesh& mesh, std::uint32_t f);

}  // namespace zovtest
