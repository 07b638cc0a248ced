#include "render/RasterizerStates.h"

namespace zovhost {

RasterizerStates::RasterizerStates() {
  m_default = acquire(MHWRender::MRasterizerStateDesc());
  m_current = m_default;
}

const MHWRender::MRasterizerState* RasterizerStates::acquire(const MHWRender::MRasterizerStateDesc& desc) {
  for (const auto& state : m_states)
    if (state->desc() == desc) {
      ++m_references[state.get()];
      return state.get();
    }
  m_states.push_back(std::make_unique<MHWRender::MRasterizerState>(desc));
  m_references[m_states.back().get()] = 1;
  return m_states.back().get();
}

bool RasterizerStates::release(const MHWRender::MRasterizerState* state) {
  const auto found = m_references.find(state);
  if (found == m_references.end() || found->second == 0) return false;
  // The device's own reference on the default state is not given up.
  if (state == m_default && found->second == 1) return false;
  --found->second;
  return true;
}

const MHWRender::MRasterizerState* RasterizerStates::current() {
  ++m_references[m_current];
  return m_current;
}

bool RasterizerStates::setCurrent(const MHWRender::MRasterizerState* state) {
  if (references(state) == 0) return false;
  m_current = state;
  return true;
}

unsigned RasterizerStates::references(const MHWRender::MRasterizerState* state) const {
  const auto found = m_references.find(state);
  return found == m_references.end() ? 0 : found->second;
}

}  // namespace zovhost
