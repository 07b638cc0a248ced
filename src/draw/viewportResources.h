#pragma once

/// Frees the graphics objects of the Direct3D agent and then those of the
/// core-profile agent (in the current OpenGL context), making either agent
/// first if it was never used. Releasing twice frees nothing the second time.
void releaseDrawAgents();
