#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/bodies/BodyIntegrator.h"
#include "engine/bodies/CompoundPieces.h"
#include "engine/bodies/HardBody.h"
#include "geometry/BoxTree.h"
#include "geometry/EngineList.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

class DynamicStress;
class PrivateHardBody;
class FractureHolder;

/// The engine's breakable compound body (kind 5): piece bodies joined by
/// joints. While it is whole the world simulates it as one rigid body with its
/// own mass, centre, inertia and velocities, and every change of its pose or
/// velocity is pushed down to the pieces, which keep a fixed frame in it: a
/// piece with pivot rotation Q and pivot translation o (getMatrixPivotCm,
/// getTransPivotCm) has orientation R Q^T and position p - R Q^T o, R and p
/// being the compound's. A split gives it child fracture bodies (fragments)
/// and released pieces (the disconnected bodies).
///
/// Ownership: the body owns its list nodes, its cluster tree, its mass ratios,
/// its fragments, and, unless it is itself a fragment, every joint of its
/// active, inactive and split-joint lists: a fragment's joints are also on the
/// split-joint list of the body it was split from, which frees them. It owns
/// no piece and no disconnected body; pieces must outlive it. A fragment that
/// a world holds is taken off the world's lists before it is deleted.
///
/// Walks through the getFirst/getNext pairs keep their cursor in the body and
/// are not re-entrant. Copies are refused: a copy would share the lists,
/// joints and tree.
class FractureBody : public HardBody, public CompoundPieces {
 public:
  /// Kind 5, empty lists, no cluster tree, at most 8 cracks per pass.
  FractureBody();
  FractureBody(const FractureBody&) = delete;
  FractureBody& operator=(const FractureBody&) = delete;
  /// Leaves the world that holds it, deletes its fragments and (unless it is
  /// a fragment) its joints, and clears the joint lists and the parent of its
  /// pieces; deletes no piece and no disconnected body.
  ~FractureBody() override;

  // ---- Simulation operations (see HardBody) --------------------------------

  /// Each of the four: the pieces first, then the compound's own value.
  void setRestitutionCoeff(double c) override;
  void setFrictionCoeff(double c) override;
  void setAirDampingCoeff(double c) override;
  void setAirDampingCoeff2(double c) override;
  /// Local centre, local box rotation and scale := the arguments, then
  /// activate; the pieces stay where they are.
  void init(const Mgc::MgcVector3& centre, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s) override;
  /// Bounds, then every piece's activate; sets the active and world-update
  /// bits and zeroes the sleep count.
  void activate() override;
  void deActivate() override;
  /// The first-hit bit; the argument is not read.
  bool isFirstHit(bool askParent) override;
  void enableBreakByFrame() override;
  void disableBreakByFrame() override;
  bool isBreakByFrame() override;
  void resetProcessedThreads() override;
  /// Whole body only: the tensor of the non-static pieces about the
  /// compound's position, in the compound frame.
  void computeInertiaTensor() override;
  /// Makes a world point the reference point, keeping the world centre and
  /// the pieces where they are.
  void moveCenterOfMass(const Mgc::MgcVector3& worldPoint) override;
  /// No effect: the compound's shape comes from its pieces.
  void modify(ZOVmesh* mesh) override;
  void updateWorldData() override;
  /// m v.v + w.L; kMaxFloat for a static body.
  double computeEnergy() override;
  /// Whether the compound moved or turned since the last state.
  bool updateSleepState() override;
  /// The joint's separation speed along its direction (reversed when the
  /// joint's CNode is a piece of this body), added to the compound's velocity.
  void ApplyBreakEnergy(DynamicStress* joint) override;
  /// Keeps the density of the compound's box and rescales the pieces; active
  /// joints are attached again between their bodies' centres.
  void setScale(const Mgc::MgcVector3& s) override;
  /// Whole body only: at least kMinBodyMass, shared over the non-static
  /// pieces by their mass ratios.
  void setMass(float m) override;
  /// Normalised; zero or non-finite quaternions are ignored. The pieces follow.
  void setOrientationQuat(const Mgc::Quaternion& q) override;
  void setOrientation(const Mgc::MgcMatrix3& R) override;
  void setPosition(const Mgc::MgcVector3& p) override;
  /// The compound's velocity; on a whole body also every piece's velocity as
  /// a point of the compound.
  void setLinearVelocity(const Mgc::MgcVector3& v) override;
  ZOVbox* updateBounds() override;
  ZOVcapsule* getBoundingVolume(int world) override;
  ZOVmesh* getWorldMesh() override;
  /// As the rigid body's, then the same on every piece and disconnected
  /// body; kSaveAll also keeps the compound's box for restoreDynamics.
  void saveDynamics(int what) override;
  /// Reassembles the body as it was at the last whole save: every joint
  /// (active, broken or handed to fragments) is active again in index order,
  /// the pieces are those of the joints, fragments are deleted.
  void restoreDynamics() override;
  void storeLastDynamics() override;
  /// BodyIntegrator's forces step on the compound; the pieces take the
  /// compound's velocities.
  void integrateForces(double dt, bool damping) override;
  /// BodyIntegrator's motion step on the compound, then its world tensors;
  /// the pieces follow a step that moved it. A static body stays.
  void integrateMotion(double dt) override;
  void rollbackDynamics() override;
  /// Its own forces and those of its disconnected bodies and fragments.
  void clearExternalForces() override;
  void translate(const Mgc::MgcVector3& d, const Mgc::MgcVector3& angular) override;
  void moveBy(const Mgc::MgcVector3& d) override;
  void rotate(const Mgc::MgcVector3& angular) override;

