#pragma once

#include <maya/MArgList.h>
#include <maya/MDoubleArray.h>
#include <maya/MIntArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

/// Base of plug-in commands. The host makes a command object for each run,
/// calls doIt, and keeps an undoable command that succeeded on the undo
/// queue: undo calls undoIt, redo calls redoIt. Other commands are deleted
/// once doIt returns.
class MPxCommand {
 public:
  MPxCommand() = default;
  virtual ~MPxCommand() = default;

  virtual MStatus doIt(const MArgList& arguments) = 0;
  virtual MStatus undoIt();
  virtual MStatus redoIt();
  virtual bool isUndoable() const { return false; }
  virtual bool hasSyntax() const { return false; }

  /// The syntax registered with the command.
  MSyntax syntax(MStatus* status = nullptr) const;
  MString commandString(MStatus* status = nullptr) const;
  MStatus setCommandString(const MString& text) {
    m_commandString = text;
    return MS::kSuccess;
  }

  /// The result of the command now running.
  static void setResult(bool value);
  static void setResult(int value);
  static void setResult(unsigned int value);
  static void setResult(double value);
  static void setResult(const MString& value);
  static void setResult(const char* value) { setResult(MString(value)); }
  static void setResult(const MIntArray& values);
  static void setResult(const MDoubleArray& values);
  static void setResult(const MStringArray& values);
  static void appendToResult(int value);
  static void appendToResult(double value);
  static void appendToResult(const MString& value);
  static void appendToResult(const char* value) { appendToResult(MString(value)); }
  static void clearResult();

  /// Messages to the user, as MGlobal shows them.
  static void displayInfo(const MString& text, bool addDisplayContext = false);
  static void displayWarning(const MString& text, bool addDisplayContext = false);
  static void displayError(const MString& text, bool addDisplayContext = false);

  // Host side: the name the command was registered under.
  void setRegisteredName(const std::string& name) { m_name = name; }

 private:
  std::string m_name;
  MString m_commandString;
};
