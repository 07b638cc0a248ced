#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

class FractureBodyNode;

/// `fBody_selStresses`: names joints for the interface to select their
/// joint nodes, or resets joints. One mode per call, the first given of:
/// - "-ra"/"-resetAll": every joint of the selected fracture body node back
///   to its threshold, no break energy, no break by frame;
/// - "-stm"/"-setToMass": its joints' strengths scaled by their pieces'
///   masses;
/// - "-glb"/"-getLastBroken": the joints broken since the last call;
/// - otherwise the joints around the selected pieces of one fracture body:
///   all those of a lone piece; for several, with "-t"/"-type" 0 (default)
///   those among them, with 1 those from them to the rest, else none.
/// The result is a string array of joint names. The joints' values before
/// a reset or a scaling are not recorded: after either the command is
/// undoable, and its undo empties the undo queue, so that no undo reaches
/// past it. The other modes change nothing and stay off the undo queue.
class FBodyStressesCmd : public OneWayCommand {
 public:
  FBodyStressesCmd() : OneWayCommand("fBody_selStresses") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// The fracture body node that is the first selected object; null, after
  /// the error, when it is none.
  FractureBodyNode* selectedFractureBody() const;
  MStatus listByPieces(MStringArray& names);

  MSelectionList selection;
};
