#pragma once

#include <cstdint>

#include "engine/ThreadSlots.h"
#include "engine/bodies/JointFlags.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

class PrivateHardBody;
struct RBDynamics;
struct dmat;

/// Length of a joint's name buffer, the terminating zero included.
constexpr int kJointNameLength = 256;

/// A breakable joint that holds two pieces of a fracture body together at one
/// anchor point. It has no behaviour in the world step of its own: the
/// fracture code reads its flags and thresholds, asks it for the impulse that
/// would hold its bodies together and applies impulses when it breaks.
///
/// Ownership: the bodies are not owned. A joint handed to a fracture body is
/// owned by it (and freed with it); a joint never handed to one belongs to
/// whoever made it. Copies are member-wise (the bodies are shared).
class DynamicStress {
 public:
  /// Unattached and inactive: empty name, index 0, flags 0, no bodies, break
  /// tolerance and energy 0.
  DynamicStress() = default;
  DynamicStress(const DynamicStress&) = default;
  DynamicStress& operator=(const DynamicStress&) = default;
  ~DynamicStress() = default;

  // ---- Switches ------------------------------------------------------------

  void activate() { flags |= kJointActive; }
  void deActivate() { flags &= ~kJointActive; }
  /// A joint whose active bit is clear counts as broken.
  bool isActive() const { return (flags & kJointActive) != 0; }
  void enableBreakableByForce() { flags |= kJointBreakByForce; }
  void disableBreakableByForce() { flags &= ~kJointBreakByForce; }
  bool isBreakableByForce() const { return (flags & kJointBreakByForce) != 0; }
  void enableBreakableByFrame() { flags |= kJointBreakByFrame; }
  void disableBreakableByFrame() { flags &= ~kJointBreakByFrame; }
  bool isBreakableByFrame() const { return (flags & kJointBreakByFrame) != 0; }
  void enableProcessed() { flags |= kJointProcessed; }
  void disableProcessed() { flags &= ~kJointProcessed; }
  bool isProcessed() const { return (flags & kJointProcessed) != 0; }
  void enableTorsion() { flags |= kJointTorsion; }
  void disableTorsion() { flags &= ~kJointTorsion; }
  bool isTorsionEnabled() const { return (flags & kJointTorsion) != 0; }

  /// Visited mark of thread slot t (0 the calling thread, then the workers);
  /// a slot outside [0, kThreadSlotCount) is ignored and reads as unmarked.
  void enableProcessedThread(int t);
  void disableProcessedThread(int t);
  bool isProcessedThread(int t) const;

  /// The whole flags word (kJoint* bits), for the host layer.
  std::uint32_t getFlags() const { return flags; }
  void setFlags(std::uint32_t value) { flags = value; }
  std::uint32_t getInitialFlags() const { return initialFlags; }
  /// b = flags & mask: the bits of b are added to the initial flags when b is
  /// not zero; otherwise the bits of mask are cleared there.
  void storeInitialState(std::uint32_t mask);
  /// flags := initial flags (the whole word).
  void applyInitialState() { flags = initialFlags; }

  // ---- Accessors -----------------------------------------------------------

  /// Degrees of freedom held: 6 with torsion, else 3.
  int getNDofs() const { return isTorsionEnabled() ? 6 : 3; }
  /// Anchor points: always one.
  int getNPoints() const { return 1; }
  /// The zero-terminated name.
  const char* getName() const { return name; }
  /// Copies at most kJointNameLength - 1 characters and ends the name with a
  /// zero; null gives the empty name.
  void setName(const char* text);
  std::uint32_t getIndex() const { return index; }
  void setIndex(std::uint32_t value) { index = value; }

  /// The body every attached joint has.
  PrivateHardBody* getCNode() const { return cNode; }
  void setCNode(PrivateHardBody* body) { cNode = body; }
  /// The other body; null for a joint to a fixed world point.
  PrivateHardBody* getPNode() const { return pNode; }
  void setPNode(PrivateHardBody* body) { pNode = body; }

  /// Velocity change above which a breakable-by-force joint breaks; also the
  /// strength that secondary cracks lower.
  double get_break_tolerance() const { return breakTolerance; }
  void set_break_tolerance(double value) { breakTolerance = value; }
  /// Separation speed given to the pieces when the joint breaks.
  double getBreakEnergy() const { return breakEnergy; }
  void setBreakEnergy(double energy) { breakEnergy = energy; }

