#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnBase.h>
#include <maya/MPlug.h>
#include <maya/MPoint.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for free-point triad manipulators: a handle at a point in
/// world space that the user drags in any direction. Connected to a plug of
/// three doubles, a drag writes the new point to the plug.
class MFnFreePointTriadManip : public zovhost::FunctionSetOf<MFnBase, MFn::kFreePointTriadManip> {
 public:
  MFnFreePointTriadManip() = default;
  using FunctionSetOf::FunctionSetOf;
  /// Attaches to the manipulator at the end of a path that
  /// MPxManipContainer::addFreePointTriadManip answered.
  explicit MFnFreePointTriadManip(const MDagPath& path, MStatus* status = nullptr);

  /// Drags write the point to this plug (three numbers).
  MStatus connectToPointPlug(const MPlug& pointPlug);
  MStatus setPoint(const MPoint& point);
  /// The manipulator's point in world space.
  MPoint point(MStatus* status = nullptr) const;
  MStatus setVisible(bool visible);
  MStatus show() { return setVisible(true); }
  MStatus hide() { return setVisible(false); }
  bool isVisible(MStatus* status = nullptr) const;
  MString name(MStatus* status = nullptr) const;
  /// The plug connectToPointPlug was given (null before).
  MPlug pointPlug(MStatus* status = nullptr) const;
};
