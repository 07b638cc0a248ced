#include "render/SceneViewport.h"

#include <GL/gl.h>
#include <maya/M3dView.h>
#include <maya/MDrawContext.h>
#include <maya/MFnCamera.h>
#include <maya/MItDag.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MPxManipContainer.h>

#include <cmath>

#include "dg/NodeImpl.h"
#include "dg/NodeType.h"
#include "plugin/DrawOverrideRegistry.h"
#include "render/D3DRasterizer.h"
#include "render/RenderState.h"

namespace zovhost {

namespace {

/// The settings a drawing changes, given back when it ends.
class SettingsScope {
 public:
  explicit SettingsScope(RenderState& state) : m_state(state), m_saved(state.settings) {}
  ~SettingsScope() {
    m_state.settings.drawAPI = m_saved.drawAPI;
    m_state.settings.viewWidth = m_saved.viewWidth;
    m_state.settings.viewHeight = m_saved.viewHeight;
  }
  SettingsScope(const SettingsScope&) = delete;
  SettingsScope& operator=(const SettingsScope&) = delete;

 private:
  RenderState& m_state;
  RenderSettings m_saved;
};

MHWRender::DrawAPI apiOf(SceneRenderer renderer) {
  switch (renderer) {
    case SceneRenderer::CoreProfile:
      return MHWRender::kOpenGLCoreProfile;
    case SceneRenderer::Direct3D:
      return MHWRender::kDirectX11;
    default:
      return MHWRender::kOpenGL;
  }
}

/// Loads a row-vector matrix: its rows are OpenGL's columns.
void loadMatrix(GLenum mode, const MMatrix& matrix) {
  glMatrixMode(mode);
  glLoadMatrixd(&matrix.matrix[0][0]);
}

M3dView::DisplayStatus legacyStatus(const MDagPath& path) {
  switch (selectionStatusOf(path)) {
    case SelectionStatus::Lead:
      return M3dView::kLead;
    case SelectionStatus::Active:
      return M3dView::kActive;
    default:
      return M3dView::kDormant;
  }
}

/// A locator drawn by the legacy viewport: the camera's projection and the
/// locator's world-view matrix loaded, in a view of the compatibility profile.
void drawLegacy(MPxLocatorNode& locator, const MDagPath& path, const MMatrix& view, const MMatrix& projection) {
  loadMatrix(GL_PROJECTION, projection);
  loadMatrix(GL_MODELVIEW, path.inclusiveMatrix() * view);
  M3dView active = M3dView::active3dView();
  const M3dView::DisplayStyle style = renderState().settings.wireframe ? M3dView::kWireFrame : M3dView::kGouraudShaded;
  locator.draw(active, path, style, legacyStatus(path));
}

/// The show-manipulator tool's containers, drawn over the scene in world space.
void drawLegacyManipulators(const MMatrix& view, const MMatrix& projection) {
  for (const ManipulatorState::Shown& shown : renderState().manipulators.shown) {
    auto* container = shown.container ? dynamic_cast<MPxManipContainer*>(shown.container->user.get()) : nullptr;
    if (!container) continue;
    loadMatrix(GL_PROJECTION, projection);
    loadMatrix(GL_MODELVIEW, view);
    M3dView active = M3dView::active3dView();
    container->draw(active, MDagPath(), M3dView::kGouraudShaded, M3dView::kActive);
  }
}

/// A node drawn by its Viewport 2.0 override, in the order the viewport asks.
void drawOverride(DrawOverrideRegistry::Instance& instance, const MDagPath& path, const MDagPath& camera,
                  const MHWRender::MFrameContext& frame) {
  RenderState& state = renderState();
  MHWRender::MPxDrawOverride& drawer = *instance.drawOverride;
  if ((drawer.supportedDrawAPIs() & state.settings.drawAPI) == 0) return;
  if (drawer.isBounded(path, camera)) drawer.boundingBox(path, camera);
  drawer.disableInternalBoundingBoxDraw();

  MHWRender::MUserData* old = instance.data.get();
  MHWRender::MUserData* prepared = drawer.prepareForDraw(path, camera, frame, old);
  if (prepared != old) instance.data.reset(prepared);

  // Each draw starts from the device's default state, which the callback
  // must leave current behind it.
  state.rasterizerStates.setCurrent(state.rasterizerStates.defaultState());
  state.applyRasterizerState();
  if (drawer.callback()) drawer.callback()(MHWRender::MDrawContext(frame, &state.stateManager), prepared);

  if (drawer.hasUIDrawables()) {
    MHWRender::MUIDrawManager manager;
    drawer.addUIDrawables(path, manager, frame, prepared);
    state.uiTexts.insert(state.uiTexts.end(), manager.texts().begin(), manager.texts().end());
  }
  if (prepared && prepared->deleteAfterUse()) instance.data.reset();
}

}  // namespace

bool rendererNamed(const std::string& name, SceneRenderer& renderer) {
  const std::pair<const char*, SceneRenderer> names[] = {{"legacy", SceneRenderer::Legacy},
                                                         {"opengl", SceneRenderer::OpenGL},
                                                         {"core", SceneRenderer::CoreProfile},
                                                         {"dx", SceneRenderer::Direct3D}};
  for (const auto& [text, value] : names)
    if (name == text) {
      renderer = value;
      return true;
    }
  return false;
}

MMatrix cameraProjection(const MDagPath& camera, int width, int height) {
  const MFnCamera fn(camera);
  const double aspect = static_cast<double>(width) / height;
  const double n = fn.nearClippingPlane(), f = fn.farClippingPlane();
  // Column-vector matrices as OpenGL writes them, stored transposed.
  double m[4][4] = {};
  if (fn.isOrtho()) {
    const double halfWidth = 0.5 * fn.orthoWidth(), halfHeight = halfWidth / aspect;
    m[0][0] = 1.0 / halfWidth;
    m[1][1] = 1.0 / halfHeight;
    m[2][2] = -2.0 / (f - n);
    m[3][2] = -(f + n) / (f - n);
    m[3][3] = 1.0;
  } else {
    const double xScale = 1.0 / std::tan(0.5 * fn.horizontalFieldOfView());
    m[0][0] = xScale;
    m[1][1] = xScale * aspect;
    m[2][2] = (f + n) / (n - f);
    m[2][3] = -1.0;
    m[3][2] = 2.0 * f * n / (n - f);
  }
  return MMatrix(m);
}

bool renderScene(const MDagPath& cameraPath, int width, int height, SceneRenderer renderer, RenderImage& image,
                 std::string& error) {
  MDagPath camera = cameraPath;
  if (camera.isValid() && !camera.hasFn(MFn::kCamera)) camera.extendToShape();
  if (!camera.isValid() || !camera.hasFn(MFn::kCamera)) {
    error = "not a camera";
    return false;
  }
  if (width <= 0 || height <= 0) {
    error = "the picture has no pixels";
    return false;
  }
  RenderState& state = renderState();
  const SettingsScope scope(state);
  state.settings.drawAPI = apiOf(renderer);
  state.settings.viewWidth = width;
  state.settings.viewHeight = height;

  const bool openGL = renderer != SceneRenderer::Direct3D;
  const CurrentGL previous = CurrentGL::get();
  if (openGL) {
    if (!state.makeViewCurrent()) {
      error = "no OpenGL context can be had";
      return false;
    }
    glClearColor(kViewBackground[0], kViewBackground[1], kViewBackground[2], kViewBackground[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (renderer == SceneRenderer::Legacy) glDisable(GL_CULL_FACE);
  }
  const size_t firstDraw = state.recorder.draws.size();
  state.uiTexts.clear();
  state.viewTexts.clear();

  const MMatrix view = camera.inclusiveMatrixInverse();
  const MMatrix projection = cameraProjection(camera, width, height);
  const unsigned int style =
      state.settings.wireframe ? MHWRender::MFrameContext::kWireFrame : MHWRender::MFrameContext::kGouraudShaded;
  DrawOverrideRegistry& overrides = drawOverrideRegistry();
  overrides.dropLeftNodes();

  for (MItDag it; !it.isDone(); it.next()) {
    MDagPath path;
    if (!it.getPath(path) || !path.getDrawOverrideInfo().fEnableVisible) continue;
    const std::shared_ptr<NodeImpl> node = path.last();
    auto* locator = node ? dynamic_cast<MPxLocatorNode*>(node->liveUser()) : nullptr;
    if (!locator) continue;
    if (renderer == SceneRenderer::Legacy) {
      drawLegacy(*locator, path, view, projection);
      continue;
    }
    if (node->type->classification.empty()) continue;
    DrawOverrideRegistry::Instance* instance = overrides.instanceFor(node, node->type->classification);
    if (!instance) continue;
    const MHWRender::MFrameContext frame(path.inclusiveMatrix(), view, projection, style, width, height, camera);
    drawOverride(*instance, path, camera, frame);
  }
  if (renderer == SceneRenderer::Legacy) drawLegacyManipulators(view, projection);
  state.rasterizerStates.setCurrent(state.rasterizerStates.defaultState());

  if (openGL) {
    image = state.view(state.activeProfile())->read();
    previous.restore();
  } else {
    const std::vector<d3d::Draw> draws(state.recorder.draws.begin() + static_cast<std::ptrdiff_t>(firstDraw),
                                       state.recorder.draws.end());
    image = d3d::rasterize(draws, width, height, kViewBackground);
  }
  return true;
}

}  // namespace zovhost
