#pragma once

#include <maya/MFnData.h>
#include <maya/MString.h>
#include <zovhost/FunctionSetOf.h>

/// String data: the value object of string typed attributes (used for defaults).
class MFnStringData : public zovhost::FunctionSetOf<MFnData, MFn::kStringData> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(const MString& text, MStatus* status = nullptr);
  MObject create(MStatus* status = nullptr) { return create(MString(), status); }
  MString string(MStatus* status = nullptr) const;
  MStatus set(const MString& text);
};
