#pragma once

#include <maya/MColor.h>
#include <maya/MDGModifier.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>
#include <maya/MVector.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "src/moduleNode.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/ownedBody.h"
#include "src/simulation/pieceOwner.h"

class DynamicStress;
class FractureBody;
class SceneStress;
class clusterFractureNode;
class rigidBodyNode;

/// The fracture body node (`zovFbodyNode`): a group of rigid bodies (the
/// pieces) held together by breakable joints and simulated as one engine
/// fracture body, which the node owns. It links by message attributes to its
/// pieces (`rigidBodies`), to one joint node per joint (`stresses`), to its
/// cluster nodes, to an optional animation source and to the solver. Each
/// parameter has a hidden `ca_` twin; computing the twin copies the
/// parameter into the engine fracture body or into the joint nodes.
///
/// Operations that need the engine fracture body do nothing (and succeed)
/// when it is missing; those that reach the world do nothing without one.
///
/// It is its pieces' PieceOwner: each piece's rigid body node asks it what
/// it needs of its fracture body. It is a FrameParticipant of the solver it
/// is linked to, its node type registered as one (registerParticipant).
class FractureBodyNode : public ModuleNode<FractureBodyNode, MPxNode>, public PieceOwner, public FrameParticipant {
 public:
  /// Bits of isAnimated's mask.
  enum AnimationTest : int { kParametersAnimated = 4 };

  FractureBodyNode();
  ~FractureBodyNode() override;

  /// A new node with a new, empty engine fracture body (none when it cannot
  /// be had).
  static void* creator();
  static MStatus initialize();
  void postConstructor() override {}
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  /// The engine fracture body; null when it was not made or was let go.
  FractureBody* getFractureBody() const override;
  /// The node type takes part in its solvers' frames from now on.
  static void registerParticipant();

  // ---- Attribute readers -----------------------------------------------------

  /// `enabled`; false without an engine fracture body.
  bool isEnabled() const;
  bool isSelected() const override;
  int actFrame() const;
  int breakFrame() const;
  double stressThreshold() const;
  int randomThreshold() const;
  /// `displayStressses`.
  bool displaysStress() const override;
  /// The static parts are held until `actFrame` and not released yet.
  bool firstHitPending() const;
  /// isAnimated with kParametersAnimated. `propStyle`, `randomThreshold` or
  /// `stressThreshold` is keyed; false for any other mask.
  bool isAnimated(int mask) const;
  unsigned int numClusters() const;
  /// The cluster nodes on `clusters`, in connection order.
  std::vector<clusterFractureNode*> clusterNodes() const;
  /// The rigid body nodes on `rigidBodies` (the pieces not in a cluster), in
  /// connection order.
  std::vector<rigidBodyNode*> pieceNodes() const override;
  unsigned int numStresses() const;
  /// The joint node behind connection i of `stresses`; null out of range.
  SceneStress* stressNodeAt(unsigned int i) const;
  MString nodeName() const;
  /// Renames the node and gives the engine fracture body the name (cut to
  /// its buffer).
  void setNodeName(const MString& name);
  /// `affectForceFields` as `ca_forceFields` last took it.
  bool affectsForceFields() const override { return affectForceFieldsState; }
  /// `randomThreshold` to a multiple of 10 in [0, 100], as last applied.
  int getRandomThresholdStep() const { return randomThresholdStep; }
  bool hasAnimatedParentNode() const override { return hasAnimatedParent; }
  const MDagPath& getAnimatedParentPath() const { return animatedParentPath; }
  /// The fracture body's frame to its animated parent's frame.
  const MMatrix& getRestMatrix() const { return restMatrix; }
  std::uint32_t getNumStressNodes() const { return numStressNodes; }
  /// The piece's cluster node (clusterNodeOf), as it shows.
  PieceCluster clusterOf(const rigidBodyNode& piece) const override;
  /// Pulls `ca_propStyle`, `ca_randomThreshold`, `ca_stressThreshold`,
  /// `ca_secCracks`, `ca_bounciness` and `ca_enabled`.
  void pullPieceSettings() override;

  // ---- Parameters into the engine -------------------------------------------
  // Each takes the twin attribute that names the parameter; each answers
  // true.

