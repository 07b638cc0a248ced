#pragma once

#include <maya/MStatus.h>

/// A mouse event in a 3D view, as a tool context receives it: the position
/// in the view's port (pixels, origin at the bottom left, y up) and the
/// modifier keys held.
class MEvent {
 public:
  /// Modifier keys, as bits.
  enum ModifierType { shiftKey = 1 << 0, controlKey = 1 << 2 };

  MEvent() = default;
  MEvent(short x, short y, int modifiers = 0) : m_x(x), m_y(y), m_modifiers(modifiers) {}

  MStatus getPosition(short& x, short& y) const {
    x = m_x;
    y = m_y;
    return MS::kSuccess;
  }
  MStatus setPosition(short x, short y) {
    m_x = x;
    m_y = y;
    return MS::kSuccess;
  }
  bool isModifierShift() const { return (m_modifiers & shiftKey) != 0; }
  bool isModifierControl() const { return (m_modifiers & controlKey) != 0; }
  bool isModifierNone() const { return m_modifiers == 0; }
  int modifiers() const { return m_modifiers; }

 private:
  short m_x = 0;
  short m_y = 0;
  int m_modifiers = 0;
};
