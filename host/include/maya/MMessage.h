#pragma once

#include <maya/MCallbackIdArray.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypes.h>

/// Base of the message classes: callback signatures and callback removal.
/// A removed callback never runs again, even when it is removed while the
/// message it was installed for is being raised.
class MMessage {
 public:
  typedef void (*MBasicFunction)(void* clientData);
  typedef void (*MNodeFunction)(MObject& node, void* clientData);
  /// A node and a text about it (a node-renamed callback's previous name).
  typedef void (*MNodeStringFunction)(MObject& node, const MString& text, void* clientData);

  /// Removes an installed callback; fails for an unknown id.
  static MStatus removeCallback(MCallbackId id);
  static MStatus removeCallbacks(MCallbackIdArray& ids);
  /// The id of the callback now running (0 when none).
  static MCallbackId currentCallbackId(MStatus* status = nullptr);
};
