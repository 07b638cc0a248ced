#include "geometry/BVmesh.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/MeshTransforms.h"
#include "geometry/PointInsideMesh.h"
#include "geometry/shatter/Clipper.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Vertex budget of the approximate hull: larger meshes are sampled down to it.
constexpr std::uint32_t kApproxHullVertices = 512;

/// An edge while the edge pass runs: its record and where it sits in its faces.
struct EdgeBuild {
  connect_edge edge;
  std::uint32_t sideOnFaceA;
  std::uint32_t sideOnFaceB;
  bool closed;
};

/// The convex hull that copyAprox binds, null when none can be built.
std::unique_ptr<ZOVmesh> approximateHull(const ZOVmesh& mesh) {
  if (mesh.numVertices > kApproxHullVertices) {
    std::vector<MgcVector3> sample(kApproxHullVertices);
    const std::uint32_t count = sampleMeshVertices(&mesh, kApproxHullVertices, sample.data());
    return convexHull(sample.data(), count);
  }
  return convexHull(mesh.worldVertices, mesh.numVertices);
}

/// Word-by-word FNV-1a over a run of 32-bit values.
std::uint64_t hashWords(std::uint64_t hash, const std::uint32_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= words[i];
    hash *= 1099511628211ull;
  }
  return hash;
}
constexpr std::uint64_t kHashStart = 14695981039346656037ull;

std::uint64_t hashOf(const BVmesh::EdgeTable& table) {
  std::uint64_t hash = kHashStart;
  for (const connect_edge& e : table.edges) {
    const std::uint32_t words[] = {e.vertexA,    e.vertexB,    e.uvAonFaceA, e.uvBonFaceA,
                                   e.uvAonFaceB, e.uvBonFaceB, e.faceA,      e.faceB};
    hash = hashWords(hash, words, 8);
  }
  return hash;
}

bool sameTable(const BVmesh::EdgeTable& a, const BVmesh::EdgeTable& b) {
  return std::equal(a.edges.begin(), a.edges.end(), b.edges.begin(), b.edges.end(),
                    [](const connect_edge& x, const connect_edge& y) {
                      return x.vertexA == y.vertexA && x.vertexB == y.vertexB && x.uvAonFaceA == y.uvAonFaceA &&
                             x.uvBonFaceA == y.uvBonFaceA && x.uvAonFaceB == y.uvAonFaceB &&
                             x.uvBonFaceB == y.uvBonFaceB && x.faceA == y.faceA && x.faceB == y.faceB;
                    });
}

/// Where a record's list starts in its pool; the end of the pool for a
/// record without one.
std::uint32_t poolOffset(const std::uint32_t* list, const std::vector<std::uint32_t>& pool) {
  return static_cast<std::uint32_t>(list != nullptr ? list - pool.data() : pool.size());
}

std::uint64_t hashOf(const BVmesh::VertexTable& table) {
  std::uint64_t hash = kHashStart;
  for (const connect_vertex& v : table.records) {
    const std::uint32_t words[] = {v.numFaces, poolOffset(v.faces, table.facePool), v.numEdges,
                                   poolOffset(v.edges, table.edgePool)};
    hash = hashWords(hash, words, 4);
  }
  hash = hashWords(hash, table.facePool.data(), table.facePool.size());
  return hashWords(hash, table.edgePool.data(), table.edgePool.size());
}

bool sameTable(const BVmesh::VertexTable& a, const BVmesh::VertexTable& b) {
  if (a.facePool != b.facePool || a.edgePool != b.edgePool || a.records.size() != b.records.size()) return false;
  for (std::size_t i = 0; i < a.records.size(); ++i) {
    const connect_vertex& x = a.records[i];
    const connect_vertex& y = b.records[i];
    if (x.numFaces != y.numFaces || x.numEdges != y.numEdges ||
        poolOffset(x.faces, a.facePool) != poolOffset(y.faces, b.facePool) ||
        poolOffset(x.edges, a.edgePool) != poolOffset(y.edges, b.edgePool)) {
      return false;
    }
  }
  return true;
}

/// The tables in use by some volume, by their hash: a table equal to one of
/// them is shared instead of kept twice. Volumes are built on any thread.
/// Each table leaves the registry as its last volume lets go of it.
template <typename Table>
class TableRegistry {
 public:
  static TableRegistry& instance() {
    // Never destroyed, so that volumes freed during the process's exit
    // still find it.
    static TableRegistry* registry = new TableRegistry;
    return *registry;
  }

