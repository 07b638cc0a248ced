#pragma once

#include <maya/MFnDagNode.h>
#include <maya/MSpace.h>
#include <maya/MVector.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for cameras, which look down their own -z axis with +y up
/// and +x to their right. Lengths are in scene units, angles in radians.
class MFnCamera : public zovhost::ShapeFunctionSetOf<MFn::kCamera> {
 public:
  using ShapeFunctionSetOf::ShapeFunctionSetOf;

  /// The unit direction the camera looks in; world space uses its path.
  MVector viewDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MVector upDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MPoint eyePoint(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MVector rightDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  /// The point the camera turns about: centerOfInterest along the view.
  MPoint centerOfInterestPoint(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  double centerOfInterest(MStatus* status = nullptr) const;

  bool isOrtho(MStatus* status = nullptr) const;
  /// The width an orthographic camera sees.
  double orthoWidth(MStatus* status = nullptr) const;
  /// The angle a perspective camera sees across, from its focal length and
  /// film aperture.
  double horizontalFieldOfView(MStatus* status = nullptr) const;
  /// Millimetres.
  double focalLength(MStatus* status = nullptr) const;
  /// Inches.
  double horizontalFilmAperture(MStatus* status = nullptr) const;
  double nearClippingPlane(MStatus* status = nullptr) const;
  double farClippingPlane(MStatus* status = nullptr) const;
};
