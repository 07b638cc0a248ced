#pragma once

#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MSelectionMask.h>

namespace zovhost {

/// The active selection; owned by the host's composition root.
MSelectionList& activeSelection();
/// Replaces the active selection and raises "SelectionChanged".
void setActiveSelection(const MSelectionList& list);

/// What picking selects: whole objects or components, and the mask of what
/// can be picked in each mode.
struct SelectionSettings {
  MGlobal::MSelectionMode mode = MGlobal::kSelectObjectMode;
  MSelectionMask objectMask;
  MSelectionMask componentMask;
};
/// Owned by the host's composition root.
SelectionSettings& selectionSettings();

}  // namespace zovhost