  // ---- Lists ---------------------------------------------------------------

  PrivateHardBody* getFirstBody();
  PrivateHardBody* getNextBody();
  PrivateHardBody* getFirstDisconectBody();
  PrivateHardBody* getNextDisconectBody();
  DynamicStress* getFirstActiveJoint();
  DynamicStress* getNextActiveJoint();
  DynamicStress* getFirstOffJoint();
  DynamicStress* getNextOffJoint();
  HardBody* getFirstFBody();
  HardBody* getNextFBody();
  std::uint32_t getNActiveJoints() const { return activeJoints.getCount(); }
  std::uint32_t getNInactiveJoints() const { return inactiveJoints.getCount(); }
  std::uint32_t getNSplitJoints() const { return splitJoints.getCount(); }
  std::uint32_t getNJointBodies() const { return pieces.getCount(); }
  std::uint32_t numDisconectBodies() const { return disconnectedBodies.getCount(); }
  std::uint32_t getNFBodies() const { return childBodies.getCount(); }
  std::uint32_t getBrokenJointCount() const { return brokenJointCount; }
  std::uint32_t getPendingDeactivations() const { return pendingDeactivations; }
  std::uint32_t getFragmentCount() const { return fragmentCount; }
  /// The lists themselves, for the world and the collision passes.
  const EngineList<PrivateHardBody*>& getPieces() const { return pieces; }
  /// The pieces the collision code walks: the joined pieces.
  const EngineList<PrivateHardBody*>& getCompoundPieces() const override { return pieces; }
  const EngineList<PrivateHardBody*>& getDisconnectedBodies() const { return disconnectedBodies; }
  const EngineList<HardBody*>& getChildBodies() const { return childBodies; }
  const EngineList<DynamicStress*>& getActiveJoints() const { return activeJoints; }
  const EngineList<DynamicStress*>& getInactiveJoints() const { return inactiveJoints; }
  const EngineList<DynamicStress*>& getSplitJoints() const { return splitJoints; }
  const EngineList<DynamicStress*>& getOffJoints() const { return offJoints; }

