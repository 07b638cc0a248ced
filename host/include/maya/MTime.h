#pragma once

#include <maya/MStatus.h>

/// A time value with its unit. Conversions between units are exact for the
/// frame-based units (a frame of every integer rate is a whole number of the
/// host's internal ticks, 6000 per second).
class MTime {
 public:
  enum Unit {
    kInvalid,
    kHours,
    kMinutes,
    kSeconds,
    kMilliseconds,
    kGames,      ///< 15 frames per second
    kFilm,       ///< 24 frames per second
    kPALFrame,   ///< 25 frames per second
    kNTSCFrame,  ///< 30 frames per second
    kShowScan,   ///< 48 frames per second
    kPALField,   ///< 50 frames per second
    kNTSCField,  ///< 60 frames per second
    k2FPS,
    k3FPS,
    k4FPS,
    k5FPS,
    k6FPS,
    k8FPS,
    k10FPS,
    k12FPS,
    k16FPS,
    k20FPS,
    k40FPS,
    k75FPS,
    k80FPS,
    k100FPS,
    k120FPS,
    k125FPS,
    k150FPS,
    k200FPS,
    k240FPS,
    k250FPS,
    k300FPS,
    k375FPS,
    k400FPS,
    k500FPS,
    k600FPS,
    k750FPS,
    k1200FPS,
    k1500FPS,
    k2000FPS,
    k3000FPS,
    k6000FPS,
    k23_976FPS,
    k29_97FPS,
    k29_97DF,
    k47_952FPS,
    k59_94FPS,
    k44100FPS,
    k48000FPS,
    kUserDef,
    kLast
  };

  /// Time 0 in the user-interface unit.
  MTime();
  MTime(double value, Unit unit = uiUnit());

  double value() const { return m_value; }
  Unit unit() const { return m_unit; }
  /// The same time expressed in another unit.
  double as(Unit unit) const;
  MStatus setValue(double value) {
    m_value = value;
    return MS::kSuccess;
  }
  /// Changes the unit, converting the value so that the time stays the same.
  MStatus setUnit(Unit unit);

  MTime operator+(const MTime& other) const;
  MTime operator-(const MTime& other) const;
  /// Adds or subtracts a value in this time's own unit.
  MTime operator+(double value) const { return MTime(m_value + value, m_unit); }
  MTime operator-(double value) const { return MTime(m_value - value, m_unit); }
  MTime operator*(double factor) const { return MTime(m_value * factor, m_unit); }
  MTime operator/(double divisor) const { return MTime(m_value / divisor, m_unit); }
  MTime& operator+=(const MTime& other) { return *this = *this + other; }
  MTime& operator-=(const MTime& other) { return *this = *this - other; }
  MTime& operator+=(double value) {
    m_value += value;
    return *this;
  }
  MTime& operator-=(double value) {
    m_value -= value;
    return *this;
  }

  /// Comparisons are between the times, whatever their units.
  bool operator==(const MTime& other) const;
  bool operator!=(const MTime& other) const { return !(*this == other); }
  bool operator<(const MTime& other) const;
  bool operator>(const MTime& other) const { return other < *this; }
  bool operator<=(const MTime& other) const { return !(other < *this); }
  bool operator>=(const MTime& other) const { return !(*this < other); }

  /// The unit the user interface shows time in (kFilm unless changed).
  static Unit uiUnit();
  /// Changes the user-interface unit; raises the "timeUnitChanged" event.
  static MStatus setUIUnit(Unit unit);

  // Host side: ticks (1/6000 s) per unit; 0 for kInvalid and kLast.
  static double ticksPerUnit(Unit unit);

 private:
  double m_value = 0.0;
  Unit m_unit = kFilm;
};
