#pragma once

#include <string>
#include <vector>

namespace zovhost {

/// The result of a command: nothing, a scalar or an array of ints, doubles or
/// strings.
struct CommandResult {
  enum class Kind { None, Int, Double, String, IntArray, DoubleArray, StringArray };
  Kind kind = Kind::None;
  std::vector<int> ints;
  std::vector<double> doubles;
  std::vector<std::string> strings;

  void clear() { *this = CommandResult(); }
  void setInt(int value) {
    clear();
    kind = Kind::Int;
    ints.push_back(value);
  }
  void setDouble(double value) {
    clear();
    kind = Kind::Double;
    doubles.push_back(value);
  }
  void setString(const std::string& value) {
    clear();
    kind = Kind::String;
    strings.push_back(value);
  }
  void setStrings(std::vector<std::string> values) {
    clear();
    kind = Kind::StringArray;
    strings = std::move(values);
  }
  void setInts(std::vector<int> values) {
    clear();
    kind = Kind::IntArray;
    ints = std::move(values);
  }
  void setDoubles(std::vector<double> values) {
    clear();
    kind = Kind::DoubleArray;
    doubles = std::move(values);
  }
  /// Appends to an array result of the element's kind (a scalar becomes an array).
  void appendInt(int value);
  void appendDouble(double value);
  void appendString(const std::string& value);

  /// Conversions used by MGlobal::executeCommand; false when the result
  /// cannot be read as the kind asked for.
  bool asInt(int& value) const;
  bool asDouble(double& value) const;
  bool asString(std::string& value) const;
  bool asStrings(std::vector<std::string>& values) const;
  bool asInts(std::vector<int>& values) const;
  bool asDoubles(std::vector<double>& values) const;
  /// The result as the script editor prints it.
  std::string text() const;
};

/// The results of the plug-in commands now running, innermost last
/// (MPxCommand::setResult writes to the last one); owned by the host's
/// composition root.
std::vector<CommandResult*>& commandResults();

}  // namespace zovhost
