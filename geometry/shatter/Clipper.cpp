#include "geometry/shatter/Clipper.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>
#include <utility>

#include "geometry/BoxFits.h"
#include "geometry/ShapeRecords.h"
#include "geometry/SharedFaces.h"
#include "geometry/shatter/DFmeshArrays.h"
#include "math/Finite.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// The first half extent of the working mesh's oriented box after scaling.
constexpr double kWorkingHalfExtent = 80.0;
/// The scale is chosen only for meshes whose first half extent lies between
/// 1e-4 and 80 times this factor's reciprocal; others keep their size.
constexpr double kScaleStep = 10.0;
constexpr double kScaleLow = 1e-5;
constexpr double kScaleHigh = kWorkingHalfExtent / kScaleStep;

/// The id at position k of an optional per-corner array (0 when absent).

/// Newell's normal of a polygon, unitised; zero for a degenerate one.
MgcVector3 polygonNormal(const MgcVector3* positions, const std::uint32_t* corners, std::uint32_t n) {
  MgcVector3 sum;
  for (std::uint32_t k = 0; k < n; ++k) {
    const MgcVector3& a = positions[corners[k]];
    const MgcVector3& b = positions[corners[(k + 1) % n]];
    sum += MgcVector3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  sum.Unitize(zov::kUnitizeTolerance);
  return sum;
}

std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t low = std::min(a, b);
  const std::uint32_t high = std::max(a, b);
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

/// The world normal a prepared face starts with: the mesh's own when it has
/// world face normals, else the one of the face's corners.
template <typename Mesh>
MgcVector3 preparedNormal(const Mesh& mesh, std::uint32_t f) {
  const auto& source = mesh.faces[f];
  return mesh.worldFaceNormals != nullptr ? mesh.worldFaceNormals[f]
                                          : polygonNormal(mesh.worldVertices, source.vertices, source.numVertices);
}

}  // namespace

void ClipFace::addCorner(std::uint32_t vertex, std::uint32_t normalId, std::uint32_t uvId, std::uint32_t colorId,
                         const std::uint32_t* uvSet) {
  ClipCorner corner{vertex, normalId, uvId, colorId, {}};
  if (uvSet != nullptr)
    for (std::uint32_t l = 0; l + 1 < channelCount && l < kMaxExtraUVLayers; ++l) corner.uvSetIds[l] = uvSet[l];
  corners.push_back(corner);
}

Clipper::Clipper() = default;

Clipper::~Clipper() = default;

void Clipper::reset() {
  kind_ = MeshKind::kNone;
  preparedMesh_ = nullptr;
  preparedVertices_ = preparedFaces_ = 0;
  spent_ = false;
  normal_ = MgcVector3::ZERO;
  vertices_.clear();
  distance_.clear();
  keep_.clear();
  vertexUse_.clear();
  baseVertexCount_ = 0;
  normals_.clear();
  colors_.clear();
  whiteColorIndex_ = 0;
  uvs_.clear();
  for (std::vector<MgcVector3>& layer : uvSets_) layer.clear();
  uvSetCount_ = 0;
  hasNormals_ = hasColors_ = hasUVs_ = false;
  normalCount_ = 0;
  edges_.clear();
  edgeCount_ = edgeEnd_ = closingStart_ = 0;
  faces_.clear();
  baseFaceCount_ = 0;
  firstFaceTag_ = 0;
  scale_ = 1.0;
}

void Clipper::init(ZOVmesh* mesh) {
  reset();
  if (mesh == nullptr) return;
  try {
    prepare(*mesh);
  } catch (const std::bad_alloc&) {
    reset();
  }
}

void Clipper::init(ZOV_DFmesh* mesh) {
  reset();
  if (mesh == nullptr) return;
  try {
    prepare(*mesh);
  } catch (const std::bad_alloc&) {
    reset();
  }
}

void Clipper::prepareVertices(const MgcVector3* world, std::uint32_t numVertices, std::uint32_t numFaces) {
  ZOVbox box;
  fitOrientedBox(box, numVertices, world);
  const double tenth = box.extents.x / kScaleStep;
  scale_ = (tenth > kScaleLow && tenth < kScaleHigh) ? kScaleHigh / tenth : 1.0;

  vertices_.reserve(numVertices + 2 * static_cast<std::size_t>(numFaces));
  vertices_.resize(numVertices);
  for (std::uint32_t v = 0; v < numVertices; ++v) vertices_[v] = world[v] * scale_;
  distance_.assign(numVertices, 0.0);
  keep_.assign(numVertices, 1);
  vertexUse_.assign(numVertices, 0);
  baseVertexCount_ = numVertices;
}

