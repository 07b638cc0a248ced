#pragma once

#include <maya/MSelectionList.h>

namespace zovhost {

/// The active selection; owned by the host's composition root.
MSelectionList& activeSelection();
/// Replaces the active selection and raises "SelectionChanged".
void setActiveSelection(const MSelectionList& list);

}  // namespace zovhost
