#include "interpreter/Interpreter.h"

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MPxContextCommand.h>

#include "commands/CommandRegistry.h"
#include "commands/CommandResult.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"
#include "interpreter/HistoryCommands.h"
#include "interpreter/HostSettings.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

namespace zovhost {

namespace {

// A line that keeps queueing idle lines must not hold the host forever.
constexpr unsigned int kMaxIdleLinesPerFlush = 10000;
// Procedures calling each other, or scripts sourcing each other, without end
// must not exhaust the stack.
constexpr int kMaxRunNesting = 100;

/// Makes a result the one plug-in commands write to, for the life of the
/// guard (also when the command throws).
class ResultGuard {
 public:
  ResultGuard(std::vector<CommandResult*>& results, CommandResult& result) : m_results(results) {
    m_results.push_back(&result);
  }
  ~ResultGuard() { m_results.pop_back(); }
  ResultGuard(const ResultGuard&) = delete;
  ResultGuard& operator=(const ResultGuard&) = delete;

 private:
  std::vector<CommandResult*>& m_results;
};

/// A plug-in command kept for undo and redo.
class PluginCommandEntry : public UndoEntry {
 public:
  PluginCommandEntry(std::unique_ptr<MPxCommand> command, std::string name, std::vector<CommandResult*>& results)
      : m_command(std::move(command)), m_name(std::move(name)), m_results(results) {}
  void undo() override { call(&MPxCommand::undoIt); }
  bool redo() override {
    call(&MPxCommand::redoIt);
    return true;
  }
  std::string name() const override { return m_name; }

 private:
  void call(MStatus (MPxCommand::*method)()) {
    CommandResult ignored;
    const ResultGuard guard(m_results, ignored);
    ((*m_command).*method)();
  }
  std::unique_ptr<MPxCommand> m_command;
  std::string m_name;
  std::vector<CommandResult*>& m_results;
};

std::string trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n;");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r\n;");
  return text.substr(first, last - first + 1);
}

}  // namespace

Interpreter::Interpreter(const Parts& parts) : m_parts(parts) {
  addSceneCommands(*this);
  addAttributeCommands(*this);
  addConnectionQueryCommands(*this);
  addQueryCommands(*this);
  addTimeCommands(*this);
  addSourceCommand(*this);
  addDagCommands(*this);
  addPolyCommands(*this);
  addMeshEditCommands(*this);
  addHistoryCommands(*this);
  addCurveCommands(*this);
  addFieldCommands(*this);
  addToolCommands(*this);
}

void Interpreter::addHostCommand(const std::string& name, HostCommandFunction function) {
  m_hostCommands[name] = function;
}

void Interpreter::addHostCommands(std::initializer_list<std::pair<const char*, HostCommandFunction>> commands) {
  for (const auto& command : commands) addHostCommand(command.first, command.second);
}

Interpreter::Nesting::Nesting(Interpreter& interpreter, const std::string& file) : m_interpreter(interpreter) {
  if (!file.empty()) {
    char* resolved = realpath(file.c_str(), nullptr);
    m_file = resolved ? resolved : file;
    std::free(resolved);
    const auto& files = m_interpreter.m_files;
    m_reentered = std::find(files.begin(), files.end(), m_file) != files.end();
  }
  m_entered = !m_reentered && m_interpreter.m_nesting < kMaxRunNesting;
  if (!m_entered) return;
  ++m_interpreter.m_nesting;
  if (!m_file.empty()) m_interpreter.m_files.push_back(m_file);
}

Interpreter::Nesting::~Nesting() {
  if (!m_entered) return;
  --m_interpreter.m_nesting;
  if (!m_file.empty()) m_interpreter.m_files.pop_back();
}

MStatus Interpreter::execute(const std::string& line, CommandResult& result, const ExecuteOptions& options) {
  result.clear();
  MStatus status;
  const std::string trimmed = trim(line);
  const auto answer = m_parts.settings.queryAnswers.find(trimmed);
  if (answer != m_parts.settings.queryAnswers.end()) {
    result.setString(answer->second);
  } else {
    std::vector<StatementPtr> statements;
    std::string error;
    if (parseScript(line, statements, error)) {
      m_scripts.defineProcedures(statements);
      status = m_scripts.run(statements, result, options);
    } else {
      displayError(error);
      status = MS::kFailure;
    }
  }
  m_parts.logs.command(trimmed, static_cast<bool>(status), options.origin);
  if (options.display && status && result.kind != CommandResult::Kind::None)
    m_parts.logs.message(MessageKind::Result, result.text());
  return status;
}

