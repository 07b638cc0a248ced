#pragma once

#include <string>
#include <vector>

namespace zovhost {

struct CommandResult;

/// The value kinds of the script language: none (a procedure without a
/// result), the scalars int, float and string, and arrays of each.
enum class ValueKind { None, Int, Float, String, IntArray, FloatArray, StringArray };

/// The array kind of a scalar kind and the scalar kind of an array kind.
ValueKind arrayOf(ValueKind scalar);
ValueKind elementOf(ValueKind array);
/// The kind as a script names it ("int", "string[]", ...).
std::string kindName(ValueKind kind);

/// A value of the script language. Conversions between the scalars follow the
/// language: a string reads as the number it starts with (0 when none), a
/// float becomes an int by dropping its fraction (held within the int range),
/// numbers become their shortest exact text.
class ScriptValue {
 public:
  ScriptValue() = default;
  static ScriptValue ofInt(int value);
  static ScriptValue ofFloat(double value);
  static ScriptValue ofString(std::string value);
  /// An empty value of a kind (0, "" or no elements).
  static ScriptValue empty(ValueKind kind);
  /// A command's result: none, a scalar or an array.
  static ScriptValue fromResult(const CommandResult& result);

  ValueKind kind() const { return m_kind; }
  bool isArray() const;
  bool isNumber() const { return m_kind == ValueKind::Int || m_kind == ValueKind::Float; }

  int asInt() const;
  double asFloat() const;
  std::string asString() const;
  /// Whether a condition holds: a non-zero number, a non-empty string or array.
  bool truth() const;

  /// Array access; size() of a scalar string is its length.
  size_t size() const;
  ScriptValue element(size_t index) const;
  /// Sets an element, growing the array with empty elements to reach it.
  void setElement(size_t index, const ScriptValue& value);
  void clear();

  /// The value as a value of another kind; false (value untouched) when a
  /// scalar and an array would have to be mixed. A scalar command result read
  /// into an array becomes its one element.
  bool convertTo(ValueKind kind, ScriptValue& converted) const;
  /// The words a command receives for the value: one per array element.
  std::vector<std::string> words() const;
  void toResult(CommandResult& result) const;

 private:
  ValueKind m_kind = ValueKind::None;
  int m_int = 0;
  double m_float = 0.0;
  std::string m_string;
  std::vector<int> m_ints;
  std::vector<double> m_floats;
  std::vector<std::string> m_strings;
};

/// The shortest text that reads back as the same number, as the host writes
/// numbers: without an exponent from 1e-4 to below 1e17 (20, 1500, 0.25),
/// with one beyond (1e-05, 1e+20).
std::string shortestNumber(double value);

}  // namespace zovhost
