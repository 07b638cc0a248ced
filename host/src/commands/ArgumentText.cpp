#include "commands/ArgumentText.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace zovhost {

bool parseBool(const std::string& word, bool& value) {
  if (word == "true" || word == "on" || word == "yes" || word == "1") {
    value = true;
    return true;
  }
  if (word == "false" || word == "off" || word == "no" || word == "0") {
    value = false;
    return true;
  }
  return false;
}

bool parseInt(const std::string& word, int& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(word.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool parseUnsigned(const std::string& word, unsigned int& value) {
  int parsed = 0;
  if (!parseInt(word, parsed) || parsed < 0) return false;
  value = static_cast<unsigned int>(parsed);
  return true;
}

bool parseDouble(const std::string& word, double& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(word.c_str(), &end);
  // NaN and infinities are no values a user gives.
  if (*end != '\0' || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool isNumber(const std::string& word) {
  double ignored = 0.0;
  return parseDouble(word, ignored);
}

}  // namespace zovhost
