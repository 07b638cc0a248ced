#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

/// Callbacks on named host events. The host raises "timeChanged",
/// "playbackRangeChanged", "linearUnitChanged", "timeUnitChanged",
/// "angularUnitChanged", "SelectionChanged", "NewSceneOpened", "SceneOpened",
/// "SceneSaved" and "idle".
class MEventMessage : public MMessage {
 public:
  /// Installs a callback; an unknown event name fails and returns 0.
  static MCallbackId addEventCallback(const MString& eventName, MMessage::MBasicFunction function,
                                      void* clientData = nullptr, MStatus* status = nullptr);
  static void getEventNames(MStringArray& names);
};
