#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include "core/Files.h"
#include "core/Object.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class CallbackRegistry;
class CommandRegistry;
class DrawOverrideRegistry;
class Interpreter;
class NodeTypeRegistry;
class UndoQueue;
struct HostSettings;

/// The object given to a plug-in's initializePlugin and uninitializePlugin.
class PluginObject : public Object {
 public:
  explicit PluginObject(std::string name) : name(std::move(name)) {}
  MFn::Type apiType() const override { return MFn::kPlugin; }
  std::string name;
  /// The module's file, as an absolute path.
  std::string path;
  MString vendor = "Unknown";
  MString version = "Unknown";
  MString requiredApiVersion = "Any";
  /// The module's MApiVersion text.
  std::string apiVersion;
};

/// Loads and unloads plug-in modules with dlopen, keeps track of what each
/// registered, and cleans up after it.
class PluginManager {
 public:
  /// What loading and unloading touch: where registrations go and are
  /// removed from, the callbacks a module may leave, the undo queue that may
  /// hold a module's objects, and the plug-in search path.
  struct Parts {
    NodeTypeRegistry& nodeTypes;
    CommandRegistry& commands;
    DrawOverrideRegistry& drawOverrides;
    CallbackRegistry& callbacks;
    UndoQueue& undo;
    const HostSettings& settings;
  };
  /// Decides whether a registration of a node type, command or draw
  /// classification by this name may go ahead.
  using RegistrationCheck = std::function<bool(const std::string& name)>;

  explicit PluginManager(const Parts& parts) : m_parts(parts) {}
  PluginManager(const PluginManager&) = delete;
  PluginManager& operator=(const PluginManager&) = delete;

  /// Opens a module, reads MApiVersion and calls initializePlugin. The
  /// plug-in's name is the file name without "lib" and the extension. When
  /// initializePlugin fails the error is shown and the failure returned, but
  /// the module stays loaded with what it registered.
  MStatus load(const std::string& pathOrName, std::string& name);
  /// Whether a module of that path or name is found (on the plug-in path for a name).
  bool canFind(const std::string& pathOrName) const { return fileExists(resolve(pathOrName)); }
  /// Calls uninitializePlugin; on success removes what the plug-in left
  /// registered and closes the module. The undo queue is flushed first, since
  /// it may hold the plug-in's objects.
  MStatus unload(const std::string& name);
  void unloadAll();
  bool isLoaded(const std::string& name) const { return find(name) != nullptr; }
  std::vector<std::string> loaded() const;
  const PluginObject* find(const std::string& name) const;

  /// The plug-in whose initializePlugin or uninitializePlugin is running;
  /// registrations are attributed to it. Empty for the host or the tests.
  const std::string& current() const { return m_current; }
  /// The plug-in behind a plug-in object.
  static std::shared_ptr<PluginObject> pluginOf(const MObject& object);

  /// Every registration a plug-in makes passes this check first; by default
  /// all may go ahead.
  void setRegistrationCheck(RegistrationCheck check) { m_check = std::move(check); }
  bool allowsRegistration(const std::string& name) const { return !m_check || m_check(name); }

 private:
  struct Module {
    std::shared_ptr<PluginObject> object;
    void* handle = nullptr;
  };
  std::string resolve(const std::string& pathOrName) const;
  void removeRegistrations(const std::string& name);

  Parts m_parts;
  std::vector<Module> m_modules;
  std::string m_current;
  RegistrationCheck m_check;
};

/// Registers the host commands of plug-ins: loadPlugin, unloadPlugin, pluginInfo.
void addPluginCommands(Interpreter& interpreter);

/// The host's plug-ins; owned by the host's composition root.
PluginManager& pluginManager();

}  // namespace zovhost
