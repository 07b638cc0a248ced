#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

namespace MHWRender {

/// The graphics interfaces a viewport renderer can draw through, as bits.
enum DrawAPI {
  kNone = 0,
  kOpenGL = 1 << 0,
  kDirectX11 = 1 << 1,
  kOpenGLCoreProfile = 1 << 2,
  kAllDevices = kOpenGL | kDirectX11 | kOpenGLCoreProfile
};

/// The host's viewport renderer: which graphics interface it draws through
/// and, for Direct3D, the device it draws with.
class MRenderer {
 public:
  /// The renderer, or null when the host runs without one.
  static MRenderer* theRenderer(bool initializeRenderer = true);

  DrawAPI drawAPI() const;
  /// The renderer's Direct3D 11 device (an ID3D11Device*) when it draws
  /// through Direct3D and has a device; null otherwise. The renderer keeps
  /// its reference: callers borrow the device.
  void* GPUDeviceHandle() const;

  /// Tells Viewport 2.0 that the node's geometry changed and its drawing
  /// must be prepared again (with topologyChanged, its buffers too). Fails
  /// for a null object.
  static MStatus setGeometryDrawDirty(MObject object, bool topologyChanged = true);

  MRenderer(const MRenderer&) = delete;
  MRenderer& operator=(const MRenderer&) = delete;

 private:
  MRenderer() = default;
};

}  // namespace MHWRender
