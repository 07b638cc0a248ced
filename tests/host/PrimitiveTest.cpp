#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/MFnMesh.h>
#include <maya/MItMeshPolygon.h>

#include <cmath>
#include <set>
#include <utility>

namespace {

using dagtest::run;

constexpr double kPi = 3.14159265358979323846;

/// A primitive's command line and what the host's primitive has.
struct PrimitiveCase {
  std::string line;
  std::string shape;
  int vertices;
  int faces;
  bool closed;
  /// The enclosed volume (0: not checked here).
  double volume;
};

int cylinderVertices(int sa, int sh, int sc) { return sa * (sh + 1) + 2 * (sa * (sc - 1) + 1); }
double prismVolume(int sides, double radius, double height) {
  return 0.5 * sides * radius * radius * std::sin(2.0 * kPi / sides) * height;
}

/// The volume a closed mesh encloses, by the divergence theorem over its triangles.
double enclosedVolume(const MDagPath& shape) {
  double volume = 0.0;
  for (MItMeshPolygon it(shape); !it.isDone(); it.next()) {
    MPointArray points;
    MIntArray vertices;
    it.getTriangles(points, vertices, MSpace::kWorld);
    for (unsigned int i = 0; i + 2 < points.length(); i += 3)
      volume += (MVector(points[i]) * (MVector(points[i + 1]) ^ MVector(points[i + 2]))) / 6.0;
  }
  return volume;
}

class Primitives : public HostTest {};

TEST_F(Primitives, VertexAndFaceCountsAreTheHostPrimitives) {
  const PrimitiveCase cases[] = {
      {"polyCube", "pCubeShape1", 8, 6, true, 1.0},
      {"polyCube -w 2 -h 3 -d 4 -sx 2 -sy 3 -sz 4", "pCubeShape1", 3 * 4 * 5 - 1 * 2 * 3, 2 * (6 + 12 + 8), true, 24.0},
      {"polyPlane", "pPlaneShape1", 121, 100, false, 0.0},
      {"polyPlane -sx 3 -sy 2", "pPlaneShape1", 12, 6, false, 0.0},
      {"polyCylinder", "pCylinderShape1", 42, 60, true, prismVolume(20, 1.0, 2.0)},
      {"polyCylinder -r 2 -h 3 -sx 8 -sy 3 -sz 2", "pCylinderShape1", cylinderVertices(8, 3, 2), 8 * 3 + 2 * 8 * 2,
       true, prismVolume(8, 2.0, 3.0)},
      {"polyCylinder -sa 6 -sh 2 -sc 0", "pCylinderShape1", 6 * 3, 6 * 2 + 2, true, prismVolume(6, 1.0, 2.0)},
      {"polySphere", "pSphereShape1", 20 * 19 + 2, 400, true, 0.0},
      {"polySphere -r 3 -sa 7 -sh 5", "pSphereShape1", 7 * 4 + 2, 7 * 5, true, 0.0},
  };
  for (const PrimitiveCase& c : cases) {
    zovhost::testing::resetScene();
    run(c.line);
    const MDagPath shape = dagtest::path(c.shape);
    MFnMesh mesh(shape);
    EXPECT_EQ(mesh.numVertices(), c.vertices) << c.line;
    EXPECT_EQ(mesh.numPolygons(), c.faces) << c.line;
    // Closed meshes: every edge is shared by two faces and V - E + F = 2.
    std::set<std::pair<int, int>> edges;
    int edgeUses = 0;
    for (int p = 0; p < mesh.numPolygons(); ++p) {
      MIntArray vertices;
      mesh.getPolygonVertices(p, vertices);
      for (unsigned int k = 0; k < vertices.length(); ++k) {
        const int a = vertices[k];
        const int b = vertices[(k + 1) % vertices.length()];
        edges.emplace(std::min(a, b), std::max(a, b));
        ++edgeUses;
      }
    }
    const int edgeCount = static_cast<int>(edges.size());
    EXPECT_EQ(edgeUses == 2 * edgeCount, c.closed) << c.line;
    if (c.closed) {
      EXPECT_EQ(c.vertices - edgeCount + c.faces, 2) << c.line;
    }
    // Faces turn outward, so the volume is positive and, for prisms and boxes, exact.
    if (c.volume > 0.0) {
      EXPECT_NEAR(enclosedVolume(shape), c.volume, 1e-5 * c.volume) << c.line;
    }
  }
}

TEST_F(Primitives, SpheresHaveTheirPointsOnTheSphereAndFaceOutward) {
  run("polySphere -r 3 -sa 9 -sh 6");
  MFnMesh mesh(dagtest::path("pSphereShape1"));
  MPointArray points;
  mesh.getPoints(points);
  for (const MPoint& point : points.items()) EXPECT_NEAR(MVector(point).length(), 3.0, 1e-6);
  const double volume = enclosedVolume(dagtest::path("pSphereShape1"));
  EXPECT_GT(volume, 0.5 * 4.0 / 3.0 * kPi * 27.0);
  EXPECT_LT(volume, 4.0 / 3.0 * kPi * 27.0);
}

TEST_F(Primitives, TheAxisTurnsThePrimitive) {
  run("polyPlane -w 2 -h 4 -sx 1 -sy 1 -ax 1 0 0");
  MFnMesh mesh(dagtest::path("pPlaneShape1"));
  MVector normal;
  mesh.getPolygonNormal(0, normal);
  EXPECT_TRUE(normal.isEquivalent(MVector::xAxis, 1e-6));
  MPointArray points;
  mesh.getPoints(points);
  for (const MPoint& point : points.items()) EXPECT_NEAR(point.x, 0.0, 1e-6);
  run("polyCylinder -ax 0 0 -1");
  const MBoundingBox box = MFnMesh(dagtest::path("pCylinderShape1")).boundingBox();
  EXPECT_NEAR(box.depth(), 2.0, 1e-6);
  EXPECT_NEAR(box.width(), 2.0, 1e-6);
}

TEST_F(Primitives, CommandsAnswerTheTransformAndCreationNodeAndUndoTogether) {
  EXPECT_EQ(run("polyCube"), (std::vector<std::string>{"pCube1", "polyCube1"}));
  EXPECT_EQ(run("polyCube"), (std::vector<std::string>{"pCube2", "polyCube2"}));
  EXPECT_EQ(run("polySphere -n ball"), (std::vector<std::string>{"ball", "polySphere1"}));
  EXPECT_EQ(run("polyCylinder -name tube7"), (std::vector<std::string>{"tube7", "polyCylinder1"}));
  EXPECT_EQ(run("ls -type mesh"), (std::vector<std::string>{"pCubeShape1", "pCubeShape2", "ballShape", "tubeShape7"}));
  EXPECT_EQ(run("ls -sl"), (std::vector<std::string>{"tube7"}));
  // The creation node keeps making the mesh.
  run("setAttr polyCube1.subdivisionsWidth 3");
  EXPECT_EQ(MFnMesh(dagtest::path("pCube1")).numPolygons(), 2 * (3 + 1 + 3));
  // Bad values are refused and make nothing.
  zovhost::testing::clearLogs();
  for (const char* line : {"polyCube -w -1", "polyCube -sx 0", "polySphere -sh 1", "polyPlane -ax 0 0 0",
                           "polyCylinder -sa x", "polyCube -n 3d", "polyCube -bogus 1"})
    EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, "polyCube: -subdivisionsX needs"));
  EXPECT_EQ(run("ls -type polyCube").size(), 2u);
  ASSERT_TRUE(MGlobal::executeCommand("polyPlane", false, true));
  EXPECT_EQ(run("ls pPlane* polyPlane*").size(), 3u);
  ASSERT_TRUE(MGlobal::executeCommand("undo"));
  EXPECT_TRUE(run("ls pPlane* polyPlane*").empty());
  ASSERT_TRUE(MGlobal::executeCommand("redo"));
  EXPECT_EQ(MFnMesh(dagtest::path("pPlane1")).numPolygons(), 100);
}

}  // namespace
