// Time values, their units and the frame rates of the named units.
#include <maya/MTime.h>

#include "core/UnitSettings.h"

#include <cmath>

namespace {

// The host's internal time resolution.
constexpr double kTicksPerSecond = 6000.0;
// Times closer than this many ticks are the same time.
constexpr double kTickTolerance = 1.0e-6;

constexpr double kFixedRates[] = {2,   3,   4,   5,   6,   8,   10,  12,  16,  20,  40,   75,   80,   100,  120, 125,
                                  150, 200, 240, 250, 300, 375, 400, 500, 600, 750, 1200, 1500, 2000, 3000, 6000};

double framesPerSecond(MTime::Unit unit) {
  switch (unit) {
    case MTime::kGames:
      return 15.0;
    case MTime::kFilm:
      return 24.0;
    case MTime::kPALFrame:
      return 25.0;
    case MTime::kNTSCFrame:
      return 30.0;
    case MTime::kShowScan:
      return 48.0;
    case MTime::kPALField:
      return 50.0;
    case MTime::kNTSCField:
      return 60.0;
    case MTime::k23_976FPS:
      return 24000.0 / 1001.0;
    case MTime::k29_97FPS:
    case MTime::k29_97DF:
      return 30000.0 / 1001.0;
    case MTime::k47_952FPS:
      return 48000.0 / 1001.0;
    case MTime::k59_94FPS:
      return 60000.0 / 1001.0;
    case MTime::k44100FPS:
      return 44100.0;
    case MTime::k48000FPS:
      return 48000.0;
    case MTime::kUserDef:
      return 24.0;
    default:
      break;
  }
  if (unit >= MTime::k2FPS && unit <= MTime::k6000FPS) return kFixedRates[unit - MTime::k2FPS];
  return 0.0;
}

}  // namespace

MTime::MTime() : m_value(0.0), m_unit(uiUnit()) {}

MTime::MTime(double value, Unit unit) : m_value(value), m_unit(unit) {}

double MTime::ticksPerUnit(Unit unit) {
  switch (unit) {
    case kHours:
      return kTicksPerSecond * 3600.0;
    case kMinutes:
      return kTicksPerSecond * 60.0;
    case kSeconds:
      return kTicksPerSecond;
    case kMilliseconds:
      return kTicksPerSecond / 1000.0;
    default:
      break;
  }
  const double fps = framesPerSecond(unit);
  return fps > 0.0 ? kTicksPerSecond / fps : 0.0;
}

double MTime::as(Unit unit) const {
  const double to = ticksPerUnit(unit);
  if (to == 0.0) return 0.0;
  return m_value * ticksPerUnit(m_unit) / to;
}

MStatus MTime::setUnit(Unit unit) {
  if (ticksPerUnit(unit) == 0.0) return MS::kInvalidParameter;
  m_value = as(unit);
  m_unit = unit;
  return MS::kSuccess;
}

MTime MTime::operator+(const MTime& other) const { return MTime(m_value + other.as(m_unit), m_unit); }
MTime MTime::operator-(const MTime& other) const { return MTime(m_value - other.as(m_unit), m_unit); }

bool MTime::operator==(const MTime& other) const {
  return std::fabs(m_value * ticksPerUnit(m_unit) - other.m_value * ticksPerUnit(other.m_unit)) <= kTickTolerance;
}

bool MTime::operator<(const MTime& other) const {
  return m_value * ticksPerUnit(m_unit) < other.m_value * ticksPerUnit(other.m_unit) - kTickTolerance;
}

MTime::Unit MTime::uiUnit() { return zovhost::unitSettings().timeUnit(); }

MStatus MTime::setUIUnit(Unit unit) {
  if (ticksPerUnit(unit) == 0.0) return MS::kInvalidParameter;
  zovhost::unitSettings().setTimeUnit(unit);
  return MS::kSuccess;
}
