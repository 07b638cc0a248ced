#include "src/viewport/voronoiNodeDrawVport20.h"

#include <GL/gl.h>
#include <maya/MAnimControl.h>
#include <maya/MViewport2Renderer.h>

#include "src/draw/cellDrawing.h"
#include "src/draw/overrideDrawing.h"
#include "src/nodeLinks.h"
#include "src/shatter/voronoiNode.h"

namespace {

constexpr float kCellOverrideLineWidth = 2.0f;

}  // namespace

MBoundingBox voronoiNodeDrawVport20::boundingBox(const MDagPath& objPath, const MDagPath&) const {
  return boxAroundPoints<voronoiNode>(objPath);
}

MHWRender::MUserData* voronoiNodeDrawVport20::prepareForDraw(const MDagPath& objPath, const MDagPath&,
                                                             const MHWRender::MFrameContext&,
                                                             MHWRender::MUserData* oldData) {
  auto* data = reusedData<voronoiNodeDrawData>(oldData);
  noteObject(*data, objPath);
  data->points.clear();
  data->drawCells = false;
  data->cells = nullptr;
  if (const voronoiNode* node = userNodeOf<voronoiNode>(objPath.node())) {
    data->cells = node->displayCells.get();
    data->drawCells = node->showsCells();
  }
  return data;
}

void voronoiNodeDrawVport20::drawCallback(const MHWRender::MDrawContext& context,
                                          const MHWRender::MUserData* userData) {
  const auto* data = dynamic_cast<const voronoiNodeDrawData*>(userData);
  if (data == nullptr || !data->drawCells || data->cells == nullptr) return;
  if (MAnimControl::isPlaying() || MAnimControl::isScrubbing()) return;
  if (context.getStateManager() == nullptr) return;
  MHWRender::DrawAPI api = MHWRender::kNone;
  RawFootPrintDrawAgent* const found = zovdraw::contextAgent(context, api);
  if (found == nullptr) return;
  RawFootPrintDrawAgent& agent = *found;
  const zovdraw::CullingOff cullingOff(context.getStateManager());

  agent.beginDraw();
  if (api != MHWRender::kDirectX11) glLineWidth(kCellOverrideLineWidth);
  agent.color[0] = agent.color[1] = agent.color[2] = zovdraw::kCellGrey;
  agent.color[3] = 1.0f;
  zovdraw::forEachCellFace(*data->cells,
                           [&agent](const float* points, unsigned int count) { agent.drawPolygon(points, count); });
  agent.endDraw();
}
