#include "src/viewport/shatterLocatorDrawVport20.h"

#include <maya/MFnCamera.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MViewport2Renderer.h>

#include "platform/ModuleState.h"
#include "src/draw/overrideDrawing.h"
#include "src/nodeLinks.h"
#include "src/shatter/shatterLocatorNode.h"

using MHWRender::MFrameContext;

namespace {

/// The camera's world up and right directions and its distance to the point
/// it turns about, noted by prepareForDraw for the Direct3D markers.
struct CameraValues {
  MVector up{0.0, 1.0, 0.0};
  MVector right{1.0, 0.0, 0.0};
  float markerSize = 1.0f;
};
CameraValues g_camera;
const zov::platform::ModuleStateReset g_cameraReset([] { g_camera = CameraValues(); });

/// The label's font size.
constexpr unsigned int kPreviewLabelFontSize = 9;
/// The OpenGL agents draw plain points; their size argument.
constexpr float kPreviewPointMarker = 1.0f;

void setPreviewColour(RawFootPrintDrawAgent& agent, float r, float g, float b) {
  agent.color[0] = r;
  agent.color[1] = g;
  agent.color[2] = b;
  agent.color[3] = 1.0f;
}

}  // namespace

MBoundingBox ShatterLocatorDrawVport20::boundingBox(const MDagPath& objPath, const MDagPath&) const {
  return boxAroundPoints<ShatterLocatorNode>(objPath);
}

MHWRender::MUserData* ShatterLocatorDrawVport20::prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                                                const MHWRender::MFrameContext&,
                                                                MHWRender::MUserData* oldData) {
  MStatus status;
  const MFnCamera camera(cameraPath, &status);
  if (status) {
    g_camera.up = camera.upDirection(MSpace::kWorld);
    g_camera.right = camera.rightDirection(MSpace::kWorld);
    g_camera.markerSize =
        static_cast<float>(camera.eyePoint(MSpace::kWorld).distanceTo(camera.centerOfInterestPoint(MSpace::kWorld)));
  }
  auto* data = reusedData<ShatterLocatorDrawData>(oldData);
  noteObject(*data, objPath);
  if (const ShatterLocatorNode* node = userNodeOf<ShatterLocatorNode>(objPath.node())) {
    data->previewPoints = node->settings.pointsA;
    data->existingSeeds = node->settings.pointsB;
  }
  return data;
}

void ShatterLocatorDrawVport20::addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager& drawManager,
                                               const MHWRender::MFrameContext&, const MHWRender::MUserData*) {
  const MPoint position(0.0, -0.5 * box.height(), 0.0);
  drawManager.beginDrawable();
  drawManager.setColor(MColor(0.0f, 1.0f, 0.0f, 1.0f));
  drawManager.setFontSize(kPreviewLabelFontSize);
  drawManager.text(position, ShatterLocatorNode::label, MHWRender::MUIDrawManager::kCenter);
  drawManager.endDrawable();
}

void ShatterLocatorDrawVport20::drawCallback(const MHWRender::MDrawContext& context,
                                             const MHWRender::MUserData* userData) {
  const auto* data = dynamic_cast<const ShatterLocatorDrawData*>(userData);
  if (data == nullptr || MFrameContext::userChangingViewContext()) return;
  MHWRender::DrawAPI api = MHWRender::kNone;
  RawFootPrintDrawAgent* const found = zovdraw::contextAgent(context, api);
  if (found == nullptr) return;
  RawFootPrintDrawAgent& agent = *found;
  const zovdraw::CullingOff cullingOff(context.getStateManager());

  MVector first = MVector::xAxis;
  MVector second = MVector::yAxis;
  float size = kPreviewPointMarker;
  if (api == MHWRender::kDirectX11) {
    // Markers keep their size on screen: the camera's distance, undone by
    // the world-view's scale.
    double scale[3] = {1.0, 1.0, 1.0};
    MTransformationMatrix(agent.worldView).getScale(scale, MSpace::kTransform);
    const double halfScale = 0.5 * MVector(scale[0], scale[1], scale[2]).length();
    size = halfScale > 0.0 ? static_cast<float>(g_camera.markerSize / halfScale) : g_camera.markerSize;
    first = g_camera.up;
    second = g_camera.right;
  }
  agent.beginDraw();
  setPreviewColour(agent, 0.0f, 1.0f, 1.0f);
  agent.drawPoints(data->previewPoints, first, second, size);
  setPreviewColour(agent, 0.0f, 0.0f, 1.0f);
  agent.drawPoints(data->existingSeeds, second, first, size);
  agent.endDraw();
}
