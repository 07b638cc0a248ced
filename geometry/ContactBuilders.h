#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"

// Builders that turn a touching pair of simple shapes into contact data: a few
// contact points, one normal, a point count and one depth. The depth is the
// signed separation along the normal, negative in penetration. Every builder
// keeps its working data on its own stack, so any number of threads may call
// them at once.

/// The most points capsulePlaneContact and capsuleTriangleContact write.
constexpr std::uint32_t kMaxCapsuleContacts = 2;
/// The most points triTriContact and triangleContactPoints write.
constexpr std::uint32_t kMaxTriangleContacts = 6;

/// Contact of a capsule with the plane (point, unit normal): the capsule's
/// points deepest along -normal: one, or two when the axis is parallel to the
/// plane within 1e-5 (the end spheres' lowest points). Normal = the plane
/// normal, depth = the first point's signed distance to the plane. Always true.
bool capsulePlaneContact(const ZOVcapsule& capsule, const Mgc::MgcVector3& planePoint,
                         const Mgc::MgcVector3& planeNormal, Mgc::MgcVector3 points[kMaxCapsuleContacts],
                         Mgc::MgcVector3& normal, std::uint32_t& count, double& depth);

/// Contact of two capsules from the closest points of their segments, as the
/// contact of two spheres there: normal from A towards B, point on A's
/// surface, depth = distance - rA - rB. Always true.
bool capsuleCapsuleContact(const ZOVcapsule& a, const ZOVcapsule& b, Mgc::MgcVector3& point, Mgc::MgcVector3& normal,
                           double& depth);

/// Contact of a capsule with a triangle whose unit normal is given. Where the
/// capsule's segment lies over the triangle (seen along the normal), the
/// normal is the triangle's and the points are the capsule's lowest points
/// over it: the deepest one, or two when the segment is level within 1e-5.
/// Otherwise the segment's closest point to the nearest triangle edge gives
/// one point, the normal pointing from that edge to the segment. A capsule
/// whose axis is shorter than 1e-5 (squared) is a sphere at its upper end and
/// is handled the same way. In every case a point lies on the capsule, `point
/// - depth * normal` lies on the triangle and the depth is negative in
/// penetration. Always true.
bool capsuleTriangleContact(const ZOVcapsule& capsule, const Mgc::MgcVector3 triangle[3],
                            const Mgc::MgcVector3& triangleNormal, Mgc::MgcVector3 points[kMaxCapsuleContacts],
                            Mgc::MgcVector3& normal, std::uint32_t& count, double& depth);

/// Contact of two triangles with their unit normals. The face that is
/// penetrated least becomes the reference (A on ties); the other triangle's
/// part over it gives the points, moved along the reference normal onto the
/// other triangle's plane. Reference A gives the normal -nA, reference B +nB.
/// Faces at right angles (|nA . nB| <= 1e-5) keep all clipped points in the
/// reference plane with the depth of the least penetration; near-parallel
/// faces (|nA . nB| > 0.99999) give every clipped point, others the deepest
/// one. A depth above -1e-5 counts as 0. False, with count 0, when the
/// triangles' projections do not overlap.
bool triTriContact(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& normalA, const Mgc::MgcVector3 B[3],
                   const Mgc::MgcVector3& normalB, Mgc::MgcVector3 points[kMaxTriangleContacts],
                   Mgc::MgcVector3& normal, std::uint32_t& count, double& depth);

/// The polygon where B's projection onto A's plane overlaps A, in A's plane,
/// with nearly collinear points (relative tolerance 1e-5) thinned out. Returns
/// the number of points written, 0 to 6.
std::uint32_t triangleContactPoints(const Mgc::MgcVector3 A[3], const Mgc::MgcVector3& normalA,
                                    const Mgc::MgcVector3 B[3], Mgc::MgcVector3 points[kMaxTriangleContacts]);

/// Clips the segment ab against a convex polygon (3 to 32 points, with its
/// normal), both seen along the normal: writes the part of the segment that
/// lies over the polygon as up to two points on the segment and returns their
/// number, 0 when it misses.
std::uint32_t clipSegmentToPolygon(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const Mgc::MgcVector3* polygon,
                                   std::uint32_t count, const Mgc::MgcVector3& polygonNormal,
                                   Mgc::MgcVector3 points[2]);

/// The barycentric weights of the point of a triangle closest to the query
/// point (the distance sub-algorithm of Johnson as used by GJK): three weights
/// that sum to 1 and a fourth that is always 0. Returns true.
bool triangleClosestPointWeights(const Mgc::MgcVector3 triangle[3], const Mgc::MgcVector3& query, double weights[4]);
