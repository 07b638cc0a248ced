#pragma once

#include <maya/MStateManager.h>

#include <map>
#include <memory>
#include <vector>

namespace zovhost {

/// The rasterizer states of the viewport's device, shared by description
/// and counted, and which of them is current. The default state (solid,
/// back faces culled) holds a reference of the device's own and never goes.
/// States are kept for the process once made, so that a pointer a plug-in
/// still holds never dangles; only their counts change.
class RasterizerStates {
 public:
  RasterizerStates();
  RasterizerStates(const RasterizerStates&) = delete;
  RasterizerStates& operator=(const RasterizerStates&) = delete;

  /// A state of the description, one reference more.
  const MHWRender::MRasterizerState* acquire(const MHWRender::MRasterizerStateDesc& desc);
  /// One reference less; false for a state not made here or without references.
  bool release(const MHWRender::MRasterizerState* state);
  /// The current state, one reference more.
  const MHWRender::MRasterizerState* current();
  /// False for a state not made here or without references.
  bool setCurrent(const MHWRender::MRasterizerState* state);
  const MHWRender::MRasterizerState* defaultState() const { return m_default; }
  /// The references a state holds (0 for one not made here).
  unsigned references(const MHWRender::MRasterizerState* state) const;
  /// What is current without counting a reference.
  const MHWRender::MRasterizerState* peekCurrent() const { return m_current; }

 private:
  std::vector<std::unique_ptr<MHWRender::MRasterizerState>> m_states;
  std::map<const MHWRender::MRasterizerState*, unsigned> m_references;
  const MHWRender::MRasterizerState* m_default = nullptr;
  const MHWRender::MRasterizerState* m_current = nullptr;
};

}  // namespace zovhost