void Clipper::prepare(ZOVmesh& mesh) {
  if (!isWellFormed(&mesh)) return;
  if (mesh.numVertices != 0 && mesh.worldVertices == nullptr) return;
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v)
    if (!zov::isFinite(mesh.worldVertices[v])) return;
  // Preparing marks the mesh's faces, and a cut writes them anew.
  if (!ownFaceTables(mesh)) return;

  prepareVertices(mesh.worldVertices, mesh.numVertices, mesh.numFaces);
  hasUVs_ = mesh.numUVs != 0 && mesh.uvs != nullptr;
  if (hasUVs_) uvs_.assign(mesh.uvs, mesh.uvs + mesh.numUVs);

  faces_.resize(mesh.numFaces);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    mesh_face& source = mesh.faces[f];
    source.mark = 1;
    ClipFace& face = faces_[f];
    face.channelCount = 1;
    face.corners.reserve(source.numVertices);
    for (std::uint32_t k = 0; k < source.numVertices; ++k)
      face.addCorner(source.vertices[k], 0, hasUVs_ ? source.uvIndices[k] : 0, 0, nullptr);
    face.flags = source.faceFlags;
    face.tag = source.groupId;
    face.kind = source.tag;
    face.normal = preparedNormal(mesh, f);
  }
  firstFaceTag_ = mesh.numFaces != 0 ? mesh.faces[0].groupId : 0;
  baseFaceCount_ = mesh.numFaces;
  notePrepared(&mesh, MeshKind::kFixed, mesh.numVertices, mesh.numFaces);
}

void Clipper::prepare(ZOV_DFmesh& mesh) {
  if (mesh.numFaces != 0 && mesh.faces == nullptr) return;
  if (mesh.numVertices != 0 && mesh.worldVertices == nullptr) return;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    if (face.numVertices != 0 && face.vertices == nullptr) return;
    for (std::uint32_t k = 0; k < face.numVertices; ++k)
      if (face.vertices[k] >= mesh.numVertices) return;
  }
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v)
    if (!zov::isFinite(mesh.worldVertices[v])) return;

  prepareVertices(mesh.worldVertices, mesh.numVertices, mesh.numFaces);
  hasNormals_ = mesh.numAuxPoints != 0 && mesh.auxPoints != nullptr;
  if (hasNormals_) normals_.assign(mesh.auxPoints, mesh.auxPoints + mesh.numAuxPoints);
  normalCount_ = static_cast<std::uint32_t>(normals_.size());
  hasColors_ = (mesh.dfFlags & kDFmeshHasExtraPoints) != 0 && mesh.numExtraPoints != 0 && mesh.extraPoints != nullptr;
  if (hasColors_) {
    colors_.assign(mesh.extraPoints, mesh.extraPoints + mesh.numExtraPoints);
    whiteColorIndex_ = static_cast<std::uint32_t>(colors_.size());
    colors_.emplace_back(1.0, 1.0, 1.0);
  }
  hasUVs_ = mesh.numUVs != 0 && mesh.uvs != nullptr;
  if (hasUVs_) {
    uvs_.assign(mesh.uvs, mesh.uvs + mesh.numUVs);
    if ((mesh.dfFlags & kDFmeshMultipleUVLayers) != 0 && mesh.numUVLayers > 1)
      uvSetCount_ = std::min(mesh.numUVLayers, kMaxUVLayers) - 1;
    for (std::uint32_t l = 0; l < uvSetCount_; ++l) {
      if (mesh.uvLayers[l] != nullptr)
        uvSets_[l].assign(mesh.uvLayers[l], mesh.uvLayers[l] + mesh.numUVs);
      else
        uvSets_[l].assign(mesh.numUVs, MgcVector3::ZERO);
    }
  }

  faces_.resize(mesh.numFaces);
  std::uint32_t uvSet[kMaxExtraUVLayers];
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    DFface& source = mesh.faces[f];
    source.mark = 1;
    ClipFace& face = faces_[f];
    face.channelCount = static_cast<std::uint8_t>(
        std::min<std::uint32_t>(std::max<std::uint8_t>(source.numLayers, 1), uvSetCount_ + 1));
    face.corners.reserve(source.numVertices);
    for (std::uint32_t k = 0; k < source.numVertices; ++k) {
      for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l) uvSet[l] = idAt(source.layerUVIndices[l], k);
      face.addCorner(source.vertices[k], idAt(source.cornerData, k), idAt(source.uvIndices, k),
                     idAt(source.extraIndices, k), uvSet);
    }
    face.flags = source.faceFlags;
    face.tag = source.pieceId;
    face.kind = source.faceByte;
    face.normal = preparedNormal(mesh, f);
  }
  firstFaceTag_ = mesh.numFaces != 0 ? mesh.faces[0].pieceId : 0;
  baseFaceCount_ = mesh.numFaces;
  notePrepared(&mesh, MeshKind::kVariable, mesh.numVertices, mesh.numFaces);
}

