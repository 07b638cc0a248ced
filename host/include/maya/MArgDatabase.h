#pragma once

#include <maya/MArgParser.h>
#include <maya/MSelectionList.h>

/// An argument parser that also resolves objects and selection-item arguments
/// to the scene's nodes.
class MArgDatabase : public MArgParser {
 public:
  MArgDatabase() = default;
  MArgDatabase(const MSyntax& syntax, const MArgList& arguments, MStatus* status = nullptr);

  using MArgParser::getCommandArgument;
  using MArgParser::getFlagArgument;
  using MArgParser::getObjects;
  MStatus getFlagArgument(const char* flag, unsigned int index, MSelectionList& list) const;
  MStatus getCommandArgument(unsigned int index, MSelectionList& list) const;
  /// The objects (kSelectionList), or the active selection when none were
  /// given and the syntax uses the selection as default.
  MStatus getObjects(MSelectionList& list) const;

 private:
  MSelectionList m_selection;
};
