#pragma once

#include "src/draw/RawFootPrintDrawAgent.h"

/// The draw agent for the host's legacy OpenGL viewport: fixed-function
/// drawing in the current context. beginDraw loads `worldView` and
/// `projection` and saves every attribute group; endDraw restores the
/// matrices, the attributes and the model-view matrix mode. It holds no
/// graphics resources.
class RawFootPrintDrawAgentGL : public RawFootPrintDrawAgent {
 public:
  /// Does nothing.
  void reservedSolidDraw() override;
  /// Does nothing.
  void drawBoundingBox(const double minimum[3], const double maximum[3]) override;
  /// Does nothing.
  void reservedWireDraw() override;
  void drawTriangle(const float a[3], const float b[3], const float c[3]) override;
  /// The outline of the polygon through all `count` points.
  void drawPolygon(const float* points, unsigned int count) override;
  void drawShadedTriangles(const float* positions, const float* colors, unsigned int count) override;
  /// Points of size 4; the directions and the size are not used.
  void drawPoints(const MPointArray& points, const MVector& directionA, const MVector& directionB, float size) override;
  /// Axis 0 or 3 draws in the YZ plane, 1 or 4 in XZ, 2 or 5 in XY; other
  /// axes draw nothing.
  void drawAxisCircle(unsigned int axis, const float center[3], const float* radius) override;
  void beginDraw() override;
  /// The same as beginDraw.
  void beginDrawColored() override;
  void endDraw() override;
};

/// The legacy OpenGL agent shared by the module's drawing code, made on
/// first use with identity matrices; never null.
RawFootPrintDrawAgentGL* getGLDrawAgent();
