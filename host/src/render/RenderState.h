#pragma once

#include <EGL/egl.h>
#include <maya/MViewport2Renderer.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/D3DDevice.h"
#include "render/D3DRecorder.h"
#include "render/GLView.h"

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

  /// The settings of a started host, the Direct3D record, the dirty marks
  /// and the refresh count cleared; contexts, the device and the objects
  /// made stay.
  void reset();

 private:
  EGLDisplay display();

  EGLDisplay m_display = EGL_NO_DISPLAY;
  bool m_displayTried = false;
  std::unique_ptr<GLView> m_views[2];
  std::unique_ptr<d3d::Device> m_device;
};

/// The host's viewport drawing; owned by the host's composition root.
RenderState& renderState();

}  // namespace zovhost
