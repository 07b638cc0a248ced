#pragma once

#include <maya/MFnAttribute.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for message attributes: they carry no value, only connections.
class MFnMessageAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kMessageAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(const MString& fullName, const MString& briefName, MStatus* status = nullptr);
};
