#include <maya/MPxCommand.h>

#include "commands/CommandRegistry.h"
#include "commands/CommandResult.h"
#include "core/Logs.h"
#include "mathtypes/StatusOut.h"

using zovhost::commandRegistry;
using zovhost::CommandResult;
using zovhost::commandResults;
using zovhost::setStatus;

namespace {

/// The result of the command now running; a scratch result outside commands.
CommandResult& currentResult() {
  static CommandResult outside;
  return commandResults().empty() ? outside : *commandResults().back();
}

}  // namespace

MStatus MPxCommand::undoIt() { return MS::kFailure; }
MStatus MPxCommand::redoIt() { return MS::kFailure; }

MSyntax MPxCommand::syntax(MStatus* status) const {
  const zovhost::PluginCommand* command = commandRegistry().find(m_name);
  setStatus(status, command ? MS::kSuccess : MS::kFailure);
  return command && command->syntax ? command->syntax() : MSyntax();
}

MString MPxCommand::commandString(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_commandString;
}

void MPxCommand::setResult(bool value) { currentResult().setInt(value ? 1 : 0); }
void MPxCommand::setResult(int value) { currentResult().setInt(value); }
void MPxCommand::setResult(unsigned int value) { currentResult().setInt(static_cast<int>(value)); }
void MPxCommand::setResult(double value) { currentResult().setDouble(value); }
void MPxCommand::setResult(const MString& value) { currentResult().setString(value.str()); }

void MPxCommand::setResult(const MIntArray& values) {
  std::vector<int> items;
  for (unsigned int i = 0; i < values.length(); ++i) items.push_back(values[i]);
  currentResult().setInts(std::move(items));
}

void MPxCommand::setResult(const MDoubleArray& values) {
  std::vector<double> items;
  for (unsigned int i = 0; i < values.length(); ++i) items.push_back(values[i]);
  currentResult().setDoubles(std::move(items));
}

void MPxCommand::setResult(const MStringArray& values) {
  std::vector<std::string> items;
  for (unsigned int i = 0; i < values.length(); ++i) items.push_back(values[i].str());
  currentResult().setStrings(std::move(items));
}

void MPxCommand::appendToResult(int value) { currentResult().appendInt(value); }
void MPxCommand::appendToResult(double value) { currentResult().appendDouble(value); }
void MPxCommand::appendToResult(const MString& value) { currentResult().appendString(value.str()); }
void MPxCommand::clearResult() { currentResult().clear(); }

void MPxCommand::displayInfo(const MString& text, bool) { zovhost::displayInfo(text.str()); }
void MPxCommand::displayWarning(const MString& text, bool) { zovhost::displayWarning(text.str()); }
void MPxCommand::displayError(const MString& text, bool) { zovhost::displayError(text.str()); }
