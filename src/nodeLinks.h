#pragma once

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MString.h>

// Small links between the module's nodes and the host's graph.

/// Reads a plug so that the host computes it when it is dirty; the value is
/// not looked at. Nothing for a plug the node does not have.
void pullPlug(const MObject& node, const MObject& attribute);
/// The node of the first plug connected to the plug, as destination or
/// source; false, leaving `node` alone, when nothing is connected.
bool firstConnectedNode(const MPlug& plug, MObject& node);
/// Runs a host command line without showing it and outside the undo queue;
/// its result is not looked at.
void runQuietly(const MString& line);