  /// Empties the off-joint list; broken joint count 0.
  void ClearBrokenJointsList();
  /// Empties the disconnected-body list (the bodies are untouched).
  void removeDisconectBodies();
  /// Takes the other body's linear and angular velocity.
  void adquireVelocity(HardBody* other);

  // ---- Fragments -------------------------------------------------------------

  /// Makes `fragment` a child of this body, which owns it from now on. False
  /// for null, this body, or a fragment of another body.
  bool addFragment(FractureBody* fragment);
  /// The body this one was split from, null for a body the host made.
  FractureBody* getFragmentOwner() const { return fragmentOwner; }
  bool isFragment() const { return fragmentOwner != nullptr; }
  /// The world whose lists hold this body; kept by the world.
  FractureHolder* getHoldingWorld() const { return holdingWorld; }
  void setHoldingWorld(FractureHolder* world) { holdingWorld = world; }

  // ---- Switches and parameters -------------------------------------------------

  void enableSecImpacts() { flags |= kBodySecondaryImpacts; }
  void disableSecImpacts() { flags &= ~kBodySecondaryImpacts; }
  bool isSecImpacts() const { return (flags & kBodySecondaryImpacts) != 0; }
  /// False while a cluster tree exists; else whether mass / reference mass in
  /// whole percent reaches the secondary-impact percentage.
  bool checkSecImpactsCond() const;
  bool isBreakable() const { return (flags & kBodyUnbreakable) == 0; }
  /// Sets / clears the unbreakable bit on this body and every fragment below.
  void setSubtreeFlag();
  void clearSubtreeFlag();
  /// Propagation type 0 or 1 as given, anything else 2; on every fragment too.
  void setBreakModeRecursive(int type);
  /// Clears the static bit here and on every fragment below.
  void disableStaticParts();
  /// Whether some piece is static.
  bool hasStaticBodies() const;
  /// Joints broke and wait for the split.
  bool isSplitReady() const { return pendingDeactivations > 0 || inactiveJoints.getCount() > 0; }
  /// Released pieces or fragments exist.
  bool isSplitted() const { return disconnectedBodies.getCount() != 0 || childBodies.getCount() != 0; }
  int getCrackCount() const { return crackCount; }
  void resetCrackCount() { crackCount = 0; }
  int getMaxCracks() const { return maxCracks; }
  void setMaxCracks(int count) { maxCracks = count; }
  double getGlobalStressThreshold() const { return globalStressThreshold; }
  void setGlobalStressThreshold(double value) { globalStressThreshold = value; }
  int getRandomThreshold() const { return randomThreshold; }
  void setRandomThreshold(int value) { randomThreshold = value; }
  void setSecImpactsParams(int percentage, double referenceMass);
  int getSecImpactsPercentage() const { return secImpactPercentage; }
  double getSecImpactsReferenceMass() const { return secImpactReferenceMass; }
  int getPropagationType() const { return propagationType; }
  /// The cluster tree, null until built.
  BoxTree* getTreeMesh() const { return clusterTree.get(); }
  /// Depth of the cluster tree, 0 without one.
  std::uint32_t getClusterTreeDepth() const;
  /// The same value under the host layer's name.
  std::uint32_t clusterIdOf() const { return getClusterTreeDepth(); }
  /// Writes cluster labels into the pieces' tags from the tree's root, the
  /// label starting at 1, subtrees from level `threshold` down sharing one;
  /// nothing without a tree.
  void labelClusters(std::uint32_t threshold);
  /// The same with the threshold read through a pointer; nothing for null.
  void labelClusters(const std::uint32_t* threshold);
  /// Marked by the collision passes when the body is hit in a step.
  std::uint32_t getHitMark() const { return hitMark; }
  void setHitMark(std::uint32_t mark) { hitMark = mark; }
  /// The body whose motion an animated fracture body follows; not owned.
  HardBody* getAnimBody() const { return animBody; }
  void setAnimBody(HardBody* body) { animBody = body; }

  // ---- Joints ----------------------------------------------------------------

