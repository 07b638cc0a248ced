#pragma once

// Handlers of the host's events that drive the module.

/// "timeChanged": evaluates the first solver at the new time (the whole
/// frame step happens there), then has the active view drawn again unless a
/// scene is being loaded.
void onTimeChanged(void* clientData);
