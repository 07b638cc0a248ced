// Face subdivision of shatter meshes: each pass splits the long edges of the
// marked faces at their midpoints and cuts every marked face of five or more
// corners into a fan of smaller faces around a new centre vertex. The new
// arrays and faces are built aside; the mesh takes them only when nothing is
// left to allocate, so a pass that runs out of memory leaves it as it was.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "geometry/MeshTransforms.h"
#include "geometry/PolygonHelpers.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/DFmeshArrays.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector2.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector2;
using Mgc::MgcVector3;

namespace {

/// Lengths, and squared distances, closer than this count as equal.
constexpr double kTie = 1e-5;
/// A face of more than kMaxCornersWithoutRuns corners gets a split about every
/// kRunShare of its perimeter.
constexpr std::uint32_t kMaxCornersWithoutRuns = 4;
constexpr double kRunShare = 0.25;
/// Edges longer than this many times the face's mean edge are split.
constexpr double kLongEdgeFactor = 2.5;
/// A marked face with fewer corners after the midpoints are in stays whole.
constexpr std::uint32_t kFanCorners = 5;
/// Faces of up to this many corners are fanned by corner count, larger ones by
/// perimeter.
constexpr std::uint32_t kCountedFan = 8;
/// The fan of a larger face has at most this many pieces.
constexpr std::uint32_t kPerimeterRuns = 4;

/// One corner of a face: its vertex and attribute ids (layer 0 first).
struct Corner {
  std::uint32_t vertex = 0;
  std::uint32_t normal = 0;
  std::uint32_t color = 0;
  std::uint32_t uv[kMaxUVLayers] = {};
};

/// The new entries made for the midpoint of one split edge, per side (the
/// edge's first and second face).
struct EdgeSplit {
  std::uint32_t vertex = 0;
  std::uint32_t uv[2] = {};
  std::uint32_t normal[2] = {};
  std::uint32_t color[2] = {};
};

/// What a pass keeps of one marked face.
struct MarkedFace {
  std::uint32_t face = 0;
  MgcVector3 centre;
  MgcVector3 centreNormal;
  MgcVector3 centreColor;
  MgcVector3 centreUV[kMaxUVLayers];
  double perimeter = 0.0;
  /// +1 to walk the face's sides forwards, -1 backwards.
  int direction = 1;
};

/// +1 or -1: the sign of the component of largest magnitude (the first of
/// equal ones; +1 for zero).
int dominantAxisSign(const MgcVector3& n) {
  int axis = 0;
  for (int i = 1; i < 3; ++i)
    if (std::fabs(n[i]) > std::fabs(n[axis])) axis = i;
  return n[axis] < 0.0 ? -1 : 1;
}

std::uint32_t wrap(std::int64_t i, std::uint32_t n) {
  const std::int64_t m = i % static_cast<std::int64_t>(n);
  return static_cast<std::uint32_t>(m < 0 ? m + n : m);
}

/// The attribute arrays of the mesh, grown by the new entries of a pass.
struct GrowingArrays {
  std::vector<MgcVector3> local, world;
  std::vector<MgcVector3> normals, colors, uvs;
  std::vector<MgcVector3> layers[kMaxExtraUVLayers];
  bool withNormals, withColors, withUVs;
  std::uint32_t extraLayers;
  MgcMatrix3 toLocal;
  MgcVector3 translation, scale;

  explicit GrowingArrays(const ZOV_DFmesh& mesh)
      : local(mesh.vertices, mesh.vertices + mesh.numVertices),
        world(mesh.worldVertices, mesh.worldVertices + mesh.numVertices),
        withNormals(hasDFmeshNormals(mesh)),
        withColors(hasDFmeshColors(mesh)),
        withUVs(hasDFmeshUVs(mesh)),
        extraLayers(extraDFmeshLayers(mesh)),
        toLocal(mesh.rotation.Transpose()),
        translation(mesh.translation),
        scale(mesh.scale) {
    if (withNormals) normals.assign(mesh.auxPoints, mesh.auxPoints + mesh.numAuxPoints);
    if (withColors) colors.assign(mesh.extraPoints, mesh.extraPoints + mesh.numExtraPoints);
    if (withUVs) uvs.assign(mesh.uvs, mesh.uvs + mesh.numUVs);
    for (std::uint32_t l = 0; l < extraLayers; ++l) {
      if (mesh.uvLayers[l] != nullptr)
        layers[l].assign(mesh.uvLayers[l], mesh.uvLayers[l] + mesh.numUVs);
      else
        layers[l].assign(mesh.numUVs, MgcVector3::ZERO);
    }
    // A zero scale component has no inverse; that axis is left unscaled.
    for (int i = 0; i < 3; ++i)
      if (scale[i] == 0.0) scale[i] = 1.0;
  }

