#include "engine/collision/narrowphase/FaceTree.h"

#include <vector>

#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BVmesh.h"
#include "geometry/ContactBuilders.h"
#include "geometry/OverlapTests.h"
#include "geometry/ZOVmesh.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Opposed faces this close to coplanar are tested with a margin.
constexpr double kCoplanarTriangleMargin = 0.01;

/// A last-in first-out stack of the descent's pending nodes: a fixed buffer,
/// which holds every pending node of a tree of moderate depth, with a vector
/// behind it for deeper trees.
template <typename T>
class DescentStack {
 public:
  bool empty() const { return size_ == 0; }
  void push(const T& value) {
    if (size_ < kInline) {
      inline_[size_] = value;
    } else {
      overflow_.push_back(value);
    }
    ++size_;
  }
  T pop() {
    --size_;
    if (size_ < kInline) return inline_[size_];
    T value = overflow_.back();
    overflow_.pop_back();
    return value;
  }

 private:
  static constexpr std::size_t kInline = 64;
  T inline_[kInline];
  std::vector<T> overflow_;
  std::size_t size_ = 0;
};

struct NodePair {
  const BoxTreeNode* first;
  const BoxTreeNode* second;
};

bool usableMesh(const ZOVmesh& mesh) {
  return mesh.faces != nullptr && mesh.worldVertices != nullptr && mesh.worldFaceNormals != nullptr;
}

bool hasWorldBox(const BoxTreeNode& node) { return node.worldBox.getBox() != nullptr; }

/// Whether a node's sphere (its world box centre, its world radius) and the
/// sphere (c, r) may meet.
bool spheresMeet(const BoxTreeNode& node, const MgcVector3& c, double r) {
  const double reach = node.worldRadius + r;
  return (node.worldBox.getCenter() - c).SquaredLength() - reach * reach < zov::kTolerance;
}

/// Fan triangles of face f: corners - 2, or 0 for a face out of range or of
/// fewer than three corners.
std::uint32_t fanCount(const ZOVmesh& mesh, std::uint32_t f) {
  if (f >= mesh.numFaces) return 0;
  const std::uint32_t n = heldCorners(mesh.faces[f]);
  return n >= 3 ? n - 2 : 0;
}

/// Fan triangle k of face f in world terms: corners 0, k + 1 and k + 2.
/// False when a corner names a vertex the mesh does not have.
bool fanTriangle(const ZOVmesh& mesh, std::uint32_t f, std::uint32_t k, MgcVector3 triangle[3]) {
  const mesh_face& face = mesh.faces[f];
  const std::uint32_t corners[3] = {face.vertices[0], face.vertices[k + 1], face.vertices[k + 2]};
  for (int i = 0; i < 3; ++i) {
    if (corners[i] >= mesh.numVertices) return false;
    triangle[i] = mesh.worldVertices[corners[i]];
  }
  return true;
}

/// Signed height of a point over the plane. A point counts as behind the
/// plane by its height, not by the direction from the plane point, which
/// would let points far from it sink deeper before they count.
double heightOver(const MgcVector3& v, const MgcVector3& planePoint, const MgcVector3& planeNormal) {
  return (v - planePoint).Dot(planeNormal);
}

/// Depth-first from `start`, left child before right: the first leaf that
/// `leafHits`, among the nodes that `passes`; null when none.
template <typename NodeTest, typename LeafTest>
const BoxTreeNode* findLeaf(const BoxTreeNode* start, NodeTest&& passes, LeafTest&& leafHits) {
  if (start == nullptr) return nullptr;
  DescentStack<const BoxTreeNode*> pending;
  pending.push(start);
  while (!pending.empty()) {
    const BoxTreeNode* node = pending.pop();
    if (!hasWorldBox(*node) || !passes(*node)) continue;
    if (node->isLeaf()) {
      if (leafHits(*node)) return node;
      continue;
    }
    if (node->secondChild) pending.push(node->secondChild.get());
    if (node->firstChild) pending.push(node->firstChild.get());
  }
  return nullptr;
}

