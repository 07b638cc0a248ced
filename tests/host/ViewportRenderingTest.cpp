#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <d3d11.h>
#include <maya/M3dView.h>
#include <maya/MSelectionList.h>
#include <maya/MViewport2Renderer.h>
#include <wingdi.h>

#include <cstring>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using MHWRender::MRenderer;

class ViewportRendering : public HostTest {};

/// True when some OpenGL context is current on this thread.
bool contextCurrent() { return glGetString(GL_VERSION) != nullptr; }

TEST_F(ViewportRendering, TheRendererReportsItsInterfaceAndLendsADeviceOnlyForDirect3D) {
  ASSERT_NE(MRenderer::theRenderer(), nullptr);
  EXPECT_EQ(MRenderer::theRenderer()->drawAPI(), MHWRender::kOpenGL);
  EXPECT_EQ(MRenderer::theRenderer()->GPUDeviceHandle(), nullptr);

  testing::setDrawAPI(MHWRender::kOpenGLCoreProfile);
  EXPECT_EQ(MRenderer::theRenderer()->drawAPI(), 4);
  EXPECT_EQ(MRenderer::theRenderer()->GPUDeviceHandle(), nullptr);

  testing::setDrawAPI(MHWRender::kDirectX11);
  auto* device = static_cast<ID3D11Device*>(MRenderer::theRenderer()->GPUDeviceHandle());
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(testing::d3dObjects()[testing::d3dDeviceId() - 1].kind, zovhost::d3d::ObjectKind::Device);
  testing::setDirectXDevice(false);
  EXPECT_EQ(MRenderer::theRenderer()->GPUDeviceHandle(), nullptr);

  testing::setRendererExists(false);
  EXPECT_EQ(MRenderer::theRenderer(), nullptr);
  testing::resetHost();
  EXPECT_EQ(MRenderer::theRenderer()->drawAPI(), MHWRender::kOpenGL);
}

TEST_F(ViewportRendering, BeginGLDrawsIntoTheViewOfTheRenderersProfileAndEndGLGivesTheContextBack) {
  struct Case {
    int drawAPI;
    GLint profileBit;
  };
  for (const Case& c : {Case{MHWRender::kOpenGL, GL_CONTEXT_COMPATIBILITY_PROFILE_BIT},
                        Case{MHWRender::kOpenGLCoreProfile, GL_CONTEXT_CORE_PROFILE_BIT}}) {
    testing::setDrawAPI(c.drawAPI);
    testing::setViewSize(24, 16);
    ASSERT_FALSE(contextCurrent());
    M3dView view = M3dView::active3dView();
    ASSERT_TRUE(view.beginGL());
    GLint profile = 0, viewport[4] = {};
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(profile & c.profileBit, c.profileBit);
    EXPECT_EQ(viewport[2], 24);
    EXPECT_EQ(viewport[3], 16);
    EXPECT_EQ(view.portWidth(), 24);

    // A scissored clear paints only the left half: the read-back picture
    // has the view's size and its rows start at the bottom.
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 12, 4);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ASSERT_TRUE(view.endGL());
    EXPECT_FALSE(contextCurrent());

    const zovhost::RenderImage image = testing::readView();
    ASSERT_EQ(image.width, 24);
    ASSERT_EQ(image.height, 16);
    EXPECT_EQ(image.pixel(0, 0)[0], 255);
    EXPECT_EQ(image.pixel(11, 3)[0], 255);
    EXPECT_EQ(image.pixel(12, 3)[0], 0);
    EXPECT_EQ(image.pixel(0, 4)[0], 0);
    EXPECT_FALSE(contextCurrent());
  }
  EXPECT_FALSE(M3dView::active3dView().endGL());
}

TEST_F(ViewportRendering, TheCompatibilityViewRunsFixedFunctionDrawing) {
  ASSERT_TRUE(M3dView::active3dView().beginGL());
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glVertex2f(-0.5f, -0.5f);
  glVertex2f(0.5f, -0.5f);
  glVertex2f(0.5f, 0.5f);
  glVertex2f(-0.5f, 0.5f);
  glEnd();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  M3dView::active3dView().endGL();
  // The quad covers the middle half of the 64 x 64 view.
  const zovhost::RenderImage image = testing::readView();
  EXPECT_EQ(image.pixel(32, 32)[2], 255);
  EXPECT_EQ(image.pixel(16, 16)[2], 255);
  EXPECT_EQ(image.pixel(15, 32)[2], 0);
  EXPECT_EQ(image.pixel(32, 48)[2], 0);
}

