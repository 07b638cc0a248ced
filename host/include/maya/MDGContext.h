#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

/// The context of a graph evaluation: the normal context (the current time)
/// or another time. Plugs read in a timed context give the values they
/// have at that time; the scene stays at its current time.
class MDGContext {
 public:
  MDGContext() = default;
  explicit MDGContext(const MTime& when) : m_timed(true), m_time(when) {}
  bool isNormal() const { return !m_timed; }
  /// The context's time; fails for the normal context.
  MStatus getTime(MTime& when) const {
    if (!m_timed) return MS::kFailure;
    when = m_time;
    return MS::kSuccess;
  }
  static MDGContext fsNormal;

 private:
  bool m_timed = false;
  MTime m_time;
};
