#pragma once

#include <maya/MFrameContext.h>

namespace MHWRender {

class MStateManager;

/// The frame context of a draw callback, with the state manager of the
/// device drawn to.
class MDrawContext : public MFrameContext {
 public:
  /// Host side.
  MDrawContext(const MFrameContext& frame, MStateManager* stateManager)
      : MFrameContext(frame), m_stateManager(stateManager) {}

  /// Null when the device keeps no state manager.
  MStateManager* getStateManager() const { return m_stateManager; }

 private:
  MStateManager* m_stateManager;
};

}  // namespace MHWRender
