#include "interpreter/HostArgs.h"

#include "commands/ArgumentText.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"

#include <cstdio>

namespace zovhost {

bool HostArgs::parse(const HostCall& call, const std::vector<HostFlag>& flags) {
  const std::vector<Word>& words = call.call.words;
  bool queryMode = false;
  for (const Word& word : words)
    if (!word.quoted && (word.text == "-q" || word.text == "-query")) queryMode = true;
  for (size_t i = 0; i < words.size(); ++i) {
    const Word& word = words[i];
    const bool flagLike = !word.quoted && word.text.size() > 1 && word.text[0] == '-' && !isNumber(word.text);
    if (!flagLike) {
      m_positional.push_back(word.text);
      continue;
    }
    const std::string name = word.text.substr(1);
    const HostFlag* found = nullptr;
    for (const HostFlag& flag : flags)
      if (name == flag.shortName || name == flag.longName) found = &flag;
    if (!found) {
      displayError(call.call.name + ": Invalid flag '" + word.text + "'");
      return false;
    }
    std::vector<std::string>& values = m_flags[found->longName];
    m_order.push_back(found->longName);
    const int arity = queryMode ? found->queryArity : found->arity;
    for (int k = 0; k < arity; ++k) {
      if (i + 1 >= words.size()) {
        displayError(call.call.name + ": Flag '" + word.text + "' needs a value");
        return false;
      }
      values.push_back(words[++i].text);
    }
  }
  return true;
}

const std::vector<std::string>& HostArgs::values(const std::string& longName) const {
  static const std::vector<std::string> kNone;
  const auto found = m_flags.find(longName);
  return found == m_flags.end() ? kNone : found->second;
}

std::string HostArgs::value(const std::string& longName, const std::string& fallback) const {
  const std::vector<std::string>& all = values(longName);
  return all.empty() ? fallback : all.front();
}

void recordUndo(const HostCall& call, std::unique_ptr<UndoEntry> entry, UndoQueue::Redo redo) {
  if (call.undoEnabled) undoQueue().push(std::move(entry), redo);
}

std::string formatNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void addFlaggedCommands(Interpreter& interpreter, std::initializer_list<FlaggedCommand> commands) {
  for (const FlaggedCommand& command : commands)
    interpreter.addHostCommand(command.name, [function = command.function, flags = command.flags](HostCall& call) {
      HostArgs args;
      if (!args.parse(call, flags)) return MStatus(MS::kFailure);
      return function(call, args);
    });
}

}  // namespace zovhost