void Clipper::notePrepared(const void* mesh, MeshKind kind, std::uint32_t numVertices, std::uint32_t numFaces) {
  kind_ = kind;
  preparedMesh_ = mesh;
  preparedVertices_ = numVertices;
  preparedFaces_ = numFaces;
}

template <typename Mesh>
int Clipper::clipPrepared(Mesh* mesh, MeshKind kind, const MgcVector3& normal, const MgcVector3& point, int flags) {
  if (mesh == nullptr) return kClipFailed;
  if (mesh->numVertices == 0) return kClipNothingBelow;
  if (kind_ != kind || preparedMesh_ != mesh || spent_ || preparedVertices_ != mesh->numVertices ||
      preparedFaces_ != mesh->numFaces)
    return kClipFailed;
  try {
    const int result = run(normal, point, flags);
    if (result == kClipCut) rebuildMesh(*mesh);
    return result;
  } catch (const std::bad_alloc&) {
    return kClipFailed;
  }
}

int Clipper::clip(ZOVmesh* mesh, const MgcVector3& normal, const MgcVector3& point, int flags) {
  return clipPrepared(mesh, MeshKind::kFixed, normal, point, flags);
}

int Clipper::clip(ZOV_DFmesh* mesh, const MgcVector3& normal, const MgcVector3& point, int flags) {
  return clipPrepared(mesh, MeshKind::kVariable, normal, point, flags);
}

int Clipper::run(const MgcVector3& normal, const MgcVector3& point, int flags) {
  normal_ = normal;
  const double lengthSq = normal_.SquaredLength();
  if (lengthSq > zov::kUnitHigh || lengthSq < zov::kUnitLow) normal_.Unitize(zov::kUnitizeTolerance);

  const int side = classifyVertices(point);
  if (side != kClipCut) return side;

  // From here on the working data describe the cut mesh, not the prepared one.
  spent_ = true;
  buildCutEdges();
  splitEdges();
  closeCutFaces();
  if ((flags & kClipCaps) != 0) buildCaps();
  return kClipCut;
}

int Clipper::classifyVertices(const MgcVector3& point) {
  bool below = false, above = false;
  for (std::uint32_t v = 0; v < baseVertexCount_; ++v) {
    // A dead zone around the plane: vertices within it stay where they are
    // and count as on the plane, so that no sliver is cut off next to them.
    double d = normal_.Dot(vertices_[v] - point);
    keep_[v] = 1;
    if (d >= zov::kTolerance) {
      above = true;
    } else if (d <= -zov::kTolerance) {
      below = true;
      keep_[v] = 0;
    } else {
      d = 0.0;
    }
    distance_[v] = d;
  }
  if (!below) return kClipNothingBelow;
  if (!above) return kClipNothingAbove;
  return kClipCut;
}

