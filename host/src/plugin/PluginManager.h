#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include "core/Object.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zovhost {

/// The object given to a plug-in's initializePlugin and uninitializePlugin.
class PluginObject : public Object {
 public:
  explicit PluginObject(std::string name) : name(std::move(name)) {}
  MFn::Type apiType() const override { return MFn::kPlugin; }
  std::string name;
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
  /// Opens a module, reads MApiVersion and calls initializePlugin. The
  /// plug-in's name is the file name without "lib" and the extension. When
  /// initializePlugin fails the error is shown and the failure returned, but
  /// the module stays loaded with what it registered.
  MStatus load(const std::string& pathOrName, std::string& name);
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

  /// Makes the next registration of this node type, command or draw override
  /// name fail once (for tests).
  void injectRegistrationFailure(const std::string& name) { m_failures.insert(name); }
  /// True (and forgets the injection) when a registration of name must fail.
  bool consumeFailure(const std::string& name) { return m_failures.erase(name) != 0; }
  void clearFailures() { m_failures.clear(); }

 private:
  struct Module {
    std::shared_ptr<PluginObject> object;
    void* handle = nullptr;
  };
  std::string resolve(const std::string& pathOrName) const;
  void removeRegistrations(const std::string& name);

  std::vector<Module> m_modules;
  std::string m_current;
  std::set<std::string> m_failures;
};

}  // namespace zovhost
