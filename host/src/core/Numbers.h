#pragma once

#include <cmath>
#include <limits>

namespace zovhost {

/// A number as an integer type: the fraction dropped, values beyond the
/// type's range held at its ends and NaN taken as 0, where a plain cast would
/// be undefined.
template <typename Int>
Int toInteger(double value) {
  if (std::isnan(value)) return 0;
  const double truncated = std::trunc(value);
  if (truncated <= static_cast<double>(std::numeric_limits<Int>::lowest())) return std::numeric_limits<Int>::lowest();
  if (truncated >= static_cast<double>(std::numeric_limits<Int>::max())) return std::numeric_limits<Int>::max();
  return static_cast<Int>(truncated);
}

}  // namespace zovhost
