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

CullingOff::CullingOff(MStateManager* states) : m_states(states) {
  if (m_states == nullptr) return;
  m_previous = m_states->getRasterizerState();
  m_switched = m_previous != nullptr && m_previous->desc().cullMode != MRasterizerStateDesc::kCullNone &&
               noCullState() != nullptr && m_states->setRasterizerState(noCullState());
}

CullingOff::~CullingOff() {
  if (m_switched) m_states->setRasterizerState(m_previous);
  if (m_previous != nullptr) MStateManager::releaseRasterizerState(m_previous);
}

}  // namespace zovdraw
