#pragma once

#include <maya/MFnData.h>
#include <zovhost/FunctionSetOf.h>

/// Component-list data: the value of typed component-list attributes, an
/// ordered list of components (see MFnSingleIndexedComponent).
class MFnComponentListData : public zovhost::FunctionSetOf<MFnData, MFn::kComponentListData> {
 public:
  using FunctionSetOf::FunctionSetOf;

  /// A new, empty list; attached to the set.
  MObject create(MStatus* status = nullptr);
  unsigned int length(MStatus* status = nullptr) const;
  /// The component at a position (null past the end).
  MObject operator[](unsigned int index) const;
  /// Appends a component; anything else is refused.
  MStatus add(const MObject& component);
  /// True when the component is listed.
  bool has(const MObject& component) const;
  MStatus clear();
};
