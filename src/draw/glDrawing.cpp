#include "src/draw/glDrawing.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "platform/ModuleState.h"

namespace {

/// Radians per step of the circles: 3.14 / 180, so that 360 steps fall just
/// short of a full turn.
constexpr double kCircleStep = 0.017444444444444446;
constexpr int kCircleSteps = 360;
constexpr float kAxisLineWidth = 2.0f;
constexpr float kArrowConeOffset = 0.9f;
constexpr double kArrowConeRadius = 0.1;
constexpr int kArrowConeSlices = 10;
constexpr int kSphereSlices = 10;
constexpr int kSphereStacks = 10;

GLuint g_cubeList = 0;
GLuint g_wireBoxList = 0;
GLuint g_solidSphereList = 0;
GLuint g_wireSphereList = 0;
/// Lists compiled by an earlier load lived in that load's contexts; a name
/// kept from them could name another list in a context of this one.
const zov::platform::ModuleStateReset g_displayListsReset([] {
  g_cubeList = 0;
  g_wireBoxList = 0;
  g_solidSphereList = 0;
  g_wireSphereList = 0;
});

enum class Axis { X, Y, Z, None };

Axis axisOf(unsigned int axis) {
  switch (axis) {
    case 0:
    case 3:
      return Axis::X;
    case 1:
    case 4:
      return Axis::Y;
    case 2:
    case 5:
      return Axis::Z;
    default:
      return Axis::None;
  }
}

/// Turns the XY plane into the plane perpendicular to the axis.
void rotateToAxis(Axis axis) {
  if (axis == Axis::X)
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
  else if (axis == Axis::Y)
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
}

/// Line width kAxisLineWidth, then `draw` with the XY plane turned into the
/// plane perpendicular to the axis; nothing more for an axis out of range.
template <typename Draw>
void drawAcrossAxis(unsigned int axis, Draw draw) {
  glLineWidth(kAxisLineWidth);
  const Axis which = axisOf(axis);
  if (which == Axis::None) return;
  glPushMatrix();
  rotateToAxis(which);
  draw();
  glPopMatrix();
}

/// A closed loop through the circle's vertices first .. last - 1.
void drawCircleLoop(float radius, int first, int last) {
  glBegin(GL_LINE_LOOP);
  for (int i = first; i < last; ++i) {
    const double angle = i * kCircleStep;
    glVertex3f(radius * static_cast<float>(std::cos(angle)), radius * static_cast<float>(std::sin(angle)), 0.0f);
  }
  glEnd();
}

/// Compiles a display list on the first call and calls it afterwards.
template <typename Build>
void compileOrCall(GLuint& list, Build build) {
  if (glIsList(list)) {
    glCallList(list);
    return;
  }
  list = glGenLists(1);
  if (list == 0) return;
  glNewList(list, GL_COMPILE);
  build();
  glEndList();
}

void sphere(GLenum style) {
  GLUquadric* quadric = gluNewQuadric();
  if (!quadric) return;
  gluQuadricDrawStyle(quadric, style);
  gluSphere(quadric, 1.0, kSphereSlices, kSphereStacks);
  gluDeleteQuadric(quadric);
}

/// `count` points (three floats each) as one primitive of `mode`.
void drawVertices(GLenum mode, const float* points, unsigned int count) {
  glBegin(mode);
  for (unsigned int i = 0; i < count; ++i) glVertex3fv(points + 3 * i);
  glEnd();
}

}  // namespace

void glSetColor(float red, float green, float blue, float alpha) { glColor4f(red, green, blue, alpha); }
void glSetFrontPolygonMode(int mode) { glPolygonMode(GL_FRONT, mode > 0 ? GL_LINE : GL_FILL); }
void glSetBackPolygonMode(int mode) { glPolygonMode(GL_BACK, mode > 0 ? GL_LINE : GL_FILL); }

float glSetPointSize(float size) {
  glPointSize(size);
  return size;
}

float glResetPointSize(float value) {
  glPointSize(1.0f);
  return value;
}

void glPushModelMatrix(const float matrix[16]) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glMultMatrixf(matrix);
}

