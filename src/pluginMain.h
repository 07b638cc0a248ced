#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

// The module's entry points, exported with C linkage as the host looks them
// up by name.
extern "C" {

/// The host API version the module was built for.
extern const char MApiVersion[];

/// Registers the module's node types, draw overrides, commands and callbacks
/// and runs the user-interface script's start-up. Every registration is tried
/// even when an earlier one failed; the result is a failure when any of them
/// failed.
MStatus initializePlugin(MObject object);

/// Undoes initializePlugin. With a null object it fails and changes nothing.
MStatus uninitializePlugin(MObject object);
}
