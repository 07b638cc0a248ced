#pragma once

#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// Where a mesh record stands: its centre and bounding radius before and after
/// the last transform, and that transform. Every mesh record holds one.
struct MeshPlacement {
  /// Zero centres, radii and translation; rotation and scale as given.
  MeshPlacement(const Mgc::MgcMatrix3& rotation, const Mgc::MgcVector3& scale) : rotation(rotation), scale(scale) {}

  /// Local centre; the mass properties write a mesh's centre of mass here.
  Mgc::MgcVector3 center;
  Mgc::MgcVector3 worldCenter;
  /// Local bounding radius about `center`, set by the mesh's builder; 0 until
  /// then, so that a copy of an unfinished record reads no indeterminate value.
  double radius = 0.0;
  /// Bounding radius about `worldCenter` after the last transform.
  double worldRadius = 0.0;
  /// Last rotation applied.
  Mgc::MgcMatrix3 rotation;
  /// Last translation applied.
  Mgc::MgcVector3 translation;
  /// Last per-axis scale applied.
  Mgc::MgcVector3 scale;
};
