#include "geometry/PolygonHelpers.h"

#include <algorithm>
#include <cmath>

#include "math/MgcMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

/// The corner limit of every fan piece after the first cut: pieces of at
/// most 31 corners.
constexpr std::int64_t kFanPieceLimit = 32;

/// Second-list count of a face record that its builder made as a triangle.
constexpr std::uint32_t kTriangleListCount = 3;

// The fan split shared by the three writers. `write` (anchor, chain, parallel
// chain, k, face) stores one piece of k + 1 corners; parallelChain may be null.
template <typename Face, typename Write>
void splitIntoFan(std::uint32_t anchor, const std::uint32_t* chain, const std::uint32_t* parallelChain, std::int32_t k,
                  Face* faces, std::int32_t& faceCount, std::int64_t limit, Write write) {
  if (k < 2) return;
  while (k + 1 > limit - 1) {
    const std::int32_t half = k / 2;
    splitIntoFan(anchor, chain, parallelChain, half, faces, faceCount, kFanPieceLimit, write);
    // The next piece starts at the last chain entry of this one, so that the
    // pieces share a side and cover the polygon without a gap.
    chain += half - 1;
    if (parallelChain != nullptr) parallelChain += half - 1;
    k = k + 1 - half;
    limit = kFanPieceLimit;
    if (k < 2) return;
  }
  write(chain, parallelChain, k, faces[faceCount]);
  ++faceCount;
}

void writeDFCorners(DFface& face, std::uint32_t anchor, const std::uint32_t* chain, std::int32_t k) {
  const auto numCorners = static_cast<std::uint32_t>(k + 1);
  allocateBufferChannels(&face, numCorners, 1, false);
  face.vertices[0] = anchor;
  std::copy(chain, chain + k, face.vertices + 1);
  face.numVertices = numCorners;
  face.numList = 0;
  face.mark = 1;
}

}  // namespace

void appendFanFaces(std::uint32_t anchor, const std::uint32_t* chain, std::uint32_t anchorParallel,
                    const std::uint32_t* parallelChain, std::int32_t k, mesh_face* faces, std::int32_t& faceCount,
                    std::uint32_t limit) {
  // A face record holds kMaxFaceCorners corners; a larger limit would let a
  // piece run past its arrays.
  const std::int64_t cappedLimit = std::min<std::int64_t>(limit, kMaxFaceCorners + 1);
  splitIntoFan(anchor, chain, parallelChain, k, faces, faceCount, cappedLimit,
               [&](const std::uint32_t* piece, const std::uint32_t* parallel, std::int32_t n, mesh_face& face) {
                 face.numVertices = static_cast<std::uint32_t>(n + 1);
                 face.vertices[0] = anchor;
                 std::copy(piece, piece + n, face.vertices + 1);
                 face.uvIndices[0] = anchorParallel;
                 if (parallel != nullptr) std::copy(parallel, parallel + n, face.uvIndices + 1);
                 face.numEdges = 0;
                 face.mark = 1;
               });
}

void appendFanFacesDF(std::uint32_t anchor, const std::uint32_t* chain, std::int32_t k, DFface* faces,
                      std::int32_t& faceCount, std::uint32_t limit) {
  splitIntoFan(anchor, chain, static_cast<const std::uint32_t*>(nullptr), k, faces, faceCount, limit,
               [&](const std::uint32_t* piece, const std::uint32_t*, std::int32_t n, DFface& face) {
                 writeDFCorners(face, anchor, piece, n);
                 face.faceFlags |= kDFfaceSelected;
               });
}

void appendFanFacesDFAttr(std::uint32_t anchor, const std::uint32_t* chain, std::uint32_t anchorParallel,
                          const std::uint32_t* parallelChain, std::int32_t k, DFface* faces, std::int32_t& faceCount,
                          std::uint32_t limit) {
  splitIntoFan(anchor, chain, parallelChain, k, faces, faceCount, limit,
               [&](const std::uint32_t* piece, const std::uint32_t* parallel, std::int32_t n, DFface& face) {
                 writeDFCorners(face, anchor, piece, n);
                 face.uvIndices[0] = anchorParallel;
                 if (parallel != nullptr) std::copy(parallel, parallel + n, face.uvIndices + 1);
               });
}

bool isEdgeDegenerate(const DirectedEdge& edge, const MgcVector3* vertices) {
  if (edge.from == edge.to) return true;
  return (vertices[edge.to] - vertices[edge.from]).SquaredLength() < zov::kTolerance;
}

bool isFaceConvex(const DFface& face, const MgcVector3* vertices) {
  if (face.numList == kTriangleListCount || face.numVertices == 0 || face.vertices == nullptr) return true;
  const std::uint32_t n = face.numVertices;
  bool turnsPositive = false;
  bool turnsNegative = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t c0 = face.vertices[i];
    const std::uint32_t c1 = face.vertices[(i + 1) % n];
    const std::uint32_t c2 = face.vertices[(i + 2) % n];
    const int turn = edgeTurnSign({c0, c1}, {c1, c2}, vertices, face.normal);
    if (turn > 0) turnsPositive = true;
    if (turn < 0) turnsNegative = true;
  }
  return !(turnsPositive && turnsNegative);
}

MgcVector2& polygonCentroid2D(MgcVector2& out, const MgcVector2* points, std::int32_t n) {
  double area = 0.0;
  MgcVector2 weighted(0.0, 0.0);
  for (std::int32_t i = 0; i + 1 < n; ++i) {
    const MgcVector2& p = points[i];
    const MgcVector2& q = points[i + 1];
    const double w = p.x * q.y - q.x * p.y;
    area += w;
    weighted.x += (p.x + q.x) * w;
    weighted.y += (p.y + q.y) * w;
  }
  area *= 0.5;
  if (area != 0.0) {
    out = weighted / (6.0 * area);
    return out;
  }
  // No area to weight by: the points' mean lies on a degenerate polygon, where
  // a division by the zero area would throw the centre out to infinity.
  MgcVector2 sum(0.0, 0.0);
  for (std::int32_t i = 0; i < n; ++i) sum += points[i];
  out = n > 0 ? sum / static_cast<double>(n) : sum;
  return out;
}

void randomGaussianVectors(const MgcVector3& centre, const MgcVector3& scale, const MgcMatrix3& rotation,
                           MgcVector3 out[2]) {
  MgcVector3 a;
  MgcVector3 b;
  for (int axis = 0; axis < 3; ++axis) {
    // Polar Box-Muller: a point drawn uniformly in the unit disc (the origin
    // excluded, where the logarithm has no value) gives two independent
    // standard normal numbers.
    double x1 = 0.0;
    double x2 = 0.0;
    double w = 0.0;
    do {
      x1 = Mgc::Math::SymmetricRandom(0.0);
      x2 = Mgc::Math::SymmetricRandom(0.0);
      w = x1 * x1 + x2 * x2;
    } while (w >= 1.0 || w == 0.0);
    const double f = std::sqrt(-2.0 * std::log(w) / w);
    a[axis] = f * x1;
    b[axis] = f * x2;
  }
  a = rotation * a;
  b = rotation * b;
  out[0] = MgcVector3(a.x * scale.x, a.y * scale.y, a.z * scale.z) + centre;
  out[1] = MgcVector3(b.x * scale.x, b.y * scale.y, b.z * scale.z) + centre;
}
