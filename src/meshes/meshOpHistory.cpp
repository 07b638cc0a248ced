#include "src/meshes/meshOpHistory.h"

#include <maya/MFn.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MTypeId.h>

namespace {

/// The node type id of the mesh-operation node.
const MTypeId kMeshOpNodeId(0x113A83);

/// The node feeding a plug of `node` found by name; null when the plug is
/// missing or has no source.
MObject sourceNode(const MObject& node, const char* plugName) {
  MStatus status;
  const MPlug plug = MFnDependencyNode(node).findPlug(plugName, true, &status);
  if (!status || plug.isNull()) return MObject();
  const MPlug source = plug.source();
  return source.isNull() ? MObject() : source.node();
}

}  // namespace

MObject findMeshOpNode(const MObject& mesh) {
  if (mesh.isNull()) return MObject();
  MObject node = sourceNode(mesh, "inMesh");
  if (node.isNull()) return MObject();
  if (node.apiType() == MFn::kPolyNormalPerVertex) {
    node = sourceNode(node, "inputPolymesh");
    if (node.isNull()) return MObject();
    if (node.apiType() == MFn::kPolyMeshCopy) {
      node = sourceNode(node, "inMesh");
      if (node.isNull() || node.apiType() != MFn::kGroupParts) return MObject();
    }
  }
  while (node.apiType() == MFn::kGroupParts) {
    node = sourceNode(node, "inputGeometry");
    if (node.isNull()) return MObject();
  }
  if (node.apiType() == MFn::kPluginDependNode && MFnDependencyNode(node).typeId() == kMeshOpNodeId) return node;
  return MObject();
}

bool hasMeshOpHistory(const MObject& mesh) { return !findMeshOpNode(mesh).isNull(); }
