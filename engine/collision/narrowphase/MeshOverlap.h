#pragma once

// Overlap questions between a mesh volume and another bounding volume, put to
// the narrow phase with nothing cached. Any thread may ask them at the same
// time.

class BVmesh;
class BVbox;
class BCapsule;

/// Whether the mesh and the box may overlap: the narrow phase's answer while
/// a query engine exists (g_pkJump), else true.
bool meshOverlapsBox(const BVmesh& mesh, const BVbox& box);
/// Whether the mesh and the capsule may overlap, as meshOverlapsBox; true for
/// a capsule volume without a record.
bool meshOverlapsVolume(const BVmesh& mesh, const BCapsule& capsule);
