#pragma once

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>

#include <initializer_list>
#include <memory>

#include "src/userInput.h"

// The argument half of the module's command kit. A command declares its flags
// once, as constants, builds its syntax from them and reads its arguments
// through them:
//
//   constexpr CommandFlag kCount{"-ns", "-numShards", MSyntax::kUnsigned};
//   MSyntax Cmd::newSyntax() { return commandSyntax({kCount}, kSelectedObjects); }
//   MStatus Cmd::doIt(const MArgList& list) {
//     const MStatus parsed = arguments.parse(syntax(), list);
//     return parsed ? redoIt() : parsed;
//   }
//   ... arguments.readInRange(kCount, {1.0, 64.0}, count) ...

/// One flag of a command: its short and long names and the kind of its one
/// argument (none by default).
struct CommandFlag {
  const char* shortName;
  const char* longName;
  MSyntax::MArgType argument = MSyntax::kNoArg;
};

/// The objects a command takes after its flags.
struct CommandObjects {
  /// kNone: the command takes no objects.
  MSyntax::MObjectFormat format = MSyntax::kNone;
  unsigned int least = 0;
  /// 0: any number.
  unsigned int most = 0;
  /// Whether the active selection stands in when none are given.
  bool selectionByDefault = false;
};

/// No objects.
constexpr CommandObjects kNoObjects{};
/// Any number of objects; the active selection when none are given.
constexpr CommandObjects kSelectedObjects{MSyntax::kSelectionList, 0, 0, true};
/// Objects given on the command line only, from `least` to `most` (0: any).
constexpr CommandObjects givenObjects(unsigned int least, unsigned int most) {
  return {MSyntax::kSelectionList, least, most, false};
}

/// A command's syntax: the flags in table order, the objects, and neither
/// query nor edit mode.
MSyntax commandSyntax(std::initializer_list<CommandFlag> flags, const CommandObjects& objects = kNoObjects);

/// The range of a numeric flag, as FlagRange has it, without the names.
struct FlagBounds {
  double low;
  double high;
  bool holdsBelow = false;
  bool holdsAbove = false;
};

/// A command's parsed arguments, kept for its redo, with the checks of
/// userInput.h under the command's name.
class CommandArguments {
 public:
  /// `command` names the command in the messages of the checks.
  explicit CommandArguments(const char* command) : commandName(command) {}

  /// Parses the arguments by the syntax; the host tells the user what it
  /// refuses. Arguments an earlier parse kept stay when this one fails.
  MStatus parse(const MSyntax& syntax, const MArgList& list);
  /// Whether arguments were parsed.
  bool parsed() const { return database != nullptr; }
  const char* command() const { return commandName; }

  bool isSet(const CommandFlag& flag) const;
  /// The flag's argument, into `value` when the flag is set (left alone
  /// otherwise); answers whether it is set.
  template <typename Value>
  bool read(const CommandFlag& flag, Value& value) const {
    if (!isSet(flag)) return false;
    database->getFlagArgument(flag.shortName, 0, value);
    return true;
  }
  /// The flag's number when set, taken as readFlagInRange takes it; false
  /// when it is refused.
  template <typename Number>
  bool readInRange(const CommandFlag& flag, const FlagBounds& bounds, Number& value) const {
    return !parsed() ||
           readFlagInRange(*database, flag.shortName,
                           {commandName, flag.longName, bounds.low, bounds.high, bounds.holdsBelow, bounds.holdsAbove},
                           value);
  }
  /// Whether a name a flag gives can name a node (checkNodeNameFlag).
  bool checkNodeName(const CommandFlag& flag, const MString& name) const;
  /// The command's objects (or the active selection, as its syntax says);
  /// empty before a parse.
  MSelectionList objects() const;

 private:
  const char* commandName;
  std::unique_ptr<MArgDatabase> database;
};
