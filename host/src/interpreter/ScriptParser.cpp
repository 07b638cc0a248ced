// The parser of the host's script language: a recursive descent over the
// characters, since command arguments and expressions read words
// differently ("pCube1.vtx[0:3]" is one word in a command, "-3" a number).
//
// Statements end at ';', at a line end or before '}'. A name followed by '('
// starts a call; any other name at the start of a statement starts a command
// whose arguments run to the statement's end.
#include "interpreter/ScriptSyntax.h"

#include "core/Numbers.h"

#include <cctype>
#include <cstdlib>

namespace zovhost {

namespace {

/// Blocks, calls and parentheses nested deeper than this are refused, so
/// that no script can exhaust the parser's stack.
constexpr int kMaxParseNesting = 200;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

struct SyntaxError {
  std::string message;
  /// The script ended where a block or a statement's body was still to come.
  bool incomplete = false;
};

bool isNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

/// The kind a type word names; None for other words.
ValueKind typeNamed(const std::string& word) {
  if (word == "int") return ValueKind::Int;
  if (word == "float") return ValueKind::Float;
  if (word == "string") return ValueKind::String;
  return ValueKind::None;
}

bool isUnsupportedType(const std::string& word) { return word == "vector" || word == "matrix"; }

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n;");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n;") - first + 1);
}

