#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include "src/moduleCommand.h"

/// `dComputeRotDist`: whether two Euler rotations (x, y, z order, radians)
/// turn things the same way within a tolerance. The first rotation is
/// "-rx"/"-rotX", "-ry"/"-rotY", "-rz"/"-rotZ", the second "-rx2"/"-rotX2",
/// "-ry2"/"-rotY2", "-rz2"/"-rotZ2", the tolerance "-tol"/"-tolerance"; a
/// flag not given counts as 0. Arguments that cannot be read fail the
/// command. Not undoable.
class ComputeRotDistCmd : public ModuleCommand {
 public:
  ComputeRotDistCmd() : ModuleCommand("dComputeRotDist") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;
};
