#pragma once

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>

/// Walks the items of a selection list in order, keeping those whose node
/// has the filter's function-set type (all of them for kInvalid). A selected
/// transform that lacks the type is kept when a shape directly below it (not
/// an intermediate object) has it, and the iterator then answers that shape:
/// selecting a cube's transform reaches its mesh. The list is copied: changes
/// to it afterwards are not seen.
class MItSelectionList {
 public:
  enum selItemType { kUnknownItem, kDagSelectionItem, kDNselectionItem, kPlugSelectionItem };

  explicit MItSelectionList(const MSelectionList& list, MFn::Type filter = MFn::kInvalid, MStatus* status = nullptr);

  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  MStatus reset();
  MStatus setFilter(MFn::Type filter);
  MStatus getDependNode(MObject& node) const;
  /// Fails for an item that is not a DAG node.
  MStatus getDagPath(MDagPath& path) const;
  MStatus getDagPath(MDagPath& path, MObject& component) const;
  MStatus getPlug(MPlug& plug) const;
  selItemType itemType(MStatus* status = nullptr) const;

 private:
  void skipFiltered();
  /// The current item as the filter sees it: its path and node, or the
  /// shape below a selected transform that the filter matched.
  bool current(MDagPath& path, MObject& node) const;

  MSelectionList m_list;
  MFn::Type m_filter;
  unsigned int m_index = 0;
};
