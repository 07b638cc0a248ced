#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

#include "src/commandArguments.h"

// The bases of the module's commands, the third part of the command kit: a
// command keeps its parsed arguments for its redo and does its work in
// redoIt, which doIt runs once the arguments parse.

/// A module command with a syntax: doIt parses the arguments by it, keeps
/// them, and runs redoIt.
class ModuleCommand : public MPxCommand {
 public:
  MStatus doIt(const MArgList& list) override;
  bool hasSyntax() const override { return true; }

 protected:
  /// `command` names the command in the messages of its argument checks.
  explicit ModuleCommand(const char* command) : arguments(command) {}

  CommandArguments arguments;
};

/// A module command whose work the host's undo cannot give back (engine
/// state rewritten without a record, nodes made outside the undo queue). A
/// run that changed the scene is undoable all the same, and its undo empties
/// the undo queue, so that no undo reaches past it into the commands its
/// work stands on.
class OneWayCommand : public ModuleCommand {
 public:
  /// Empties the undo queue.
  MStatus undoIt() override;
  bool isUndoable() const override { return changed; }

 protected:
  using ModuleCommand::ModuleCommand;

  /// The run has changed the scene: its undo must empty the queue.
  void markChanged() { changed = true; }
  bool changedScene() const { return changed; }

 private:
  bool changed = false;
};
