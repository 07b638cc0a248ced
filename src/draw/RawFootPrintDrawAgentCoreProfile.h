#pragma once

#include "src/draw/RawFootPrintDrawAgent.h"

/// The draw agent for a viewport that runs an OpenGL 3.3 core-profile
/// context. It draws with two small GLSL programs (uniform colour and
/// per-vertex colour), vertex arrays and buffers, all made by the first
/// begin in the current context; `worldViewProjection` places the shapes.
/// When the entry points cannot be found or the programs do not build, the
/// agent stays silent: every later call does nothing.
class RawFootPrintDrawAgentCoreProfile : public RawFootPrintDrawAgent {
 public:
  /// Does nothing.
  void reservedSolidDraw() override;
  /// The twelve edges of a box of the extent maximum - minimum centred at
  /// the object origin.
  void drawBoundingBox(const double minimum[3], const double maximum[3]) override;
  /// Does nothing.
  void reservedWireDraw() override;
  /// Does nothing.
  void drawTriangle(const float a[3], const float b[3], const float c[3]) override;
  /// The closed outline of the first kMaxOutlinePoints points.
  void drawPolygon(const float* points, unsigned int count) override;
  /// Needs beginDrawColored; fewer than three corners draw nothing.
  void drawShadedTriangles(const float* positions, const float* colors, unsigned int count) override;
  /// Points of 4 pixels; the directions and the size are not used.
  void drawPoints(const MPointArray& points, const MVector& directionA, const MVector& directionB, float size) override;
  /// 31 points just short of a full turn: in the XY plane for axis 2, in the
  /// XZ plane for any other axis.
  void drawAxisCircle(unsigned int axis, const float center[3], const float* radius) override;
  /// Uniform-colour program, line width 0.2.
  void beginDraw() override;
  /// Per-vertex-colour program.
  void beginDrawColored() override;
  /// Program 0, vertex array 0, line width 1.
  void endDraw() override;

  /// Builds the two programs; prints the failing step and its log.
  bool compileGLSLProgram();
  bool createBuffers();
  /// Uploads `worldViewProjection` to "MVP" and `color` to "colorin".
  void setUniforms();
  /// Deletes the programs, vertex arrays and buffers (in the current
  /// context); the entry points and the flags stay.
  void releaseCoreProfileDrawAgent();

  // OpenGL names and locations, 0 when absent.
  unsigned int colorProgram = 0;
  unsigned int uniformProgram = 0;
  unsigned int mvpLocation = 0;
  unsigned int colorinLocation = 0;
  unsigned int colorLocation = 0;
  unsigned int pmLocation = 0;
  unsigned int boxVertexArray = 0;
  unsigned int boxBuffer = 0;
  unsigned int boxIndexBuffer = 0;
  unsigned int pointsVertexArray = 0;
  unsigned int pointsBuffer = 0;
  unsigned int shapesVertexArray = 0;
  unsigned int shapesBuffer = 0;
  unsigned int shapesIndexBuffer = 0;
  /// Set by the first begin, whether or not the set-up worked.
  bool initialized = false;
  /// The programs and buffers exist; nothing is drawn while false.
  bool ready = false;

 private:
  void setUp();
  /// The locations of "MVP" and "colorin" in a program.
  void queryUniforms(unsigned int program);
  /// Uploads `worldViewProjection` to "MVP".
  void uploadMatrix();
  /// The closed outline through `n` points with the uniform-colour program.
  void drawOutline(const float* points, unsigned int n);
};

RawFootPrintDrawAgentCoreProfile* getCoreProfileDrawAgent();
