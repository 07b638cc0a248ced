#include <zovhost/Application.h>

#include <maya/MSceneMessage.h>

#include "core/CallbackRegistry.h"
#include "interpreter/HostSettings.h"
#include "interpreter/Interpreter.h"
#include "plugin/PluginManager.h"

namespace zovhost::app {

bool runLine(const std::string& line) {
  ExecuteOptions options;
  options.display = true;
  options.undoEnabled = true;
  CommandResult result;
  return static_cast<bool>(hostInterpreter().execute(line, result, options));
}

bool needsMoreLines(const std::string& text) { return Interpreter::needsMoreLines(text); }

unsigned int runIdleQueue() { return hostInterpreter().flushIdle(); }

void addScriptPath(const std::string& folder) { hostSettings().scriptPath.push_back(folder); }
void addPluginPath(const std::string& folder) { hostSettings().pluginPath.push_back(folder); }

void exitHost() {
  callbackRegistry().raiseScene(MSceneMessage::kMayaExiting);
  pluginManager().unloadAll();
}

}  // namespace zovhost::app