  /// FractureBody::registerJointBodies on the active joint list.
  void setUpActiveJoints();
  /// Moves every active joint whose active bit is clear to the front of the
  /// inactive list; pending deactivations := the inactive joint count.
  void removeDeactivatedJointsFromActiveList();
  /// Takes a broken joint back: from the inactive to the active list, active
  /// bit set; nothing when it is not on the inactive list.
  void activateJoint(DynamicStress* joint);
  /// Breaks a joint of this body or of a fragment below: active to inactive
  /// list, pending deactivations + 1, active bit cleared. False when no body
  /// of the family holds it as active.
  bool deActivateJoint(DynamicStress* joint);
  /// The calling thread's pass: for every piece the processed bit and mark
  /// 0 cleared and state slot 0 := the current state; every active joint's
  /// processed bit and mark 0 cleared. Unlike beginThreadPass it counts no
  /// crack.
  void beginMainPass();
  /// The same pass under the host layer's name.
  void restoreInitialState() { beginMainPass(); }
  /// For every piece: processed mark t cleared and state slot t := the
  /// current state; the crack count + 1; every active joint's mark t cleared.
  void beginThreadPass(int t);

  // ---- Breaking (engine/fracture/FractureBreaking.cpp) ---------------------

  /// The impact walk of thread slot t from piece p: every joint of p gets the
  /// break test, then (unless the propagation type is 1 or the crack count
  /// is above its limit) the walk goes on, depth first, into every dynamic
  /// neighbour not yet entered in this pass. `direct` breaks every
  /// force-breakable joint from p to a dynamic neighbour. Velocity changes
  /// stay in the pass's slot t: they carry the impact along the walk and
  /// reach no body's own state.
  void propagateImpact(PrivateHardBody* p, bool direct, int t);
  /// The break test of joint j seen from piece p on slot t: the impulse that
  /// would bring the other body's motion at the anchor to p's, as a velocity
  /// change, against the squared break tolerance. A held joint passes 0.9 of
  /// p's motion on to the other body, a breaking one 0.2 at most (or the
  /// joint's break energy as an impulse). Breaking clears the joint's active
  /// bit and counts it as pending.
  void applyJointStress(PrivateHardBody* p, DynamicStress* j, bool direct, int t);
  /// Secondary cracks: builds the cluster tree when there is none, labels
  /// the pieces into the root's two halves, and lowers every active joint's
  /// tolerance: to the global stress threshold inside a half, to 0 between
  /// the halves or at a static piece. Nothing without a tree of some depth.
  void applySecondaryCracks();
  /// The engine's part of breaking by frame, for joints whose frame to break
  /// has come: a joint due (active and breakable by frame) that is also
  /// breakable by force with a tolerance of at least 1e-5 only stops being
  /// breakable by frame; any other due joint breaks, and with a break energy
  /// above 1e-5 its bodies are pushed apart and the push walked into the
  /// body (unless it is unbreakable). When some joint broke the family
  /// splits and `world` (when given) retires what split. Returns whether
  /// some joint broke. Joints of fragments below this body are found there.
  bool breakJointsByFrame(const std::vector<DynamicStress*>& dueJoints, FractureHolder* world);

  // ---- Splitting (engine/fracture/FractureSplitting.cpp) -------------------

