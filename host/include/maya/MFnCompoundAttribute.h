#pragma once

#include <maya/MFnAttribute.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for compound attributes: a group of child attributes.
class MFnCompoundAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kCompoundAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(const MString& fullName, const MString& briefName, MStatus* status = nullptr);
  /// Adds a child; fails once the compound has been added to a node.
  MStatus addChild(const MObject& child);
  unsigned int numChildren(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;
};
