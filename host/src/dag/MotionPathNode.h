#pragma once

#include <maya/MObject.h>
#include <maya/MPxNode.h>

namespace zovhost {

class NodeTypeRegistry;

/// The host's motion path ("motionPath", function-set type kMotionPath):
/// places what it drives on a curve. The curve's "worldSpace" feeds
/// "geometryPath"; "uValue" (usually keyed) is the curve parameter, or with
/// "fractionMode" on the fraction of the curve's length; "allCoordinates"
/// gives the world point, which drives the translate of a transform at the
/// top of the hierarchy. The transform's "specifiedManipLocation" takes the
/// path's "message", which is how the path of a transform is found.
class MotionPathNode : public MPxNode {
 public:
  static void* creator() { return new MotionPathNode; }
  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  static MObject message;
  static MObject geometryPath;
  static MObject uValue;
  static MObject fractionMode;
  static MObject allCoordinates;
};

/// Registers "motionPath" with the host's own types.
void registerMotionPathNodeType(NodeTypeRegistry& registry);

}  // namespace zovhost
