#include <EGL/egl.h>
#include <wingdi.h>

#include "render/RenderState.h"

extern "C" PROC wglGetProcAddress(const char* name) {
  if (!name) return nullptr;
  const auto& answers = zovhost::renderState().settings.procedures;
  const auto answer = answers.find(name);
  if (answer != answers.end()) return answer->second;
  return eglGetProcAddress(name);
}
