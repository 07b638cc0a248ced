// Copying the connected pieces of a shatter mesh out into meshes of their
// own, joining meshes, and folding flat pieces into the pieces around them.

#include <algorithm>
#include <new>
#include <vector>

#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/PointInsideMesh.h"
#include "geometry/shatter/BVDFmesh.h"
#include "geometry/shatter/DFmeshArrays.h"

using Mgc::MgcVector3;

namespace {

/// Volume at or below which a piece counts as flat.
constexpr double kFlatPieceVolume = 1e-5;
/// How far a flat piece's points may lie outside the hull that takes it in.
constexpr double kEnclosingTolerance = 0.001;

/// Renumbers the entries of one array that a subset of faces uses: the used
/// entries keep their order and are numbered from 0. Reused from subset to
/// subset without clearing, so that copying out many pieces stays linear.
class EntryCompactor {
 public:
  explicit EntryCompactor(std::uint32_t size) : stamp_(size, 0), newIndex_(size, 0) {}

  void begin() {
    ++round_;
    used_.clear();
  }
  void use(const std::uint32_t* ids, std::uint32_t n) {
    if (ids == nullptr) return;
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint32_t id = ids[k];
      if (id >= stamp_.size() || stamp_[id] == round_) continue;
      stamp_[id] = round_;
      used_.push_back(id);
    }
  }
  /// Numbers the used entries and returns them in their order.
  const std::vector<std::uint32_t>& finish() {
    std::sort(used_.begin(), used_.end());
    for (std::uint32_t k = 0; k < used_.size(); ++k) newIndex_[used_[k]] = k;
    return used_;
  }
  /// The new number of an entry; 0 for an id outside the array.
  std::uint32_t map(std::uint32_t id) const { return id < stamp_.size() && stamp_[id] == round_ ? newIndex_[id] : 0; }

 private:
  std::vector<std::uint32_t> stamp_;
  std::vector<std::uint32_t> newIndex_;
  std::vector<std::uint32_t> used_;
  std::uint32_t round_ = 0;
};

void gather(std::vector<MgcVector3>& out, const MgcVector3* values, const std::vector<std::uint32_t>& used) {
  out.clear();
  out.reserve(used.size());
  for (const std::uint32_t id : used) out.push_back(values[id]);
}

/// Writes the face record `to` as a copy of `from` whose ids pass through
/// the maps (a null map copies the ids as they are).
template <typename VertexMap, typename NormalMap, typename ColorMap, typename UVMap>
void copyFace(DFface& to, const DFface& from, VertexMap vertex, NormalMap normal, ColorMap color, UVMap uv) {
  const std::uint32_t n = from.numVertices;
  allocateBufferChannels(&to, n, from.numLayers, from.extraIndices != nullptr);
  for (std::uint32_t k = 0; k < n && to.vertices != nullptr; ++k) {
    to.vertices[k] = vertex(from.vertices[k]);
    if (from.cornerData != nullptr) to.cornerData[k] = normal(from.cornerData[k]);
    if (from.uvIndices != nullptr) to.uvIndices[k] = uv(0, from.uvIndices[k]);
    if (from.extraIndices != nullptr) to.extraIndices[k] = color(from.extraIndices[k]);
    for (std::uint32_t l = 0; l + 1 < to.numLayers; ++l)
      if (from.layerUVIndices[l] != nullptr) to.layerUVIndices[l][k] = uv(l + 1, from.layerUVIndices[l][k]);
  }
  to.numVertices = to.vertices != nullptr ? n : 0;
  to.numList = 0;
  to.normal = from.normal;
  to.normal2 = from.normal2;
  to.mark = from.mark;
  to.faceFlags = from.faceFlags;
  to.pieceId = from.pieceId;
  to.faceByte = from.faceByte;
}

MgcVector3 faceNormalAt(const MgcVector3* normals, std::uint32_t f) {
  return normals != nullptr ? normals[f] : MgcVector3::ZERO;
}

