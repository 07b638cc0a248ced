#pragma once

#include <maya/MStatus.h>

/// An angle with its unit. The host's internal unit is the radian.
class MAngle {
 public:
  enum Unit { kInvalid, kRadians, kDegrees, kAngMinutes, kAngSeconds, kLast };

  MAngle() = default;
  MAngle(double value, Unit unit = kRadians) : m_value(value), m_unit(unit) {}

  double value() const { return m_value; }
  Unit unit() const { return m_unit; }
  double as(Unit unit) const;
  double asRadians() const { return as(kRadians); }
  double asDegrees() const { return as(kDegrees); }
  MStatus setValue(double value) {
    m_value = value;
    return MS::kSuccess;
  }
  MStatus setUnit(Unit unit) {
    m_unit = unit;
    return MS::kSuccess;
  }

  static Unit internalUnit() { return kRadians; }
  /// The unit the user interface shows angles in (kDegrees unless changed).
  static Unit uiUnit();
  /// Changes the user-interface unit; raises the "angularUnitChanged" event.
  static MStatus setUIUnit(Unit unit);
  static double internalToUI(double radians);
  static double uiToInternal(double uiValue);

  // Host side: radians per unit; 0 for kInvalid and kLast.
  static double radiansPerUnit(Unit unit);

 private:
  double m_value = 0.0;
  Unit m_unit = kRadians;
};