  /// Splits the body along its broken joints (those on the inactive list):
  /// each group of pieces still joined becomes a fragment (a child fracture
  /// body named after this one with "_" and its number), pieces left without
  /// an active joint are released to the disconnected list, and every part
  /// starts with this body's velocity at its position (times a random factor
  /// in [0.5, 1] when `randomize`). Joints with a break energy push the parts
  /// that hold their bodies apart. The broken joints go to the split-joint
  /// and off-joint lists. Reseeds the process-wide random generator. Returns
  /// 1 when it ran, 0 when no joint was broken.
  std::uint32_t splitIntoFragments(bool randomize);
  /// Splits this body and then each direct fragment that has broken joints.
  void splitByExternalBrokenJoints();
  /// Breaks every force-breakable active joint whose external force is
  /// longer than its tolerance, in this body and every fragment below, then
  /// splits as splitByExternalBrokenJoints does.
  void splitRecursive();
  /// Moves the off joints of every fragment below onto this body's off-joint
  /// list (counted as broken here) and empties theirs.
  void gatherBrokenJoints();
  /// The piece whose stored world centre lies nearest to p (the first of
  /// equals); null without pieces.
  PrivateHardBody* getNearestBody(const Mgc::MgcVector3& p) const;
  /// Whether some disconnected body shares its group id with some piece.
  bool validateDisconnectBodiesGroups() const;
  /// Joins each disconnected body that shares its group id with a piece to
  /// the nearest such piece, until none is left that can be joined.
  void attachNearestPieces();

  // ---- Automatic joints (engine/fracture/AutomaticJoints.cpp) --------------

  /// Joins the disconnected bodies (hull and triangle-mesh bodies with their
  /// mesh volume) with new joints named "str_" + first name + "_" + second
  /// name, tolerance 1.0. Connected: createJointsByProximity(d). Otherwise
  /// every pair whose meshes touch within d (face to face, or at vertices
  /// when either body is jagged) is joined; both-static pairs only with
  /// `allowStaticPairs`. Deletes the body's joints first. Returns 1, or the
  /// connected build's result.
  std::uint32_t createJoints(double d, bool connected, bool allowStaticPairs);
  /// Joins every disconnected body into one tree of nearest pairs, then adds
  /// a joint for every other pair of pieces whose squared closest distance
  /// is below d. Deletes the body's joints first. 0 when no first pair is
  /// found, else 1.
  std::uint32_t createJointsByProximity(double d);
  /// Joins body b to every piece whose squared closest distance to it is
  /// below d. 1 when some joint was made, else 0.
  std::uint32_t joinPieceToNeighbours(PrivateHardBody* b, double d);
  /// One joint from piece p to its nearest neighbouring piece, made when they
  /// are not joined yet and either `force` is set or their squared closest
  /// distance is below d; null otherwise.
  DynamicStress* createJointForPiece(PrivateHardBody* p, double d, bool force);

  // ---- Assembly ----------------------------------------------------------------

  /// Renews the mass ratios, then the cluster tree and the mass properties.
  void rebuildFromPieces();
  /// The compound's mass, centre, box, velocities and the pieces' frames from
  /// the pieces as they stand; false (with the body deactivated) without a
  /// piece.
  bool updateMassProperties();
  /// Builds the cluster tree over the pieces' boxes; false, with no tree,
  /// when the build fails.
  bool buildClusterTree();
  /// Deletes every joint of the body and its fragments; pieces lose their
  /// joint lists and parent.
  void deleteAllJoints();
  /// Adds a body to the disconnected-body list unless it is there.
  void addUniqueToList(PrivateHardBody* body);
  bool hasPiece(const PrivateHardBody* body) const;
  /// Links an attached joint (both bodies set) into the active list by index,
  /// takes its bodies in as pieces and activates it; nothing when it is
  /// already on one of the body's joint lists.
  void attachJoint(DynamicStress* joint);
  /// A new joint between two hull or triangle-mesh pieces at the midpoint of
  /// their closest points, named "str_" + a's name + "_" + b's name; null
  /// when either is null, they are joined already or either lacks a mesh.
  DynamicStress* joinPieces(PrivateHardBody* a, PrivateHardBody* b);
  /// Walk the piece's own joint list (the piece holds the cursor); null at
  /// the end or for a null piece.
  DynamicStress* firstJoint(PrivateHardBody* piece);
  DynamicStress* nextJoint(PrivateHardBody* piece);
  /// The first joint of a's joint list that touches b; null when none.
  DynamicStress* findJointBetween(PrivateHardBody* a, PrivateHardBody* b) const;
  /// The first joint touching the body: active, then inactive, then split
  /// joints; null when none.
  DynamicStress* findAnyJointOf(const PrivateHardBody* body) const;
  /// Takes the bodies of the listed joints in as pieces (off the
  /// disconnected list), registers each joint with them and makes this body
  /// their parent.
  void registerJointBodies(const EngineList<DynamicStress*>& joints);
  /// The same under the host layer's name.
  void registerJoint(const EngineList<DynamicStress*>& joints) { registerJointBodies(joints); }
  /// Breaks the joint and takes it off the body's lists; each of its bodies
  /// that no remaining joint holds leaves the pieces (removePiece). The joint
  /// then belongs to whoever holds it.
  void removeJoint(DynamicStress* joint);
  /// Takes a piece (or disconnected body) out of this body and of every
  /// fragment below: off their piece and disconnected lists, out of their
  /// cluster trees and mass ratios, and every joint that touches it off
  /// their joint lists (the joints are handed back, not freed). The body is
  /// left without joints or parent, deactivated when it was a piece (a
  /// disconnected body keeps its state). A body those joints held
  /// that no joint of the family touches any more leaves the family too; one
  /// that only broken joints still tie to it is released (disconnected here,
  /// and filed in the world that holds this body).
  void removePiece(PrivateHardBody* body);
  /// Whether this body or a fragment below holds the body as a piece or as
  /// a disconnected body.
  bool holdsBody(const PrivateHardBody* body) const;

