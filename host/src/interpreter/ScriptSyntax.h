#pragma once

#include "interpreter/ScriptValue.h"

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

// The syntax tree of the host's script language, as ScriptParser builds it.

struct Expression;
struct Statement;
using ExpressionPtr = std::unique_ptr<Expression>;
using StatementPtr = std::unique_ptr<Statement>;

/// One argument of a command in command form: a word as written (a quoted
/// word is never a flag), or an expression whose value gives the words.
struct CommandArgument {
  std::string word;
  bool quoted = false;
  ExpressionPtr value;
};

/// A command in command form ("name -flag word $variable (expression)").
struct CommandForm {
  std::string name;
  std::vector<CommandArgument> arguments;
  /// The command as written, for messages and fixed answers.
  std::string text;
};

enum class ExpressionKind {
  Literal,   // literal
  Variable,  // name
  Element,   // operands: array, index
  Unary,     // name: "-", "!"; operands: value
  Binary,    // name: the operator; operands: left, right
  Assign,    // name: "=", "+=", "-=", "*=", "/="; operands: target, value
  Step,      // name: "++" or "--"; prefix; operands: target
  Call,      // name; operands: arguments
  Command,   // command: a command run for its result (back quotes)
  List,      // operands: the elements of an array value
  Choice,    // operands: condition, then, else
};

struct Expression {
  ExpressionKind kind = ExpressionKind::Literal;
  ScriptValue literal;
  std::string name;
  std::vector<ExpressionPtr> operands;
  bool prefix = false;
  std::unique_ptr<CommandForm> command;
  /// A call as written, for messages and fixed answers.
  std::string text;
};

/// "$name", "$name[]" or "$name = value" in a declaration.
struct Declarator {
  std::string name;
  bool array = false;
  ExpressionPtr initial;
};

struct Parameter {
  ValueKind kind = ValueKind::None;
  std::string name;
};

/// A procedure: its result kind (None for none), parameters and body.
struct Procedure {
  std::string name;
  bool global = false;
  ValueKind result = ValueKind::None;
  std::vector<Parameter> parameters;
  std::vector<StatementPtr> body;
};

enum class StatementKind {
  Empty,
  Block,        // body
  Command,      // command
  Expression,   // expressions: the expression
  Declaration,  // global, declarators of type (the scalar kind)
  If,           // expressions: condition; body: then and, when given, else
  While,        // expressions: condition; body: the loop
  For,          // expressions: start, condition, step (each may be null); body: the loop
  ForIn,        // variable; expressions: the array; body: the loop
  Return,       // expressions: the value, or none
  Break,
  Continue,
  Procedure,  // procedure
};

struct Statement {
  StatementKind kind = StatementKind::Empty;
  /// The statement as written (top-level statements are logged with it).
  std::string text;
  std::vector<StatementPtr> body;
  std::unique_ptr<CommandForm> command;
  std::vector<ExpressionPtr> expressions;
  bool global = false;
  ValueKind type = ValueKind::None;
  std::vector<Declarator> declarators;
  std::string variable;
  std::shared_ptr<const Procedure> procedure;
};

/// Parses a script: false with the message in error on a syntax error. A
/// UTF-8 byte-order mark at the start is skipped.
bool parseScript(const std::string& text, std::vector<StatementPtr>& statements, std::string& error);

/// True when a script's text ends inside an open block or before the body of
/// a procedure, if, else or loop, so that the lines that follow belong to it.
bool scriptNeedsMore(const std::string& text);

}  // namespace zovhost
