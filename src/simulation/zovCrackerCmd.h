#pragma once

#include <maya/MArgList.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

/// `zovCracker`: turns each selected (or given) polygon mesh into a cracker
/// of the scene's last solver. For a mesh under the transform T it puts a
/// `zovCracker` locator "Zov<T>" under T and a "Cracker" collision shape
/// "Zov<T>Shape" fed by the mesh's world geometry, links the cracker to the
/// solver's `crackers` and has its engine body made and put in the world at
/// once. Instanced meshes are passed over. An animated selection away from
/// the start of the playback range first moves the time there. The result is
/// the name of the last cracker made; when none is made the command fails.
/// "-dia"/"-diameter" (double) and "-new" are accepted and change nothing.
/// Undo takes back every node and connection of the call (the crackers'
/// engine bodies with them) and the selection.
class zovCrackerCmd : public SelectionCommand {
 public:
  zovCrackerCmd() : SelectionCommand("zovCracker") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// Makes the cracker of one mesh linked to the solver's `crackers` plug;
  /// answers the cracker's name, empty when the host refused a step.
  MString makeCracker(const MDagPath& meshPath, const MPlug& crackers);
};
