#include "HostFixture.h"
#include "support/HostLookups.h"

#include <maya/MAnimControl.h>
#include <maya/MFnField.h>
#include <maya/MFnGravityField.h>
#include <maya/MFnTransform.h>
#include <maya/MFnUniformField.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>
#include <maya/MSelectionList.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

class FieldsAndPaths : public HostTest {
 protected:
  static MString run(const std::string& line) {
    MString result;
    EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), result, false, true)) << line;
    return result;
  }
  static MObject node(const MString& name) { return zovtest::nodeNamed(name.asChar()); }
};

TEST_F(FieldsAndPaths, FieldForcesFollowTheirKindMagnitudeDirectionAndReach) {
  const MObject uniform = node(run("uniform -m 3 -dx 0 -dy 0 -dz 2"));
  const MObject gravity = node(run("gravity -pos 0 10 0 -mxd 5"));
  ASSERT_TRUE(uniform.hasFn(MFn::kUniform) && uniform.hasFn(MFn::kField) && uniform.hasFn(MFn::kTransform));
  ASSERT_TRUE(gravity.hasFn(MFn::kGravity) && gravity.hasFn(MFn::kField));
  EXPECT_EQ(MFnUniformField(uniform).direction(), MVector(0.0, 0.0, 2.0));
  EXPECT_DOUBLE_EQ(MFnGravityField(gravity).magnitude(), 9.8);

  MVectorArray points, velocities, forces;
  MDoubleArray masses;
  const double sample[][4] = {{0.0, 8.0, 0.0, 2.0}, {0.0, 0.0, 0.0, 0.5}, {1.0, 10.0, 1.0, 4.0}};
  for (const auto& s : sample) {
    points.append(MVector(s[0], s[1], s[2]));
    velocities.append(MVector(1.0, 0.0, 0.0));
    masses.append(s[3]);
  }
  // Uniform: magnitude along the unit direction whatever the mass.
  MFnField uniformFn(uniform);
  ASSERT_TRUE(uniformFn.getForceAtPoint(points, velocities, masses, forces));
  ASSERT_EQ(forces.length(), 3u);
  for (unsigned int i = 0; i < 3; ++i) EXPECT_EQ(forces[i], MVector(0.0, 0.0, 3.0));
  // Gravity: mass times magnitude down, zero beyond its reach of 5 from (0, 10, 0).
  MFnField gravityFn(gravity);
  ASSERT_TRUE(gravityFn.getForceAtPoint(points, velocities, masses, forces));
  EXPECT_EQ(forces[0], MVector(0.0, -9.8 * 2.0, 0.0));
  EXPECT_EQ(forces[1], MVector());
  EXPECT_EQ(forces[2], MVector(0.0, -9.8 * 4.0, 0.0));
  gravityFn.setUseMaxDistance(false);
  ASSERT_TRUE(gravityFn.getForceAtPoint(points, velocities, masses, forces));
  EXPECT_EQ(forces[1], MVector(0.0, -9.8 * 0.5, 0.0));

  // Arrays of other lengths are refused and leave the forces alone.
  masses.append(1.0);
  EXPECT_EQ(gravityFn.getForceAtPoint(points, velocities, masses, forces), MS::kInvalidParameter);
  EXPECT_EQ(forces[1], MVector(0.0, -9.8 * 0.5, 0.0));

  std::vector<std::string> walked;
  for (MItDag it(MItDag::kDepthFirst, MFn::kField); !it.isDone(); it.next())
    walked.push_back(it.partialPathName().asChar());
  EXPECT_EQ(walked, (std::vector<std::string>{"uniformField1", "gravityField1"}));
  for (const char* bad : {"uniform -m x", "gravity -pos 1 2", "uniform extra", "gravity -n 1bad"})
    EXPECT_FALSE(MGlobal::executeCommand(bad)) << bad;
  run("undo");
  run("undo");
  EXPECT_TRUE(MItDag(MItDag::kDepthFirst, MFn::kField).isDone());
}

TEST_F(FieldsAndPaths, MotionPathMovesItsObjectAlongTheCurveWithTime) {
  // An L of two pieces of length 10 and 30 over the knots 0 .. 1 .. 2.
  run("curve -d 1 -p 0 0 0 -p 10 0 0 -p 10 30 0 -k 0 -k 1 -k 2 -n path");
  run("setAttr path.translateZ 2");
  run("createNode transform -n rider");
  const MString motion = run("pathAnimation -c path -stu 1 -etu 5 rider");
  MSelectionList list;
  list.add("rider");
  MObject rider;
  list.getDependNode(0, rider);
  // Parameter u = (frame - 1) / 2: frame 2 is half the first piece, 4 half the second.
  const double expected[][4] = {
      {1.0, 0.0, 0.0, 2.0}, {2.0, 5.0, 0.0, 2.0}, {4.0, 10.0, 15.0, 2.0}, {5.0, 10.0, 30.0, 2.0}};
  for (const auto& e : expected) {
    MAnimControl::setCurrentTime(MTime(e[0]));
    const MVector t = MFnTransform(rider).getTranslation(MSpace::kTransform);
    EXPECT_NEAR((t - MVector(e[1], e[2], e[3])).length(), 0.0, 1e-9) << e[0];
  }
  // In fraction mode frame 3, half of the time, is half of the length 40.
  run("setAttr " + std::string(motion.asChar()) + ".fractionMode 1");
  run("setKeyframe -t 5 -v 1 " + std::string(motion.asChar()) + ".uValue");
  MAnimControl::setCurrentTime(MTime(3.0));
  EXPECT_NEAR((MFnTransform(rider).getTranslation(MSpace::kTransform) - MVector(10.0, 10.0, 2.0)).length(), 0.0, 1e-9);
  // The path is found from the transform.
  EXPECT_TRUE(MFnDependencyNode(rider).findPlug("specifiedManipLocation").isDestination());
  for (const char* bad : {"pathAnimation rider", "pathAnimation -c rider rider", "pathAnimation -c path nothing",
                          "pathAnimation -c path -stu 5 -etu 1 rider"})
    EXPECT_FALSE(MGlobal::executeCommand(bad)) << bad;
}

}  // namespace
