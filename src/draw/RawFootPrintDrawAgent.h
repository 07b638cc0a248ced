#pragma once

#include <maya/MMatrix.h>
#include <maya/MPointArray.h>
#include <maya/MVector.h>

/// Draws the module's simple viewport shapes (outlines, circles, points,
/// shaded polygons) through one graphics interface, so that one drawing
/// routine serves every back end of the host. The caller fills the matrices
/// and the colour, then calls beginDraw (uniform colour) or beginDrawColored
/// (per-vertex colours, which only drawShadedTriangles supplies), the
/// shapes, and endDraw, all in the graphics context the agent draws into.
/// Points handed to shapes are in object space, three floats each.
class RawFootPrintDrawAgent {
 public:
  RawFootPrintDrawAgent() = default;
  RawFootPrintDrawAgent(const RawFootPrintDrawAgent&) = delete;
  RawFootPrintDrawAgent& operator=(const RawFootPrintDrawAgent&) = delete;

  // slot 0
  virtual ~RawFootPrintDrawAgent() = default;
  // slot 1: no shape of its own.
  virtual void reservedSolidDraw() = 0;
  // slot 2: the edges of a box of the given extent, centred at the object origin.
  virtual void drawBoundingBox(const double minimum[3], const double maximum[3]) = 0;
  // slot 3: no shape of its own.
  virtual void reservedWireDraw() = 0;
  // slot 4: the outline of a triangle.
  virtual void drawTriangle(const float a[3], const float b[3], const float c[3]) = 0;
  // slot 5: the closed outline through `count` points.
  virtual void drawPolygon(const float* points, unsigned int count) = 0;
  // slot 6: the polygon of `count` corners (at most kMaxShadedCorners are
  // used) filled as a fan from corner 0, each corner in its RGB colour.
  virtual void drawShadedTriangles(const float* positions, const float* colors, unsigned int count) = 0;
  // slot 7: a marker at each point; `directionA` and `directionB` span the
  // marker's plane where the back end draws markers as squares of `size`.
  virtual void drawPoints(const MPointArray& points, const MVector& directionA, const MVector& directionB,
                          float size) = 0;
  // slot 8: a circle about `center`: axis 0 or 3 about X, 1 or 4 about Y, 2
  // or 5 about Z (see each back end for the plane it draws in).
  virtual void drawAxisCircle(unsigned int axis, const float center[3], const float* radius) = 0;
  // slot 9
  virtual void beginDraw() = 0;
  // slot 10
  virtual void beginDrawColored() = 0;
  // slot 11
  virtual void endDraw() = 0;

  /// Object to view.
  MMatrix worldView;
  /// View to clip space.
  MMatrix projection;
  /// worldView * projection, used as is by the core-profile agent.
  MMatrix worldViewProjection;
  /// Red, green, blue, alpha of the next uniform-colour shapes.
  float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};

  /// The shaded fan's index table holds the triangles of this many corners;
  /// larger polygons are cut to their first corners.
  static constexpr unsigned int kMaxShadedCorners = 32;
  /// drawPolygon draws the outline of at most this many points.
  static constexpr unsigned int kMaxOutlinePoints = 32;
};