  /// The table equal to `table` that some volume holds, or `table` made
  /// shareable.
  std::shared_ptr<const Table> share(Table&& table) {
    const std::uint64_t hash = hashOf(table);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (std::shared_ptr<const Table> held = find(hash, table)) return held;
    }
    // Made outside the lock: a failed allocation below frees the table
    // through its deleter, which takes the lock.
    const Table* made = new Table(std::move(table));
    const std::shared_ptr<const Table> shared(made, [hash](const Table* gone) {
      instance().forget(hash, gone);
      delete gone;
    });
    const std::lock_guard<std::mutex> lock(mutex_);
    // Another thread may have shared an equal table meanwhile.
    if (std::shared_ptr<const Table> held = find(hash, *made)) return held;
    tables_.emplace(hash, std::make_pair(made, std::weak_ptr<const Table>(shared)));
    return shared;
  }

 private:
  /// A held table with this hash equal to `table`, or null; under the lock.
  /// Every table listed is alive while the lock is held (its deleter takes
  /// the lock before it frees it), so tables are compared through their
  /// pointers and only the match is taken: a reference taken here and let
  /// go could be the last and run the deleter under the lock.
  std::shared_ptr<const Table> find(std::uint64_t hash, const Table& table) {
    const auto range = tables_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (!sameTable(*it->second.first, table)) continue;
      // Null when its last volume let go and its deleter waits for the lock.
      if (std::shared_ptr<const Table> held = it->second.second.lock()) return held;
    }
    return nullptr;
  }

  void forget(std::uint64_t hash, const Table* gone) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto range = tables_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second.first == gone) {
        tables_.erase(it);
        return;
      }
    }
  }

  std::mutex mutex_;
  std::unordered_multimap<std::uint64_t, std::pair<const Table*, std::weak_ptr<const Table>>> tables_;
};

}  // namespace

BVmesh::BVmesh(ZOVmesh* mesh) : ownership_(mesh != nullptr ? kLentRecord : kNoRecord), mesh_(mesh) {}

BVmesh::~BVmesh() {
  destroy();
  deleteMesh();
}

bool BVmesh::isValidMesh(const ZOVmesh* mesh) {
  if (mesh == nullptr) return false;
  if (mesh->numFaces != 0 && mesh->faces == nullptr) return false;
  if (mesh->numVertices != 0 && mesh->vertices == nullptr) return false;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const mesh_face& face = mesh->faces[f];
    if (face.numVertices > kMaxFaceCorners || face.numVertices > face.cornerCapacity) return false;
    for (std::uint32_t k = 0; k < face.numVertices; ++k)
      if (face.vertices[k] >= mesh->numVertices) return false;
  }
  return true;
}

bool BVmesh::init(ZOVmesh* mesh, int mode) {
  if (!isValidMesh(mesh)) {
    deleteMesh();
    return false;
  }
  // Rebinding the volume's own mesh must not turn an owned mesh into a lent
  // one, which nobody would free.
  const bool keepsOwnedMesh = mesh == mesh_ && ownership_ == kOwnedRecord;
  if (mesh != mesh_) deleteMesh();
  bindAndBuild(mesh, keepsOwnedMesh ? kOwnedRecord : kLentRecord, mode);
  return true;
}

bool BVmesh::copyAprox(ZOVmesh* mesh, int mode) {
  std::unique_ptr<ZOVmesh> hull = isValidMesh(mesh) ? approximateHull(*mesh) : nullptr;
  if (hull != nullptr) {
    hull->worldVertices = static_cast<MgcVector3*>(std::malloc(hull->numVertices * sizeof(MgcVector3)));
    if (hull->worldVertices == nullptr) hull.reset();
  }
  // The hull replaces whatever was bound, the source mesh included when the
  // volume held it; with no hull nothing stays bound.
  deleteMesh();
  if (hull == nullptr) return false;
  std::memcpy(hull->worldVertices, hull->vertices, hull->numVertices * sizeof(MgcVector3));
  bindAndBuild(hull.release(), kOwnedRecord, mode);
  return true;
}

