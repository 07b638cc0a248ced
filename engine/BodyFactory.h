#pragma once

// The factory's world and body operations: the host side creates and frees
// the world and every body through these. A created body belongs to the
// caller until it is added to the world. No creator reports an error other
// than by its null result.

#include "engine/PublicWorld.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/HardBodyShape.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// Meshes with at least this many vertices get a budgeted convex hull.
constexpr std::uint32_t kHullVertexLimit = 512;
/// The automatic choice makes a hull body when the hull's volume H and the
/// mesh's volume V are within this factor: 0.9 V <= H and 0.9 H <= V.
constexpr double kNearlyConvexFactor = 0.9;

/// A new world, also stored in theWorld (null when it cannot be made). An
/// existing world is not deleted here: the caller deletes it first.
PublicWorld* createWorld();
/// Destroys the world *world points to (nothing when it is null) and clears
/// theWorld; the caller's pointer itself is left. `world` must not be null.
void deleteWorld(PublicWorld** world);
/// The collision manager's ordered extraction on (off); false without a world.
bool enableWorldManagerOption();
bool disableWorldManagerOption();

/// A body of each kind from a mesh given in world terms; the mesh stays the
/// caller's. Null mesh: a bare body of that kind. Null when memory runs out
/// or, for the hull, when the mesh has no hull.
HardBody* createPhantomBody(ZOVmesh* mesh);
HardBody* createCapsuleBody(ZOVmesh* mesh);
HardBody* createHullBody(ZOVmesh* mesh);
HardBody* createTriMeshBody(ZOVmesh* mesh);
HardBody* createCrackerBody(ZOVmesh* mesh);
/// The ground plane through `point` with `normal`; a normal shorter than the
/// tolerance becomes (0, 1, 0), written back into `normal`.
HardBody* createBarrierBody(const Mgc::MgcVector3& point, Mgc::MgcVector3& normal);
/// A hull body when the mesh is nearly convex (kNearlyConvexFactor), else a
/// triangle-mesh body.
HardBody* createBodyFromMesh(ZOVmesh* mesh);

/// The test createBodyFromMesh makes, on its own.
bool isNearlyConvex(ZOVmesh* mesh);
/// Whether the body's world mesh encloses no positive volume; false for a
/// null body.
bool hasNonPositiveVolume(HardBody* body);

/// Takes the body out of theWorld (when there is one), deletes it and clears
/// the caller's pointer. `body` must not be null.
void deleteBody(HardBody** body);
void deleteCrackerBody(HardBody** body);

/// Sets the capsule of a capsule or cracker body to the segment a-b with
/// radius r (other kinds: nothing).
void setupCrackerCapsule(HardBody* body, const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, double r);
/// The shape's local box rotation and its quaternion.
void setShapeRotation(HardBodyShape& shape, const Mgc::MgcMatrix3& rotation);
