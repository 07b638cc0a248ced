#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

/// `zovSolver`: makes sure the scene has its solver, driven by the host's
/// time, and answers its name; with a flag it acts on the solver instead:
/// "-rc"/"-repportCollisions" bool switches the world's collision report,
/// "-cac"/"-clearAllcollisions" lets every collision pair go, and
/// "-con"/"-connectDyn" connects the time input and the rigid bodies' pivot
/// helpers. Undo takes back the solver it made and the connections; values
/// written through plugs stay.
class SolverCmd : public ModifierCommand<MDGModifier> {
 public:
  SolverCmd() : ModifierCommand("zovSolver") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// What a flag asks of the solver; without one the result is its name.
  MStatus act(const MObject& solver);
  /// The time input and the rigid bodies' pivot helpers connected.
  MStatus connectDynamics(const MObject& solver);
};
