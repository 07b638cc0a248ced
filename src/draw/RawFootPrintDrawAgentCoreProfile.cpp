#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "src/draw/DrawShapes.h"
#include "src/draw/glEntryPoints.h"

namespace {

// Both programs share the vertex shader; its inputs have fixed locations so
// that one set of attribute locations serves both.
const char* const kVertexShader = R"(#version 330
layout(location = 0) in vec3 Pm;
layout(location = 1) in vec3 color;
uniform mat4 MVP;
out vec3 cv_color;
void main() {
  gl_Position = MVP * vec4(Pm, 1.0);
  gl_PointSize = 4.0;
  cv_color = color;
}
)";

const char* const kColorFragmentShader = R"(#version 330
in vec3 cv_color;
out vec4 colorOut;
void main() { colorOut = vec4(cv_color, 1.0); }
)";

const char* const kUniformFragmentShader = R"(#version 330
uniform vec4 colorin = vec4(1.0, 1.0, 1.0, 1.0);
out vec4 colorOut;
void main() { colorOut = colorin; }
)";

constexpr float kCoreShapeLineWidth = 0.2f;
using namespace zovdraw;

/// Prints the message with the info log of a shader or program, read through
/// the matching pair of GL entry points.
template <typename GetValue, typename GetLog>
void printLog(GLuint object, GetValue getValue, GetLog getLog, const char* failureFormat) {
  GLint length = 0;
  getValue(object, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  getLog(object, length, nullptr, log.data());
  std::printf(failureFormat, log.data());
}

/// Compiles one shader; on failure prints the message with the shader's log
/// and deletes it.
GLuint compileShader(GLenum kind, const char* source, const char* failureFormat) {
  const GLuint shader = g_gl.glCreateShader(kind);
  g_gl.glShaderSource(shader, 1, &source, nullptr);
  g_gl.glCompileShader(shader);
  GLint compiled = GL_FALSE;
  g_gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled == GL_TRUE) return shader;
  printLog(shader, g_gl.glGetShaderiv, g_gl.glGetShaderInfoLog, failureFormat);
  g_gl.glDeleteShader(shader);
  return 0;
}

/// Links a program of two shaders; on failure prints the message with the
/// program's log.
bool linkProgram(GLuint program, GLuint vertexShader, GLuint fragmentShader, const char* failureFormat) {
  g_gl.glAttachShader(program, vertexShader);
  g_gl.glAttachShader(program, fragmentShader);
  g_gl.glLinkProgram(program);
  GLint linked = GL_FALSE;
  g_gl.glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked == GL_TRUE) return true;
  printLog(program, g_gl.glGetProgramiv, g_gl.glGetProgramInfoLog, failureFormat);
  return false;
}

/// Compiles the fragment shader and links it with the vertex shader into a
/// new `program`; the fragment shader goes once linked. On failure prints the
/// message of the failing step.
bool buildProgram(GLuint& program, GLuint vertexShader, const char* fragmentSource, const char* compileFailure,
                  const char* linkFailure) {
  const GLuint fragmentShader = compileShader(GL_FRAGMENT_SHADER, fragmentSource, compileFailure);
  if (!fragmentShader) return false;
  program = g_gl.glCreateProgram();
  const bool linked = linkProgram(program, vertexShader, fragmentShader, linkFailure);
  g_gl.glDeleteShader(fragmentShader);
  return linked;
}

/// The closing index list of an outline: (i, i+1) for each point, the last
/// pointing back to point 0.
std::vector<uint16_t> outlineIndices(unsigned int points) {
  std::vector<uint16_t> indices(2 * static_cast<size_t>(points));
  for (unsigned int i = 0; i < points; ++i) {
    indices[2 * i] = static_cast<uint16_t>(i);
    indices[2 * i + 1] = static_cast<uint16_t>(i + 1);
  }
  indices.back() = 0;
  return indices;
}

void deleteVertexArray(unsigned int& name) {
  if (name != 0 && g_gl.glDeleteVertexArrays) g_gl.glDeleteVertexArrays(1, &name);
  name = 0;
}

void deleteBuffer(unsigned int& name) {
  if (name != 0 && g_gl.glDeleteBuffers) g_gl.glDeleteBuffers(1, &name);
  name = 0;
}

void deleteProgram(unsigned int& name) {
  if (name != 0 && g_gl.glDeleteProgram) g_gl.glDeleteProgram(name);
  name = 0;
}

}  // namespace

void RawFootPrintDrawAgentCoreProfile::setUp() {
  initialized = true;
  if (const char* missing = loadGLEntryPoints()) {
    std::printf("OpenGL entry point %s not found\n", missing);
    return;
  }
  ready = compileGLSLProgram();
  if (!ready) return;
  // Both inputs are active in the per-vertex-colour program.
  pmLocation = static_cast<unsigned int>(g_gl.glGetAttribLocation(colorProgram, "Pm"));
  colorLocation = static_cast<unsigned int>(g_gl.glGetAttribLocation(colorProgram, "color"));
  ready = createBuffers();
}

