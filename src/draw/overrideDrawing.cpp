#include "src/draw/overrideDrawing.h"

#include <maya/MGeometryUtilities.h>

#include "platform/ModuleState.h"
#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"

using MHWRender::MFrameContext;
using MHWRender::MRasterizerState;
using MHWRender::MRasterizerStateDesc;
using MHWRender::MStateManager;

namespace zovdraw {

namespace {

/// Acquired on first need; a load starts without it, the reference an
/// earlier load held given back to the host.
const MRasterizerState* g_noCullState = nullptr;
const zov::platform::ModuleStateReset g_noCullStateReset([] {
  if (g_noCullState != nullptr) MStateManager::releaseRasterizerState(g_noCullState);
  g_noCullState = nullptr;
});

const MRasterizerState* noCullState() {
  if (g_noCullState == nullptr) {
    MRasterizerStateDesc desc;
    desc.cullMode = MRasterizerStateDesc::kCullNone;
    g_noCullState = MStateManager::acquireRasterizerState(desc);
  }
  return g_noCullState;
}

}  // namespace

RawFootPrintDrawAgent* agentFor(MHWRender::DrawAPI api) {
  if (api == MHWRender::kDirectX11) return getDXDrawAgent();
  if (api == MHWRender::kOpenGLCoreProfile) return getCoreProfileDrawAgent();
  return getGLDrawAgent();
}

void ObjectDrawOverride::noteObject(ObjectDrawData& data, const MDagPath& objPath) const {
  const MColor wire = MHWRender::MGeometryUtilities::wireframeColor(objPath);
  data.wireColour[0] = wire.r;
  data.wireColour[1] = wire.g;
  data.wireColour[2] = wire.b;
  data.boxFlag = boxFlag;
  data.box = box;
  data.overrideInfo = objPath.getDrawOverrideInfo();
}

RawFootPrintDrawAgent* contextAgent(const MHWRender::MDrawContext& context, MHWRender::DrawAPI& api) {
  const MHWRender::MRenderer* renderer = MHWRender::MRenderer::theRenderer();
  if (renderer == nullptr) return nullptr;
  MStatus worldView, projection, worldViewProjection;
  const MMatrix wv = context.getMatrix(MFrameContext::kWorldViewMtx, &worldView);
  const MMatrix p = context.getMatrix(MFrameContext::kProjectionMtx, &projection);
  const MMatrix wvp = context.getMatrix(MFrameContext::kWorldViewProjMtx, &worldViewProjection);
  if (!worldView || !projection || !worldViewProjection) return nullptr;
  api = renderer->drawAPI();
  RawFootPrintDrawAgent* agent = agentFor(api);
  agent->worldView = wv;
  agent->projection = p;
  agent->worldViewProjection = wvp;
  return agent;
}

CullingOff::CullingOff(MStateManager* states) : stateManager(states) {
  if (stateManager == nullptr) return;
  previous = stateManager->getRasterizerState();
  switched = previous != nullptr && previous->desc().cullMode != MRasterizerStateDesc::kCullNone &&
             noCullState() != nullptr && stateManager->setRasterizerState(noCullState());
}

CullingOff::~CullingOff() {
  if (switched) stateManager->setRasterizerState(previous);
  if (previous != nullptr) MStateManager::releaseRasterizerState(previous);
}

}  // namespace zovdraw
