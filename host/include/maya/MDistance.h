#pragma once

#include <maya/MStatus.h>

/// A length with its unit. The host's internal unit is the centimetre.
class MDistance {
 public:
  enum Unit { kInvalid, kInches, kFeet, kYards, kMiles, kMillimeters, kCentimeters, kKilometers, kMeters, kLast };

  MDistance() = default;
  MDistance(double value, Unit unit = kCentimeters) : m_value(value), m_unit(unit) {}

  double value() const { return m_value; }
  Unit unit() const { return m_unit; }
  double as(Unit unit) const;
  double asCentimeters() const { return as(kCentimeters); }
  double asMeters() const { return as(kMeters); }
  double asInches() const { return as(kInches); }
  MStatus setValue(double value) {
    m_value = value;
    return MS::kSuccess;
  }
  MStatus setUnit(Unit unit) {
    m_unit = unit;
    return MS::kSuccess;
  }

  static Unit internalUnit() { return kCentimeters; }
  /// The unit the user interface shows lengths in (kCentimeters unless changed).
  static Unit uiUnit();
  /// Changes the user-interface unit; raises the "linearUnitChanged" event.
  static MStatus setUIUnit(Unit unit);
  /// Converts a value between the internal unit and the user-interface unit.
  static double internalToUI(double internalValue);
  static double uiToInternal(double uiValue);

  // Host side: centimetres per unit; 0 for kInvalid and kLast.
  static double centimetresPerUnit(Unit unit);

 private:
  double m_value = 0.0;
  Unit m_unit = kCentimeters;
};
