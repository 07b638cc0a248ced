#pragma once

#include <maya/MStatus.h>

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class NodeImpl;
class NodeTypeRegistry;

/// A mesh's membership in one shading group: the whole mesh, or some of its
/// faces. A mesh node keeps its memberships as connections from its
/// instObjGroups elements to the groups' dagSetMembers, each element with
/// its face list in objectGrpCompList, so that they are saved with the scene.
struct SetMembership {
  std::shared_ptr<NodeImpl> group;
  bool whole = false;
  std::vector<int> faces;
};

/// The mesh's memberships in element order.
std::vector<SetMembership> meshMemberships(const std::shared_ptr<NodeImpl>& mesh);
/// Replaces every membership of the mesh (used by edits and their undo).
MStatus setMeshMemberships(const std::shared_ptr<NodeImpl>& mesh, const std::vector<SetMembership>& memberships);

/// How faces join a shading group.
enum class MemberMode {
  /// Faces leave whatever other shading group holds them.
  kForce,
  /// Faces held by another shading group stay where they are.
  kInclude,
};

/// Puts the whole mesh (whole) or some faces into a group. Answers in
/// skipped the faces that another group keeps (kInclude only).
MStatus addGroupMembers(const std::shared_ptr<NodeImpl>& group, const std::shared_ptr<NodeImpl>& mesh, bool whole,
                        const std::vector<int>& faces, MemberMode mode, std::vector<int>* skipped = nullptr);
/// Takes the whole mesh or some faces out of a group.
MStatus removeGroupMembers(const std::shared_ptr<NodeImpl>& group, const std::shared_ptr<NodeImpl>& mesh, bool whole,
                           const std::vector<int>& faces);

/// The group per polygon of a mesh with polygonCount polygons: the groups in
/// order of membership, and per polygon an index into them or -1.
void polygonGroups(const std::shared_ptr<NodeImpl>& mesh, int polygonCount,
                   std::vector<std::shared_ptr<NodeImpl>>& groups, std::vector<int>& indices);
/// The members of a group as names ("meshShape", "meshShape.f[0:3]").
std::vector<std::string> groupMemberNames(const std::shared_ptr<NodeImpl>& group);

/// "f[0:3] f[5]" for a face list (sorted, without repeats); and back.
std::string faceListText(const std::vector<int>& faces);
bool parseFaceListText(const std::string& text, std::vector<int>& faces);

/// Registers "shadingEngine" with the host's own types.
void registerShadingEngineType(NodeTypeRegistry& registry);
/// Registers "lambert": a surface shader with a float3 `color` (default
/// grey) that its `outColor` gives on.
void registerLambertType(NodeTypeRegistry& registry);
/// Makes the default group "initialShadingGroup" (part of every scene).
void createDefaultShadingGroup();

}  // namespace zovhost
