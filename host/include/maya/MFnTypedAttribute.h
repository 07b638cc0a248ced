#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>

/// Function set for attributes holding a data object: a string, a mesh, a
/// matrix, ...
class MFnTypedAttribute : public MFnAttribute {
 public:
  MFnTypedAttribute() = default;
  explicit MFnTypedAttribute(const MObject& attribute, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kTypedAttribute; }

  /// defaultData, when not null, must be a data object of the given kind.
  MObject create(const MString& fullName, const MString& briefName, MFnData::Type dataType,
                 const MObject& defaultData = MObject::kNullObj, MStatus* status = nullptr);
  MFnData::Type attrType(MStatus* status = nullptr) const;
  MStatus setDefault(const MObject& defaultData);
};
