#include "commands/CommandRegistry.h"

#include <maya/MPxContext.h>

#include <algorithm>

namespace zovhost {

MStatus CommandRegistry::add(const PluginCommand& command) {
  if (command.name.empty() || !command.creator) return MS::kInvalidParameter;
  PluginCommand added = command;
  added.sequence = ++m_sequence;
  if (!m_commands.emplace(command.name, added).second) return MS::kFailure;
  return MS::kSuccess;
}

MStatus CommandRegistry::remove(const std::string& name, bool isContext) {
  const auto found = m_commands.find(name);
  if (found == m_commands.end() || found->second.isContext != isContext) return MS::kFailure;
  m_commands.erase(found);
  return MS::kSuccess;
}

const PluginCommand* CommandRegistry::find(const std::string& name) const {
  const auto found = m_commands.find(name);
  return found == m_commands.end() ? nullptr : &found->second;
}

void CommandRegistry::removePlugin(const std::string& plugin) {
  for (auto it = m_commands.begin(); it != m_commands.end();) {
    if (it->second.plugin == plugin) {
      destroyContexts(it->first);
      it = m_commands.erase(it);
    } else {
      ++it;
    }
  }
}

void CommandRegistry::clear() {
  m_contexts.clear();
  m_commands.clear();
  m_currentTool = kDefaultTool;
}

std::vector<std::string> CommandRegistry::commandsOf(const std::string& plugin) const {
  std::vector<const PluginCommand*> found;
  for (const auto& [name, command] : m_commands)
    if (command.plugin == plugin) found.push_back(&command);
  std::sort(found.begin(), found.end(),
            [](const PluginCommand* a, const PluginCommand* b) { return a->sequence < b->sequence; });
  std::vector<std::string> names;
  for (const PluginCommand* command : found) names.push_back(command->name);
  return names;
}

MPxContext* CommandRegistry::findContext(const std::string& name) const {
  for (const Context& context : m_contexts)
    if (context.name == name) return context.context.get();
  return nullptr;
}

bool CommandRegistry::setCurrentTool(const std::string& name) {
  MPxContext* next = findContext(name);
  const auto hostTool = m_hostTools.find(name);
  if (next == nullptr && hostTool == m_hostTools.end() && name != kDefaultTool) return false;
  if (MPxContext* current = currentContext()) current->toolOffCleanup();
  const auto left = m_hostTools.find(m_currentTool);
  if (left != m_hostTools.end() && left->second.cleanUp) left->second.cleanUp();
  m_currentTool = name;
  MEvent event;
  if (next != nullptr) next->toolOnSetup(event);
  if (hostTool != m_hostTools.end() && hostTool->second.setUp) hostTool->second.setUp();
  return true;
}

void CommandRegistry::addHostTool(const std::string& name, std::function<void()> setUp, std::function<void()> cleanUp) {
  m_hostTools[name] = {std::move(setUp), std::move(cleanUp)};
}

std::string CommandRegistry::addContext(const std::string& command, std::unique_ptr<MPxContext> context) {
  unsigned int number = 1;
  for (const Context& existing : m_contexts)
    if (existing.command == command) ++number;
  const std::string name = command + std::to_string(number);
  m_contexts.push_back({command, name, std::move(context)});
  return name;
}

void CommandRegistry::destroyContexts(const std::string& command) {
  for (const Context& context : m_contexts)
    if (context.command == command && context.name == m_currentTool) setCurrentTool(kDefaultTool);
  for (auto it = m_contexts.begin(); it != m_contexts.end();)
    it = it->command == command ? m_contexts.erase(it) : std::next(it);
}

}  // namespace zovhost
