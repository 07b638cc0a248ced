#pragma once

#include <maya/MArgList.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

/// `new_ZOVBody`: turns the selected polygon meshes (or the meshes given) into
/// rigid bodies of the scene's last solver. For each mesh it makes a
/// collision shape fed by the mesh's world geometry and a rigid body locator
/// under the mesh's transform, named after the transform ("pCube12" gives
/// "pCubeZovBody12" and "pCubeZovBody12Shape"), wires both to the solver and
/// to time and sizes the body's frame cache. A transform that has a body
/// already has that body's settings updated instead, unless "-mul" is true.
/// Flags: "-a"/"-active" unsigned (`passive`: 0 dynamic, 1 passive, 2
/// animated), "-st"/"-shapeType" unsigned (the shape's collision type),
/// "-mul"/"-multiple" bool. The result is the names of the bodies made or
/// updated; when there are none the command fails. Undo takes back the nodes
/// and connections made and the selection; values written through plugs
/// stay.
class RigidBodyCmd : public SelectionCommand {
 public:
  RigidBodyCmd() : SelectionCommand("new_ZOVBody") {}

  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  MStatus redoIt() override;
  MStatus undoIt() override;

 private:
  /// The settings the flags give.
  struct Settings {
    unsigned int active = 0;
    unsigned int shapeType = 0;
    bool multiple = false;
  };

  /// The scene's last solver when bodies can join it (it has time flowing
  /// in); the null object, after the error, when not.
  MObject runningSolver() const;
  /// Makes (or updates) the body of one mesh shape; the body's name goes to
  /// `names`. False when the mesh is passed over.
  bool handleMesh(MDagPath shapePath, const MObject& solver, const Settings& settings, MStringArray& names,
                  bool& created);
  /// Gives the body on the transform the flags' settings.
  void updateBody(const MObject& body, const Settings& settings);
  /// A new collision shape and body for the mesh under `transform`.
  MString createBody(const MDagPath& shapePath, const MObject& transform, const MObject& solver,
                     const Settings& settings, bool jagged);

  /// Set when memory ran out making a body: the run takes back what it made.
  bool outOfMemory = false;
};

/// The body's pivot helpers (`keysTX` .. `keysTZ`) take the transform's
/// rotate pivot in engine lengths and feed it, through the modifier, which
/// is run; a pivot fed already keeps its source. Nothing when the transform
/// lacks one of the three pivot plugs.
void linkPivotHelpers(const MObject& body, const MObject& transform, MDGModifier& modifier);

/// Whether the solver's time input is connected, so that bodies made for it
/// move; otherwise the host shows the dialog saying that the dynamics is
/// disabled, and "ZOV INFO: cannot create <what> because zov solver is
/// disabled" is the error.
bool solverTakesBodies(const MObject& solver, const char* what);

/// A body's name from its transform's: "ZovBody" goes before the trailing
/// digits ("pCube12" gives "pCubeZovBody12"; a name of digits only takes it
/// at the front).
MString rigidBodyNameFor(const MString& transformName);
