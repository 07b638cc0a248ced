#pragma once

#include <maya/MArgList.h>
#include <maya/MDagModifier.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

/// `zovConnectForceFields`: links host force fields to the bodies that take
/// them. A link connects a field's message attribute "zovfield" to an
/// element of a body's message array `fieldList`.
/// - "-con"/"-connect" with "-bn"/"-bodyName" B (a `zovRigidBody`) or
///   "-fbn"/"-fbodyName" B (a `zovFbodyNode`, which wins when both are
///   given): B's links become the selected fields, in selection order, at
///   elements 0, 1, ...; fields the host refuses to link are passed over.
///   An unknown B changes nothing.
/// - "-cal"/"-connectAll" F: links the field F to every body of the last
///   solver whose `affectForceFields` is on, at the first free element from
///   the body's element count on.
/// Undo gives back the links as they were, and the selection.
class connectForceFieldsCmd : public SelectionCommand {
 public:
  connectForceFieldsCmd() : SelectionCommand("zovConnectForceFields") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// Links the selected fields to the body of the type named so.
  MStatus connectSelected(const MString& typeName, const MString& bodyName);
  /// Links the field named so to every body that takes fields.
  MStatus connectToAll(const MString& fieldName);
  /// Links a field to one more element of the body's `fieldList`; false
  /// when the host refuses.
  bool linkToNextFree(const MPlug& field, const MObject& body);
};