  bool applyBoolParam(const MObject& twin, bool value);
  bool applyDoubleParam(const MObject& twin, double value);
  bool applyIntParam(const MObject& twin, int value);
  bool applyVectorParam(const MObject& twin, const MVector& value);
  /// Scales the joints' force strengths by the masses of their pieces.
  void applyJointForce();
  /// The fracture body into the world, its index into `index`, `enabled` on.
  void addToWorld();
  /// The linked solver leaves cached mode: frames cached before a change
  /// must not play back.
  void deactivateSolverCache();

  // ---- Building (fractureBodyBuild.cpp) --------------------------------------

  /// Fills the engine fracture body with the pieces on `rigidBodies`, has the
  /// engine join them (the nearest-joint switch passed on), makes a joint
  /// node per joint and pushes every parameter. False when no fracture body
  /// came of it: no engine fracture body, no pieces, no joint (the engine
  /// fracture body is then let go) or no mass.
  bool build(bool nearest);
  /// A new joint node for the joint, linked to this node; null, after the
  /// error, when it cannot be made or linked.
  SceneStress* createStressNodes(DynamicStress* joint, double strength);
  /// Finds the topmost animated ancestor of the first piece.
  void findAnimatedParent();
  /// Makes the body of the rigid body under the animated parent the fracture
  /// body's animation source; false when there is none.
  bool linkGroupBody() override;
  /// Keeps the start state: the pieces reset to `time`, the group's rest
  /// position, the joint nodes' state, the engine's dynamics.
  void restorePieces(const MTime& time);

  // ---- In the frame loop (fractureBodyPlay.cpp) -------------------------------

  /// isAnimated with kParametersAnimated.
  bool parametersAnimated() const override;
  /// resetToStart.
  void rewind() override;
  /// restorePieces at `time`, splitEngineBody, then resetToStart.
  void restart(const MTime& time) override;
  /// updateKinematic, for an enabled fracture body with an animated parent.
  void beforeSubsteps(const MTime& earlier, const MTime& current, double step) override;
  /// For an enabled fracture body: the joints due by `frame` broken, the
  /// joint nodes moved to their joints, the static parts let go from
  /// `actFrame` on, and the body breakable from `breakFrame` on.
  void afterFrame(int frame) override;

  /// Splits an active engine fracture body along its broken joints and
  /// files the parts in the world.
  void splitEngineBody();
  /// Back to the start state kept by restorePieces: the engine body whole
  /// and in the world (or out of it when disabled), static and unbreakable
  /// as the node says, the joint nodes and the pieces as they were.
  void resetToStart();
  /// Moves a static fracture body with its animated parent over the frame
  /// from `earlier` to `current`, `step` seconds long: the body's velocity
  /// and spin are the parent's keyed motion.
  void updateKinematic(const MTime& earlier, const MTime& current, double step);
  /// Breaks the joints listed for breaking by frame whose frame to break is
  /// at or before `frame`.
  void breakJointsByFrame(int frame);
  /// Each active joint's node shows where the joint is now.
  void updateStressPositions();
  /// Lets the static parts of the fracture body go.
  void disableStaticParts();
  /// Fills the empty engine fracture body of a node that a scene file made
  /// (or an undo brought back) from the pieces and joint nodes linked to it,
  /// and stores the start state at `time`.
  void buildFromScene(const MTime& time) override;
  /// A joint for the joint node between the pieces its stored names give
  /// (pieces of this node or of its clusters), numbered `index`; null, with
  /// no joint made, when one is missing.
  DynamicStress* rebuildJoint(SceneStress& node, std::uint32_t index);
  /// Node-added handler: a node brought back after its deletion gets its
  /// joint nodes and an engine fracture body again, rebuilt as after a scene
  /// is opened.
  static void onNodeAdded(MObject& node);
  /// Makes a piece's engine body again through `make` (the piece's own
  /// making, which frees the old body): the engine fracture body, which
  /// reaches the old body, goes first, and a new one is built from the scene
  /// around the new body, its joints as the joint nodes hold them. A piece
  /// of which no body is made leaves, with the joint nodes that name it and
  /// a warning. Answers what `make` answers.
  bool remakePiece(rigidBodyNode& piece, const std::function<bool()>& make) override;
  /// A piece that left this fracture body because no body could be made of
  /// its collision shape, or whose node was deleted, and whose body is about
  /// to be made again (the change or the deletion undone, say), comes back
  /// with the joint nodes that left with it, when nothing else of the
  /// fracture body changed since: its body is then made through
  /// remakePiece, and `made` holds what `make` answered; a deleted piece's
  /// node is locked as it was. False, with nothing done, when the piece did
  /// not leave it or cannot come back.
  bool takeBackPiece(rigidBodyNode& piece, const std::function<bool()>& make, bool& made) override;

