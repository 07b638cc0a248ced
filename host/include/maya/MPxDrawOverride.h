#pragma once

#include <maya/MObject.h>

namespace MHWRender {

/// Base of plug-in draw overrides: an object the viewport makes, through the
/// creator registered for a draw classification, for each node it draws.
class MPxDrawOverride {
 public:
  typedef void (*GeometryDrawOverrideCb)(const void* context, const void* data);

  MPxDrawOverride(const MObject& object, GeometryDrawOverrideCb callback, bool isAlwaysDirty = true)
      : m_object(object), m_callback(callback), m_isAlwaysDirty(isAlwaysDirty) {}
  virtual ~MPxDrawOverride() = default;

  bool isAlwaysDirty() const { return m_isAlwaysDirty; }

 protected:
  MObject m_object;
  GeometryDrawOverrideCb m_callback;
  bool m_isAlwaysDirty;
};

}  // namespace MHWRender
