#pragma once

#include <maya/MFnMesh.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MStringArray.h>

#include "geometry/ZOV_DFmesh.h"

/// Makes a host mesh from an engine mesh: points from the world vertices,
/// one polygon per engine face, face-vertex normals, one colour set
/// ("colorSet1", only for a mesh that has no current colour set yet) and the
/// carried UV sets named by uvSetNames (the first renames the current set).
/// Engine indices out of range become 0; normal indices out of range leave
/// that corner's normal to the host.
///
/// parent: null rebuilds the mesh the function set is attached to; a null
/// object makes a new mesh under a new transform, which is written back; a
/// transform gets the new mesh below it. The function set ends attached to
/// the mesh. Fails, making nothing, for fewer than 4 points, for exactly 4
/// points with more than 4 faces, and when the host refuses the polygons.
/// Otherwise answers the status of the last edit.
MStatus engineMeshToMayaMesh(const ZOV_DFmesh& mesh, MFnMesh& hostMesh, const MStringArray& uvSetNames,
                             MObject* parent);

/// Tags the faces of a host mesh made from an engine mesh with the cut-face
/// value of their engine face (1 for kCutFaceFlag, else 2 for
/// kSecondCutFaceFlag, else 0), through "polyBlindData" naming the mesh by
/// its full path (mesh data, which no command can name, is tagged
/// directly). Makes the tag's blind data type first when the scene lacks it.
void setCutFaceBlindData(const ZOV_DFmesh& mesh, MFnMesh& hostMesh);

/// True when a node of function-set type kMeshCache feeds the node's
/// "inMesh" directly.
bool findInMeshSource(const MObject& node);
