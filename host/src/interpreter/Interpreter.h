#pragma once

#include <maya/MStatus.h>

#include "commands/CommandResult.h"
#include "interpreter/ScriptRunner.h"

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
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
  /// One element of an array value given as an argument.
  bool element = false;
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

using HostCommandFunction = std::function<MStatus(HostCall& call)>;

/// How a line is run.
struct ExecuteOptions {
  /// Echo the line and print its result as the script editor would.
  bool display = false;
  /// Record the line's changes on the undo queue.
  bool undoEnabled = true;
  /// Where the line comes from, for the command log.
  std::string origin = "command";
};

/// Runs host command lines in the host's script language (see ScriptParser
/// and ScriptRunner): commands with words and quoted strings, calls,
/// variables, procedures and control flow, statements separated by ';' or
/// line ends. Each command dispatches to a plug-in command, a host command, a
/// procedure defined by a script, a procedure set by a test or a fixed query
/// answer; anything else fails with "Cannot find procedure". A line stops at
/// its first error or failing command; its result is the last statement's.
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
  /// Runs a script's top-level statements one by one, as scene files are
  /// read: each is recorded on its own and a failing one does not stop the
  /// rest. Returns the number that failed, or -1 (with the error shown) when
  /// the script does not parse.
  int executeEach(const std::string& text, const ExecuteOptions& options);
  /// executeEach in two steps, so that a caller can tell whether a script
  /// parses before it changes anything: parseEach answers false, with the
  /// parser's message in `error`, when it does not.
  static bool parseEach(const std::string& text, std::vector<StatementPtr>& statements, std::string& error);
  int executeEach(const std::vector<StatementPtr>& statements, const ExecuteOptions& options);
  /// Runs one command (not a script procedure) with its words.
  MStatus runCommand(const CommandCall& call, CommandResult& result, const ExecuteOptions& options);
  /// True for a plug-in command or a host command.
  bool isCommand(const std::string& name) const;
  /// Forgets the variables and procedures that scripts defined.
  void resetScripts() { m_scripts.reset(); }

  /// Counts one level of nested scripts (a procedure call, a sourced script,
  /// a scene read from a file) for the life of the guard; false when the
  /// nesting is too deep or the file is being read already further up, so
  /// that a script calling or sourcing itself ends with an error instead of
  /// exhausting the stack.
  class Nesting {
   public:
    explicit Nesting(Interpreter& interpreter, const std::string& file = std::string());
    ~Nesting();
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
    explicit operator bool() const { return m_entered; }
    /// True when the file is being read already.
    bool reentered() const { return m_reentered; }

   private:
    Interpreter& m_interpreter;
    std::string m_file;
    bool m_reentered = false;
    bool m_entered = false;
  };
  /// Queues a line for the next idle time.
  void queueIdle(const std::string& line, bool display);
  /// Runs the queued lines, and those they queue, in order; returns how many ran.
  unsigned int flushIdle();
  size_t idleCount() const { return m_idle.size(); }
  void clearIdle() { m_idle.clear(); }

  void addHostCommand(const std::string& name, HostCommandFunction function);
  /// Registers each (name, function) of a table of commands.
  void addHostCommands(std::initializer_list<std::pair<const char*, HostCommandFunction>> commands);
  bool isHostCommand(const std::string& name) const { return m_hostCommands.count(name) != 0; }

  /// True when a script's text ends inside an open block, so that the lines
  /// that follow belong to it (a procedure defined over several lines).
  static bool needsMoreLines(const std::string& text) { return scriptNeedsMore(text); }

 private:
  MStatus runPluginCommand(const CommandCall& call, CommandResult& result, const ExecuteOptions& options);

  Parts m_parts;
  ScriptRunner m_scripts{*this};
  std::map<std::string, HostCommandFunction> m_hostCommands;
  struct IdleLine {
    std::string line;
    bool display;
  };
  std::deque<IdleLine> m_idle;
  int m_nesting = 0;
  /// The files being read, outermost first.
  std::vector<std::string> m_files;
};

/// Registers the interpreter's host commands (defined beside them); the
/// areas above it register theirs through addHostCommand.
void addSceneCommands(Interpreter& interpreter);
void addAttributeCommands(Interpreter& interpreter);
void addConnectionQueryCommands(Interpreter& interpreter);
void addQueryCommands(Interpreter& interpreter);
void addTimeCommands(Interpreter& interpreter);
void addFieldCommands(Interpreter& interpreter);
void addSourceCommand(Interpreter& interpreter);
void addDagCommands(Interpreter& interpreter);
void addPolyCommands(Interpreter& interpreter);
void addMeshEditCommands(Interpreter& interpreter);
void addCurveCommands(Interpreter& interpreter);
void addToolCommands(Interpreter& interpreter);

/// The interpreter that runs the host's command lines; owned by the host's
/// composition root.
Interpreter& hostInterpreter();

}  // namespace zovhost
