#pragma once

#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>

/// Questions about animation in the scene.
class MAnimUtil {
 public:
  /// True when an animation curve drives the plug directly, or drives one of
  /// its children or elements; with checkParent, also when one drives the
  /// compound or array the plug belongs to.
  static bool isAnimated(const MPlug& plug, bool checkParent = false, MStatus* status = nullptr);
  /// True when an animation curve drives a plug of the node; with
  /// checkParent, also a plug of a transform above it on the path.
  static bool isAnimated(const MDagPath& path, bool checkParent = false, MStatus* status = nullptr);
  static bool isAnimated(const MObject& node, bool checkParent = false, MStatus* status = nullptr);
};