/// Every leaf that the descent reaches, in the same order.
template <typename NodeTest, typename LeafVisit>
void visitLeaves(const BoxTreeNode* root, NodeTest&& passes, LeafVisit&& visit) {
  findLeaf(root, passes, [&](const BoxTreeNode& leaf) {
    visit(leaf);
    return false;
  });
}

/// Whether the descent should split the first node of the pair (else the
/// second): the inner node paired with a leaf, or of two inner nodes the one
/// with the larger box, the first on equal volumes.
bool splitsFirst(const BoxTreeNode& a, const BoxTreeNode& b) {
  if (a.isLeaf()) return false;
  if (b.isLeaf()) return true;
  return a.worldBox.getVolumen() >= b.worldBox.getVolumen();
}

/// The tree-against-tree form of findLeaf.
template <typename LeafTest>
bool findLeafPair(NodePair start, LeafTest&& leafHits, NodePair& found) {
  if (start.first == nullptr || start.second == nullptr) return false;
  DescentStack<NodePair> pending;
  pending.push(start);
  while (!pending.empty()) {
    const NodePair pair = pending.pop();
    const BoxTreeNode& a = *pair.first;
    const BoxTreeNode& b = *pair.second;
    if (!hasWorldBox(a) || !hasWorldBox(b)) continue;
    if (!spheresMeet(a, b.worldBox.getCenter(), b.worldRadius)) continue;
    if (!obbOverlap(*a.worldBox.getBox(), *b.worldBox.getBox())) continue;
    if (a.isLeaf() && b.isLeaf()) {
      if (leafHits(a, b)) {
        found = pair;
        return true;
      }
      continue;
    }
    if (!a.hasChildren() && !b.hasChildren()) continue;  // an empty node
    if (splitsFirst(a, b) && a.hasChildren()) {
      if (a.secondChild) pending.push({a.secondChild.get(), &b});
      if (a.firstChild) pending.push({a.firstChild.get(), &b});
    } else if (b.hasChildren()) {
      if (b.secondChild) pending.push({&a, b.secondChild.get()});
      if (b.firstChild) pending.push({&a, b.firstChild.get()});
    }
  }
  return false;
}

/// The cached start first, then the root; the cache ends holding the leaf
/// found, or null.
template <typename NodeTest, typename LeafTest>
bool overlapWithCache(const BoxTree* tree, BoxTreeNode*& cached, NodeTest&& passes, LeafTest&& leafHits) {
  const BoxTreeNode* hit = findLeaf(cached, passes, leafHits);
  if (hit == nullptr && tree != nullptr) hit = findLeaf(tree->getRoot(), passes, leafHits);
  cached = const_cast<BoxTreeNode*>(hit);
  return hit != nullptr;
}

void finishContacts(ContactSet& out, bool dropOutliers) {
  out.removeOpposing();
  out.removeDuplicates();
  if (dropOutliers) out.removeDepthOutliers();
}

/// Appends n points with one normal and depth, as the overflow rule allows.
void appendPoints(ContactSet& out, const MgcVector3* points, std::uint32_t n, const MgcVector3& normal, double depth,
                  std::uint32_t firstFeature, std::uint32_t secondFeature) {
  const std::uint32_t fit = out.makeRoom(n);
  for (std::uint32_t i = 0; i < fit; ++i) out.append(points[i], normal, depth, firstFeature, secondFeature);
}

}  // namespace

// ---- Leaf tests ------------------------------------------------------------

bool FaceTreeNode::capsuleLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const ZOVcapsule& capsule) {
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    MgcVector3 triangle[3];
    for (std::uint32_t k = 0; k < fanCount(mesh, f); ++k) {
      if (fanTriangle(mesh, f, k, triangle) && capsuleTriangleOverlap(capsule, triangle)) return true;
    }
  }
  return false;
}