  /// A new vertex at this world position (its local position through the
  /// mesh's frame) or at these two positions.
  std::uint32_t addVertex(const MgcVector3& localPosition, const MgcVector3& worldPosition) {
    local.push_back(localPosition);
    world.push_back(worldPosition);
    return static_cast<std::uint32_t>(world.size() - 1);
  }
  std::uint32_t addVertex(const MgcVector3& worldPosition) {
    const MgcVector3 p = toLocal * (worldPosition - translation);
    return addVertex(MgcVector3(p.x / scale.x, p.y / scale.y, p.z / scale.z), worldPosition);
  }
  /// One new texture-coordinate entry, shared by every layer.
  std::uint32_t addUV(const MgcVector3 values[kMaxUVLayers]) {
    if (!withUVs) return 0;
    uvs.push_back(values[0]);
    for (std::uint32_t l = 0; l < extraLayers; ++l) layers[l].push_back(values[l + 1]);
    return static_cast<std::uint32_t>(uvs.size() - 1);
  }
  std::uint32_t addNormal(const MgcVector3& n) {
    if (!withNormals) return 0;
    normals.push_back(n);
    return static_cast<std::uint32_t>(normals.size() - 1);
  }
  std::uint32_t addColor(const MgcVector3& c) {
    if (!withColors) return 0;
    colors.push_back(c);
    return static_cast<std::uint32_t>(colors.size() - 1);
  }

  /// Entries that a pass reads are the mesh's own (below the first new one).
  MgcVector3 uvAt(std::uint32_t layer, std::uint32_t id) const {
    const std::vector<MgcVector3>& values = layer == 0 ? uvs : layers[layer - 1];
    return id < values.size() ? values[id] : MgcVector3::ZERO;
  }
  MgcVector3 normalAt(std::uint32_t id) const { return id < normals.size() ? normals[id] : MgcVector3::ZERO; }
  MgcVector3 colorAt(std::uint32_t id) const { return id < colors.size() ? colors[id] : MgcVector3::ZERO; }
};

Corner cornerOf(const DFface& face, std::uint32_t k) {
  Corner c;
  c.vertex = face.vertices[k];
  c.normal = face.cornerData != nullptr ? face.cornerData[k] : 0;
  c.color = face.extraIndices != nullptr ? face.extraIndices[k] : 0;
  c.uv[0] = face.uvIndices != nullptr ? face.uvIndices[k] : 0;
  for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l)
    c.uv[l + 1] = face.layerUVIndices[l] != nullptr ? face.layerUVIndices[l][k] : 0;
  return c;
}

Corner midpointCorner(const EdgeSplit& split, int side) {
  Corner c;
  c.vertex = split.vertex;
  c.normal = split.normal[side];
  c.color = split.color[side];
  for (std::uint32_t& uv : c.uv) uv = split.uv[side];
  return c;
}

/// Writes the corners into a face record allocated for them, with the
/// layer count and colour ids of `like`.
void writeCorners(DFface& to, const std::vector<Corner>& corners, const DFface& like) {
  const auto n = static_cast<std::uint32_t>(corners.size());
  allocateBufferChannels(&to, n, like.numLayers, like.extraIndices != nullptr);
  if (to.vertices == nullptr) return;
  for (std::uint32_t k = 0; k < n; ++k) {
    const Corner& c = corners[k];
    to.vertices[k] = c.vertex;
    to.cornerData[k] = c.normal;
    to.uvIndices[k] = c.uv[0];
    if (to.extraIndices != nullptr) to.extraIndices[k] = c.color;
    for (std::uint32_t l = 0; l + 1 < to.numLayers; ++l) to.layerUVIndices[l][k] = c.uv[l + 1];
  }
  to.numVertices = n;
  to.numList = 0;
}

