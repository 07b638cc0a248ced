#include "interpreter/ScriptProcedures.h"

#include <cctype>
#include <vector>

namespace zovhost {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '[' || c == ']'; }

size_t skipBlanks(const std::string& text, size_t i) {
  while (i < text.size() && isBlank(text[i])) ++i;
  return i;
}

/// The word at i (letters, digits, '_', and '[]' of array types); i moves past it.
std::string wordAt(const std::string& text, size_t& i) {
  const size_t start = i;
  while (i < text.size() && isNameChar(text[i])) ++i;
  return text.substr(start, i - start);
}

/// Moves i past a quoted string starting at i (escapes included).
void skipString(const std::string& text, size_t& i) {
  for (++i; i < text.size() && text[i] != '"'; ++i)
    if (text[i] == '\\') ++i;
  if (i < text.size()) ++i;
}

/// Moves i past a "//" comment starting at i, up to the line end.
void skipComment(const std::string& text, size_t& i) {
  while (i < text.size() && text[i] != '\n') ++i;
}

bool startsComment(const std::string& text, size_t i) {
  return text[i] == '/' && i + 1 < text.size() && text[i + 1] == '/';
}

/// Reads a definition whose "proc" word ends at i; i moves past its closing brace.
bool readDefinition(const std::string& text, size_t& i, std::string& name, std::string& body, std::string& error) {
  std::vector<std::string> words;
  for (i = skipBlanks(text, i); i < text.size() && isNameChar(text[i]); i = skipBlanks(text, i))
    words.push_back(wordAt(text, i));
  if (words.empty() || words.size() > 2 || i >= text.size() || text[i] != '(') {
    error = "Syntax error: a procedure definition needs a name and ()";
    return false;
  }
  name = words.back();
  i = skipBlanks(text, i + 1);
  if (i >= text.size() || text[i] != ')') {
    error = "Procedure \"" + name + "\": procedures with parameters are not supported";
    return false;
  }
  i = skipBlanks(text, i + 1);
  if (i >= text.size() || text[i] != '{') {
    error = "Syntax error: procedure \"" + name + "\" has no body";
    return false;
  }
  const size_t start = ++i;
  for (int depth = 1; i < text.size();) {
    if (text[i] == '"') {
      skipString(text, i);
    } else if (startsComment(text, i)) {
      skipComment(text, i);
    } else {
      if (text[i] == '{') ++depth;
      if (text[i] == '}' && --depth == 0) {
        body = text.substr(start, i - start);
        ++i;
        return true;
      }
      ++i;
    }
  }
  error = "Syntax error: procedure \"" + name + "\" has no closing brace";
  return false;
}

}  // namespace

bool extractProcedures(const std::string& text, std::string& rest, std::map<std::string, std::string>& bodies,
                       std::string& error) {
  std::map<std::string, std::string> found;
  rest.clear();
  bool commandStart = true;
  for (size_t i = 0; i < text.size();) {
    if (commandStart && !isBlank(text[i]) && isNameChar(text[i])) {
      size_t after = i;
      std::string keyword = wordAt(text, after);
      if (keyword == "global") {
        after = skipBlanks(text, after);
        keyword = wordAt(text, after);
        if (keyword != "proc") keyword.clear();
      }
      if (keyword == "proc") {
        std::string name, body;
        if (!readDefinition(text, after, name, body, error)) return false;
        found[name] = body;
        i = after;
        continue;
      }
    }
    const size_t from = i;
    if (text[i] == '"') {
      skipString(text, i);
    } else if (startsComment(text, i)) {
      skipComment(text, i);
    } else {
      ++i;
    }
    rest.append(text, from, i - from);
    const char last = text[i - 1];
    if (!isBlank(last) || last == '\n') commandStart = last == ';' || last == '\n' || last == '}';
  }
  for (auto& entry : found) bodies[entry.first] = std::move(entry.second);
  return true;
}

}  // namespace zovhost