  void applyExternalForce(const Mgc::MgcVector3& f) { externalForce += f; }
  void clearExternalForces() { externalForce = Mgc::MgcVector3(); }
  Mgc::MgcVector3 getExternalForce() const { return externalForce; }

  /// The anchor in PNode's body frame (the world point without a PNode) and
  /// in CNode's body frame.
  const Mgc::MgcVector3& getPAnchor() const { return pAnchor; }
  const Mgc::MgcVector3& getCAnchor() const { return cAnchor; }

  // ---- Engine operations ---------------------------------------------------

  /// Attaches the joint at world point p. With both bodies: PNode := first,
  /// CNode := second; with one body, that body is the CNode and the world
  /// point the PNode anchor. Marks the bodies joined and activates the joint.
  /// False, with nothing changed, when both bodies are null or count < 0.
  bool attach(const Mgc::MgcVector3& p, int count, PrivateHardBody* first, PrivateHardBody* second);
  /// Recomputes both anchors from world point *p as attach does, without
  /// touching bodies or flags; false when p or the CNode is null.
  bool setAnchor(const Mgc::MgcVector3* p);
  /// The midpoint of the two anchors in world space: the joint's anchor in
  /// every impulse computation.
  Mgc::MgcVector3 worldAnchorMidpoint() const;
  /// Unit vector from CNode's position to PNode's (a shorter vector than the
  /// unitize tolerance is returned as it is); zero unless both bodies are set.
  Mgc::MgcVector3 direction() const;

  /// The impulse on body b (CNode or PNode) alone that would bring its point
  /// velocity at the anchor to the other body's (and, with torsion, its spin
  /// to the other's), on b's state slot t and least-squares system t. Row 0
  /// is the linear part, row 1 the angular part (zero for 3 degrees of
  /// freedom), row 2 zero. The impulse on the CNode is minus the solution
  /// (see applyConstraintImpulse). Zero without a solve when the motion
  /// already agrees within the tolerance, and zero when b is neither body or
  /// the slot or system is missing.
  Mgc::MgcMatrix3 computeBodyImpulse(PrivateHardBody* b, int t);
  /// The impulse x that, given to the PNode and -x to the CNode at the anchor
  /// (applyConstraintImpulse with factor 1), cancels their relative point
  /// velocity (plus the separation by twice the break energy along
  /// direction()) and, with torsion, their relative spin: point velocities
  /// from the bodies' current states, lever arms, spins and inertia from
  /// state slot 0 (the pass copies the current states there first), solved
  /// on least-squares system 0. With a static PNode: computeBodyImpulse of
  /// the CNode on slot 0. Rows as computeBodyImpulse; zero unless both
  /// bodies are set.
  Mgc::MgcMatrix3 computeConstraintImpulse();
  /// Gives f times the impulse x (linear x[0..2], angular x[3..5]) to the
  /// PNode and minus it to the CNode, on state slot t (0, the calling
  /// thread's, for the host). Needs both bodies; nothing for a missing slot.
  void applyConstraintImpulse(const double x[6], double f, int t = 0);
  /// Body b takes f times the other body's velocities, on state slot t.
  void transferVelocity(PrivateHardBody* b, double f, int t = 0);

 private:
  char name[kJointNameLength] = {};
  /// Anchor points of the joint; set to 1 and only copied.
  std::uint32_t pointCount = 1;
  std::uint32_t index = 0;
  /// kJoint* bits.
  std::uint32_t flags = 0;
  std::uint32_t initialFlags = 0;
  std::uint8_t processedByThread[kThreadSlotCount] = {};
  PrivateHardBody* cNode = nullptr;
  PrivateHardBody* pNode = nullptr;
  double breakTolerance = 0.0;
  double breakEnergy = 0.0;
  Mgc::MgcVector3 externalForce;
  Mgc::MgcVector3 pAnchor;
  Mgc::MgcVector3 cAnchor;
};

/// Impulse J (world) at world point p on state slot t of body b: linear
/// velocity += J / m, angular momentum += (p - position) x J, angular
/// velocity from it. Nothing for a null body, a missing slot or non-finite
/// input.
void applyImpulseAtPoint(PrivateHardBody* b, const Mgc::MgcVector3& J, const Mgc::MgcVector3& p, int t);

/// Zeroes the first column-count entries of every row of the matrix, then
/// writes value on the first row-count diagonal entries.
void setMatrixDiagonal(dmat* matrix, double value);
