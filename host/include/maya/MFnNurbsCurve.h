#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MFnDagNode.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>
#include <maya/MSpace.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for NURBS curves. This host keeps curves of degree 1 (a
/// polyline through the CVs, CV i at knot i when the knots are 0, 1, 2, ...)
/// and of degree 3 (a cubic B-spline). Knots are counted as CVs + degree - 1;
/// the curve runs from knot degree - 1 to knot CVs - 1. Attached through a
/// DAG path, world-space queries use the path's matrix.
class MFnNurbsCurve : public zovhost::ShapeFunctionSetOf<MFn::kNurbsCurve> {
 public:
  enum Form { kInvalid, kOpen, kClosed, kPeriodic, kLast };

  using ShapeFunctionSetOf::ShapeFunctionSetOf;

  /// Makes a curve of degree 1 or 3: at least degree + 1 CVs,
  /// CVs + degree - 1 knots, not decreasing and spanning a domain. parentOrOwner: null makes the
  /// curve under a new transform (returned); a transform gets the curve
  /// below it (the curve is returned).
  MObject create(const MPointArray& controlVertices, const MDoubleArray& knotSequences, unsigned int degree, Form form,
                 bool create2D, bool createRational, const MObject& parentOrOwner = MObject::kNullObj,
                 MStatus* status = nullptr);

  int numCVs(MStatus* status = nullptr) const;
  int numKnots(MStatus* status = nullptr) const;
  int degree(MStatus* status = nullptr) const;
  MStatus getKnotDomain(double& start, double& end) const;
  MStatus getKnots(MDoubleArray& array) const;
  MStatus getCV(unsigned int index, MPoint& point, MSpace::Space space = MSpace::kObject) const;
  MStatus getCVs(MPointArray& array, MSpace::Space space = MSpace::kObject) const;
  /// The point at a parameter; fails outside the knot domain.
  MStatus getPointAtParam(double param, MPoint& point, MSpace::Space space = MSpace::kObject) const;

 private:
  bool matrixFor(MSpace::Space space, MMatrix& matrix) const;
};
