#include "core/Logs.h"

#include <iostream>

namespace zovhost {

std::string formatMessage(MessageKind kind, const std::string& text) {
  switch (kind) {
    case MessageKind::Info:
      return text + "\n";
    case MessageKind::Warning:
      return "// Warning: " + text + " //\n";
    case MessageKind::Error:
      return "// Error: " + text + " //\n";
    case MessageKind::Result:
      return "// Result: " + text + " //\n";
    case MessageKind::Print:
      return text;
  }
  return text;
}

void Logs::message(MessageKind kind, const std::string& text) {
  messages.push_back({kind, text});
  if (!echo) return;
  std::ostream& out = output ? *output : std::cout;
  out << formatMessage(kind, text);
  out.flush();
}

void Logs::command(const std::string& line, bool succeeded, const std::string& origin) {
  commands.push_back({line, succeeded, origin});
}

void displayInfo(const std::string& text) { messageLog().message(MessageKind::Info, text); }
void displayWarning(const std::string& text) { messageLog().message(MessageKind::Warning, text); }
void displayError(const std::string& text) { messageLog().message(MessageKind::Error, text); }

void Logs::clear() {
  messages.clear();
  commands.clear();
}

}  // namespace zovhost
