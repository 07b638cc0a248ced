#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MTime.h>

#include <cstddef>
#include <string>

namespace zovhost {

/// A unit as commands and scene files name it: its short and long names and
/// its value in the unit type's enum.
struct UnitName {
  const char* shortName;
  const char* longName;
  int unit;
};

inline constexpr UnitName kLinearUnits[] = {{"mm", "millimeter", MDistance::kMillimeters},
                                            {"cm", "centimeter", MDistance::kCentimeters},
                                            {"m", "meter", MDistance::kMeters},
                                            {"km", "kilometer", MDistance::kKilometers},
                                            {"in", "inch", MDistance::kInches},
                                            {"ft", "foot", MDistance::kFeet},
                                            {"yd", "yard", MDistance::kYards},
                                            {"mi", "mile", MDistance::kMiles}};
inline constexpr UnitName kTimeUnits[] = {{"game", "game", MTime::kGames},
                                          {"film", "film", MTime::kFilm},
                                          {"pal", "pal", MTime::kPALFrame},
                                          {"ntsc", "ntsc", MTime::kNTSCFrame},
                                          {"show", "show", MTime::kShowScan},
                                          {"palf", "palf", MTime::kPALField},
                                          {"ntscf", "ntscf", MTime::kNTSCField},
                                          {"sec", "second", MTime::kSeconds},
                                          {"min", "minute", MTime::kMinutes},
                                          {"hour", "hour", MTime::kHours},
                                          {"millisec", "millisecond", MTime::kMilliseconds}};
inline constexpr UnitName kAngleUnits[] = {{"deg", "degree", MAngle::kDegrees}, {"rad", "radian", MAngle::kRadians}};

/// The unit of the table that goes by `name` (short or long); false, with
/// `unit` untouched, when none does.
template <std::size_t N>
bool unitByName(const UnitName (&table)[N], const std::string& name, int& unit) {
  for (const UnitName& entry : table)
    if (name == entry.shortName || name == entry.longName) {
      unit = entry.unit;
      return true;
    }
  return false;
}

/// The unit's long or short name; empty for a unit the table does not hold.
template <std::size_t N>
std::string nameOfUnit(const UnitName (&table)[N], int unit, bool fullName) {
  for (const UnitName& entry : table)
    if (entry.unit == unit) return fullName ? entry.longName : entry.shortName;
  return std::string();
}

}  // namespace zovhost