void Clipper::buildCutEdges() {
  std::vector<ClipEdge> records;
  std::vector<bool> paired;
  std::unordered_map<std::uint64_t, std::uint32_t> open;
  const auto faceCount = static_cast<std::uint32_t>(faces_.size());

  for (std::uint32_t f = 0; f < faceCount; ++f) {
    ClipFace& face = faces_[f];
    const auto n = static_cast<std::uint32_t>(face.corners.size());
    if (face.keep == 0) continue;
    if (n == 0) {
      face.keep = 0;
      continue;
    }
    const double d0 = distance_[face.corners[0].vertex];
    std::uint32_t k = 1;
    while (k < n && d0 * distance_[face.corners[k].vertex] > 0.0) ++k;
    if (k == n) {
      // Wholly on one side.
      if (d0 < 0.0) face.keep = 0;
      continue;
    }
    if (d0 * distance_[face.corners[k].vertex] == 0.0) {
      // A corner on the plane: the face goes unless part of it lies above
      // (faces in the plane, or touching it from below, are replaced by the cap).
      bool anyAbove = false;
      for (std::uint32_t c = 0; c < n; ++c) anyAbove = anyAbove || distance_[face.corners[c].vertex] > 0.0;
      face.keep = anyAbove ? 1 : 0;
      if (!anyAbove) continue;
    }

    face.flags |= kDFfaceCrossing;
    face.edges.assign(n, 0);
    face.edgeForward.assign(n, 1);
    for (std::uint32_t c = 0; c < n; ++c) {
      const std::uint32_t next = (c + 1) % n;
      const std::uint32_t a = face.corners[c].vertex;
      const std::uint32_t b = face.corners[next].vertex;
      auto writeSlots = [&](ClipEdge& edge, int fromSlot, int toSlot, std::uint32_t cFrom, std::uint32_t cTo) {
        const ClipCorner& from = face.corners[cFrom];
        const ClipCorner& to = face.corners[cTo];
        edge.normalIds[fromSlot] = from.normalId;
        edge.normalIds[toSlot] = to.normalId;
        edge.colorIds[fromSlot] = from.colorId;
        edge.colorIds[toSlot] = to.colorId;
        edge.uvIds[fromSlot] = from.uvId;
        edge.uvIds[toSlot] = to.uvId;
        for (std::uint32_t l = 0; l + 1 < face.channelCount; ++l) {
          edge.uvSetIds[l][fromSlot] = from.uvSetIds[l];
          edge.uvSetIds[l][toSlot] = to.uvSetIds[l];
        }
      };
      const std::uint64_t key = edgeKey(a, b);
      auto found = open.find(key);
      if (found != open.end()) {
        const std::uint32_t index = found->second;
        open.erase(found);
        ClipEdge& edge = records[index];
        edge.face[1] = static_cast<std::int32_t>(f);
        edge.place[1] = c;
        if (edge.from == a)
          writeSlots(edge, kSlotFromFace2, kSlotToFace2, c, next);
        else
          writeSlots(edge, kSlotFromFace2, kSlotToFace2, next, c);
        paired[index] = true;
        face.edges[c] = index;
        face.edgeForward[c] = edge.from == a ? 1 : 0;
      } else {
        ClipEdge edge{};
        edge.from = a;
        edge.to = b;
        for (int s : {kSlotFromFace2, kSlotToFace2}) {
          edge.normalIds[s] = edge.colorIds[s] = edge.uvIds[s] = zov::kNoIndex;
          for (auto& layer : edge.uvSetIds) layer[s] = zov::kNoIndex;
        }
        writeSlots(edge, kSlotFromFace1, kSlotToFace1, c, next);
        edge.face[0] = edge.face[1] = static_cast<std::int32_t>(f);
        edge.place[0] = edge.place[1] = c;
        edge.valid = 1;
        edge.channelCount = std::max<std::uint8_t>(face.channelCount, 1);
        const auto index = static_cast<std::uint32_t>(records.size());
        records.push_back(edge);
        paired.push_back(false);
        open.emplace(key, index);
        face.edges[c] = index;
      }
    }
  }

  // Paired records first, then open ones; open edges lying in the plane go to
  // a block of their own past the counted range: they are neither split nor
  // part of the cap outline.
  const auto total = static_cast<std::uint32_t>(records.size());
  std::vector<std::uint32_t> order;
  order.reserve(total);
  for (std::uint32_t i = 0; i < total; ++i)
    if (paired[i]) order.push_back(i);
  for (std::uint32_t i = 0; i < total; ++i)
    if (!paired[i] && !(distance_[records[i].from] == 0.0 && distance_[records[i].to] == 0.0)) order.push_back(i);
  edgeCount_ = static_cast<std::uint32_t>(order.size());
  for (std::uint32_t i = 0; i < total; ++i)
    if (!paired[i] && distance_[records[i].from] == 0.0 && distance_[records[i].to] == 0.0) order.push_back(i);

  std::vector<std::uint32_t> position(total);
  edges_.clear();
  edges_.reserve(total + 3 * static_cast<std::size_t>(faceCount));
  for (std::uint32_t i = 0; i < total; ++i) {
    position[order[i]] = i;
    edges_.push_back(records[order[i]]);
  }
  for (ClipFace& face : faces_)
    for (std::uint32_t& e : face.edges) e = position[e];
  closingStart_ = edgeEnd_ = total;
}

