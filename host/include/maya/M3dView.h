#pragma once

#include <maya/MDagPath.h>
#include <maya/MStatus.h>

/// A 3D view of the host. This host has one, the active one, which looks
/// through the camera given to setCamera or, until one is given, through
/// the first camera in the scene.
class M3dView {
 public:
  static M3dView active3dView(MStatus* status = nullptr);

  /// Fails when the scene has no camera for the view.
  MStatus getCamera(MDagPath& camera) const;
  MStatus setCamera(const MDagPath& camera);
};
