#include <maya/MDGModifier.h>
#include <maya/MDistance.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MTime.h>

#include <cmath>

#include "MeshTestSupport.h"
#include "PluginFixture.h"
#include "src/hostHelpers.h"
#include "src/hostUtilities.h"
#include "src/meshes/cutFaceTags.h"
#include "src/meshes/meshConversion.h"
#include "src/shatter/hostSeeding.h"

namespace {

using meshtest::MeshPtr;
using meshtest::pathOf;

class HostUtilities : public PluginTest {
 protected:
  static MPlug plugOf(const std::string& name, const char* attribute) {
    return MFnDependencyNode(node(name)).findPlug(attribute);
  }
};

TEST_F(HostUtilities, LinearUnitsGiveCentimetresAndFrameUnitsTheirRateOtherUnits24) {
  const std::pair<MDistance::Unit, double> table[] = {
      {MDistance::kMeters, 100.0},        {MDistance::kInches, 2.5399999618530273},
      {MDistance::kMiles, 160934.40625},  {MDistance::kMillimeters, static_cast<double>(0.1f)},
      {MDistance::kKilometers, 100000.0}, {MDistance::kCentimeters, 1.0}};
  for (const auto& [unit, scale] : table) {
    MDistance::setUIUnit(unit);
    EXPECT_EQ(getLinearUnitScale(), scale) << unit;
  }
  // One frame of a unit from games (15) to 6000 lasts 1 / rate seconds.
  for (int u = MTime::kHours; u <= MTime::k48000FPS; ++u) {
    const auto unit = static_cast<MTime::Unit>(u);
    MTime::setUIUnit(unit);
    const bool frames = unit >= MTime::kGames && unit <= MTime::k6000FPS;
    EXPECT_EQ(getFramesPerSecond(), frames ? std::lround(1.0 / MTime(1.0, unit).as(MTime::kSeconds)) : 24) << u;
  }
}

TEST_F(HostUtilities, ElapsedTimeSplitsIntoHoursMinutesAndSecondsAndPrintsWithAnyLabel) {
  double seconds = 3600.0 + 120.0 + 5.0;
  unsigned int minutes = 0, hours = 0;
  splitElapsedTime(seconds, minutes, hours);
  EXPECT_TRUE(hours == 1 && minutes == 2 && seconds == 5.0);
  EXPECT_EQ(elapsedTimeText(3725.5, "shatter"), "\"shatter 1::2::5.50 \"");
  EXPECT_EQ(elapsedTimeText(59.9, "t"), "\"t 0::0::59.90 \"");
  // A label of any length, quotes in it escaped.
  const std::string label(400, 'x');
  EXPECT_EQ(elapsedTimeText(1.0, label + "\"q"), "\"" + label + "\\\"q 0::0::1.00 \"");
  printTimeOnIdle(3725.5, "say \"hi\"", true);
  zovhost::testing::clearLogs();
  zovhost::testing::flushIdleQueue();
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Print, "say \"hi\" 1::2::5.50"));
}

TEST_F(HostUtilities, TheUncutFaceIsTheFirstWhoseTagIsZeroOrMissing) {
  meshtest::makeCube("box");
  meshtest::makeCutFaceType();
  const MDagPath box = pathOf("box");
  meshtest::tagFace(box, 0, 1);
  meshtest::tagFace(box, 2, 0);
  MFnMesh mesh(box);
  MIntArray vertices;
  mesh.getPolygonVertices(1, vertices);
  int position = 42;
  EXPECT_EQ(findUncutFaceOfVertex(vertices[2], MIntArray(), mesh, position), -1);
  EXPECT_EQ(position, 42);
  // Face 1 has no tag: it counts as uncut even after a cut face.
  EXPECT_EQ(findUncutFaceOfVertex(vertices[2], meshtest::ints({0, 1, 2}), mesh, position), 1);
  EXPECT_EQ(position, 2);
  meshtest::tagFace(box, 1, 2);
  EXPECT_EQ(findUncutFaceOfVertex(vertices[2], meshtest::ints({0, 1}), mesh, position), -1);
}

