// Tool contexts: the base's settings and handlers, and the selection
// context's marquee.
#include <maya/MGlobal.h>
#include <maya/MPxContext.h>
#include <maya/MPxSelectionContext.h>

#include <algorithm>

#include "mathtypes/StatusOut.h"

const MCursor MCursor::defaultCursor(0);
const MCursor MCursor::crossHairCursor(1);
const MCursor MCursor::doubleCrossHairCursor(2);
const MCursor MCursor::editCursor(3);
const MCursor MCursor::handCursor(4);

void MPxContext::toolOnSetup(MEvent&) {}
void MPxContext::toolOffCleanup() {}
MStatus MPxContext::doPress(MEvent&) { return MS::kSuccess; }
MStatus MPxContext::doDrag(MEvent&) { return MS::kSuccess; }
MStatus MPxContext::doHold(MEvent&) { return MS::kSuccess; }
MStatus MPxContext::doRelease(MEvent&) { return MS::kSuccess; }

MStatus MPxContext::setTitleString(const MString& title) {
  m_title = title;
  return MS::kSuccess;
}

MStatus MPxContext::setImage(const MString& image, ImageIndex index) {
  if (index < kImage1 || index > kImage3) return MS::kInvalidParameter;
  m_images[index] = image;
  return MS::kSuccess;
}

MString MPxContext::image(ImageIndex index, MStatus* status) const {
  const bool valid = index >= kImage1 && index <= kImage3;
  zovhost::setStatus(status, valid ? MS::kSuccess : MS::kInvalidParameter);
  return valid ? m_images[index] : MString();
}

MStatus MPxContext::setHelpString(const MString& text) {
  m_help = text;
  return MS::kSuccess;
}

MStatus MPxContext::setCursor(const MCursor& cursor) {
  m_cursor = cursor;
  return MS::kSuccess;
}

MStatus MPxSelectionContext::beginMarquee(MEvent& event) {
  event.getPosition(m_startX, m_startY);
  m_endX = m_startX;
  m_endY = m_startY;
  m_marquee = true;
  return MS::kSuccess;
}

MStatus MPxSelectionContext::dragMarquee(MEvent& event) {
  if (!m_marquee) return MS::kFailure;
  event.getPosition(m_endX, m_endY);
  return MS::kSuccess;
}

MStatus MPxSelectionContext::releaseMarquee(MEvent& event, short& top, short& left, short& bottom, short& right) {
  if (!m_marquee) return MS::kFailure;
  event.getPosition(m_endX, m_endY);
  m_marquee = false;
  top = std::max(m_startY, m_endY);
  bottom = std::min(m_startY, m_endY);
  left = std::min(m_startX, m_endX);
  right = std::max(m_startX, m_endX);
  return MS::kSuccess;
}

MStatus MPxSelectionContext::doPress(MEvent& event) { return beginMarquee(event); }

MStatus MPxSelectionContext::doDrag(MEvent& event) { return dragMarquee(event); }

MStatus MPxSelectionContext::doHold(MEvent& event) { return dragMarquee(event); }

MStatus MPxSelectionContext::doRelease(MEvent& event) {
  short top = 0, left = 0, bottom = 0, right = 0;
  const MStatus status = releaseMarquee(event, top, left, bottom, right);
  if (!status) return status;
  MGlobal::ListAdjustment adjustment = MGlobal::kReplaceList;
  if (event.isModifierShift() && event.isModifierControl())
    adjustment = MGlobal::kAddToList;
  else if (event.isModifierShift())
    adjustment = MGlobal::kXORWithList;
  else if (event.isModifierControl())
    adjustment = MGlobal::kRemoveFromList;
  return MGlobal::selectFromScreen(left, bottom, right, top, adjustment);
}