bool BVmesh::createMesh() {
  deleteMesh();
  mesh_ = new (std::nothrow) ZOVmesh;
  if (mesh_ == nullptr) return false;
  ownership_ = kOwnedRecord;
  return true;
}

void BVmesh::deleteMesh() {
  freeTables();
  // The clipper was prepared for this mesh.
  delete clipper_;
  clipper_ = nullptr;
  if (ownership_ == kOwnedRecord) delete mesh_;
  mesh_ = nullptr;
  ownership_ = kNoRecord;
}

void BVmesh::destroy() {
  freeTables();
  delete clipper_;
  clipper_ = nullptr;
}

void BVmesh::freeTables() {
  edgeTable_.reset();
  vertexTable_.reset();
  numEdges_ = 0;
  numVertices_ = 0;
  connectFlags_ &= ~(kConnectEdges | kConnectVertex);
}

void BVmesh::bindAndBuild(ZOVmesh* mesh, std::int32_t ownership, int mode) {
  freeTables();
  mesh_ = mesh;
  ownership_ = ownership;
  numVertices_ = mesh->numVertices;
  prepareMesh(mode);
  if ((mode & kMeshGroups) != 0) labelGroups();
  if ((mode & kMeshVolume) != 0) computeVolume();
}

bool BVmesh::prepareMesh(int mode) {
  connectFlags_ &= ~(kConnectEdges | kConnectVertex);
  if (!isValidMesh(mesh_)) return false;
  if (numVertices_ != mesh_->numVertices) {
    // The mesh changed size since it was bound: the old vertex table no
    // longer matches it.
    vertexTable_.reset();
    numVertices_ = mesh_->numVertices;
  }
  try {
    return buildTables(mode);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool BVmesh::buildTables(int mode) {
  const bool wantEdges = (mode & kMeshEdgeTable) != 0;
  const bool wantVertices = (mode & kMeshVertexTable) != 0;
  ZOVmesh& mesh = *mesh_;
  const bool hasUVs = mesh.numUVs != 0;

  // Per-vertex counts, gathered by the edge pass.
  std::vector<std::uint32_t> facesAtVertex(wantVertices ? numVertices_ : 0, 0);
  std::vector<std::uint32_t> edgesAtVertex(wantVertices ? numVertices_ : 0, 0);

  EdgeTable edgeTable;
  if (wantEdges) {
    // An edge stays open until a second face meets it (in either direction).
    // A side closes the most recently opened matching edge, so a third face
    // on the same two vertices opens an edge of its own.
    std::vector<EdgeBuild> edges;
    std::vector<std::vector<std::uint32_t>> openAt(numVertices_);  // by the smaller end
    std::vector<std::uint32_t> closingOrder;
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) mesh.faces[f].numEdges = 0;

    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      mesh_face& face = mesh.faces[f];
      for (std::uint32_t k = 0; k < face.numVertices; ++k) {
        const std::uint32_t next = (k + 1) % face.numVertices;
        const std::uint32_t a = face.vertices[k];
        const std::uint32_t b = face.vertices[next];
        const std::uint32_t uvA = hasUVs ? face.uvIndices[k] : 0;
        const std::uint32_t uvB = hasUVs ? face.uvIndices[next] : 0;
        if (wantVertices) ++facesAtVertex[a];

        std::vector<std::uint32_t>& open = openAt[a < b ? a : b];
        const std::uint32_t other = a < b ? b : a;
        std::size_t found = open.size();
        for (std::size_t i = open.size(); i-- > 0;) {
          const connect_edge& e = edges[open[i]].edge;
          if ((e.vertexA < e.vertexB ? e.vertexB : e.vertexA) == other) {
            found = i;
            break;
          }
        }
        if (found != open.size()) {
          const std::uint32_t index = open[found];
          open.erase(open.begin() + static_cast<std::ptrdiff_t>(found));
          EdgeBuild& build = edges[index];
          build.edge.faceB = f;
          build.sideOnFaceB = face.numEdges;
          build.closed = true;
          const bool sameOrder = build.edge.vertexA == a;
          build.edge.uvAonFaceB = sameOrder ? uvA : uvB;
          build.edge.uvBonFaceB = sameOrder ? uvB : uvA;
          closingOrder.push_back(index);
        } else {
          const std::uint32_t index = static_cast<std::uint32_t>(edges.size());
          edges.push_back(EdgeBuild{connect_edge{a, b, uvA, uvB, uvA, uvB, f, f}, face.numEdges, face.numEdges, false});
          open.push_back(index);
          if (wantVertices) {
            ++edgesAtVertex[a];
            ++edgesAtVertex[b];
          }
        }
        ++face.numEdges;
      }
    }
    if (edges.empty()) return false;

    // Border edges (still open) come first in the order they were made, then
    // the closed edges in the order they closed.
    std::vector<std::uint32_t> order;
    order.reserve(edges.size());
    for (std::uint32_t i = 0; i < edges.size(); ++i)
      if (!edges[i].closed) order.push_back(i);
    order.insert(order.end(), closingOrder.begin(), closingOrder.end());

    edgeTable.edges.resize(edges.size());
    for (std::uint32_t index = 0; index < order.size(); ++index) {
      const EdgeBuild& build = edges[order[index]];
      edgeTable.edges[index] = build.edge;
      mesh.faces[build.edge.faceA].edges[build.sideOnFaceA] = index;
      mesh.faces[build.edge.faceB].edges[build.sideOnFaceB] = index;
    }
  }

  VertexTable vertexTable;
  std::vector<std::uint32_t>& facePool = vertexTable.facePool;
  std::vector<std::uint32_t>& edgePool = vertexTable.edgePool;
  if (wantVertices) {
    std::size_t totalFaces = 0, totalEdges = 0;
    for (std::uint32_t v = 0; v < numVertices_; ++v) {
      totalFaces += facesAtVertex[v];
      totalEdges += edgesAtVertex[v];
    }
    facePool.resize(totalFaces);
    edgePool.resize(totalEdges);
    std::vector<connect_vertex>& records = vertexTable.records;
    records.assign(numVertices_, connect_vertex{0, nullptr, 0, nullptr});
    std::size_t faceOffset = 0, edgeOffset = 0;
    for (std::uint32_t v = 0; v < numVertices_; ++v) {
      if (facesAtVertex[v] != 0) records[v].faces = facePool.data() + faceOffset;
      if (edgesAtVertex[v] != 0) records[v].edges = edgePool.data() + edgeOffset;
      faceOffset += facesAtVertex[v];
      edgeOffset += edgesAtVertex[v];
    }
    if (wantEdges) {
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
        const mesh_face& face = mesh.faces[f];
        for (std::uint32_t k = 0; k < face.numVertices; ++k) {
          connect_vertex& record = records[face.vertices[k]];
          if (record.numFaces < facesAtVertex[face.vertices[k]]) record.faces[record.numFaces++] = f;
        }
      }
      for (std::uint32_t e = 0; e < edgeTable.edges.size(); ++e) {
        for (const std::uint32_t end : {edgeTable.edges[e].vertexA, edgeTable.edges[e].vertexB}) {
          connect_vertex& record = records[end];
          if (record.numEdges < edgesAtVertex[end]) record.edges[record.numEdges++] = e;
        }
      }
    }
  }

  // Both tables are shared before either replaces its old one, so that a
  // failed allocation leaves the volume as it was.
  std::shared_ptr<const EdgeTable> sharedEdges =
      wantEdges ? TableRegistry<EdgeTable>::instance().share(std::move(edgeTable)) : nullptr;
  std::shared_ptr<const VertexTable> sharedVertices =
      wantVertices ? TableRegistry<VertexTable>::instance().share(std::move(vertexTable)) : nullptr;
  if (wantEdges) {
    edgeTable_ = std::move(sharedEdges);
    numEdges_ = static_cast<std::uint32_t>(edgeTable_->edges.size());
    connectFlags_ |= kConnectEdges;
  }
  if (wantVertices) {
    vertexTable_ = std::move(sharedVertices);
    connectFlags_ |= kConnectVertex;
  }
  return true;
}

