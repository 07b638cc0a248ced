#include "DagSupport.h"
#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnTransform.h>
#include <maya/MItMeshPolygon.h>

#include <cmath>

namespace {

using dagtest::ints;
using dagtest::plug;
using dagtest::run;

constexpr double kPi = 3.14159265358979323846;

/// Two unit quads side by side in the xy plane, facing +z.
MObject makeQuadStrip(const MObject& parent, MStatus* status = nullptr) {
  MPointArray points;
  for (double y : {0.0, 1.0})
    for (double x : {0.0, 1.0, 2.0}) points.append(MPoint(x, y, 0.0));
  MFnMesh fn;
  return fn.create(6, 2, points, ints({4, 4}), ints({0, 1, 4, 3, 1, 2, 5, 4}), parent, status);
}

class Meshes : public HostTest {};

TEST_F(Meshes, AQuadMeshGivesItsPolygonsAndNormals) {
  MFnTransform transform;
  const MObject parent = transform.create();
  // Turned a quarter turn about x and scaled by 3 along y: +z faces -y in the world.
  transform.setRotation(MEulerRotation(kPi / 2.0, 0.0, 0.0));
  const double scale[3] = {1.0, 3.0, 1.0};
  transform.setScale(scale);
  MStatus status;
  const MObject shape = makeQuadStrip(parent, &status);
  ASSERT_TRUE(status);
  MDagPath path;
  MDagPath::getAPathTo(shape, path);
  MFnMesh mesh(path);
  EXPECT_EQ(mesh.numVertices(), 6);
  EXPECT_EQ(mesh.numPolygons(), 2);
  EXPECT_EQ(mesh.numFaceVertices(), 8);
  MIntArray vertices;
  mesh.getPolygonVertices(1, vertices);
  EXPECT_EQ(vertices.length(), 4u);
  EXPECT_EQ(vertices[0], 1);
  EXPECT_EQ(vertices[2], 5);
  MVector normal;
  mesh.getPolygonNormal(0, normal, MSpace::kObject);
  EXPECT_TRUE(normal.isEquivalent(MVector::zAxis, 1e-12));
  mesh.getPolygonNormal(1, normal, MSpace::kWorld);
  EXPECT_TRUE(normal.isEquivalent(MVector(0.0, -1.0, 0.0), 1e-12));
  // Face-vertex normals: one per corner, indexed in corner order.
  MFloatVectorArray normals;
  mesh.getNormals(normals, MSpace::kWorld);
  ASSERT_EQ(normals.length(), 8u);
  for (const MFloatVector& n : normals.items()) EXPECT_TRUE(n.isEquivalent(MFloatVector(0.0f, -1.0f, 0.0f), 1e-6f));
  MIntArray counts, ids;
  mesh.getNormalIds(counts, ids);
  EXPECT_EQ(ids[5], 5);
  EXPECT_TRUE(mesh.boundingBox().max().isEquivalent(MPoint(2.0, 1.0, 0.0)));

  MItMeshPolygon polygon(path);
  EXPECT_EQ(polygon.count(), 2);
  double area = 0.0;
  polygon.getArea(area, MSpace::kObject);
  EXPECT_DOUBLE_EQ(area, 1.0);
  polygon.getArea(area, MSpace::kWorld);
  EXPECT_NEAR(area, 3.0, 1e-12);
  EXPECT_TRUE(polygon.isConvex());
  int triangles = 0;
  polygon.numTriangles(triangles);
  EXPECT_EQ(triangles, 2);
  EXPECT_TRUE(polygon.center(MSpace::kWorld).isEquivalent(MPoint(0.5, 0.0, 1.5), 1e-12));
  EXPECT_EQ(polygon.normalIndex(3), 3);
  polygon.next();
  EXPECT_EQ(polygon.normalIndex(0), 4);
  polygon.next();
  EXPECT_TRUE(polygon.isDone());
}

/// A polygon in the plane z = 0 turned and moved into space, with its area.
struct PolygonCase {
  const char* name;
  std::vector<MPoint> flat;
  bool convex;
};

double shoelace(const std::vector<MPoint>& points) {
  double twice = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    const MPoint& a = points[i];
    const MPoint& b = points[(i + 1) % points.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return 0.5 * twice;
}

/// One polygon as mesh data, its corners placed by a matrix.
MObject singlePolygon(const std::vector<MPoint>& flat, const MMatrix& placement) {
  MPointArray points;
  MIntArray counts;
  MIntArray connects;
  counts.append(static_cast<int>(flat.size()));
  for (size_t i = 0; i < flat.size(); ++i) {
    points.append(flat[i] * placement);
    connects.append(static_cast<int>(i));
  }
  MFnMeshData data;
  const MObject owner = data.create();
  MStatus status;
  MFnMesh().create(static_cast<int>(flat.size()), 1, points, counts, connects, owner, &status);
  EXPECT_TRUE(status);
  return owner;
}

TEST(Triangulation, PolygonsSplitIntoCornersLessTwoTrianglesWhoseAreasAddUp) {
  std::vector<MPoint> circle;
  for (int k = 0; k < 40; ++k)
    circle.emplace_back(2.0 * std::cos(2.0 * kPi * k / 40), 2.0 * std::sin(2.0 * kPi * k / 40));
  const PolygonCase cases[] = {
      {"convex 40-gon", circle, true},
      {"L-shaped hexagon", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, false},
      {"square with a point on an edge", {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, true},
      {"arrow", {{0, 0}, {2, 1}, {4, 0}, {2, 4}}, false},
      {"comb", {{0, 0}, {5, 0}, {5, 3}, {4, 3}, {4, 1}, {3, 1}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}}, false},
      {"star",
       {{0, 3}, {-1, 1}, {-3, 1}, {-1.5, -0.5}, {-2, -3}, {0, -1.5}, {2, -3}, {1.5, -0.5}, {3, 1}, {1, 1}},
       false},
  };
  MMatrix placement = MEulerRotation(0.4, -1.2, 2.1).asMatrix();
  placement[3][0] = 1.0;
  placement[3][2] = -3.0;
  for (const PolygonCase& c : cases) {
    MItMeshPolygon polygon(singlePolygon(c.flat, placement));
    MVector normal;
    polygon.getNormal(normal);
    // Mesh points are single precision.
    EXPECT_TRUE(normal.isEquivalent(MVector::zAxis * placement, 1e-6)) << c.name;
    EXPECT_EQ(polygon.isConvex(), c.convex) << c.name;
    int count = 0;
    polygon.numTriangles(count);
    ASSERT_EQ(count, static_cast<int>(c.flat.size()) - 2) << c.name;
    double sum = 0.0;
    for (int t = 0; t < count; ++t) {
      MPointArray corners;
      MIntArray vertices;
      ASSERT_TRUE(polygon.getTriangle(t, corners, vertices));
      // Every triangle is wound as the polygon is: its area counts positive along the normal.
      const double signedArea = 0.5 * ((corners[1] - corners[0]) ^ (corners[2] - corners[0])) * normal;
      EXPECT_GT(signedArea, 0.0) << c.name;
      sum += signedArea;
    }
    EXPECT_NEAR(sum, shoelace(c.flat), 1e-6 * shoelace(c.flat)) << c.name;
  }
  // Triangles are always convex; a polygon without area never is, yet it still splits.
  MItMeshPolygon flat(singlePolygon({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, MMatrix()));
  EXPECT_FALSE(flat.isConvex());
  EXPECT_TRUE(flat.zeroArea());
  int count = 0;
  flat.numTriangles(count);
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(MItMeshPolygon(singlePolygon({{0, 0}, {1, 0}, {2, 0}}, MMatrix())).isConvex());
}

TEST_F(Meshes, MovingATransformAboveAMeshUpdatesItsWorldMeshAndWhatItFeeds) {
  registerTestNodes();
  run("polyCube -w 2");
  run("group -n top pCube1");
  run("createNode meshReader -n reader");
  run("connectAttr pCubeShape1.worldMesh[0] reader.inMesh");
  MeshReader& reader = *static_cast<MeshReader*>(MFnDependencyNode(dagtest::node("reader")).userNode());
  // Eight corners at x = -1 and +1: the sum of x is 8 times the cube's x.
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 0.0);
  const int computes = reader.computes;
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 0.0);
  EXPECT_EQ(reader.computes, computes);  // clean until something above changes
  run("setAttr pCube1.translateX 3");
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 24.0);
  EXPECT_EQ(reader.computes, computes + 1);
  run("setAttr top.translateX -1");
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 16.0);
  run("setAttr top.scaleX 2");
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 8.0 * ((0.0 + 3.0) * 2.0 - 1.0));
  // The mesh itself changing reaches the reader too (the sum stays: the cube widens evenly).
  run("setAttr polyCube1.width 4");
  EXPECT_DOUBLE_EQ(plug("reader", "sumX").asDouble(), 40.0);
  EXPECT_EQ(reader.computes, computes + 4);
  MPointArray world;
  MFnMesh(plug("pCubeShape1", "worldMesh").elementByLogicalIndex(0).asMObject()).getPoints(world, MSpace::kWorld);
  EXPECT_DOUBLE_EQ(world[1].x, (2.0 + 3.0) * 2.0 - 1.0);
  MPointArray object;
  MFnMesh(plug("pCubeShape1", "worldMesh").elementByLogicalIndex(0).asMObject()).getPoints(object);
  EXPECT_DOUBLE_EQ(object[1].x, 2.0);
}

