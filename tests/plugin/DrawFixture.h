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

/// Tests that draw in the host's 64 x 64 view with identity matrices, so
/// that object coordinates in [-1, 1] are the view's clip coordinates
/// (an orthographic view). The view is cleared to opaque black.
class DrawTest : public ::testing::Test {
 protected:
  static constexpr int kSize = 64;

  void SetUp() override { zovhost::testing::resetHost(); }
  void TearDown() override {
    if (m_viewOpen) M3dView::active3dView().endGL();
    zovhost::testing::resetHost();
  }

  /// Makes the view of a drawing interface current (nothing for Direct3D).
  void openView(int drawAPI) {
    if (m_viewOpen) M3dView::active3dView().endGL();
    m_viewOpen = false;
    zovhost::testing::setDrawAPI(drawAPI);
    if (drawAPI == MHWRender::kDirectX11) return;
    ASSERT_TRUE(M3dView::active3dView().beginGL());
    m_viewOpen = true;
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
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }

  /// The core-profile agent as at its first use in the current context:
  /// the objects of earlier tests deleted, the entry points looked up again.
  static RawFootPrintDrawAgentCoreProfile& freshCoreAgent() {
    RawFootPrintDrawAgentCoreProfile& agent = *getCoreProfileDrawAgent();
    agent.releaseCoreProfileDrawAgent();
    agent.initialized = false;
    agent.ready = false;
    g_gl = GLEntryPoints();
    return identity(agent);
  }
  static RawFootPrintDrawAgentDX& freshDXAgent() {
    RawFootPrintDrawAgentDX& agent = *getDXDrawAgent();
    agent.releaseDXDrawAgent();
    zovhost::testing::clearD3DRecord();
    return identity(agent);
  }
  template <typename Agent>
  static Agent& identity(Agent& agent) {
    agent.worldView.setToIdentity();
    agent.projection.setToIdentity();
    agent.worldViewProjection.setToIdentity();
    return agent;
  }

  /// The pixel of an object point (identity matrices).
  static int column(float x) { return static_cast<int>(std::floor((x + 1.0f) * 0.5f * kSize)); }

  static std::array<uint8_t, 4> bytesOf(const float color[4]) {
    std::array<uint8_t, 4> bytes;
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(std::lround(color[i] * 255.0f));
    return bytes;
  }

  /// True when the pixel shows the colour within `tolerance` per channel.
  static bool shows(const zovhost::RenderImage& image, int x, int y, const std::array<uint8_t, 4>& color,
                    int tolerance) {
    const uint8_t* pixel = image.pixel(x, y);
    for (int i = 0; i < 3; ++i)
      if (std::abs(pixel[i] - color[i]) > tolerance) return false;
    return true;
  }

  /// A triangle whose corners are red, green and blue, and pixels a few
  /// steps inside each corner.
  static constexpr float kTriangle[9] = {-0.8f, -0.8f, 0.0f, 0.8f, -0.8f, 0.0f, 0.0f, 0.8f, 0.0f};
  static constexpr float kTriangleColors[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  static void expectCornerColours(const zovhost::RenderImage& image) {
    const int inside[3][2] = {{10, 8}, {53, 8}, {32, 54}};
    for (int corner = 0; corner < 3; ++corner) {
      const uint8_t* pixel = image.pixel(inside[corner][0], inside[corner][1]);
      for (int channel = 0; channel < 3; ++channel) {
        if (channel == corner)
          EXPECT_GT(pixel[channel], 200) << "corner " << corner;
        else
          EXPECT_LT(pixel[channel], 55) << "corner " << corner << " channel " << channel;
      }
    }
  }

  /// Counts pixels that are not the background.
  static int litPixels(const zovhost::RenderImage& image) {
    int lit = 0;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x) {
        const uint8_t* p = image.pixel(x, y);
        lit += p[0] + p[1] + p[2] > 0;
      }
    return lit;
  }

 private:
  bool m_viewOpen = false;
};
