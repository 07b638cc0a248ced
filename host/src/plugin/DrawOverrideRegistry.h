#pragma once

#include <maya/MDrawRegistry.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MUserData.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zovhost {

class NodeImpl;

/// The registered draw-override creators, keyed by classification and
/// registrant id, and the overrides the viewport made with them: one per
/// node, with the user data its last prepareForDraw returned. An override
/// and its data go with the creator that made them (before its plug-in is
/// closed) and with their node.
class DrawOverrideRegistry {
 public:
  struct Entry {
    MHWRender::MDrawRegistry::DrawOverrideCreator creator = nullptr;
    std::string plugin;
  };
  using Key = std::pair<std::string, std::string>;

  /// A node's override.
  struct Instance {
    std::weak_ptr<NodeImpl> node;
    MHWRender::MDrawRegistry::DrawOverrideCreator creator = nullptr;
    std::unique_ptr<MHWRender::MPxDrawOverride> drawOverride;
    std::unique_ptr<MHWRender::MUserData> data;
  };

  DrawOverrideRegistry() = default;
  DrawOverrideRegistry(const DrawOverrideRegistry&) = delete;
  DrawOverrideRegistry& operator=(const DrawOverrideRegistry&) = delete;
  ~DrawOverrideRegistry();

  bool add(const Key& key, const Entry& entry) { return m_entries.emplace(key, entry).second; }
  bool remove(const Key& key);
  /// The creator registered for a classification (the first registrant's), or null.
  MHWRender::MDrawRegistry::DrawOverrideCreator find(const std::string& classification) const;
  void removePlugin(const std::string& plugin);
  void clear();
  size_t size() const { return m_entries.size(); }

  /// The override of a node of a classification, made on first request;
  /// null when no creator is registered or the creator made none.
  Instance* instanceFor(const std::shared_ptr<NodeImpl>& node, const std::string& classification);
  /// Drops the overrides of nodes no longer in the scene.
  void dropLeftNodes();
  size_t instanceCount() const { return m_instances.size(); }

 private:
  void dropInstancesOf(MHWRender::MDrawRegistry::DrawOverrideCreator creator);

  std::map<Key, Entry> m_entries;
  std::vector<std::unique_ptr<Instance>> m_instances;
};

/// The draw overrides the plug-ins registered; owned by the host's composition root.
DrawOverrideRegistry& drawOverrideRegistry();

}  // namespace zovhost
