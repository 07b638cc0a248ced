#pragma once

#include <iosfwd>
#include <string>

class MStringArray;

/// A character string of the host API (UTF-8, held by value).
class MString {
 public:
  MString() = default;
  MString(const char* text) : m_text(text ? text : "") {}
  /// The first length characters of text, or fewer where text ends (at its
  /// terminating zero) before them; none for a negative length.
  MString(const char* text, int length);
  MString(const std::string& text) : m_text(text) {}

  const char* asChar() const { return m_text.c_str(); }
  /// Host side: the text as a standard string.
  const std::string& str() const { return m_text; }
  unsigned int length() const { return static_cast<unsigned int>(m_text.size()); }
  unsigned int numChars() const { return length(); }

  MString& operator=(const char* text) {
    m_text = text ? text : "";
    return *this;
  }
  MString& operator+=(const MString& other) {
    m_text += other.m_text;
    return *this;
  }
  MString& operator+=(const char* text) {
    if (text) m_text += text;
    return *this;
  }
  MString& operator+=(char c) {
    m_text += c;
    return *this;
  }
  MString& operator+=(int value);
  MString& operator+=(unsigned int value);
  MString& operator+=(double value);
  MString& operator+=(float value) { return *this += static_cast<double>(value); }

  bool operator==(const MString& other) const { return m_text == other.m_text; }
  bool operator==(const char* text) const { return m_text == (text ? text : ""); }
  bool operator!=(const MString& other) const { return m_text != other.m_text; }
  bool operator!=(const char* text) const { return !(*this == text); }
  bool operator<(const MString& other) const { return m_text < other.m_text; }

  /// Characters start .. end, both inclusive (empty when the range is empty).
  MString substring(int start, int end) const;
  /// Characters start .. end, both inclusive.
  MString substringW(int start, int end) const { return substring(start, end); }
  /// Index of the first or last occurrence of c, -1 when there is none.
  int index(char c) const;
  int rindex(char c) const;
  int indexW(const MString& other) const;
  /// Splits at every occurrence of c; empty pieces are dropped.
  void split(char c, MStringArray& pieces) const;

  bool isInt() const;
  bool isDouble() const;
  bool isFloat() const { return isDouble(); }
  int asInt() const;
  unsigned int asUnsigned() const { return static_cast<unsigned int>(asInt()); }
  short asShort() const { return static_cast<short>(asInt()); }
  double asDouble() const;
  float asFloat() const { return static_cast<float>(asDouble()); }

  MString toLowerCase() const;
  MString toUpperCase() const;
  MString& set(const char* text) { return *this = text; }
  MString& set(double value, int precision = 6);

 private:
  std::string m_text;
};

MString operator+(const MString& a, const MString& b);
MString operator+(const MString& a, const char* b);
MString operator+(const char* a, const MString& b);
MString operator+(const MString& a, int value);
MString operator+(const MString& a, unsigned int value);
MString operator+(const MString& a, double value);
std::ostream& operator<<(std::ostream& out, const MString& text);
