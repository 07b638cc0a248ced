#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MDagModifier.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>

#include <memory>

#include "src/commandArguments.h"

// The bases of the module's commands, the third part of the command kit: a
// command keeps its parsed arguments for its redo and does its work in
// redoIt, which doIt runs once the arguments parse.

/// The creator the plug-in registers for the command type `Command`: a new
/// command for the host to own.
template <class Command>
void* creatorOf() {
  return new Command;
}

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

/// A module command whose changes a host modifier records: undo undoes the
/// modifier and lets it go, so that the next redo starts a new one.
template <class Modifier>
class ModifierCommand : public ModuleCommand {
 public:
  MStatus undoIt() override {
    if (modifier) modifier->undoIt();
    modifier.reset();
    return MS::kSuccess;
  }
  bool isUndoable() const override { return true; }

 protected:
  using ModuleCommand::ModuleCommand;

  std::unique_ptr<Modifier> modifier;
};

/// A modifier command on the selection: undo also gives back the selection
/// the run worked on (before the modifier's changes are undone).
class SelectionCommand : public ModifierCommand<MDagModifier> {
 public:
  MStatus undoIt() override {
    MGlobal::setActiveSelectionList(selection);
    return ModifierCommand::undoIt();
  }

 protected:
  using ModifierCommand::ModifierCommand;

  MSelectionList selection;
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