/// The fan of a face of at most kCountedFan corners: three pieces (four for
/// eight corners) of about equal corner counts, running forwards from
/// `start`; neighbouring pieces share a boundary corner.
void countedFan(const std::vector<Corner>& corners, std::uint32_t start, const Corner& centre,
                std::vector<std::vector<Corner>>& pieces) {
  const auto n = static_cast<std::uint32_t>(corners.size());
  const std::uint32_t k = n < kCountedFan ? 3 : 4;
  const std::uint32_t size = n / k + 2;
  for (std::uint32_t p = 0; p < k; ++p) {
    const std::uint32_t s = p + 1 < k ? size : size + n % k;
    std::vector<Corner> piece;
    for (std::uint32_t i = 0; i + 2 < s; ++i) piece.push_back(corners[wrap(static_cast<std::int64_t>(start) + i, n)]);
    piece.push_back(centre);
    piece.push_back(corners[wrap(static_cast<std::int64_t>(start) - 1, n)]);
    pieces.push_back(std::move(piece));
    start = wrap(static_cast<std::int64_t>(start) + s - 2, n);
  }
}

/// The fan of a larger face: the boundary, walked from the corner `nearest`
/// in `direction`, is cut into at most kPerimeterRuns runs of about a
/// quarter of the perimeter each; a run of m sides makes a piece of the m + 1
/// corners along it and the centre.
void perimeterFan(const std::vector<Corner>& corners, const std::vector<MgcVector3>& world, std::uint32_t nearest,
                  int direction, double perimeter, const Corner& centre, std::vector<std::vector<Corner>>& pieces) {
  const auto n = static_cast<std::uint32_t>(corners.size());
  auto at = [&](std::uint32_t step) {
    return wrap(static_cast<std::int64_t>(nearest) + direction * std::int64_t{step}, n);
  };
  auto sideLength = [&](std::uint32_t step) {
    return (world[corners[at(step + 1)].vertex] - world[corners[at(step)].vertex]).Length();
  };

  // Runs, in sides.
  const double quarter = perimeter * kRunShare;
  std::vector<std::uint32_t> runs;
  std::uint32_t step = 0;
  while (runs.size() + 1 < kPerimeterRuns && step < n) {
    const std::uint32_t first = step;
    double length = 0.0;
    while (step < n) {
      const double side = sideLength(step);
      if (length + side > quarter - kTie) {
        // End at the corner before or after the crossing, whichever lands
        // nearer a quarter; a run has at least one side.
        if (step == first || length + side - quarter <= quarter - length) ++step;
        break;
      }
      length += side;
      ++step;
    }
    runs.push_back(step - first);
  }
  const std::uint32_t rest = n - step;
  if (rest >= 2 || runs.empty())
    runs.push_back(rest);
  else if (rest == 1)
    ++runs.back();

  // Pieces in walking order; each lists its corners forwards.
  std::uint32_t from = 0;
  for (const std::uint32_t m : runs) {
    if (m == 0) continue;
    std::vector<Corner> piece;
    if (direction > 0) {
      for (std::uint32_t i = 1; i <= m; ++i) piece.push_back(corners[at(from + i)]);
      piece.push_back(centre);
      piece.push_back(corners[at(from)]);
    } else {
      piece.push_back(corners[at(from)]);
      piece.push_back(centre);
      for (std::uint32_t i = m; i >= 1; --i) piece.push_back(corners[at(from + i)]);
    }
    pieces.push_back(std::move(piece));
    from += m;
  }
}

}  // namespace

