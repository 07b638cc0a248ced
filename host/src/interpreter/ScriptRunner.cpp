#include "interpreter/ScriptRunner.h"

#include "core/Logs.h"
#include "interpreter/Interpreter.h"

#include <cctype>
#include <cmath>
#include <cstdint>

namespace zovhost {

namespace {

/// Thrown, once the error is shown, to abandon the script being run.
struct ScriptAbort {};

/// Arrays grow to at most this many elements through an index.
constexpr double kMaxArrayIndex = 1000000.0;

/// An int result of whole-number arithmetic, wrapped to 32 bits.
int wrapped(long long value) { return static_cast<int>(static_cast<std::uint32_t>(value)); }

bool looksLikeFlag(const std::string& word) {
  return word.size() > 1 && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[1])) != 0;
}

bool isComparison(const std::string& op) {
  return op == "==" || op == "!=" || op == "<" || op == "<=" || op == ">" || op == ">=";
}

template <typename T>
bool compare(const std::string& op, const T& a, const T& b) {
  if (op == "==") return a == b;
  if (op == "!=") return a != b;
  if (op == "<") return a < b;
  if (op == "<=") return a <= b;
  if (op == ">") return a > b;
  return a >= b;
}

}  // namespace

/// Puts a frame on the stack for the life of the guard.
class ScriptRunner::FrameGuard {
 public:
  FrameGuard(std::vector<Frame>& frames, Frame frame) : m_frames(frames) { m_frames.push_back(std::move(frame)); }
  ~FrameGuard() { m_frames.pop_back(); }
  FrameGuard(const FrameGuard&) = delete;
  FrameGuard& operator=(const FrameGuard&) = delete;

 private:
  std::vector<Frame>& m_frames;
};

