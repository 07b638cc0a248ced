#pragma once

#include <maya/MStatus.h>

#include "commands/CommandResult.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace zovhost {

class CommandRegistry;
class Logs;
class UndoQueue;
struct HostSettings;

/// A word of a command line; quoted words are never flags.
struct Word {
  std::string text;
  bool quoted = false;
};

/// One command of a line as parsed: its name and words.
struct CommandCall {
  std::string name;
  std::vector<Word> words;
  /// The whole command as written, for messages.
  std::string text;
};

/// A call of a host command: the parsed command, its result, and whether its
/// changes go on the undo queue.
struct HostCall {
  const CommandCall& call;
  CommandResult& result;
  bool undoEnabled;
};

typedef MStatus (*HostCommandFunction)(HostCall& call);

/// How a line is run.
struct ExecuteOptions {
  /// Echo the line and print its result as the script editor would.
  bool display = false;
  /// Record the line's changes on the undo queue.
  bool undoEnabled = true;
  /// Where the line comes from, for the command log.
  std::string origin = "command";
};

/// Runs host command lines: words, quoted strings, "name(arguments)" calls and
/// commands separated by ';' or line ends, and procedure definitions
/// ("global proc name() { ... }"). Each command dispatches to a plug-in
/// command, a host command, a procedure defined by a script, a procedure set
/// by a test or a fixed query answer; anything else fails with "Cannot find
/// procedure". A line stops at
/// its first failing command; its result is the last command's.
class Interpreter {
 public:
  /// What running lines touches: the settings that answer queries and hold
  /// script procedures, the plug-in commands, the undo queue their changes
  /// go on, the results of the plug-in commands now running, and the logs.
  struct Parts {
    HostSettings& settings;
    CommandRegistry& commands;
    UndoQueue& undo;
    std::vector<CommandResult*>& results;
    Logs& logs;
  };

  /// Registers the interpreter's own host commands.
  explicit Interpreter(const Parts& parts);
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  MStatus execute(const std::string& line, CommandResult& result, const ExecuteOptions& options);
  /// Queues a line for the next idle time.
  void queueIdle(const std::string& line, bool display);
  /// Runs the queued lines, and those they queue, in order; returns how many ran.
  unsigned int flushIdle();
  size_t idleCount() const { return m_idle.size(); }
  void clearIdle() { m_idle.clear(); }

  void addHostCommand(const std::string& name, HostCommandFunction function);
  bool isHostCommand(const std::string& name) const { return m_hostCommands.count(name) != 0; }

  /// Splits a line into commands; false (with a message) on a syntax error.
  static bool parse(const std::string& line, std::vector<CommandCall>& commands, std::string& error);

 private:
  MStatus run(const CommandCall& call, CommandResult& result, const ExecuteOptions& options);
  MStatus runPluginCommand(const CommandCall& call, CommandResult& result, const ExecuteOptions& options);
  MStatus runProcedure(const std::string& body, CommandResult& result, const ExecuteOptions& options);

  Parts m_parts;
  std::map<std::string, HostCommandFunction> m_hostCommands;
  struct IdleLine {
    std::string line;
    bool display;
  };
  std::deque<IdleLine> m_idle;
  int m_procedureDepth = 0;
};

/// Registers the interpreter's host commands (defined beside them); the
/// areas above it register theirs through addHostCommand.
void addSceneCommands(Interpreter& interpreter);
void addQueryCommands(Interpreter& interpreter);
void addTimeCommands(Interpreter& interpreter);
void addSourceCommand(Interpreter& interpreter);
void addDagCommands(Interpreter& interpreter);
void addPolyCommands(Interpreter& interpreter);
void addMeshEditCommands(Interpreter& interpreter);
void addCurveCommands(Interpreter& interpreter);

/// The interpreter that runs the host's command lines; owned by the host's
/// composition root.
Interpreter& hostInterpreter();

}  // namespace zovhost