template <typename T>
std::uint32_t Clipper::appendInterpolated(std::vector<T>& values, std::uint32_t idFrom, std::uint32_t idTo, double t,
                                          bool unitize) {
  const T from = idFrom < values.size() ? values[idFrom] : T();
  const T to = idTo < values.size() ? values[idTo] : T();
  T value = to * t + from * (1.0 - t);
  if (unitize) value.Unitize(zov::kUnitizeTolerance);
  values.push_back(value);
  return static_cast<std::uint32_t>(values.size() - 1);
}

void Clipper::splitEdges() {
  for (std::uint32_t e = 0; e < edgeCount_; ++e) {
    ClipEdge& edge = edges_[e];
    if (edge.valid == 0 || edge.from >= baseVertexCount_ || edge.to >= baseVertexCount_) continue;
    const double d0 = distance_[edge.from];
    const double d1 = distance_[edge.to];
    if (d0 >= 0.0 && d1 >= 0.0) continue;
    for (const std::int32_t f : edge.face)
      if (f >= 0 && static_cast<std::uint32_t>(f) < faces_.size()) faces_[f].changed = true;
    if (d0 < 0.0 && d1 < 0.0) {
      edge.valid = 0;
      continue;
    }

    const double t = d0 / (d0 - d1);
    const MgcVector3 P = vertices_[edge.to] * t + vertices_[edge.from] * (1.0 - t);
    // Faces that share the edge share its cut vertex; cut vertices within
    // the tolerance of each other become one.
    std::uint32_t vertex = zov::kNoIndex;
    for (std::uint32_t v = baseVertexCount_; v < vertices_.size(); ++v) {
      if ((vertices_[v] - P).SquaredLength() < zov::kTolerance) {
        vertex = v;
        break;
      }
    }
    if (vertex == zov::kNoIndex)
      vertex = addVertex(P);
    else
      vertices_[vertex] = P;

    const bool replaceFrom = d0 < d1;
    const int side1 = replaceFrom ? kSlotFromFace1 : kSlotToFace1;
    const int side2 = replaceFrom ? kSlotFromFace2 : kSlotToFace2;
    const bool twoFaces = edge.face[1] != edge.face[0];
    auto interpolate = [&](auto& values, std::uint32_t* ids, bool unitize) {
      const std::uint32_t first = appendInterpolated(values, ids[kSlotFromFace1], ids[kSlotToFace1], t, unitize);
      std::uint32_t second = first;
      if (twoFaces) second = appendInterpolated(values, ids[kSlotFromFace2], ids[kSlotToFace2], t, unitize);
      ids[side1] = first;
      ids[side2] = second;
    };
    if (hasNormals_) interpolate(normals_, edge.normalIds, true);
    if (hasColors_) interpolate(colors_, edge.colorIds, false);
    if (hasUVs_) {
      interpolate(uvs_, edge.uvIds, false);
      for (std::uint32_t l = 0; l + 1 < edge.channelCount && l < uvSetCount_; ++l)
        interpolate(uvSets_[l], edge.uvSetIds[l], false);
    }
    if (replaceFrom)
      edge.from = vertex;
    else
      edge.to = vertex;
  }
}

std::uint32_t Clipper::addVertex(const MgcVector3& position) {
  vertices_.push_back(position);
  distance_.push_back(0.0);
  keep_.push_back(1);
  vertexUse_.push_back(0);
  return static_cast<std::uint32_t>(vertices_.size() - 1);
}

int Clipper::slotOf(const ClipEdge& edge, std::uint32_t face, std::uint32_t vertex) const {
  const bool first = edge.face[0] == static_cast<std::int32_t>(face);
  if (vertex == edge.from) return first ? kSlotFromFace1 : kSlotFromFace2;
  return first ? kSlotToFace1 : kSlotToFace2;
}
