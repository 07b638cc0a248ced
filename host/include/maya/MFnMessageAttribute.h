#pragma once

#include <maya/MFnAttribute.h>

/// Function set for message attributes: they carry no value, only connections.
class MFnMessageAttribute : public MFnAttribute {
 public:
  MFnMessageAttribute() = default;
  explicit MFnMessageAttribute(const MObject& attribute, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kMessageAttribute; }
  MObject create(const MString& fullName, const MString& briefName, MStatus* status = nullptr);
};
