#pragma once

#include <maya/MStatus.h>

#include "commands/UndoQueue.h"
#include "interpreter/Interpreter.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

/// A flag of a host command: short and long name (without the dash), the
/// number of words it takes, and the number it takes in query mode.
struct HostFlag {
  const char* shortName;
  const char* longName;
  int arity;
  int queryArity;
};

/// The words of a host command sorted into flags (by long name) and
/// positional words. An unknown flag or a missing flag value is an error.
class HostArgs {
 public:
  /// Parses; on failure shows the error and returns false.
  bool parse(const HostCall& call, const std::vector<HostFlag>& flags);

  bool has(const std::string& longName) const { return m_flags.count(longName) != 0; }
  /// The value words of a flag (empty when it was not given).
  const std::vector<std::string>& values(const std::string& longName) const;
  std::string value(const std::string& longName, const std::string& fallback = std::string()) const;
  bool query() const { return has("query"); }
  bool edit() const { return has("edit"); }
  const std::vector<std::string>& positional() const { return m_positional; }
  /// The flags in the order given.
  const std::vector<std::string>& order() const { return m_order; }

 private:
  std::map<std::string, std::vector<std::string>> m_flags;
  std::vector<std::string> m_positional;
  std::vector<std::string> m_order;
};

/// A host command that reads its words by a flag table, and the table.
struct FlaggedCommand {
  const char* name;
  MStatus (*function)(HostCall& call, const HostArgs& args);
  std::vector<HostFlag> flags;
};

/// Registers each command with the interpreter: a call parses its words by
/// the command's flags first (an unknown flag or a missing value shows the
/// error and fails the call) and runs the command with them.
void addFlaggedCommands(Interpreter& interpreter, std::initializer_list<FlaggedCommand> commands);

/// An undo entry for a host command made of undo and redo functions.
class FunctionEntry : public UndoEntry {
 public:
  /// `redoable`, when given, tells before each redo whether it can be done
  /// (saying why not when it cannot).
  FunctionEntry(std::string name, std::function<void()> undo, std::function<void()> redo,
                std::function<bool()> redoable = {})
      : m_name(std::move(name)), m_undo(std::move(undo)), m_redo(std::move(redo)), m_redoable(std::move(redoable)) {}
  void undo() override { m_undo(); }
  bool redo() override {
    if (m_redoable && !m_redoable()) return false;
    m_redo();
    return true;
  }
  std::string name() const override { return m_name; }

 private:
  std::string m_name;
  std::function<void()> m_undo;
  std::function<void()> m_redo;
  std::function<bool()> m_redoable;
};

/// Records an undo entry when the call's changes go on the undo queue;
/// `redo` says whether the steps waiting to be redone stay.
void recordUndo(const HostCall& call, std::unique_ptr<UndoEntry> entry,
                UndoQueue::Redo redo = UndoQueue::Redo::kCleared);

/// Formats a number as the host prints it.
std::string formatNumber(double value);

}  // namespace zovhost