bool FaceTreeNode::meshLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const BVmesh& hull) {
  const ZOVmesh* hullMesh = hull.getMesh();
  if (hullMesh == nullptr || !usableMesh(*hullMesh)) return false;
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    if (fanCount(mesh, f) == 0) continue;
    const MgcVector3& leafNormal = mesh.worldFaceNormals[f];
    MgcVector3 triangle[3];
    for (std::uint32_t k = 0; k < fanCount(mesh, f); ++k) {
      if (!fanTriangle(mesh, f, k, triangle)) continue;
      for (std::uint32_t h = 0; h < hullMesh->numFaces; ++h) {
        const std::uint32_t hullFans = fanCount(*hullMesh, h);
        const MgcVector3& hullNormal = hullMesh->worldFaceNormals[h];
        if (hullFans == 0 || hullNormal.Dot(leafNormal) > zov::kTolerance) continue;
        MgcVector3 hullTriangle[3];
        if (!fanTriangle(*hullMesh, h, 0, hullTriangle)) continue;
        if (pointsAbovePlane(triangle, 3, hullTriangle[0], hullNormal)) break;
        for (std::uint32_t j = 0; j < hullFans; ++j) {
          if (fanTriangle(*hullMesh, h, j, hullTriangle) &&
              triTriOverlapExact(triangle, leafNormal, hullTriangle, hullNormal)) {
            return true;
          }
        }
      }
    }
  }
  return false;
}

bool FaceTreeNode::leafLeafOverlap(const BoxTreeNode& leaf1, const ZOVmesh& mesh1, const BoxTreeNode& leaf2,
                                   const ZOVmesh& mesh2) {
  for (std::uint32_t i = 0; i < leaf1.itemCount; ++i) {
    const std::uint32_t a = leaf1.faceIndices[i];
    for (std::uint32_t ka = 0; ka < fanCount(mesh1, a); ++ka) {
      MgcVector3 triangleA[3];
      if (!fanTriangle(mesh1, a, ka, triangleA)) continue;
      for (std::uint32_t j = 0; j < leaf2.itemCount; ++j) {
        const std::uint32_t b = leaf2.faceIndices[j];
        for (std::uint32_t kb = 0; kb < fanCount(mesh2, b); ++kb) {
          MgcVector3 triangleB[3];
          if (fanTriangle(mesh2, b, kb, triangleB) &&
              triTriOverlapExact(triangleA, mesh1.worldFaceNormals[a], triangleB, mesh2.worldFaceNormals[b])) {
            return true;
          }
        }
      }
    }
  }
  return false;
}

bool FaceTreeNode::planeLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const MgcVector3& planePoint,
                                    const MgcVector3& planeNormal) {
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    if (fanCount(mesh, f) == 0) continue;
    const mesh_face& face = mesh.faces[f];
    for (std::uint32_t c = 0; c < heldCorners(face); ++c) {
      const std::uint32_t v = face.vertices[c];
      if (v < mesh.numVertices && heightOver(mesh.worldVertices[v], planePoint, planeNormal) < -zov::kTolerance) {
        return true;
      }
    }
  }
  return false;
}

// ---- Leaf contact generators -----------------------------------------------

void FaceTreeNode::capsuleLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const ZOVcapsule& capsule,
                                       ContactSet& out) {
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    for (std::uint32_t k = 0; k < fanCount(mesh, f); ++k) {
      MgcVector3 triangle[3];
      if (!fanTriangle(mesh, f, k, triangle) || !capsuleTriangleOverlap(capsule, triangle)) continue;
      MgcVector3 points[kMaxCapsuleContacts];
      MgcVector3 normal;
      std::uint32_t n = 0;
      double depth = 0.0;
      if (!capsuleTriangleContact(capsule, triangle, mesh.worldFaceNormals[f], points, normal, n, depth)) continue;
      // The builder's points lie on the capsule with the normal out of the
      // face; here the face is the first shape, so the points go back onto
      // the face and the normal turns towards it.
      for (std::uint32_t p = 0; p < n; ++p) points[p] -= normal * depth;
      appendPoints(out, points, n, -normal, depth, f, zov::kNoIndex);
    }
  }
}

