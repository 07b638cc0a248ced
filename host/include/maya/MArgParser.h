#pragma once

#include <maya/MArgList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <string>
#include <vector>

/// Parses a command's arguments against its syntax. A flag that the syntax
/// does not know, a missing or mistyped flag argument, a flag given twice
/// (unless multi-use), or too few or too many objects is an error: the
/// parser's status is a failure and the host shows the error.
class MArgParser {
 public:
  MArgParser() = default;
  MArgParser(const MSyntax& syntax, const MArgList& arguments, MStatus* status = nullptr);
  virtual ~MArgParser() = default;

  /// Flags are named by their short or long name, with or without the dash.
  bool isFlagSet(const char* flag, MStatus* status = nullptr) const;
  bool isQuery(MStatus* status = nullptr) const;
  bool isEdit(MStatus* status = nullptr) const;
  unsigned int numberOfFlagsUsed() const;
  unsigned int numberOfFlagUses(const char* flag) const;

  MStatus getFlagArgument(const char* flag, unsigned int index, bool& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, int& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, unsigned int& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, double& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MString& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MTime& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MDistance& value) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MAngle& value) const;
  bool flagArgumentBool(const char* flag, unsigned int index, MStatus* status = nullptr) const;
  int flagArgumentInt(const char* flag, unsigned int index, MStatus* status = nullptr) const;
  double flagArgumentDouble(const char* flag, unsigned int index, MStatus* status = nullptr) const;
  MString flagArgumentString(const char* flag, unsigned int index, MStatus* status = nullptr) const;
  /// The arguments of one use of a multi-use flag.
  MStatus getFlagArgumentList(const char* flag, unsigned int use, MArgList& arguments) const;

  MStatus getCommandArgument(unsigned int index, bool& value) const;
  MStatus getCommandArgument(unsigned int index, int& value) const;
  MStatus getCommandArgument(unsigned int index, double& value) const;
  MStatus getCommandArgument(unsigned int index, MString& value) const;
  bool commandArgumentBool(unsigned int index, MStatus* status = nullptr) const;
  int commandArgumentInt(unsigned int index, MStatus* status = nullptr) const;
  double commandArgumentDouble(unsigned int index, MStatus* status = nullptr) const;
  MString commandArgumentString(unsigned int index, MStatus* status = nullptr) const;

  /// The objects as written (kStringObjects).
  MStatus getObjects(MStringArray& objects) const;

 protected:
  MStatus parse(const MArgList& arguments);

  struct FlagUse {
    const MSyntax::Flag* flag = nullptr;
    std::vector<std::string> values;
  };
  const std::vector<std::string>* flagValues(const char* flag, unsigned int use = 0) const;
  const std::string* flagValue(const char* flag, unsigned int index, MSyntax::MArgType& type) const;

  MSyntax m_syntax;
  std::vector<FlagUse> m_uses;
  std::vector<std::string> m_arguments;
  std::vector<std::string> m_objects;
  bool m_query = false;
  bool m_edit = false;
  /// Objects taken from the active selection when none were given.
  bool m_objectsFromSelection = false;
};
