#include <maya/MDoubleArray.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MGlobal.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>

#include <string>

#include "HostFixture.h"
#include "support/HostLookups.h"
#include "support/ScratchFile.h"

namespace {

class CubicCurves : public HostTest {
 protected:
  static MDagPath pathOf(const std::string& name) { return zovtest::pathNamed(name); }
};

/// The cubic Bezier curve of four points at t: the clamped cubic B-spline of
/// four CVs is this curve.
MPoint bezier(const MPoint p[4], double t) {
  const double s = 1.0 - t;
  return MPoint(s * s * s * MVector(p[0]) + 3.0 * s * s * t * MVector(p[1]) + 3.0 * s * t * t * MVector(p[2]) +
                t * t * t * MVector(p[3]));
}

TEST_F(CubicCurves, FourCVsMakeTheBezierCurveOfThemAcrossTheDomain) {
  ASSERT_TRUE(MGlobal::executeCommand("curve -d 3 -p 0 0 0 -p 1 2 0 -p 3 2 1 -p 4 0 0 -n arc"));
  const MPoint cvs[4] = {MPoint(0, 0, 0), MPoint(1, 2, 0), MPoint(3, 2, 1), MPoint(4, 0, 0)};
  MFnNurbsCurve curve(pathOf("arc"));
  EXPECT_EQ(curve.degree(), 3);
  EXPECT_EQ(curve.numCVs(), 4);
  EXPECT_EQ(curve.numKnots(), 6);
  double start = -1.0, end = -1.0;
  ASSERT_TRUE(curve.getKnotDomain(start, end));
  EXPECT_EQ(start, 0.0);
  EXPECT_EQ(end, 1.0);
  for (double t : {0.0, 0.1, 0.37, 0.5, 0.9, 1.0}) {
    MPoint p;
    ASSERT_TRUE(curve.getPointAtParam(t, p));
    EXPECT_LT(p.distanceTo(bezier(cvs, t)), 1e-12) << t;
  }
  MPoint outside;
  EXPECT_FALSE(curve.getPointAtParam(1.5, outside));
}

TEST_F(CubicCurves, LongerCurvesStartAndEndAtTheirEndCVsAndSurviveSaving) {
  // Six CVs: knots 0 0 0 1 2 3 3 3, a domain of 3; the curve passes through
  // the end CVs.
  ASSERT_TRUE(MGlobal::executeCommand("curve -d 3 -p 0 0 0 -p 1 1 0 -p 2 0 0 -p 3 1 0 -p 4 0 0 -p 5 1 0 -n wave"));
  MFnNurbsCurve curve(pathOf("wave"));
  MDoubleArray knots;
  curve.getKnots(knots);
  ASSERT_EQ(knots.length(), 8u);
  EXPECT_EQ(knots[2], 0.0);
  EXPECT_EQ(knots[5], 3.0);
  MPoint p;
  ASSERT_TRUE(curve.getPointAtParam(0.0, p));
  EXPECT_LT(p.distanceTo(MPoint(0, 0, 0)), 1e-12);
  ASSERT_TRUE(curve.getPointAtParam(3.0, p));
  EXPECT_LT(p.distanceTo(MPoint(5, 1, 0)), 1e-12);
  // The CVs and knots are symmetric (x to 5 - x, y to 1 - y, t to 3 - t),
  // so the curve is.
  MPoint a, b;
  curve.getPointAtParam(0.8, a);
  curve.getPointAtParam(2.2, b);
  EXPECT_NEAR(a.x + b.x, 5.0, 1e-12);
  EXPECT_NEAR(a.y + b.y, 1.0, 1e-12);

  // A curve of degree 3 needs four CVs; other degrees are refused.
  EXPECT_FALSE(MGlobal::executeCommand("curve -d 3 -p 0 0 0 -p 1 0 0 -p 2 0 0"));
  EXPECT_FALSE(MGlobal::executeCommand("curve -d 2 -p 0 0 0 -p 1 0 0 -p 2 0 0"));
  EXPECT_FALSE(MGlobal::executeCommand("curve -d 3 -p 0 0 0 -p 1 0 0 -p 2 0 0 -p 3 0 0 -k 0 -k 1"));

  const zovtest::ScratchFile scratch{"cubic", ".ma"};
  const std::string& file = scratch.path;
  ASSERT_TRUE(MGlobal::executeCommand(("file -rename \"" + file + "\"; file -save; file -new").c_str()));
  ASSERT_TRUE(MGlobal::executeCommand(("file -open \"" + file + "\"").c_str()));
  MFnNurbsCurve reopened(pathOf("wave"));
  EXPECT_EQ(reopened.degree(), 3);
  MPoint c;
  ASSERT_TRUE(reopened.getPointAtParam(0.8, c));
  EXPECT_LT(c.distanceTo(a), 1e-12);
}

}  // namespace
