#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <memory>

#include "geometry/ZOVmesh.h"
#include "src/moduleNode.h"

/// The collision shape node (`zovCollisionShape`): sits between a host mesh,
/// whose world-space geometry arrives on `inShape`, and a body node. It keeps
/// an engine polygon mesh built from that geometry and publishes the chosen
/// collision type; body nodes ask it for the mesh when they build their
/// engine body.
///
/// Engine faces: a convex polygon of at most kMaxFaceCorners corners is one
/// face; a larger convex polygon becomes a fan of triangles; a polygon that is
/// not convex becomes the host's triangles. Every face carries its polygon's
/// world normal, negated when the collision side is flipped. Vertex order
/// follows the host's, except under a mirroring world matrix: those faces are
/// turned round, normals too, so that the mesh stays wound outward.
class collisionShapeNode : public ModuleNode<collisionShapeNode, MPxNode> {
 public:
  /// Values of the `type` attribute.
  enum CollisionType : short {
    kTypeNone = 0,
    kTypeCapsule = 1,
    kTypeConvexHull = 2,
    kTypeMesh = 3,
    kTypeAuto = 4,
    kTypeCracker = 6
  };

  collisionShapeNode();
  ~collisionShapeNode() override;

  static MStatus initialize();

  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  /// The engine mesh, built first when none is cached; brings the outputs
  /// up to date through their plugs. Null when the input gives no mesh or
  /// the mesh cannot be allocated. The node keeps ownership.
  ZOVmesh* getShape();
  /// Rebuilds the engine mesh from the current input, always anew.
  void rebuildShape();
  /// Frees the engine mesh, when there is one.
  void releaseShape();
  /// The cached engine mesh as it is, without evaluating anything; may be null.
  const ZOVmesh* cachedShape() const { return engineMesh.get(); }
  /// Whether the last build found geometry but ran out of memory making the
  /// engine mesh of it.
  bool ranOutOfMemory() const { return outOfMemory; }

  /// Whether the object is a collision shape node.
  static bool isShapeNode(const MObject& node);

  /// Node-removed handler for this node type: frees the removed node's mesh.
  static void onNodeRemoved(MObject& node, void* clientData);

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject shapeType;            ///< "type": a CollisionType
  inline static MObject outCollisionShape;    ///< mesh output; nothing writes it
  inline static MObject outCollisionType;     ///< `type` as an int
  inline static MObject inShape;              ///< the host mesh, in world space
  inline static MObject animatedMesh;         ///< "animated(Mesh)": rebuild on every evaluation
  inline static MObject flipCollisionSide;    ///< "flipCollisionSide(Mesh)": negate the face normals
  inline static MObject ca_collisionShape;    ///< pulling it builds the mesh anew
  inline static MObject collisionShapeParam;  ///< pulling it applies the type's rules

 private:
  struct MeshDeleter {
    void operator()(ZOVmesh* mesh) const;
  };

  /// Builds the engine mesh from host mesh data. Without `force`, a cached
  /// mesh is refilled in place when the new topology fits in it. When memory
  /// runs out the node holds no mesh and ranOutOfMemory says so.
  void buildShape(const MObject& meshData, bool force, bool flip);

  /// buildShape's work; an allocation that fails on the way throws.
  void buildShapeFrom(const MObject& meshData, bool force, bool flip);

  std::unique_ptr<ZOVmesh, MeshDeleter> engineMesh;
  bool outOfMemory = false;
};
