#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for attributes holding a data object: a string, a mesh, a
/// matrix, ...
class MFnTypedAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kTypedAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  /// defaultData, when not null, must be a data object of the given kind.
  MObject create(const MString& fullName, const MString& briefName, MFnData::Type dataType,
                 const MObject& defaultData = MObject::kNullObj, MStatus* status = nullptr);
  MFnData::Type attrType(MStatus* status = nullptr) const;
  MStatus setDefault(const MObject& defaultData);
};
