#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>

/// Host conditions by name. Known here: "playingBack" and "scrubbing".
class MConditionMessage : public MMessage {
 public:
  /// The state of a condition; false (with kInvalidParameter) for an unknown name.
  static bool getConditionState(const MString& name, MStatus* status = nullptr);
};
