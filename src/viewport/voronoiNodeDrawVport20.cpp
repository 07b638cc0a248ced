#include "src/viewport/voronoiNodeDrawVport20.h"

#include <GL/gl.h>
#include <maya/MAnimControl.h>
#include <maya/MGeometryUtilities.h>
#include <maya/MViewport2Renderer.h>

#include "src/draw/cellDrawing.h"
#include "src/draw/overrideDrawing.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"

using MHWRender::MFrameContext;

namespace {

constexpr float kCellOverrideLineWidth = 2.0f;

}  // namespace

MHWRender::MPxDrawOverride* voronoiNodeDrawVport20::Creator(const MObject& object) {
  return new voronoiNodeDrawVport20(object);
}

voronoiNodeDrawVport20::voronoiNodeDrawVport20(const MObject& object)
    : MHWRender::MPxDrawOverride(object, drawCallback, true) {}

MHWRender::DrawAPI voronoiNodeDrawVport20::supportedDrawAPIs() const { return MHWRender::kAllDevices; }

MBoundingBox voronoiNodeDrawVport20::boundingBox(const MDagPath& objPath, const MDagPath&) const {
  box.clear();
  if (const voronoiNode* node = userNodeOf<voronoiNode>(objPath.node()))
    for (unsigned int i = 0; i < node->settings.pointsA.length(); ++i) box.expand(node->settings.pointsA[i]);
  return box;
}

MHWRender::MUserData* voronoiNodeDrawVport20::prepareForDraw(const MDagPath& objPath, const MDagPath&,
                                                             const MHWRender::MFrameContext&,
                                                             MHWRender::MUserData* oldData) {
  auto* data = dynamic_cast<voronoiNodeDrawData*>(oldData);
  if (data == nullptr) data = new voronoiNodeDrawData;
  const MColor wire = MHWRender::MGeometryUtilities::wireframeColor(objPath);
  data->wireColour[0] = wire.r;
  data->wireColour[1] = wire.g;
  data->wireColour[2] = wire.b;
  data->boxFlag = boxFlag;
  data->box = box;
  data->points.clear();
  data->drawCells = false;
  data->cells = nullptr;
  if (const voronoiNode* node = userNodeOf<voronoiNode>(objPath.node())) {
    data->cells = node->displayCells.get();
    data->drawCells = node->showsCells();
  }
  data->overrideInfo = objPath.getDrawOverrideInfo();
  return data;
}

void voronoiNodeDrawVport20::drawCallback(const MHWRender::MDrawContext& context,
                                          const MHWRender::MUserData* userData) {
  const auto* data = dynamic_cast<const voronoiNodeDrawData*>(userData);
  if (data == nullptr || !data->drawCells || data->cells == nullptr) return;
  if (MAnimControl::isPlaying() || MAnimControl::isScrubbing()) return;
  const MHWRender::MRenderer* renderer = MHWRender::MRenderer::theRenderer();
  if (renderer == nullptr) return;
  MStatus worldView, projection, worldViewProjection;
  const MMatrix wv = context.getMatrix(MFrameContext::kWorldViewMtx, &worldView);
  const MMatrix p = context.getMatrix(MFrameContext::kProjectionMtx, &projection);
  const MMatrix wvp = context.getMatrix(MFrameContext::kWorldViewProjMtx, &worldViewProjection);
  if (!worldView || !projection || !worldViewProjection) return;
  if (context.getStateManager() == nullptr) return;
  const zovdraw::CullingOff cullingOff(context.getStateManager());

  const MHWRender::DrawAPI api = renderer->drawAPI();
  RawFootPrintDrawAgent& agent = *zovdraw::agentFor(api);
  agent.worldView = wv;
  agent.projection = p;
  agent.worldViewProjection = wvp;
  agent.beginDraw();
  if (api != MHWRender::kDirectX11) glLineWidth(kCellOverrideLineWidth);
  agent.color[0] = agent.color[1] = agent.color[2] = zovdraw::kCellGrey;
  agent.color[3] = 1.0f;
  zovdraw::forEachCellFace(*data->cells,
                           [&agent](const float* points, unsigned int count) { agent.drawPolygon(points, count); });
  agent.endDraw();
}
