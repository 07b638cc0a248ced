#include "interpreter/Interpreter.h"

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MPxContextCommand.h>

#include "commands/CommandRegistry.h"
#include "commands/CommandResult.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"
#include "interpreter/HostSettings.h"
#include "interpreter/ScriptProcedures.h"

#include <memory>

namespace zovhost {

namespace {

// A line that keeps queueing idle lines must not hold the host forever.
constexpr unsigned int kMaxIdleLinesPerFlush = 10000;
// Procedures calling each other without end must not exhaust the stack.
constexpr int kMaxProcedureDepth = 100;

/// A plug-in command kept for undo and redo.
class PluginCommandEntry : public UndoEntry {
 public:
  PluginCommandEntry(std::unique_ptr<MPxCommand> command, std::string name, std::vector<CommandResult*>& results)
      : m_command(std::move(command)), m_name(std::move(name)), m_results(results) {}
  void undo() override { call(&MPxCommand::undoIt); }
  void redo() override { call(&MPxCommand::redoIt); }
  std::string name() const override { return m_name; }

 private:
  void call(MStatus (MPxCommand::*method)()) {
    CommandResult ignored;
    m_results.push_back(&ignored);
    ((*m_command).*method)();
    m_results.pop_back();
  }
  std::unique_ptr<MPxCommand> m_command;
  std::string m_name;
  std::vector<CommandResult*>& m_results;
};

struct Token {
  std::string text;
  bool quoted = false;
  bool punctuation = false;
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
  addQueryCommands(*this);
  addTimeCommands(*this);
  addSourceCommand(*this);
  addDagCommands(*this);
  addPolyCommands(*this);
  addMeshEditCommands(*this);
  addCurveCommands(*this);
}

void Interpreter::addHostCommand(const std::string& name, HostCommandFunction function) {
  m_hostCommands[name] = function;
}

bool Interpreter::parse(const std::string& line, std::vector<CommandCall>& commands, std::string& error) {
  commands.clear();
  std::vector<Token> tokens;
  std::string commandText;
  const auto endCommand = [&]() {
    if (tokens.empty()) {
      commandText.clear();
      return;
    }
    CommandCall call;
    call.name = tokens[0].text;
    call.text = trim(commandText);
    const bool functionForm = tokens.size() > 1 && tokens[1].punctuation && tokens[1].text == "(";
    for (size_t i = functionForm ? 2 : 1; i < tokens.size(); ++i)
      if (!tokens[i].punctuation) call.words.push_back({tokens[i].text, tokens[i].quoted});
    commands.push_back(std::move(call));
    tokens.clear();
    commandText.clear();
  };
  std::string word;
  bool inWord = false;
  const auto endWord = [&]() {
    if (inWord) tokens.push_back({word, false, false});
    word.clear();
    inWord = false;
  };
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      while (i < line.size() && line[i] != '\n') ++i;
      endWord();
      endCommand();
      continue;
    }
    if (c == ';' || c == '\n') {
      endWord();
      endCommand();
      continue;
    }
    commandText += c;
    if (c == '"') {
      endWord();
      std::string text;
      bool closed = false;
      for (++i; i < line.size(); ++i) {
        commandText += line[i];
        if (line[i] == '\\' && i + 1 < line.size()) {
          const char escaped = line[++i];
          commandText += escaped;
          text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
        } else if (line[i] == '"') {
          closed = true;
          break;
        } else {
          text += line[i];
        }
      }
      if (!closed) {
        error = "Syntax error: unterminated string";
        return false;
      }
      tokens.push_back({text, true, false});
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r') {
      endWord();
      continue;
    }
    if (c == '(' || c == ')' || c == ',') {
      endWord();
      tokens.push_back({std::string(1, c), false, true});
      continue;
    }
    word += c;
    inWord = true;
  }
  endWord();
  endCommand();
  return true;
}

MStatus Interpreter::execute(const std::string& line, CommandResult& result, const ExecuteOptions& options) {
  result.clear();
  MStatus status;
  const std::string trimmed = trim(line);
  const auto answer = m_parts.settings.queryAnswers.find(trimmed);
  if (answer != m_parts.settings.queryAnswers.end()) {
    result.setString(answer->second);
  } else {
    std::vector<CommandCall> commands;
    std::string error;
    std::string rest;
    if (!extractProcedures(line, rest, m_parts.settings.scriptProcedures, error) || !parse(rest, commands, error)) {
      displayError(error);
      status = MS::kFailure;
    }
    for (const CommandCall& call : commands) {
      status = run(call, result, options);
      if (!status) break;
    }
  }
  m_parts.logs.command(trimmed, static_cast<bool>(status), options.origin);
  if (options.display && status && result.kind != CommandResult::Kind::None)
    m_parts.logs.message(MessageKind::Result, result.text());
  return status;
}

MStatus Interpreter::run(const CommandCall& call, CommandResult& result, const ExecuteOptions& options) {
  result.clear();
  const auto answer = m_parts.settings.queryAnswers.find(call.text);
  if (answer != m_parts.settings.queryAnswers.end()) {
    result.setString(answer->second);
    return MS::kSuccess;
  }
  if (m_parts.commands.find(call.name)) return runPluginCommand(call, result, options);
  const auto hostCommand = m_hostCommands.find(call.name);
  if (hostCommand != m_hostCommands.end()) {
    HostCall hostCall{call, result, options.undoEnabled};
    return hostCommand->second(hostCall);
  }
  const auto defined = m_parts.settings.scriptProcedures.find(call.name);
  if (defined != m_parts.settings.scriptProcedures.end()) return runProcedure(defined->second, result, options);
  const auto procedure = m_parts.settings.procedures.find(call.name);
  if (procedure != m_parts.settings.procedures.end()) {
    if (!procedure->second.empty()) result.setString(procedure->second);
    return MS::kSuccess;
  }
  displayError("Cannot find procedure \"" + call.name + "\".");
  return MS::kFailure;
}

MStatus Interpreter::runProcedure(const std::string& body, CommandResult& result, const ExecuteOptions& options) {
  if (m_procedureDepth == kMaxProcedureDepth) {
    displayError("Procedure calls nested too deeply");
    return MS::kFailure;
  }
  ExecuteOptions inner = options;
  inner.display = false;
  inner.origin = "script";
  ++m_procedureDepth;
  // A copy: the body may define procedures and so replace itself.
  const MStatus status = execute(std::string(body), result, inner);
  --m_procedureDepth;
  return status;
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
  m_parts.results.push_back(&result);
  const MStatus status = object->doIt(arguments);
  m_parts.results.pop_back();
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
