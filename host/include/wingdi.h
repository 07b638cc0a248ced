#pragma once

/// The window system's OpenGL procedure lookup, as a module drawing with
/// OpenGL calls it to reach functions beyond OpenGL 1.1.
typedef void (*PROC)(void);

extern "C" {
/// The function of that name in the current OpenGL implementation, or null
/// when it has none.
PROC wglGetProcAddress(const char* name);
}