/// Opens a block's scope in the current frame for the life of the guard.
class ScriptRunner::ScopeGuard {
 public:
  explicit ScopeGuard(std::vector<Frame>& frames) : m_frames(frames), m_frame(frames.size() - 1) {
    m_frames[m_frame].scopes.emplace_back();
  }
  ~ScopeGuard() { m_frames[m_frame].scopes.pop_back(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  std::vector<Frame>& m_frames;
  size_t m_frame;
};

void ScriptRunner::fail(const std::string& message) {
  displayError(message);
  throw ScriptAbort{};
}

void ScriptRunner::reset() {
  m_globals.clear();
  m_topLevel.clear();
  m_procedures.clear();
}

void ScriptRunner::defineProcedures(const std::vector<StatementPtr>& statements) {
  for (const auto& statement : statements)
    if (statement->kind == StatementKind::Procedure) m_procedures[statement->procedure->name] = statement->procedure;
}

MStatus ScriptRunner::run(const std::vector<StatementPtr>& statements, CommandResult& result,
                          const ExecuteOptions& options) {
  result.clear();
  for (const auto& statement : statements) {
    const MStatus status = runStatement(*statement, result, options);
    if (!status) return status;
  }
  return MS::kSuccess;
}

MStatus ScriptRunner::runStatement(const Statement& statement, CommandResult& result, const ExecuteOptions& options) {
  result.clear();
  Frame frame;
  frame.options = &options;
  FrameGuard guard(m_frames, std::move(frame));
  ScriptValue value;
  try {
    const Flow flow = execute(statement, &value);
    if (flow == Flow::Return) fail("return is only allowed in a procedure");
    if (flow != Flow::Next) fail("break and continue are only allowed in a loop");
  } catch (const ScriptAbort&) {
    return MS::kFailure;
  }
  value.toResult(result);
  return MS::kSuccess;
}

// --- Statements ------------------------------------------------------------

ScriptRunner::Flow ScriptRunner::executeBody(const std::vector<StatementPtr>& body) {
  for (const auto& statement : body) {
    const Flow flow = execute(*statement, nullptr);
    if (flow != Flow::Next) return flow;
  }
  return Flow::Next;
}

ScriptRunner::Flow ScriptRunner::execute(const Statement& statement, ScriptValue* value) {
  const auto& expressions = statement.expressions;
  switch (statement.kind) {
    case StatementKind::Empty:
      return Flow::Next;
    case StatementKind::Break:
      return Flow::Break;
    case StatementKind::Continue:
      return Flow::Continue;
    case StatementKind::Procedure:
      m_procedures[statement.procedure->name] = statement.procedure;
      return Flow::Next;
    case StatementKind::Block: {
      ScopeGuard scope(m_frames);
      return executeBody(statement.body);
    }
    case StatementKind::Command: {
      ScriptValue result = runCommand(*statement.command);
      if (value) *value = std::move(result);
      return Flow::Next;
    }
    case StatementKind::Expression: {
      ScriptValue result = evaluate(*expressions[0]);
      if (value) *value = std::move(result);
      return Flow::Next;
    }
    case StatementKind::Declaration:
      declare(statement, value);
      return Flow::Next;
    case StatementKind::If:
      if (evaluate(*expressions[0]).truth()) return execute(*statement.body[0], nullptr);
      return statement.body.size() > 1 ? execute(*statement.body[1], nullptr) : Flow::Next;
    case StatementKind::While:
    case StatementKind::For: {
      const bool counted = statement.kind == StatementKind::For;
      const Expression* condition = counted ? expressions[1].get() : expressions[0].get();
      if (counted && expressions[0]) evaluate(*expressions[0]);
      while (!condition || evaluate(*condition).truth()) {
        const Flow flow = execute(*statement.body[0], nullptr);
        if (flow == Flow::Break) break;
        if (flow == Flow::Return) return flow;
        if (counted && expressions[2]) evaluate(*expressions[2]);
      }
      return Flow::Next;
    }
    case StatementKind::ForIn: {
      const ScriptValue list = evaluate(*expressions[0]);
      if (!list.isArray()) fail("for-in needs an array, not a value of type " + kindName(list.kind()) + ".");
      Expression variable;
      variable.kind = ExpressionKind::Variable;
      variable.name = statement.variable;
      for (size_t i = 0; i < list.size(); ++i) {
        assign(variable, list.element(i));
        const Flow flow = execute(*statement.body[0], nullptr);
        if (flow == Flow::Break) break;
        if (flow == Flow::Return) return flow;
      }
      return Flow::Next;
    }
    case StatementKind::Return: {
      ScriptValue returned = expressions.empty() ? ScriptValue() : evaluate(*expressions[0]);
      if (!m_frames.back().procedure) fail("return is only allowed in a procedure");
      m_frames.back().returned = std::move(returned);
      return Flow::Return;
    }
  }
  return Flow::Next;
}

void ScriptRunner::declare(const Statement& statement, ScriptValue* value) {
  for (const Declarator& declarator : statement.declarators) {
    const ValueKind kind = declarator.array ? arrayOf(statement.type) : statement.type;
    const ScriptValue initial = declarator.initial ? evaluate(*declarator.initial) : ScriptValue::empty(kind);
    ScriptValue converted;
    if (!initial.convertTo(kind, converted))
      fail("Cannot convert data of type " + kindName(initial.kind()) + " to type " + kindName(kind) + " ($" +
           declarator.name + ").");
    if (statement.global) {
      VariablePtr& global = m_globals[declarator.name];
      if (!global) {
        global = std::make_shared<Variable>();
        global->kind = kind;
        global->value = ScriptValue::empty(kind);
      } else if (global->kind != kind) {
        fail("The global variable $" + declarator.name + " is already declared as " + kindName(global->kind) + ".");
      }
      if (declarator.initial) global->value = converted;
      bind(declarator.name) = global;
    } else {
      auto local = std::make_shared<Variable>();
      local->kind = kind;
      local->value = converted;
      bind(declarator.name) = local;
    }
    if (value) *value = declarator.initial ? converted : ScriptValue();
  }
}

// --- Variables -------------------------------------------------------------

ScriptRunner::VariablePtr ScriptRunner::find(const std::string& name) const {
  const Frame& frame = m_frames.back();
  for (auto scope = frame.scopes.rbegin(); scope != frame.scopes.rend(); ++scope) {
    const auto found = scope->find(name);
    if (found != scope->end()) return found->second;
  }
  if (frame.procedure) return nullptr;
  const auto top = m_topLevel.find(name);
  if (top != m_topLevel.end()) return top->second;
  const auto global = m_globals.find(name);
  return global != m_globals.end() ? global->second : nullptr;
}

ScriptRunner::VariablePtr& ScriptRunner::bind(const std::string& name) {
  Frame& frame = m_frames.back();
  return frame.scopes.empty() ? m_topLevel[name] : frame.scopes.back()[name];
}

ScriptRunner::VariablePtr ScriptRunner::variableOf(const Expression& expression) {
  if (expression.kind != ExpressionKind::Variable) fail("An array variable is needed here.");
  VariablePtr variable = find(expression.name);
  if (!variable) fail("\"$" + expression.name + "\" is an undeclared variable.");
  if (!variable->value.isArray()) fail("$" + expression.name + " is not an array.");
  return variable;
}

size_t ScriptRunner::indexOf(const Expression& expression) {
  const ScriptValue index = evaluate(expression);
  if (index.isArray()) fail("An array index must be a number.");
  const double number = index.asFloat();
  if (!(number >= 0.0)) fail("Array index " + index.asString() + " is negative.");
  if (number > kMaxArrayIndex) fail("Array index " + index.asString() + " is too large.");
  return static_cast<size_t>(number);
}

// --- Expressions -----------------------------------------------------------

ScriptValue ScriptRunner::evaluate(const Expression& expression) {
  const auto& operands = expression.operands;
  switch (expression.kind) {
    case ExpressionKind::Literal:
      return expression.literal;
    case ExpressionKind::Variable: {
      const VariablePtr variable = find(expression.name);
      if (!variable) fail("\"$" + expression.name + "\" is an undeclared variable.");
      return variable->value;
    }
    case ExpressionKind::Element: {
      // An element of a variable is read in place, not from a copy of the array.
      const size_t index = indexOf(*operands[1]);
      if (operands[0]->kind == ExpressionKind::Variable) return variableOf(*operands[0])->value.element(index);
      const ScriptValue array = evaluate(*operands[0]);
      if (!array.isArray()) fail("Only arrays can be indexed.");
      return array.element(index);
    }
    case ExpressionKind::Unary: {
      const ScriptValue operand = evaluate(*operands[0]);
      if (expression.name == "!") return ScriptValue::ofInt(operand.truth() ? 0 : 1);
      if (operand.kind() == ValueKind::Int)
        return ScriptValue::ofInt(wrapped(-static_cast<long long>(operand.asInt())));
      if (operand.kind() == ValueKind::Float) return ScriptValue::ofFloat(-operand.asFloat());
      fail("A value of type " + kindName(operand.kind()) + " cannot be negated.");
    }
    case ExpressionKind::Binary:
      return evaluateBinary(expression);
    case ExpressionKind::Assign: {
      ScriptValue value = evaluate(*operands[1]);
      if (expression.name != "=") value = arithmetic(expression.name.substr(0, 1), evaluate(*operands[0]), value);
      return assign(*operands[0], value);
    }
    case ExpressionKind::Step:
      return step(expression);
    case ExpressionKind::Call:
      return call(expression);
    case ExpressionKind::Command:
      return runCommand(*expression.command);
    case ExpressionKind::List: {
      std::vector<ScriptValue> elements;
      ValueKind kind = ValueKind::Int;
      for (const auto& operand : operands) {
        elements.push_back(evaluate(*operand));
        const ValueKind element = elements.back().kind();
        if (elements.back().isArray()) fail("An array cannot hold arrays.");
        if (element == ValueKind::String || (element == ValueKind::Float && kind == ValueKind::Int)) kind = element;
      }
      ScriptValue list = ScriptValue::empty(arrayOf(kind));
      for (size_t i = 0; i < elements.size(); ++i) list.setElement(i, elements[i]);
      return list;
    }
    case ExpressionKind::Choice:
      return evaluate(*operands[0]).truth() ? evaluate(*operands[1]) : evaluate(*operands[2]);
  }
  return ScriptValue();
}

ScriptValue ScriptRunner::evaluateBinary(const Expression& expression) {
  const std::string& op = expression.name;
  if (op == "&&")
    return ScriptValue::ofInt(evaluate(*expression.operands[0]).truth() && evaluate(*expression.operands[1]).truth());
  if (op == "||")
    return ScriptValue::ofInt(evaluate(*expression.operands[0]).truth() || evaluate(*expression.operands[1]).truth());
  const ScriptValue left = evaluate(*expression.operands[0]);
  return arithmetic(op, left, evaluate(*expression.operands[1]));
}

ScriptValue ScriptRunner::arithmetic(const std::string& op, const ScriptValue& a, const ScriptValue& b) {
  if (a.isArray() || b.isArray()) fail("The operator " + op + " does not apply to arrays.");
  const bool strings = a.kind() == ValueKind::String || b.kind() == ValueKind::String;
  if (op == "+" && strings) return ScriptValue::ofString(a.asString() + b.asString());
  if (isComparison(op)) {
    if (a.kind() == ValueKind::String && b.kind() == ValueKind::String)
      return ScriptValue::ofInt(compare(op, a.asString(), b.asString()));
    if (a.kind() == ValueKind::Int && b.kind() == ValueKind::Int)
      return ScriptValue::ofInt(compare(op, a.asInt(), b.asInt()));
    return ScriptValue::ofInt(compare(op, a.asFloat(), b.asFloat()));
  }
  if (strings) fail("The operator " + op + " needs numbers, not strings.");
  if (a.kind() != ValueKind::Float && b.kind() != ValueKind::Float) {
    const long long x = a.asInt();
    const long long y = b.asInt();
    if ((op == "/" || op == "%") && y == 0) fail("Division by zero.");
    if (op == "+") return ScriptValue::ofInt(wrapped(x + y));
    if (op == "-") return ScriptValue::ofInt(wrapped(x - y));
    if (op == "*") return ScriptValue::ofInt(wrapped(x * y));
    if (op == "/") return ScriptValue::ofInt(wrapped(x / y));
    return ScriptValue::ofInt(wrapped(x % y));
  }
  const double x = a.asFloat();
  const double y = b.asFloat();
  if (op == "+") return ScriptValue::ofFloat(x + y);
  if (op == "-") return ScriptValue::ofFloat(x - y);
  if (op == "*") return ScriptValue::ofFloat(x * y);
  if (op == "/") return ScriptValue::ofFloat(x / y);
  return ScriptValue::ofFloat(std::fmod(x, y));
}

ScriptValue ScriptRunner::assign(const Expression& target, const ScriptValue& value) {
  if (target.kind == ExpressionKind::Element) {
    const VariablePtr variable = variableOf(*target.operands[0]);
    const size_t index = indexOf(*target.operands[1]);
    if (value.isArray()) fail("An array element cannot hold an array.");
    variable->value.setElement(index, value);
    return variable->value.element(index);
  }
  VariablePtr variable = find(target.name);
  if (!variable) {
    // Assigning declares the variable with the value's type.
    if (value.kind() == ValueKind::None) fail("Nothing to assign to $" + target.name + ".");
    variable = std::make_shared<Variable>();
    variable->kind = value.kind();
    bind(target.name) = variable;
  }
  ScriptValue converted;
  if (!value.convertTo(variable->kind, converted))
    fail("Cannot convert data of type " + kindName(value.kind()) + " to type " + kindName(variable->kind) + " ($" +
         target.name + ").");
  variable->value = converted;
  return converted;
}

ScriptValue ScriptRunner::step(const Expression& expression) {
  const Expression& target = *expression.operands[0];
  const ScriptValue before = evaluate(target);
  if (!before.isNumber()) fail("++ and -- need a number, not a value of type " + kindName(before.kind()) + ".");
  const ScriptValue after =
      assign(target, arithmetic(expression.name == "++" ? "+" : "-", before, ScriptValue::ofInt(1)));
  return expression.prefix ? after : before;
}

// --- Calls and commands ----------------------------------------------------

ScriptValue ScriptRunner::call(const Expression& expression) {
  const std::string& name = expression.name;
  const auto& operands = expression.operands;
  if (name == "size" || name == "clear") {
    if (operands.size() != 1) fail(name + " takes one argument.");
    if (name == "clear") {
      variableOf(*operands[0])->value.clear();
      return ScriptValue::ofInt(1);
    }
    const ScriptValue value = evaluate(*operands[0]);
    if (!value.isArray() && value.kind() != ValueKind::String) fail("size needs an array or a string.");
    return ScriptValue::ofInt(static_cast<int>(value.size()));
  }
  if (!m_interpreter.isCommand(name)) {
    const auto procedure = m_procedures.find(name);
    if (procedure != m_procedures.end()) {
      // A copy: the procedure may be redefined while it runs.
      const std::shared_ptr<const Procedure> running = procedure->second;
      std::vector<ScriptValue> arguments;
      std::vector<VariablePtr> references;
      for (const auto& operand : operands) {
        arguments.push_back(evaluate(*operand));
        references.push_back(operand->kind == ExpressionKind::Variable ? find(operand->name) : nullptr);
      }
      return callProcedure(*running, arguments, references);
    }
  }
  // A command in call form: a string that looks like a flag is a flag.
  std::vector<Word> words;
  for (const auto& operand : operands) {
    const ScriptValue value = evaluate(*operand);
    for (const std::string& word : value.words())
      words.push_back({word, !(value.kind() == ValueKind::String && looksLikeFlag(word)), value.isArray()});
  }
  return dispatch(name, expression.text, words);
}

ScriptValue ScriptRunner::runCommand(const CommandForm& command) {
  if (!m_interpreter.isCommand(command.name)) {
    const auto procedure = m_procedures.find(command.name);
    if (procedure != m_procedures.end()) {
      const std::shared_ptr<const Procedure> running = procedure->second;
      std::vector<ScriptValue> arguments;
      std::vector<VariablePtr> references;
      for (const CommandArgument& argument : command.arguments) {
        arguments.push_back(argument.value ? evaluate(*argument.value) : ScriptValue::ofString(argument.word));
        references.push_back(
            argument.value && argument.value->kind == ExpressionKind::Variable ? find(argument.value->name) : nullptr);
      }
      return callProcedure(*running, arguments, references);
    }
  }
  std::vector<Word> words;
  for (const CommandArgument& argument : command.arguments) {
    if (!argument.value) {
      words.push_back({argument.word, argument.quoted, false});
      continue;
    }
    const ScriptValue value = evaluate(*argument.value);
    for (const std::string& word : value.words()) words.push_back({word, true, value.isArray()});
  }
  return dispatch(command.name, command.text, words);
}

ScriptValue ScriptRunner::dispatch(const std::string& name, const std::string& text, const std::vector<Word>& words) {
  CommandCall call;
  call.name = name;
  call.text = text;
  call.words = words;
  CommandResult result;
  if (!m_interpreter.runCommand(call, result, *m_frames.back().options)) throw ScriptAbort{};
  return ScriptValue::fromResult(result);
}

ScriptValue ScriptRunner::callProcedure(const Procedure& procedure, const std::vector<ScriptValue>& arguments,
                                        const std::vector<VariablePtr>& references) {
  if (arguments.size() != procedure.parameters.size())
    fail("Wrong number of arguments on call to " + procedure.name + ": " + std::to_string(arguments.size()) +
         " given, " + std::to_string(procedure.parameters.size()) + " expected.");
  Frame frame;
  frame.procedure = true;
  frame.options = m_frames.back().options;
  frame.scopes.emplace_back();
  for (size_t i = 0; i < arguments.size(); ++i) {
    const Parameter& parameter = procedure.parameters[i];
    // Arrays are passed by reference: the procedure works on the caller's variable.
    if (references[i] && references[i]->kind == parameter.kind && references[i]->value.isArray()) {
      frame.scopes[0][parameter.name] = references[i];
      continue;
    }
    auto variable = std::make_shared<Variable>();
    variable->kind = parameter.kind;
    if (!arguments[i].convertTo(parameter.kind, variable->value))
      fail("Wrong argument type on call to " + procedure.name + ": $" + parameter.name + " takes " +
           kindName(parameter.kind) + ", not " + kindName(arguments[i].kind()) + ".");
    frame.scopes[0][parameter.name] = variable;
  }
  const Interpreter::Nesting nesting(m_interpreter);
  if (!nesting) fail("Procedure calls nested too deeply (in " + procedure.name + ").");
  FrameGuard guard(m_frames, std::move(frame));
  const Flow flow = executeBody(procedure.body);
  if (flow == Flow::Break || flow == Flow::Continue) fail("break and continue are only allowed in a loop");
  if (procedure.result == ValueKind::None) return ScriptValue();
  if (flow != Flow::Return) return ScriptValue::empty(procedure.result);
  ScriptValue result;
  if (!m_frames.back().returned.convertTo(procedure.result, result))
    fail(procedure.name + " returns " + kindName(procedure.result) + ", not " +
         kindName(m_frames.back().returned.kind()) + ".");
  return result;
}

}  // namespace zovhost
