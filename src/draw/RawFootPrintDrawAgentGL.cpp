#include "src/draw/RawFootPrintDrawAgentGL.h"

#include <GL/gl.h>

#include "src/draw/DrawShapes.h"
#include "src/draw/glDrawing.h"

namespace {

constexpr float kLegacyShapeLineWidth = 2.0f;
using namespace zovdraw;
constexpr float kPointSize = 4.0f;

/// Loads a host matrix: its rows, acting on row vectors, are OpenGL's
/// columns acting on column vectors.
void loadMatrix(const MMatrix& matrix) { glLoadMatrixd(&matrix.matrix[0][0]); }

}  // namespace

void RawFootPrintDrawAgentGL::reservedSolidDraw() {}
void RawFootPrintDrawAgentGL::drawBoundingBox(const double*, const double*) {}
void RawFootPrintDrawAgentGL::reservedWireDraw() {}

void RawFootPrintDrawAgentGL::drawTriangle(const float a[3], const float b[3], const float c[3]) {
  glSetColor(color[0], color[1], color[2], color[3]);
  glSetFrontPolygonMode(kLines);
  glSetBackPolygonMode(kLines);
  glDrawTriangle(a, b, c);
}

void RawFootPrintDrawAgentGL::drawPolygon(const float* points, unsigned int count) {
  glSetColor(color[0], color[1], color[2], color[3]);
  glSetFrontPolygonMode(kLines);
  glSetBackPolygonMode(kLines);
  glDrawPolygon(points, count);
}

void RawFootPrintDrawAgentGL::drawShadedTriangles(const float* positions, const float* colors, unsigned int count) {
  glSetColor(color[0], color[1], color[2], color[3]);
  glSetFrontPolygonMode(kFill);
  glSetBackPolygonMode(kFill);
  // glDrawShadedTriangles cuts the polygon to the corners its fan table holds.
  glDrawShadedTriangles(positions, colors, count);
}

void RawFootPrintDrawAgentGL::drawPoints(const MPointArray& points, const MVector&, const MVector&, float) {
  if (points.length() == 0) return;
  glSetColor(color[0], color[1], color[2], color[3]);
  glSetPointSize(kPointSize);
  glBegin(GL_POINTS);
  for (unsigned int i = 0; i < points.length(); ++i)
    glVertex3f(static_cast<float>(points[i].x), static_cast<float>(points[i].y), static_cast<float>(points[i].z));
  glEnd();
}

void RawFootPrintDrawAgentGL::drawAxisCircle(unsigned int axis, const float center[3], const float* radius) {
  glSetColor(color[0], color[1], color[2], color[3]);
  glSetFrontPolygonMode(kLines);
  glSetBackPolygonMode(kLines);
  glDrawAxisCircleAt(center, axis, *radius);
}

void RawFootPrintDrawAgentGL::beginDraw() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  loadMatrix(worldView);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  loadMatrix(projection);
  glPushAttrib(kAllAttributeGroups);
  glPushModelMatrix(kIdentity);
  glLineWidth(kLegacyShapeLineWidth);
}

void RawFootPrintDrawAgentGL::beginDrawColored() { beginDraw(); }

void RawFootPrintDrawAgentGL::endDraw() {
  glPopModelMatrix();
  glLineWidth(kDefaultLineWidth);
  // Popping the attributes brings back the projection stack as the current
  // matrix mode, as it was when they were pushed.
  glPopAttrib();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

RawFootPrintDrawAgentGL* getGLDrawAgent() {
  static RawFootPrintDrawAgentGL agent;
  return &agent;
}
