#pragma once

#include <maya/MDrawRegistry.h>

#include <map>
#include <string>
#include <utility>

namespace zovhost {

/// The registered draw-override creators, keyed by classification and registrant id.
class DrawOverrideRegistry {
 public:
  struct Entry {
    MHWRender::MDrawRegistry::DrawOverrideCreator creator = nullptr;
    std::string plugin;
  };
  using Key = std::pair<std::string, std::string>;

  bool add(const Key& key, const Entry& entry) { return m_entries.emplace(key, entry).second; }
  bool remove(const Key& key) { return m_entries.erase(key) != 0; }
  /// The creator registered for a classification (the first registrant's), or null.
  MHWRender::MDrawRegistry::DrawOverrideCreator find(const std::string& classification) const;
  void removePlugin(const std::string& plugin);
  void clear() { m_entries.clear(); }
  size_t size() const { return m_entries.size(); }

 private:
  std::map<Key, Entry> m_entries;
};

/// The draw overrides the plug-ins registered; owned by the host's composition root.
DrawOverrideRegistry& drawOverrideRegistry();

}  // namespace zovhost
