#pragma once

#include <EGL/egl.h>
#include <maya/MColor.h>
#include <maya/MDagPath.h>
#include <maya/MStateManager.h>
#include <maya/MUIDrawManager.h>
#include <maya/MViewport2Renderer.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/D3DDevice.h"
#include "render/D3DRecorder.h"
#include "render/GLView.h"
#include "render/Manipulators.h"
#include "render/RasterizerStates.h"

namespace zovhost {

class Object;

/// How often a node's Viewport 2.0 geometry was marked dirty.
struct GeometryDirtyCount {
  unsigned marks = 0;
  /// Marks that said the topology changed.
  unsigned topologyChanges = 0;
};

/// What the host's viewport is set to draw with; tests change these.
struct RenderSettings {
  MHWRender::DrawAPI drawAPI = MHWRender::kOpenGL;
  bool rendererExists = true;
  /// Whether a Direct3D renderer has a device to hand out.
  bool deviceAvailable = true;
  int viewWidth = 64;
  int viewHeight = 64;
  /// Views show wireframes instead of shaded surfaces.
  bool wireframe = false;
  /// The user drags in the view, or moves its camera.
  bool userInteraction = false;
  bool changingViewContext = false;
  /// Answers of the OpenGL procedure lookup that replace the driver's: a
  /// null function stands for a name the driver does not have.
  std::map<std::string, void (*)()> procedures;
};

/// The host's viewport drawing: the renderer's settings, the OpenGL contexts
/// of the active view (one per profile, made on first use, kept for the
/// process so that names made in them stay valid), and the Direct3D device
/// with its record.
class RenderState {
 public:
  RenderState() = default;
  RenderState(const RenderState&) = delete;
  RenderState& operator=(const RenderState&) = delete;

  RenderSettings settings;
  d3d::Recorder recorder;

  /// The profile the active view's context has: the core profile when the
  /// renderer draws through it, else the compatibility profile.
  GLProfile activeProfile() const;
  /// The view's context of a profile, or null when none can be made here.
  GLView* view(GLProfile profile);
  /// Makes the active view's context current at the set size.
  bool makeViewCurrent();
  /// The device, made on first use.
  d3d::Device& device();

  /// Contexts saved by M3dView::beginGL, restored by endGL.
  std::vector<CurrentGL> savedContexts;
  /// setGeometryDrawDirty since the last reset, per node.
  std::map<std::weak_ptr<Object>, GeometryDirtyCount, std::owner_less<std::weak_ptr<Object>>> geometryDirty;

  /// M3dView::refresh calls since the last reset.
  unsigned viewRefreshes = 0;

  /// The device's rasterizer states; the state manager of draw contexts.
  RasterizerStates rasterizerStates;
  MHWRender::MStateManager stateManager;
  /// Puts the current rasterizer state's culling into the current OpenGL
  /// context when the renderer draws through OpenGL.
  void applyRasterizerState() const;
  /// The text the draw overrides added in the last frame drawn.
  std::vector<MHWRender::MUIDrawManager::Text> uiTexts;
  /// The text legacy drawing put in the view (M3dView::drawText) in the last
  /// frame drawn, each in the OpenGL colour current at the call.
  std::vector<MHWRender::MUIDrawManager::Text> viewTexts;
  /// The show-manipulator tool's containers and the manipulator connect table.
  ManipulatorState manipulators;

  /// Gives each view's context the state of a new one (GLView::resetState),
  /// reads away the errors it holds, and leaves no context current, with no
  /// beginGL awaiting its endGL: how a started host's views stand before
  /// anything draws.
  void releaseViews();
  /// The settings of a started host, the Direct3D record, the dirty marks,
  /// the texts, the manipulators and the refresh count cleared; contexts,
  /// the device and the objects made stay.
  void reset();

 private:
  EGLDisplay display();

  EGLDisplay m_display = EGL_NO_DISPLAY;
  bool m_displayTried = false;
  std::unique_ptr<GLView> m_views[2];
  std::unique_ptr<d3d::Device> m_device;
};

/// How the selection holds a path (its node or, for a shape, its transform):
/// not at all, or as the last selected item (lead), or otherwise.
enum class SelectionStatus { Dormant, Active, Lead };
SelectionStatus selectionStatusOf(const MDagPath& path);

/// Wireframe colours by selection status.
inline const MColor kDormantWireColor{0.0f, 0.016f, 0.376f};
inline const MColor kActiveWireColor{1.0f, 1.0f, 1.0f};
inline const MColor kLeadWireColor{0.26f, 1.0f, 0.64f};

/// The host's viewport drawing; owned by the host's composition root.
RenderState& renderState();

}  // namespace zovhost
