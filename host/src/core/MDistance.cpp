// Distances and their units.
#include <maya/MDistance.h>

#include "core/UnitSettings.h"

double MDistance::centimetresPerUnit(Unit unit) {
  switch (unit) {
    case kInches:
      return 2.54;
    case kFeet:
      return 30.48;
    case kYards:
      return 91.44;
    case kMiles:
      return 160934.4;
    case kMillimeters:
      return 0.1;
    case kCentimeters:
      return 1.0;
    case kKilometers:
      return 100000.0;
    case kMeters:
      return 100.0;
    default:
      return 0.0;
  }
}

double MDistance::as(Unit unit) const {
  const double to = centimetresPerUnit(unit);
  return to == 0.0 ? 0.0 : m_value * centimetresPerUnit(m_unit) / to;
}

MDistance::Unit MDistance::uiUnit() { return zovhost::unitSettings().linearUnit(); }

MStatus MDistance::setUIUnit(Unit unit) {
  if (centimetresPerUnit(unit) == 0.0) return MS::kInvalidParameter;
  zovhost::unitSettings().setLinearUnit(unit);
  return MS::kSuccess;
}

double MDistance::internalToUI(double internalValue) { return MDistance(internalValue).as(uiUnit()); }
double MDistance::uiToInternal(double uiValue) { return MDistance(uiValue, uiUnit()).asCentimeters(); }
