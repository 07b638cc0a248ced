#pragma once

#include <maya/MArgDatabase.h>
#include <maya/MString.h>

#include <limits>
#include <string>

// What the module's commands take from users and hand on to the host: numeric
// flags checked against their ranges before anything changes, names checked
// before they name nodes, and text quoted before it goes into a host command
// line.

/// A text as one string argument of a host command line: in double quotes,
/// with quotes, backslashes, line ends and tabs escaped, so that the line
/// reads it back as it is whatever it holds (";", quotes, spaces, line ends).
std::string quotedArgument(const std::string& text);
MString quotedArgument(const MString& text);

/// Whether a text can name a node: a letter or underscore, then letters,
/// digits and underscores.
bool isValidNodeName(const MString& name);

/// A name a flag gives for a node to be made or found: true when it can name
/// a node; otherwise prints "<command>: <flag> "<name>" is not a valid node
/// name: ..." and answers false.
bool checkNodeNameFlag(const char* command, const char* flag, const MString& name);

/// The ends of a range that has none on that side.
constexpr double kNoLowerBound = -std::numeric_limits<double>::max();
constexpr double kNoUpperBound = std::numeric_limits<double>::max();

/// The range of a numeric flag: the command and the flag's long name, the
/// least and greatest value it takes, and on which side a value outside is
/// held at the end rather than refused (a count held at its most, say).
struct FlagRange {
  const char* command;
  const char* flag;
  double low;
  double high;
  bool holdsBelow = false;
  bool holdsAbove = false;
};

/// True when the value lies in the flag's range. A value outside on a side
/// the flag holds is moved to that end with the warning "<command>: <flag>
/// takes values from <low> to <high>; <value> is taken as <end>" (true);
/// on another side it gets the error "<command>: <flag> takes values from
/// <low> to <high>, not <value>" (false). Commands check their flags before
/// they change anything.
bool takeFlagValue(const FlagRange& range, double& value);

/// The value of a numeric flag when it is set (left alone otherwise), taken
/// as takeFlagValue takes it; false when it is refused.
template <typename Number>
bool readFlagInRange(const MArgDatabase& arguments, const char* shortName, const FlagRange& range, Number& value) {
  if (!arguments.isFlagSet(shortName)) return true;
  Number given = value;
  arguments.getFlagArgument(shortName, 0, given);
  double taken = static_cast<double>(given);
  if (!takeFlagValue(range, taken)) return false;
  value = static_cast<Number>(taken);
  return true;
}
