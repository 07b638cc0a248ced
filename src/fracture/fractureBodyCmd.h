#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>
#include <maya/MTime.h>

#include <memory>
#include <vector>

#include "src/moduleCommand.h"

class FractureBodyNode;
class rigidBodyNode;

/// `zovFractureBody`: turns two or more selected rigid bodies into one
/// breakable fracture body. It makes a fracture body node (named by
/// "-n"/"-name", "ZovFractureBody" by default), links the pieces and the
/// solver to it and has it build the engine fracture body with its joints
/// and joint nodes; "-dTh"/"-distanceThr" (double, 0 when absent) is the
/// joining distance, "-nea"/"-nearest" the engine's nearest-joint build.
/// With "-chk"/"-check" true it only answers one warning line per piece of
/// negative mass. The result is the new node's name. A build that gives no
/// fracture body deletes the node and its joint nodes, frees the pieces and
/// fails. A fracture body made is not given back by undo: the pieces' engine
/// bodies now belong to it and its joints have their drawn strengths, which
/// nothing records. The command is undoable so that its undo can empty the
/// undo queue: an undo never reaches past it to the commands that made the
/// pieces (deleteZovFBody dissolves it).
class FractureBodyCmd : public OneWayCommand {
 public:
  FractureBodyCmd() : OneWayCommand("zovFractureBody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// What the flags ask for.
  struct Request {
    MString name;
    double distance = 0.0;
    bool check = false;
    bool nearest = false;
  };
  /// The flags, checked; false, after the message, when one is refused.
  bool readRequest(Request& request) const;
  /// The fracture body node of the selected pieces, built in the engine.
  MStatus makeFractureBody(const Request& request, const MTime& now);
  /// Links one piece to the new node, locked, at its start.
  void linkPiece(const MObject& fracture, rigidBodyNode& piece, const MTime& now);
  /// Links the node to the solver and builds it; the bodies it did not take
  /// are free again. Whether the build succeeded.
  bool buildInSolver(FractureBodyNode& node, const MObject& solver, bool nearest);
  /// The new fracture body waits for its first hit (passive too) when it
  /// lies on the ground, waits already, or has an animated parent.
  void settleFractureBody(FractureBodyNode& node, const MObject& solver);
  /// The selected rigid bodies that may become pieces: free, with an engine
  /// body, neither transform nor shape keyed; in selection order.
  std::vector<rigidBodyNode*> candidates() const;
  /// What the command changes on a body it was given, as it was before.
  struct KeptBody {
    rigidBodyNode* piece;
    /// Whether the world held its engine body.
    bool held;
    short firstHit;
    int passive;
    int groupId;
  };
  /// Takes the new node and its joint nodes back and leaves the bodies it
  /// was given as they were.
  void undoFractureBody(const MObject& fracture, const std::vector<KeptBody>& kept);

  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
};
