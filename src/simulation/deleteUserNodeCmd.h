#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

/// `deleteUserNode`: deletes the given (or selected) nodes at once, in list
/// order; the module's node-removed handlers release their engine objects.
/// A node the host will not delete (locked, a default node, or with such a
/// node below it that would go with it) is left, with a warning naming it
/// and why; a node gone with an earlier one is deleted as asked.
/// Undo brings the nodes back as an undo of the host's delete does, with
/// their connections, and the module makes their engine objects again. Redo
/// deletes the nodes that then bear their names: a command redone before it
/// may have made them anew.
class deleteUserNodeCmd : public ModuleCommand {
 public:
  deleteUserNodeCmd() : ModuleCommand("deleteUserNode") {}

  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  /// Puts the deleted nodes back.
  MStatus undoIt() override;
  MStatus redoIt() override;
  bool isUndoable() const override { return true; }

 private:
  /// Deletes the nodes of the list, one at a time in list order; names the
  /// nodes deleted and warns of each node left.
  void deleteNodes(const MSelectionList& nodes);

  MSelectionList selection;
  /// The names of the nodes deleted (full paths of DAG nodes).
  MStringArray deleted;
  /// The deletions; the nodes are let go of when it goes while they are deleted.
  std::unique_ptr<MDGModifier> modifier;
};