void FaceTreeNode::meshLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const BVmesh& hull, ContactSet& out) {
  const ZOVmesh* hullMesh = hull.getMesh();
  if (hullMesh == nullptr || !usableMesh(*hullMesh)) return;
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    if (fanCount(mesh, f) == 0) continue;
    const MgcVector3& leafNormal = mesh.worldFaceNormals[f];
    for (std::uint32_t k = 0; k < fanCount(mesh, f); ++k) {
      MgcVector3 triangle[3];
      if (!fanTriangle(mesh, f, k, triangle)) continue;
      for (std::uint32_t h = 0; h < hullMesh->numFaces; ++h) {
        const std::uint32_t hullFans = fanCount(*hullMesh, h);
        if (hullFans == 0) continue;
        const MgcVector3& hullNormal = hullMesh->worldFaceNormals[h];
        MgcVector3 hullTriangle[3];
        if (!fanTriangle(*hullMesh, h, 0, hullTriangle)) continue;
        if (pointsAbovePlane(triangle, 3, hullTriangle[0], hullNormal)) break;
        for (std::uint32_t j = 0; j < hullFans; ++j) {
          if (!fanTriangle(*hullMesh, h, j, hullTriangle) ||
              !triTriOverlapExact(triangle, leafNormal, hullTriangle, hullNormal)) {
            continue;
          }
          MgcVector3 points[kMaxTriangleContacts];
          MgcVector3 normal;
          std::uint32_t n = 0;
          double depth = 0.0;
          if (triTriContact(triangle, leafNormal, hullTriangle, hullNormal, points, normal, n, depth)) {
            appendPoints(out, points, n, normal, depth, f, h);
          }
        }
      }
    }
  }
}

void FaceTreeNode::leafLeafContacts(const BoxTreeNode& leaf1, const ZOVmesh& mesh1, const BoxTreeNode& leaf2,
                                    const ZOVmesh& mesh2, ContactSet& out) {
  for (std::uint32_t j = 0; j < leaf2.itemCount; ++j) {
    const std::uint32_t b = leaf2.faceIndices[j];
    if (fanCount(mesh2, b) == 0) continue;
    const MgcVector3& nb = mesh2.worldFaceNormals[b];
    for (std::uint32_t i = 0; i < leaf1.itemCount; ++i) {
      const std::uint32_t a = leaf1.faceIndices[i];
      if (fanCount(mesh1, a) == 0) continue;
      const MgcVector3& na = mesh1.worldFaceNormals[a];
      // Faces facing the same way cannot press into each other.
      if (nb.Dot(na) > zov::kUnitLow) continue;
      const bool opposedFlat = -na.Dot(nb) > zov::kUnitLow;
      for (std::uint32_t kb = 0; kb < fanCount(mesh2, b); ++kb) {
        MgcVector3 triangleB[3];
        if (!fanTriangle(mesh2, b, kb, triangleB)) continue;
        for (std::uint32_t ka = 0; ka < fanCount(mesh1, a); ++ka) {
          MgcVector3 triangleA[3];
          if (!fanTriangle(mesh1, a, ka, triangleA)) continue;
          bool overlap = false;
          if (opposedFlat) {
            // Opposed faces in (nearly) one plane touch only when neither
            // lies in front of the other; rounding then decides, so the test
            // takes a margin.
            overlap = (triangleA[0] - triangleB[0]).Dot(nb) < zov::kTolerance &&
                      (triangleB[0] - triangleA[0]).Dot(na) < zov::kTolerance &&
                      triTriOverlap(triangleA, na, triangleB, nb, kCoplanarTriangleMargin);
          } else {
            overlap = triTriOverlapExact(triangleA, na, triangleB, nb);
          }
          if (!overlap) continue;
          MgcVector3 points[kMaxTriangleContacts];
          MgcVector3 normal;
          std::uint32_t n = 0;
          double depth = 0.0;
          if (triTriContact(triangleA, na, triangleB, nb, points, normal, n, depth)) {
            appendPoints(out, points, n, normal, depth, a, b);
          }
        }
      }
    }
  }
}

