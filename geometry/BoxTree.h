#pragma once

#include <cstdint>
#include <memory>

#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"
#include "geometry/EngineList.h"
#include "geometry/ShapeRecords.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

// The engine's binary tree of oriented boxes. Two kinds of tree use it: the
// cluster tree of a fracture body, built here over the centres of its pieces'
// boxes, and the triangle tree of a triangle-mesh body, built by the body over
// its faces. Both split a node by the plane findSplitPlane chooses.

/// An item of a cluster tree: one piece of a fracture body.
struct ClusterItem {
  /// The piece's bounding box; the tree reads only its centre.
  ZOVbox* box;
  /// The piece's cluster id (its shape record's tag); the labelling writes it.
  std::int32_t* tag;
};

template <class Volume>
class Binary_Node;
template <class Volume>
class Binary_Tree;

/// A node of the box tree. Plain data that the builds fill in: a leaf has no
/// children and a non-zero item count; every inner node has both children.
/// A node owns its children, its index arrays, its item list's nodes (not the
/// items) and the records of its two boxes.
template <>
class Binary_Node<BVbox> {
 public:
  /// The largest number of corner points an inner node keeps: 8 per child.
  static constexpr std::uint32_t kMaxCorners = 16;

  Binary_Node() = default;
  Binary_Node(const Binary_Node&) = delete;
  Binary_Node& operator=(const Binary_Node&) = delete;
  /// Frees the whole subtree (without recursion, so deep trees are safe).
  ~Binary_Node();

  bool isLeaf() const { return firstChild == nullptr && secondChild == nullptr && itemCount != 0; }
  bool hasChildren() const { return firstChild != nullptr || secondChild != nullptr; }

  /// 0 for the root, the parent's level + 1 below it.
  std::uint32_t level = 0;
  /// The node's items (cluster tree); emptied when the node is split.
  EngineList<ClusterItem*> items;
  /// 0 for the root; the others are numbered 1, 2, ... in the order the build
  /// visits them: a node's first child, that child's subtree, then its second.
  std::uint32_t nodeId = 0;
  /// The box fitted to the node's points, in the tree's own frame.
  BVbox nodeBox;
  /// The node box after the tree's last transform.
  BVbox worldBox;
  /// Length of the node box's half-extent vector.
  double nodeRadius = 0.0;
  /// nodeRadius times the largest scale of the last transform.
  double worldRadius = 0.0;
  std::unique_ptr<Binary_Node> firstChild;
  std::unique_ptr<Binary_Node> secondChild;
  /// Items (cluster tree) or face indices (triangle tree) the node holds; 0
  /// once it is split.
  std::uint32_t itemCount = 0;
  /// Triangle tree: the node's faces (itemCount of them).
  std::unique_ptr<std::uint32_t[]> faceIndices;
  /// Triangle tree: entries of vertexIndices.
  std::uint32_t vertexCount = 0;
  /// Triangle tree: the distinct vertices of the node's faces.
  std::unique_ptr<std::uint32_t[]> vertexIndices;
  /// Triangle tree: valid entries of cornerPoints.
  std::uint32_t cornerCount = 0;
  /// Triangle tree: the 8 corners of each child's box, first child first.
  Mgc::MgcVector3 cornerPoints[kMaxCorners];
};

using BoxTreeNode = Binary_Node<BVbox>;

/// The box tree: its root, its leaf count and depth, a node table that the
/// read-outs collectTreeLeaves and collectTreeLevel fill, and (cluster tree)
/// the items it is built over, which it owns.
///
/// Builds, transforms and labels run on one thread at a time per tree; trees
/// do not share state, so different trees may be built at the same time.
template <>
class Binary_Tree<BVbox> {
 public:
  /// No items, no root, leaf count and depth 0, no node table.
  Binary_Tree() = default;
  Binary_Tree(const Binary_Tree&) = delete;
  Binary_Tree& operator=(const Binary_Tree&) = delete;
  /// Frees the nodes, the node table and every item record.
  ~Binary_Tree();

  /// Adds an item for a piece with bounding box `box` and cluster id `tag`
  /// (neither owned); it comes first in the item list. False, with nothing
  /// added, when `box` is null or allocation fails.
  bool appendItem(ZOVbox* box, std::int32_t* tag);
  /// Takes the item of the piece with bounding box `box` out of the item
  /// list and out of the leaf that holds it, so that nothing of the tree
  /// reaches the piece any more; the rest of the tree, its depth and its
  /// labels stay as built. False when no item has that box.
  bool removeItem(const ZOVbox* box);
  /// The cluster build over the items: replaces the root by a new tree whose
  /// nodes hold fewer than kClusterLeafItems items each, or more when no
  /// plane separates them; then the depth, the leaf count and a node table
  /// with one entry per leaf. The items travel down the build in arrays and
  /// only the leaves' lists are filled. False, with no root, when there are no
  /// items or memory for the root, the arrays or a leaf's list runs out; a
  /// child that cannot be made leaves its parent a leaf.
  bool build();

