#pragma once

#include <maya/MDGModifier.h>

/// A modifier that also makes and moves DAG nodes. createNode of a shape
/// given no parent also makes a transform for it and returns the transform.
/// reparentNode takes a node out of every parent and puts it under the new
/// one (null: the world). Both are carried out by doIt and reverted by undoIt.
class MDagModifier : public MDGModifier {
 public:
  MDagModifier() = default;

  MObject createNode(const MTypeId& typeId, const MObject& parent = MObject::kNullObj, MStatus* status = nullptr);
  MObject createNode(const MString& typeName, const MObject& parent = MObject::kNullObj, MStatus* status = nullptr);
  MStatus reparentNode(const MObject& node, const MObject& newParent = MObject::kNullObj);
};
