#include <maya/MFnPlugin.h>
#include <maya/MPxManipContainer.h>

#include "commands/CommandRegistry.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/Interpreter.h"
#include "mathtypes/StatusOut.h"
#include "plugin/PluginManager.h"

using zovhost::commandRegistry;
using zovhost::hostInterpreter;
using zovhost::nodeTypeRegistry;
using zovhost::pluginManager;
using zovhost::PluginManager;
using zovhost::PluginObject;
using zovhost::setStatus;
using zovhost::undoQueue;

MStatus MPxManipContainer::initialize() { return MS::kSuccess; }

MFnPlugin::MFnPlugin(const MObject& plugin, const char* vendor, const char* version, const char* requiredApiVersion,
                     MStatus* status) {
  const MStatus result = setObject(plugin);
  setStatus(status, result);
  if (const auto object = PluginManager::pluginOf(plugin)) {
    object->vendor = vendor ? vendor : "Unknown";
    object->version = version ? version : "Unknown";
    object->requiredApiVersion = requiredApiVersion ? requiredApiVersion : "Any";
  }
}

std::string MFnPlugin::pluginName() const {
  const auto object = PluginManager::pluginOf(m_object);
  return object ? object->name : std::string();
}

namespace {

std::shared_ptr<PluginObject> pluginIn(const MObject& object, MStatus* status) {
  auto plugin = PluginManager::pluginOf(object);
  setStatus(status, plugin ? MS::kSuccess : MS::kFailure);
  return plugin;
}

}  // namespace

MString MFnPlugin::vendor(MStatus* status) const {
  const auto plugin = pluginIn(m_object, status);
  return plugin ? plugin->vendor : MString();
}

MString MFnPlugin::version(MStatus* status) const {
  const auto plugin = pluginIn(m_object, status);
  return plugin ? plugin->version : MString();
}

MString MFnPlugin::apiVersion(MStatus* status) const {
  const auto plugin = pluginIn(m_object, status);
  return plugin ? plugin->requiredApiVersion : MString();
}

MString MFnPlugin::name(MStatus* status) const {
  const auto plugin = pluginIn(m_object, status);
  return plugin ? MString(plugin->name) : MString();
}

MString MFnPlugin::loadPath(MStatus* status) const {
  const auto plugin = pluginIn(m_object, status);
  if (!plugin) return MString();
  const size_t slash = plugin->path.rfind('/');
  return MString(slash == std::string::npos ? std::string(".") : plugin->path.substr(0, slash));
}

MStatus MFnPlugin::registerNode(const MString& typeName, const MTypeId& typeId, MCreatorFunction creator,
                                MInitializeFunction initialize, MPxNode::Type type, const MString* classification) {
  if (!PluginManager::pluginOf(m_object)) return MS::kFailure;
  if (!pluginManager().allowsRegistration(typeName.str())) {
    zovhost::displayError("Failed to register node type '" + typeName.str() + "'");
    return MS::kFailure;
  }
  return nodeTypeRegistry().registerType(typeName.str(), typeId, creator, initialize, type,
                                         classification ? classification->str() : std::string(), pluginName());
}

MStatus MFnPlugin::deregisterNode(const MTypeId& typeId) {
  const auto type = nodeTypeRegistry().find(typeId);
  if (!type || type->plugin != pluginName()) return MS::kFailure;
  // Nodes held only for undo would outlive their type's code.
  undoQueue().flush();
  return nodeTypeRegistry().deregisterType(typeId);
}

namespace {

MStatus registerPluginCommand(const std::string& plugin, const MString& name, MCreatorFunction creator,
                              MCreateSyntaxFunction syntax, bool isContext) {
  if (plugin.empty()) return MS::kFailure;
  if (!pluginManager().allowsRegistration(name.str())) {
    zovhost::displayError("Failed to register command '" + name.str() + "'");
    return MS::kFailure;
  }
  if (hostInterpreter().isHostCommand(name.str()) || commandRegistry().find(name.str())) {
    zovhost::displayError("Failed to register command '" + name.str() + "': the name is already in use");
    return MS::kFailure;
  }
  zovhost::PluginCommand command;
  command.name = name.str();
  command.creator = creator;
  command.syntax = syntax;
  command.isContext = isContext;
  command.plugin = plugin;
  return commandRegistry().add(command);
}

}  // namespace

MStatus MFnPlugin::registerCommand(const MString& commandName, MCreatorFunction creator,
                                   MCreateSyntaxFunction createSyntax) {
  return registerPluginCommand(pluginName(), commandName, creator, createSyntax, false);
}

MStatus MFnPlugin::deregisterCommand(const MString& commandName) {
  const zovhost::PluginCommand* command = commandRegistry().find(commandName.str());
  if (!command || command->plugin != pluginName()) return MS::kFailure;
  return commandRegistry().remove(commandName.str(), false);
}

MStatus MFnPlugin::registerContextCommand(const MString& commandName, MCreatorFunction creator) {
  return registerPluginCommand(pluginName(), commandName, creator, nullptr, true);
}

MStatus MFnPlugin::deregisterContextCommand(const MString& commandName) {
  const zovhost::PluginCommand* command = commandRegistry().find(commandName.str());
  if (!command || command->plugin != pluginName()) return MS::kFailure;
  commandRegistry().destroyContexts(commandName.str());
  return commandRegistry().remove(commandName.str(), true);
}