TEST_F(HostUtilities, DisconnectingAPlugBreaksEachConnectionInItsOwnDirection) {
  for (const char* line : {"createNode meshCache -n a", "createNode meshCache -n b", "createNode meshCache -n c",
                           "createNode meshCache -n d", "connectAttr a.outMesh b.inMesh",
                           "connectAttr a.outMesh c.inMesh", "connectAttr d.outMesh a.inMesh"})
    run(line);
  MDGModifier modifier;
  EXPECT_TRUE(disconnectAllConnections(plugOf("a", "outMesh"), modifier));
  EXPECT_FALSE(plugOf("b", "inMesh").isConnected() || plugOf("c", "inMesh").isConnected());
  EXPECT_TRUE(disconnectAllConnections(plugOf("a", "inMesh"), modifier) && !plugOf("a", "inMesh").isConnected());
  // A locked node refuses, and the failure is reported.
  run("connectAttr a.outMesh b.inMesh");
  run("lockNode -l on b");
  EXPECT_FALSE(disconnectAllConnections(plugOf("a", "outMesh"), modifier));
  EXPECT_TRUE(plugOf("b", "inMesh").isConnected());
}

TEST_F(HostUtilities, TransformsViewsAndAnimatedScale) {
  run("polyCube -n box");
  run("createNode transform -n target");
  run("xform -t 1.25 2 3 -ro 10 20 30 box");
  MFnDependencyNode target(node("target"));
  EXPECT_TRUE(copyTranslateRotate(MFnDependencyNode(node("box")), target));
  EXPECT_FLOAT_EQ(plugOf("target", "translateX").asFloat(), 1.25f);
  EXPECT_NEAR(plugOf("target", "rotateZ").asFloat(), 30.0 * M_PI / 180.0, 1e-6);  // stored in radians

  EXPECT_FALSE(isScaleAnimated(pathOf("box")));
  MFnAnimCurve curve;
  curve.create(plugOf("box", "scaleZ"));
  EXPECT_TRUE(isScaleAnimated(pathOf("box")));
  EXPECT_TRUE(addKeyToPlugCurve(node("box"), "scaleZ", MTime(10.0, MTime::kFilm), 2.0));
  EXPECT_EQ(curve.numKeys(), 1u);
  EXPECT_EQ(addKeyToPlugCurve(node("box"), "scaleY", MTime(10.0, MTime::kFilm), 2.0), MS::kNotFound);

  MStatus status;
  EXPECT_EQ(getActiveViewDirection(&status), MVector::zero);
  EXPECT_FALSE(status);
  run("camera -n eye");
  run("xform -ro -90 0 0 eye");
  EXPECT_TRUE(getActiveViewDirection().isEquivalent(MVector(0.0, -1.0, 0.0), 1e-12));
}

TEST_F(HostUtilities, MeshBoxesAreCountedAgainstABox) {
  run("polyCube -n near");
  run("polyCube -n far");
  run("xform -t 10 0 0 far");
  run("group -n holder near far");
  const MBoundingBox box(MPoint(-1, -1, -1), MPoint(1, 1, 1));
  // The exclusive matrix leaves out each transform's own move.
  EXPECT_EQ(meshBoundsIntersect(pathOf("holder", false), box), 2);
  EXPECT_EQ(meshBoundsIntersect(MDagPath(), box), 0);
  MObjectArray objects;
  objects.append(node("near"));
  EXPECT_EQ(anyMeshBoundsIntersect(objects, box), 1);
  EXPECT_EQ(anyMeshBoundsIntersect(objects, MBoundingBox(MPoint(9, -1, -1), MPoint(11, 1, 1))), 0);
}

