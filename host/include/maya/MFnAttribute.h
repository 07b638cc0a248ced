#pragma once

#include <maya/MFnBase.h>
#include <maya/MString.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for the flags shared by every attribute. Defaults of a new
/// attribute: readable, writable, connectable, storable, cached; not keyable,
/// not hidden, not an array.
class MFnAttribute : public zovhost::FunctionSetOf<MFnBase, MFn::kAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MString name(MStatus* status = nullptr) const;
  MString shortName(MStatus* status = nullptr) const;
  /// The parent compound attribute (null for a top-level attribute).
  MObject parent(MStatus* status = nullptr) const;

  bool isReadable(MStatus* status = nullptr) const;
  bool isWritable(MStatus* status = nullptr) const;
  bool isConnectable(MStatus* status = nullptr) const;
  bool isStorable(MStatus* status = nullptr) const;
  bool isCached(MStatus* status = nullptr) const;
  bool isKeyable(MStatus* status = nullptr) const;
  bool isHidden(MStatus* status = nullptr) const;
  bool isArray(MStatus* status = nullptr) const;
  bool isIndexMatters(MStatus* status = nullptr) const;
  bool isDynamic(MStatus* status = nullptr) const;

  MStatus setReadable(bool state);
  MStatus setWritable(bool state);
  MStatus setConnectable(bool state);
  MStatus setStorable(bool state);
  MStatus setCached(bool state);
  MStatus setKeyable(bool state);
  MStatus setHidden(bool state);
  MStatus setArray(bool state);
  MStatus setIndexMatters(bool state);
  MStatus setUsesArrayDataBuilder(bool state);
  MStatus setAffectsAppearance(bool state);
  MStatus setChannelBox(bool state);
};
