#pragma once

#include <maya/MObject.h>
#include <maya/MPoint.h>
#include <maya/MStateManager.h>
#include <maya/MUIDrawManager.h>
#include <zovhost/D3DRecord.h>
#include <zovhost/RenderImage.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

/// The test-only interface of the host's viewport drawing: which graphics
/// interface the renderer reports, the active view's OpenGL framebuffer, the
/// OpenGL procedure lookup, and the Direct3D device's record. resetHost puts
/// the settings back (OpenGL, a renderer with a device, a 64 x 64 view, the
/// driver's procedures) and clears the record.
namespace zovhost::testing {

/// An MHWRender::DrawAPI value.
void setDrawAPI(int drawAPI);
void setRendererExists(bool exists);
/// Whether the Direct3D renderer hands out a device.
void setDirectXDevice(bool available);
/// The size of the active view's framebuffers.
void setViewSize(int width, int height);

/// Views show wireframes (M3dView::kWireFrame, MFrameContext::kWireFrame)
/// rather than shaded surfaces.
void setWireframe(bool wireframe);
/// What MFrameContext::inUserInteraction and userChangingViewContext answer.
void setUserInteraction(bool interacting);
void setChangingViewContext(bool changing);

/// Draws the scene's plug-in locators through a camera (by name; the
/// default cameras "persp", "top", "front" and "side" are made when asked
/// for) as the snapshot command does, with the renderer "legacy",
/// "opengl", "core" or "dx". An empty picture when that cannot be done.
RenderImage renderView(const std::string& camera, int width, int height, const std::string& renderer);
/// The colour views are cleared to.
std::array<uint8_t, 3> viewBackground();
/// The text the draw overrides added in the last view drawn.
std::vector<MHWRender::MUIDrawManager::Text> uiTexts();
/// The text legacy drawing put in the last view drawn (M3dView::drawText).
std::vector<MHWRender::MUIDrawManager::Text> viewTexts();
/// Forgets the recorded view texts.
void clearViewTexts();

/// A free-point manipulator of the show-manipulator tool's containers.
struct ShownManipulator {
  std::string name;
  /// World space.
  MPoint point;
  bool visible;
};
/// The manipulators of the shown containers, in order.
std::vector<ShownManipulator> shownManipulators();
/// The node types that have a manipulator container (their ids).
std::vector<unsigned int> manipulatorConnectTable();

/// The references a rasterizer state holds (0 for one the device never made).
unsigned rasterizerReferences(const MHWRender::MRasterizerState* state);
/// The device's default rasterizer state.
const MHWRender::MRasterizerState* defaultRasterizerState();

/// M3dView::refresh calls since the host was reset.
unsigned viewRefreshCount();
/// How often Viewport 2.0 was told that the node's geometry changed since
/// the last reset, and how many of those said its topology changed.
unsigned geometryDrawDirtyCount(const MObject& node, unsigned* topologyChanges = nullptr);

/// Makes wglGetProcAddress answer the name with this function; null makes
/// the name unknown.
void setProcAddress(const std::string& name, void (*function)());
/// Back to the driver's answers for every name.
void clearProcAddresses();

/// Makes the active view's context current (without saving the one before).
bool makeViewCurrent();
/// Fills the active view's framebuffer with a colour.
void clearView(const std::array<float, 4>& color);
/// The active view's framebuffer.
RenderImage readView();

/// The fixed-function state that drawing code must leave as it found it,
/// of the current compatibility-profile context: the model-view,
/// projection and attribute stack depths, the matrix mode, the line width,
/// then the model-view and the projection matrices.
std::vector<double> fixedFunctionState();
/// The contents of an OpenGL buffer object of the current context.
std::vector<uint8_t> readGLBuffer(unsigned int buffer);
/// Bytes taken as an array of values (the last partial value left out).
template <typename T>
std::vector<T> valuesOf(const std::vector<uint8_t>& bytes) {
  std::vector<T> values(bytes.size() / sizeof(T));
  if (!values.empty()) std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
  return values;
}

/// A primitive as OpenGL's feedback mode reports it.
struct FeedbackPrimitive {
  enum Kind { Point, Line, Polygon } kind;
  /// In normalised device coordinates (x, y and z in [-1, 1]); a line has
  /// two, a polygon as many as it has corners.
  std::vector<std::array<float, 3>> vertices;
};
/// What the drawing sends down the pipeline of the current
/// compatibility-profile context, found in feedback mode (nothing is drawn).
std::vector<FeedbackPrimitive> feedback(const std::function<void()>& draw);
size_t countPrimitives(const std::vector<FeedbackPrimitive>& primitives, FeedbackPrimitive::Kind kind);

/// Pixels whose RGB differs from the background.
int litPixels(const RenderImage& image, const std::array<uint8_t, 3>& background = {0, 0, 0});
/// Pixels of `a` that are not black and have no pixel of their RGB (within `tolerance` per
/// channel) in `b` at most `distance` pixels away along x and y.
int unmatchedPixels(const RenderImage& a, const RenderImage& b, int distance, int tolerance);

/// The Direct3D device's record since the last reset or clearD3DRecord.
std::vector<d3d::Call> d3dCalls();
std::vector<d3d::Draw> d3dDraws();
void clearD3DRecord();
/// Every object the device made in the process, live or gone, by id.
std::vector<d3d::ObjectInfo> d3dObjects();
/// The renderer's device's id (made on first use).
unsigned d3dDeviceId();
/// Compilations for the target fail with an error blob while set.
void setShaderCompileFailure(const std::string& target, bool fail);
/// The next `count` calls of a device function ("CreateBuffer",
/// "CreateVertexShader", "CreatePixelShader", "CreateInputLayout") fail.
void injectD3DFailure(const std::string& function, unsigned count = 1);
/// Draws (d3dDraws(), or made by a test) as the module's two shader effects
/// would draw them.
RenderImage rasterizeD3DDraws(const std::vector<d3d::Draw>& draws, int width, int height,
                              const std::array<float, 4>& background);
/// Clip coordinates (x, y, z, w) of the draw's first `count` vertices as
/// the vertex shader places them (POSITION times the constants' matrix).
std::vector<std::array<float, 4>> placedVertices(const d3d::Draw& draw, unsigned count);

}  // namespace zovhost::testing