void BVmesh::labelGroups() {
  if (!isConnectEdges()) prepareMesh(kMeshEdgeTable);
  if (!isConnectEdges()) return;
  ZOVmesh& mesh = *mesh_;
  // Labels are counted here rather than in the 16-bit face field, so that a
  // mesh of more groups than that field holds cannot revisit faces forever.
  std::vector<std::uint32_t> label(mesh.numFaces, 0);
  std::vector<std::uint32_t> wave, nextWave;
  std::uint32_t groups = 0;
  for (std::uint32_t seed = 0; seed < mesh.numFaces; ++seed) {
    if (label[seed] != 0) continue;
    label[seed] = ++groups;
    wave.assign(1, seed);
    while (!wave.empty()) {
      nextWave.clear();
      for (const std::uint32_t f : wave) {
        const mesh_face& face = mesh.faces[f];
        for (std::uint32_t k = 0; k < face.numEdges; ++k) {
          const connect_edge& edge = edgeTable_->edges[face.edges[k]];
          if (edge.faceA == edge.faceB) continue;
          const std::uint32_t neighbour = edge.faceA == f ? edge.faceB : edge.faceA;
          if (label[neighbour] != 0) continue;
          label[neighbour] = groups;
          nextWave.push_back(neighbour);
        }
      }
      wave.swap(nextWave);
    }
  }
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) mesh.faces[f].groupId = static_cast<std::uint16_t>(label[f]);
  mesh.numMeshGroups = groups;
}

