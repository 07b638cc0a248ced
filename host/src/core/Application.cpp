#include <zovhost/Application.h>

#include <maya/MSceneMessage.h>

#include "core/Host.h"

namespace zovhost::app {

bool runLine(const std::string& line) {
  ExecuteOptions options;
  options.display = true;
  options.undoEnabled = true;
  CommandResult result;
  return static_cast<bool>(host().interpreter.execute(line, result, options));
}

unsigned int runIdleQueue() { return host().interpreter.flushIdle(); }

void addScriptPath(const std::string& folder) { host().settings.scriptPath.push_back(folder); }
void addPluginPath(const std::string& folder) { host().settings.pluginPath.push_back(folder); }

void exitHost() {
  host().callbacks.raiseScene(MSceneMessage::kMayaExiting);
  host().plugins.unloadAll();
}

}  // namespace zovhost::app
