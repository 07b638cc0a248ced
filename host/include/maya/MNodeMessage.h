#pragma once

#include <maya/MMessage.h>
#include <maya/MObject.h>

/// Callbacks on one node, or on every node.
class MNodeMessage : public MMessage {
 public:
  /// The function runs each time the node's name changes, given the node
  /// under its new name and the name it had; a null node watches every
  /// node. A node that an imported file names with a name already taken gets
  /// another: the callback is told as for a rename, the file's name the
  /// previous one, once the file is read.
  static MCallbackId addNameChangedCallback(MObject& node, MMessage::MNodeStringFunction function,
                                            void* clientData = nullptr, MStatus* status = nullptr);
};
