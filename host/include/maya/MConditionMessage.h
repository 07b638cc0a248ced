#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>

/// Host conditions by name. Known here: "playingBack", "scrubbing" and
/// "busy" (a long operation such as playback runs).
class MConditionMessage : public MMessage {
 public:
  /// The state of a condition; false (with kInvalidParameter) for an unknown name.
  static bool getConditionState(const MString& name, MStatus* status = nullptr);
};
