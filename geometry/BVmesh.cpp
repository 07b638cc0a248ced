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
#include "geometry/SharedFaces.h"
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

/// The vertex table while it is built: each record's `faces` and `edges`
/// point into the two pools.
struct VertexTable {
  std::vector<connect_vertex> records;
  std::vector<std::uint32_t> facePool;
  std::vector<std::uint32_t> edgePool;
};

/// Word-by-word FNV-1a over a run of 32-bit values.
std::uint64_t hashWords(std::uint64_t hash, const std::uint32_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    hash ^= words[i];
    hash *= 1099511628211ull;
  }
  return hash;
}
constexpr std::uint64_t kHashStart = 14695981039346656037ull;

/// Where a record's list starts in its pool; the end of the pool for a
/// record without one.
std::uint32_t poolOffset(const std::uint32_t* list, const std::uint32_t* pool, std::uint32_t poolSize) {
  return static_cast<std::uint32_t>(list != nullptr ? list - pool : poolSize);
}

bool sameEdge(const connect_edge& x, const connect_edge& y) {
  return x.vertexA == y.vertexA && x.vertexB == y.vertexB && x.uvAonFaceA == y.uvAonFaceA &&
         x.uvBonFaceA == y.uvBonFaceA && x.uvAonFaceB == y.uvAonFaceB && x.uvBonFaceB == y.uvBonFaceB &&
         x.faceA == y.faceA && x.faceB == y.faceB;
}

/// A shared table: this header, then the table in the same block: the edge
/// records, or the vertex records followed by their face pool and edge pool.
struct TableBlock {
  std::uint64_t hash;
  /// Volumes that hold the table; changed under the registry's lock only.
  std::uint32_t holders;
  /// 0 for an edge table, 1 for a vertex table.
  std::uint32_t kind;
  std::uint32_t records;
  std::uint32_t facePoolSize;
  std::uint32_t edgePoolSize;
};
constexpr std::uint32_t kEdgeBlock = 0;
constexpr std::uint32_t kVertexBlock = 1;
/// Where the records start: past the header, aligned for either kind.
constexpr std::size_t kRecordsAt =
    (sizeof(TableBlock) + alignof(connect_vertex) - 1) / alignof(connect_vertex) * alignof(connect_vertex);
static_assert(kRecordsAt % alignof(connect_edge) == 0 && kRecordsAt % alignof(connect_vertex) == 0);

template <typename Record>
const Record* recordsOf(const TableBlock* block) {
  return reinterpret_cast<const Record*>(reinterpret_cast<const char*>(block) + kRecordsAt);
}
template <typename Record>
const TableBlock* blockOf(const Record* records) {
  return reinterpret_cast<const TableBlock*>(reinterpret_cast<const char*>(records) - kRecordsAt);
}
/// The face pool of a vertex block; its edge pool follows it.
const std::uint32_t* facePoolOf(const TableBlock* block) {
  return reinterpret_cast<const std::uint32_t*>(recordsOf<connect_vertex>(block) + block->records);
}

std::uint64_t hashOf(const std::vector<connect_edge>& edges) {
  std::uint64_t hash = kHashStart;
  for (const connect_edge& e : edges) {
    const std::uint32_t words[] = {e.vertexA,    e.vertexB,    e.uvAonFaceA, e.uvBonFaceA,
                                   e.uvAonFaceB, e.uvBonFaceB, e.faceA,      e.faceB};
    hash = hashWords(hash, words, 8);
  }
  return hash;
}

std::uint64_t hashOf(const VertexTable& table) {
  std::uint64_t hash = kHashStart;
  const auto faces = static_cast<std::uint32_t>(table.facePool.size());
  const auto edges = static_cast<std::uint32_t>(table.edgePool.size());
  for (const connect_vertex& v : table.records) {
    const std::uint32_t words[] = {v.numFaces, poolOffset(v.faces, table.facePool.data(), faces), v.numEdges,
                                   poolOffset(v.edges, table.edgePool.data(), edges)};
    hash = hashWords(hash, words, 4);
  }
  hash = hashWords(hash, table.facePool.data(), faces);
  return hashWords(hash, table.edgePool.data(), edges);
}

