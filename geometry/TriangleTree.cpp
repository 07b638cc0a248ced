// The triangle tree of a triangle-mesh body: the box tree built over the
// faces of its mesh, and its refit after the mesh moved in the body frame.

#include <algorithm>
#include <new>
#include <vector>

#include "geometry/BoxHelpers.h"
#include "geometry/BoxTree.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Corners of a face the tree reads: it is built over triangles.
constexpr std::uint32_t kTreeCorners = 3;

std::uint32_t treeCorners(const mesh_face& face) { return std::min(face.numVertices, kTreeCorners); }

// The incentre of a face's first three corners: each corner weighted by the
// length of the side opposite it. Fewer corners, or no perimeter, give their
// first corner.
MgcVector3 incentre(const ZOVmesh& mesh, const mesh_face& face) {
  if (treeCorners(face) < kTreeCorners) return mesh.vertices[face.vertices[0]];
  const MgcVector3& A = mesh.vertices[face.vertices[0]];
  const MgcVector3& B = mesh.vertices[face.vertices[1]];
  const MgcVector3& C = mesh.vertices[face.vertices[2]];
  const double a = (B - C).Length();
  const double b = (C - A).Length();
  const double c = (A - B).Length();
  const double perimeter = a + b + c;
  if (!(perimeter > 0.0)) return A;
  return (A * a + B * b + C * c) / perimeter;
}

// Splits nodes one at a time from an explicit stack, so that the depth of the
// tree never reaches the call stack. Ids are given when the children are
// made; the first child's subtree is finished before the second's.
class TriangleSplitter {
 public:
  explicit TriangleSplitter(const ZOVmesh& mesh) : mesh_(mesh), stamp_(mesh.numVertices, 0) {}

  bool splitAll(BoxTreeNode* root) {
    std::vector<BoxTreeNode*> pending{root};
    while (!pending.empty()) {
      BoxTreeNode* node = pending.back();
      pending.pop_back();
      if (!split(*node)) return false;
      if (node->secondChild) pending.push_back(node->secondChild.get());
      if (node->firstChild) pending.push_back(node->firstChild.get());
    }
    return true;
  }

 private:
  bool collectVertices(BoxTreeNode& node) {
    const std::uint32_t capacity = node.itemCount == mesh_.numFaces ? mesh_.numVertices : kTreeCorners * node.itemCount;
    node.vertexIndices.reset(new (std::nothrow) std::uint32_t[capacity == 0 ? 1 : capacity]);
    if (!node.vertexIndices) return false;
    node.vertexCount = 0;
    if (node.itemCount == mesh_.numFaces) {
      for (std::uint32_t v = 0; v < mesh_.numVertices; ++v) node.vertexIndices[node.vertexCount++] = v;
      return true;
    }
    ++currentStamp_;
    for (std::uint32_t i = 0; i < node.itemCount; ++i) {
      const mesh_face& face = mesh_.faces[node.faceIndices[i]];
      for (std::uint32_t k = 0; k < treeCorners(face); ++k) {
        const std::uint32_t v = face.vertices[k];
        if (stamp_[v] == currentStamp_) continue;
        stamp_[v] = currentStamp_;
        node.vertexIndices[node.vertexCount++] = v;
      }
    }
    return true;
  }

