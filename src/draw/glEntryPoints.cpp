#include "src/draw/glEntryPoints.h"

#include <wingdi.h>

#include "platform/ModuleState.h"

GLEntryPoints g_gl;

namespace {

/// A load resolves its entry points anew: the host answers them from its
/// settings of the time, which need not be those of an earlier load.
const zov::platform::ModuleStateReset g_entryPointsReset([] { g_gl = GLEntryPoints(); });

}  // namespace

const char* loadGLEntryPoints() {
  const char* missing = nullptr;
#define ZOV_GL_LOAD_ENTRY_POINT(type, name)                                     \
  if (!g_gl.name) g_gl.name = reinterpret_cast<type>(wglGetProcAddress(#name)); \
  if (!g_gl.name && !missing) missing = #name;
  ZOV_GL_ENTRY_POINTS(ZOV_GL_LOAD_ENTRY_POINT)
#undef ZOV_GL_LOAD_ENTRY_POINT
  return missing;
}
