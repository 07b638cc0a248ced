#pragma once

#include <maya/MStatus.h>

namespace MHWRender {

/// How the rasteriser turns primitives into pixels.
class MRasterizerStateDesc {
 public:
  enum FillMode { kFillWireFrame = 2, kFillSolid = 3 };
  enum CullMode { kCullNone = 1, kCullFront = 2, kCullBack = 3 };

  /// The defaults: solid, back faces culled.
  MRasterizerStateDesc() { setDefaults(); }
  void setDefaults();
  bool operator==(const MRasterizerStateDesc& other) const;

  FillMode fillMode;
  CullMode cullMode;
  bool frontCounterClockwise;
  int depthBias;
  float depthBiasClamp;
  float slopeScaledDepthBias;
  bool depthClipEnable;
  bool scissorEnable;
  bool multiSampleEnable;
  bool antialiasedLineEnable;
};

/// A rasterizer state the device holds; made only by the state manager.
class MRasterizerState {
 public:
  const MRasterizerStateDesc& desc() const { return m_desc; }

  MRasterizerState(const MRasterizerState&) = delete;
  MRasterizerState& operator=(const MRasterizerState&) = delete;
  /// Host side.
  explicit MRasterizerState(const MRasterizerStateDesc& desc) : m_desc(desc) {}

 private:
  MRasterizerStateDesc m_desc;
};

/// The device's states. States are shared and counted: acquiring a
/// description already held answers the same state, and a state goes when
/// its last reference is released. The device's default state (solid,
/// back faces culled), current at the start of each draw, is never released.
class MStateManager {
 public:
  /// The current state, with a reference that the caller releases.
  const MRasterizerState* getRasterizerState() const;
  /// Makes a state current. Fails for null or a state not made here.
  MStatus setRasterizerState(const MRasterizerState* state);

  /// A state of the description, with a reference that the caller releases.
  static const MRasterizerState* acquireRasterizerState(const MRasterizerStateDesc& desc);
  /// Gives up a reference and sets the pointer to null. Fails for null or
  /// a state not made here.
  static MStatus releaseRasterizerState(const MRasterizerState*& state);

  /// Host side.
  MStateManager() = default;
  MStateManager(const MStateManager&) = delete;
  MStateManager& operator=(const MStateManager&) = delete;
};

}  // namespace MHWRender
