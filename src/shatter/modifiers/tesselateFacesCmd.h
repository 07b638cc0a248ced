#pragma once

#include <maya/MArgList.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include "src/shatter/modifiers/zovModifierCmd.h"

/// Subdivides the cut faces of a mesh through a `zovMeshOpNode` put into
/// its history (operation, mode and iterations as set), or, for a mesh with
/// neither history nor history recording, in place: twice, whatever was
/// asked. Driven from code by the roughening command; as a host command it
/// takes the operation type and the faces selected on one mesh.
class tesselateFacesCmd : public zovModifierCmd {
 public:
  tesselateFacesCmd() = default;
  ~tesselateFacesCmd() override = default;

  static void* creator() { return new tesselateFacesCmd; }

  MStatus doIt(const MArgList& arguments) override;
  MStatus undoIt() override;
  MStatus redoIt() override;
  bool isUndoable() const override { return true; }

  MStatus initModifierNode(MObject node) override;
  MStatus directModifier(MObject mesh) override;

 private:
  /// Sets the command's success result, or shows its failure; gives back
  /// `status`.
  MStatus reported(const MStatus& status);

  /// The selected faces (component-list data); null when driven from code.
  MObject componentList;
};
