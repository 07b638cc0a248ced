#include "interpreter/ScriptValue.h"

#include "commands/CommandResult.h"
#include "core/Numbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zovhost {

namespace {

/// The number a text starts with (blanks first are skipped): decimal digits
/// with an optional sign, fraction and exponent; 0 when there is none.
double leadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  const size_t start = i;
  const auto digits = [&]() {
    const size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i > from;
  };
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  bool any = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    any = digits() || any;
  }
  if (!any) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const size_t mark = i++;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (!digits()) i = mark;
  }
  return std::strtod(text.substr(start, i - start).c_str(), nullptr);
}

}  // namespace

ValueKind arrayOf(ValueKind scalar) {
  switch (scalar) {
    case ValueKind::Int:
      return ValueKind::IntArray;
    case ValueKind::Float:
      return ValueKind::FloatArray;
    case ValueKind::String:
      return ValueKind::StringArray;
    default:
      return scalar;
  }
}

ValueKind elementOf(ValueKind array) {
  switch (array) {
    case ValueKind::IntArray:
      return ValueKind::Int;
    case ValueKind::FloatArray:
      return ValueKind::Float;
    case ValueKind::StringArray:
      return ValueKind::String;
    default:
      return array;
  }
}

std::string kindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::Int:
      return "int";
    case ValueKind::Float:
      return "float";
    case ValueKind::String:
      return "string";
    case ValueKind::IntArray:
      return "int[]";
    case ValueKind::FloatArray:
      return "float[]";
    case ValueKind::StringArray:
      return "string[]";
    default:
      return "nothing";
  }
}

