#pragma once

#include <maya/MFloatVector.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>

#include <memory>
#include <utility>
#include <vector>

namespace zovhost {

class NodeImpl;
class NodeTypeRegistry;

/// Registers the host's own node types that work with meshes besides the
/// shape itself:
///   "file" and "checker": textures; their uvSetLinks elements are the
///     destinations of the UV set links of meshes (see the uvLink command);
///   "meshCache" (function-set type kMeshCache): plays a mesh back, its
///     outMesh giving the mesh set on its inMesh, to feed a shape's inMesh;
///   nodes of a mesh's history that hand the mesh on unchanged, each with
///     its own function-set type and plug names: "groupParts" (kGroupParts,
///     inputGeometry to outputGeometry), "polyModifier" (kPolyModifierNode)
///     inputPolymesh to output, and "polyMeshCopy" (kPolyMeshCopy), inMesh
///     to outMesh; the colour nodes
///     that older scenes left in meshes' histories, "polyColorPerVertex"
///     (kPolyColorPerVertex) and "polyColorSet" (kPolyColorSet),
///     inputPolymesh to output;
///   per-vertex edits, inputPolymesh to output: "polyTweak" (kPolyTweak)
///     adds its "tweak" elements to the points, "polyNormalPerVertex"
///     (kPolyNormalPerVertex) gives every face-vertex of a vertex the
///     vertex's "vertexNormal" element.
void registerMeshSupportTypes(NodeTypeRegistry& registry);

/// The "polyNormalPerVertex" node that feeds the mesh node's inMesh; when
/// another node feeds it, a new one is put between them. Null when the
/// mesh has no history or the node cannot be made.
MObject normalEditAbove(const std::shared_ptr<NodeImpl>& mesh);

/// A float3 array attribute with children named after it plus x, y and z.
MObject float3Array(const char* longName, const char* shortName);
/// The elements of a float3 array plug: (logical index, value), in order.
std::vector<std::pair<int, MFloatVector>> float3Elements(const MPlug& array);

}  // namespace zovhost