  // ---- Stress colours (fractureBodyStress.cpp) --------------------------------

  /// Colours the vertices of one piece's mesh by the joint nearest to each,
  /// against `stressThreshold`; the flag is not read.
  void colorStresses(const MObject& piece, int flag);
  /// The colour of a hue, saturation and value, each in [0, 1]; alpha 1.
  static MColor colorFromHsv(double h, double s, double v);
  /// Colours every piece, then has the views drawn again.
  void refreshStressDisplay();
  /// Each piece's mesh back to its first colour set.
  void hideStressColors();
  /// Removes the colour nodes and the "colorStresses" colour set that older
  /// scenes left on the pieces' meshes.
  void removeStressColors();

  // ---- Removal and joint bookkeeping (fractureBodyRemoval.cpp) ---------------

  /// Node-removed handler for this node type: the node lets its fracture body
  /// go and its joint nodes are deleted.
  static void onNodeRemoved(MObject& node, void* clientData);
  /// Lets the engine fracture body go: the clusters hand their pieces and
  /// joint nodes back and go, the joint nodes forget the joints, the pieces
  /// are unlocked and free, the solver's cache ends.
  void release() override;
  /// release, the clusters left as they are (their pieces unlocked and
  /// free too).
  void letBodyGo();
  /// Whether the node is deleted (its deletion may yet be undone): its joint
  /// nodes and clusters went with it.
  bool isDeleted() const { return jointRemoval != nullptr; }
  /// Hands the cluster nodes' pieces and joint nodes back to this node and
  /// deletes the cluster nodes, through `removal` when given (to be undone
  /// later: the joint nodes keep their values), else through the node's own
  /// modifier (the joint nodes take the fracture body's values).
  void dropClusterNode(MDGModifier* removal = nullptr);
  /// Lists a joint node for breaking by frame (once per joint).
  void addBreakByFrameJoint(SceneStress* node);
  /// Takes a listed joint node off the list.
  void removeBreakByFrameJoint(SceneStress* node);
  /// Takes a joint node that is going off the list, leaving its joint alone.
  void forgetStressNode(const SceneStress* node);
  /// The joint nodes listed for breaking by frame, in listing order.
  const std::vector<SceneStress*>& breakByFrameJoints() const { return stressNodes; }
  /// The pieces named by the joint node's `body1Name` and `body2Name`
  /// (null objects when absent).
  void findPieceObjects(const SceneStress& node, MObject& first, MObject& second) const;
  /// Renamed rigid bodies, each with the name it had: the joint nodes of
  /// the fracture body each is linked to (directly or through a cluster)
  /// name it by its new name. One batch is applied at once, so that a piece
  /// given another's former name is not taken for it.
  static void followPieceNames(const std::vector<std::pair<MObject, MString>>& renamed);
  void activateJoint(SceneStress& node);
  void deactivateJoint(SceneStress& node);
  /// The joint node takes the cluster labels of its joint's bodies.
  void syncStressBodyIndices(SceneStress& node);
  /// The joint node of an engine joint on `stresses`; null when none.
  SceneStress* findStressNode(const DynamicStress* joint) const;
  /// Takes a piece out of the fracture body with the joint nodes of its
  /// joints (its clusters' too); it becomes a free, unlocked body. Pieces
  /// that no joint holds after it become free bodies in the world too, and
  /// a fracture body left without pieces is released. The flag is not read.
  void removePiece(rigidBodyNode* piece, bool flag) override;
  /// removePiece for a piece whose node is being deleted: the joint nodes'
  /// deletion, the unlinking and the release of the fracture body are kept,
  /// with the locks of the pieces that go, so that takeBackPiece gives them
  /// back when the deletion is undone and the piece's body is made again.
  void removeDeletedPiece(rigidBodyNode& piece) override;
  /// A joint node of this fracture body is being deleted: its joint goes out
  /// of play, from the fracture body and any fragment of it, and the pieces
  /// that no joint node holds any more go free, as a deleted piece's
  /// neighbours do. A piece that a joint broken in the play still holds
  /// stays, moving on its own until the start makes that joint whole. What
  /// that does to the scene is kept, so that takeBackStressNode gives it
  /// back.
  void removeDeletedStressNode(SceneStress& node);
  /// A joint node whose deletion is undone, linked to this node again: the
  /// pieces it freed come back with their locks and the fracture body is
  /// built again from the scene, the node's joint with it, when nothing else
  /// of the fracture body changed since. False, with nothing done, when the
  /// node did not leave it or cannot come back.
  bool takeBackStressNode(SceneStress& node);
  /// The joint node on connection i of `stresses` goes with its joint.
  void removeStressNodeAt(unsigned int i);
  /// Moves a joint node and its joint from its fracture body into this one.
  void attachStressNode(SceneStress* node);
  /// Takes a joint node and its joint out of this fracture body (the joint
  /// stays the node's); the remaining joints are numbered again from 0.
  void detachStressNode(SceneStress* node);
  /// Called on a new node: the selected pieces of `source` with the joints
  /// among them become this fracture body (taken out of the source when
  /// `keep`). False when this node has no engine fracture body or no mass
  /// comes of it.
  bool detachPieces(const std::vector<rigidBodyNode*>& selection, FractureBodyNode& source, bool keep);
  /// Every joint back to the fracture body's defaults: no break by frame,
  /// no break energy, the threshold's strength, enabled, torsion, breaking
  /// by force.
  void applyJointParams();
  /// Breaking by frame of the whole fracture body follows its clusters.
  void updateClusters();

