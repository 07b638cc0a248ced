#include "plugin/PluginManager.h"

#include "commands/CommandRegistry.h"
#include "commands/UndoQueue.h"
#include "core/CallbackRegistry.h"
#include "core/Files.h"
#include "core/Logs.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/HostSettings.h"
#include "plugin/DrawOverrideRegistry.h"

#include <dlfcn.h>

#include <cstdlib>

namespace zovhost {

namespace {

typedef MStatus (*PluginEntry)(MObject);

/// "path/libzov.so" gives "zov".
std::string pluginNameOf(const std::string& path) {
  std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name = name.substr(0, dot);
  if (name.compare(0, 3, "lib") == 0 && name.size() > 3) name = name.substr(3);
  return name;
}

}  // namespace

std::shared_ptr<PluginObject> PluginManager::pluginOf(const MObject& object) {
  return std::dynamic_pointer_cast<PluginObject>(object.object());
}

std::string PluginManager::resolve(const std::string& pathOrName) const {
  if (pathOrName.find('/') != std::string::npos || fileExists(pathOrName)) return pathOrName;
  std::vector<std::string> folders = m_parts.settings.pluginPath;
  folders.push_back(".");
  for (const std::string& folder : folders)
    for (const std::string& file : {pathOrName, pathOrName + ".so", "lib" + pathOrName + ".so"})
      if (fileExists(folder + "/" + file)) return folder + "/" + file;
  return pathOrName;
}

const PluginObject* PluginManager::find(const std::string& name) const {
  for (const Module& module : m_modules)
    if (module.object->name == name) return module.object.get();
  return nullptr;
}

std::vector<std::string> PluginManager::loaded() const {
  std::vector<std::string> names;
  for (const Module& module : m_modules) names.push_back(module.object->name);
  return names;
}

MStatus PluginManager::load(const std::string& pathOrName, std::string& name) {
  const std::string path = resolve(pathOrName);
  name = pluginNameOf(path);
  if (isLoaded(name)) {
    displayWarning("Plug-in '" + name + "' is already loaded");
    return MS::kSuccess;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    displayError("Unable to load plug-in '" + pathOrName + "': " + (reason ? reason : "unknown reason"));
    return MS::kFailure;
  }
  const auto* apiVersion = static_cast<const char*>(dlsym(handle, "MApiVersion"));
  const auto initialize = reinterpret_cast<PluginEntry>(dlsym(handle, "initializePlugin"));
  const auto uninitialize = reinterpret_cast<PluginEntry>(dlsym(handle, "uninitializePlugin"));
  if (!apiVersion || !initialize || !uninitialize) {
    dlclose(handle);
    displayError("'" + path +
                 "' is not a plug-in: it must export MApiVersion, initializePlugin and uninitializePlugin");
    return MS::kFailure;
  }

  auto object = std::make_shared<PluginObject>(name);
  char* absolute = realpath(path.c_str(), nullptr);
  object->path = absolute ? absolute : path;
  std::free(absolute);
  object->apiVersion = apiVersion;
  m_modules.push_back({object, handle});
  m_current = name;
  const MStatus status = initialize(MObject(object));
  m_current.clear();
  // A plug-in that reports a failure stays loaded with what it registered,
  // so that it can still be unloaded cleanly.
  if (!status) displayError("initializePlugin function failed (" + name + ")");
  return status;
}

MStatus PluginManager::unload(const std::string& name) {
  auto module = m_modules.begin();
  while (module != m_modules.end() && module->object->name != name) ++module;
  if (module == m_modules.end()) {
    displayError("Plug-in '" + name + "' is not loaded");
    return MS::kFailure;
  }
  // The undo queue may hold the plug-in's commands and nodes.
  m_parts.undo.flush();
  const auto uninitialize = reinterpret_cast<PluginEntry>(dlsym(module->handle, "uninitializePlugin"));
  const std::shared_ptr<PluginObject> object = module->object;
  m_current = name;
  const MStatus status = uninitialize(MObject(object));
  m_current.clear();
  if (!status) {
    displayError("uninitializePlugin function failed (" + name + ")");
    return status;
  }
  removeRegistrations(name);
  // A callback left installed would call into the closed module.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(uninitialize), &info) != 0) {
    const size_t left = m_parts.callbacks.removeFunctionsIn(info.dli_fbase);
    if (left > 0)
      displayWarning("Plug-in '" + name + "' left " + std::to_string(left) + " callback(s) installed; removed");
  }
  // Find the module again: the plug-in's code may have loaded or unloaded others.
  for (auto it = m_modules.begin(); it != m_modules.end(); ++it)
    if (it->object == object) {
      void* handle = it->handle;
      m_modules.erase(it);
      dlclose(handle);
      break;
    }
  return MS::kSuccess;
}

void PluginManager::unloadAll() {
  while (!m_modules.empty()) {
    const std::string name = m_modules.back().object->name;
    if (!unload(name)) {
      // A plug-in that refuses to unload is closed all the same.
      removeRegistrations(name);
      void* handle = m_modules.back().handle;
      m_modules.pop_back();
      dlclose(handle);
    }
  }
}

void PluginManager::removeRegistrations(const std::string& name) {
  std::vector<MTypeId> ids;
  for (const auto& type : m_parts.nodeTypes.types())
    if (type->plugin == name) ids.push_back(type->id);
  for (MTypeId id : ids) m_parts.nodeTypes.deregisterType(id);
  m_parts.commands.removePlugin(name);
  m_parts.drawOverrides.removePlugin(name);
}

}  // namespace zovhost
