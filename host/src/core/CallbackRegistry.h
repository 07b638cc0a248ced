#pragma once

#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MTypes.h>

#include <map>
#include <string>
#include <vector>

namespace zovhost {

/// Every installed callback, keyed by id in installation order, and the
/// raising of events, node messages and scene messages.
class CallbackRegistry {
 public:
  /// Returns 0 when the event name is not one the host raises.
  MCallbackId addEvent(const std::string& event, MMessage::MBasicFunction function, void* clientData);
  /// typeName "dependNode" matches every node; otherwise the type or a base type.
  MCallbackId addNodeAdded(const std::string& typeName, MMessage::MNodeFunction function, void* clientData);
  MCallbackId addNodeRemoved(const std::string& typeName, MMessage::MNodeFunction function, void* clientData);
  MCallbackId addScene(int message, MMessage::MBasicFunction function, void* clientData);
  /// A null node watches every node.
  MCallbackId addNameChanged(const MObject& node, MMessage::MNodeStringFunction function, void* clientData);
  bool remove(MCallbackId id);
  bool contains(MCallbackId id) const { return m_records.count(id) != 0; }
  size_t size() const { return m_records.size(); }
  void clear() { m_records.clear(); }
  /// Removes the callbacks whose function lies in the module loaded at base;
  /// returns how many.
  size_t removeFunctionsIn(const void* base);

  void raiseEvent(const std::string& event);
  /// typeNames: the node's type name and those of its bases, which the
  /// callbacks' filters are matched against.
  void raiseNodeAdded(const MObject& node, const std::vector<std::string>& typeNames);
  void raiseNodeRemoved(const MObject& node, const std::vector<std::string>& typeNames);
  void raiseScene(int message);
  /// The node, under its new name, had the name `previous`.
  void raiseNameChanged(const MObject& node, const std::string& previous);
  MCallbackId current() const { return m_current; }

  /// The events the host raises.
  static const std::vector<std::string>& knownEvents();
  static bool isKnownEvent(const std::string& event);

 private:
  enum class Kind { Event, NodeAdded, NodeRemoved, Scene, NameChanged };
  struct Record {
    Kind kind;
    std::string name;  // event name or node type filter
    int message = 0;
    MMessage::MBasicFunction basic = nullptr;
    MMessage::MNodeFunction node = nullptr;
    MMessage::MNodeStringFunction named = nullptr;
    /// The node a name-changed record watches; null for every node.
    MObject watched = MObject();
    void* clientData = nullptr;
  };

  MCallbackId add(Record record);
  /// A node-added or node-removed record; an empty type name means every node.
  MCallbackId addNode(Kind kind, const std::string& typeName, MMessage::MNodeFunction function, void* clientData);
  void raiseNode(Kind kind, const MObject& node, const std::vector<std::string>& typeNames);
  /// Calls `call(record)` for each record that `wanted(record)` picks.
  template <typename Wanted, typename Call>
  void raise(Wanted wanted, Call call);

  std::map<MCallbackId, Record> m_records;
  MCallbackId m_nextId = 1;
  MCallbackId m_current = 0;
};

/// The callbacks the API installs and raises; owned by the host's composition root.
CallbackRegistry& callbackRegistry();

}  // namespace zovhost