TEST_F(Meshes, FaceVertexNormalsCanBeSetInWorldSpaceAndReadBack) {
  MFnTransform transform;
  const MObject parent = transform.create();
  transform.setRotation(MEulerRotation(0.0, 0.0, kPi / 2.0));
  makeQuadStrip(parent);
  MFnMesh mesh(transform.dagPath());  // a transform's path means its shape
  ASSERT_TRUE(mesh.setFaceVertexNormal(MVector(1.0, 0.0, 1.0), 1, 5, MSpace::kWorld));
  MVector world;
  ASSERT_TRUE(mesh.getFaceVertexNormal(1, 5, world, MSpace::kWorld));
  EXPECT_TRUE(world.isEquivalent(MVector(1.0, 0.0, 1.0).normal(), 1e-6));
  MVector local;
  mesh.getFaceVertexNormal(1, 5, local, MSpace::kObject);
  EXPECT_TRUE(local.isEquivalent(MVector(0.0, -1.0, 1.0).normal(), 1e-6));
  mesh.getFaceVertexNormal(1, 2, local, MSpace::kObject);
  EXPECT_TRUE(local.isEquivalent(MVector::zAxis, 1e-6));         // the others keep theirs
  EXPECT_FALSE(mesh.setFaceVertexNormal(MVector::zAxis, 1, 0));  // vertex 0 is not on face 1
}

