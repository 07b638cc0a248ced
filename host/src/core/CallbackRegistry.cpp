#include "core/CallbackRegistry.h"

#include <dlfcn.h>

#include <algorithm>

namespace zovhost {

const std::vector<std::string>& CallbackRegistry::knownEvents() {
  static const std::vector<std::string> events = {
      "timeChanged",      "playbackRangeChanged", "linearUnitChanged", "timeUnitChanged", "angularUnitChanged",
      "SelectionChanged", "NewSceneOpened",       "SceneOpened",       "SceneSaved",      "idle"};
  return events;
}

bool CallbackRegistry::isKnownEvent(const std::string& event) {
  const auto& events = knownEvents();
  return std::find(events.begin(), events.end(), event) != events.end();
}

MCallbackId CallbackRegistry::add(Record record) {
  const MCallbackId id = m_nextId++;
  m_records.emplace(id, std::move(record));
  return id;
}

MCallbackId CallbackRegistry::addEvent(const std::string& event, MMessage::MBasicFunction function, void* clientData) {
  if (!function || !isKnownEvent(event)) return 0;
  Record record{Kind::Event, event};
  record.basic = function;
  record.clientData = clientData;
  return add(std::move(record));
}

MCallbackId CallbackRegistry::addNodeAdded(const std::string& typeName, MMessage::MNodeFunction function,
                                           void* clientData) {
  return addNode(Kind::NodeAdded, typeName, function, clientData);
}

MCallbackId CallbackRegistry::addNodeRemoved(const std::string& typeName, MMessage::MNodeFunction function,
                                             void* clientData) {
  return addNode(Kind::NodeRemoved, typeName, function, clientData);
}

MCallbackId CallbackRegistry::addNode(Kind kind, const std::string& typeName, MMessage::MNodeFunction function,
                                      void* clientData) {
  if (!function) return 0;
  Record record{kind, typeName.empty() ? "dependNode" : typeName};
  record.node = function;
  record.clientData = clientData;
  return add(std::move(record));
}

MCallbackId CallbackRegistry::addScene(int message, MMessage::MBasicFunction function, void* clientData) {
  if (!function) return 0;
  Record record{Kind::Scene, std::string()};
  record.message = message;
  record.basic = function;
  record.clientData = clientData;
  return add(std::move(record));
}

MCallbackId CallbackRegistry::addNameChanged(const MObject& node, MMessage::MNodeStringFunction function,
                                             void* clientData) {
  if (!function) return 0;
  Record record{Kind::NameChanged, std::string()};
  record.named = function;
  record.watched = node;
  record.clientData = clientData;
  return add(std::move(record));
}

bool CallbackRegistry::remove(MCallbackId id) { return m_records.erase(id) != 0; }

size_t CallbackRegistry::removeFunctionsIn(const void* base) {
  size_t removed = 0;
  for (auto it = m_records.begin(); it != m_records.end();) {
    const Record& record = it->second;
    void* function = record.basic   ? reinterpret_cast<void*>(record.basic)
                     : record.named ? reinterpret_cast<void*>(record.named)
                                    : reinterpret_cast<void*>(record.node);
    Dl_info info{};
    if (dladdr(function, &info) != 0 && info.dli_fbase == base) {
      it = m_records.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  return removed;
}

namespace {

/// Sets the running callback's id for the life of the guard.
class CurrentCallback {
 public:
  CurrentCallback(MCallbackId& slot, MCallbackId id) : m_slot(slot), m_previous(slot) { m_slot = id; }
  ~CurrentCallback() { m_slot = m_previous; }

 private:
  MCallbackId& m_slot;
  MCallbackId m_previous;
};

}  // namespace

// Each raise takes the ids first and looks every record up again before its
// call, so that a callback removed by an earlier one does not run, and one
// installed meanwhile waits for the next time.
template <typename Wanted, typename Call>
void CallbackRegistry::raise(Wanted wanted, Call call) {
  std::vector<MCallbackId> ids;
  for (const auto& [id, record] : m_records)
    if (wanted(record)) ids.push_back(id);
  for (MCallbackId id : ids) {
    const auto found = m_records.find(id);
    if (found == m_records.end()) continue;
    const Record record = found->second;
    CurrentCallback running(m_current, id);
    call(record);
  }
}

void CallbackRegistry::raiseEvent(const std::string& event) {
  raise([&event](const Record& record) { return record.kind == Kind::Event && record.name == event; },
        [](const Record& record) { record.basic(record.clientData); });
}

void CallbackRegistry::raiseScene(int message) {
  raise([message](const Record& record) { return record.kind == Kind::Scene && record.message == message; },
        [](const Record& record) { record.basic(record.clientData); });
}

void CallbackRegistry::raiseNameChanged(const MObject& node, const std::string& previous) {
  const MString text(previous);
  raise(
      [&node](const Record& record) {
        return record.kind == Kind::NameChanged && (record.watched.isNull() || record.watched == node);
      },
      [&node, &text](const Record& record) {
        MObject object(node);
        record.named(object, text, record.clientData);
      });
}

void CallbackRegistry::raiseNode(Kind kind, const MObject& node, const std::vector<std::string>& typeNames) {
  const auto matches = [&typeNames](const std::string& filter) {
    return filter == "dependNode" || std::find(typeNames.begin(), typeNames.end(), filter) != typeNames.end();
  };
  raise([kind, &matches](const Record& record) { return record.kind == kind && matches(record.name); },
        [&node](const Record& record) {
          MObject object(node);
          record.node(object, record.clientData);
        });
}

void CallbackRegistry::raiseNodeAdded(const MObject& node, const std::vector<std::string>& typeNames) {
  raiseNode(Kind::NodeAdded, node, typeNames);
}
void CallbackRegistry::raiseNodeRemoved(const MObject& node, const std::vector<std::string>& typeNames) {
  raiseNode(Kind::NodeRemoved, node, typeNames);
}

}  // namespace zovhost
