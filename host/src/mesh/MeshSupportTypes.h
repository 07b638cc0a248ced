#pragma once

namespace zovhost {

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
///     and "polyTweak" (kPolyTweak), inputPolymesh to output, and
///     "polyMeshCopy" (kPolyMeshCopy), inMesh to outMesh; the colour nodes
///     that older scenes left in meshes' histories, "polyColorPerVertex"
///     (kPolyColorPerVertex) and "polyColorSet" (kPolyColorSet),
///     inputPolymesh to output.
void registerMeshSupportTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
