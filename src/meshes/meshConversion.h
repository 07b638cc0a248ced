#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include "geometry/ZOV_DFmesh.h"

// Host meshes to engine meshes. The engine mesh holds the host geometry in
// world space with an identity transform (rotation identity, scale 1, no
// translation, centre the mean vertex): the points, the host's face-vertex
// normals (`auxPoints`, addressed by each face's `cornerData`), up to eight
// UV sets, one colour set (`extraPoints`, addressed by `extraIndices`), one
// byte per face chosen by the caller (`faceByte`: the low byte of
// perFaceValues[polygon], 0 when the array is empty or too short) and the
// cut-face tags (`faceFlags`). Convex polygons stay whole; every other
// polygon becomes the host's triangles of it, each with the polygon's
// normal, byte and tags. Polygons whose normal is shorter than the
// tolerance give no face, unless they are cut faces: a cap sliver of no
// area closes its shard and is kept whole (with its zero normal).
//
// Both converters return a new mesh that the caller frees with
// `deleteDFmesh`, or null when the host mesh has no points or no face to
// convert, or memory runs out. Neither prints anything.

/// Converts the mesh a function set is attached to through a DAG path
/// (world-space queries must work); the host decides which polygons are
/// convex. uvSetNames is cleared and filled with every UV set name of the
/// mesh. Colours come from the named colour set, when the mesh has one.
/// A cut-face value of 1 sets kCutFaceFlag, any value of 2 or more
/// kSecondCutFaceFlag.
ZOV_DFmesh* mayaMeshToEngineMesh(MFnMesh& mesh, const MIntArray& perFaceValues, MStringArray& uvSetNames,
                                 const MString& colorSetName);

/// Converts the mesh shape at a path; the engine decides which polygons are
/// convex. With a matrix, points and normals are read in object space and
/// multiplied by it (normals as directions, not renormalised) instead of
/// taken in world space. Colours come from the current colour set. A
/// cut-face value of 1 sets kCutFaceFlag, exactly 2 kSecondCutFaceFlag.
ZOV_DFmesh* mayaMeshToEngineMeshWorld(const MDagPath& meshPath, const MIntArray& perFaceValues,
                                      MStringArray& uvSetNames, const MMatrix* matrix);
/// The same for a mesh object (mesh data in its own space, say).
ZOV_DFmesh* mayaMeshToEngineMeshWorld(const MObject& mesh, const MIntArray& perFaceValues, MStringArray& uvSetNames,
                                      const MMatrix* matrix);
