#pragma once

#include <maya/MSelectionList.h>

#include "commands/CommandRegistry.h"
#include "commands/CommandResult.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostSettings.h"
#include "interpreter/Interpreter.h"
#include "messages/CallbackRegistry.h"
#include "plugin/DrawOverrideRegistry.h"
#include "plugin/PluginManager.h"
#include "time/TimeState.h"

#include <vector>

namespace zovhost {

/// The whole state of the stand-in host application: one per process.
struct Host {
  /// Registers the host's own node types and makes the default nodes.
  void start();

  Logs logs;
  HostSettings settings;
  CallbackRegistry callbacks;
  NodeTypeRegistry nodeTypes;
  Graph graph;
  UndoQueue undo;
  CommandRegistry commands;
  MSelectionList selection;
  TimeState time;
  Interpreter interpreter;
  PluginManager plugins;
  DrawOverrideRegistry drawOverrides;
  /// The results of the plug-in commands now running, innermost last
  /// (MPxCommand::setResult writes to the last one).
  std::vector<CommandResult*> results;

  /// Removes every node and undo entry, then makes the default nodes. Raises
  /// no scene message (callers raise them around it).
  void clearScene();
  /// Sets the active selection and raises "SelectionChanged".
  void setSelection(const MSelectionList& list);
};

/// The host. Made on first use and never destroyed, so that plug-in objects
/// destroyed late never find it gone.
Host& host();

/// Shows a message to the user through the host's log and script editor.
void displayInfo(const std::string& text);
void displayWarning(const std::string& text);
void displayError(const std::string& text);

}  // namespace zovhost
