#include "render/D3DRasterizer.h"

#include <d3d11.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zovhost::d3d {

namespace {

struct Vertex {
  float x = 0, y = 0;  // window position
  float w = 0;
  float color[4] = {0, 0, 0, 1};
};

/// Floats read from bytes at an offset; what lies outside reads as 0.
void readFloats(const std::vector<uint8_t>& bytes, size_t offset, float* out, int count) {
  for (int i = 0; i < count; ++i) {
    const size_t at = offset + 4 * static_cast<size_t>(i);
    out[i] = 0.0f;
    if (at + 4 <= bytes.size()) std::memcpy(&out[i], &bytes[at], 4);
  }
}

int componentsOf(int format) {
  switch (format) {
    case DXGI_FORMAT_R32G32B32_FLOAT:
      return 3;
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
      return 4;
    default:
      return 0;
  }
}

const LayoutElement* findElement(const Draw& draw, const char* semantic) {
  for (const LayoutElement& element : draw.layout)
    if (element.semantic == semantic && element.semanticIndex == 0) return &element;
  return nullptr;
}

/// The element's value for a vertex, with missing components as (0, 0, 0, 1).
void fetch(const Draw& draw, const LayoutElement& element, long long vertex, float out[4]) {
  out[0] = out[1] = out[2] = 0.0f;
  out[3] = 1.0f;
  if (vertex < 0 || element.slot >= draw.vertexBuffers.size()) return;
  const VertexBinding& binding = draw.vertexBuffers[element.slot];
  const size_t offset = binding.offset + static_cast<size_t>(vertex) * binding.stride + element.offset;
  readFloats(binding.bytes, offset, out, componentsOf(element.format));
}

}  // namespace

std::array<float, 4> clipPosition(const Draw& draw, long long vertex) {
  std::array<float, 4> clip = {0.0f, 0.0f, 0.0f, 0.0f};
  const LayoutElement* position = findElement(draw, "POSITION");
  if (!position) return clip;
  float m[16], p[4];
  readFloats(draw.vertexConstants, 0, m, 16);
  fetch(draw, *position, vertex, p);
  // The row vector (x, y, z, 1) times the matrix stored by columns.
  for (int column = 0; column < 4; ++column)
    clip[column] = p[0] * m[column * 4 + 0] + p[1] * m[column * 4 + 1] + p[2] * m[column * 4 + 2] + m[column * 4 + 3];
  return clip;
}

