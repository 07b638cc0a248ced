#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

/// `ManageZovListCmd`: switches the given (or selected) rigid bodies into the
/// simulation ("-add"/"-additems" true) or out of it (false or absent),
/// through the solver named "zovSolverNode1". Entries that are not rigid
/// bodies are passed over. Not undoable.
class ManageZovListCmd : public MPxCommand {
 public:
  static void* creator();
  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  bool hasSyntax() const override { return true; }

 private:
  MSelectionList selection;
};
