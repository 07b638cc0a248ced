#include "src/simulation/selectZovContext.h"

#include <maya/MCursor.h>

#include "src/nodeLinks.h"

namespace {

const char* const kTitle = " Zov interactive selection";
const char* const kImage = "zovToolIcon.xpm";
const char* const kHelp = "select zov entities interactively when a zov window is open";
/// The user interface's procedure that reads the new selection.
const char* const kAfterSelection = "zovSelectPath()";
/// The component mask the tool leaves while it picks (selection type 29).
const auto kPickingComponentType = static_cast<MSelectionMask::SelectionType>(29);

}  // namespace

SelectZovContext::SelectZovContext() {
  setTitleString(kTitle);
  setImage(kImage, kImage1);
}

void SelectZovContext::toolOnSetup(MEvent&) {
  setHelpString(kHelp);
  setCursor(MCursor::doubleCrossHairCursor);
  savedMode = MGlobal::selectionMode();
  if (savedMode == MGlobal::kSelectComponentMode)
    savedComponentMask = MGlobal::componentSelectionMask();
  else
    savedObjectMask = MGlobal::objectSelectionMask();
}

void SelectZovContext::toolOffCleanup() {
  MGlobal::setSelectionMode(savedMode);
  if (savedMode == MGlobal::kSelectComponentMode)
    MGlobal::setComponentSelectionMask(savedComponentMask);
  else
    MGlobal::setObjectSelectionMask(savedObjectMask);
}

MStatus SelectZovContext::doPress(MEvent& event) { return beginMarqueeSelection(event); }

MStatus SelectZovContext::doHold(MEvent& event) { return dragMarqueeSelection(event); }

MStatus SelectZovContext::doRelease(MEvent& event) {
  short top = 0, left = 0, bottom = 0, right = 0;
  const MStatus status = releaseMarqueeSelection(event, top, left, bottom, right);
  if (!status) return status;
  MGlobal::setSelectionMode(MGlobal::kSelectObjectMode);
  MGlobal::setComponentSelectionMask(MSelectionMask(kPickingComponentType));
  // Shift and Ctrl change nothing: the picked objects replace the selection.
  MGlobal::selectFromScreen(left, top, right, bottom, MGlobal::kReplaceList, MGlobal::kWireframeSelectMethod);
  runQuietly(kAfterSelection);
  return MS::kSuccess;
}

MStatus SelectZovContext::beginMarqueeSelection(MEvent& event) { return beginMarquee(event); }

MStatus SelectZovContext::dragMarqueeSelection(MEvent& event) { return dragMarquee(event); }

MStatus SelectZovContext::releaseMarqueeSelection(MEvent& event, short& top, short& left, short& bottom, short& right) {
  return releaseMarquee(event, top, left, bottom, right);
}

MPxContext* SelectZovContextCmd::makeObj() { return new SelectZovContext; }
