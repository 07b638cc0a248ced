#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include "src/moduleCommand.h"

/// `queryZovFBody`: questions about the selected fracture body node.
/// "-ani"/"-isAnim" answers whether it moves with an animated parent;
/// otherwise "-gtn"/"-getTransformNodes" answers the transforms of its
/// pieces, those of its clusters' pieces after its own. With neither flag it
/// answers nothing. A selection whose first object is no fracture body node
/// fails with "not fracture body selected". Not undoable.
class queryZovFBodyCmd : public ModuleCommand {
 public:
  queryZovFBodyCmd() : ModuleCommand("queryZovFBody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;
};
