#pragma once

#include <maya/MObject.h>
#include <maya/MPlugArray.h>
#include <maya/MPxNode.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>

#include <vector>

class FractureBody;
class rigidBodyNode;

/// What the solver asks of each node linked to its `fractureBodies`: its part
/// in the frame loop (the reset at the start, before the substeps, after the
/// frame), the force fields on its engine body, the scene closing and
/// opening, and what the body commands ask of it. The fracture body node
/// implements it and registers its node type when the module loads
/// (registerFrameParticipant), so that the solver needs nothing of the
/// fracture layer above it.
class FrameParticipant {
 public:
  // ---- The frame loop --------------------------------------------------------

  /// Whether a keyed parameter makes the cached result at the start frame
  /// stale.
  virtual bool parametersAnimated() const = 0;
  /// Back to the start state the last restart kept: the time came back to
  /// the start, or the world was rebuilt.
  virtual void rewind() = 0;
  /// Keeps the start state at `time`, the start of the playback range, and
  /// starts from it.
  virtual void restart(const MTime& time) = 0;
  /// Before the substeps of the frame from `earlier` to `current`, `step`
  /// seconds long.
  virtual void beforeSubsteps(const MTime& earlier, const MTime& current, double step) = 0;
  /// After frame `frame`'s substeps, once the bodies took their poses.
  virtual void afterFrame(int frame) = 0;

  // ---- The engine body and the force fields ----------------------------------

  /// The engine fracture body; null when there is none.
  virtual FractureBody* getFractureBody() const = 0;
  /// Whether force fields act on the engine body.
  virtual bool affectsForceFields() const = 0;

  // ---- The scene -------------------------------------------------------------

  /// Lets the engine body go before the scene is cleared.
  virtual void release() = 0;
  /// The engine body made again from the scene, with its start state at
  /// `time`.
  virtual void buildFromScene(const MTime& time) = 0;

  // ---- What the body commands ask --------------------------------------------

  /// Whether an animated parent moves the fracture body.
  virtual bool hasAnimatedParentNode() const = 0;
  /// Takes the body of the rigid body under the animated parent as its
  /// animation source; false when there is none.
  virtual bool linkGroupBody() = 0;
  /// The rigid body nodes of the pieces outside clusters, in connection
  /// order.
  virtual std::vector<rigidBodyNode*> pieceNodes() const = 0;

 protected:
  FrameParticipant() = default;
  ~FrameParticipant() = default;
  FrameParticipant(const FrameParticipant&) = default;
  FrameParticipant& operator=(const FrameParticipant&) = default;
};

/// The participant a registered node type's node is.
using FrameParticipantOf = FrameParticipant* (*)(MPxNode* node);

/// Nodes of the type take part from now on, seen through `participantOf`; a
/// type registered again is seen through the new function.
void registerFrameParticipant(const MTypeId& type, FrameParticipantOf participantOf);
/// Nodes of the type take part no more.
void deregisterFrameParticipant(const MTypeId& type);
/// The participant behind a node of a registered type; null for any other
/// node.
FrameParticipant* frameParticipantOf(const MObject& node);
/// The participants behind the plugs' nodes, in the plugs' order; plugs of
/// other nodes are passed over.
std::vector<FrameParticipant*> frameParticipantsOf(const MPlugArray& plugs);
