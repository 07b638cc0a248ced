#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace {

std::string formatDouble(double value, int precision) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
  return buffer;
}

// Default precision of numbers appended to strings, as the host prints them.
constexpr int kAppendPrecision = 6;

}  // namespace

MString::MString(const char* text, int length) {
  if (text && length > 0) m_text.assign(text, strnlen(text, static_cast<size_t>(length)));
}

MString& MString::operator+=(int value) {
  m_text += std::to_string(value);
  return *this;
}
MString& MString::operator+=(unsigned int value) {
  m_text += std::to_string(value);
  return *this;
}
MString& MString::operator+=(double value) {
  m_text += formatDouble(value, kAppendPrecision);
  return *this;
}

MString& MString::set(double value, int precision) {
  m_text = formatDouble(value, precision);
  return *this;
}

MString MString::substring(int start, int end) const {
  const int size = static_cast<int>(m_text.size());
  start = std::max(start, 0);
  end = std::min(end, size - 1);
  if (end < start) return MString();
  return MString(m_text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start + 1)));
}

int MString::index(char c) const {
  const size_t at = m_text.find(c);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int MString::rindex(char c) const {
  const size_t at = m_text.rfind(c);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int MString::indexW(const MString& other) const {
  const size_t at = m_text.find(other.m_text);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

void MString::split(char c, MStringArray& pieces) const {
  pieces.clear();
  std::string piece;
  for (char ch : m_text) {
    if (ch == c) {
      if (!piece.empty()) pieces.append(MString(piece));
      piece.clear();
    } else {
      piece += ch;
    }
  }
  if (!piece.empty()) pieces.append(MString(piece));
}

bool MString::isInt() const {
  if (m_text.empty()) return false;
  char* end = nullptr;
  std::strtol(m_text.c_str(), &end, 10);
  return *end == '\0';
}

bool MString::isDouble() const {
  if (m_text.empty()) return false;
  char* end = nullptr;
  std::strtod(m_text.c_str(), &end);
  return *end == '\0';
}

int MString::asInt() const { return static_cast<int>(std::strtol(m_text.c_str(), nullptr, 10)); }
double MString::asDouble() const { return std::strtod(m_text.c_str(), nullptr); }

MString MString::toLowerCase() const {
  std::string text = m_text;
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return MString(text);
}

MString MString::toUpperCase() const {
  std::string text = m_text;
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return MString(text);
}

MString operator+(const MString& a, const MString& b) { return MString(a.str() + b.str()); }
MString operator+(const MString& a, const char* b) { return MString(a.str() + (b ? b : "")); }
MString operator+(const char* a, const MString& b) { return MString(std::string(a ? a : "") + b.str()); }
MString operator+(const MString& a, int value) {
  MString r(a);
  r += value;
  return r;
}
MString operator+(const MString& a, unsigned int value) {
  MString r(a);
  r += value;
  return r;
}
MString operator+(const MString& a, double value) {
  MString r(a);
  r += value;
  return r;
}
std::ostream& operator<<(std::ostream& out, const MString& text) { return out << text.str(); }