void glPopModelMatrix() {
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void glDrawPoint(const float point[3]) {
  glBegin(GL_POINTS);
  glVertex3fv(point);
  glEnd();
}

void glDrawLine(const float from[3], const float to[3]) {
  glBegin(GL_LINES);
  glVertex3fv(from);
  glVertex3fv(to);
  glEnd();
}

void glDrawLines(const float* points, unsigned int count) { drawVertices(GL_LINES, points, count); }

void glDrawTriangle(const float a[3], const float b[3], const float c[3]) {
  glBegin(GL_TRIANGLES);
  glVertex3fv(a);
  glVertex3fv(b);
  glVertex3fv(c);
  glEnd();
}

void glDrawQuad(const float a[3], const float b[3], const float c[3], const float d[3]) {
  glBegin(GL_QUADS);
  glVertex3fv(a);
  glVertex3fv(b);
  glVertex3fv(c);
  glVertex3fv(d);
  glEnd();
}

void glDrawPolygon(const float* points, unsigned int count) { drawVertices(GL_POLYGON, points, count); }

void glDrawShadedTriangles(const float* positions, const float* colors, unsigned int count) {
  glShadeModel(GL_SMOOTH);
  // The index table holds the fan of kMaxFanCorners corners: larger
  // polygons are cut to their first corners.
  const unsigned int corners = count < kMaxFanCorners ? count : kMaxFanCorners;
  if (corners < 3) return;
  const unsigned int triangles = corners - 2;
  uint16_t fan[(kMaxFanCorners - 2) * 3];
  for (unsigned int i = 0; i < triangles; ++i) {
    fan[3 * i] = 0;
    fan[3 * i + 1] = static_cast<uint16_t>(i + 1);
    fan[3 * i + 2] = static_cast<uint16_t>(i + 2);
  }
  glBegin(GL_TRIANGLES);
  for (unsigned int k = 0; k < 3 * triangles; ++k) {
    const unsigned int vertex = fan[k];
    glColor3fv(colors + 3 * vertex);
    glVertex3fv(positions + 3 * vertex);
  }
  glEnd();
}

void glDrawCircle(float radius) { drawCircleLoop(radius, 0, kCircleSteps); }

void glDrawAxisCircle(unsigned int axis, float radius) {
  drawAcrossAxis(axis, [radius] { glDrawCircle(radius); });
}

void glDrawAxisCircleAt(const float point[3], unsigned int axis, float radius) {
  glTranslatef(point[0], point[1], point[2]);
  glDrawAxisCircle(axis, radius);
  glTranslatef(-point[0], -point[1], -point[2]);
}

void glDrawHalfCircle(float radius, bool firstHalf) {
  const int first = firstHalf ? 90 : 270;
  drawCircleLoop(radius, first, first + kCircleSteps / 2);
}

void glDrawAxisSemicircle(unsigned int axis, float radius) {
  drawAcrossAxis(axis, [radius, axis] { glDrawHalfCircle(radius, axis < 3); });
}

void glDrawAxisSemicircleNamed(unsigned int name, unsigned int axis, float radius) {
  glLoadName(name);
  glDrawAxisSemicircle(axis, radius);
}

void glDrawAxisArrow(unsigned int axis, int /*unused*/, float coneLength) {
  glPolygonMode(GL_FRONT, GL_FILL);
  glPolygonMode(GL_BACK, GL_FILL);
  glLineWidth(kAxisLineWidth);
  const Axis which = axisOf(axis);
  if (which == Axis::None) return;
  GLUquadric* quadric = gluNewQuadric();
  if (!quadric) return;
  const float tip[3] = {which == Axis::X ? 1.0f : 0.0f, which == Axis::Y ? 1.0f : 0.0f, which == Axis::Z ? 1.0f : 0.0f};
  glPushMatrix();
  glTranslatef(kArrowConeOffset * tip[0], kArrowConeOffset * tip[1], kArrowConeOffset * tip[2]);
  rotateToAxis(which);
  gluCylinder(quadric, kArrowConeRadius, 0.0, coneLength, kArrowConeSlices, 1);
  glPopMatrix();
  const float origin[3] = {0.0f, 0.0f, 0.0f};
  glDrawLine(origin, tip);
  gluDeleteQuadric(quadric);
}

void glDrawAxisArrowNamed(unsigned int axis, unsigned int name, float coneLength) {
  glLoadName(name);
  glDrawAxisArrow(axis, 0, coneLength);
}

void buildCubeList() {
  compileOrCall(g_cubeList, [] {
    // Each face: its outward normal and its corners counter-clockwise seen
    // from outside.
    static const float kFaces[6][3][3] = {
        // normal, first corner, direction of the first edge
        {{1, 0, 0}, {0.5f, -0.5f, -0.5f}, {0, 1, 0}}, {{-1, 0, 0}, {-0.5f, -0.5f, 0.5f}, {0, 1, 0}},
        {{0, 1, 0}, {-0.5f, 0.5f, 0.5f}, {1, 0, 0}},  {{0, -1, 0}, {-0.5f, -0.5f, -0.5f}, {1, 0, 0}},
        {{0, 0, 1}, {-0.5f, -0.5f, 0.5f}, {1, 0, 0}}, {{0, 0, -1}, {0.5f, -0.5f, -0.5f}, {-1, 0, 0}},
    };
    glBegin(GL_QUADS);
    for (const auto& face : kFaces) {
      const float* n = face[0];
      const float* p = face[1];
      const float* u = face[2];
      // v = n x u completes a right-handed frame, so (u, v) turns
      // counter-clockwise about the normal.
      const float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
      glNormal3fv(n);
      glVertex3f(p[0], p[1], p[2]);
      glVertex3f(p[0] + u[0], p[1] + u[1], p[2] + u[2]);
      glVertex3f(p[0] + u[0] + v[0], p[1] + u[1] + v[1], p[2] + u[2] + v[2]);
      glVertex3f(p[0] + v[0], p[1] + v[1], p[2] + v[2]);
    }
    glEnd();
  });
}

void buildWireBoxList() {
  compileOrCall(g_wireBoxList, [] {
    static const float kSquare[5][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}, {-0.5f, -0.5f}};
    for (float z : {0.5f, -0.5f}) {
      glBegin(GL_LINE_STRIP);
      for (const auto& corner : kSquare) glVertex3f(corner[0], corner[1], z);
      glEnd();
    }
    glBegin(GL_LINES);
    for (int i = 0; i < 4; ++i) {
      glVertex3f(kSquare[i][0], kSquare[i][1], 0.5f);
      glVertex3f(kSquare[i][0], kSquare[i][1], -0.5f);
    }
    glEnd();
  });
}

void buildSolidSphereList() {
  compileOrCall(g_solidSphereList, [] { sphere(GLU_FILL); });
}

void buildWireSphereList() {
  compileOrCall(g_wireSphereList, [] { sphere(GLU_LINE); });
}
