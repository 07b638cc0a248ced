#include "testing/HostTesting.h"

#include "app/Host.h"
#include "scene/SceneFile.h"

#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <set>

namespace zovhost::testing {

namespace {

Host& host() { return Host::instance(); }

/// Plug-in objects handed to tests, kept so that their names stay valid.
std::vector<std::shared_ptr<PluginObject>>& testPlugins() {
  static std::vector<std::shared_ptr<PluginObject>> plugins;
  return plugins;
}

/// The names whose next registration fails.
std::set<std::string>& refusedRegistrations() {
  static std::set<std::string> names;
  return names;
}

}  // namespace

void resetHost() {
  Host& h = host();
  // Callbacks first: a test's callbacks may point at data that is gone.
  h.callbacks.clear();
  // Before the plug-ins go: an unloading module deletes its graphics objects
  // in whatever context is current, which need not be the one that made them.
  h.render.releaseViews();
  h.plugins.unloadAll();
  h.callbacks.clear();
  h.undo.flush();
  h.interpreter.clearIdle();
  h.interpreter.resetScripts();
  h.graph.clear();
  h.nodeTypes.removePluginTypes();
  h.commands.clear();
  h.drawOverrides.clear();
  refusedRegistrations().clear();
  h.settings = HostSettings();
  h.selectionSettings = SelectionSettings();
  h.undo.setEnabled(true);
  h.undo.setSuspended(false);
  h.units.reset();
  h.render.reset();
  clearScene();
  h.logs.clear();
  h.logs.echo = false;
  testPlugins().clear();
}

void resetScene() { clearScene(); }

MPxContext* currentToolContext() { return host().commands.currentContext(); }

bool removeNode(const std::string& name) {
  const auto node = host().graph.find(name);
  return node && host().graph.remove(node, nullptr, true);
}

MObject pluginObject(const std::string& name) {
  for (const auto& plugin : testPlugins())
    if (plugin->name == name) return MObject(plugin);
  testPlugins().push_back(std::make_shared<PluginObject>(name));
  return MObject(testPlugins().back());
}

void holdProgressWindow(bool held) { host().settings.progressWindow.reserved = held; }
bool progressWindowHeld() { return host().settings.progressWindow.reserved; }
void cancelProgressAfter(int checks) { host().settings.progressWindow.cancelAfterChecks = checks; }
void failProgressCall(int call) { host().settings.progressWindow.failingCall = call; }
std::string lastProgressTitle() { return host().settings.progressWindow.lastTitle; }
std::vector<int> lastProgressValues() { return host().settings.progressWindow.lastProgress; }

void setQueryAnswer(const std::string& line, const std::string& answer) { host().settings.queryAnswers[line] = answer; }

void setProcedure(const std::string& name, const std::string& result) { host().settings.procedures[name] = result; }
void setUpAxis(const std::string& axis) { host().settings.upAxis = axis; }
void setGridShown(bool shown) { host().settings.gridShown = shown ? 1 : 0; }

void setWindowExists(const std::string& window, bool exists) {
  if (exists)
    host().settings.windows.insert(window);
  else
    host().settings.windows.erase(window);
}

void setPanelRenderer(const std::string& panel, const std::string& renderer) {
  host().settings.panelRenderers[panel] = renderer;
}

void setOptionVar(const std::string& name, const std::string& value) { host().settings.optionVars[name] = value; }
void setPlaying(bool playing) { host().time.playing = playing; }
void setScrubbing(bool scrubbing) { host().time.scrubbing = scrubbing; }
void setBusy(bool busy) { host().time.busy = busy; }
void injectRegistrationFailure(const std::string& name) {
  refusedRegistrations().insert(name);
  host().plugins.setRegistrationCheck([](const std::string& registered) {
    // Each injected failure refuses one registration.
    return refusedRegistrations().erase(registered) == 0;
  });
}
unsigned int flushIdleQueue() { return host().interpreter.flushIdle(); }
size_t idleQueueSize() { return host().interpreter.idleCount(); }

std::vector<Message> messages() {
  std::vector<Message> result;
  for (const LoggedMessage& m : host().logs.messages)
    result.push_back({static_cast<MessageKind>(static_cast<int>(m.kind)), m.text});
  return result;
}

std::vector<Command> commands() {
  std::vector<Command> result;
  for (const LoggedCommand& c : host().logs.commands) result.push_back({c.line, c.succeeded, c.origin});
  return result;
}

bool hasMessage(MessageKind kind, const std::string& text) {
  for (const Message& m : messages())
    if (m.kind == kind && m.text.find(text) != std::string::npos) return true;
  return false;
}

void clearLogs() { host().logs.clear(); }
void setEcho(bool echo) { host().logs.echo = echo; }
void raiseSceneMessage(int message) { host().callbacks.raiseScene(message); }
size_t callbackCount() { return host().callbacks.size(); }
std::string sceneText() { return zovhost::sceneText(); }

std::vector<std::string> selectedNames() {
  MSelectionList list;
  MGlobal::getActiveSelectionList(list);
  MStringArray names;
  list.getSelectionStrings(names);
  std::vector<std::string> result;
  for (const MString& name : names.items()) result.push_back(name.str());
  return result;
}
size_t undoCount() { return host().undo.undoCount(); }
size_t redoCount() { return host().undo.redoCount(); }

}  // namespace zovhost::testing
