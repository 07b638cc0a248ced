#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

class FractureBodyNode;

/// `deleteZovFBody`: dissolves the selected fracture body nodes. Each goes
/// back to its start, hands its clusters back, lets its pieces go and is
/// deleted; the pieces become ordinary rigid bodies in the world again (one
/// that waited for its first hit static and waiting again), or, with
/// "-db"/"-deleteBodies", are deleted too. Other selected nodes are passed
/// over. The result is the name of the last fracture body node deleted.
/// What it does to the engine bodies (restarted, freed or deleted pieces,
/// clusters handed back) cannot be given back: a run that deleted a fracture
/// body is undoable, and its undo empties the undo queue, so that no undo
/// reaches past it to commands that made or changed what it took apart.
class FBodyDeleteCmd : public OneWayCommand {
 public:
  FBodyDeleteCmd() : OneWayCommand("deleteZovFBody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// Deletes the fracture body node; its pieces go free (or, with
  /// `deleteBodies`, are deleted too).
  void dissolve(FractureBodyNode& fracture, bool deleteBodies);

  /// Deletes the nodes; kept, so that the deleted nodes go only with the
  /// command.
  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
};
