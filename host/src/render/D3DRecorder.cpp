#include "render/D3DRecorder.h"

namespace zovhost::d3d {

unsigned Recorder::add(ObjectBase* object, ObjectKind kind, unsigned references) {
  const unsigned id = static_cast<unsigned>(objects.size()) + 1;
  objects.push_back({id, kind, references});
  m_live[object->unknown()] = object;
  return id;
}

void Recorder::setReferences(unsigned id, unsigned references) {
  if (id > 0 && id <= objects.size()) objects[id - 1].references = references;
}

void Recorder::remove(unsigned id) {
  for (auto entry = m_live.begin(); entry != m_live.end(); ++entry)
    if (entry->second->id() == id) {
      m_live.erase(entry);
      return;
    }
}

ObjectBase* Recorder::find(const IUnknown* pointer) const {
  const auto entry = m_live.find(pointer);
  return entry == m_live.end() ? nullptr : entry->second;
}

ObjectBase* Recorder::live(unsigned id) const {
  for (const auto& entry : m_live)
    if (entry.second->id() == id) return entry.second;
  return nullptr;
}

unsigned Recorder::idOf(const IUnknown* pointer) const {
  const ObjectBase* object = find(pointer);
  return object ? object->id() : 0;
}

Call& Recorder::record(const std::string& function, unsigned object) {
  calls.push_back({});
  calls.back().function = function;
  calls.back().object = object;
  return calls.back();
}

bool Recorder::takeFailure(const std::string& function) {
  const auto entry = injectedFailures.find(function);
  if (entry == injectedFailures.end() || entry->second == 0) return false;
  if (--entry->second == 0) injectedFailures.erase(entry);
  return true;
}

void Recorder::clear() {
  calls.clear();
  draws.clear();
  injectedFailures.clear();
  failingTargets.clear();
}

}  // namespace zovhost::d3d
