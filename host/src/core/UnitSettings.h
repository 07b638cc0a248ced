#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MTime.h>

namespace zovhost {

class CallbackRegistry;

/// The user-interface units of time, distance and angle. A change raises
/// "timeUnitChanged", "linearUnitChanged" or "angularUnitChanged" when the
/// unit actually changes; invalid units are ignored.
class UnitSettings {
 public:
  explicit UnitSettings(CallbackRegistry& callbacks) : m_callbacks(callbacks) {}

  MTime::Unit timeUnit() const { return m_timeUnit; }
  MDistance::Unit linearUnit() const { return m_linearUnit; }
  MAngle::Unit angleUnit() const { return m_angleUnit; }
  void setTimeUnit(MTime::Unit unit);
  void setLinearUnit(MDistance::Unit unit);
  void setAngleUnit(MAngle::Unit unit);
  /// Back to film, centimetres and degrees, raising nothing.
  void reset();

 private:
  CallbackRegistry& m_callbacks;
  MTime::Unit m_timeUnit = MTime::kFilm;
  MDistance::Unit m_linearUnit = MDistance::kCentimeters;
  MAngle::Unit m_angleUnit = MAngle::kDegrees;
};

/// The units the API's values use; owned by the host's composition root.
UnitSettings& unitSettings();

}  // namespace zovhost
