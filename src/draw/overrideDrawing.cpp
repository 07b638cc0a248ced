#include "src/draw/overrideDrawing.h"

#include "src/draw/RawFootPrintDrawAgentCoreProfile.h"
#include "src/draw/RawFootPrintDrawAgentDX.h"
#include "src/draw/RawFootPrintDrawAgentGL.h"

using MHWRender::MRasterizerState;
using MHWRender::MRasterizerStateDesc;
using MHWRender::MStateManager;

namespace zovdraw {

namespace {

const MRasterizerState* noCullState() {
  static const MRasterizerState* state = nullptr;
  if (state == nullptr) {
    MRasterizerStateDesc desc;
    desc.cullMode = MRasterizerStateDesc::kCullNone;
    state = MStateManager::acquireRasterizerState(desc);
  }
  return state;
}

}  // namespace

RawFootPrintDrawAgent* agentFor(MHWRender::DrawAPI api) {
  if (api == MHWRender::kDirectX11) return getDXDrawAgent();
  if (api == MHWRender::kOpenGLCoreProfile) return getCoreProfileDrawAgent();
  return getGLDrawAgent();
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
