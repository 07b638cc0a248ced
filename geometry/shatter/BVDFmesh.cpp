#include "geometry/shatter/BVDFmesh.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "geometry/BoxFits.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/Clipper.h"
#include "geometry/shatter/DFmeshArrays.h"
#include "math/MgcMatrix3.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Writes the ids of corner k of `face` into slot `slot` of `edge`.
void writeCornerIds(DFmeshEdge& edge, int slot, const DFface& face, std::uint32_t k) {
  edge.normalIds[slot] = idAt(face.cornerData, k);
  edge.colorIds[slot] = idAt(face.extraIndices, k);
  edge.uvIds[slot] = idAt(face.uvIndices, k);
  for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l) edge.uvSetIds[l][slot] = idAt(face.layerUVIndices[l], k);
}

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
  while (parent[i] != i) {
    parent[i] = parent[parent[i]];
    i = parent[i];
  }
  return i;
}

}  // namespace

BVDFmesh::~BVDFmesh() {
  freeLeaves();
  if (ownership_ == kOwnedRecord) deleteMesh();
  mesh_ = nullptr;
}

bool BVDFmesh::isValidMesh(const ZOV_DFmesh* mesh) {
  if (mesh == nullptr) return false;
  if (mesh->numFaces != 0 && mesh->faces == nullptr) return false;
  if (mesh->numVertices != 0 && (mesh->vertices == nullptr || mesh->worldVertices == nullptr)) return false;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const DFface& face = mesh->faces[f];
    if (face.numVertices != 0 && face.vertices == nullptr) return false;
    for (std::uint32_t k = 0; k < face.numVertices; ++k)
      if (face.vertices[k] >= mesh->numVertices) return false;
  }
  return true;
}

bool BVDFmesh::init(ZOV_DFmesh* mesh, std::uint32_t mode) {
  if (!isValidMesh(mesh)) return false;
  freeLeaves();
  if (mesh != mesh_ && ownership_ == kOwnedRecord) deleteMesh();
  mesh_ = mesh;
  ownership_ = kLentRecord;
  vertexCount_ = mesh->numVertices;
  buildEdgeTables(mode);
  if ((mode & kDFmeshPieces) != 0) labelPieces();
  if ((mode & kDFmeshVolume) != 0) volume_ = ComputeMassProperties(*mesh_, mesh_->center);
  if ((mode & kDFmeshBox) != 0) computeBox();
  return true;
}

void BVDFmesh::computeBox() {
  if (mesh_ == nullptr) return;
  fitOrientedBox(box_, mesh_->numVertices, mesh_->vertices);
}

void BVDFmesh::deleteMesh() {
  delete mesh_;
  mesh_ = nullptr;
  ownership_ = kNoRecord;
}

int BVDFmesh::buildEdgeTables(std::uint32_t mode) {
  flags_ &= ~(kDFmeshEdgesBuilt | kDFmeshIncidenceBuilt);
  edges_.clear();
  if (mesh_ == nullptr) return 0;
  try {
    return buildTables(mode) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    edges_ = {};
    incidence_ = {};
    return 0;
  }
}

bool BVDFmesh::buildTables(std::uint32_t mode) {
  const bool wantEdges = (mode & kDFmeshEdgeTable) != 0;
  const bool wantIncidence = (mode & kDFmeshVertexTable) != 0;
  ZOV_DFmesh& mesh = *mesh_;
  if (wantIncidence) incidence_.assign(vertexCount_, DFmeshVertexIncidence{});

  if (wantEdges) {
    // Every face gets room for one edge number per side.
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      DFface& face = mesh.faces[f];
      if (face.numVertices > face.listCapacity || (face.list == nullptr && face.numVertices != 0)) {
        auto* list = static_cast<std::uint32_t*>(std::calloc(face.numVertices, sizeof(std::uint32_t)));
        if (list == nullptr) throw std::bad_alloc();
        std::free(face.list);
        face.list = list;
        face.listCapacity = face.numVertices;
      }
      face.numList = face.numVertices;
    }
    // An edge stays open until a second face meets its two vertices.
    std::unordered_map<std::uint64_t, std::uint32_t> open;
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      DFface& face = mesh.faces[f];
      for (std::uint32_t i = 0; i < face.numVertices; ++i) {
        const std::uint32_t next = (i + 1) % face.numVertices;
        const std::uint32_t a = face.vertices[i];
        const std::uint32_t b = face.vertices[next];
        const std::uint64_t key =
            (static_cast<std::uint64_t>(std::max(a, b)) << 32) | static_cast<std::uint64_t>(std::min(a, b));
        auto found = open.find(key);
        if (found != open.end()) {
          DFmeshEdge& edge = edges_[found->second];
          edge.face[1] = f;
          edge.slot[1] = i;
          const bool sameWay = edge.vertex[0] == a;
          writeCornerIds(edge, 1, face, sameWay ? i : next);
          writeCornerIds(edge, 3, face, sameWay ? next : i);
          face.list[i] = found->second;
          open.erase(found);
          continue;
        }
        DFmeshEdge edge{};
        edge.vertex[0] = a;
        edge.vertex[1] = b;
        writeCornerIds(edge, 0, face, i);
        writeCornerIds(edge, 2, face, next);
        edge.face[0] = edge.face[1] = f;
        edge.slot[0] = edge.slot[1] = i;
        edge.orientation[0] = edge.orientation[1] = 1;
        const auto index = static_cast<std::uint32_t>(edges_.size());
        edges_.push_back(edge);
        open.emplace(key, index);
        face.list[i] = index;
      }
    }
    flags_ |= kDFmeshEdgesBuilt;
  }

  if (wantIncidence) {
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      const DFface& face = mesh.faces[f];
      for (std::uint32_t i = 0; i < face.numVertices; ++i) incidence_[face.vertices[i]].faces.push_back(f);
    }
    if (wantEdges) {
      for (std::uint32_t e = 0; e < edges_.size(); ++e) {
        incidence_[edges_[e].vertex[0]].edges.push_back(e);
        if (edges_[e].vertex[1] != edges_[e].vertex[0]) incidence_[edges_[e].vertex[1]].edges.push_back(e);
      }
    }
    flags_ |= kDFmeshIncidenceBuilt;
  }
  return true;
}