std::string shortestNumber(double value) {
  // The fewest significant digits that read back as the value...
  constexpr int kMostDigits = 17;
  char text[64];
  int digits = 1;
  for (; digits <= kMostDigits; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  if (!std::isfinite(value) || digits > kMostDigits) return text;
  // ...written without an exponent where the host writes none: from 1e-4 up
  // to 17 digits before the point (20, 1500, 0.25; but 1e-05).
  std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
  const int exponent = std::atoi(std::strchr(text, 'e') + 1);
  if (exponent < -4 || exponent >= kMostDigits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
  }
  std::snprintf(text, sizeof text, "%.*f", std::max(0, digits - 1 - exponent), value);
  return text;
}

ScriptValue ScriptValue::ofInt(int value) {
  ScriptValue v;
  v.m_kind = ValueKind::Int;
  v.m_int = value;
  return v;
}

ScriptValue ScriptValue::ofFloat(double value) {
  ScriptValue v;
  v.m_kind = ValueKind::Float;
  v.m_float = value;
  return v;
}

ScriptValue ScriptValue::ofString(std::string value) {
  ScriptValue v;
  v.m_kind = ValueKind::String;
  v.m_string = std::move(value);
  return v;
}

ScriptValue ScriptValue::empty(ValueKind kind) {
  ScriptValue v;
  v.m_kind = kind;
  return v;
}

ScriptValue ScriptValue::fromResult(const CommandResult& result) {
  ScriptValue v;
  switch (result.kind) {
    case CommandResult::Kind::Int:
      return ofInt(result.ints.empty() ? 0 : result.ints[0]);
    case CommandResult::Kind::Double:
      return ofFloat(result.doubles.empty() ? 0.0 : result.doubles[0]);
    case CommandResult::Kind::String:
      return ofString(result.strings.empty() ? std::string() : result.strings[0]);
    case CommandResult::Kind::IntArray:
      v.m_kind = ValueKind::IntArray;
      v.m_ints = result.ints;
      return v;
    case CommandResult::Kind::DoubleArray:
      v.m_kind = ValueKind::FloatArray;
      v.m_floats = result.doubles;
      return v;
    case CommandResult::Kind::StringArray:
      v.m_kind = ValueKind::StringArray;
      v.m_strings = result.strings;
      return v;
    default:
      return v;
  }
}

bool ScriptValue::isArray() const {
  return m_kind == ValueKind::IntArray || m_kind == ValueKind::FloatArray || m_kind == ValueKind::StringArray;
}

int ScriptValue::asInt() const {
  switch (m_kind) {
    case ValueKind::Int:
      return m_int;
    case ValueKind::Float:
      return toInteger<int>(m_float);
    case ValueKind::String:
      return toInteger<int>(leadingNumber(m_string));
    default:
      return 0;
  }
}

double ScriptValue::asFloat() const {
  switch (m_kind) {
    case ValueKind::Int:
      return m_int;
    case ValueKind::Float:
      return m_float;
    case ValueKind::String:
      return leadingNumber(m_string);
    default:
      return 0.0;
  }
}

std::string ScriptValue::asString() const {
  switch (m_kind) {
    case ValueKind::Int:
      return std::to_string(m_int);
    case ValueKind::Float:
      return shortestNumber(m_float);
    case ValueKind::String:
      return m_string;
    default: {
      std::string text;
      for (const std::string& word : words()) text += (text.empty() ? "" : " ") + word;
      return text;
    }
  }
}

bool ScriptValue::truth() const {
  switch (m_kind) {
    case ValueKind::Int:
      return m_int != 0;
    case ValueKind::Float:
      return m_float != 0.0;
    case ValueKind::String:
      return !m_string.empty();
    case ValueKind::None:
      return false;
    default:
      return size() > 0;
  }
}

size_t ScriptValue::size() const {
  switch (m_kind) {
    case ValueKind::IntArray:
      return m_ints.size();
    case ValueKind::FloatArray:
      return m_floats.size();
    case ValueKind::StringArray:
      return m_strings.size();
    case ValueKind::String:
      return m_string.size();
    default:
      return 0;
  }
}

ScriptValue ScriptValue::element(size_t index) const {
  switch (m_kind) {
    case ValueKind::IntArray:
      return ofInt(index < m_ints.size() ? m_ints[index] : 0);
    case ValueKind::FloatArray:
      return ofFloat(index < m_floats.size() ? m_floats[index] : 0.0);
    case ValueKind::StringArray:
      return ofString(index < m_strings.size() ? m_strings[index] : std::string());
    default:
      return ScriptValue();
  }
}

void ScriptValue::setElement(size_t index, const ScriptValue& value) {
  switch (m_kind) {
    case ValueKind::IntArray:
      if (index >= m_ints.size()) m_ints.resize(index + 1);
      m_ints[index] = value.asInt();
      break;
    case ValueKind::FloatArray:
      if (index >= m_floats.size()) m_floats.resize(index + 1);
      m_floats[index] = value.asFloat();
      break;
    case ValueKind::StringArray:
      if (index >= m_strings.size()) m_strings.resize(index + 1);
      m_strings[index] = value.asString();
      break;
    default:
      break;
  }
}

void ScriptValue::clear() { *this = empty(m_kind); }

bool ScriptValue::convertTo(ValueKind kind, ScriptValue& converted) const {
  const bool wantArray = kind == ValueKind::IntArray || kind == ValueKind::FloatArray || kind == ValueKind::StringArray;
  if (m_kind == ValueKind::None) {
    converted = empty(kind);
    return true;
  }
  if (wantArray) {
    ScriptValue result = empty(kind);
    if (isArray()) {
      for (size_t i = 0; i < size(); ++i) result.setElement(i, element(i));
    } else {
      result.setElement(0, *this);
    }
    converted = std::move(result);
    return true;
  }
  if (isArray()) return false;
  switch (kind) {
    case ValueKind::Int:
      converted = ofInt(asInt());
      return true;
    case ValueKind::Float:
      converted = ofFloat(asFloat());
      return true;
    case ValueKind::String:
      converted = ofString(asString());
      return true;
    default:
      converted = *this;
      return true;
  }
}

std::vector<std::string> ScriptValue::words() const {
  std::vector<std::string> result;
  switch (m_kind) {
    case ValueKind::None:
      break;
    case ValueKind::IntArray:
      for (int value : m_ints) result.push_back(std::to_string(value));
      break;
    case ValueKind::FloatArray:
      for (double value : m_floats) result.push_back(shortestNumber(value));
      break;
    case ValueKind::StringArray:
      result = m_strings;
      break;
    default:
      result.push_back(asString());
      break;
  }
  return result;
}

void ScriptValue::toResult(CommandResult& result) const {
  switch (m_kind) {
    case ValueKind::Int:
      result.setInt(m_int);
      break;
    case ValueKind::Float:
      result.setDouble(m_float);
      break;
    case ValueKind::String:
      result.setString(m_string);
      break;
    case ValueKind::IntArray:
      result.setInts(m_ints);
      break;
    case ValueKind::FloatArray:
      result.setDoubles(m_floats);
      break;
    case ValueKind::StringArray:
      result.setStrings(m_strings);
      break;
    default:
      result.clear();
      break;
  }
}

}  // namespace zovhost
