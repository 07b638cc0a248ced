#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <maya/M3dView.h>
#include <maya/MViewport2Renderer.h>

#include <array>
#include <cmath>
#include <vector>

#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"
#include "src/draw/glEntryPoints.h"
#include "testing/HostTesting.h"
#include "testing/RenderTesting.h"

/// Tests that draw in the host's 64 x 64 view, cleared to black, with
/// identity matrices: object coordinates are clip coordinates (an
/// orthographic view).
class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override { zovhost::testing::resetHost(); }
  void TearDown() override {
    if (m_viewOpen) M3dView::active3dView().endGL();
    zovhost::testing::resetHost();
  }

  /// Makes the view of a drawing interface current (none for Direct3D).
  void openView(int drawAPI) {
    if (m_viewOpen) M3dView::active3dView().endGL();
    zovhost::testing::setDrawAPI(drawAPI);
    m_viewOpen = drawAPI != MHWRender::kDirectX11;
    if (!m_viewOpen) return;
    ASSERT_TRUE(M3dView::active3dView().beginGL());
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glLineWidth(1.0f);
    if (drawAPI != MHWRender::kOpenGL) return;
    // The context lives on from test to test: fixed-function state as new.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPointSize(1.0f);
  }

  /// The core-profile agent as at its first use in the current context: the
  /// objects of earlier tests deleted, the entry points looked up again.
  static RawFootPrintDrawAgentCoreProfile& freshCoreAgent() {
    RawFootPrintDrawAgentCoreProfile& agent = *getCoreProfileDrawAgent();
    agent.releaseCoreProfileDrawAgent();
    agent.initialized = agent.ready = false;
    g_gl = GLEntryPoints();
    return identity(agent);
  }
  static RawFootPrintDrawAgentDX& freshDXAgent() {
    getDXDrawAgent()->releaseDXDrawAgent();
    zovhost::testing::clearD3DRecord();
    return identity(*getDXDrawAgent());
  }
  template <typename Agent>
  static Agent& identity(Agent& agent) {
    agent.worldView = agent.projection = agent.worldViewProjection = MMatrix();
    return agent;
  }

  static bool shows(const zovhost::RenderImage& image, int x, int y, const std::array<int, 3>& rgb) {
    const uint8_t* pixel = image.pixel(x, y);
    return std::abs(pixel[0] - rgb[0]) <= 1 && std::abs(pixel[1] - rgb[1]) <= 1 && std::abs(pixel[2] - rgb[2]) <= 1;
  }
  static zovhost::RenderImage view() { return zovhost::testing::readView(); }
  static zovhost::RenderImage d3dView() {
    return zovhost::testing::rasterizeD3DDraws(zovhost::testing::d3dDraws(), 64, 64, {0.0f, 0.0f, 0.0f, 1.0f});
  }
  static GLenum error() { return glGetError(); }

  /// The indices of a closed outline of n points: 0-1, 1-2, ..., (n-1)-0.
  static std::vector<uint16_t> closedLoop(uint16_t n) {
    std::vector<uint16_t> indices;
    for (uint16_t i = 0; i < n; ++i) indices.insert(indices.end(), {i, static_cast<uint16_t>((i + 1) % n)});
    return indices;
  }

  /// Points on a circle of radius 0.5 about the origin.
  static std::vector<float> ring(unsigned int count) {
    std::vector<float> points;
    for (unsigned int i = 0; i < count; ++i)
      points.insert(points.end(),
                    {0.5f * std::cos(6.2831853f * i / count), 0.5f * std::sin(6.2831853f * i / count), 0.0f});
    return points;
  }

  /// A triangle with red, green and blue corners.
  static constexpr float kTriangle[9] = {-0.8f, -0.8f, 0.0f, 0.8f, -0.8f, 0.0f, 0.0f, 0.8f, 0.0f};
  static constexpr float kTriangleColors[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

 private:
  bool m_viewOpen = false;
};
