// Angles and their units.
#include <maya/MAngle.h>

#include "core/UnitSettings.h"
#include "mathtypes/Constants.h"

using zovhost::kPi;

double MAngle::radiansPerUnit(Unit unit) {
  switch (unit) {
    case kRadians:
      return 1.0;
    case kDegrees:
      return kPi / 180.0;
    case kAngMinutes:
      return kPi / (180.0 * 60.0);
    case kAngSeconds:
      return kPi / (180.0 * 3600.0);
    default:
      return 0.0;
  }
}

double MAngle::as(Unit unit) const {
  const double to = radiansPerUnit(unit);
  return to == 0.0 ? 0.0 : m_value * radiansPerUnit(m_unit) / to;
}

MAngle::Unit MAngle::uiUnit() { return zovhost::unitSettings().angleUnit(); }

MStatus MAngle::setUIUnit(Unit unit) {
  if (radiansPerUnit(unit) == 0.0) return MS::kInvalidParameter;
  zovhost::unitSettings().setAngleUnit(unit);
  return MS::kSuccess;
}

double MAngle::internalToUI(double radians) { return MAngle(radians).as(uiUnit()); }
double MAngle::uiToInternal(double uiValue) { return MAngle(uiValue, uiUnit()).asRadians(); }
