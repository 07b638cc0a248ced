#pragma once

#include <cstdint>

#include "engine/collision/ContactSet.h"
#include "geometry/BoxTree.h"
#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"

class BVmesh;
class Pk_jump;
class ZOVmesh;

/// The face-tree queries of a triangle-mesh body: its box tree over the
/// faces of its mesh, descended against a capsule, a hull, the face tree of
/// another triangle-mesh body or a plane. Everything is read in world terms:
/// the nodes' world boxes and radii, the meshes' world vertices and world
/// face normals, so both bodies' world data must be current.
///
/// A face of more than three corners is taken as the fan of triangles
/// (corner 0, k, k + 1), so every part of it can be hit.
///
/// The overlap forms stop at the first overlapping leaf and remember it in
/// the caller's cached node(s), which they try first next time; a failed
/// descent clears the cache. The contact forms visit every overlapping leaf,
/// append what the leaves give to the contact set (whose first shape is the
/// tree's body) and then drop opposing and duplicate contacts.
///
/// The queries keep their working state on their own stack, so any number
/// of threads may run them at once on trees and meshes that do not change.
/// `jump` may be null: the node prefilters that would ask it then pass.
class FaceTree {
 public:
  FaceTree() = delete;

  static bool capsuleOverlap(const BoxTree* tree, const ZOVmesh& mesh, const ZOVcapsule& capsule, const Pk_jump* jump,
                             BoxTreeNode*& cached);
  /// Overlap with the convex hull `hull` (world data of its mesh).
  static bool meshOverlap(const BoxTree* tree, const ZOVmesh& mesh, const BVmesh& hull, const Pk_jump* jump,
                          BoxTreeNode*& cached);
  /// Overlap with the second tree over `mesh2`; both cached nodes must be set
  /// for the cache to be tried.
  static bool treeOverlap(const BoxTree* tree1, const ZOVmesh& mesh1, const ZOVmesh& mesh2, const BoxTree* tree2,
                          BoxTreeNode*& cached1, BoxTreeNode*& cached2);
  /// Overlap with the plane through `planePoint` with the unit `planeNormal`
  /// (the solid lying behind it).
  static bool planeOverlap(const BoxTree* tree, const ZOVmesh& mesh, const Mgc::MgcVector3& planePoint,
                           const Mgc::MgcVector3& planeNormal, BoxTreeNode*& cached);

  /// Contact forms: the set is emptied first; true when it ends with contacts.
  static bool capsuleContacts(const BoxTree* tree, const ZOVmesh& mesh, const ZOVcapsule& capsule, const Pk_jump* jump,
                              ContactSet& out);
  /// Drops depth outliers as well.
  static bool meshContacts(const BoxTree* tree, const ZOVmesh& mesh, const BVmesh& hull, const Pk_jump* jump,
                           ContactSet& out);
  /// Drops depth outliers as well.
  static bool treeContacts(const BoxTree* tree1, const ZOVmesh& mesh1, const ZOVmesh& mesh2, const BoxTree* tree2,
                           ContactSet& out);
  static bool planeContacts(const BoxTree* tree, const ZOVmesh& mesh, const Mgc::MgcVector3& planePoint,
                            const Mgc::MgcVector3& planeNormal, ContactSet& out);
};

/// The tests and contact generators of one leaf of a face tree, over the
/// leaf's faces of `mesh` (world data). Faces or vertices out of the mesh's
/// range are skipped.
class FaceTreeNode {
 public:
  FaceTreeNode() = delete;

  /// True at the first face that the capsule overlaps.
  static bool capsuleLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const ZOVcapsule& capsule);
  /// True at the first face that crosses a face of the hull. A hull face
  /// facing the same way as the leaf face is passed over; a hull face plane
  /// with the whole leaf face above it separates them.
  static bool meshLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const BVmesh& hull);
  /// True at the first pair of faces, one of each leaf, that overlap.
  static bool leafLeafOverlap(const BoxTreeNode& leaf1, const ZOVmesh& mesh1, const BoxTreeNode& leaf2,
                              const ZOVmesh& mesh2);
  /// True when some vertex of a leaf face lies more than 1e-5 behind the plane.
  static bool planeLeafOverlap(const BoxTreeNode& leaf, const ZOVmesh& mesh, const Mgc::MgcVector3& planePoint,
                               const Mgc::MgcVector3& planeNormal);

  /// Contact generators: each appends after the contacts already held; when
  /// the new points would bring the set to kMaxPairContacts or more, the set
  /// is cut to its extreme points first and the new points to what fits.
  /// The first feature is the leaf's face.
  static void capsuleLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const ZOVcapsule& capsule,
                                  ContactSet& out);
  static void meshLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const BVmesh& hull, ContactSet& out);
  static void leafLeafContacts(const BoxTreeNode& leaf1, const ZOVmesh& mesh1, const BoxTreeNode& leaf2,
                               const ZOVmesh& mesh2, ContactSet& out);
  static void planeLeafContacts(const BoxTreeNode& leaf, const ZOVmesh& mesh, const Mgc::MgcVector3& planePoint,
                                const Mgc::MgcVector3& planeNormal, ContactSet& out);
};