  static const MTypeId id;
  static const MString nodeTypeName;

  // Attributes, in creation order.
  inline static MObject usercommand;
  inline static MObject rigidBodies;
  inline static MObject clusters;
  inline static MObject animBody;
  inline static MObject stresses;
  inline static MObject solver;
  inline static MObject initialVelocity;
  inline static MObject initialSpin;
  inline static MObject distThreshold;
  inline static MObject passive;
  inline static MObject firstHitActive;
  inline static MObject actFrameAttr;         ///< "actFrame"
  inline static MObject breakFrameAttr;       ///< "breakFrame"
  inline static MObject stressThresholdAttr;  ///< "stressThreshold"
  inline static MObject randomThresholdAttr;  ///< "randomThreshold"
  inline static MObject stress2mass;
  inline static MObject propStyle;
  inline static MObject enabled;
  inline static MObject unbreakable;
  inline static MObject secCracks;
  inline static MObject percentSecCracks;
  inline static MObject doTrans;
  inline static MObject mass;
  inline static MObject friction;
  inline static MObject bounciness;
  inline static MObject linearDamping;
  inline static MObject angularDamping;
  inline static MObject selected;
  inline static MObject displayStressses;
  inline static MObject index;
  inline static MObject ca_index;
  inline static MObject keysTX;
  inline static MObject keysTY;
  inline static MObject keysTZ;
  inline static MObject keysRX;
  inline static MObject keysRY;
  inline static MObject keysRZ;
  inline static MObject transFrame;
  inline static MObject ca_initialVelocity;
  inline static MObject ca_initialSpin;
  inline static MObject ca_stressThreshold;
  inline static MObject ca_randomThreshold;
  inline static MObject ca_propStyle;
  inline static MObject ca_enabled;
  inline static MObject ca_firstHit;
  inline static MObject ca_stress2mass;
  inline static MObject ca_unbreakable;
  inline static MObject ca_secCracks;
  inline static MObject ca_mass;
  inline static MObject ca_friction;
  inline static MObject ca_bounciness;
  inline static MObject ca_airdamping;
  inline static MObject ca_angdamping;
  inline static MObject affectForceFields;
  inline static MObject fieldList;
  inline static MObject ca_forceFields;
  inline static MObject ca_selected;
  inline static MObject ca_disStresses;
  inline static MObject ca_passive;