void BVmesh::computeVolume() { volume_ = mesh_ != nullptr ? ComputeMassProperties(*mesh_, mesh_->center) : 0.0; }

MgcVector3 BVmesh::computeFaceCenter(std::uint32_t face) const {
  if (mesh_ == nullptr || mesh_->worldVertices == nullptr || face >= mesh_->numFaces) return MgcVector3::ZERO;
  const mesh_face& record = mesh_->faces[face];
  if (record.numVertices == 0) return MgcVector3::ZERO;
  MgcVector3 sum;
  for (std::uint32_t k = 0; k < record.numVertices; ++k) sum += mesh_->worldVertices[record.vertices[k]];
  return sum / static_cast<double>(record.numVertices);
}

std::uint32_t BVmesh::computeVertexes(MgcVector3* /*out*/) const { return mesh_ != nullptr ? mesh_->numVertices : 0; }

MgcVector3 BVmesh::getCenter() const { return mesh_ != nullptr ? mesh_->worldCenter : MgcVector3::ZERO; }

void BVmesh::setCenter(const MgcVector3& center) {
  if (mesh_ != nullptr) mesh_->worldCenter = center;
}

void BVmesh::translate(const MgcVector3& t) {
  if (mesh_ != nullptr) mesh_->center += t;
}

MgcVector3 BVmesh::getAxis(int i) const { return orientation_.GetColumn(i == 1 || i == 2 ? i : 0); }

std::uint32_t BVmesh::getNumMeshGroups() const { return mesh_ != nullptr ? mesh_->numMeshGroups : 0; }

void BVmesh::transformSRT(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  meshTransformSRT(mesh_, t, R, s);
}

void BVmesh::transformTRS(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s) {
  meshTransformTRS(mesh_, t, R, s);
}

int BVmesh::clip(const MgcVector3& normal, const MgcVector3& point, int mode) {
  if (clipper_ == nullptr) return 0;
  return clipper_->clip(mesh_, normal, point, mode);
}

void BVmesh::initClipper() {
  delete clipper_;
  clipper_ = new (std::nothrow) Clipper;
  if (clipper_ != nullptr) clipper_->init(this);
}

void BVmesh::finishCut(int result) {
  if (result != kClipCut || mesh_ == nullptr || clipper_ == nullptr) return;
  const double scale = clipper_->getScale();
  ZOVmesh& mesh = *mesh_;
  for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
    mesh.vertices[v] /= scale;
    mesh.worldVertices[v] /= scale;
  }
  mesh.worldCenter /= scale;
  freeTables();
  numVertices_ = mesh.numVertices;
}

namespace {

/// A malloc'd array of n elements (zeroed); throws std::bad_alloc on failure.
template <typename T>
T* allocateArray(std::size_t n) {
  if (n == 0) return nullptr;
  T* array = static_cast<T*>(std::calloc(n, sizeof(T)));
  if (array == nullptr) throw std::bad_alloc();
  return array;
}

/// The fields that carry over from a source mesh to a mesh made from it.
void copyPlacement(const ZOVmesh& from, ZOVmesh& to) {
  to.rotation = from.rotation;
  to.translation = from.translation;
  to.scale = from.scale;
  to.center = from.center;
  to.worldCenter = from.worldCenter;
  to.radius = from.radius;
  to.worldRadius = from.worldRadius;
  to.meshFlags = from.meshFlags;
}

}  // namespace