TEST_F(HostUtilities, AFacePointGetsTheUVOfItsPlace) {
  run("polyPlane -w 2 -h 2 -sx 1 -sy 1 -n sheet");
  MFnMesh plane(pathOf("sheet"));
  float u = -1.0f, v = -1.0f;
  // The plane's UVs run with x and -z over [0, 1].
  ASSERT_TRUE(faceUVAtPoint(MPoint(0.5, 0.0, -0.5), 0, 0, plane, "map1", u, v));
  EXPECT_NEAR(u, 0.75f, 1e-6f);
  EXPECT_NEAR(v, 0.75f, 1e-6f);
  // A mesh without UVs, or a face it does not have.
  MFnMesh bare(meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {3}, {0, 1, 2}));
  u = v = 7.0f;
  EXPECT_FALSE(faceUVAtPoint(MPoint(0.2, 0.2, 0.0), 0, 0, bare, "map1", u, v));
  EXPECT_FALSE(faceUVAtPoint(MPoint(0.2, 0.2, 0.0), 3, 0, bare, "map1", u, v));
  EXPECT_EQ(u, 7.0f);
}

TEST_F(HostUtilities, SmallHelpers) {
  run("curve -d 1 -p 0 0 0 -p 4 0 0 -p 4 4 0 -n path");
  MFnNurbsCurve curve(pathOf("path"));
  Mgc::MgcVector3 points[3];
  MMatrix lift;
  lift[3][2] = 1.0;
  ASSERT_TRUE(curvePointAtParam(curve, points, 3, lift));
  EXPECT_EQ(points[1], Mgc::MgcVector3(4, 0, 1));
  EXPECT_EQ(points[2], Mgc::MgcVector3(4, 4, 1));

  // The mesh upstream of a mesh fed by it.
  meshtest::makeCube("first");
  meshtest::makeCube("second");
  run("connectAttr firstShape.outMesh secondShape.inMesh");
  EXPECT_EQ(findUpstreamNode(pathOf("second")).node(), pathOf("first").node());
  EXPECT_EQ(findUpstreamNode(pathOf("first")).node(), pathOf("first").node());

  MString directory = "d", name = "n", extension = "e";
  splitFilePath("/scenes/rocks/cliff.v2.zsc", directory, name, extension);
  EXPECT_EQ(directory, MString("/scenes/rocks"));
  EXPECT_EQ(name, MString("cliff.v2.zsc"));
  EXPECT_EQ(extension, MString("v2.zsc"));
  const std::string longPath = "/" + std::string(600, 'a') + "/f.x";
  splitFilePath(longPath.c_str(), directory, name, extension);
  EXPECT_EQ(directory.length(), 601u);
}

TEST_F(HostUtilities, SeedsStartInsideAndTakeTheSharpestCorners) {
  meshtest::makeCube("box", 2.0);
  // A cube's corners are all equally sharp: the faces meet at right angles.
  Mgc::MgcVector3 corners[3];
  int count = 3;
  sharpCornerSeeds(pathOf("box"), corners, count, 5);
  ASSERT_EQ(count, 3);
  for (const auto& c : corners) EXPECT_NEAR(std::fabs(c.x) + std::fabs(c.y) + std::fabs(c.z), 3.0, 1e-12);
  // A single quad: no vertex touches two faces.
  count = 4;
  sharpCornerSeeds(meshtest::makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {4}, {0, 1, 2, 3}), corners, count,
                   0);
  EXPECT_EQ(count, 0);

  MFnMesh host(pathOf("box"));
  MStringArray names;
  MeshPtr engine(mayaMeshToEngineMesh(host, MIntArray(), names, ""));
  Mgc::MgcVector3 seeds[6];
  // The start lands on the face nearest to it.
  seeds[1] = Mgc::MgcVector3(9, 9, 9);
  placePointInsideMesh(1, seeds, 3, pathOf("box"), *engine, Mgc::MgcVector3(1.5, 0, 0));
  EXPECT_NEAR(seeds[0].x, 1.0, 1e-12);
  EXPECT_EQ(seeds[1].x, 9.0);
  placePointInsideMesh(6, seeds, 3, pathOf("box"), *engine, Mgc::MgcVector3(0, 0.75, 0));
  EXPECT_NEAR(seeds[0].y, 1.0, 1e-12);
  for (const auto& s : seeds)
    EXPECT_TRUE(std::fabs(s.x) <= 1.0 + 1e-9 && std::fabs(s.y) <= 1.0 + 1e-9 && std::fabs(s.z) <= 1.0 + 1e-9);
}

}  // namespace
