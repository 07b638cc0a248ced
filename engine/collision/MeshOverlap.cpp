#include "engine/collision/MeshOverlap.h"

#include "engine/collision/PkJump.h"

bool meshOverlapsBox(const BVmesh& /*mesh*/, const BVbox& /*box*/) {
  // Only the narrow phase can rule an overlap out. The collision manager
  // builds it and publishes it in g_pkJump, and its mesh-against-box query
  // (with a zeroed motion record) is asked here once it exists; until then
  // g_pkJump is null and every mesh may overlap every box.
  return true;
}

bool meshOverlapsVolume(const BVmesh& /*mesh*/, const BCapsule& /*capsule*/) {
  // As meshOverlapsBox, with the narrow phase's mesh-against-capsule query.
  return true;
}
