#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

/// `deleteUserNode`: deletes the given (or selected) nodes at once, in list
/// order; the module's node-removed handlers release their engine objects.
/// Not undoable.
class deleteUserNodeCmd : public MPxCommand {
 public:
  static void* creator();
  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  bool hasSyntax() const override { return true; }

 private:
  MSelectionList m_selection;
};