void FaceTreeNode::planeLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const MgcVector3& planePoint,
                                     const MgcVector3& planeNormal, ContactSet& out) {
  for (std::uint32_t i = 0; i < leaf.itemCount; ++i) {
    const std::uint32_t f = leaf.faceIndices[i];
    if (fanCount(mesh, f) == 0) continue;
    const mesh_face& face = mesh.faces[f];
    for (std::uint32_t c = 0; c < heldCorners(face); ++c) {
      const std::uint32_t v = face.vertices[c];
      if (v >= mesh.numVertices) continue;
      const MgcVector3& vertex = mesh.worldVertices[v];
      const double depth = heightOver(vertex, planePoint, planeNormal);
      if (depth < -zov::kTolerance) appendPoints(out, &vertex, 1, planeNormal, depth, f, zov::kNoIndex);
    }
  }
}

// ---- Overlap descents ------------------------------------------------------

bool FaceTree::capsuleOverlap(const BoxTree* tree, const ZOVmesh& mesh, const ZOVcapsule& capsule, const Pk_jump* jump,
                              BoxTreeNode*& cached) {
  if (tree == nullptr || tree->getRoot() == nullptr || !usableMesh(mesh)) {
    cached = nullptr;
    return false;
  }
  const double reach = 0.5 * capsule.length + capsule.radius;
  auto passes = [&](const BoxTreeNode& node) {
    if (!spheresMeet(node, capsule.center, reach)) return false;
    JumpState state = freshJumpState();
    return jump == nullptr || jump->boxConvexOverlap(node.worldBox, capsule, state) != 0;
  };
  auto hits = [&](const BoxTreeNode& leaf) { return FaceTreeNode::capsuleLeafOverlap(leaf, mesh, capsule); };
  return overlapWithCache(tree, cached, passes, hits);
}

bool FaceTree::meshOverlap(const BoxTree* tree, const ZOVmesh& mesh, const BVmesh& hull, const Pk_jump* jump,
                           BoxTreeNode*& cached) {
  const ZOVmesh* hullMesh = hull.getMesh();
  if (tree == nullptr || tree->getRoot() == nullptr || !usableMesh(mesh) || hullMesh == nullptr) {
    cached = nullptr;
    return false;
  }
  auto passes = [&](const BoxTreeNode& node) {
    if (!spheresMeet(node, hullMesh->worldCenter, hullMesh->worldRadius)) return false;
    JumpState state = freshJumpState();
    return jump == nullptr || jump->meshBoxOverlap(&hull, node.worldBox, state) != 0;
  };
  auto hits = [&](const BoxTreeNode& leaf) { return FaceTreeNode::meshLeafOverlap(leaf, mesh, hull); };
  return overlapWithCache(tree, cached, passes, hits);
}

bool FaceTree::treeOverlap(const BoxTree* tree1, const ZOVmesh& mesh1, const ZOVmesh& mesh2, const BoxTree* tree2,
                           BoxTreeNode*& cached1, BoxTreeNode*& cached2) {
  auto hits = [&](const BoxTreeNode& a, const BoxTreeNode& b) {
    return FaceTreeNode::leafLeafOverlap(a, mesh1, b, mesh2);
  };
  NodePair found{nullptr, nullptr};
  bool overlap = false;
  if (usableMesh(mesh1) && usableMesh(mesh2)) {
    overlap = cached1 != nullptr && cached2 != nullptr && findLeafPair({cached1, cached2}, hits, found);
    if (!overlap && tree1 != nullptr && tree2 != nullptr) {
      overlap = findLeafPair({tree1->getRoot(), tree2->getRoot()}, hits, found);
    }
  }
  cached1 = const_cast<BoxTreeNode*>(found.first);
  cached2 = const_cast<BoxTreeNode*>(found.second);
  return overlap;
}