bool RawFootPrintDrawAgentCoreProfile::compileGLSLProgram() {
  const GLuint vertexShader =
      compileShader(GL_VERTEX_SHADER, kVertexShader, "Compilation of vertex shader failed:\n%s\n");
  if (!vertexShader) return false;

  const bool built = buildProgram(colorProgram, vertexShader, kColorFragmentShader,
                                  "Compilation of fragment shader vertex failed:\n%s\n",
                                  "Linking of shader program vertex failed:\n%s\n") &&
                     buildProgram(uniformProgram, vertexShader, kUniformFragmentShader,
                                  "Compilation of fragment shader polys failed:\n%s\n",
                                  "Linking of shader program polys failed:\n%s\n");
  // Shaders attached to a program go with it.
  g_gl.glDeleteShader(vertexShader);
  return built;
}

bool RawFootPrintDrawAgentCoreProfile::createBuffers() {
  g_gl.glGenVertexArrays(1, &pointsVertexArray);
  g_gl.glBindVertexArray(pointsVertexArray);
  g_gl.glGenBuffers(1, &pointsBuffer);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, pointsBuffer);
  // The vertex shader sets the point size.
  glEnable(GL_PROGRAM_POINT_SIZE);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);

  g_gl.glGenVertexArrays(1, &shapesVertexArray);
  g_gl.glBindVertexArray(shapesVertexArray);
  g_gl.glGenBuffers(1, &shapesBuffer);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, shapesBuffer);
  g_gl.glGenBuffers(1, &shapesIndexBuffer);
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, shapesIndexBuffer);

  // The box's edges are fixed; its corners are written by each draw.
  g_gl.glGenVertexArrays(1, &boxVertexArray);
  g_gl.glBindVertexArray(boxVertexArray);
  g_gl.glGenBuffers(1, &boxBuffer);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, boxBuffer);
  g_gl.glEnableVertexAttribArray(pmLocation);
  g_gl.glVertexAttribPointer(pmLocation, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  g_gl.glGenBuffers(1, &boxIndexBuffer);
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, boxIndexBuffer);
  g_gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kBoxEdges, kBoxEdges, GL_STATIC_DRAW);

  g_gl.glBindVertexArray(0);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return true;
}

void RawFootPrintDrawAgentCoreProfile::queryUniforms(unsigned int program) {
  mvpLocation = static_cast<unsigned int>(g_gl.glGetUniformLocation(program, "MVP"));
  colorinLocation = static_cast<unsigned int>(g_gl.glGetUniformLocation(program, "colorin"));
}

void RawFootPrintDrawAgentCoreProfile::uploadMatrix() {
  float mvp[16];
  // The host's rows, acting on row vectors, are OpenGL's columns.
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      mvp[4 * row + column] = static_cast<float>(worldViewProjection.matrix[row][column]);
  g_gl.glUniformMatrix4fv(static_cast<GLint>(mvpLocation), 1, GL_FALSE, mvp);
}

void RawFootPrintDrawAgentCoreProfile::setUniforms() {
  uploadMatrix();
  g_gl.glUniform4f(static_cast<GLint>(colorinLocation), color[0], color[1], color[2], color[3]);
}

void RawFootPrintDrawAgentCoreProfile::beginDraw() {
  if (!initialized) setUp();
  if (!ready) return;
  g_gl.glUseProgram(uniformProgram);
  glLineWidth(kCoreShapeLineWidth);
}

void RawFootPrintDrawAgentCoreProfile::beginDrawColored() {
  if (!initialized) setUp();
  if (!ready) return;
  g_gl.glUseProgram(colorProgram);
}

void RawFootPrintDrawAgentCoreProfile::endDraw() {
  if (!ready) return;
  g_gl.glUseProgram(0);
  g_gl.glBindVertexArray(0);
  glLineWidth(kDefaultLineWidth);
}

void RawFootPrintDrawAgentCoreProfile::reservedSolidDraw() {}
void RawFootPrintDrawAgentCoreProfile::reservedWireDraw() {}
void RawFootPrintDrawAgentCoreProfile::drawTriangle(const float*, const float*, const float*) {}

void RawFootPrintDrawAgentCoreProfile::drawBoundingBox(const double minimum[3], const double maximum[3]) {
  if (!ready) return;
  float corners[zovdraw::kBoxCorners][3];
  for (unsigned int i = 0; i < zovdraw::kBoxCorners; ++i)
    for (int k = 0; k < 3; ++k) corners[i][k] = kUnitCube[i][k] * static_cast<float>(maximum[k] - minimum[k]);
  g_gl.glBindVertexArray(boxVertexArray);
  queryUniforms(uniformProgram);
  setUniforms();
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, boxBuffer);
  g_gl.glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STREAM_DRAW);
  glDrawElements(GL_LINES, kBoxEdgeIndices, GL_UNSIGNED_SHORT, nullptr);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
  g_gl.glBindVertexArray(0);
}

void RawFootPrintDrawAgentCoreProfile::drawPolygon(const float* points, unsigned int count) {
  const unsigned int n = count < kMaxOutlinePoints ? count : kMaxOutlinePoints;
  if (!ready || n == 0) return;
  drawOutline(points, n);
}

