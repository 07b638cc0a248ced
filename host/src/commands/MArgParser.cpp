#include <maya/MArgDatabase.h>
#include <maya/MArgParser.h>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::activeSelection;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

const char* typeName(MSyntax::MArgType type) {
  switch (type) {
    case MSyntax::kBoolean:
      return "a boolean";
    case MSyntax::kLong:
      return "an integer";
    case MSyntax::kUnsigned:
      return "an unsigned integer";
    case MSyntax::kDouble:
      return "a floating point";
    case MSyntax::kDistance:
      return "a distance";
    case MSyntax::kAngle:
      return "an angle";
    case MSyntax::kTime:
      return "a time";
    case MSyntax::kString:
      return "a string";
    case MSyntax::kSelectionItem:
      return "an object name";
    default:
      return "an";
  }
}

bool fits(const std::string& word, MSyntax::MArgType type) {
  bool b = false;
  int i = 0;
  unsigned int u = 0;
  double d = 0.0;
  switch (type) {
    case MSyntax::kBoolean:
      return zovhost::parseBool(word, b);
    case MSyntax::kLong:
      return zovhost::parseInt(word, i);
    case MSyntax::kUnsigned:
      return zovhost::parseUnsigned(word, u);
    case MSyntax::kDouble:
    case MSyntax::kDistance:
    case MSyntax::kAngle:
    case MSyntax::kTime:
      return zovhost::parseDouble(word, d);
    case MSyntax::kSelectionItem:
      return sceneGraph().find(word.substr(0, word.find('.'))) != nullptr;
    default:
      return true;
  }
}

std::string bare(const char* flag) {
  if (!flag) return std::string();
  return flag[0] == '-' ? std::string(flag + 1) : std::string(flag);
}

MStatus fail(const std::string& message) {
  zovhost::displayError(message);
  return MS::kFailure;
}

}  // namespace

MArgParser::MArgParser(const MSyntax& syntax, const MArgList& arguments, MStatus* status) : m_syntax(syntax) {
  const MStatus result = parse(arguments);
  setStatus(status, result);
}

MStatus MArgParser::parse(const MArgList& arguments) {
  const MSyntax& syntax = m_syntax;
  const auto finish = [](MStatus value) { return value; };
  const unsigned int count = arguments.length();
  for (unsigned int i = 0; i < count; ++i) {
    const std::string word = arguments.asString(i).str();
    if (arguments.isFlagWord(i)) {
      const std::string name = word.substr(1);
      if (syntax.queryEnabled() && (name == "q" || name == "query")) {
        m_query = true;
        continue;
      }
      if (syntax.editEnabled() && (name == "e" || name == "edit")) {
        m_edit = true;
        continue;
      }
      const MSyntax::Flag* flag = m_syntax.findFlag(name);
      if (!flag) return finish(fail("Invalid flag '" + word + "'"));
      for (const FlagUse& use : m_uses)
        if (use.flag == flag && !flag->multiUse) return finish(fail("Flag '" + word + "' can only be used once"));
      FlagUse use;
      use.flag = flag;
      // In query mode flags name what is asked for and take no arguments.
      if (!m_query) {
        for (MSyntax::MArgType type : flag->arguments) {
          if (i + 1 >= count || !fits(arguments.asString(i + 1).str(), type))
            return finish(fail("Flag '" + word + "' must be passed " + typeName(type) + " argument"));
          use.values.push_back(arguments.asString(++i).str());
        }
      }
      m_uses.push_back(use);
      continue;
    }
    if (m_arguments.size() < syntax.arguments().size()) {
      const MSyntax::MArgType type = syntax.arguments()[m_arguments.size()];
      if (!fits(word, type)) return finish(fail("Argument '" + word + "' must be " + typeName(type) + " value"));
      m_arguments.push_back(word);
      continue;
    }
    if (syntax.objectFormat() == MSyntax::kNone) return finish(fail("Too many arguments: '" + word + "'"));
    if (syntax.objectFormat() == MSyntax::kSelectionList && !fits(word, MSyntax::kSelectionItem))
      return finish(fail("No object matches name: " + word));
    m_objects.push_back(word);
  }
  if (m_arguments.size() < syntax.arguments().size()) return finish(fail("Too few arguments"));

  unsigned int objects = static_cast<unsigned int>(m_objects.size());
  if (objects == 0 && syntax.selectionAsDefault() && syntax.objectFormat() == MSyntax::kSelectionList) {
    m_objectsFromSelection = true;
    objects = activeSelection().length();
  }
  if (syntax.objectFormat() != MSyntax::kNone) {
    if (objects < syntax.minObjects())
      return finish(fail("At least " + std::to_string(syntax.minObjects()) + " object(s) must be given"));
    if (syntax.maxObjects() != 0 && objects > syntax.maxObjects())
      return finish(fail("At most " + std::to_string(syntax.maxObjects()) + " object(s) may be given"));
  }
  return MS::kSuccess;
}

