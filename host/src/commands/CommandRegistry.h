#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <maya/MPxContext.h>

class MSyntax;

namespace zovhost {

typedef MSyntax (*SyntaxFunction)();

/// A command registered by a plug-in: a command or a tool-context command.
struct PluginCommand {
  std::string name;
  MCreatorFunction creator = nullptr;
  SyntaxFunction syntax = nullptr;
  bool isContext = false;
  std::string plugin;
};

/// The plug-in commands by name.
class CommandRegistry {
 public:
  MStatus add(const PluginCommand& command);
  MStatus remove(const std::string& name, bool isContext);
  const PluginCommand* find(const std::string& name) const;
  /// Removes a plug-in's commands and destroys the contexts they made.
  void removePlugin(const std::string& plugin);
  void clear();

  /// Keeps a context made by a context command; returns its name
  /// (the command's name and a number).
  std::string addContext(const std::string& command, std::unique_ptr<MPxContext> context);
  void destroyContexts(const std::string& command);
  const std::map<std::string, PluginCommand>& all() const { return m_commands; }

 private:
  struct Context {
    std::string command;
    std::string name;
    std::unique_ptr<MPxContext> context;
  };
  std::map<std::string, PluginCommand> m_commands;
  std::vector<Context> m_contexts;
};

/// The plug-in commands the interpreter runs; owned by the host's composition root.
CommandRegistry& commandRegistry();

}  // namespace zovhost