bool sameTable(const TableBlock* block, const std::vector<connect_edge>& edges) {
  if (block->kind != kEdgeBlock || block->records != edges.size()) return false;
  return std::equal(edges.begin(), edges.end(), recordsOf<connect_edge>(block), sameEdge);
}

bool sameTable(const TableBlock* block, const VertexTable& table) {
  if (block->kind != kVertexBlock || block->records != table.records.size() ||
      block->facePoolSize != table.facePool.size() || block->edgePoolSize != table.edgePool.size()) {
    return false;
  }
  const std::uint32_t* faces = facePoolOf(block);
  const std::uint32_t* edges = faces + block->facePoolSize;
  if (!std::equal(table.facePool.begin(), table.facePool.end(), faces) ||
      !std::equal(table.edgePool.begin(), table.edgePool.end(), edges)) {
    return false;
  }
  const connect_vertex* records = recordsOf<connect_vertex>(block);
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    const connect_vertex& x = records[i];
    const connect_vertex& y = table.records[i];
    if (x.numFaces != y.numFaces || x.numEdges != y.numEdges ||
        poolOffset(x.faces, faces, block->facePoolSize) !=
            poolOffset(y.faces, table.facePool.data(), block->facePoolSize) ||
        poolOffset(x.edges, edges, block->edgePoolSize) !=
            poolOffset(y.edges, table.edgePool.data(), block->edgePoolSize)) {
      return false;
    }
  }
  return true;
}

/// A new block of the given kind and sizes with one holder; throws
/// std::bad_alloc.
TableBlock* newBlock(std::uint64_t hash, std::uint32_t kind, std::size_t recordBytes, std::uint32_t records,
                     std::uint32_t facePoolSize, std::uint32_t edgePoolSize) {
  void* memory =
      ::operator new(kRecordsAt + recordBytes + (std::size_t{facePoolSize} + edgePoolSize) * sizeof(std::uint32_t));
  return new (memory) TableBlock{hash, 1, kind, records, facePoolSize, edgePoolSize};
}

TableBlock* blockOfTable(std::uint64_t hash, const std::vector<connect_edge>& edges) {
  const auto count = static_cast<std::uint32_t>(edges.size());
  TableBlock* block = newBlock(hash, kEdgeBlock, count * sizeof(connect_edge), count, 0, 0);
  std::uninitialized_copy(edges.begin(), edges.end(), const_cast<connect_edge*>(recordsOf<connect_edge>(block)));
  return block;
}

TableBlock* blockOfTable(std::uint64_t hash, const VertexTable& table) {
  const auto count = static_cast<std::uint32_t>(table.records.size());
  const auto faceCount = static_cast<std::uint32_t>(table.facePool.size());
  const auto edgeCount = static_cast<std::uint32_t>(table.edgePool.size());
  TableBlock* block = newBlock(hash, kVertexBlock, count * sizeof(connect_vertex), count, faceCount, edgeCount);
  auto* faces = const_cast<std::uint32_t*>(facePoolOf(block));
  std::uint32_t* edges = faces + faceCount;
  std::uninitialized_copy(table.facePool.begin(), table.facePool.end(), faces);
  std::uninitialized_copy(table.edgePool.begin(), table.edgePool.end(), edges);
  auto* records = const_cast<connect_vertex*>(recordsOf<connect_vertex>(block));
  for (std::uint32_t i = 0; i < count; ++i) {
    const connect_vertex& from = table.records[i];
    // The lists move with their pools.
    new (records + i)
        connect_vertex{from.numFaces, from.faces != nullptr ? faces + (from.faces - table.facePool.data()) : nullptr,
                       from.numEdges, from.edges != nullptr ? edges + (from.edges - table.edgePool.data()) : nullptr};
  }
  return block;
}

/// The tables some volume holds, by their hash: a table equal to one of them
/// is shared instead of kept twice. Volumes are built and freed on any
/// thread. A table leaves the registry, and is freed, when its last volume
/// lets go of it.
class TableRegistry {
 public:
  static TableRegistry& instance() {
    // Never destroyed, so that volumes freed during the process's exit
    // still find it.
    static TableRegistry* registry = new TableRegistry;
    return *registry;
  }

