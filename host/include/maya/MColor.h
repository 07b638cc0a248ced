#pragma once

/// A colour of four floats, red, green, blue and alpha, as meshes keep them.
class MColor {
 public:
  MColor() = default;
  MColor(float r, float g, float b, float a = 1.0f) : r(r), g(g), b(b), a(a) {}

  bool operator==(const MColor& other) const { return r == other.r && g == other.g && b == other.b && a == other.a; }
  bool operator!=(const MColor& other) const { return !(*this == other); }

  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 1.0f;
};
