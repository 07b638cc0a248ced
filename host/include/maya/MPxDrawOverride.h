#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MViewport2Renderer.h>

namespace MHWRender {

class MDrawContext;
class MFrameContext;
class MUIDrawManager;
class MUserData;

/// Base of plug-in draw overrides: an object the viewport makes, through the
/// creator registered for a draw classification, for each node it draws,
/// and keeps while the node and the creator exist. Each frame it asks, in
/// this order: isBounded and boundingBox, disableInternalBoundingBoxDraw,
/// prepareForDraw (with the data the node's last prepareForDraw returned),
/// the draw callback (with a draw context, in the device's context), then
/// hasUIDrawables and addUIDrawables.
class MPxDrawOverride {
 public:
  typedef void (*GeometryDrawOverrideCb)(const MDrawContext& context, const MUserData* data);

  MPxDrawOverride(const MObject& object, GeometryDrawOverrideCb callback, bool isAlwaysDirty = true)
      : m_object(object), m_callback(callback), m_isAlwaysDirty(isAlwaysDirty) {}
  virtual ~MPxDrawOverride() = default;
  MPxDrawOverride(const MPxDrawOverride&) = delete;
  MPxDrawOverride& operator=(const MPxDrawOverride&) = delete;

  /// DrawAPI bits of the interfaces the override draws through; the base
  /// draws through OpenGL only.
  virtual DrawAPI supportedDrawAPIs() const { return kOpenGL; }
  virtual bool isBounded(const MDagPath& objPath, const MDagPath& cameraPath) const;
  virtual MBoundingBox boundingBox(const MDagPath& objPath, const MDagPath& cameraPath) const;
  virtual bool disableInternalBoundingBoxDraw() const { return false; }
  /// The data the draw callback gets; `oldData` is what the last call
  /// returned for the node (or null).
  virtual MUserData* prepareForDraw(const MDagPath& objPath, const MDagPath& cameraPath,
                                    const MFrameContext& frameContext, MUserData* oldData) = 0;
  virtual bool hasUIDrawables() const { return false; }
  virtual void addUIDrawables(const MDagPath& objPath, MUIDrawManager& drawManager, const MFrameContext& frameContext,
                              const MUserData* data);

  bool isAlwaysDirty() const { return m_isAlwaysDirty; }
  /// Host side.
  GeometryDrawOverrideCb callback() const { return m_callback; }

 protected:
  MObject m_object;
  GeometryDrawOverrideCb m_callback;
  bool m_isAlwaysDirty;
};

}  // namespace MHWRender