/// Copies the faces `faceIds` of `mesh`, with the entries they use, into a
/// mesh of their own.
std::unique_ptr<ZOV_DFmesh> copySubmesh(const ZOV_DFmesh& mesh, const std::vector<std::uint32_t>& faceIds,
                                        EntryCompactor& vertices, EntryCompactor& normals, EntryCompactor& colors,
                                        std::vector<EntryCompactor>& layers) {
  const bool withNormals = hasDFmeshNormals(mesh), withColors = hasDFmeshColors(mesh);
  const bool withUVs = hasDFmeshUVs(mesh);
  const std::uint32_t extraLayers = extraDFmeshLayers(mesh);

  vertices.begin();
  normals.begin();
  colors.begin();
  for (EntryCompactor& layer : layers) layer.begin();
  for (const std::uint32_t f : faceIds) {
    const DFface& face = mesh.faces[f];
    vertices.use(face.vertices, face.numVertices);
    if (withNormals) normals.use(face.cornerData, face.numVertices);
    if (withColors) colors.use(face.extraIndices, face.numVertices);
    if (withUVs) layers[0].use(face.uvIndices, face.numVertices);
    for (std::uint32_t l = 0; l < extraLayers && l + 1 < face.numLayers; ++l)
      layers[l + 1].use(face.layerUVIndices[l], face.numVertices);
  }

  DFmeshParts parts(static_cast<std::uint32_t>(faceIds.size()));
  const std::vector<std::uint32_t>& usedVertices = vertices.finish();
  gather(parts.vertices, mesh.vertices, usedVertices);
  gather(parts.worldVertices, mesh.worldVertices, usedVertices);
  parts.withNormals = withNormals;
  if (withNormals) gather(parts.normals, mesh.auxPoints, normals.finish());
  parts.withColors = withColors;
  if (withColors) gather(parts.colors, mesh.extraPoints, colors.finish());
  parts.withUVs = withUVs;
  parts.extraLayers = extraLayers;
  if (withUVs) {
    gather(parts.uvs, mesh.uvs, layers[0].finish());
    for (std::uint32_t l = 0; l < extraLayers; ++l) {
      const std::vector<std::uint32_t>& used = layers[l + 1].finish();
      if (mesh.uvLayers[l] != nullptr)
        gather(parts.layers[l], mesh.uvLayers[l], used);
      else
        parts.layers[l].assign(used.size(), MgcVector3::ZERO);
    }
  }

  auto raw = [](std::uint32_t id) { return id; };
  for (std::uint32_t i = 0; i < faceIds.size(); ++i) {
    const std::uint32_t f = faceIds[i];
    copyFace(
        parts.faces[i], mesh.faces[f], [&](std::uint32_t id) { return vertices.map(id); },
        [&](std::uint32_t id) { return withNormals ? normals.map(id) : raw(id); },
        [&](std::uint32_t id) { return withColors ? colors.map(id) : raw(id); },
        [&](std::uint32_t layer, std::uint32_t id) {
          return withUVs && (layer == 0 || layer <= extraLayers) ? layers[layer].map(id) : raw(id);
        });
    parts.faceNormals[i] = faceNormalAt(mesh.faceNormals, f);
    parts.worldFaceNormals[i] = faceNormalAt(mesh.worldFaceNormals, f);
  }
  return assembleDFmesh(parts, mesh);
}

void setPieceNumber(ZOV_DFmesh& mesh, std::size_t place) {
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) mesh.faces[f].pieceId = static_cast<std::uint16_t>(place + 1);
}

}  // namespace

