#pragma once

#include <maya/MStateManager.h>
#include <maya/MViewport2Renderer.h>

#include "src/draw/RawFootPrintDrawAgent.h"

// What the module's Viewport 2.0 draw callbacks share: the agent of the
// renderer's graphics interface and culling switched off around a draw.
namespace zovdraw {

/// The Direct3D agent, the core-profile agent, or the legacy OpenGL agent.
RawFootPrintDrawAgent* agentFor(MHWRender::DrawAPI api);

/// Culling off for the scope's life when the context's state culls, so that
/// outlines and points show whichever way they face. The state before comes
/// back at the end whatever the display style, so that the host's later
/// draws cull as they expect. The no-cull state is acquired on first need
/// and kept for the rest of the run.
class CullingOff {
 public:
  explicit CullingOff(MHWRender::MStateManager* states);
  ~CullingOff();
  CullingOff(const CullingOff&) = delete;
  CullingOff& operator=(const CullingOff&) = delete;

 private:
  MHWRender::MStateManager* stateManager;
  const MHWRender::MRasterizerState* previous = nullptr;
  bool switched = false;
};

}  // namespace zovdraw