  // ---- Host-side synchronisation ---------------------------------------------

  /// Places the compound at the mean of the positions its pieces imply (with
  /// the switch on: only a static body); a split body asks its fragments.
  void syncPositionFromPieces(bool onlyStatic);
  /// Turns the compound to the orientation its first piece implies.
  void syncOrientationFromPieces(bool onlyStatic);
  /// A static or split body moves its pieces as points of a body with
  /// velocity v about c; static or split fragments follow.
  void moveWithPieces(const Mgc::MgcVector3& v, const Mgc::MgcVector3& c);
  void addExternalForce(const Mgc::MgcVector3& f);

 protected:
  /// Registers the joint with the body: appended to its joint list unless
  /// there, joint count + 1, joined bit set.
  static void registerJointWith(PrivateHardBody* body, DynamicStress* joint);
  /// Takes the body in as a piece (off the disconnected list) unless it is one.
  void takePiece(PrivateHardBody* body);
  /// Inserts the joint into the active list after the last joint whose index
  /// is not larger than its own.
  void insertActiveByIndex(DynamicStress* joint);
  /// Every piece placed from the compound's pose.
  void placePieces();
  /// Every piece's velocities as a point of the compound.
  void movePieces();
  /// The body of this family (this one or a fragment below) whose active or
  /// inactive list holds the joint; null when none does.
  FractureBody* holderOf(const DynamicStress* joint);
  /// Deletes the fragments, each taken off its world first.
  void deleteFragments();
  /// The pieces of this body and of every fragment below lose their joints
  /// and, where it is their body, their parent.
  void forgetFamilyJoints();
  /// removePiece's work on this body and the fragments below; the other
  /// bodies of the joints it took off are appended to `neighbours`.
  void dropFromFamily(PrivateHardBody* body, std::vector<PrivateHardBody*>& neighbours);
  /// Takes the joint off this body's lists and its bodies' joint lists;
  /// false when no list of this body holds it.
  bool unlistJoint(DynamicStress* joint);
  /// Whether a joint list of this body or of a fragment below holds a joint
  /// that touches the body.
  bool familyJointTouches(const PrivateHardBody* body) const;
  /// A body whose joints removePiece took: out of the family when no joint
  /// is left to it, released when no joint of the body carrying it holds it.
  void settleNeighbour(PrivateHardBody* body);
  /// Whether the ratio table names exactly the current pieces.
  bool ratiosMatchPieces() const;
  /// Mass ratios of the current pieces: piece mass / compound mass.
  void computeMassRatios(double compoundMass);
  /// The end of a split's bookkeeping: the broken joints (the inactive list)
  /// go to the split-joint and off-joint lists and count as broken, and no
  /// deactivation is left pending.
  void fileBrokenJoints();

