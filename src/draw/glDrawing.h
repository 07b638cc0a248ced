#pragma once

// Small drawing functions over fixed-function OpenGL (and GLU quadrics) in
// the current context, for legacy viewport drawing. Each changes only the
// OpenGL state it names. A point is three floats.

/// The current colour.
void glSetColor(float red, float green, float blue, float alpha);
/// Front-face polygon mode: lines when mode > 0, else fill.
void glSetFrontPolygonMode(int mode);
/// Back-face polygon mode: lines when mode > 0, else fill.
void glSetBackPolygonMode(int mode);
/// Sets the point size and returns it.
float glSetPointSize(float size);
/// Sets the point size back to 1 and returns `value` unchanged.
float glResetPointSize(float value);
/// Selects the model-view stack, pushes it and multiplies it by the matrix
/// (sixteen floats in OpenGL's order).
void glPushModelMatrix(const float matrix[16]);
/// Selects the model-view stack and pops it.
void glPopModelMatrix();

void glDrawPoint(const float point[3]);
void glDrawLine(const float from[3], const float to[3]);
/// Segments between points 0-1, 2-3, ...
void glDrawLines(const float* points, unsigned int count);
void glDrawTriangle(const float a[3], const float b[3], const float c[3]);
void glDrawQuad(const float a[3], const float b[3], const float c[3], const float d[3]);
void glDrawPolygon(const float* points, unsigned int count);
/// Smooth shading, then the fan (0, i+1, i+2) of the first
/// kMaxFanCorners corners as triangles, each corner in its RGB colour; fewer
/// than three corners draw nothing.
void glDrawShadedTriangles(const float* positions, const float* colors, unsigned int count);
constexpr unsigned int kMaxFanCorners = 32;

/// A loop of 360 vertices of radius r in the XY plane, 3.14/180 apart, so
/// that the closing segment bridges a small gap.
void glDrawCircle(float radius);
/// Line width 2, then the circle in the plane perpendicular to the axis:
/// 0 or 3 X (the YZ plane), 1 or 4 Y (XZ), 2 or 5 Z (XY); other axes draw
/// nothing.
void glDrawAxisCircle(unsigned int axis, float radius);
void glDrawAxisCircleAt(const float point[3], unsigned int axis, float radius);
/// The half of the circle from 90 to 270 degrees (firstHalf) or from 270 to
/// 450, closed along its diameter.
void glDrawHalfCircle(float radius, bool firstHalf);
/// Line width 2, then a half circle in the plane of glDrawAxisCircle: axes
/// 0, 1, 2 draw one half, 3, 4, 5 the other half of the same circle.
void glDrawAxisSemicircle(unsigned int axis, float radius);
/// Loads the selection name, then glDrawAxisSemicircle.
void glDrawAxisSemicircleNamed(unsigned int name, unsigned int axis, float radius);
/// A cone of `coneLength` at 0.9 along the axis (0/3 X, 1/4 Y, 2/5 Z)
/// pointing outwards, and a line from the origin to the axis' unit point;
/// both polygon modes fill, line width 2. `unused` is not read.
void glDrawAxisArrow(unsigned int axis, int unused, float coneLength);
void glDrawAxisArrowNamed(unsigned int axis, unsigned int name, float coneLength);

// Display lists, each compiled on its first call (which draws nothing) and
// called on every later one.
/// A closed cube of side 1 centred at the origin, with face normals.
void buildCubeList();
/// The edges of that cube.
void buildWireBoxList();
/// A sphere of radius 1 (10 slices, 10 stacks), filled.
void buildSolidSphereList();
/// The same sphere as lines.
void buildWireSphereList();
