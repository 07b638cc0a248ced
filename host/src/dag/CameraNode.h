#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <string>

#include "dag/DagNode.h"

namespace zovhost {

class NodeTypeRegistry;

/// The host's camera shape ("camera", function-set type kCamera): it looks
/// down its own -z axis, with +y up, from its transform's origin. A
/// perspective camera sees a horizontal angle set by its focal length and
/// film aperture; an orthographic one a width in scene units. Both see from
/// the near to the far clipping plane.
class CameraNode : public HostShape {
 public:
  static void* creator() { return new CameraNode; }
  static MStatus initialize();
  MBoundingBox objectBoundingBox() const override;

  static MObject orthographic;
  /// Scene units across the view, for orthographic cameras.
  static MObject orthographicWidth;
  /// Millimetres.
  static MObject focalLength;
  /// Inches, as film gates are measured.
  static MObject horizontalFilmAperture;
  static MObject nearClipPlane;
  static MObject farClipPlane;
  /// The distance from the eye to the point the camera turns about.
  static MObject centerOfInterest;
};

void registerCameraType(NodeTypeRegistry& registry);

/// Whether a name is that of one of the view's default cameras.
bool isDefaultCameraName(const std::string& name);
/// Makes those of the view's default cameras that the scene lacks, as
/// default nodes (never deleted, not written to scene files): "persp"
/// looking at the origin from above and in front, and the orthographic
/// "top" (down -y), "front" (down -z) and "side" (down -x), each with its
/// shape ("perspShape", ...). The scene has none of them until a view asks
/// for one.
void createDefaultCameras();

}  // namespace zovhost
