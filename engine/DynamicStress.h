#pragma once

#include <cstdint>

#include "engine/JointFlags.h"
#include "math/MgcVector3.h"

class PrivateHardBody;

/// A breakable joint that holds two pieces of a fracture body together at one
/// anchor point. The bodies are not owned; the joint's fracture body owns it.
class DynamicStress {
 public:
  void activate() { flags |= kJointActive; }
  void deActivate() { flags &= ~kJointActive; }
  /// A joint whose active bit is clear counts as broken.
  bool isActive() const { return (flags & kJointActive) != 0; }

  /// The body every attached joint has.
  PrivateHardBody* getCNode() const { return cNode; }
  void setCNode(PrivateHardBody* body) { cNode = body; }
  /// The other body; null for a joint to a fixed world point.
  PrivateHardBody* getPNode() const { return pNode; }
  void setPNode(PrivateHardBody* body) { pNode = body; }

  /// Separation speed given to the pieces when the joint breaks.
  double getBreakEnergy() const { return breakEnergy; }
  void setBreakEnergy(double energy) { breakEnergy = energy; }

  /// Unit vector from CNode's position to PNode's (a shorter vector than the
  /// unitize tolerance is returned as it is); zero unless both bodies are set.
  Mgc::MgcVector3 direction() const;

 private:
  /// kJoint* bits.
  std::uint32_t flags = 0;
  PrivateHardBody* cNode = nullptr;
  PrivateHardBody* pNode = nullptr;
  double breakEnergy = 0.0;
};
