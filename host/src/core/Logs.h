#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zovhost {

enum class MessageKind { Info, Warning, Error, Print, Result };

/// A message shown to the user, as the script editor would show it.
struct LoggedMessage {
  MessageKind kind;
  std::string text;
};

/// A host command line that was run, with its outcome.
struct LoggedCommand {
  std::string line;
  bool succeeded = false;
  /// Where it came from: "command", "idle", "script".
  std::string origin;
};

/// The message log and the command log, and the script-editor output.
class Logs {
 public:
  /// Logs a message and prints it (when echo is on) as the script editor
  /// shows it: warnings and errors as "// Warning: text //", results as
  /// "// Result: text //", information on a line of its own, prints as given.
  void message(MessageKind kind, const std::string& text);
  void command(const std::string& line, bool succeeded, const std::string& origin);
  void clear();

  std::vector<LoggedMessage> messages;
  std::vector<LoggedCommand> commands;
  bool echo = true;
  /// Where the script editor prints (standard output unless changed).
  std::ostream* output = nullptr;
};

/// The text of a message as printed.
std::string formatMessage(MessageKind kind, const std::string& text);

/// The host's logs, which the API's messages go to; owned by the host's
/// composition root.
Logs& messageLog();

/// Shows a message to the user through the host's log and script editor.
void displayInfo(const std::string& text);
void displayWarning(const std::string& text);
void displayError(const std::string& text);

}  // namespace zovhost
