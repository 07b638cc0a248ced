#pragma once

#include <maya/MObject.h>
#include <maya/MPoint.h>

#include "dag/DagNode.h"

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class NodeImpl;
class NodeTypeRegistry;

/// The control vertices and knots of a degree-1 curve.
struct CurveData {
  std::vector<MPoint> cvs;
  std::vector<double> knots;

  /// At least two CVs, one knot per CV, knots not decreasing and spanning
  /// a domain.
  bool valid() const;
  /// The point at a parameter within the knots (clamped to them).
  MPoint pointAt(double param) const;
  /// The parameter at a fraction (0 to 1, clamped) of the curve's length.
  double paramAtLengthFraction(double fraction) const;
};

/// The host's curve shape ("nurbsCurve", function-set type kNurbsCurve). Its
/// CVs and knots are kept as text in its storable "controlPoints" and
/// "knots" attributes, so that they are saved with the scene.
class CurveNode : public HostShape {
 public:
  static void* creator() { return new CurveNode; }
  static MStatus initialize();
  MBoundingBox objectBoundingBox() const override;

  static CurveData data(const std::shared_ptr<NodeImpl>& node);
  static MStatus setData(const std::shared_ptr<NodeImpl>& node, const CurveData& data);

  static MObject controlPoints;
  static MObject knots;
  /// Per instance: what follows the curve in world space (motion paths)
  /// connects here; it becomes dirty when the curve changes.
  static MObject worldSpace;
};

/// Registers "nurbsCurve" and "camera" with the host's own types.
void registerCurveAndCameraTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
