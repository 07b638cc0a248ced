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

/// The control vertices and knots of a curve of degree 1 (a polyline through
/// its CVs) or 3 (a cubic B-spline). The knots are counted as the host's
/// API counts them: CVs + degree - 1, without the outermost knot at either
/// end; the curve runs over the domain knots[degree - 1] to knots[CVs - 1].
struct CurveData {
  std::vector<MPoint> cvs;
  std::vector<double> knots;
  int degree = 1;

  /// Degree 1 or 3, at least degree + 1 CVs, CVs + degree - 1 knots, knots
  /// not decreasing and spanning a domain.
  bool valid() const;
  double domainStart() const { return knots[static_cast<size_t>(degree - 1)]; }
  double domainEnd() const { return knots[cvs.size() - 1]; }
  /// The knots of a curve through `cvCount` CVs that a user gives none for:
  /// 0, 1, 2, ... for degree 1; for degree 3 the same, three times over at
  /// each end, so that the curve starts and ends at its end CVs.
  static std::vector<double> defaultKnots(size_t cvCount, int degree);
  /// The point at a parameter within the domain (clamped to it).
  MPoint pointAt(double param) const;
  /// The parameter at a fraction (0 to 1, clamped) of the curve's length.
  double paramAtLengthFraction(double fraction) const;
};

/// The host's curve shape ("nurbsCurve", function-set type kNurbsCurve). Its
/// CVs and knots are kept as text in its storable "controlPoints" and
/// "knots" attributes, its degree in "degree", so that they are saved with
/// the scene.
class CurveNode : public HostShape {
 public:
  static void* creator() { return new CurveNode; }
  static MStatus initialize();
  MBoundingBox objectBoundingBox() const override;

  static CurveData data(const std::shared_ptr<NodeImpl>& node);
  static MStatus setData(const std::shared_ptr<NodeImpl>& node, const CurveData& data);

  static MObject controlPoints;
  static MObject knots;
  /// 1 or 3.
  static MObject degree;
  /// Per instance: what follows the curve in world space (motion paths)
  /// connects here; it becomes dirty when the curve changes.
  static MObject worldSpace;
};

/// Registers "nurbsCurve" and "camera" with the host's own types.
void registerCurveAndCameraTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
