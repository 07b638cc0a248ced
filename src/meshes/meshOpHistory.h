#pragma once

#include <maya/MObject.h>

// Whether a mesh shape is fed by a mesh-operation node (`zovMeshOpNode`):
// the walk goes upstream from the mesh's "inMesh" through a per-vertex normal
// node and the mesh copy behind it, then through any run of component-group
// nodes, and stops at the first node of any other kind.

/// The `zovMeshOpNode` feeding the mesh shape, or the null object.
MObject findMeshOpNode(const MObject& mesh);
/// Whether findMeshOpNode finds a node.
bool hasMeshOpHistory(const MObject& mesh);
