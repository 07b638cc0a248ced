#pragma once

#include <EGL/egl.h>
#include <GL/gl.h>
#include <zovhost/RenderImage.h>

namespace zovhost {

enum class GLProfile { Compatibility, Core };

/// An offscreen OpenGL context of one profile drawing into a framebuffer of
/// its own (colour and depth-stencil), made through EGL without a window.
/// The framebuffer stays bound: what is drawn while the context is current
/// lands in it.
class GLView {
 public:
  /// A compatibility-profile context (fixed function, display lists,
  /// feedback and selection) or a 3.3 core-profile one; valid() tells
  /// whether it could be made.
  GLView(EGLDisplay display, GLProfile profile, int width, int height);
  ~GLView();
  GLView(const GLView&) = delete;
  GLView& operator=(const GLView&) = delete;

  bool valid() const { return m_framebuffer != 0; }
  GLProfile profile() const { return m_profile; }
  int width() const { return m_width; }
  int height() const { return m_height; }

  /// Makes the context current on the calling thread, its framebuffer of the
  /// given size bound and the viewport covering it.
  bool makeCurrent(int width, int height);
  /// The framebuffer's pixels; the context must be current.
  RenderImage read() const;
  /// Gives what drawing changes the values of a new context: the viewport
  /// over the framebuffer, no culling or scissor, filled polygons, lines and
  /// points one pixel wide, no program, vertex array or buffer bound, the
  /// clear colour; in the compatibility profile also the render mode, the
  /// attribute and matrix stacks, identity matrices, smooth shading and a
  /// white current colour. The context must be current.
  void resetState();

 private:
  void resize(int width, int height);

  EGLDisplay m_display;
  GLProfile m_profile;
  EGLContext m_context = EGL_NO_CONTEXT;
  GLuint m_framebuffer = 0;
  GLuint m_color = 0;
  GLuint m_depth = 0;
  int m_width = 0;
  int m_height = 0;
};

/// The context current on the calling thread, to be made current again.
struct CurrentGL {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;

  static CurrentGL get();
  void restore() const;
};

}  // namespace zovhost
