#pragma once

#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <functional>
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
  /// Registration order across all plug-ins.
  unsigned long sequence = 0;
};

/// The tool that is current in a started host: the host's own selection tool.
inline constexpr char kDefaultTool[] = "selectSuperContext";

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
  /// Destroys the contexts a command made; when one of them is the current
  /// tool, it is cleaned up first and the default tool becomes current.
  void destroyContexts(const std::string& command);
  const std::map<std::string, PluginCommand>& all() const { return m_commands; }
  /// A plug-in's commands in the order they were registered.
  std::vector<std::string> commandsOf(const std::string& plugin) const;

  /// A tool of the host's own, made current by name like a context: `setUp`
  /// runs each time it becomes current, `cleanUp` when another tool does.
  void addHostTool(const std::string& name, std::function<void()> setUp, std::function<void()> cleanUp);

  /// A context by its name, or null.
  MPxContext* findContext(const std::string& name) const;
  /// Makes a tool current: the context left gets toolOffCleanup, the new one
  /// toolOnSetup (a host tool its set-up and clean-up). False, changing
  /// nothing, for a name that is neither a context, a host tool nor the
  /// default tool.
  bool setCurrentTool(const std::string& name);
  const std::string& currentTool() const { return m_currentTool; }
  /// The current tool's context; null for the host's own tool.
  MPxContext* currentContext() const { return findContext(m_currentTool); }

 private:
  struct Context {
    std::string command;
    std::string name;
    std::unique_ptr<MPxContext> context;
  };
  std::map<std::string, PluginCommand> m_commands;
  std::vector<Context> m_contexts;
  std::string m_currentTool = kDefaultTool;
  struct HostTool {
    std::function<void()> setUp;
    std::function<void()> cleanUp;
  };
  std::map<std::string, HostTool> m_hostTools;
  unsigned long m_sequence = 0;
};

/// The plug-in commands the interpreter runs; owned by the host's composition root.
CommandRegistry& commandRegistry();

}  // namespace zovhost
