#pragma once

// Small steps the shape bodies share when they place a shape given in world
// terms into their own frame and set up their inertia.

#include "engine/bodies/HardBodyShape.h"
#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace shapeframes {

/// The scale a shape is placed with: components that are zero or not finite
/// (which no body frame can undo) are taken as 1.
Mgc::MgcVector3 usableScale(const Mgc::MgcVector3& s);

/// Component-wise 1 / s of a usable scale.
Mgc::MgcVector3 inverseScale(const Mgc::MgcVector3& s);

/// Copies the transformed arrays of the mesh into the local ones: world
/// vertices, world face normals, world centre and world radius.
void worldToLocal(ZOVmesh* mesh);

/// Brings a mesh given in world terms into the frame at position p and
/// orientation R with scale s: translate by -p, rotate by R^T, divide by s;
/// then worldToLocal. Nothing for a null mesh.
void meshIntoFrame(ZOVmesh* mesh, const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);

/// The shape's local box rotation and its quaternion.
void setBoxRotation(HardBodyShape& shape, const Mgc::MgcMatrix3& rotation);

/// Length of a vector's largest component.
double largestComponent(const Mgc::MgcVector3& v);

/// The tensor of a body of mass m whose own tensor about its centre, in the
/// frame of the box rotation B, is `centred`: B centred B^T plus the parallel
/// axis terms of the centre c (body frame), m (|c|^2 E - c c^T).
Mgc::MgcMatrix3 placedInertia(const Mgc::MgcMatrix3& centred, const Mgc::MgcMatrix3& B, const Mgc::MgcVector3& c,
                              double m);

/// The tensor of a solid capsule of mass m about its centre, axis along z: a
/// cylinder of radius r and length L with a hemisphere on each end, the mass
/// shared by volume.
Mgc::MgcMatrix3 capsuleInertia(double m, double r, double L);

}  // namespace shapeframes