bool FaceTree::planeOverlap(const BoxTree* tree, const ZOVmesh& mesh, const MgcVector3& planePoint,
                            const MgcVector3& planeNormal, BoxTreeNode*& cached) {
  if (tree == nullptr || tree->getRoot() == nullptr || !usableMesh(mesh)) {
    cached = nullptr;
    return false;
  }
  auto passes = [&](const BoxTreeNode& node) {
    return heightOver(node.worldBox.getCenter(), planePoint, planeNormal) < node.worldRadius &&
           obbPlaneOverlap(*node.worldBox.getBox(), planePoint, planeNormal);
  };
  auto hits = [&](const BoxTreeNode& leaf) {
    return FaceTreeNode::planeLeafOverlap(leaf, mesh, planePoint, planeNormal);
  };
  return overlapWithCache(tree, cached, passes, hits);
}

// ---- Contact descents ------------------------------------------------------

bool FaceTree::capsuleContacts(const BoxTree* tree, const ZOVmesh& mesh, const ZOVcapsule& capsule, const Pk_jump* jump,
                               ContactSet& out) {
  *out.count = 0;
  if (tree == nullptr || !usableMesh(mesh)) return false;
  const double reach = 0.5 * capsule.length + capsule.radius;
  auto passes = [&](const BoxTreeNode& node) {
    if (!spheresMeet(node, capsule.center, reach)) return false;
    JumpState state = freshJumpState();
    return jump == nullptr || jump->boxConvexOverlap(node.worldBox, capsule, state) != 0;
  };
  visitLeaves(tree->getRoot(), passes,
              [&](const BoxTreeNode& leaf) { FaceTreeNode::capsuleLeafContacts(leaf, mesh, capsule, out); });
  finishContacts(out, false);
  return out.size() > 0;
}

bool FaceTree::meshContacts(const BoxTree* tree, const ZOVmesh& mesh, const BVmesh& hull, const Pk_jump* jump,
                            ContactSet& out) {
  *out.count = 0;
  const ZOVmesh* hullMesh = hull.getMesh();
  if (tree == nullptr || !usableMesh(mesh) || hullMesh == nullptr) return false;
  auto passes = [&](const BoxTreeNode& node) {
    if (!spheresMeet(node, hullMesh->worldCenter, hullMesh->worldRadius)) return false;
    JumpState state = freshJumpState();
    return jump == nullptr || jump->meshBoxOverlap(&hull, node.worldBox, state) != 0;
  };
  visitLeaves(tree->getRoot(), passes,
              [&](const BoxTreeNode& leaf) { FaceTreeNode::meshLeafContacts(leaf, mesh, hull, out); });
  finishContacts(out, true);
  return out.size() > 0;
}

bool FaceTree::treeContacts(const BoxTree* tree1, const ZOVmesh& mesh1, const ZOVmesh& mesh2, const BoxTree* tree2,
                            ContactSet& out) {
  *out.count = 0;
  if (tree1 == nullptr || tree2 == nullptr || !usableMesh(mesh1) || !usableMesh(mesh2)) return false;
  NodePair unused{nullptr, nullptr};
  findLeafPair(
      {tree1->getRoot(), tree2->getRoot()},
      [&](const BoxTreeNode& a, const BoxTreeNode& b) {
        FaceTreeNode::leafLeafContacts(a, mesh1, b, mesh2, out);
        return false;
      },
      unused);
  finishContacts(out, true);
  return out.size() > 0;
}

bool FaceTree::planeContacts(const BoxTree* tree, const ZOVmesh& mesh, const MgcVector3& planePoint,
                             const MgcVector3& planeNormal, ContactSet& out) {
  *out.count = 0;
  if (tree == nullptr || !usableMesh(mesh)) return false;
  auto passes = [&](const BoxTreeNode& node) {
    return heightOver(node.worldBox.getCenter(), planePoint, planeNormal) < node.worldRadius &&
           obbPlaneOverlap(*node.worldBox.getBox(), planePoint, planeNormal);
  };
  visitLeaves(tree->getRoot(), passes, [&](const BoxTreeNode& leaf) {
    FaceTreeNode::planeLeafContacts(leaf, mesh, planePoint, planeNormal, out);
  });
  finishContacts(out, false);
  return out.size() > 0;
}
