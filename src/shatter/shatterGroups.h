#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <cstdint>
#include <vector>

#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"

class voronoiNode;

// A shatter's result as scene content: the voronoi node that records it,
// the shatter group that holds the shards, and the hiding of the source.

/// What the voronoi node of one shatter records.
struct ShatterRecord {
  /// The shattered mesh shape.
  MDagPath shapePath;
  /// The scheme and internal style of the shatter.
  short scheme = 0;
  std::uint16_t style = 0;
  /// Object to world; the node keeps its points and boxes in object space.
  MMatrix matrix;
  /// The shattered region (world space).
  MBoundingBox box;
  /// This level's seeds and the earlier levels' seeds (world space).
  std::vector<Mgc::MgcVector3> seedsA;
  std::vector<Mgc::MgcVector3> seedsB;
  /// The cells, for the display of their cut faces. Not owned.
  std::vector<ZOV_DFmesh*> cells;
  /// The cut material's name; empty when the shards have none.
  MString cutMaterialName;
  std::uint32_t ringCount = 0;
  double noise = 0.0;
  MStringArray shaderNames;
  /// The voronoi node the shape drove before this shatter (a re-shatter of
  /// an earlier result), or null.
  MObject previousNode;
  /// Name the new transform after the shape's transform (+ "zovTRSVoro").
  bool renameTransform = true;
};

/// The transform above a shape.
MDagPath transformOfShape(const MDagPath& shapePath);
/// Leads a transform's path on to its first mesh shape; true when the path
/// ends at a mesh shape, false (the path left alone) when there is none.
bool toMeshShape(MDagPath& path);

/// Makes and fills the voronoi node of a shatter (through the modifier,
/// which is run) and connects the shape's `worldMesh` to it. Answers the
/// node's new transform; null when none could be made. An earlier node's
/// boxes and levels are carried over, the meshes of its group stored, and
/// that group deleted.
MObject createShatterVoronoiNode(MDagModifier& modifier, const ShatterRecord& record, MStatus* status = nullptr);

/// Stores the meshes of an earlier shatter group (every child but the
/// voronoi transform) in the node, in world space.
void storeGroupShapes(voronoiNode* node, const MDagPath& group, const MStringArray& shaderNames);

/// Whether a shatter hides the shape rather than its transform: when the
/// transform is animated or holds children besides the shape (and the
/// preview locator, when there is one).
bool hidesShapeOnly(const MDagPath& shapePath, bool hasLocator);

/// Hides the source, makes the group "<transform>ShatterGroup" (under the
/// transform when the shape alone is hidden, else under the transform's
/// parent), names the shards "<transform>_shard#" and queues their
/// parenting (and the voronoi transform's, when given) to the group for
/// when the host is idle. Answers the group's name.
MString groupShards(const MDagPath& shapePath, bool hideShapeOnly, const MObjectArray& shards,
                    const MObject& voronoiTransform);
