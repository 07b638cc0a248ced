#include <maya/MArgList.h>

#include "commands/ArgumentText.h"
#include "mathtypes/StatusOut.h"

using zovhost::parseBool;
using zovhost::parseDouble;
using zovhost::parseInt;
using zovhost::parseUnsigned;
using zovhost::setStatus;

namespace {

template <typename T, typename Parse>
T read(const MArgList& list, unsigned int index, MStatus* status, Parse parse) {
  T value{};
  const bool ok = index < list.length() && parse(list.asString(index).str(), value);
  setStatus(status, ok ? MS::kSuccess : MS::kInvalidParameter);
  return value;
}

}  // namespace

unsigned int MArgList::length(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return static_cast<unsigned int>(m_words.size());
}

bool MArgList::asBool(unsigned int index, MStatus* status) const { return read<bool>(*this, index, status, parseBool); }
int MArgList::asInt(unsigned int index, MStatus* status) const { return read<int>(*this, index, status, parseInt); }
unsigned int MArgList::asUnsigned(unsigned int index, MStatus* status) const {
  return read<unsigned int>(*this, index, status, parseUnsigned);
}
double MArgList::asDouble(unsigned int index, MStatus* status) const {
  return read<double>(*this, index, status, parseDouble);
}

MString MArgList::asString(unsigned int index, MStatus* status) const {
  setStatus(status, index < m_words.size() ? MS::kSuccess : MS::kInvalidParameter);
  return index < m_words.size() ? MString(m_words[index].text) : MString();
}

MDistance MArgList::asDistance(unsigned int index, MStatus* status) const {
  return MDistance(asDouble(index, status), MDistance::uiUnit());
}

MAngle MArgList::asAngle(unsigned int index, MStatus* status) const {
  return MAngle(asDouble(index, status), MAngle::uiUnit());
}

MTime MArgList::asTime(unsigned int index, MStatus* status) const {
  return MTime(asDouble(index, status), MTime::uiUnit());
}

bool MArgList::isFlagWord(unsigned int index) const {
  if (index >= m_words.size() || m_words[index].quoted) return false;
  const std::string& text = m_words[index].text;
  return text.size() > 1 && text[0] == '-' && !zovhost::isNumber(text);
}

unsigned int MArgList::flagIndex(const char* shortFlag, const char* longFlag) const {
  const auto matches = [](const std::string& word, const char* flag) {
    if (!flag) return false;
    const char* bare = flag[0] == '-' ? flag + 1 : flag;
    return word.compare(1, std::string::npos, bare) == 0;
  };
  for (unsigned int i = 0; i < m_words.size(); ++i)
    if (isFlagWord(i) && (matches(m_words[i].text, shortFlag) || matches(m_words[i].text, longFlag))) return i;
  return kInvalidArgIndex;
}

MArgList& MArgList::addArg(bool value) {
  addWord(value ? "true" : "false", false);
  return *this;
}

MArgList& MArgList::addArg(int value) {
  addWord(std::to_string(value), false);
  return *this;
}

MArgList& MArgList::addArg(double value) {
  MString text;
  text.set(value, 17);
  addWord(text.str(), false);
  return *this;
}

MArgList& MArgList::addArg(const MString& value) {
  addWord(value.str(), true);
  return *this;
}

void MArgList::addWord(const std::string& text, bool quoted) { m_words.push_back({text, quoted}); }
