#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>
#include <vector>

#include "src/moduleCommand.h"

class FractureBodyNode;
class rigidBodyNode;

/// `update_Fbody`: brings fracture bodies up to date after the user changed
/// them. One mode per call, the first given of:
/// - "-dst"/"-displayStresses" b: the selected fracture body's pieces get
///   the polygon display option "-dg" set to the opposite of b;
/// - "-map"/"-stressesMap": the selected fracture bodies' stress colours
///   drawn again;
/// - "-stf"/"-staticFrags" b: the selected pieces made static (true) or
///   dynamic, their joints to the rest of their fracture body holding
///   nothing (true) or half the threshold;
/// - "-trs"/"-transform" and "-mas"/"-setmass": the pieces' group transform
///   frozen (with "-trs", once per fracture body) and the pieces' masses
///   recomputed ("-mas") or their bodies made again, at the start time.
/// None of it can be given back. The first two only change how pieces are
/// drawn and stay off the undo queue; after the others the command is
/// undoable, and its undo empties the undo queue, so that no undo reaches
/// past a fracture body it changed.
class FBodyUpdateCmd : public OneWayCommand {
 public:
  FBodyUpdateCmd() : OneWayCommand("update_Fbody") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  MStatus displayStresses(bool display);
  MStatus stressesMap();
  MStatus staticFragments(bool makeStatic);
  MStatus transformAndMass(bool freeze, bool massOnly);

  MSelectionList selection;
};