  /// The triangle build over the faces of the volume's mesh (its local
  /// vertices, the first three corners of each face): the built mark is
  /// cleared and the old root dropped; a root takes every face, and nodes are
  /// split by findSplitPlane over their faces' incentres until they hold
  /// fewer than kTriangleLeafFaces faces or no plane separates them (a face
  /// goes to the first child when its incentre lies more than the tolerance
  /// below the plane). Ids run 0 for the root, then in build order. Then the
  /// depth, the leaf count and the node table. The built mark is set in any
  /// case; false when the volume has no mesh, the mesh has no face or memory
  /// runs out.
  bool buildTriangleTree(const BVmesh* volume);
  /// Fits every node box again to the volume's mesh as it is now: a leaf to
  /// its vertices, an inner node to the 16 corners of its children's boxes.
  /// False without a root or without a mesh.
  bool refitTriangleTree(const BVmesh* volume);

  /// leaf count := the number of leaves; nothing without a root.
  void countLeaves();
  /// depth := the largest leaf level + 1; nothing without a root.
  void computeDepth();
  /// Every node's world box := its node box scaled by s, rotated by R and
  /// moved by t (BVbox::transformSRT), and its world radius := node radius
  /// times the largest |s_i|. Nothing without a root.
  void transform(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
  /// Writes cluster labels into the items' tags. Below `threshold` every
  /// split doubles the label, the first subtree taking it and the second the
  /// next free value; from level `threshold` down a subtree shares one label.
  /// Threshold 0 labels every leaf 1; a threshold at or beyond the depth gives
  /// every leaf a label of its own. Nothing without a root.
  void labelLeaves(std::uint32_t threshold);

  /// The root, null until built.
  BoxTreeNode* getRoot() const { return root_.get(); }
  std::uint32_t getLeafCount() const { return leafCount_; }
  std::uint32_t getDepth() const { return depth_; }
  /// The node table (one entry per leaf of the last build), null when none
  /// was allocated.
  BVbox** getNodeTable() const { return nodeTable_.get(); }
  /// Entries of the node table.
  std::uint32_t getNodeTableSize() const { return nodeTableSize_; }
  const EngineList<ClusterItem*>& getItems() const { return items_; }
  /// The mark a build that must only run once sets (the triangle tree's).
  bool isBuilt() const { return builtMark_ != 0; }
  void setBuilt(bool built) { builtMark_ = built ? 1 : 0; }

  /// Nodes of the triangle tree with fewer faces than this stay leaves.
  static constexpr std::uint32_t kTriangleLeafFaces = 13;
  /// Nodes of the cluster tree with fewer items than this stay leaves.
  static constexpr std::uint32_t kClusterLeafItems = 5;

 private:
  /// After a successful build: depth, leaf count and a node table for them.
  void finishBuild();

  EngineList<ClusterItem*> items_;
  std::unique_ptr<BVbox*[]> nodeTable_;
  std::uint32_t nodeTableSize_ = 0;
  std::uint32_t leafCount_ = 0;
  std::uint32_t depth_ = 0;
  std::uint8_t builtMark_ = 0;
  std::unique_ptr<BoxTreeNode> root_;
};

using BoxTree = Binary_Tree<BVbox>;

/// The plane that splits a node of a box tree whose points are
/// points[0 .. count - 1] and whose fitted box is `box`. The box axes are
/// tried from the third to the first; for an axis a the plane passes through
/// the mean m of the points' projections on the line through the box centre
/// along a. With d_i = (x_i - m).a, n the most negative d_i below -1e-5 and p
/// the largest above 1e-5 (0 when there is none), the plane separates when
/// p > 1 and n < -1, or when min(-n, p) / max(-n, p) > 1e-5. Writes the first
/// separating axis and its plane point and returns true; false when none
/// separates (points on one side of the plane's band never separate).
bool findSplitPlane(const ZOVbox& box, const Mgc::MgcVector3* points, std::uint32_t count, Mgc::MgcVector3& axis,
                    Mgc::MgcVector3& planePoint);

/// Fills the tree's node table from entry 0 with the world box of every leaf,
/// the first subtree's leaves before the second's, and returns the table.
/// Null without a root or without a table.
BVbox** collectTreeLeaves(BoxTree* tree);
/// Fills the tree's node table with the world box of every node at `level`
/// and of every leaf above it, walking from the root, the first subtree before
/// the second, and returns the table; `*count` := the entries written. Null
/// without a root (count untouched); without a table nothing is written and
/// the count is 0.
BVbox** collectTreeLevel(BoxTree* tree, std::uint32_t level, std::uint32_t* count);
