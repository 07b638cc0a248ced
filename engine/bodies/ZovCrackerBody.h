#pragma once

#include "engine/bodies/CapsuleBody.h"

/// The impactor body that the host drives (kind 6): a capsule body whose
/// inertia update keeps its current angular velocity.
class ZovCrackerBody : public CapsuleBody {
 public:
  ZovCrackerBody();

 protected:
  Mgc::MgcVector3 keptAngularVelocity() const override { return dyn.angularVelocity; }
};
