#include "commands/CommandResult.h"

#include "commands/ArgumentText.h"
#include "core/Numbers.h"

#include <cmath>
#include <cstdio>

namespace zovhost {

namespace {

std::string formatNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

void CommandResult::appendInt(int value) {
  if (kind != Kind::IntArray) {
    std::vector<int> items = kind == Kind::Int ? ints : std::vector<int>();
    setInts(items);
  }
  ints.push_back(value);
}

void CommandResult::appendDouble(double value) {
  if (kind != Kind::DoubleArray) {
    std::vector<double> items = kind == Kind::Double ? doubles : std::vector<double>();
    setDoubles(items);
  }
  doubles.push_back(value);
}

void CommandResult::appendString(const std::string& value) {
  if (kind != Kind::StringArray) {
    std::vector<std::string> items = kind == Kind::String ? strings : std::vector<std::string>();
    setStrings(items);
  }
  strings.push_back(value);
}

bool CommandResult::asInt(int& value) const {
  switch (kind) {
    case Kind::Int:
      value = ints[0];
      return true;
    case Kind::Double:
      value = toInteger<int>(doubles[0]);
      return true;
    case Kind::String:
      return parseInt(strings[0], value);
    default:
      return false;
  }
}

bool CommandResult::asDouble(double& value) const {
  switch (kind) {
    case Kind::Int:
      value = ints[0];
      return true;
    case Kind::Double:
      value = doubles[0];
      return true;
    case Kind::String:
      return parseDouble(strings[0], value);
    default:
      return false;
  }
}

bool CommandResult::asString(std::string& value) const {
  switch (kind) {
    case Kind::None:
      value.clear();
      return true;
    case Kind::String:
      value = strings[0];
      return true;
    case Kind::Int:
      value = std::to_string(ints[0]);
      return true;
    case Kind::Double:
      value = formatNumber(doubles[0]);
      return true;
    default:
      return false;
  }
}

bool CommandResult::asStrings(std::vector<std::string>& values) const {
  values.clear();
  switch (kind) {
    case Kind::None:
      return true;
    case Kind::String:
    case Kind::StringArray:
      values = strings;
      return true;
    case Kind::Int:
    case Kind::IntArray:
      for (int v : ints) values.push_back(std::to_string(v));
      return true;
    case Kind::Double:
    case Kind::DoubleArray:
      for (double v : doubles) values.push_back(formatNumber(v));
      return true;
  }
  return false;
}

bool CommandResult::asInts(std::vector<int>& values) const {
  values.clear();
  if (kind == Kind::Int || kind == Kind::IntArray) {
    values = ints;
    return true;
  }
  if (kind == Kind::Double || kind == Kind::DoubleArray) {
    for (double v : doubles) values.push_back(toInteger<int>(v));
    return true;
  }
  return kind == Kind::None;
}

bool CommandResult::asDoubles(std::vector<double>& values) const {
  values.clear();
  if (kind == Kind::Double || kind == Kind::DoubleArray) {
    values = doubles;
    return true;
  }
  if (kind == Kind::Int || kind == Kind::IntArray) {
    for (int v : ints) values.push_back(v);
    return true;
  }
  return kind == Kind::None;
}

std::string CommandResult::text() const {
  std::vector<std::string> items;
  asStrings(items);
  std::string joined;
  for (size_t i = 0; i < items.size(); ++i) joined += (i ? " " : "") + items[i];
  return joined;
}

}  // namespace zovhost
