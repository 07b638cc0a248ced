#include <maya/MViewport2Renderer.h>

#include "render/RenderState.h"

namespace MHWRender {

MRenderer* MRenderer::theRenderer(bool) {
  static MRenderer renderer;
  return zovhost::renderState().settings.rendererExists ? &renderer : nullptr;
}

DrawAPI MRenderer::drawAPI() const { return zovhost::renderState().settings.drawAPI; }

void* MRenderer::GPUDeviceHandle() const {
  zovhost::RenderState& state = zovhost::renderState();
  if (state.settings.drawAPI != kDirectX11 || !state.settings.deviceAvailable) return nullptr;
  return static_cast<ID3D11Device*>(&state.device());
}

MStatus MRenderer::setGeometryDrawDirty(MObject object, bool topologyChanged) {
  if (object.isNull()) return MS::kInvalidParameter;
  zovhost::GeometryDirtyCount& count = zovhost::renderState().geometryDirty[object.object()];
  ++count.marks;
  if (topologyChanged) ++count.topologyChanges;
  return MS::kSuccess;
}

}  // namespace MHWRender