DFmeshPieces BVDFmesh::extractPieces() const {
  if (mesh_ == nullptr || mesh_->numMeshGroups == 0 || !isValidMesh(mesh_)) return {};
  const ZOV_DFmesh& mesh = *mesh_;
  const std::uint32_t count = mesh.numMeshGroups;
  try {
    std::vector<std::vector<std::uint32_t>> facesOf(count);
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      const std::uint32_t piece = mesh.faces[f].pieceId;
      if (piece == 0 || piece > count) return {};
      facesOf[piece - 1].push_back(f);
    }
    EntryCompactor vertices(mesh.numVertices);
    EntryCompactor normals(hasDFmeshNormals(mesh) ? mesh.numAuxPoints : 0);
    EntryCompactor colors(hasDFmeshColors(mesh) ? mesh.numExtraPoints : 0);
    std::vector<EntryCompactor> layers(1 + extraDFmeshLayers(mesh), EntryCompactor(mesh.numUVs));
    DFmeshPieces pieces;
    pieces.reserve(count);
    for (const std::vector<std::uint32_t>& faceIds : facesOf)
      pieces.push_back(copySubmesh(mesh, faceIds, vertices, normals, colors, layers));
    return pieces;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::unique_ptr<ZOV_DFmesh> joinDFmeshes(const ZOV_DFmesh* const* meshes, std::size_t count) {
  const ZOV_DFmesh* first = nullptr;
  std::uint32_t faceCount = 0;
  for (std::size_t m = 0; m < count; ++m) {
    if (meshes[m] == nullptr) continue;
    if (first == nullptr) first = meshes[m];
    faceCount += meshes[m]->numFaces;
  }
  if (first == nullptr) return nullptr;
  try {
    DFmeshParts parts(faceCount);
    for (std::size_t m = 0; m < count; ++m) {
      if (meshes[m] == nullptr) continue;
      const ZOV_DFmesh& mesh = *meshes[m];
      parts.withNormals = parts.withNormals || hasDFmeshNormals(mesh);
      parts.withColors = parts.withColors || hasDFmeshColors(mesh);
      parts.withUVs = parts.withUVs || hasDFmeshUVs(mesh);
      parts.extraLayers = std::max(parts.extraLayers, extraDFmeshLayers(mesh));
    }

    std::uint32_t face = 0;
    for (std::size_t m = 0; m < count; ++m) {
      if (meshes[m] == nullptr) continue;
      const ZOV_DFmesh& mesh = *meshes[m];
      const auto vertexBase = static_cast<std::uint32_t>(parts.vertices.size());
      const auto normalBase = static_cast<std::uint32_t>(parts.normals.size());
      const auto colorBase = static_cast<std::uint32_t>(parts.colors.size());
      // Every layer of the joined mesh has one length; this mesh's entries
      // start after the longest so far.
      std::size_t uvBase = parts.uvs.size();
      for (std::uint32_t l = 0; l < parts.extraLayers; ++l) uvBase = std::max(uvBase, parts.layers[l].size());

      for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
        parts.vertices.push_back(mesh.vertices != nullptr ? mesh.vertices[v] : MgcVector3::ZERO);
        parts.worldVertices.push_back(mesh.worldVertices != nullptr ? mesh.worldVertices[v] : MgcVector3::ZERO);
      }
      if (hasDFmeshNormals(mesh))
        parts.normals.insert(parts.normals.end(), mesh.auxPoints, mesh.auxPoints + mesh.numAuxPoints);
      if (hasDFmeshColors(mesh))
        parts.colors.insert(parts.colors.end(), mesh.extraPoints, mesh.extraPoints + mesh.numExtraPoints);
      const std::uint32_t numUVs = hasDFmeshUVs(mesh) ? mesh.numUVs : 0;
      parts.uvs.resize(uvBase + numUVs);
      for (std::uint32_t i = 0; i < numUVs; ++i) parts.uvs[uvBase + i] = mesh.uvs[i];
      const std::uint32_t meshLayers = extraDFmeshLayers(mesh);
      for (std::uint32_t l = 0; l < parts.extraLayers; ++l) {
        parts.layers[l].resize(uvBase + numUVs);
        if (l < meshLayers && mesh.uvLayers[l] != nullptr)
          for (std::uint32_t i = 0; i < numUVs; ++i) parts.layers[l][uvBase + i] = mesh.uvLayers[l][i];
      }

      const auto uvShift = static_cast<std::uint32_t>(uvBase);
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f, ++face) {
        copyFace(
            parts.faces[face], mesh.faces[f], [&](std::uint32_t id) { return id + vertexBase; },
            [&](std::uint32_t id) { return id + normalBase; }, [&](std::uint32_t id) { return id + colorBase; },
            [&](std::uint32_t, std::uint32_t id) { return id + uvShift; });
        parts.faceNormals[face] = faceNormalAt(mesh.faceNormals, f);
        parts.worldFaceNormals[face] = faceNormalAt(mesh.worldFaceNormals, f);
      }
    }
    return assembleDFmesh(parts, *first);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<ZOV_DFmesh> joinDFmeshes(const ZOV_DFmesh& first, const ZOV_DFmesh& second) {
  const ZOV_DFmesh* both[2] = {&first, &second};
  return joinDFmeshes(both, 2);
}

void BVDFmesh::mergeDegeneratePieces(DFmeshPieces& pieces) {
  std::vector<double> volumes(pieces.size(), 0.0);
  for (std::size_t i = 0; i < pieces.size(); ++i)
    if (pieces[i]) volumes[i] = ComputeMassProperties(*pieces[i], pieces[i]->center);

  for (;;) {
    std::size_t flat = 0;
    while (flat < pieces.size() && !(pieces[flat] && volumes[flat] <= kFlatPieceVolume)) ++flat;
    if (flat == pieces.size()) return;
    const ZOV_DFmesh& flatPiece = *pieces[flat];

    std::size_t host = pieces.size();
    for (std::size_t i = 0; i < pieces.size() && host == pieces.size(); ++i) {
      if (i == flat || !pieces[i] || volumes[i] < kFlatPieceVolume) continue;
      const std::unique_ptr<ZOVmesh> hull = convexHull(pieces[i]->worldVertices, pieces[i]->numVertices);
      if (pointsInsideConvexMesh(hull.get(), flatPiece.worldVertices, flatPiece.numVertices, kEnclosingTolerance))
        host = i;
    }
    if (host == pieces.size()) return;

    std::unique_ptr<ZOV_DFmesh> joined = joinDFmeshes(flatPiece, *pieces[host]);
    if (!joined) return;
    const std::size_t low = std::min(flat, host), high = std::max(flat, host);
    pieces[low] = std::move(joined);
    volumes[low] = ComputeMassProperties(*pieces[low], pieces[low]->center);
    pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(high));
    volumes.erase(volumes.begin() + static_cast<std::ptrdiff_t>(high));
    setPieceNumber(*pieces[low], low);
    for (std::size_t i = high; i < pieces.size(); ++i)
      if (pieces[i]) setPieceNumber(*pieces[i], i);
  }
}
