#pragma once

#include <maya/MStatus.h>

#include <string>

namespace zovhost {

class Interpreter;

/// Empties the scene: every node, the undo queue and the selection go, time
/// goes back to its defaults and the default nodes are made again. Raises no
/// scene message (callers raise them around it).
void clearScene();

/// The scene as host command lines: the plug-ins it needs, units and
/// playback range, each node (a DAG node after and under its first parent)
/// with its dynamic attributes and the storable values that differ from
/// their defaults (meshes a mesh node holds itself among them), locks, the
/// further parents of instances, the connections in the order made, and the
/// current time. Running the lines in an empty scene rebuilds it.
std::string sceneText();

/// "file -new": raises before-new, clears the scene, raises after-new.
void newScene();
/// "file -save" (or "-exportAll" when exporting): raises before-save (or
/// before-export), writes the file, raises after-save (or after-export).
MStatus saveScene(const std::string& path, bool exporting);
/// "file -open": raises before-open, clears the scene, runs the file's lines,
/// raises after-open. Lines that fail are reported and the rest still run.
MStatus openScene(const std::string& path);
/// "file -import": runs the file's lines in the current scene between the
/// before-import and after-import messages. A node the file makes under a
/// name already taken gets another, and the file's later lines that name it
/// reach it under its new name.
MStatus importScene(const std::string& path);

/// Registers the host commands of scene files: file and requires.
void addFileCommands(Interpreter& interpreter);

}  // namespace zovhost
