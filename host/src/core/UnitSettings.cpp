#include "core/UnitSettings.h"

#include "core/CallbackRegistry.h"

namespace zovhost {

void UnitSettings::setTimeUnit(MTime::Unit unit) {
  if (unit == m_timeUnit || unit == MTime::kInvalid || unit == MTime::kLast) return;
  m_timeUnit = unit;
  m_callbacks.raiseEvent("timeUnitChanged");
}

void UnitSettings::setLinearUnit(MDistance::Unit unit) {
  if (unit == m_linearUnit || unit == MDistance::kInvalid || unit == MDistance::kLast) return;
  m_linearUnit = unit;
  m_callbacks.raiseEvent("linearUnitChanged");
}

void UnitSettings::setAngleUnit(MAngle::Unit unit) {
  if (unit == m_angleUnit || unit == MAngle::kInvalid || unit == MAngle::kLast) return;
  m_angleUnit = unit;
  m_callbacks.raiseEvent("angularUnitChanged");
}

void UnitSettings::reset() {
  m_timeUnit = MTime::kFilm;
  m_linearUnit = MDistance::kCentimeters;
  m_angleUnit = MAngle::kDegrees;
}

}  // namespace zovhost
