#pragma once

#include <maya/MSelectionList.h>

#include "commands/ActiveSelection.h"
#include "commands/CommandRegistry.h"
#include "commands/CommandResult.h"
#include "commands/UndoQueue.h"
#include "core/CallbackRegistry.h"
#include "core/Logs.h"
#include "core/UnitSettings.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostSettings.h"
#include "interpreter/Interpreter.h"
#include "plugin/DrawOverrideRegistry.h"
#include "plugin/PluginManager.h"
#include "render/RenderState.h"
#include "time/TimeState.h"

#include <vector>

namespace zovhost {

/// The stand-in host application's composition root: it owns one of each
/// area's parts, hands each part the lower parts it works with, and starts
/// them. The API's free functions and classes reach the parts through the
/// accessors their areas declare (sceneGraph(), undoQueue(), ...), which
/// this root defines; no area includes this header. Members are declared
/// bottom layer first, so that each is made after what it is given.
class Host {
 public:
  /// The host, made and started on first use and never destroyed, so that
  /// plug-in objects destroyed late never find it gone.
  static Host& instance();

  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Values and messages.
  Logs logs;
  CallbackRegistry callbacks;
  UnitSettings units{callbacks};
  // The dependency graph and time.
  Graph graph{callbacks};
  NodeTypeRegistry nodeTypes{graph};
  TimeState time{graph, nodeTypes, callbacks};
  // Commands, undo and selection.
  UndoQueue undo;
  CommandRegistry commands;
  MSelectionList selection;
  SelectionSettings selectionSettings;
  std::vector<CommandResult*> results;
  // The interpreter.
  HostSettings settings;
  Interpreter interpreter{{settings, commands, undo, results, logs}};
  // Plug-in loading.
  DrawOverrideRegistry drawOverrides;
  PluginManager plugins{{nodeTypes, commands, drawOverrides, callbacks, undo, settings}};
  // Viewport drawing.
  RenderState render;

 private:
  Host() = default;
  /// Registers the host's own node types and the host commands of the areas
  /// above the interpreter, connects what one part tells another, and makes
  /// the default nodes.
  void start();
};

}  // namespace zovhost
