#pragma once

#include <maya/MObject.h>
#include <maya/MString.h>

// Handlers of the host's events and scene messages that drive the module.
// None reports a failure to the host.

/// "timeChanged": evaluates the first solver at the new time (the whole
/// frame step happens there), then has the active view drawn again unless a
/// scene is being loaded.
void onTimeChanged(void* clientData);
/// "linearUnitChanged": every solver's `startFrame` follows the start of the
/// playback range, the time going there when it moves.
void onLinearUnitChanged(void* clientData);
/// "playbackRangeChanged": the first solver's caches hold the new range; a
/// range that starts later than `startFrame` moves it (and the time) there,
/// one that starts earlier only warns.
void onPlaybackRangeChanged(void* clientData);
/// Any new node: a host force field gets the "zovfield" link attribute and is
/// linked to the bodies that take fields (a field that has it already, read
/// from a file or copied, is left alone); a host rigid body under a simulated
/// transform is deleted with an error.
void onNodeAdded(MObject& node, void* clientData);
/// Before a save or export: the time goes back to the start of the range and
/// the bodies to their start poses, so that the file holds them there.
void onSceneReset(void* clientData);
/// After a scene was opened: solvers of older versions are brought up to
/// date, and the engine world is made again from the scene. What could not
/// be made again (a body, joint, cluster or fracture body whose links the
/// file lost, a second solver, no solver) is reported, one warning a node.
void onSceneOpened(void* clientData);
/// After an import: what the file brought is made again as an opened scene
/// is. A solver the file brought beside the one that simulates joins it (its
/// links move over to it, with a warning, and it is deleted): there is one
/// engine world. What could not be made again is reported as after an open.
void onAfterImport(void* clientData);
/// Before an import: the rigid bodies the file names with names already
/// taken, and so renamed, are kept until it is read (onAfterImport).
void onBeforeImport(void* clientData);
/// A node renamed: a rigid body's engine body takes the new name, and the
/// joint nodes of its fracture body name it by it. During an import the
/// renames wait for the file's last line, to be followed at once.
void onNodeRenamed(MObject& node, const MString& previous, void* clientData);
/// The host exiting: the grid colour comes back, the engine world is released
/// through the solver (whose node the host destroys) and the draw agents let
/// their graphics objects go.
void onReleaseViewportResources(void* clientData);
/// Before and after a software render: nothing.
void onSoftwareRender(void* clientData);
