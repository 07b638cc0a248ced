#include "engine/collision/narrowphase/MeshOverlap.h"

#include "engine/collision/narrowphase/PkJump.h"
#include "geometry/BCapsule.h"
#include "geometry/BVbox.h"
#include "geometry/BVmesh.h"

bool meshOverlapsBox(const BVmesh& mesh, const BVbox& box) {
  // Only the narrow phase can rule an overlap out; until the collision
  // manager publishes it every mesh may overlap every box.
  if (g_pkJump == nullptr) return true;
  JumpState state;
  return g_pkJump->meshBoxOverlap(&mesh, box, state) != 0;
}

bool meshOverlapsVolume(const BVmesh& mesh, const BCapsule& capsule) {
  if (g_pkJump == nullptr || capsule.getCap() == nullptr) return true;
  JumpState state;
  return g_pkJump->meshVolumeOverlap(&mesh, *capsule.getCap(), state) != 0;
}
