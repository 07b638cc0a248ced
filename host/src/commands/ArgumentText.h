#pragma once

#include <string>

namespace zovhost {

/// Reading command-line words as values. Each returns false when the word is
/// not a value of that kind (the output is then untouched).
bool parseBool(const std::string& word, bool& value);
bool parseInt(const std::string& word, int& value);
bool parseUnsigned(const std::string& word, unsigned int& value);
/// Finite numbers only: "nan" and "inf" are refused.
bool parseDouble(const std::string& word, double& value);
/// True when the word is a number ("-9.81" is a number, not a flag).
bool isNumber(const std::string& word);

}  // namespace zovhost
