#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>

#include "dag/DagNode.h"
#include "mesh/MeshGeometry.h"

#include <memory>

namespace zovhost {

class NodeImpl;
class NodeTypeRegistry;

/// The host's polygon mesh shape ("mesh", function-set type kMesh). It holds
/// its own mesh in inMesh unless a connection feeds it (a primitive's
/// creation node, say); outMesh gives that mesh in object space and
/// worldMesh, one element per instance, the same mesh with the instance's
/// world matrix. Changing the mesh or any transform above the shape makes
/// worldMesh, and what it feeds, dirty.
class MeshNode : public HostShape {
 public:
  static void* creator() { return new MeshNode; }
  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  static MObject inMesh;
  static MObject outMesh;
  static MObject worldMesh;
  /// Shading group memberships (see ShadingGroups.h): message elements
  /// connected to the groups, and each element's face list ("" for all).
  static MObject instObjGroups;
  static MObject objectGrpCompList;
  /// Whether the mesh shows its colours.
  static MObject displayColors;
  /// One element per UV set k that textures are linked to: its uvSetName
  /// child is the source of the links (see the uvLink command).
  static MObject uvSet;
  static MObject uvSetName;
  /// Vertex tweaks: float3 elements by vertex, added to the points of the
  /// mesh that reaches the node (its own, or what its history gives).
  static MObject pnts;
  /// Message elements fed by the blind data types whose values it holds.
  static MObject blindDataNodes;

  /// The mesh a mesh node gives (its outMesh made current; never null).
  static std::shared_ptr<const MeshGeometry> geometry(const std::shared_ptr<NodeImpl>& node);
  /// Gives a mesh node a new mesh of its own. Refused when its inMesh is
  /// locked or fed by a connection (the mesh would be lost at the next
  /// evaluation).
  static MStatus setGeometry(const std::shared_ptr<NodeImpl>& node, std::shared_ptr<const MeshGeometry> geometry);
  /// A mesh written to the outMesh of a node without history becomes its
  /// own mesh, as the node gives it (tweaks included).
  static void outMeshStored(const MPlug& plug);
  MBoundingBox objectBoundingBox() const override;
};

/// Registers the "mesh" node type with the host's own types.
void registerMeshNodeType(NodeTypeRegistry& registry);

}  // namespace zovhost
