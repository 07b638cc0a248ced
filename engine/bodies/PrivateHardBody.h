#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/ThreadSlots.h"
#include "engine/bodies/BodyIntegrator.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/RBDynamics.h"
#include "geometry/EngineList.h"

class DynamicStress;

/// The engine's plain rigid body: integration of forces and motion, energy and
/// rest tests, mass and inertia bookkeeping, the saved, last and backed-up
/// states, the bounded moves of contact extraction and the world-space bounds.
/// The shape bodies derive from it and add the shape's `init`,
/// `computeInertiaTensor` and `moveCenterOfMass` (and may replace `modify`
/// and `getBoundingVolume`).
///
/// Joints on the joint list are not owned (their fracture body owns them).
class PrivateHardBody : public HardBody {
 public:
  ~PrivateHardBody() override;

  void setRestitutionCoeff(double c) override;
  void setFrictionCoeff(double c) override;
  /// Runs updateWorldData, sets the active bit and zeroes the sleep count.
  void activate() override;
  void deActivate() override;
  bool isFirstHit(bool askParent) override;
  /// Break-by-frame switches do nothing on a plain body.
  void enableBreakByFrame() override;
  void disableBreakByFrame() override;
  bool isBreakByFrame() override;
  void resetProcessedThreads() override;
  /// Takes ownership of `newMesh` and deletes the old mesh.
  void modify(ZOVmesh* newMesh) override;
  /// updateBounds, then the shape's world data; sets the world-update bit
  /// (except on a phantom).
  void updateWorldData() override;
  double computeEnergy() override;
  /// True while the body still moves: it is active and has vertex data, or it
  /// moved more than the tolerance since the last state, or turned.
  bool updateSleepState() override;
  /// When the joint breaks with an energy above the tolerance the body gets
  /// that separation speed along the joint's direction (away from the other
  /// body) and wakes.
  void ApplyBreakEnergy(DynamicStress* joint) override;
  /// Keeps the density of the box; a box of no volume keeps its mass.
  /// Non-finite scales are ignored.
  void setScale(const Mgc::MgcVector3& s) override;
  /// Non-finite masses are ignored; masses below kMinBodyMass become it.
  void setMass(float m) override;
  /// The last and the current state are zeroed entirely.
  void resetDynamics() override;
  /// The quaternion is normalised; a zero or non-finite one is ignored.
  void setOrientationQuat(const Mgc::Quaternion& q) override;
  /// Non-finite matrices are ignored.
  void setOrientation(const Mgc::MgcMatrix3& R) override;
  void setPosition(const Mgc::MgcVector3& p) override;
  void setLinearVelocity(const Mgc::MgcVector3& v) override;
  ZOVbox* updateBounds() override;
  /// The box's longest unscaled side gives the capsule's axis.
  ZOVcapsule* getBoundingVolume(int world) override;
  ZOVmesh* getWorldMesh() override;
  void saveDynamics(int what) override;
  void restoreDynamics() override;
  void storeLastDynamics() override;
  /// BodyIntegrator's forces step: v += dt F / m, L += dt T, each then
  /// damped by (1 - c)^(100 dt) when asked; w from L.
  void integrateForces(double dt, bool damping) override;
  /// BodyIntegrator's motion step (position by the mean velocity of the
  /// step, orientation by its mean angular rate), then updateInertia. A
  /// static body stays.
  void integrateMotion(double dt) override;
  void rollbackDynamics() override;
  void translate(const Mgc::MgcVector3& d, const Mgc::MgcVector3& angular) override;
  void moveBy(const Mgc::MgcVector3& d) override;
  void rotate(const Mgc::MgcVector3& angular) override;
  /// Places the reference point at position + offset (also the integrated
  /// position), without bound; a caller placing the body at a point passes a
  /// zero offset. Non-finite input is ignored.
  void moveTo(const Mgc::MgcVector3& offset, const Mgc::MgcVector3& position);

  /// Whether some joint on the joint list is active / broken. Both walk the
  /// list with the body's joint cursor.
  bool hasActiveJoint();
  bool hasInactiveJoint();
  /// The joints attached to this body (kept by the fracture-body code).
  EngineList<DynamicStress*>& getJointList() { return jointList; }
  /// Walk of the joint list with the body's joint cursor: the first joint
  /// (null for an empty list), then the next one (null at the end).
  DynamicStress* getFirstJoint();
  DynamicStress* getNextJoint();
  /// Forgets every joint: the list emptied (its cursor with it), joint count
  /// 0, joined bit cleared.
  void clearJoints();
  /// Number of joints holding this body as a piece.
  std::uint32_t getJointCount() const { return jointCount; }
  void setJointCount(std::uint32_t count) { jointCount = count; }
  /// The dynamic state of thread slot t, which only the pass running as that
  /// thread touches; null outside [0, getWorkerStateCount()) or when memory
  /// runs out. A slot's state is made, default-constructed, when it is first
  /// asked for: only fracture pieces and the bodies they hit use them.
  RBDynamics* getWorkerDyn(int t);
  /// Thread slots the body keeps states for: the default at construction,
  /// then what the world that holds it uses.
  int getWorkerStateCount() const { return workerStateCount; }
  /// Keeps states for thread slots 0 .. count - 1 (count clamped to
  /// [1, kThreadSlotCount]); every slot starts again from a default state.
  /// Always true: the slots are made when one first asks.
  bool setWorkerStateCount(int count);
  /// Whether some slot has asked for its state since the slots were last
  /// sized: until then the body keeps no slots at all.
  bool hasWorkerStates() const { return workerStates.load(std::memory_order_acquire) != nullptr; }
  /// The slots new bodies start with (clamped as above): kThreadSlotCount
  /// until a world sets the slots its passes use, so that bodies made for it,
  /// pieces of fracture bodies among them, come with the right states.
  static void setDefaultWorkerStateCount(int count);

