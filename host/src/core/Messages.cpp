// The message classes: installing callbacks through the host's registry.
#include <maya/MDGMessage.h>
#include <maya/MEventMessage.h>
#include <maya/MNodeMessage.h>
#include <maya/MSceneMessage.h>

#include "core/CallbackRegistry.h"
#include "mathtypes/StatusOut.h"

using zovhost::callbackRegistry;
using zovhost::setStatus;

namespace {

MCallbackId result(MCallbackId id, MStatus* status) {
  setStatus(status, id ? MS::kSuccess : MS::kFailure);
  return id;
}

}  // namespace

MStatus MMessage::removeCallback(MCallbackId id) { return callbackRegistry().remove(id) ? MS::kSuccess : MS::kFailure; }

MStatus MMessage::removeCallbacks(MCallbackIdArray& ids) {
  MStatus status;
  for (unsigned int i = 0; i < ids.length(); ++i)
    if (!removeCallback(ids[i])) status = MS::kFailure;
  return status;
}

MCallbackId MMessage::currentCallbackId(MStatus* status) {
  setStatus(status, MS::kSuccess);
  return callbackRegistry().current();
}

MCallbackId MEventMessage::addEventCallback(const MString& eventName, MMessage::MBasicFunction function,
                                            void* clientData, MStatus* status) {
  return result(callbackRegistry().addEvent(eventName.str(), function, clientData), status);
}

void MEventMessage::getEventNames(MStringArray& names) {
  names.clear();
  for (const std::string& name : zovhost::CallbackRegistry::knownEvents()) names.append(MString(name));
}

MCallbackId MDGMessage::addNodeAddedCallback(MMessage::MNodeFunction function, const MString& nodeType,
                                             void* clientData, MStatus* status) {
  return result(callbackRegistry().addNodeAdded(nodeType.str(), function, clientData), status);
}

MCallbackId MDGMessage::addNodeRemovedCallback(MMessage::MNodeFunction function, const MString& nodeType,
                                               void* clientData, MStatus* status) {
  return result(callbackRegistry().addNodeRemoved(nodeType.str(), function, clientData), status);
}

MCallbackId MNodeMessage::addNameChangedCallback(MObject& node, MMessage::MNodeStringFunction function,
                                                 void* clientData, MStatus* status) {
  return result(callbackRegistry().addNameChanged(node, function, clientData), status);
}

MCallbackId MSceneMessage::addCallback(Message message, MMessage::MBasicFunction function, void* clientData,
                                       MStatus* status) {
  if (message < kSceneUpdate || message >= kLast) return result(0, status);
  return result(callbackRegistry().addScene(message, function, clientData), status);
}
