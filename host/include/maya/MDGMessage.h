#pragma once

#include <maya/MMessage.h>
#include <maya/MString.h>

/// Callbacks on nodes entering and leaving the dependency graph. The node
/// type filter is a type name, a base type name, or "dependNode" for every
/// node. A node-removed callback runs while the node still exists with its
/// connections; a node-added callback runs once it is in the graph.
class MDGMessage : public MMessage {
 public:
  static MCallbackId addNodeAddedCallback(MMessage::MNodeFunction function, const MString& nodeType = "dependNode",
                                          void* clientData = nullptr, MStatus* status = nullptr);
  static MCallbackId addNodeRemovedCallback(MMessage::MNodeFunction function, const MString& nodeType = "dependNode",
                                            void* clientData = nullptr, MStatus* status = nullptr);
};