void RawFootPrintDrawAgentCoreProfile::drawAxisCircle(unsigned int axis, const float center[3], const float* radius) {
  if (!ready) return;
  float points[kCirclePoints][3];
  circlePoints(axis, center, *radius, points);
  drawOutline(&points[0][0], kCirclePoints);
}

void RawFootPrintDrawAgentCoreProfile::drawOutline(const float* points, unsigned int n) {
  g_gl.glBindVertexArray(shapesVertexArray);
  queryUniforms(uniformProgram);
  setUniforms();
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, shapesBuffer);
  g_gl.glBufferData(GL_ARRAY_BUFFER, 12 * n, points, GL_STATIC_DRAW);
  g_gl.glEnableVertexAttribArray(pmLocation);
  g_gl.glVertexAttribPointer(pmLocation, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  const std::vector<uint16_t> indices = outlineIndices(n);
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, shapesIndexBuffer);
  g_gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, 2 * indices.size(), indices.data(), GL_STATIC_DRAW);
  glDrawElements(GL_LINES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_SHORT, nullptr);
  g_gl.glBindVertexArray(0);
}

void RawFootPrintDrawAgentCoreProfile::drawShadedTriangles(const float* positions, const float* colors,
                                                           unsigned int count) {
  const unsigned int n = count < kMaxShadedCorners ? count : kMaxShadedCorners;
  // A fan needs three corners; fewer make no triangle.
  if (!ready || n < 3) return;
  g_gl.glBindVertexArray(shapesVertexArray);
  // The per-vertex-colour program has no colour uniform.
  mvpLocation = static_cast<unsigned int>(g_gl.glGetUniformLocation(colorProgram, "MVP"));
  uploadMatrix();
  float cornerColors[kMaxShadedCorners][3] = {};
  for (unsigned int i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k) cornerColors[i][k] = colors[3 * i + k];
  const GLsizeiptr half = 12 * static_cast<GLsizeiptr>(n);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, shapesBuffer);
  g_gl.glEnableVertexAttribArray(pmLocation);
  g_gl.glVertexAttribPointer(pmLocation, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  g_gl.glEnableVertexAttribArray(colorLocation);
  g_gl.glVertexAttribPointer(colorLocation, 3, GL_FLOAT, GL_FALSE, 0, reinterpret_cast<const void*>(half));
  g_gl.glBufferData(GL_ARRAY_BUFFER, 2 * half, nullptr, GL_STATIC_DRAW);
  g_gl.glBufferSubData(GL_ARRAY_BUFFER, 0, half, positions);
  g_gl.glBufferSubData(GL_ARRAY_BUFFER, half, half, cornerColors);
  uint16_t fan[(kMaxShadedCorners - 2) * 3];
  for (unsigned int i = 0; i + 2 < n; ++i) {
    fan[3 * i] = 0;
    fan[3 * i + 1] = static_cast<uint16_t>(i + 1);
    fan[3 * i + 2] = static_cast<uint16_t>(i + 2);
  }
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, shapesIndexBuffer);
  g_gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, 6 * (n - 2), fan, GL_STATIC_DRAW);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * (n - 2)), GL_UNSIGNED_SHORT, nullptr);
  // The outlines drawn next from this vertex array take no colours.
  g_gl.glDisableVertexAttribArray(colorLocation);
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
  g_gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  g_gl.glBindVertexArray(0);
}

void RawFootPrintDrawAgentCoreProfile::drawPoints(const MPointArray& points, const MVector&, const MVector&, float) {
  if (!ready || points.length() == 0) return;
  g_gl.glBindVertexArray(pointsVertexArray);
  queryUniforms(uniformProgram);
  setUniforms();
  std::vector<float> coordinates;
  coordinates.reserve(3 * static_cast<size_t>(points.length()));
  for (unsigned int i = 0; i < points.length(); ++i)
    for (int k = 0; k < 3; ++k) coordinates.push_back(static_cast<float>(points[i][k]));
  g_gl.glBindBuffer(GL_ARRAY_BUFFER, pointsBuffer);
  g_gl.glEnableVertexAttribArray(pmLocation);
  g_gl.glVertexAttribPointer(pmLocation, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  g_gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(4 * coordinates.size()), coordinates.data(),
                    GL_STREAM_DRAW);
  glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(points.length()));
  g_gl.glBindVertexArray(0);
}

void RawFootPrintDrawAgentCoreProfile::releaseCoreProfileDrawAgent() {
  deleteProgram(colorProgram);
  deleteProgram(uniformProgram);
  deleteVertexArray(boxVertexArray);
  deleteVertexArray(pointsVertexArray);
  deleteVertexArray(shapesVertexArray);
  deleteBuffer(boxBuffer);
  deleteBuffer(boxIndexBuffer);
  deleteBuffer(pointsBuffer);
  deleteBuffer(shapesBuffer);
  deleteBuffer(shapesIndexBuffer);
  // A later draw (the module loaded again in the same process) sets up anew.
  initialized = ready = false;
}

RawFootPrintDrawAgentCoreProfile* getCoreProfileDrawAgent() {
  static RawFootPrintDrawAgentCoreProfile agent;
  return &agent;
}