  /// The records of a held table equal to `table`, held once more, or of a
  /// new block with the table; throws std::bad_alloc.
  template <typename Table>
  const TableBlock* share(const Table& table) {
    const std::uint64_t hash = hashOf(table);
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto range = blocks_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (sameTable(it->second, table)) {
        ++it->second->holders;
        return it->second;
      }
    }
    TableBlock* block = blockOfTable(hash, table);
    try {
      blocks_.emplace(hash, block);
    } catch (...) {
      ::operator delete(block);
      throw;
    }
    return block;
  }

  std::size_t size() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
  }

  /// One holder fewer; the last one frees the block.
  void release(const TableBlock* block) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto range = blocks_.equal_range(block->hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second != block) continue;
      if (--it->second->holders == 0) {
        blocks_.erase(it);
        ::operator delete(const_cast<TableBlock*>(block));
      }
      return;
    }
  }

 private:
  std::mutex mutex_;
  std::unordered_multimap<std::uint64_t, TableBlock*> blocks_;
};

}  // namespace

BVmesh::BVmesh(ZOVmesh* mesh) : mesh_(mesh), ownership_(mesh != nullptr ? kLentRecord : kNoRecord) {}

BVmesh::~BVmesh() {
  destroy();
  deleteMesh();
}

bool BVmesh::isValidMesh(const ZOVmesh* mesh) { return isWellFormed(mesh); }

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

std::size_t BVmesh::heldTableCount() { return TableRegistry::instance().size(); }

void BVmesh::releaseEdgeTable() {
  if (connectEdges_ != nullptr) TableRegistry::instance().release(blockOf(connectEdges_));
  connectEdges_ = nullptr;
}

void BVmesh::releaseVertexTable() {
  if (connectVertex_ != nullptr) TableRegistry::instance().release(blockOf(connectVertex_));
  connectVertex_ = nullptr;
}

void BVmesh::freeTables() {
  releaseEdgeTable();
  releaseVertexTable();
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
  // The tables are built into the faces' edge lists and group labels.
  if (!ownFaceTables(*mesh_)) return false;
  if (numVertices_ != mesh_->numVertices) {
    // The mesh changed size since it was bound: the old vertex table no
    // longer matches it.
    releaseVertexTable();
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

  std::vector<connect_edge> edgeTable;
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

    edgeTable.resize(edges.size());
    for (std::uint32_t index = 0; index < order.size(); ++index) {
      const EdgeBuild& build = edges[order[index]];
      edgeTable[index] = build.edge;
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
      for (std::uint32_t e = 0; e < edgeTable.size(); ++e) {
        for (const std::uint32_t end : {edgeTable[e].vertexA, edgeTable[e].vertexB}) {
          connect_vertex& record = records[end];
          if (record.numEdges < edgesAtVertex[end]) record.edges[record.numEdges++] = e;
        }
      }
    }
  }

  // Both tables are shared before either replaces its old one, so that a
  // failed allocation leaves the volume as it was.
  TableRegistry& registry = TableRegistry::instance();
  const TableBlock* edgeBlock = wantEdges ? registry.share(edgeTable) : nullptr;
  const TableBlock* vertexBlock = nullptr;
  if (wantVertices) {
    try {
      vertexBlock = registry.share(vertexTable);
    } catch (...) {
      if (edgeBlock != nullptr) registry.release(edgeBlock);
      throw;
    }
  }
  if (wantEdges) {
    releaseEdgeTable();
    connectEdges_ = recordsOf<connect_edge>(edgeBlock);
    numEdges_ = edgeBlock->records;
    connectFlags_ |= kConnectEdges;
  }
  if (wantVertices) {
    releaseVertexTable();
    connectVertex_ = recordsOf<connect_vertex>(vertexBlock);
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
          const connect_edge& edge = connectEdges_[face.edges[k]];
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
  if (clipper_ != nullptr) clipper_->init(mesh_);
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
