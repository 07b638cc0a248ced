#pragma once

#include <maya/MStatus.h>

namespace zovhost {

/// Writes `value` to the caller's optional status.
inline void setStatus(MStatus* status, MStatus value) {
  if (status) *status = value;
}

}  // namespace zovhost