TEST_F(Meshes, BadArraysMakeNoMeshAndWorldSpaceNeedsAWorld) {
  MPointArray points;
  for (int i = 0; i < 4; ++i) points.append(MPoint(i, i * i, 0.0));
  MFnMesh fn;
  MStatus status;
  fn.create(4, 1, points, ints({4}), ints({0, 1, 2, 7}), MObject::kNullObj, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  fn.create(4, 1, points, ints({3}), ints({0, 1, 2, 3}), MObject::kNullObj, &status);
  EXPECT_FALSE(status);
  fn.create(4, 1, points, ints({2}), ints({0, 1}), MObject::kNullObj, &status);
  EXPECT_FALSE(status);
  fn.create(5, 1, points, ints({4}), ints({0, 1, 2, 3}), MObject::kNullObj, &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(run("ls -dag").empty());

  // A mesh node reached without a path has no world; mesh data is its own.
  const MObject transform = fn.create(4, 1, points, ints({4}), ints({0, 1, 2, 3}), MObject::kNullObj, &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(run("ls -dag"), (std::vector<std::string>{"polySurface1", "polySurfaceShape1"}));
  EXPECT_TRUE(transform.hasFn(MFn::kTransform));
  MPointArray read;
  EXPECT_FALSE(MFnMesh(dagtest::node("polySurfaceShape1")).getPoints(read, MSpace::kWorld));
  EXPECT_TRUE(MFnMesh(dagtest::node("polySurfaceShape1")).getPoints(read, MSpace::kObject));
  MFnMeshData data;
  const MObject owner = data.create();
  fn.create(4, 1, points, ints({4}), ints({3, 2, 1, 0}), owner, &status);
  ASSERT_TRUE(status);
  EXPECT_TRUE(MFnMesh(owner).getPoints(read, MSpace::kWorld));
  EXPECT_DOUBLE_EQ(read[3].y, 9.0);
  EXPECT_EQ(run("ls -dag").size(), 2u);  // data makes no node
}

}  // namespace
