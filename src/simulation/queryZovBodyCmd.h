#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include "src/moduleCommand.h"

class zovSolverNode;

/// `queryZovBody`: questions about the given (or selected) rigid bodies,
/// answered through the solver named "zovSolverNode1". One flag is answered,
/// the first set in this order:
/// - "-cl"/"-collisionList": the engine names of the bodies touching the
///   bodies, all in one string array (a partner once per body it touches);
/// - "-cp"/"-collisionPoints": the contact points between the first two
///   objects, x, y, z each, in one double array;
/// - "-itr"/"-isTransition": false;
/// - "-imn"/"-isMassNegative": whether a body encloses no positive volume or
///   a mesh under its transform has an open edge longer than 0.005;
/// - "-ico"/"-isCacheON": whether the first body's frame cache holds more
///   than one frame.
/// Contacts are known while the world reports collisions. Not undoable.
class queryZovBodyCmd : public ModuleCommand {
 public:
  queryZovBodyCmd() : ModuleCommand("queryZovBody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  MStatus collisionList(zovSolverNode& solver);
  MStatus collisionPoints(zovSolverNode& solver);
  void isMassNegative();
  void isCacheOn();

  MSelectionList selection;
};