ExpressionPtr makeExpression(ExpressionKind kind, std::string name = std::string()) {
  auto expression = std::make_unique<Expression>();
  expression->kind = kind;
  expression->name = std::move(name);
  return expression;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : m_text(text) {
    if (m_text.compare(0, sizeof kByteOrderMark - 1, kByteOrderMark) == 0) m_pos = sizeof kByteOrderMark - 1;
  }

  std::vector<StatementPtr> program() {
    std::vector<StatementPtr> statements;
    for (skipBlanks(true); !atEnd(); skipBlanks(true)) {
      if (peek() == '}') fail("unexpected '}'");
      statements.push_back(statement());
    }
    return statements;
  }

 private:
  /// Counts one level of nesting for the life of the guard.
  class Nesting {
   public:
    explicit Nesting(Parser& parser) : m_parser(parser) {
      if (++m_parser.m_depth > kMaxParseNesting) m_parser.fail("the script nests too deeply");
    }
    ~Nesting() { --m_parser.m_depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& m_parser;
  };

  [[noreturn]] void fail(const std::string& message, bool waitsForBody = false) const {
    size_t line = 1;
    for (size_t i = 0; i < m_pos && i < m_text.size(); ++i)
      if (m_text[i] == '\n') ++line;
    throw SyntaxError{"Syntax error: " + message + " (line " + std::to_string(line) + ")", waitsForBody && atEnd()};
  }

  bool atEnd() const { return m_pos >= m_text.size(); }
  char peek(size_t ahead = 0) const { return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : '\0'; }
  bool next(const char* text) const { return m_text.compare(m_pos, std::char_traits<char>::length(text), text) == 0; }

  void expect(char c) {
    skipBlanks(true);
    if (peek() != c) fail(std::string("'") + c + "' expected");
    ++m_pos;
  }

  /// Skips blanks and comments; line ends too when newlines is set.
  void skipBlanks(bool newlines) {
    while (!atEnd()) {
      const char c = peek();
      if (c == ' ' || c == '\t' || c == '\r' || (newlines && c == '\n')) {
        ++m_pos;
      } else if (next("//")) {
        while (!atEnd() && peek() != '\n') ++m_pos;
      } else if (next("/*")) {
        const size_t end = m_text.find("*/", m_pos + 2);
        if (end == std::string::npos) fail("unterminated comment");
        m_pos = end + 2;
      } else {
        return;
      }
    }
  }

  /// The name at the position, without moving.
  std::string peekName() const {
    size_t end = m_pos;
    if (end < m_text.size() && isNameStart(m_text[end]))
      while (end < m_text.size() && isNameChar(m_text[end])) ++end;
    return m_text.substr(m_pos, end - m_pos);
  }

  std::string name() {
    const std::string word = peekName();
    if (word.empty()) fail("a name expected");
    m_pos += word.size();
    return word;
  }

  bool keyword(const char* word) {
    if (peekName() != word) return false;
    m_pos += std::char_traits<char>::length(word);
    return true;
  }

  std::string variableName() {
    skipBlanks(true);
    if (peek() != '$') fail("a variable expected");
    ++m_pos;
    if (!isNameStart(peek())) fail("a variable name expected after '$'");
    return name();
  }

  /// Ends a simple statement: ';', a line end, or before '}' or the end.
  void endStatement() {
    skipBlanks(false);
    if (peek() == ';' || peek() == '\n') {
      ++m_pos;
      return;
    }
    if (atEnd() || peek() == '}') return;
    fail("unexpected '" + std::string(1, peek()) + "'");
  }

  // --- Statements ----------------------------------------------------------

  StatementPtr statement() {
    Nesting nesting(*this);
    skipBlanks(true);
    const size_t start = m_pos;
    StatementPtr result = statementBody();
    result->text = trimmed(m_text.substr(start, m_pos - start));
    return result;
  }

  StatementPtr statementBody() {
    auto statement = std::make_unique<Statement>();
    const char c = peek();
    if (c == ';') {
      ++m_pos;
      return statement;
    }
    if (c == '{') {
      ++m_pos;
      statement->kind = StatementKind::Block;
      statement->body = block();
      return statement;
    }
    const std::string word = peekName();
    if (word.empty()) return expressionStatement();
    if (word == "global") {
      m_pos += word.size();
      skipBlanks(true);
      if (keyword("proc")) return procedure(true);
      return declaration(true);
    }
    if (word == "proc") {
      m_pos += word.size();
      return procedure(false);
    }
    if (typeNamed(word) != ValueKind::None || isUnsupportedType(word)) return declaration(false);
    if (word == "if") return ifStatement();
    if (word == "while") return whileStatement();
    if (word == "for") return forStatement();
    if (word == "return" || word == "break" || word == "continue") {
      m_pos += word.size();
      statement->kind = word == "return"  ? StatementKind::Return
                        : word == "break" ? StatementKind::Break
                                          : StatementKind::Continue;
      skipBlanks(false);
      if (statement->kind == StatementKind::Return && !atEnd() && peek() != ';' && peek() != '\n' && peek() != '}')
        statement->expressions.push_back(expression());
      endStatement();
      return statement;
    }
    if (word == "else") fail("'else' without 'if'");
    // A name followed by '(' is a call when the statement ends after it or
    // goes on with an operator; else it is a command whose first argument is
    // parenthesised: setAttr ($node + ".ty") 5, setAttr ($node + ".tx") -5.
    if (startsCall(word)) {
      const size_t mark = m_pos;
      postfix();
      const bool call = atStatementEnd() || continuesExpression();
      m_pos = mark;
      if (call) return expressionStatement();
    }
    statement->kind = StatementKind::Command;
    statement->command = commandForm(false);
    endStatement();
    return statement;
  }

  /// Whether the name at the position is followed by '(' on its line.
  bool startsCall(const std::string& word) const {
    size_t after = m_pos + word.size();
    while (after < m_text.size() && (m_text[after] == ' ' || m_text[after] == '\t')) ++after;
    return after < m_text.size() && m_text[after] == '(';
  }

  /// Whether an operator follows that goes on with an expression; '-' right
  /// before a word or number starts a flag or a negative argument instead.
  bool continuesExpression() const {
    const char c = peek();
    if (c == '-') return peek(1) == ' ' || peek(1) == '\t' || peek(1) == '=' || peek(1) == '-';
    return std::string("+*/%<>=!&|?").find(c) != std::string::npos;
  }

  /// Whether a simple statement may end at the position (after blanks), as
  /// endStatement takes it; a back-quoted command ends at its quote too.
  bool atStatementEnd(bool backQuoted = false) {
    skipBlanks(false);
    const char c = peek();
    return atEnd() || c == ';' || c == '\n' || c == '}' || (backQuoted && c == '`');
  }

  StatementPtr expressionStatement() {
    auto statement = std::make_unique<Statement>();
    statement->kind = StatementKind::Expression;
    statement->expressions.push_back(expression());
    endStatement();
    return statement;
  }

  /// The statements of a block whose '{' was read, up to and past its '}'.
  std::vector<StatementPtr> block() {
    std::vector<StatementPtr> statements;
    for (skipBlanks(true); peek() != '}'; skipBlanks(true)) {
      if (atEnd()) fail("'}' missing at the end of the script", true);
      statements.push_back(statement());
    }
    ++m_pos;
    return statements;
  }

  ValueKind typeWord(bool allowNone) {
    skipBlanks(true);
    const std::string word = peekName();
    if (isUnsupportedType(word)) fail("the type " + word + " is not supported by this host");
    const ValueKind kind = typeNamed(word);
    if (kind == ValueKind::None) {
      if (allowNone) return kind;
      fail("a type (int, float or string) expected");
    }
    m_pos += word.size();
    return kind;
  }

  /// "[]" after a type or a name, when it is there.
  bool arraySuffix() {
    skipBlanks(true);
    if (peek() != '[') return false;
    ++m_pos;
    skipBlanks(true);
    if (peek() != ']') expression();  // a size given in a declaration is only a hint
    expect(']');
    return true;
  }

  StatementPtr declaration(bool global) {
    auto statement = std::make_unique<Statement>();
    statement->kind = StatementKind::Declaration;
    statement->global = global;
    statement->type = typeWord(false);
    do {
      Declarator declarator;
      declarator.name = variableName();
      declarator.array = arraySuffix();
      skipBlanks(true);
      if (peek() == '=' && peek(1) != '=') {
        ++m_pos;
        declarator.initial = assignment();
      }
      statement->declarators.push_back(std::move(declarator));
      skipBlanks(true);
    } while (peek() == ',' && ++m_pos);
    endStatement();
    return statement;
  }

  StatementPtr procedure(bool global) {
    auto procedure = std::make_shared<Procedure>();
    procedure->global = global;
    skipBlanks(true);
    const size_t mark = m_pos;
    const ValueKind result = typeWord(true);
    if (result != ValueKind::None) {
      procedure->result = arraySuffix() ? arrayOf(result) : result;
    } else {
      m_pos = mark;
    }
    skipBlanks(true);
    procedure->name = name();
    expect('(');
    skipBlanks(true);
    if (peek() != ')') {
      do {
        Parameter parameter;
        const ValueKind kind = typeWord(false);
        parameter.name = variableName();
        parameter.kind = arraySuffix() ? arrayOf(kind) : kind;
        procedure->parameters.push_back(parameter);
        skipBlanks(true);
      } while (peek() == ',' && ++m_pos);
    }
    expect(')');
    skipBlanks(true);
    if (peek() != '{') fail("procedure \"" + procedure->name + "\" has no body", true);
    ++m_pos;
    procedure->body = block();
    auto statement = std::make_unique<Statement>();
    statement->kind = StatementKind::Procedure;
    statement->procedure = std::move(procedure);
    return statement;
  }

  StatementPtr ifStatement() {
    keyword("if");
    auto statement = std::make_unique<Statement>();
    statement->kind = StatementKind::If;
    expect('(');
    statement->expressions.push_back(expression());
    expect(')');
    statement->body.push_back(innerStatement());
    const size_t mark = m_pos;
    skipBlanks(true);
    if (keyword("else"))
      statement->body.push_back(innerStatement());
    else
      m_pos = mark;
    return statement;
  }

  StatementPtr whileStatement() {
    keyword("while");
    auto statement = std::make_unique<Statement>();
    statement->kind = StatementKind::While;
    expect('(');
    statement->expressions.push_back(expression());
    expect(')');
    statement->body.push_back(innerStatement());
    return statement;
  }

  StatementPtr forStatement() {
    keyword("for");
    auto statement = std::make_unique<Statement>();
    expect('(');
    skipBlanks(true);
    const size_t mark = m_pos;
    if (peek() == '$') {
      const std::string variable = variableName();
      skipBlanks(true);
      if (keyword("in")) {
        statement->kind = StatementKind::ForIn;
        statement->variable = variable;
        statement->expressions.push_back(expression());
        expect(')');
        statement->body.push_back(innerStatement());
        return statement;
      }
      m_pos = mark;
    }
    statement->kind = StatementKind::For;
    for (const char end : {';', ';', ')'}) {
      skipBlanks(true);
      statement->expressions.push_back(peek() == end ? nullptr : expression());
      expect(end);
    }
    statement->body.push_back(innerStatement());
    return statement;
  }

  /// A statement inside another (the body of an if or a loop).
  StatementPtr innerStatement() {
    skipBlanks(true);
    if (atEnd()) fail("a statement expected at the end of the script", true);
    return statement();
  }

  /// A command in command form; in back quotes it ends at the closing quote.
  std::unique_ptr<CommandForm> commandForm(bool backQuoted) {
    auto command = std::make_unique<CommandForm>();
    const size_t start = m_pos;
    command->name = name();
    for (;;) {
      skipBlanks(false);
      const char c = peek();
      if (atEnd() || c == ';' || c == '\n' || c == '}' || (backQuoted && c == '`')) break;
      CommandArgument argument;
      if (c == '"') {
        argument.word = stringLiteral();
        argument.quoted = true;
      } else if (c == '$') {
        argument.value = postfix();
      } else if (c == '(' || c == '`' || c == '{') {
        argument.value = primary();
      } else {
        const size_t from = m_pos;
        while (!atEnd() && !std::isspace(static_cast<unsigned char>(peek())) && peek() != ';' && peek() != '`' &&
               peek() != '}')
          ++m_pos;
        argument.word = m_text.substr(from, m_pos - from);
      }
      command->arguments.push_back(std::move(argument));
    }
    command->text = trimmed(m_text.substr(start, m_pos - start));
    return command;
  }

  // --- Expressions ---------------------------------------------------------

  ExpressionPtr expression() {
    Nesting nesting(*this);
    return assignment();
  }

  ExpressionPtr assignment() {
    ExpressionPtr target = choice();
    skipBlanks(true);
    for (const char* op : {"+=", "-=", "*=", "/=", "="}) {
      if (!next(op) || (op[0] == '=' && peek(1) == '=')) continue;
      if (target->kind != ExpressionKind::Variable && target->kind != ExpressionKind::Element)
        fail("only a variable or an array element can be assigned to");
      m_pos += std::char_traits<char>::length(op);
      auto assign = makeExpression(ExpressionKind::Assign, op);
      assign->operands.push_back(std::move(target));
      assign->operands.push_back(expression());
      return assign;
    }
    return target;
  }

  ExpressionPtr choice() {
    ExpressionPtr condition = binary(0);
    skipBlanks(true);
    if (peek() != '?') return condition;
    ++m_pos;
    auto result = makeExpression(ExpressionKind::Choice);
    result->operands.push_back(std::move(condition));
    result->operands.push_back(expression());
    expect(':');
    result->operands.push_back(expression());
    return result;
  }

  /// The binary operators by precedence, loosest first.
  ExpressionPtr binary(size_t level) {
    static const std::vector<std::vector<const char*>> levels = {
        {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/", "%"}};
    if (level == levels.size()) return unary();
    ExpressionPtr left = binary(level + 1);
    for (;;) {
      skipBlanks(true);
      const char* found = nullptr;
      for (const char* op : levels[level])
        if (next(op) && !(std::char_traits<char>::length(op) == 1 && (peek(1) == '=' || peek(1) == peek()))) {
          found = op;
          break;
        }
      if (!found) return left;
      m_pos += std::char_traits<char>::length(found);
      auto combined = makeExpression(ExpressionKind::Binary, found);
      combined->operands.push_back(std::move(left));
      combined->operands.push_back(binary(level + 1));
      left = std::move(combined);
    }
  }

  ExpressionPtr unary() {
    Nesting nesting(*this);
    skipBlanks(true);
    if (next("++") || next("--")) {
      auto step = makeExpression(ExpressionKind::Step, m_text.substr(m_pos, 2));
      m_pos += 2;
      step->prefix = true;
      step->operands.push_back(postfix());
      return step;
    }
    if (peek() == '-' || peek() == '!' || peek() == '+') {
      const char op = peek();
      ++m_pos;
      ExpressionPtr operand = unary();
      if (op == '+') return operand;
      auto result = makeExpression(ExpressionKind::Unary, std::string(1, op));
      result->operands.push_back(std::move(operand));
      return result;
    }
    return postfix();
  }

  ExpressionPtr postfix() {
    ExpressionPtr value = primary();
    for (;;) {
      if (peek() == '[') {
        ++m_pos;
        auto element = makeExpression(ExpressionKind::Element);
        element->operands.push_back(std::move(value));
        element->operands.push_back(expression());
        expect(']');
        value = std::move(element);
        continue;
      }
      if ((next("++") || next("--")) &&
          (value->kind == ExpressionKind::Variable || value->kind == ExpressionKind::Element)) {
        auto step = makeExpression(ExpressionKind::Step, m_text.substr(m_pos, 2));
        m_pos += 2;
        step->operands.push_back(std::move(value));
        return step;
      }
      return value;
    }
  }

  ExpressionPtr primary() {
    skipBlanks(true);
    const size_t start = m_pos;
    const char c = peek();
    if (atEnd()) fail("a value expected at the end of the script");
    if (c == '"') {
      auto literal = makeExpression(ExpressionKind::Literal);
      literal->literal = ScriptValue::ofString(stringLiteral());
      return literal;
    }
    if (isDigit(c) || (c == '.' && isDigit(peek(1)))) return number();
    if (c == '$') {
      ++m_pos;
      if (!isNameStart(peek())) fail("a variable name expected after '$'");
      return makeExpression(ExpressionKind::Variable, name());
    }
    if (c == '(') {
      ++m_pos;
      ExpressionPtr inner = expression();
      expect(')');
      return inner;
    }
    if (c == '{') {
      ++m_pos;
      auto list = makeExpression(ExpressionKind::List);
      skipBlanks(true);
      if (peek() != '}') {
        do list->operands.push_back(expression());
        while (skipBlanks(true), peek() == ',' && ++m_pos);
      }
      expect('}');
      return list;
    }
    if (c == '`') {
      ++m_pos;
      skipBlanks(true);
      ExpressionPtr result;
      const std::string word = peekName();
      if (!word.empty() && startsCall(word)) {
        const size_t mark = m_pos;
        result = postfix();
        if (!atStatementEnd(true)) {
          m_pos = mark;
          result = nullptr;
        }
      }
      if (!result) {
        result = makeExpression(ExpressionKind::Command);
        result->command = commandForm(true);
      }
      skipBlanks(true);
      if (peek() != '`') fail("closing '`' missing");
      ++m_pos;
      return result;
    }
    if (isNameStart(c)) {
      const std::string word = name();
      for (const auto& [text, value] :
           {std::pair<const char*, int>{"true", 1}, {"false", 0}, {"on", 1}, {"off", 0}, {"yes", 1}, {"no", 0}})
        if (word == text) {
          auto literal = makeExpression(ExpressionKind::Literal);
          literal->literal = ScriptValue::ofInt(value);
          return literal;
        }
      skipBlanks(false);
      if (peek() != '(') fail("'" + word + "' is not a value: a call needs '(' and a command back quotes");
      ++m_pos;
      auto call = makeExpression(ExpressionKind::Call, word);
      skipBlanks(true);
      if (peek() != ')') {
        do call->operands.push_back(expression());
        while (skipBlanks(true), peek() == ',' && ++m_pos);
      }
      expect(')');
      call->text = m_text.substr(start, m_pos - start);
      return call;
    }
    fail("unexpected '" + std::string(1, c) + "'");
  }

  ExpressionPtr number() {
    const size_t start = m_pos;
    bool fractional = false;
    if (next("0x") || next("0X")) {
      m_pos += 2;
      while (std::isxdigit(static_cast<unsigned char>(peek()))) ++m_pos;
    } else {
      while (isDigit(peek())) ++m_pos;
      if (peek() == '.') {
        fractional = true;
        ++m_pos;
        while (isDigit(peek())) ++m_pos;
      }
      if ((peek() == 'e' || peek() == 'E') &&
          (isDigit(peek(1)) || ((peek(1) == '-' || peek(1) == '+') && isDigit(peek(2))))) {
        fractional = true;
        m_pos += 2;
        while (isDigit(peek())) ++m_pos;
      }
    }
    if (isNameChar(peek())) fail("bad number '" + m_text.substr(start, m_pos - start + 1) + "'");
    const std::string text = m_text.substr(start, m_pos - start);
    auto literal = makeExpression(ExpressionKind::Literal);
    if (fractional)
      literal->literal = ScriptValue::ofFloat(std::strtod(text.c_str(), nullptr));
    else
      literal->literal =
          ScriptValue::ofInt(toInteger<int>(static_cast<double>(std::strtoull(text.c_str(), nullptr, 0))));
    return literal;
  }

  /// A quoted string with its escapes; it must close on its own line.
  std::string stringLiteral() {
    std::string text;
    for (++m_pos; !atEnd(); ++m_pos) {
      const char c = peek();
      if (c == '"') {
        ++m_pos;
        return text;
      }
      if (c == '\n') break;
      if (c == '\\' && m_pos + 1 < m_text.size()) {
        const char escaped = m_text[++m_pos];
        text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
        continue;
      }
      text += c;
    }
    fail("unterminated string");
  }

  const std::string& m_text;
  size_t m_pos = 0;
  int m_depth = 0;
};

}  // namespace

bool parseScript(const std::string& text, std::vector<StatementPtr>& statements, std::string& error) {
  try {
    statements = Parser(text).program();
    return true;
  } catch (const SyntaxError& failure) {
    error = failure.message;
    return false;
  }
}

bool scriptNeedsMore(const std::string& text) {
  try {
    Parser(text).program();
    return false;
  } catch (const SyntaxError& failure) {
    return failure.incomplete;
  }
}

}  // namespace zovhost