 protected:
  /// Kind 0 unless a shape body gives its own. The last and current states are
  /// zeroed (with unit inverse mass) until the shape's `init` places the body.
  explicit PrivateHardBody(eHBodyType bodyKind = kPhantomBody);

  // ---- Set-up steps the shape bodies share ---------------------------------

  /// Whether moving the body frame shifts the local mesh's centre with its
  /// vertices.
  enum class MeshCentre { kShifted, kKept };

  /// Brings a shape given in world terms into the body frame at position p,
  /// orientation R and scale s: `shapeMesh` (when not null) by
  /// shapeframes::meshIntoFrame, the local centre to R^T (c - p) / s, the box
  /// rotation to R^T B. The scale itself is the caller's to set.
  void shapeIntoFrame(ZOVmesh* shapeMesh, const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
  /// The end of a shape's placing: orientation R, inertia from the shape,
  /// position and integrated position p, no dynamic force or torque.
  void placeAt(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R);
  /// The end of a shape's computeInertiaTensor: the local tensor I, its
  /// inverse (zero for a singular I), the world tensors, then
  /// setAngularVelocity(w), so that L follows the new tensor.
  void setLocalInertia(const Mgc::MgcMatrix3& I, const Mgc::MgcVector3& w);
  /// Makes the world point P the reference point, the shape staying where it
  /// is in the world: local centre about P, the local mesh's vertices (and
  /// its centre, as asked) shifted by d = R^T (position - P), position and
  /// last position P. Returns d; the inertia is the caller's to renew.
  Mgc::MgcVector3 moveFrameTo(const Mgc::MgcVector3& P, MeshCentre centre);
  /// Radii of a box-shaped body: the local radius half the largest box side,
  /// the bounding-sphere radius that times the largest scale component.
  void setBoxRadii();
  /// The placing of a mesh-shaped body (hull, triangle mesh) whose mesh and
  /// shape record are given in world terms: both into the body frame at p,
  /// R and scale s; the local radius the mesh's radius, at most half the box
  /// diagonal; then placeAt, and the last state the current one. The caller
  /// activates the body.
  void placeMeshShape(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
  /// The placing of a box-shaped body (capsule kinds, phantom): the mesh
  /// refilled with the hull of the local box, mesh and shape record into the
  /// body frame at p, R and scale s, box radii, placeAt, the mesh placed in
  /// the world. The caller activates the body.
  void placeBoxShape(const Mgc::MgcVector3& p, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s);
  /// The end of a box-shaped body's modify, after the new local box is set in
  /// world terms: the box hull mesh and the shape record into the current
  /// body frame (unit scale), box radii, inertia, world data.
  void reframeBoxShape();
  /// Fills the mesh (made when missing) with the hull of the local box, in
  /// world and local arrays alike.
  void refillBoxMesh();

  /// What the shape keeps in world space besides the bounds; run by
  /// updateWorldData. Here: the mesh of a hull or triangle-mesh body follows
  /// the body.
  virtual void updateShapeWorldData();

  std::uint32_t jointCount = 0;
  /// Thread slots with a state in workerStates, at most kThreadSlotCount.
  std::uint8_t workerStateCount = 0;
  static_assert(kThreadSlotCount <= 255, "the slot count fits its byte");
  /// 1 while a walk over the joint list runs.
  std::uint8_t jointIterating = 0;
  EngineList<DynamicStress*> jointList;
  EngineList<DynamicStress*>::Node* jointCursor = nullptr;
  /// One state per thread slot in use (the calling thread's and one per
  /// worker of the world's passes), null until the slot first asks for it;
  /// the slots themselves are made when the first of them asks (most bodies
  /// never are asked), by whichever thread asks first, so they are kept
  /// atomically. Owned.
  std::atomic<std::unique_ptr<RBDynamics>*> workerStates{nullptr};

 private:
  void placeMeshInWorld();
  /// Rebuilds the orientation matrix from the stored quaternion.
  void orientationFromQuat();

  /// The integration of forces and motion, with what a step keeps between
  /// its two halves.
  BodyIntegrator integrator;
};