bool MArgParser::isFlagSet(const char* flag, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  const std::string name = bare(flag);
  if (name == "q" || name == "query") return m_query;
  if (name == "e" || name == "edit") return m_edit;
  for (const FlagUse& use : m_uses)
    if (use.flag->shortName == name || use.flag->longName == name) return true;
  return false;
}

bool MArgParser::isQuery(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_query;
}

bool MArgParser::isEdit(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_edit;
}

unsigned int MArgParser::numberOfFlagsUsed() const {
  return static_cast<unsigned int>(m_uses.size()) + (m_query ? 1u : 0u) + (m_edit ? 1u : 0u);
}

unsigned int MArgParser::numberOfFlagUses(const char* flag) const {
  const std::string name = bare(flag);
  unsigned int count = 0;
  for (const FlagUse& use : m_uses)
    if (use.flag->shortName == name || use.flag->longName == name) ++count;
  return count;
}

const std::vector<std::string>* MArgParser::flagValues(const char* flag, unsigned int useIndex) const {
  const std::string name = bare(flag);
  unsigned int seen = 0;
  for (const FlagUse& use : m_uses)
    if (use.flag->shortName == name || use.flag->longName == name) {
      if (seen == useIndex) return &use.values;
      ++seen;
    }
  return nullptr;
}

const std::string* MArgParser::flagValue(const char* flag, unsigned int index, MSyntax::MArgType& type) const {
  const std::vector<std::string>* values = flagValues(flag);
  if (!values || index >= values->size()) return nullptr;
  type = m_syntax.findFlag(bare(flag))->arguments[index];
  return &(*values)[index];
}

namespace {

template <typename T, typename Parse>
MStatus readValue(const std::string* word, T& value, Parse parse) {
  if (!word) return MS::kFailure;
  T parsed{};
  if (!parse(*word, parsed)) return MS::kInvalidParameter;
  value = parsed;
  return MS::kSuccess;
}

}  // namespace

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, bool& value) const {
  MSyntax::MArgType type;
  return readValue(flagValue(flag, index, type), value, zovhost::parseBool);
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, int& value) const {
  MSyntax::MArgType type;
  return readValue(flagValue(flag, index, type), value, zovhost::parseInt);
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, unsigned int& value) const {
  MSyntax::MArgType type;
  return readValue(flagValue(flag, index, type), value, zovhost::parseUnsigned);
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, double& value) const {
  MSyntax::MArgType type;
  return readValue(flagValue(flag, index, type), value, zovhost::parseDouble);
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, MString& value) const {
  MSyntax::MArgType type;
  const std::string* word = flagValue(flag, index, type);
  if (!word) return MS::kFailure;
  value = MString(*word);
  return MS::kSuccess;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, MTime& value) const {
  double number = 0.0;
  const MStatus status = getFlagArgument(flag, index, number);
  if (status) value = MTime(number, MTime::uiUnit());
  return status;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, MDistance& value) const {
  double number = 0.0;
  const MStatus status = getFlagArgument(flag, index, number);
  if (status) value = MDistance(number, MDistance::uiUnit());
  return status;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, MAngle& value) const {
  double number = 0.0;
  const MStatus status = getFlagArgument(flag, index, number);
  if (status) value = MAngle(number, MAngle::uiUnit());
  return status;
}