 private:
  /// The twin's parameter pushed, then the steps of compute that follow.
  void computeRandomThreshold(MDataBlock& block);
  /// The force strengths from the threshold, by the pieces' clusters and
  /// groups (the `ca_randomThreshold` rule).
  void applyClusterStrengths();
  /// The joint nodes on `stresses`, in connection order.
  std::vector<SceneStress*> stressNodesLinked() const;
  /// The rigid body nodes of the pieces: those on `rigidBodies`, then the
  /// clusters', in connection order.
  std::vector<rigidBodyNode*> linkedPieceNodes() const;
  /// Every joint node of this fracture body (on `stresses` and on the
  /// clusters), each with the plug that feeds it.
  std::vector<std::pair<SceneStress*, MPlug>> linkedStressNodes() const;
  /// The joint node, fed from `from`, is deleted and its joint taken out of
  /// the fracture body; the joint is freed when the fracture body no longer
  /// holds it. Answers the joint freed (null when none was).
  /// The deletion goes through `removal` when given (to be undone later),
  /// else through the node's own modifier.
  DynamicStress* dropStressNode(SceneStress& node, const MPlug& from, MDGModifier* removal = nullptr);
  /// The piece is unlocked and no longer linked to this node or its cluster;
  /// the link is broken through `removal` when given.
  void unlinkPiece(rigidBodyNode& piece, MDGModifier* removal = nullptr);
  struct LeftPiece;
  /// removePiece; with `record`, the joint nodes are deleted, the links
  /// broken and the fracture body released through its removal, and each
  /// piece that goes is kept with its lock.
  void takeOutPiece(rigidBodyNode* piece, LeftPiece* record);
  /// Every linked piece that the fracture body no longer holds goes free
  /// (takeOutPiece, into `record` when given) and falls as a body of its
  /// own; a fracture body left without pieces is released.
  void freeUnheldPieces(LeftPiece* record);
  /// What `record` took, given back when the fracture body is as the going
  /// left it: the removal undone, `index` and `enabled` as they were, each
  /// piece's mass its node's again. `locks` receives the locks to put back
  /// after the build that follows. False, with nothing done, otherwise.
  bool giveBack(LeftPiece& record, std::vector<std::pair<MObject, bool>>& locks);
  /// Takes the record of the piece or joint node `left` off leftPieces into
  /// `record`; false when there is none.
  bool takeLeft(const MObject& left, LeftPiece& record);
  /// The node's links (pieces, joint nodes, clusters, and the clusters'
  /// pieces and joint nodes), by plug name, sorted.
  std::vector<std::string> linkNames() const;
  /// Lets every piece that left go for good (takeBackPiece will not find
  /// it), with the joint nodes it took.
  void forgetLeftPieces();
  /// Deletes the engine fracture body and its joints; the nodes and their
  /// links stay, the joint nodes and pieces only forget them.
  void dropEngineBody();
  /// A new engine fracture body built from the scene as after an open, from
  /// the start state the joint nodes and pieces keep.
  void buildAgain();
  /// release, for a node whose last piece went: the node shows that it has
  /// no engine fracture body (`index` -1, `enabled` off) and the user is
  /// told. With `record` (a deleted piece's), the release is kept to be
  /// undone: the clusters go through its removal, the pieces that left stay
  /// to be taken back, and `index` and `enabled` are kept.
  void releaseWithoutPieces(LeftPiece* record = nullptr);
  /// The joint nodes whose strengths the threshold, cluster and mass rules
  /// set: those on `stresses`, none while no joint node is counted.
  std::vector<SceneStress*> strengthNodes() const;
  MDGModifier& dgModifier();
  /// restMatrix from the fracture body's pose and its animated parent's.
  void computeRestMatrix();

  OwnedBody fractureBody;
  std::uint32_t numStressNodes = 0;
  /// The joint nodes listed for breaking by frame; not owned.
  std::vector<SceneStress*> stressNodes;
  bool enabledState = false;
  bool passiveState = false;
  int randomThresholdSeen = 0;
  bool affectForceFieldsState = true;
  bool hasAnimatedParent = false;
  bool staticPartsReleased = false;
  /// Whether restorePieces has kept a start state to go back to.
  bool startStored = false;
  int randomThresholdStep = 0;
  MDagPath animatedParentPath;
  MMatrix restMatrix;
  std::unique_ptr<MDGModifier> modifier;
  /// The deletion of the joint nodes when this node was deleted, undone when
  /// the node comes back.
  std::unique_ptr<MDGModifier> jointRemoval;
  /// A piece that left because no body could be made of its shape, or
  /// because its node was deleted; or a deleted joint node.
  struct LeftPiece {
    /// The piece, or the deleted joint node.
    MObject piece;
    /// Deleted the joint nodes that named the piece and unlinked it (and the
    /// pieces that left with it); a joint node's unlinked the pieces that
    /// left with its joint.
    std::unique_ptr<MDGModifier> removal;
    /// linkNames just after it left.
    std::vector<std::string> links;
    /// The locks of a deleted piece and of the pieces that left with it, as
    /// they were, given back with them; none for a piece that left for its
    /// shape, which comes back locked as pieces are.
    std::vector<std::pair<MObject, bool>> locks;
    /// `index` and `enabled` when the piece's going released the fracture
    /// body, which comes back with it.
    std::optional<std::pair<int, bool>> released;
  };
  std::vector<LeftPiece> leftPieces;
};
