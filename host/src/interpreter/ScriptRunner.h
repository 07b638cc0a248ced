#pragma once

#include <maya/MStatus.h>

#include "interpreter/ScriptSyntax.h"
#include "interpreter/ScriptValue.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class Interpreter;
struct CommandResult;
struct ExecuteOptions;
struct Word;

/// Runs parsed scripts: variables, procedures, control flow and the commands
/// they call (through the interpreter). Global variables and procedures live
/// until reset; variables declared at the top level of a script outside any
/// block live on for later lines, as the script editor keeps them. A
/// procedure sees its parameters, its own variables and the globals it
/// declares; top-level code also sees every global.
class ScriptRunner {
 public:
  explicit ScriptRunner(Interpreter& interpreter) : m_interpreter(interpreter) {}
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  /// Defines the procedures among the statements (a later definition
  /// replaces an earlier one), so that a script may call a procedure that it
  /// defines further down.
  void defineProcedures(const std::vector<StatementPtr>& statements);
  /// Runs statements at the top level; stops at the first error or failing
  /// command. The result is the last statement's (a command's result, an
  /// expression's or an assigned value).
  MStatus run(const std::vector<StatementPtr>& statements, CommandResult& result, const ExecuteOptions& options);
  /// Runs one top-level statement; its result as for run.
  MStatus runStatement(const Statement& statement, CommandResult& result, const ExecuteOptions& options);
  bool hasProcedure(const std::string& name) const { return m_procedures.count(name) != 0; }
  /// Forgets every variable and procedure.
  void reset();

 private:
  struct Variable {
    ValueKind kind = ValueKind::None;
    ScriptValue value;
  };
  using VariablePtr = std::shared_ptr<Variable>;
  using Scope = std::map<std::string, VariablePtr>;
  /// The variables one call (or one top-level run) sees.
  struct Frame {
    std::vector<Scope> scopes;
    bool procedure = false;
    const ExecuteOptions* options = nullptr;
    ScriptValue returned;
  };
  enum class Flow { Next, Break, Continue, Return };
  class FrameGuard;
  class ScopeGuard;

  Flow execute(const Statement& statement, ScriptValue* value);
  Flow executeBody(const std::vector<StatementPtr>& body);
  void declare(const Statement& statement, ScriptValue* value);
  ScriptValue evaluate(const Expression& expression);
  ScriptValue evaluateBinary(const Expression& expression);
  /// A binary operator other than && and || on two values.
  ScriptValue arithmetic(const std::string& op, const ScriptValue& a, const ScriptValue& b);
  ScriptValue assign(const Expression& target, const ScriptValue& value);
  ScriptValue step(const Expression& expression);
  ScriptValue call(const Expression& expression);
  ScriptValue runCommand(const CommandForm& command);
  /// Runs a command of the interpreter (not a procedure) with the given words.
  ScriptValue dispatch(const std::string& name, const std::string& text, const std::vector<Word>& words);
  ScriptValue callProcedure(const Procedure& procedure, const std::vector<ScriptValue>& arguments,
                            const std::vector<VariablePtr>& references);

  VariablePtr find(const std::string& name) const;
  VariablePtr& bind(const std::string& name);
  VariablePtr variableOf(const Expression& expression);
  size_t indexOf(const Expression& expression);
  /// Shows an error and abandons the script.
  [[noreturn]] static void fail(const std::string& message);

  Interpreter& m_interpreter;
  std::map<std::string, VariablePtr> m_globals;
  Scope m_topLevel;
  std::map<std::string, std::shared_ptr<const Procedure>> m_procedures;
  std::vector<Frame> m_frames;
};

}  // namespace zovhost