  bool split(BoxTreeNode& node) {
    if (node.itemCount == 0 || !node.faceIndices) return false;
    if (!collectVertices(node)) return false;
    if (!bvboxFromIndexedPoints(node.nodeBox, mesh_.vertices, node.vertexIndices.get(), node.vertexCount)) {
      return false;
    }
    node.nodeRadius = node.nodeBox.getBox()->extents.Length();
    if (node.itemCount < BoxTree::kTriangleLeafFaces) return true;

    std::vector<MgcVector3> centres(node.itemCount);
    for (std::uint32_t i = 0; i < node.itemCount; ++i) centres[i] = incentre(mesh_, mesh_.faces[node.faceIndices[i]]);
    MgcVector3 axis;
    MgcVector3 planePoint;
    if (!findSplitPlane(*node.nodeBox.getBox(), centres.data(), node.itemCount, axis, planePoint)) return true;

    std::unique_ptr<BoxTreeNode> first(new (std::nothrow) BoxTreeNode);
    std::unique_ptr<BoxTreeNode> second(new (std::nothrow) BoxTreeNode);
    if (!first || !second) return true;
    first->faceIndices.reset(new (std::nothrow) std::uint32_t[node.itemCount]);
    second->faceIndices.reset(new (std::nothrow) std::uint32_t[node.itemCount]);
    if (!first->faceIndices || !second->faceIndices) return true;
    for (std::uint32_t i = 0; i < node.itemCount; ++i) {
      BoxTreeNode& side = (centres[i] - planePoint).Dot(axis) < -zov::kTolerance ? *first : *second;
      side.faceIndices[side.itemCount++] = node.faceIndices[i];
    }
    node.faceIndices.reset();
    node.vertexIndices.reset();
    node.itemCount = 0;
    node.vertexCount = 0;
    first->level = node.level + 1;
    second->level = node.level + 1;
    first->nodeId = nextId_++;
    second->nodeId = nextId_++;
    node.firstChild = std::move(first);
    node.secondChild = std::move(second);
    return true;
  }

  const ZOVmesh& mesh_;
  std::vector<std::uint32_t> stamp_;
  std::uint32_t currentStamp_ = 0;
  std::uint32_t nextId_ = 1;
};

bool usableMesh(const BVmesh* volume) {
  const ZOVmesh* mesh = volume != nullptr ? volume->getMesh() : nullptr;
  return mesh != nullptr && mesh->vertices != nullptr && mesh->faces != nullptr;
}

}  // namespace

bool BoxTree::buildTriangleTree(const BVmesh* volume) {
  builtMark_ = 0;
  root_.reset();
  bool result = false;
  if (usableMesh(volume) && volume->getMesh()->numFaces != 0) {
    const ZOVmesh& mesh = *volume->getMesh();
    std::unique_ptr<BoxTreeNode> root(new (std::nothrow) BoxTreeNode);
    if (root) root->faceIndices.reset(new (std::nothrow) std::uint32_t[mesh.numFaces]);
    if (root && root->faceIndices) {
      root->itemCount = mesh.numFaces;
      for (std::uint32_t f = 0; f < mesh.numFaces; ++f) root->faceIndices[f] = f;
      root->nodeId = 0;
      try {
        TriangleSplitter splitter(mesh);
        result = splitter.splitAll(root.get());
      } catch (const std::bad_alloc&) {
        result = false;
      }
      root_ = std::move(root);
      if (result) finishBuild();
    }
  }
  builtMark_ = 1;
  return result;
}

bool BoxTree::refitTriangleTree(const BVmesh* volume) {
  if (!root_ || !usableMesh(volume)) return false;
  const ZOVmesh& mesh = *volume->getMesh();
  // Post-order from an explicit stack: children before their parent.
  std::vector<std::pair<BoxTreeNode*, bool>> pending{{root_.get(), false}};
  while (!pending.empty()) {
    auto [node, childrenDone] = pending.back();
    pending.pop_back();
    if (!node->hasChildren()) {
      if (node->itemCount == 0) continue;
      if (!bvboxFromIndexedPoints(node->nodeBox, mesh.vertices, node->vertexIndices.get(), node->vertexCount)) {
        return false;
      }
      node->nodeRadius = node->nodeBox.getBox()->extents.Length();
      continue;
    }
    if (!childrenDone) {
      pending.emplace_back(node, true);
      if (node->secondChild) pending.emplace_back(node->secondChild.get(), false);
      if (node->firstChild) pending.emplace_back(node->firstChild.get(), false);
      continue;
    }
    std::uint32_t corners = 0;
    for (const BoxTreeNode* child : {node->firstChild.get(), node->secondChild.get()}) {
      if (child != nullptr) corners += child->nodeBox.computeVertexes(node->cornerPoints + corners);
    }
    node->cornerCount = corners;
    if (!bvboxFromPoints(node->nodeBox, node->cornerPoints, corners)) return false;
    node->nodeRadius = node->nodeBox.getBox()->extents.Length();
  }
  return true;
}