  EngineList<DynamicStress*> splitJoints;
  EngineList<PrivateHardBody*> disconnectedBodies;
  EngineList<PrivateHardBody*> pieces;
  std::uint32_t pendingDeactivations = 0;
  EngineList<DynamicStress*> inactiveJoints;
  EngineList<DynamicStress*> activeJoints;
  std::uint32_t brokenJointCount = 0;
  /// Joints broken by the splits since the host last cleared it; not owning.
  EngineList<DynamicStress*> offJoints;
  std::uint32_t fragmentCount = 0;
  EngineList<HardBody*> childBodies;
  EngineList<DynamicStress*>::Node* jointCursor = nullptr;
  EngineList<PrivateHardBody*>::Node* bodyCursor = nullptr;
  EngineList<HardBody*>::Node* childCursor = nullptr;
  std::uint8_t iteratingOffJoints = 0;
  std::uint8_t iteratingActiveJoints = 0;
  std::uint8_t iteratingBodies = 0;
  std::uint8_t iteratingChildren = 0;
  int crackCount = 0;
  int maxCracks = 8;
  std::unique_ptr<BoxTree> clusterTree;
  int propagationType = 0;
  Mgc::MgcVector3 savedLocalCenter;
  Mgc::MgcVector3 savedBoxSize;
  Mgc::MgcMatrix3 savedBoxRotation{1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  /// Each piece's share of the compound's mass, keyed by the piece so that a
  /// changed piece list never reads a ratio past the table or of another
  /// piece.
  std::vector<std::pair<PrivateHardBody*, double>> massRatios;
  double globalStressThreshold = 0.0;
  int randomThreshold = 0;
  int secImpactPercentage = 0;
  double secImpactReferenceMass = 0.0;
  std::uint32_t hitMark = 0;
  HardBody* animBody = nullptr;
  FractureBody* fragmentOwner = nullptr;
  FractureHolder* holdingWorld = nullptr;

 private:
  /// `visit` on each child fracture body, in list order.
  template <typename Visit>
  void forEachFragment(Visit visit) const {
    for (auto* node = childBodies.getFirst(); node != nullptr; node = node->next)
      visit(static_cast<FractureBody*>(node->value));
  }
  /// A new joint between a and b at the anchor, numbered `index`, taken in
  /// (registerJointBodies) and made active; null when memory runs out.
  DynamicStress* addActiveJoint(PrivateHardBody* a, PrivateHardBody* b, const Mgc::MgcVector3& anchor,
                                std::uint32_t index);
  /// splitIntoFragments's steps. The first active joint and every active
  /// joint that shares a body with those taken, moved from the active
  /// joints to `group` in passes until a pass finds none.
  void gatherJointGroup(EngineList<DynamicStress*>& group);
  /// A fragment made of the pieces the joints of `group` hold, placed in
  /// this body as a piece is, moving with the parent's velocity at its
  /// centre and pushed by the energetic joints that held its pieces.
  void makeFragment(const EngineList<DynamicStress*>& group, const EngineList<DynamicStress*>& energyJoints,
                    const RBDynamics& parent, bool randomize);
  /// The released bodies and the pieces no group took set going with the
  /// parent's velocity and the push of their first energetic joint; a held
  /// static body's fragments stay static; the body itself is deactivated
  /// when it released or split anything.
  void releaseParts(const EngineList<DynamicStress*>& energyJoints, const RBDynamics& parent, bool randomize);
  /// The integration of forces and motion, with what a step keeps between
  /// its two halves.
  BodyIntegrator integrator;
};
