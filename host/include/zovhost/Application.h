#pragma once

#include <string>

/// What a host application built on the stand-in does besides the plug-in
/// API: run command lines as a user types them, run the idle queue, set where
/// scripts and plug-ins are found, and exit.
namespace zovhost::app {

/// Runs one command line as the user's: its changes are undoable and its
/// result is printed. Returns false when the line failed.
bool runLine(const std::string& line);
/// True when a text ends inside an open block, so that the lines that follow
/// belong to it (a procedure defined over several lines).
bool needsMoreLines(const std::string& text);
/// Runs the lines queued with executeCommandOnIdle; returns how many ran.
unsigned int runIdleQueue();
/// Adds a folder that "source", "loadPlugin" and "requires" search.
void addScriptPath(const std::string& folder);
void addPluginPath(const std::string& folder);
/// Raises the host-exiting scene message and unloads every plug-in.
void exitHost();

}  // namespace zovhost::app
