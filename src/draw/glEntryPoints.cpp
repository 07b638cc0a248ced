#include "src/draw/glEntryPoints.h"

#include <wingdi.h>

GLEntryPoints g_gl;

const char* loadGLEntryPoints() {
  const char* missing = nullptr;
#define ZOV_GL_LOAD_ENTRY_POINT(type, name)                                     \
  if (!g_gl.name) g_gl.name = reinterpret_cast<type>(wglGetProcAddress(#name)); \
  if (!g_gl.name && !missing) missing = #name;
  ZOV_GL_ENTRY_POINTS(ZOV_GL_LOAD_ENTRY_POINT)
#undef ZOV_GL_LOAD_ENTRY_POINT
  return missing;
}
