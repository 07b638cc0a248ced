#pragma once

#include <maya/MColor.h>
#include <maya/MDagPath.h>

namespace MHWRender {

class MGeometryUtilities {
 public:
  /// The colour the host draws the object's wireframe in: by whether it is
  /// the last selected object (lead), selected (active) or not (dormant).
  static MColor wireframeColor(const MDagPath& path);
};

}  // namespace MHWRender
