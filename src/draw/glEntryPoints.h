#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The OpenGL functions past version 1.1 that the core-profile agent calls,
// looked up by name through the window system's procedure lookup.
#define ZOV_GL_ENTRY_POINTS(X)                                     \
  X(PFNGLBINDVERTEXARRAYPROC, glBindVertexArray)                   \
  X(PFNGLGENVERTEXARRAYSPROC, glGenVertexArrays)                   \
  X(PFNGLDELETEVERTEXARRAYSPROC, glDeleteVertexArrays)             \
  X(PFNGLUNIFORM4FPROC, glUniform4f)                               \
  X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)                 \
  X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)             \
  X(PFNGLGETATTRIBLOCATIONPROC, glGetAttribLocation)               \
  X(PFNGLCREATESHADERPROC, glCreateShader)                         \
  X(PFNGLSHADERSOURCEPROC, glShaderSource)                         \
  X(PFNGLCOMPILESHADERPROC, glCompileShader)                       \
  X(PFNGLGETSHADERIVPROC, glGetShaderiv)                           \
  X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)                 \
  X(PFNGLCREATEPROGRAMPROC, glCreateProgram)                       \
  X(PFNGLATTACHSHADERPROC, glAttachShader)                         \
  X(PFNGLDELETESHADERPROC, glDeleteShader)                         \
  X(PFNGLLINKPROGRAMPROC, glLinkProgram)                           \
  X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                         \
  X(PFNGLUSEPROGRAMPROC, glUseProgram)                             \
  X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                       \
  X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)               \
  X(PFNGLGENBUFFERSPROC, glGenBuffers)                             \
  X(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                       \
  X(PFNGLBINDBUFFERPROC, glBindBuffer)                             \
  X(PFNGLBUFFERDATAPROC, glBufferData)                             \
  X(PFNGLBUFFERSUBDATAPROC, glBufferSubData)                       \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, glEnableVertexAttribArray)   \
  X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, glDisableVertexAttribArray) \
  X(PFNGLVERTEXATTRIBPOINTERPROC, glVertexAttribPointer)

/// The entry points, module-wide; null until looked up.
struct GLEntryPoints {
#define ZOV_GL_ENTRY_POINT_MEMBER(type, name) type name = nullptr;
  ZOV_GL_ENTRY_POINTS(ZOV_GL_ENTRY_POINT_MEMBER)
#undef ZOV_GL_ENTRY_POINT_MEMBER
};
extern GLEntryPoints g_gl;

/// Looks up each entry point not found yet (one found before is not asked
/// for again). Returns the name of the first one the lookup does not know,
/// or null when every one is there.
const char* loadGLEntryPoints();
