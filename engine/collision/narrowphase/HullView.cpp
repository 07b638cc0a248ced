#include "engine/collision/narrowphase/HullView.h"

#include "math/Tolerances.h"

using Mgc::MgcVector3;

HullView::HullView(const BVmesh* volume) : volume_(volume) {
  const ZOVmesh* mesh = volume != nullptr ? volume->getMesh() : nullptr;
  if (mesh == nullptr || mesh->worldVertices == nullptr || mesh->numVertices == 0) return;
  mesh_ = mesh;
  vertices_ = mesh->worldVertices;
  vertexCount_ = mesh->numVertices;
  if (mesh->faces != nullptr && mesh->worldFaceNormals != nullptr) faceCount_ = mesh->numFaces;
  // The vertex records take their counts from the edge pass: without the edge
  // table they are empty.
  vertexTable_ = volume->isConnectVertex() && volume->isConnectEdges() && volume->getNumVertices() == mesh->numVertices;
  if (volume->isConnectEdges() && volume->getNumEdges() > 0) {
    edgeCount_ = volume->getNumEdges();
    // The volume hands out its edge records through a non-const accessor
    // only; the view never writes through it.
    edges_ = &const_cast<BVmesh*>(volume)->getConnectEdges(0);
  }
}

const MgcVector3& HullView::origin() {
  static const MgcVector3 zero;
  return zero;
}

MgcVector3 HullView::center() const { return usable() ? mesh_->worldCenter : MgcVector3(); }

std::uint32_t HullView::firstFaceOf(std::uint32_t i) const { return vertexFaceCount(i) > 0 ? vertexFaces(i)[0] : 0; }

std::uint32_t HullView::edgeJoining(std::uint32_t i, std::uint32_t j) const {
  const std::uint32_t n = vertexEdgeCount(i);
  const std::uint32_t* edges = vertexEdges(i);
  for (std::uint32_t k = 0; k < n; ++k) {
    if (!hasEdge(edges[k])) continue;
    const connect_edge& e = edge(edges[k]);
    if ((e.vertexA == i && e.vertexB == j) || (e.vertexA == j && e.vertexB == i)) return edges[k];
  }
  return zov::kNoIndex;
}

bool HullView::faceHasVertex(std::uint32_t f, std::uint32_t v) const {
  if (f >= faceCount_) return false;
  const mesh_face& polygon = mesh_->faces[f];
  for (std::uint32_t k = 0; k < heldCorners(polygon); ++k)
    if (polygon.vertices[k] == v) return true;
  return false;
}

std::uint32_t HullView::faceOfVertexContaining(std::uint32_t i, std::uint32_t j) const {
  const std::uint32_t n = vertexFaceCount(i);
  const std::uint32_t* faces = vertexFaces(i);
  for (std::uint32_t k = 0; k < n; ++k)
    if (faceHasVertex(faces[k], j)) return faces[k];
  return zov::kNoIndex;
}

MgcVector3 HullView::vertexNormalSum(std::uint32_t i) const {
  MgcVector3 sum;
  const std::uint32_t n = vertexFaceCount(i);
  const std::uint32_t* faces = vertexFaces(i);
  for (std::uint32_t k = 0; k < n; ++k) sum += faceNormal(faces[k]);
  return sum;
}

std::uint32_t HullView::support(std::uint32_t start, const MgcVector3& d) const {
  const std::uint32_t n = vertexCount();
  if (n == 0) return zov::kNoIndex;
  std::uint32_t best = start < n ? start : 0;
  double value = d.Dot(vertices_[best]);
  // A vertex off the edge graph (unused by any face) leads nowhere: scan.
  if (!vertexTable_ || vertexEdgeCount(best) == 0) {
    for (std::uint32_t i = 0; i < n; ++i) {
      const double height = d.Dot(vertices_[i]);
      if (height > value) {
        value = height;
        best = i;
      }
    }
    return best;
  }
  // Every pass ends strictly higher or stops, so no vertex is left twice and
  // n passes always suffice. Every index read is checked as the accessors
  // check it: best stays below n, so its record is in the table.
  for (std::uint32_t pass = 0; pass < n; ++pass) {
    const std::uint32_t current = best;
    const connect_vertex& around = volume_->getConnectVertex(current);
    const std::uint32_t* edges = around.edges;
    for (std::uint32_t k = 0; k < around.numEdges; ++k) {
      if (edges[k] >= edgeCount_) continue;
      const connect_edge& e = edges_[edges[k]];
      const std::uint32_t other = e.vertexA == current ? e.vertexB : e.vertexA;
      if (other >= n) continue;
      const double height = d.Dot(vertices_[other]);
      if (height > value) {
        value = height;
        best = other;
      }
    }
    if (best == current) break;
  }
  return best;
}

std::uint32_t HullView::facePolygon(std::uint32_t f, MgcVector3* out) const {
  if (f >= faceCount_) return 0;
  const mesh_face& polygon = mesh_->faces[f];
  const std::uint32_t n = heldCorners(polygon);
  for (std::uint32_t k = 0; k < n; ++k) out[k] = vertex(polygon.vertices[k]);
  return n;
}
