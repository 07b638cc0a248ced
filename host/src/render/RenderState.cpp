#include "render/RenderState.h"

#include <EGL/eglext.h>

#include <cstdlib>

namespace zovhost {

GLProfile RenderState::activeProfile() const {
  return settings.drawAPI == MHWRender::kOpenGLCoreProfile ? GLProfile::Core : GLProfile::Compatibility;
}

EGLDisplay RenderState::display() {
  if (m_displayTried) return m_display;
  m_displayTried = true;
  // The software rasteriser draws the same pixels on every machine.
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) m_display = display;
  return m_display;
}

GLView* RenderState::view(GLProfile profile) {
  std::unique_ptr<GLView>& view = m_views[profile == GLProfile::Core ? 1 : 0];
  if (!view) {
    const EGLDisplay shown = display();
    if (shown == EGL_NO_DISPLAY) return nullptr;
    view = std::make_unique<GLView>(shown, profile, settings.viewWidth, settings.viewHeight);
  }
  return view->valid() ? view.get() : nullptr;
}

bool RenderState::makeViewCurrent() {
  GLView* active = view(activeProfile());
  return active && active->makeCurrent(settings.viewWidth, settings.viewHeight);
}

d3d::Device& RenderState::device() {
  if (!m_device) m_device = std::make_unique<d3d::Device>(recorder);
  return *m_device;
}

void RenderState::applyRasterizerState() const {
  if (settings.drawAPI == MHWRender::kDirectX11 || eglGetCurrentContext() == EGL_NO_CONTEXT) return;
  const MHWRender::MRasterizerStateDesc& desc = rasterizerStates.peekCurrent()->desc();
  if (desc.cullMode == MHWRender::MRasterizerStateDesc::kCullNone) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(desc.cullMode == MHWRender::MRasterizerStateDesc::kCullFront ? GL_FRONT : GL_BACK);
  }
  glFrontFace(desc.frontCounterClockwise ? GL_CCW : GL_CW);
}

void RenderState::releaseViews() {
  for (const std::unique_ptr<GLView>& view : m_views) {
    if (!view || !view->makeCurrent(view->width(), view->height())) continue;
    view->resetState();
    // A context holds each kind of error it met until it is read.
    while (glGetError() != GL_NO_ERROR) continue;
  }
  CurrentGL().restore();
  savedContexts.clear();
}

void RenderState::reset() {
  settings = RenderSettings();
  uiTexts.clear();
  viewTexts.clear();
  manipulators.reset();
  rasterizerStates.setCurrent(rasterizerStates.defaultState());
  recorder.clear();
  geometryDirty.clear();
  viewRefreshes = 0;
}

namespace d3d {
Recorder& d3dRecorder() { return renderState().recorder; }
}  // namespace d3d

}  // namespace zovhost
