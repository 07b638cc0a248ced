#include "plugin/DrawOverrideRegistry.h"

#include <maya/MDrawRegistry.h>

#include <algorithm>

#include "dg/NodeImpl.h"
#include "plugin/PluginManager.h"

namespace zovhost {

DrawOverrideRegistry::~DrawOverrideRegistry() = default;

bool DrawOverrideRegistry::remove(const Key& key) {
  const auto found = m_entries.find(key);
  if (found == m_entries.end()) return false;
  dropInstancesOf(found->second.creator);
  m_entries.erase(found);
  return true;
}

void DrawOverrideRegistry::clear() {
  m_instances.clear();
  m_entries.clear();
}

DrawOverrideRegistry::Instance* DrawOverrideRegistry::instanceFor(const std::shared_ptr<NodeImpl>& node,
                                                                  const std::string& classification) {
  const auto creator = find(classification);
  if (!node || !creator) return nullptr;
  for (const auto& instance : m_instances)
    if (instance->node.lock() == node && instance->creator == creator) return instance.get();
  std::unique_ptr<MHWRender::MPxDrawOverride> made(creator(MObject(node)));
  if (!made) return nullptr;
  auto instance = std::make_unique<Instance>();
  instance->node = node;
  instance->creator = creator;
  instance->drawOverride = std::move(made);
  m_instances.push_back(std::move(instance));
  return m_instances.back().get();
}

void DrawOverrideRegistry::dropLeftNodes() {
  m_instances.erase(std::remove_if(m_instances.begin(), m_instances.end(),
                                   [](const std::unique_ptr<Instance>& instance) {
                                     const auto node = instance->node.lock();
                                     return !node || !node->inGraph;
                                   }),
                    m_instances.end());
}

void DrawOverrideRegistry::dropInstancesOf(MHWRender::MDrawRegistry::DrawOverrideCreator creator) {
  m_instances.erase(
      std::remove_if(m_instances.begin(), m_instances.end(),
                     [creator](const std::unique_ptr<Instance>& instance) { return instance->creator == creator; }),
      m_instances.end());
}

MHWRender::MDrawRegistry::DrawOverrideCreator DrawOverrideRegistry::find(const std::string& classification) const {
  for (const auto& [key, entry] : m_entries)
    if (key.first == classification) return entry.creator;
  return nullptr;
}

void DrawOverrideRegistry::removePlugin(const std::string& plugin) {
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    if (it->second.plugin != plugin) {
      ++it;
      continue;
    }
    dropInstancesOf(it->second.creator);
    it = m_entries.erase(it);
  }
}

}  // namespace zovhost

namespace MHWRender {

MStatus MDrawRegistry::registerDrawOverrideCreator(const MString& drawClassification, const MString& registrantId,
                                                   DrawOverrideCreator creator) {
  using zovhost::drawOverrideRegistry;
  using zovhost::pluginManager;
  if (!creator || drawClassification.length() == 0) return MS::kInvalidParameter;
  if (!pluginManager().allowsRegistration(drawClassification.str())) return MS::kFailure;
  zovhost::DrawOverrideRegistry::Entry entry;
  entry.creator = creator;
  entry.plugin = pluginManager().current();
  if (!drawOverrideRegistry().add({drawClassification.str(), registrantId.str()}, entry)) return MS::kFailure;
  return MS::kSuccess;
}

MStatus MDrawRegistry::deregisterDrawOverrideCreator(const MString& drawClassification, const MString& registrantId) {
  return zovhost::drawOverrideRegistry().remove({drawClassification.str(), registrantId.str()}) ? MS::kSuccess
                                                                                                : MS::kFailure;
}

}  // namespace MHWRender
