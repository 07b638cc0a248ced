#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDAGDrawOverrideInfo.h>
#include <maya/MDagPath.h>
#include <maya/MDrawContext.h>
#include <maya/MObject.h>
#include <maya/MPxDrawOverride.h>
#include <maya/MStateManager.h>
#include <maya/MUserData.h>
#include <maya/MViewport2Renderer.h>

#include "src/draw/RawFootPrintDrawAgent.h"
#include "src/nodeLinks.h"

// What the module's Viewport 2.0 overrides share: the object notes of their
// draw data, the override's box and interfaces, the agent of the renderer's
// graphics interface and culling switched off around a draw.
namespace zovdraw {

/// What every override's draw data keeps of its object for one frame.
class ObjectDrawData : public MHWRender::MUserData {
 public:
  ObjectDrawData() : MHWRender::MUserData(false) {}

  /// The host's wireframe colour of the object (kept, not drawn with).
  float wireColour[3] = {0.0f, 0.0f, 0.0f};
  bool boxFlag = false;
  MBoundingBox box;
  MDAGDrawOverrideInfo overrideInfo;
};

/// An override of one of the module's locators: it draws through every
/// graphics interface and keeps the box it last reported.
class ObjectDrawOverride : public MHWRender::MPxDrawOverride {
 public:
  ObjectDrawOverride(const MObject& object, GeometryDrawOverrideCb callback)
      : MHWRender::MPxDrawOverride(object, callback, true) {}

  /// The host's factory of an override of type `Override`.
  template <class Override>
  static MHWRender::MPxDrawOverride* creator(const MObject& object) {
    return new Override(object);
  }

  /// OpenGL, Direct3D 11 and the OpenGL core profile.
  MHWRender::DrawAPI supportedDrawAPIs() const override { return MHWRender::kAllDevices; }
  bool disableInternalBoundingBoxDraw() const override { return boxFlag; }

 protected:
  /// `oldData` when it is a `Data`, else a new one.
  template <class Data>
  static Data* reusedData(MHWRender::MUserData* oldData) {
    auto* data = dynamic_cast<Data*>(oldData);
    return data != nullptr ? data : new Data;
  }
  /// Notes in `data` the object's wireframe colour and draw override info
  /// and this override's box.
  void noteObject(ObjectDrawData& data, const MDagPath& objPath) const;
  /// The kept box made again around the shatter points of the node at the
  /// path (its settings' `pointsA`); empty when no `Node` is there.
  template <class Node>
  const MBoundingBox& boxAroundPoints(const MDagPath& objPath) const {
    box.clear();
    if (const Node* node = userNodeOf<Node>(objPath.node()))
      for (unsigned int i = 0; i < node->settings.pointsA.length(); ++i) box.expand(node->settings.pointsA[i]);
    return box;
  }

  mutable MBoundingBox box;
  bool boxFlag = true;
};

/// The base of an override class `Override` whose static `drawCallback`
/// draws its data: the factory the plug-in registers and the constructor
/// that hands the callback on.
template <class Override>
class ObjectDrawOverrideOf : public ObjectDrawOverride {
 public:
  /// The factory the plug-in registers for this override.
  static MHWRender::MPxDrawOverride* Creator(const MObject& object) { return creator<Override>(object); }

  explicit ObjectDrawOverrideOf(const MObject& object) : ObjectDrawOverride(object, Override::drawCallback) {}
};

/// The Direct3D agent, the core-profile agent, or the legacy OpenGL agent.
RawFootPrintDrawAgent* agentFor(MHWRender::DrawAPI api);

/// The agent of the renderer's interface (its kind in `api`) with the
/// context's world-view, projection and world-view-projection matrices set;
/// null without a renderer or when the context lacks a matrix.
RawFootPrintDrawAgent* contextAgent(const MHWRender::MDrawContext& context, MHWRender::DrawAPI& api);

/// Culling off for the scope's life when the context's state culls, so that
/// outlines and points show whichever way they face. The state before comes
/// back at the end whatever the display style, so that the host's later
/// draws cull as they expect. The no-cull state is acquired on first need
/// and kept while the module stays loaded.
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