void BVDFmesh::labelPieces() {
  if (mesh_ == nullptr) return;
  if ((flags_ & kDFmeshEdgesBuilt) == 0) buildEdgeTables(kDFmeshEdgeTable);
  ZOV_DFmesh& mesh = *mesh_;
  if ((flags_ & kDFmeshEdgesBuilt) == 0) return;

  // Flood through edges with two different faces, wave by wave.
  std::vector<std::uint32_t> label(mesh.numFaces, 0);
  std::vector<std::uint32_t> wave, nextWave;
  std::uint32_t pieces = 0;
  for (std::uint32_t seed = 0; seed < mesh.numFaces; ++seed) {
    if (label[seed] != 0) continue;
    label[seed] = ++pieces;
    wave.assign(1, seed);
    while (!wave.empty()) {
      nextWave.clear();
      for (const std::uint32_t f : wave) {
        const DFface& face = mesh.faces[f];
        for (std::uint32_t i = 0; i < face.numList; ++i) {
          const DFmeshEdge& edge = edges_[face.list[i]];
          if (edge.face[0] == edge.face[1]) continue;
          const std::uint32_t other = edge.face[0] == f ? edge.face[1] : edge.face[0];
          if (label[other] != 0) continue;
          label[other] = pieces;
          nextWave.push_back(other);
        }
      }
      wave.swap(nextWave);
    }
  }

  // Pieces that share a vertex are one piece; the joined pieces keep the
  // lowest number and the numbers above close up, in their order.
  std::vector<std::uint32_t> parent(pieces + 1);
  std::iota(parent.begin(), parent.end(), 0u);
  std::vector<std::uint32_t> vertexLabel(mesh.numVertices, 0);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    for (std::uint32_t i = 0; i < face.numVertices; ++i) {
      std::uint32_t& held = vertexLabel[face.vertices[i]];
      if (held == 0) {
        held = label[f];
        continue;
      }
      const std::uint32_t a = findRoot(parent, held), b = findRoot(parent, label[f]);
      if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
  }
  std::vector<std::uint32_t> number(pieces + 1, 0);
  std::uint32_t count = 0;
  for (std::uint32_t p = 1; p <= pieces; ++p)
    if (findRoot(parent, p) == p) number[p] = ++count;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    mesh.faces[f].pieceId = static_cast<std::uint16_t>(number[findRoot(parent, label[f])]);
  mesh.numMeshGroups = count;
}

void BVDFmesh::initClipper() {
  delete clipper_;
  clipper_ = new (std::nothrow) Clipper;
  if (clipper_ == nullptr) return;
  // A cut starts with every edge of the structure live.
  if (mesh_ != nullptr) markEdgesLive();
  clipper_->init(mesh_);
}

void BVDFmesh::markEdgesLive() {
  for (DFmeshEdge& edge : edges_) edge.live = 1;
}

void BVDFmesh::finishCut(int result) {
  if (result == kClipCut && mesh_ != nullptr && clipper_ != nullptr) {
    ZOV_DFmesh& mesh = *mesh_;
    const double scale = clipper_->getScale();
    for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
      mesh.vertices[v] /= scale;
      mesh.worldVertices[v] /= scale;
    }
    mesh.center /= scale;

    // Faces of fewer than 3 corners go; the rest keep their order.
    const Mgc::MgcMatrix3 toLocal = mesh.rotation.Transpose();
    std::uint32_t kept = 0;
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      if (mesh.faces[f].numVertices < 3) continue;
      if (kept != f) {
        swapDFfaces(mesh.faces[kept], mesh.faces[f]);
        mesh.worldFaceNormals[kept] = mesh.worldFaceNormals[f];
      }
      MgcVector3 local = toLocal * mesh.worldFaceNormals[kept];
      local.Unitize(zov::kUnitizeTolerance);
      mesh.faceNormals[kept] = local;
      ++kept;
    }
    mesh.numFaces = kept;
  }
  freeLeaves();
}

void BVDFmesh::freeLeaves() {
  edges_ = {};
  incidence_ = {};
  flags_ &= ~(kDFmeshEdgesBuilt | kDFmeshIncidenceBuilt);
  delete clipper_;
  clipper_ = nullptr;
}