std::vector<std::unique_ptr<ZOVmesh>> BVmesh::splitGroups() {
  std::vector<std::unique_ptr<ZOVmesh>> groups;
  if (mesh_ == nullptr || !isValidMesh(mesh_)) return groups;
  if (mesh_->numMeshGroups == 0) labelGroups();
  const ZOVmesh& mesh = *mesh_;
  const std::uint32_t count = mesh.numMeshGroups;
  const bool hasUVs = mesh.numUVs != 0 && mesh.uvs != nullptr;
  try {
    std::vector<std::uint32_t> vertexMap(mesh.numVertices), uvMap(hasUVs ? mesh.numUVs : 0);
    for (std::uint32_t group = 1; group <= count; ++group) {
      // Entries used by the group's faces keep their order.
      std::fill(vertexMap.begin(), vertexMap.end(), zov::kNoIndex);
      std::fill(uvMap.begin(), uvMap.end(), zov::kNoIndex);
      std::uint32_t numFaces = 0;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
        const mesh_face& face = mesh.faces[f];
        if (face.groupId != group) continue;
        ++numFaces;
        for (std::uint32_t k = 0; k < face.numVertices; ++k) {
          vertexMap[face.vertices[k]] = 0;
          if (hasUVs && face.uvIndices[k] < mesh.numUVs) uvMap[face.uvIndices[k]] = 0;
        }
      }
      std::uint32_t numVertices = 0, numUVs = 0;
      for (std::uint32_t& slot : vertexMap)
        if (slot == 0) slot = numVertices++;
      for (std::uint32_t& slot : uvMap)
        if (slot == 0) slot = numUVs++;

      auto part = std::make_unique<ZOVmesh>();
      copyPlacement(mesh, *part);
      part->numMeshGroups = 1;
      part->vertices = allocateArray<MgcVector3>(numVertices);
      part->worldVertices = allocateArray<MgcVector3>(numVertices);
      part->numVertices = numVertices;
      part->faces = allocateArray<mesh_face>(numFaces);
      part->faceNormals = allocateArray<MgcVector3>(numFaces);
      part->worldFaceNormals = allocateArray<MgcVector3>(numFaces);
      part->numFaces = numFaces;
      if (numFaces != 0) {
        std::vector<std::uint32_t> capacities;
        capacities.reserve(numFaces);
        for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
          if (mesh.faces[f].groupId == group) capacities.push_back(mesh.faces[f].cornerCapacity);
        if (!allocateFaceCorners(*part, capacities.data())) throw std::bad_alloc();
      }
      if (hasUVs) {
        part->uvs = allocateArray<MgcVector3>(numUVs);
        part->numUVs = numUVs;
      }
      for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
        if (vertexMap[v] == zov::kNoIndex) continue;
        part->vertices[vertexMap[v]] = mesh.vertices[v];
        part->worldVertices[vertexMap[v]] = mesh.worldVertices != nullptr ? mesh.worldVertices[v] : mesh.vertices[v];
      }
      for (std::uint32_t u = 0; u < uvMap.size(); ++u)
        if (uvMap[u] != zov::kNoIndex) part->uvs[uvMap[u]] = mesh.uvs[u];
      std::uint32_t written = 0;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
        const mesh_face& face = mesh.faces[f];
        if (face.groupId != group) continue;
        mesh_face& out = part->faces[written];
        copyFace(out, face);
        out.numEdges = 0;
        for (std::uint32_t k = 0; k < face.numVertices; ++k) {
          out.vertices[k] = vertexMap[face.vertices[k]];
          out.uvIndices[k] = hasUVs && face.uvIndices[k] < mesh.numUVs ? uvMap[face.uvIndices[k]] : 0;
        }
        if (mesh.faceNormals != nullptr) part->faceNormals[written] = mesh.faceNormals[f];
        if (mesh.worldFaceNormals != nullptr) part->worldFaceNormals[written] = mesh.worldFaceNormals[f];
        ++written;
      }
      groups.push_back(std::move(part));
    }
  } catch (const std::bad_alloc&) {
    groups.clear();
  }
  return groups;
}