bool MArgParser::flagArgumentBool(const char* flag, unsigned int index, MStatus* status) const {
  bool value = false;
  const MStatus result = getFlagArgument(flag, index, value);
  setStatus(status, result);
  return value;
}

int MArgParser::flagArgumentInt(const char* flag, unsigned int index, MStatus* status) const {
  int value = 0;
  const MStatus result = getFlagArgument(flag, index, value);
  setStatus(status, result);
  return value;
}

double MArgParser::flagArgumentDouble(const char* flag, unsigned int index, MStatus* status) const {
  double value = 0.0;
  const MStatus result = getFlagArgument(flag, index, value);
  setStatus(status, result);
  return value;
}

MString MArgParser::flagArgumentString(const char* flag, unsigned int index, MStatus* status) const {
  MString value;
  const MStatus result = getFlagArgument(flag, index, value);
  setStatus(status, result);
  return value;
}

MStatus MArgParser::getFlagArgumentList(const char* flag, unsigned int use, MArgList& arguments) const {
  const std::vector<std::string>* values = flagValues(flag, use);
  if (!values) return MS::kFailure;
  arguments = MArgList();
  for (const std::string& value : *values) arguments.addWord(value, true);
  return MS::kSuccess;
}

MStatus MArgParser::getCommandArgument(unsigned int index, bool& value) const {
  return readValue(index < m_arguments.size() ? &m_arguments[index] : nullptr, value, zovhost::parseBool);
}

MStatus MArgParser::getCommandArgument(unsigned int index, int& value) const {
  return readValue(index < m_arguments.size() ? &m_arguments[index] : nullptr, value, zovhost::parseInt);
}

MStatus MArgParser::getCommandArgument(unsigned int index, double& value) const {
  return readValue(index < m_arguments.size() ? &m_arguments[index] : nullptr, value, zovhost::parseDouble);
}

MStatus MArgParser::getCommandArgument(unsigned int index, MString& value) const {
  if (index >= m_arguments.size()) return MS::kFailure;
  value = MString(m_arguments[index]);
  return MS::kSuccess;
}

bool MArgParser::commandArgumentBool(unsigned int index, MStatus* status) const {
  bool value = false;
  const MStatus result = getCommandArgument(index, value);
  setStatus(status, result);
  return value;
}

int MArgParser::commandArgumentInt(unsigned int index, MStatus* status) const {
  int value = 0;
  const MStatus result = getCommandArgument(index, value);
  setStatus(status, result);
  return value;
}

double MArgParser::commandArgumentDouble(unsigned int index, MStatus* status) const {
  double value = 0.0;
  const MStatus result = getCommandArgument(index, value);
  setStatus(status, result);
  return value;
}

MString MArgParser::commandArgumentString(unsigned int index, MStatus* status) const {
  MString value;
  const MStatus result = getCommandArgument(index, value);
  setStatus(status, result);
  return value;
}

MStatus MArgParser::getObjects(MStringArray& objects) const {
  objects.clear();
  for (const std::string& object : m_objects) objects.append(MString(object));
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MArgDatabase

MArgDatabase::MArgDatabase(const MSyntax& syntax, const MArgList& arguments, MStatus* status)
    : MArgParser(syntax, arguments, status) {
  // The selection is taken when the command parses, as it is then.
  if (m_objectsFromSelection) m_selection = activeSelection();
}

MStatus MArgDatabase::getFlagArgument(const char* flag, unsigned int index, MSelectionList& list) const {
  MString name;
  const MStatus status = MArgParser::getFlagArgument(flag, index, name);
  if (!status) return status;
  return list.add(name);
}

MStatus MArgDatabase::getCommandArgument(unsigned int index, MSelectionList& list) const {
  MString name;
  const MStatus status = MArgParser::getCommandArgument(index, name);
  if (!status) return status;
  return list.add(name);
}

MStatus MArgDatabase::getObjects(MSelectionList& list) const {
  list.clear();
  if (m_objectsFromSelection) {
    list = m_selection;
    return MS::kSuccess;
  }
  for (const std::string& object : m_objects) {
    const MStatus status = list.add(MString(object));
    if (!status) return status;
  }
  return MS::kSuccess;
}
