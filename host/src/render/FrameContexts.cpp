// The classes through which Viewport 2.0 talks to draw overrides: frame and
// draw contexts, the state manager, the UI draw manager, wireframe colours.
#include <GL/gl.h>
#include <maya/MDrawContext.h>
#include <maya/MGeometryUtilities.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MStateManager.h>
#include <maya/MUIDrawManager.h>
#include <maya/MUserData.h>

#include "commands/ActiveSelection.h"
#include "mathtypes/StatusOut.h"
#include "render/RenderState.h"

using zovhost::setStatus;

namespace MHWRender {

MFrameContext::MFrameContext(const MMatrix& world, const MMatrix& view, const MMatrix& projection,
                             unsigned int displayStyle, int viewportWidth, int viewportHeight, const MDagPath& camera)
    : m_world(world),
      m_view(view),
      m_projection(projection),
      m_displayStyle(displayStyle),
      m_width(viewportWidth),
      m_height(viewportHeight),
      m_camera(camera) {}

MMatrix MFrameContext::getMatrix(MatrixType type, MStatus* status) const {
  const int kind = static_cast<int>(type) / 4;
  const int variant = static_cast<int>(type) % 4;
  if (type < kWorldMtx || type > kWorldViewProjTranspInverseMtx) {
    setStatus(status, MS::kInvalidParameter);
    return MMatrix();
  }
  const MMatrix kinds[] = {
      m_world, m_view, m_projection, m_view * m_projection, m_world * m_view, m_world * m_view * m_projection};
  const MMatrix& matrix = kinds[kind];
  setStatus(status, MS::kSuccess);
  switch (variant) {
    case 1:
      return matrix.transpose();
    case 2:
      return matrix.inverse();
    case 3:
      return matrix.inverse().transpose();
    default:
      return matrix;
  }
}

MStatus MFrameContext::getViewportDimensions(int& originX, int& originY, int& width, int& height) const {
  originX = originY = 0;
  width = m_width;
  height = m_height;
  return MS::kSuccess;
}

MDagPath MFrameContext::getCurrentCameraPath(MStatus* status) const {
  setStatus(status, m_camera.isValid() ? MS::kSuccess : MS::kFailure);
  return m_camera;
}

bool MFrameContext::inUserInteraction() { return zovhost::renderState().settings.userInteraction; }

bool MFrameContext::userChangingViewContext() { return zovhost::renderState().settings.changingViewContext; }

void MRasterizerStateDesc::setDefaults() {
  fillMode = kFillSolid;
  cullMode = kCullBack;
  frontCounterClockwise = true;
  depthBias = 0;
  depthBiasClamp = 0.0f;
  slopeScaledDepthBias = 0.0f;
  depthClipEnable = true;
  scissorEnable = false;
  multiSampleEnable = false;
  antialiasedLineEnable = false;
}

bool MRasterizerStateDesc::operator==(const MRasterizerStateDesc& other) const {
  return fillMode == other.fillMode && cullMode == other.cullMode &&
         frontCounterClockwise == other.frontCounterClockwise && depthBias == other.depthBias &&
         depthBiasClamp == other.depthBiasClamp && slopeScaledDepthBias == other.slopeScaledDepthBias &&
         depthClipEnable == other.depthClipEnable && scissorEnable == other.scissorEnable &&
         multiSampleEnable == other.multiSampleEnable && antialiasedLineEnable == other.antialiasedLineEnable;
}

const MRasterizerState* MStateManager::getRasterizerState() const {
  return zovhost::renderState().rasterizerStates.current();
}

MStatus MStateManager::setRasterizerState(const MRasterizerState* state) {
  zovhost::RenderState& render = zovhost::renderState();
  if (!render.rasterizerStates.setCurrent(state)) return MS::kInvalidParameter;
  render.applyRasterizerState();
  return MS::kSuccess;
}

const MRasterizerState* MStateManager::acquireRasterizerState(const MRasterizerStateDesc& desc) {
  return zovhost::renderState().rasterizerStates.acquire(desc);
}

MStatus MStateManager::releaseRasterizerState(const MRasterizerState*& state) {
  if (!zovhost::renderState().rasterizerStates.release(state)) return MS::kInvalidParameter;
  state = nullptr;
  return MS::kSuccess;
}

void MUIDrawManager::beginDrawable() {
  m_open = true;
  m_color = MColor(1.0f, 1.0f, 1.0f, 1.0f);
  m_fontSize = kDefaultFontSize;
}

void MUIDrawManager::endDrawable() { m_open = false; }

void MUIDrawManager::setColor(const MColor& color) { m_color = color; }

void MUIDrawManager::setFontSize(unsigned int size) { m_fontSize = size; }

void MUIDrawManager::text(const MPoint& position, const MString& text, TextAlignment alignment) {
  if (m_open) m_texts.push_back({position, text, alignment, m_color, m_fontSize});
}

MColor MGeometryUtilities::wireframeColor(const MDagPath& path) {
  switch (zovhost::selectionStatusOf(path)) {
    case zovhost::SelectionStatus::Lead:
      return zovhost::kLeadWireColor;
    case zovhost::SelectionStatus::Active:
      return zovhost::kActiveWireColor;
    default:
      return zovhost::kDormantWireColor;
  }
}

bool MPxDrawOverride::isBounded(const MDagPath&, const MDagPath&) const { return false; }

MBoundingBox MPxDrawOverride::boundingBox(const MDagPath&, const MDagPath&) const { return MBoundingBox(); }

void MPxDrawOverride::addUIDrawables(const MDagPath&, MUIDrawManager&, const MFrameContext&, const MUserData*) {}

}  // namespace MHWRender

namespace zovhost {

SelectionStatus selectionStatusOf(const MDagPath& path) {
  const MSelectionList& selection = activeSelection();
  MDagPath transform = path;
  if (transform.length() > 0 && !transform.hasFn(MFn::kTransform)) transform.pop();
  SelectionStatus status = SelectionStatus::Dormant;
  for (unsigned int i = 0; i < selection.length(); ++i) {
    MDagPath item;
    if (!selection.getDagPath(i, item) || (item != path && item != transform)) continue;
    status = i + 1 == selection.length() ? SelectionStatus::Lead : SelectionStatus::Active;
  }
  return status;
}

}  // namespace zovhost
