#pragma once

#include <maya/MFnDagNode.h>
#include <maya/MSpace.h>
#include <maya/MVector.h>

/// Function set for cameras, which look down their own -z axis.
class MFnCamera : public MFnDagNode {
 public:
  MFnCamera() = default;
  explicit MFnCamera(const MObject& object, MStatus* status = nullptr);
  explicit MFnCamera(const MDagPath& path, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kCamera; }
  MStatus setObject(const MObject& object) override;
  MStatus setObject(const MDagPath& path);

  /// The unit direction the camera looks in; world space uses its path.
  MVector viewDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MVector upDirection(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
  MPoint eyePoint(MSpace::Space space = MSpace::kObject, MStatus* status = nullptr) const;
};
