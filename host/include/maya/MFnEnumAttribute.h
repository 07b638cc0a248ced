#pragma once

#include <maya/MFnAttribute.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for enumerations: named fields with short values.
class MFnEnumAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kEnumAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(const MString& fullName, const MString& briefName, short defaultValue = 0, MStatus* status = nullptr);
  /// Adds a field; a name or value already used fails.
  MStatus addField(const MString& fieldName, short value);
  MString fieldName(short value, MStatus* status = nullptr) const;
  short fieldIndex(const MString& fieldName, MStatus* status = nullptr) const;
  MStatus setDefault(short value);
  MStatus setDefault(const MString& fieldName);
  MStatus getMin(short& value) const;
  MStatus getMax(short& value) const;
};
