#include "src/userInput.h"

#include <maya/MGlobal.h>

#include <cctype>
#include <cstdio>

namespace {

/// A number as a message shows it: whole numbers without a fraction.
std::string flagNumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string rangeText(const FlagRange& range) {
  const std::string head = std::string(range.command) + ": " + range.flag + " takes values ";
  if (range.low == kNoLowerBound) return head + "up to " + flagNumberText(range.high);
  if (range.high == kNoUpperBound) return head + "from " + flagNumberText(range.low) + " up";
  return head + "from " + flagNumberText(range.low) + " to " + flagNumberText(range.high);
}

}  // namespace

std::string quotedArgument(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

MString quotedArgument(const MString& text) { return MString(quotedArgument(std::string(text.asChar())).c_str()); }

bool isValidNodeName(const MString& name) {
  const std::string text = name.asChar();
  if (text.empty()) return false;
  const auto letter = static_cast<unsigned char>(text[0]);
  if (!std::isalpha(letter) && text[0] != '_') return false;
  for (const char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

bool checkNodeNameFlag(const char* command, const char* flag, const MString& name) {
  if (isValidNodeName(name)) return true;
  MGlobal::displayError(MString(command) + ": " + flag + " " + quotedArgument(name) +
                        " is not a valid node name: a name starts with a letter or '_' and holds only letters, "
                        "digits and '_'");
  return false;
}

bool takeFlagValue(const FlagRange& range, double& value) {
  if (value >= range.low && value <= range.high) return true;
  const bool below = value < range.low;
  if (below ? range.holdsBelow : range.holdsAbove) {
    const double end = below ? range.low : range.high;
    MGlobal::displayWarning(
        (rangeText(range) + "; " + flagNumberText(value) + " is taken as " + flagNumberText(end)).c_str());
    value = end;
    return true;
  }
  MGlobal::displayError((rangeText(range) + ", not " + flagNumberText(value)).c_str());
  return false;
}
