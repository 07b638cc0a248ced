// Host commands for plug-ins: loadPlugin, unloadPlugin, pluginInfo.
#include "commands/CommandRegistry.h"
#include "core/Logs.h"
#include "interpreter/HostArgs.h"
#include "plugin/PluginManager.h"

namespace zovhost {

namespace {

MStatus loadPluginCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("loadPlugin: give one plug-in");
    return MS::kFailure;
  }
  std::string name;
  const MStatus status = pluginManager().load(args.positional()[0], name);
  if (status) call.result.setStrings({name});
  return status;
}

MStatus unloadPluginCommand(HostCall&, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("unloadPlugin: give one plug-in");
    return MS::kFailure;
  }
  return pluginManager().unload(args.positional()[0]);
}

MStatus pluginInfoCommand(HostCall& call, const HostArgs& args) {
  if (args.has("listPlugins")) {
    call.result.setStrings(pluginManager().loaded());
    return MS::kSuccess;
  }
  if (!args.query() || args.positional().size() != 1) {
    displayError("pluginInfo: query one plug-in");
    return MS::kFailure;
  }
  const PluginObject* plugin = pluginManager().find(args.positional()[0]);
  if (args.has("loaded")) {
    call.result.setInt(plugin ? 1 : 0);
    return MS::kSuccess;
  }
  if (!plugin) {
    displayError("pluginInfo: Plug-in '" + args.positional()[0] + "' is not loaded");
    return MS::kFailure;
  }
  if (args.has("version")) call.result.setString(plugin->version.str());
  if (args.has("vendor")) call.result.setString(plugin->vendor.str());
  if (args.has("path")) call.result.setString(plugin->path);
  // Commands and context commands, in the order the plug-in registered them.
  if (args.has("command")) call.result.setStrings(commandRegistry().commandsOf(plugin->name));
  return MS::kSuccess;
}

}  // namespace

void addPluginCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter, {{"loadPlugin", loadPluginCommand, {{"qt", "quiet", 0, 0}}},
                                   {"unloadPlugin", unloadPluginCommand, {{"f", "force", 0, 0}}},
                                   {"pluginInfo",
                                    pluginInfoCommand,
                                    {{"q", "query", 0, 0},
                                     {"l", "loaded", 0, 0},
                                     {"v", "version", 0, 0},
                                     {"vd", "vendor", 0, 0},
                                     {"p", "path", 0, 0},
                                     {"ls", "listPlugins", 0, 0},
                                     {"c", "command", 0, 0}}}});
}

}  // namespace zovhost
