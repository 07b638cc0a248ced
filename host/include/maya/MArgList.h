#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <string>
#include <vector>

/// The arguments of a command line as given: words read as the type asked for.
class MArgList {
 public:
  static constexpr unsigned int kInvalidArgIndex = 0xFFFFFFFFu;

  MArgList() = default;

  unsigned int length(MStatus* status = nullptr) const;
  bool asBool(unsigned int index, MStatus* status = nullptr) const;
  int asInt(unsigned int index, MStatus* status = nullptr) const;
  unsigned int asUnsigned(unsigned int index, MStatus* status = nullptr) const;
  double asDouble(unsigned int index, MStatus* status = nullptr) const;
  MString asString(unsigned int index, MStatus* status = nullptr) const;
  /// Distances and angles are read in the user-interface units; times too.
  MDistance asDistance(unsigned int index, MStatus* status = nullptr) const;
  MAngle asAngle(unsigned int index, MStatus* status = nullptr) const;
  MTime asTime(unsigned int index, MStatus* status = nullptr) const;
  /// The index of a flag given by its short or long name, or kInvalidArgIndex.
  unsigned int flagIndex(const char* shortFlag, const char* longFlag = nullptr) const;

  MArgList& addArg(bool value);
  MArgList& addArg(int value);
  MArgList& addArg(double value);
  MArgList& addArg(const MString& value);

  // Host side: a word as written; quoted words are never flags.
  void addWord(const std::string& text, bool quoted);
  bool isQuoted(unsigned int index) const { return index < m_words.size() && m_words[index].quoted; }
  /// True when a word is written as a flag: an unquoted dash not starting a number.
  bool isFlagWord(unsigned int index) const;

 private:
  struct Entry {
    std::string text;
    bool quoted = false;
  };
  std::vector<Entry> m_words;
};
