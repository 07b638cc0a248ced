#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOV_DFmesh.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcVector3.h"

// Boolean overlap tests between the engine's simple shapes. All are pure
// functions of their arguments. A capsule's segment runs from its lower end
// center - axis * length/2 to its upper end center + axis * length/2.

/// True when the boxes overlap on every axis; touching boxes overlap.
bool aabbOverlap(const ZOVAAbox& a, const ZOVAAbox& b);

/// Separating-axis test of two oriented boxes over the 15 axes (3 + 3 face
/// axes, 9 edge cross products); touching boxes overlap. No slack is added for
/// parallel edges.
bool obbOverlap(const ZOVbox& a, const ZOVbox& b);

/// True when the box reaches behind the plane (point, normal): some part of it
/// lies on the side opposite the normal, also when the whole box does.
bool obbPlaneOverlap(const ZOVbox& box, const Mgc::MgcVector3& planePoint, const Mgc::MgcVector3& planeNormal);

/// True when the capsule's segment ends lie on both sides of the plane (or one
/// on it), or either end is within the radius of the plane. The normal need
/// not be unit for the side test but should be for the radius test.
bool segmentPlaneOverlap(const ZOVcapsule& capsule, const Mgc::MgcVector3& planePoint,
                         const Mgc::MgcVector3& planeNormal);

/// True when the segments of the capsules are at most rA + rB apart.
bool capsuleCapsuleOverlap(const ZOVcapsule& a, const ZOVcapsule& b);

/// True when the capsule's segment (its upper end alone when the axis is
/// shorter than 1e-5 squared) is closer to the triangle than the radius;
/// touching does not count.
bool capsuleTriangleOverlap(const ZOVcapsule& capsule, const Mgc::MgcVector3 triangle[3]);

/// Separating-axis test of two triangles with their unit normals. The plane
/// of A must cut B's interval along nA, widened by `margin` on both sides;
/// then triangles in parallel planes (|nA x nB|^2 < 1e-5) are tested on the
/// in-plane edge normals of both, others on the nine edge cross products.
/// Triangles in one plane differ in their plane offsets by rounding only:
/// with margin 0 rounding decides for them, so callers pass a small margin.
bool triTriOverlap(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& normalA, const Mgc::MgcVector3 B[3],
                   const Mgc::MgcVector3& normalB, double margin);

/// triTriOverlap with margin 0.
bool triTriOverlapExact(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& normalA, const Mgc::MgcVector3 B[3],
                        const Mgc::MgcVector3& normalB);

/// True when no point lies more than 1e-5 behind the plane; true for no points.
bool pointsAbovePlane(const Mgc::MgcVector3* points, std::uint32_t count, const Mgc::MgcVector3& planePoint,
                      const Mgc::MgcVector3& planeNormal);

/// Where the mesh's transformed vertices lie against a plane, with a dead zone
/// of 1e-5 about it: 1 when none is behind (also for no vertices), -1 when some
/// are behind and none in front, 0 when they lie on both sides. The normal is
/// renormalised when it is not unit within 1e-5.
int classifyMeshAgainstPlane(const ZOVmesh& mesh, const Mgc::MgcVector3& planeNormal,
                             const Mgc::MgcVector3& planePoint);
int classifyMeshAgainstPlane(const ZOV_DFmesh& mesh, const Mgc::MgcVector3& planeNormal,
                             const Mgc::MgcVector3& planePoint);
