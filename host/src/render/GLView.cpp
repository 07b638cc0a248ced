#include "render/GLView.h"

#include <EGL/eglext.h>
#include <GL/glext.h>

#include <utility>

namespace zovhost {

namespace {

const EGLint kCompatibilityAttributes[] = {EGL_NONE};
const EGLint kCoreAttributes[] = {
    EGL_CONTEXT_MAJOR_VERSION,           3,       EGL_CONTEXT_MINOR_VERSION, 3, EGL_CONTEXT_OPENGL_PROFILE_MASK,
    EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};

}  // namespace

GLView::GLView(EGLDisplay display, GLProfile profile, int width, int height) : m_display(display), m_profile(profile) {
  if (display == EGL_NO_DISPLAY || !eglBindAPI(EGL_OPENGL_API)) return;
  m_context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT,
                               profile == GLProfile::Core ? kCoreAttributes : kCompatibilityAttributes);
  if (m_context == EGL_NO_CONTEXT) return;

  const CurrentGL previous = CurrentGL::get();
  if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context)) return;
  glGenFramebuffers(1, &m_framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  glGenRenderbuffers(1, &m_color);
  glGenRenderbuffers(1, &m_depth);
  resize(width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_color);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glDeleteFramebuffers(1, &m_framebuffer);
    m_framebuffer = 0;
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  previous.restore();
}

GLView::~GLView() {
  if (m_context == EGL_NO_CONTEXT) return;
  // Deleting the context frees its framebuffer with it.
  if (eglGetCurrentContext() == m_context) eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(m_display, m_context);
}

bool GLView::makeCurrent(int width, int height) {
  if (!valid() || !eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context)) return false;
  glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  if (width != m_width || height != m_height) resize(width, height);
  return true;
}

void GLView::resize(int width, int height) {
  m_width = width;
  m_height = height;
  glBindRenderbuffer(GL_RENDERBUFFER, m_color);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glViewport(0, 0, width, height);
}

RenderImage GLView::read() const {
  RenderImage image(m_width, m_height);
  GLint readFramebuffer = 0, packBuffer = 0, alignment = 4;
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
  glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));
  return image;
}

void GLView::resetState() {
  if (m_profile == GLProfile::Compatibility) {
    // The stacks first: what they give back is set below.
    glRenderMode(GL_RENDER);
    GLint depth = 0;
    for (glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth); depth > 0; --depth) glPopAttrib();
    for (glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depth); depth > 0; --depth) glPopClientAttrib();
    const std::pair<GLenum, GLenum> stacks[] = {{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH},
                                                {GL_PROJECTION, GL_PROJECTION_STACK_DEPTH},
                                                {GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH}};
    for (const auto& [mode, depthName] : stacks) {
      glMatrixMode(mode);
      for (glGetIntegerv(depthName, &depth); depth > 1; --depth) glPopMatrix();
      glLoadIdentity();
    }
    glShadeModel(GL_SMOOTH);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }
  glViewport(0, 0, m_width, m_height);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_PROGRAM_POINT_SIZE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glLineWidth(1.0f);
  glPointSize(1.0f);
  glUseProgram(0);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

CurrentGL CurrentGL::get() { return {eglGetCurrentDisplay(), eglGetCurrentContext()}; }

void CurrentGL::restore() const {
  if (context == EGL_NO_CONTEXT) {
    const EGLDisplay current = eglGetCurrentDisplay();
    if (current != EGL_NO_DISPLAY) eglMakeCurrent(current, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return;
  }
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
}

}  // namespace zovhost