int Interpreter::executeEach(const std::string& text, const ExecuteOptions& options) {
  std::vector<StatementPtr> statements;
  std::string error;
  if (!parseEach(text, statements, error)) {
    displayError(error);
    return -1;
  }
  return executeEach(statements, options);
}

bool Interpreter::parseEach(const std::string& text, std::vector<StatementPtr>& statements, std::string& error) {
  statements.clear();
  return parseScript(text, statements, error);
}

int Interpreter::executeEach(const std::vector<StatementPtr>& statements, const ExecuteOptions& options) {
  m_scripts.defineProcedures(statements);
  int failures = 0;
  for (const auto& statement : statements) {
    CommandResult result;
    const MStatus status = m_scripts.runStatement(*statement, result, options);
    m_parts.logs.command(statement->text, static_cast<bool>(status), options.origin);
    if (!status) ++failures;
  }
  return failures;
}

bool Interpreter::isCommand(const std::string& name) const {
  return m_parts.commands.find(name) != nullptr || m_hostCommands.count(name) != 0;
}

MStatus Interpreter::runCommand(const CommandCall& call, CommandResult& result, const ExecuteOptions& options) {
  result.clear();
  const auto answer = m_parts.settings.queryAnswers.find(call.text);
  if (answer != m_parts.settings.queryAnswers.end()) {
    result.setString(answer->second);
    return MS::kSuccess;
  }
  const auto hostCommand = m_hostCommands.find(call.name);
  if (m_parts.commands.find(call.name) || hostCommand != m_hostCommands.end()) {
    // A command that runs out of memory fails with an error; the host goes on.
    try {
      if (m_parts.commands.find(call.name)) return runPluginCommand(call, result, options);
      HostCall hostCall{call, result, options.undoEnabled};
      return hostCommand->second(hostCall);
    } catch (const std::bad_alloc&) {
      displayError(call.name + ": out of memory");
    } catch (const std::length_error&) {
      displayError(call.name + ": out of memory");
    }
    result.clear();
    return MS::kFailure;
  }
  const auto procedure = m_parts.settings.procedures.find(call.name);
  if (procedure != m_parts.settings.procedures.end()) {
    if (!procedure->second.empty()) result.setString(procedure->second);
    return MS::kSuccess;
  }
  displayError("Cannot find procedure \"" + call.name + "\".");
  return MS::kFailure;
}

MStatus Interpreter::runPluginCommand(const CommandCall& call, CommandResult& result, const ExecuteOptions& options) {
  const PluginCommand command = *m_parts.commands.find(call.name);
  if (command.isContext) {
    std::unique_ptr<MPxContextCommand> maker(static_cast<MPxContextCommand*>(command.creator()));
    if (!maker) return MS::kFailure;
    std::unique_ptr<MPxContext> context(maker->makeObj());
    if (!context) return MS::kFailure;
    result.setString(m_parts.commands.addContext(command.name, std::move(context)));
    return MS::kSuccess;
  }

  MArgList arguments;
  for (const Word& word : call.words) arguments.addWord(word.text, word.quoted);
  if (command.syntax) {
    // The host checks the arguments against the syntax before the command runs.
    MStatus parsed;
    const MArgDatabase check(command.syntax(), arguments, &parsed);
    if (!parsed) return parsed;
  }
  std::unique_ptr<MPxCommand> object(static_cast<MPxCommand*>(command.creator()));
  if (!object) return MS::kFailure;
  object->setRegisteredName(command.name);
  object->setCommandString(MString(call.text));
  MStatus status;
  {
    const ResultGuard guard(m_parts.results, result);
    status = object->doIt(arguments);
  }
  if (status && object->isUndoable() && options.undoEnabled)
    m_parts.undo.push(std::make_unique<PluginCommandEntry>(std::move(object), command.name, m_parts.results));
  return status;
}

void Interpreter::queueIdle(const std::string& line, bool display) { m_idle.push_back({line, display}); }

unsigned int Interpreter::flushIdle() {
  unsigned int ran = 0;
  while (!m_idle.empty()) {
    if (ran == kMaxIdleLinesPerFlush) {
      displayWarning("Idle queue still not empty after " + std::to_string(ran) + " lines; the rest waits");
      break;
    }
    const IdleLine next = m_idle.front();
    m_idle.pop_front();
    ExecuteOptions options;
    options.display = next.display;
    options.undoEnabled = false;
    options.origin = "idle";
    CommandResult result;
    execute(next.line, result, options);
    ++ran;
  }
  return ran;
}

}  // namespace zovhost
