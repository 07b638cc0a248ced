#pragma once

#include <maya/MObject.h>
#include <maya/MPxContext.h>

#include <cstddef>
#include <string>
#include <vector>

/// The test-only interface of the stand-in host: reset, settings that host
/// queries answer from, injected failures, the idle queue and the logs.
namespace zovhost::testing {

/// Back to a freshly started host: callbacks removed, plug-ins unloaded,
/// plug-in node types and commands removed, scene cleared, settings, units,
/// time, selection, undo queue, idle queue, logs and the renderer's settings
/// (RenderTesting.h) reset, and no OpenGL context current, each view's context
/// in the state of a new one with no error unread. The script editor stops
/// printing (setEcho turns it back on).
void resetHost();
/// An empty scene (only the default nodes), without scene messages.
void resetScene();
/// Takes a node out of the scene for good, a default node (such as "time1")
/// too; false when there is no such node.
bool removeNode(const std::string& name);
/// A plug-in object for registrations made by tests; what is registered
/// through it goes away with resetHost.
MObject pluginObject(const std::string& name = "tests");

/// Answers a whole command line (or one command of a line) with a fixed result.
void setQueryAnswer(const std::string& line, const std::string& answer);
/// Makes a script procedure exist ("zovUI_initialize", ...), answering result.
void setProcedure(const std::string& name, const std::string& result = std::string());
void setUpAxis(const std::string& axis);
void setGridShown(bool shown);
void setWindowExists(const std::string& window, bool exists);
void setPanelRenderer(const std::string& panel, const std::string& renderer);
void setOptionVar(const std::string& name, const std::string& value);
/// The host's playback state.
void setPlaying(bool playing);
void setScrubbing(bool scrubbing);
/// The host's "busy" condition.
void setBusy(bool busy);

/// Another tool holds the progress window (or gives it up).
void holdProgressWindow(bool held);
/// Whether the progress window is reserved.
bool progressWindowHeld();
/// The user cancels: the progress window's isCancelled answers false this
/// many times in each run, then true; -1 (the default) never cancels.
void cancelProgressAfter(int checks);
/// Call number `call` (counted from 1 after each reservation, queries
/// included) of the progress window fails; 0 (the default) fails none.
void failProgressCall(int call);
/// The title of the progress window's last run and the values its progress
/// was set to, in order; kept after the run ends.
std::string lastProgressTitle();
std::vector<int> lastProgressValues();

/// Makes the next registration of this node type, command or draw
/// classification fail once.
void injectRegistrationFailure(const std::string& name);

/// The context of the current tool; null for the host's own tool.
MPxContext* currentToolContext();

/// Runs the idle queue; returns how many lines ran.
unsigned int flushIdleQueue();
size_t idleQueueSize();

enum class MessageKind { Info, Warning, Error, Print, Result };
struct Message {
  MessageKind kind;
  std::string text;
};
struct Command {
  std::string line;
  bool succeeded;
  std::string origin;
};
std::vector<Message> messages();
std::vector<Command> commands();
/// True when a message of this kind contains the text.
bool hasMessage(MessageKind kind, const std::string& text);
void clearLogs();
/// Whether messages are also printed.
void setEcho(bool echo);

/// Raises a scene message by number (for example the host exiting).
void raiseSceneMessage(int message);
size_t callbackCount();
/// The scene as a saved file would hold it.
std::string sceneText();
/// The names of what is selected, in the selection list's order.
std::vector<std::string> selectedNames();
/// The number of entries on the undo and redo stacks.
size_t undoCount();
size_t redoCount();

}  // namespace zovhost::testing