std::unique_ptr<ZOVmesh> BVmesh::joinMeshes(const ZOVmesh& a, const ZOVmesh& b) {
  try {
    auto joined = std::make_unique<ZOVmesh>();
    copyPlacement(a, *joined);
    const std::uint32_t numVertices = a.numVertices + b.numVertices;
    const std::uint32_t numFaces = a.numFaces + b.numFaces;
    const std::uint32_t numUVs = a.numUVs + b.numUVs;
    joined->vertices = allocateArray<MgcVector3>(numVertices);
    joined->worldVertices = allocateArray<MgcVector3>(numVertices);
    joined->numVertices = numVertices;
    joined->faces = allocateArray<mesh_face>(numFaces);
    joined->faceNormals = allocateArray<MgcVector3>(numFaces);
    joined->worldFaceNormals = allocateArray<MgcVector3>(numFaces);
    joined->numFaces = numFaces;
    if (numFaces != 0) {
      std::vector<std::uint32_t> capacities;
      capacities.reserve(numFaces);
      for (std::uint32_t f = 0; f < a.numFaces; ++f) capacities.push_back(a.faces[f].cornerCapacity);
      for (std::uint32_t f = 0; f < b.numFaces; ++f) capacities.push_back(b.faces[f].cornerCapacity);
      if (!allocateFaceCorners(*joined, capacities.data())) throw std::bad_alloc();
    }
    if (numUVs != 0) {
      joined->uvs = allocateArray<MgcVector3>(numUVs);
      joined->numUVs = numUVs;
    }
    auto copyVectors = [](MgcVector3* to, const MgcVector3* from, std::uint32_t n) {
      if (from != nullptr && n != 0) std::memcpy(static_cast<void*>(to), from, n * sizeof(MgcVector3));
    };
    copyVectors(joined->vertices, a.vertices, a.numVertices);
    copyVectors(joined->vertices + a.numVertices, b.vertices, b.numVertices);
    copyVectors(joined->worldVertices, a.worldVertices, a.numVertices);
    copyVectors(joined->worldVertices + a.numVertices, b.worldVertices, b.numVertices);
    copyVectors(joined->faceNormals, a.faceNormals, a.numFaces);
    copyVectors(joined->faceNormals + a.numFaces, b.faceNormals, b.numFaces);
    copyVectors(joined->worldFaceNormals, a.worldFaceNormals, a.numFaces);
    copyVectors(joined->worldFaceNormals + a.numFaces, b.worldFaceNormals, b.numFaces);
    if (numUVs != 0) {
      copyVectors(joined->uvs, a.uvs, a.numUVs);
      copyVectors(joined->uvs + a.numUVs, b.uvs, b.numUVs);
    }
    for (std::uint32_t f = 0; f < a.numFaces; ++f) {
      copyFace(joined->faces[f], a.faces[f]);
      joined->faces[f].numEdges = 0;
    }
    for (std::uint32_t f = 0; f < b.numFaces; ++f) {
      mesh_face& out = joined->faces[a.numFaces + f];
      copyFace(out, b.faces[f]);
      out.numEdges = 0;
      for (std::uint32_t k = 0; k < out.numVertices; ++k) {
        out.vertices[k] += a.numVertices;
        out.uvIndices[k] += a.numUVs;
      }
    }
    return joined;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::uint32_t BVmesh::mergeNestedGroups(std::vector<std::unique_ptr<ZOVmesh>>& groups) {
  constexpr double kInsideTolerance = 1e-5;
  auto liesInside = [&](const ZOVmesh& inner, const ZOVmesh& outer) {
    if (inner.worldVertices == nullptr) return false;
    for (std::uint32_t v = 0; v < inner.numVertices; ++v)
      if (!pointInsideConvexMesh(inner.worldVertices[v], outer, kInsideTolerance)) return false;
    return true;
  };
  std::uint32_t joins = 0;
  for (bool joined = true; joined;) {
    joined = false;
    for (std::size_t outer = 0; outer < groups.size() && !joined; ++outer) {
      for (std::size_t inner = 0; inner < groups.size() && !joined; ++inner) {
        if (inner == outer || groups[inner] == nullptr || groups[outer] == nullptr) continue;
        if (!liesInside(*groups[inner], *groups[outer])) continue;
        std::unique_ptr<ZOVmesh> both = joinMeshes(*groups[outer], *groups[inner]);
        if (both == nullptr) return joins;
        groups[outer] = std::move(both);
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(inner));
        ++joins;
        joined = true;
      }
    }
  }
  return joins;
}