TEST_F(ViewportRendering, GeometryMarkedDirtyIsCountedPerNodeUntilTheHostResets) {
  MSelectionList list;
  MObject time;
  ASSERT_TRUE(list.add("time1"));
  ASSERT_TRUE(list.getDependNode(0, time));
  EXPECT_FALSE(MRenderer::setGeometryDrawDirty(MObject()));
  EXPECT_TRUE(MRenderer::setGeometryDrawDirty(time));
  EXPECT_TRUE(MRenderer::setGeometryDrawDirty(time, false));
  unsigned topology = 0;
  EXPECT_EQ(testing::geometryDrawDirtyCount(time, &topology), 2u);
  EXPECT_EQ(topology, 1u);
  testing::resetHost();
  EXPECT_EQ(testing::geometryDrawDirtyCount(time), 0u);
}

TEST_F(ViewportRendering, TheResetLeavesNoContextCurrentAndEachViewAsNewWithNoErrorUnread) {
  const int apis[] = {MHWRender::kOpenGLCoreProfile, MHWRender::kOpenGL};
  for (int drawAPI : apis) {
    testing::setDrawAPI(drawAPI);
    ASSERT_TRUE(testing::makeViewCurrent());
    glLineWidth(-1.0f);
    glLineWidth(3.0f);
    glEnable(GL_CULL_FACE);
  }
  // The compatibility view, current last, with pushed stacks and a moved matrix.
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushMatrix();
  glTranslatef(1.0f, 2.0f, 3.0f);
  ASSERT_TRUE(M3dView::active3dView().beginGL());
  testing::resetHost();
  EXPECT_FALSE(contextCurrent());
  EXPECT_FALSE(M3dView::active3dView().endGL());
  for (int drawAPI : apis) {
    testing::setDrawAPI(drawAPI);
    ASSERT_TRUE(testing::makeViewCurrent());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << drawAPI;
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << drawAPI;
  }
  // Stack depths, matrix mode, line width, then two identity matrices.
  std::vector<double> fresh = {1, 1, 0, GL_MODELVIEW, 1};
  for (int m = 0; m < 32; ++m) fresh.push_back(m % 16 % 5 == 0 ? 1.0 : 0.0);
  EXPECT_EQ(testing::fixedFunctionState(), fresh);
}

void fakeEntryPoint() {}

TEST_F(ViewportRendering, TheProcedureLookupAnswersFromTheDriverUnlessATestSaysOtherwise) {
  testing::setDrawAPI(MHWRender::kOpenGLCoreProfile);
  ASSERT_TRUE(M3dView::active3dView().beginGL());
  // The driver's function works in the current context.
  auto genVertexArrays = reinterpret_cast<PFNGLGENVERTEXARRAYSPROC>(wglGetProcAddress("glGenVertexArrays"));
  auto isVertexArray = reinterpret_cast<PFNGLISVERTEXARRAYPROC>(wglGetProcAddress("glIsVertexArray"));
  auto bindVertexArray = reinterpret_cast<PFNGLBINDVERTEXARRAYPROC>(wglGetProcAddress("glBindVertexArray"));
  ASSERT_TRUE(genVertexArrays && isVertexArray && bindVertexArray);
  GLuint vertexArray = 0;
  genVertexArrays(1, &vertexArray);
  bindVertexArray(vertexArray);
  EXPECT_TRUE(isVertexArray(vertexArray));
  bindVertexArray(0);
  glDeleteVertexArrays(1, &vertexArray);
  M3dView::active3dView().endGL();

  testing::setProcAddress("glGenVertexArrays", nullptr);
  testing::setProcAddress("glUseProgram", fakeEntryPoint);
  EXPECT_EQ(wglGetProcAddress("glGenVertexArrays"), nullptr);
  EXPECT_EQ(wglGetProcAddress("glUseProgram"), &fakeEntryPoint);
  EXPECT_NE(wglGetProcAddress("glBindVertexArray"), nullptr);
  testing::resetHost();
  EXPECT_NE(wglGetProcAddress("glGenVertexArrays"), nullptr);
}

}  // namespace