MgcVector3 BVDFmesh::faceCentroid(const DFface& face) const {
  if (mesh_ == nullptr || face.numVertices == 0 || face.vertices == nullptr) return MgcVector3::ZERO;
  const MgcVector3* world = mesh_->worldVertices;
  const std::uint32_t n = face.numVertices;
  MgcVector3 mean;
  for (std::uint32_t k = 0; k < n; ++k) mean += world[face.vertices[k]];
  mean /= static_cast<double>(n);
  MgcVector3 normal = face.normal;
  if (normal.Unitize(zov::kUnitizeTolerance) == 0.0) return mean;

  MgcVector3 u, v;
  generateOrthonormalBasis(normal, u, v);
  const MgcVector3 origin = world[face.vertices[0]];
  std::vector<MgcVector2> flat(n);
  for (std::uint32_t k = 0; k < n; ++k) {
    const MgcVector3 d = world[face.vertices[k]] - origin;
    flat[k] = MgcVector2(d.Dot(u), d.Dot(v));
  }
  MgcVector2 centre(0.0, 0.0);
  polygonCentroid2D(centre, flat.data(), static_cast<std::int32_t>(n));
  return origin + u * centre.x + v * centre.y;
}

bool BVDFmesh::subdivideFaces(std::int16_t passes) {
  if (mesh_ == nullptr || (flags_ & kDFmeshEdgesBuilt) == 0 || passes < 1 || passes > 4) return true;
  for (std::int16_t pass = 0; pass < passes; ++pass) {
    try {
      if (!subdivideOnce()) return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (buildEdgeTables(kDFmeshEdgeTable) == 0) return false;
  }
  return true;
}

// One pass; false when no face is marked (nothing changes then).
bool BVDFmesh::subdivideOnce() {
  ZOV_DFmesh& mesh = *mesh_;
  const MgcVector3* world = mesh.worldVertices;

  // 1. The marked faces, with their centres and mean attributes.
  std::vector<MarkedFace> marked;
  std::vector<std::int32_t> markOf(mesh.numFaces, -1);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    if ((mesh.faces[f].faceFlags & kDFfaceSelected) == 0) continue;
    markOf[f] = static_cast<std::int32_t>(marked.size());
    marked.push_back(MarkedFace{});
    marked.back().face = f;
  }
  if (marked.empty()) return false;

  GrowingArrays arrays(mesh);
  for (MarkedFace& m : marked) {
    DFface& face = mesh.faces[m.face];
    if (mesh.faceNormals != nullptr) face.normal = mesh.faceNormals[m.face];
    m.centre = faceCentroid(face);
    face.normal2 = m.centre;
    const std::uint32_t n = face.numVertices;
    if (n == 0) continue;
    for (std::uint32_t k = 0; k < n; ++k) {
      const Corner c = cornerOf(face, k);
      m.centreNormal += arrays.normalAt(c.normal);
      m.centreColor += arrays.colorAt(c.color);
      for (std::uint32_t l = 0; l <= arrays.extraLayers; ++l) m.centreUV[l] += arrays.uvAt(l, c.uv[l]);
    }
    m.centreNormal /= static_cast<double>(n);
    m.centreColor /= static_cast<double>(n);
    for (MgcVector3& uv : m.centreUV) uv /= static_cast<double>(n);
  }

  // 2 to 5. Edge lengths, the walk from the shortest edge, and the splits.
  std::vector<std::int32_t> splitOf(edges_.size(), -1);
  std::vector<EdgeSplit> splits;
  auto split = [&](std::uint32_t e) {
    if (splitOf[e] >= 0) return;
    const DFmeshEdge& edge = edges_[e];
    EdgeSplit s;
    const std::uint32_t a = edge.vertex[0], b = edge.vertex[1];
    s.vertex = arrays.addVertex((arrays.local[a] + arrays.local[b]) * 0.5, (arrays.world[a] + arrays.world[b]) * 0.5);
    const int sides = edge.face[1] != edge.face[0] ? 2 : 1;
    for (int side = 0; side < sides; ++side) {
      const int atA = side, atB = side + 2;
      MgcVector3 uv[kMaxUVLayers];
      uv[0] = (arrays.uvAt(0, edge.uvIds[atA]) + arrays.uvAt(0, edge.uvIds[atB])) * 0.5;
      for (std::uint32_t l = 0; l < arrays.extraLayers; ++l)
        uv[l + 1] = (arrays.uvAt(l + 1, edge.uvSetIds[l][atA]) + arrays.uvAt(l + 1, edge.uvSetIds[l][atB])) * 0.5;
      s.uv[side] = arrays.addUV(uv);
      s.normal[side] =
          arrays.addNormal((arrays.normalAt(edge.normalIds[atA]) + arrays.normalAt(edge.normalIds[atB])) * 0.5);
      s.color[side] = arrays.addColor((arrays.colorAt(edge.colorIds[atA]) + arrays.colorAt(edge.colorIds[atB])) * 0.5);
    }
    if (sides == 1) {
      s.uv[1] = s.uv[0];
      s.normal[1] = s.normal[0];
      s.color[1] = s.color[0];
    }
    splitOf[e] = static_cast<std::int32_t>(splits.size());
    splits.push_back(s);
  };

  for (MarkedFace& m : marked) {
    DFface& face = mesh.faces[m.face];
    const std::uint32_t n = std::min(face.numVertices, face.numList);
    m.direction = dominantAxisSign(face.normal);
    if (n == 0) continue;
    double perimeter = 0.0;
    std::uint32_t shortest = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      DFmeshEdge& edge = edges_[face.list[i]];
      edge.length = (world[edge.vertex[1]] - world[edge.vertex[0]]).Length();
      perimeter += edge.length;
      if (i == 0) continue;
      const DFmeshEdge& best = edges_[face.list[shortest]];
      if (edge.length < best.length - kTie) {
        shortest = i;
      } else if (std::fabs(edge.length - best.length) <= kTie) {
        const double here = world[edge.vertex[0]].SquaredLength() + world[edge.vertex[1]].SquaredLength();
        const double there = world[best.vertex[0]].SquaredLength() + world[best.vertex[1]].SquaredLength();
        if (here < there) shortest = i;
      }
    }
    m.perimeter = perimeter;
    const double runLength = face.numVertices > kMaxCornersWithoutRuns ? perimeter * kRunShare : 0.0;
    const double longEdge = perimeter / n * kLongEdgeFactor;
    double walked = 0.0;
    for (std::uint32_t step = 0; step < n; ++step) {
      const std::uint32_t e =
          face.list[wrap(static_cast<std::int64_t>(shortest) + m.direction * std::int64_t{step}, n)];
      const double length = edges_[e].length;
      walked += length;
      if (walked > runLength - kTie) {
        walked = length * 0.5;
        split(e);
      } else if (length > longEdge) {
        split(e);
      }
    }
  }

  // 6. The midpoints go into both faces of their edges.
  std::vector<std::vector<Corner>> corners(mesh.numFaces);
  std::vector<std::uint8_t> changed(mesh.numFaces, 0);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    const std::uint32_t n = std::min(face.numVertices, face.numList);
    bool touched = false;
    for (std::uint32_t i = 0; i < n && !touched; ++i) touched = splitOf[face.list[i]] >= 0;
    if (!touched && markOf[f] < 0) continue;
    std::vector<Corner>& out = corners[f];
    for (std::uint32_t i = 0; i < face.numVertices; ++i) {
      out.push_back(cornerOf(face, i));
      if (i >= n || splitOf[face.list[i]] < 0) continue;
      const DFmeshEdge& edge = edges_[face.list[i]];
      const int side = edge.face[0] == f && edge.slot[0] == i ? 0 : 1;
      out.push_back(midpointCorner(splits[splitOf[face.list[i]]], side));
    }
    changed[f] = touched ? 1 : 0;
  }

  // 7 to 9. Faces of five corners or more become fans around their centres.
  std::vector<std::uint8_t> fanned(mesh.numFaces, 0);
  std::vector<std::vector<Corner>> newFaces;
  std::vector<std::uint32_t> parentOf;
  for (const MarkedFace& m : marked) {
    const std::vector<Corner>& ring = corners[m.face];
    const auto n = static_cast<std::uint32_t>(ring.size());
    if (n < kFanCorners) continue;
    fanned[m.face] = 1;
    Corner centre;
    centre.vertex = arrays.addVertex(m.centre);
    centre.normal = arrays.addNormal(m.centreNormal);
    centre.color = arrays.addColor(m.centreColor);
    const std::uint32_t uv = arrays.addUV(m.centreUV);
    for (std::uint32_t& id : centre.uv) id = uv;

    // The corner nearest the centre; of nearly equal ones the one nearer the
    // origin.
    std::uint32_t nearest = 0;
    double nearestSq = (arrays.world[ring[0].vertex] - m.centre).SquaredLength();
    for (std::uint32_t k = 1; k < n; ++k) {
      const double d = (arrays.world[ring[k].vertex] - m.centre).SquaredLength();
      if (d < nearestSq - kTie ||
          (std::fabs(d - nearestSq) <= kTie &&
           arrays.world[ring[k].vertex].SquaredLength() < arrays.world[ring[nearest].vertex].SquaredLength())) {
        nearest = k;
        nearestSq = d;
      }
    }
    if (n <= kCountedFan)
      countedFan(ring, wrap(static_cast<std::int64_t>(nearest) + m.direction, n), centre, newFaces);
    else
      perimeterFan(ring, arrays.world, nearest, m.direction, m.perimeter, centre, newFaces);
    parentOf.resize(newFaces.size(), m.face);
  }

  // 10. The mesh: the faces that were not fanned, in order, then the new ones.
  std::uint32_t kept = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) kept += fanned[f] ? 0 : 1;
  DFmeshParts parts(kept + static_cast<std::uint32_t>(newFaces.size()));
  parts.vertices = arrays.local;
  parts.worldVertices = arrays.world;
  parts.withNormals = arrays.withNormals;
  parts.normals = arrays.normals;
  parts.withColors = arrays.withColors;
  parts.colors = arrays.colors;
  parts.withUVs = arrays.withUVs;
  parts.uvs = arrays.uvs;
  parts.extraLayers = arrays.extraLayers;
  for (std::uint32_t l = 0; l < arrays.extraLayers; ++l) parts.layers[l] = arrays.layers[l];
  auto meshNormal = [&](std::uint32_t f) {
    return mesh.faceNormals != nullptr ? mesh.faceNormals[f] : mesh.faces[f].normal;
  };

  std::vector<std::uint32_t> movedFrom(parts.faceCount, zov::kNoIndex);
  std::uint32_t out = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    if (fanned[f]) continue;
    const DFface& face = mesh.faces[f];
    if (changed[f]) {
      DFface& record = parts.faces[out];
      writeCorners(record, corners[f], face);
      record.normal = face.normal;
      record.normal2 = face.normal2;
      record.mark = face.mark;
      record.faceFlags = face.faceFlags;
      record.pieceId = face.pieceId;
      record.faceByte = face.faceByte;
    } else {
      movedFrom[out] = f;
    }
    parts.faceNormals[out] = parts.worldFaceNormals[out] = meshNormal(f);
    ++out;
  }
  for (std::size_t i = 0; i < newFaces.size(); ++i, ++out) {
    const DFface& parent = mesh.faces[parentOf[i]];
    DFface& record = parts.faces[out];
    writeCorners(record, newFaces[i], parent);
    record.normal = meshNormal(parentOf[i]);
    record.mark = 1;
    record.faceFlags = kDFfaceSelected;
    record.pieceId = parent.pieceId;
    record.faceByte = parent.faceByte;
    parts.faceNormals[out] = parts.worldFaceNormals[out] = record.normal;
  }
  std::unique_ptr<ZOV_DFmesh> next = assembleDFmesh(parts, mesh);

  // Nothing below allocates: the faces left as they were move over, marked
  // faces that stay whole trade their mark, and the mesh takes the arrays.
  for (std::uint32_t i = 0; i < next->numFaces; ++i) {
    if (movedFrom[i] != zov::kNoIndex) swapDFfaces(next->faces[i], mesh.faces[movedFrom[i]]);
    DFface& face = next->faces[i];
    if (i < kept && (face.faceFlags & kDFfaceSelected) != 0)
      face.faceFlags = static_cast<std::uint16_t>((face.faceFlags & ~kDFfaceSelected) | kDFfaceLeftWhole);
  }
  swapDFmeshArrays(mesh, *next);
  vertexCount_ = mesh.numVertices;
  return true;
}
