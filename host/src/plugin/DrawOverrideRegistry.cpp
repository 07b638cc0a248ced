#include "plugin/DrawOverrideRegistry.h"

#include <maya/MDrawRegistry.h>

#include "plugin/PluginManager.h"

namespace zovhost {

MHWRender::MDrawRegistry::DrawOverrideCreator DrawOverrideRegistry::find(const std::string& classification) const {
  for (const auto& [key, entry] : m_entries)
    if (key.first == classification) return entry.creator;
  return nullptr;
}

void DrawOverrideRegistry::removePlugin(const std::string& plugin) {
  for (auto it = m_entries.begin(); it != m_entries.end();)
    it = it->second.plugin == plugin ? m_entries.erase(it) : std::next(it);
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
