#pragma once

#include <maya/MPxContext.h>

/// Base of plug-in selection tools. Its own handlers select as the host's
/// selection tool does: a press begins a marquee, drags and holds move its
/// far corner, and a release picks from the screen over the rectangle,
/// replacing the selection, or toggling it with Shift, taking away with Ctrl
/// and adding with both. Derived tools reach the marquee itself through
/// beginMarquee, dragMarquee and releaseMarquee.
class MPxSelectionContext : public MPxContext {
 public:
  MPxSelectionContext() = default;

  MStatus doPress(MEvent& event) override;
  MStatus doDrag(MEvent& event) override;
  MStatus doHold(MEvent& event) override;
  MStatus doRelease(MEvent& event) override;

 protected:
  /// Starts a marquee at the event's position.
  MStatus beginMarquee(MEvent& event);
  /// Moves the marquee's far corner to the event's position.
  MStatus dragMarquee(MEvent& event);
  /// Ends the marquee at the event's position and gives its sides in port
  /// pixels (top above bottom, left before right); fails when none was begun.
  MStatus releaseMarquee(MEvent& event, short& top, short& left, short& bottom, short& right);

 private:
  bool m_marquee = false;
  short m_startX = 0;
  short m_startY = 0;
  short m_endX = 0;
  short m_endY = 0;
};
