#include <EGL/egl.h>
#include <GL/gl.h>
#include <maya/M3dView.h>

#include "mathtypes/StatusOut.h"
#include "render/RenderState.h"

using zovhost::setStatus;

MStatus M3dView::beginGL() {
  zovhost::RenderState& state = zovhost::renderState();
  const zovhost::CurrentGL previous = zovhost::CurrentGL::get();
  if (!state.makeViewCurrent()) return MS::kFailure;
  state.savedContexts.push_back(previous);
  return MS::kSuccess;
}

MStatus M3dView::endGL() {
  zovhost::RenderState& state = zovhost::renderState();
  if (state.savedContexts.empty()) return MS::kFailure;
  state.savedContexts.back().restore();
  state.savedContexts.pop_back();
  return MS::kSuccess;
}

int M3dView::portWidth(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return zovhost::renderState().settings.viewWidth;
}

int M3dView::portHeight(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return zovhost::renderState().settings.viewHeight;
}

MStatus M3dView::refresh(bool, bool) {
  ++zovhost::renderState().viewRefreshes;
  return MS::kSuccess;
}

MStatus M3dView::drawText(const MString& text, const MPoint& position, TextPosition textPosition) {
  MHWRender::MUIDrawManager::Text recorded;
  recorded.position = position;
  recorded.text = text;
  recorded.alignment = textPosition == kCenter  ? MHWRender::MUIDrawManager::kCenter
                       : textPosition == kRight ? MHWRender::MUIDrawManager::kRight
                                                : MHWRender::MUIDrawManager::kLeft;
  recorded.color = MColor(1.0f, 1.0f, 1.0f, 1.0f);
  if (eglGetCurrentContext() != EGL_NO_CONTEXT) {
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    recorded.color = MColor(colour[0], colour[1], colour[2], colour[3]);
  }
  recorded.fontSize = MHWRender::MUIDrawManager::kDefaultFontSize;
  zovhost::renderState().viewTexts.push_back(recorded);
  return MS::kSuccess;
}
