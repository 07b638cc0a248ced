#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>
#include <vector>

#include "src/moduleCommand.h"

class FractureBodyNode;
class rigidBodyNode;

/// `Detach_FBody`: takes the selected pieces out of their fracture body (the
/// one feeding the first selected piece). A lone piece, or pieces that are
/// all static, leave one by one as free bodies. Otherwise the pieces and
/// the joints among them become a new fracture body named after the source
/// with "1" added; a source left without joints is deleted. Selected pieces
/// of other fracture bodies are passed over. The pieces and joints that
/// change hands cannot be given back: a run that moved any is undoable, and
/// its undo empties the undo queue, so that no undo reaches past it.
class FBodyDetachCmd : public OneWayCommand {
 public:
  FBodyDetachCmd() : OneWayCommand("Detach_FBody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// The selected pieces become a new fracture body beside the source.
  MStatus splitOff(FractureBodyNode& source, const std::vector<rigidBodyNode*>& pieces);

  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
};
