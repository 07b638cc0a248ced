#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>

#include <vector>

#include "src/moduleCommand.h"

class zovSolverNode;

/// `ManageZovListCmd`: switches the given (or selected) rigid bodies into the
/// simulation ("-add"/"-additems" true) or out of it (false or absent),
/// through the solver named "zovSolverNode1". Entries that are not rigid
/// bodies are passed over. Undo switches back the bodies the run switched,
/// each to what its `enabled` said before; redo switches them again. Both
/// find the bodies by name, as a command redone before may have made them
/// anew.
class ManageZovListCmd : public ModuleCommand {
 public:
  ManageZovListCmd() : ModuleCommand("ManageZovListCmd") {}

  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  MStatus undoIt() override;
  MStatus redoIt() override;
  bool isUndoable() const override { return !switched.empty(); }

 private:
  /// A body the run switched, and whether it was in the simulation before.
  struct Switched {
    MString node;
    bool wasEnabled;
  };

  /// Switches the body node of that name, its engine body made first when
  /// it has none yet.
  static void switchBody(zovSolverNode& solver, const MString& node, bool add);

  MSelectionList selection;
  /// Whether the run switched bodies into the simulation.
  bool adding = false;
  std::vector<Switched> switched;
};