namespace {

class Rasterizer {
 public:
  Rasterizer(int width, int height, const std::array<float, 4>& background) : m_image(width, height) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) write(x, y, background.data());
  }

  void draw(const Draw& draw) {
    const bool lines = draw.topology == D3D11_PRIMITIVE_TOPOLOGY_LINELIST;
    const bool triangles = draw.topology == D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST;
    const LayoutElement* position = findElement(draw, "POSITION");
    if ((!lines && !triangles) || !position) return;
    const LayoutElement* color = findElement(draw, "COLOR");
    float uniformColor[4];
    readFloats(draw.pixelConstants, 64, uniformColor, 4);

    const unsigned size = draw.indexFormat == DXGI_FORMAT_R32_UINT ? 4 : 2;
    const unsigned corners = lines ? 2 : 3;
    std::vector<Vertex> primitive;
    for (unsigned i = 0; i + corners <= draw.indexCount; i += corners) {
      primitive.clear();
      for (unsigned k = 0; k < corners; ++k) {
        const size_t at = draw.indexOffset + static_cast<size_t>(draw.startIndex + i + k) * size;
        if (at + size > draw.indexBytes.size()) return;
        uint32_t index = 0;
        std::memcpy(&index, &draw.indexBytes[at], size);
        const long long vertex = static_cast<long long>(index) + draw.baseVertex;
        float c[4];
        if (color)
          fetch(draw, *color, vertex, c);
        else
          std::copy(uniformColor, uniformColor + 4, c);
        primitive.push_back(toWindow(clipPosition(draw, vertex), c));
      }
      if (std::any_of(primitive.begin(), primitive.end(), [](const Vertex& v) { return v.w <= 0.0f; })) continue;
      if (lines)
        line(primitive[0], primitive[1]);
      else
        triangle(primitive[0], primitive[1], primitive[2]);
    }
  }

  RenderImage take() { return std::move(m_image); }

 private:
  Vertex toWindow(const std::array<float, 4>& clip, const float* color) const {
    Vertex v;
    v.w = clip[3];
    if (v.w > 0.0f) {
      v.x = (clip[0] / v.w + 1.0f) * 0.5f * static_cast<float>(m_image.width);
      v.y = (clip[1] / v.w + 1.0f) * 0.5f * static_cast<float>(m_image.height);
    }
    std::copy(color, color + 4, v.color);
    return v;
  }

  void write(int x, int y, const float* color) {
    if (x < 0 || y < 0 || x >= m_image.width || y >= m_image.height) return;
    uint8_t* pixel = m_image.pixel(x, y);
    for (int i = 0; i < 4; ++i) pixel[i] = static_cast<uint8_t>(std::lround(std::clamp(color[i], 0.0f, 1.0f) * 255.0f));
  }

  /// Steps along the major axis through the pixel centres the segment
  /// passes, lighting the pixel each centre's crossing falls in.
  void line(const Vertex& a, const Vertex& b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const bool alongX = std::fabs(dx) >= std::fabs(dy);
    const float from = alongX ? std::min(a.x, b.x) : std::min(a.y, b.y);
    const float to = alongX ? std::max(a.x, b.x) : std::max(a.y, b.y);
    const float length = alongX ? dx : dy;
    if (length == 0.0f) return;
    for (int i = static_cast<int>(std::ceil(from - 0.5f)); static_cast<float>(i) + 0.5f < to; ++i) {
      const float centre = static_cast<float>(i) + 0.5f;
      const float t = (centre - (alongX ? a.x : a.y)) / length;
      const float across = alongX ? a.y + t * dy : a.x + t * dx;
      float color[4];
      for (int c = 0; c < 4; ++c) color[c] = a.color[c] + t * (b.color[c] - a.color[c]);
      const int other = static_cast<int>(std::floor(across));
      if (alongX)
        write(i, other, color);
      else
        write(other, i, color);
    }
  }

  static float edge(const Vertex& a, const Vertex& b, float x, float y) {
    return (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
  }

  /// Pixels whose centres lie inside; a centre on an edge belongs to the
  /// triangle on one side only, so that shared edges are drawn once.
  void triangle(Vertex a, Vertex b, Vertex c) {
    float area = edge(a, b, c.x, c.y);
    if (area == 0.0f) return;
    if (area < 0.0f) {
      std::swap(b, c);
      area = -area;
    }
    const Vertex* corners[3] = {&a, &b, &c};
    const auto owns = [](const Vertex& from, const Vertex& to) {
      const float dy = to.y - from.y;
      return dy < 0.0f || (dy == 0.0f && to.x > from.x);
    };
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
    const int x1 = std::min(m_image.width - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
    const int y1 = std::min(m_image.height - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
        float weights[3];
        bool inside = true;
        for (int k = 0; k < 3 && inside; ++k) {
          const Vertex& from = *corners[(k + 1) % 3];
          const Vertex& to = *corners[(k + 2) % 3];
          weights[k] = edge(from, to, px, py);
          inside = weights[k] > 0.0f || (weights[k] == 0.0f && owns(from, to));
        }
        if (!inside) continue;
        float color[4];
        for (int i = 0; i < 4; ++i)
          color[i] = (weights[0] * a.color[i] + weights[1] * b.color[i] + weights[2] * c.color[i]) / area;
        write(x, y, color);
      }
  }

  RenderImage m_image;
};

}  // namespace

RenderImage rasterize(const std::vector<Draw>& draws, int width, int height, const std::array<float, 4>& background) {
  Rasterizer rasterizer(width, height, background);
  for (const Draw& draw : draws) rasterizer.draw(draw);
  return rasterizer.take();
}

}  // namespace zovhost::d3d
