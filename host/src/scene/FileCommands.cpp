// Host commands for scene files: file (-new, -rename, -save, -open, -import,
// -exportAll, -query -sceneName) and requires.
#include "core/Files.h"
#include "core/Logs.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostArgs.h"
#include "interpreter/HostSettings.h"
#include "plugin/PluginManager.h"
#include "scene/SceneFile.h"

namespace zovhost {

namespace {

MStatus fileCommand(HostCall& call, const HostArgs& args) {
  HostSettings& settings = hostSettings();
  const std::string path = args.positional().empty() ? std::string() : args.positional()[0];
  if (args.query()) {
    call.result.setString(settings.sceneName);
    return MS::kSuccess;
  }
  if (args.has("newFile")) {
    newScene();
    return MS::kSuccess;
  }
  if (args.has("rename")) {
    settings.sceneName = args.value("rename");
    call.result.setString(settings.sceneName);
    return MS::kSuccess;
  }
  if (args.has("save")) {
    if (settings.sceneName.empty()) {
      displayError("file: The scene has no name; use file -rename first");
      return MS::kFailure;
    }
    call.result.setString(settings.sceneName);
    return saveScene(settings.sceneName, false);
  }
  if (path.empty()) {
    displayError("file: give a file");
    return MS::kFailure;
  }
  if (args.has("exportAll")) return saveScene(path, true);
  if (args.has("open")) {
    call.result.setString(path);
    return openScene(path);
  }
  if (args.has("import")) return importScene(path);
  displayError("file: give -new, -rename, -save, -open, -import or -exportAll");
  return MS::kFailure;
}

MStatus requiresCommand(HostCall&, const HostArgs& args) {
  if (args.positional().empty()) {
    displayError("requires: give a plug-in");
    return MS::kFailure;
  }
  const std::string plugin = args.positional()[0];
  if (pluginManager().isLoaded(plugin)) return MS::kSuccess;
  // Node types registered under the plug-in's name (by a test, say) satisfy it too.
  for (const auto& type : nodeTypeRegistry().types())
    if (type->plugin == plugin) return MS::kSuccess;
  // On the plug-in path first, then where the scene's module came from.
  std::string name;
  if (pluginManager().canFind(plugin) && pluginManager().load(plugin, name)) return MS::kSuccess;
  const std::string path = args.value("path");
  if (!path.empty() && fileExists(path) && pluginManager().load(path, name)) return MS::kSuccess;
  displayWarning("The scene needs the plug-in '" + plugin + "', which could not be loaded");
  return MS::kFailure;
}

}  // namespace

void addFileCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter, {{"file",
                                    fileCommand,
                                    {{"new", "newFile", 0, 0},
                                     {"f", "force", 0, 0},
                                     {"rn", "rename", 1, 1},
                                     {"s", "save", 0, 0},
                                     {"o", "open", 0, 0},
                                     {"i", "import", 0, 0},
                                     {"ea", "exportAll", 0, 0},
                                     {"type", "type", 1, 1},
                                     {"q", "query", 0, 0},
                                     {"sn", "sceneName", 0, 0}}},
                                   {"requires", requiresCommand, {{"pth", "path", 1, 1}}}});
}

}  // namespace zovhost
