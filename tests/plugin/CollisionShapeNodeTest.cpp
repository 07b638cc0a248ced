#include <maya/MEulerRotation.h>
#include <maya/MFnMesh.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>

#include <cmath>
#include <vector>

#include "PluginFixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Host points are single precision.
constexpr double kFloatTolerance = 1e-5;

/// The test's arithmetic runs on the host's vectors, apart from the engine's.
MVector vec(const Mgc::MgcVector3& v) { return MVector(v.x, v.y, v.z); }

/// Newell's vector area of a loop of corners: its direction is the loop's
/// normal, its length the loop's area.
MVector vectorArea(const ZOVmesh& mesh, const mesh_face& face) {
  MVector sum;
  for (std::uint32_t k = 0; k < face.numVertices; ++k) {
    const MVector a = vec(mesh.vertices[face.vertices[k]]);
    const MVector b = vec(mesh.vertices[face.vertices[(k + 1) % face.numVertices]]);
    sum += MVector((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  return 0.5 * sum;
}

/// A polygon in the plane z = 0, turned and moved into space.
struct PolygonCase {
  const char* name;
  std::vector<MPoint> flat;
  unsigned int faces;
  unsigned int cornersPerFace;
};

std::vector<MPoint> regularPolygon(int corners) {
  std::vector<MPoint> points;
  for (int k = 0; k < corners; ++k)
    points.emplace_back(3.0 * std::cos(2.0 * kPi * k / corners), 3.0 * std::sin(2.0 * kPi * k / corners));
  return points;
}

double shoelace(const std::vector<MPoint>& points) {
  double twice = 0.0;
  for (size_t i = 0; i < points.size(); ++i)
    twice += points[i].x * points[(i + 1) % points.size()].y - points[(i + 1) % points.size()].x * points[i].y;
  return 0.5 * twice;
}

class CollisionShape : public PluginTest {};

TEST_F(CollisionShape, PolygonsBecomeWholeFacesFansOrHostTrianglesThatCoverThem) {
  const PolygonCase cases[] = {
      {"quad", {{0, 0}, {2, 0}, {2, 1}, {0, 1}}, 1, 4},
      {"convex 32-gon", regularPolygon(32), 1, 32},
      {"convex 33-gon", regularPolygon(33), 31, 3},
      {"convex 40-gon", regularPolygon(40), 38, 3},
      {"L-shaped hexagon", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 4, 3},
  };
  MMatrix placement = MEulerRotation(0.3, -0.9, 2.0).asMatrix();
  placement[3][0] = 4.0;
  placement[3][1] = -1.0;
  const MVector up = MVector::zAxis * placement;
  for (const PolygonCase& c : cases) {
    std::vector<MPoint> points;
    std::vector<int> corners;
    for (const MPoint& point : c.flat) {
      corners.push_back(static_cast<int>(points.size()));
      points.push_back(point * placement);
    }
    const std::string shape = shapeOf(points, {static_cast<int>(points.size())}, corners);
    const ZOVmesh* mesh = shapeNode(shape).getShape();
    ASSERT_NE(mesh, nullptr) << c.name;
    ASSERT_EQ(mesh->numFaces, c.faces) << c.name;
    ASSERT_EQ(mesh->numVertices, points.size()) << c.name;
    for (size_t v = 0; v < points.size(); ++v)
      EXPECT_NEAR((vec(mesh->vertices[v]) - MVector(points[v])).length(), 0.0, kFloatTolerance);
    // Same winding as the polygon, never reversed, and together its area.
    double area = 0.0;
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const mesh_face& face = mesh->faces[f];
      ASSERT_EQ(face.numVertices, c.cornersPerFace) << c.name;
      const MVector faceArea = vectorArea(*mesh, face);
      EXPECT_GT(faceArea * up, 0.0) << c.name << " face " << f;
      area += faceArea.length();
      EXPECT_NEAR((vec(mesh->faceNormals[f]) - up).length(), 0.0, kFloatTolerance) << c.name;
    }
    EXPECT_NEAR(area, shoelace(c.flat), 1e-5 * shoelace(c.flat)) << c.name;
  }
}

TEST_F(CollisionShape, AQuadGridGivesOneFacePerQuad) {
  run("polyPlane -w 3 -h 2 -sx 3 -sy 2");
  run("createNode zovCollisionShape");
  run("connectAttr pPlaneShape1.worldMesh[0] zovCollisionShape1.inShape");
  int built = 0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr zovCollisionShape1.ca_collisionShape", built));
  EXPECT_EQ(built, 1);
  const ZOVmesh* mesh = shapeNode("zovCollisionShape1").cachedShape();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->numFaces, 3u * 2u);
  EXPECT_EQ(mesh->numVertices, (3u + 1u) * (2u + 1u));
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    EXPECT_EQ(mesh->faces[f].numVertices, 4u);
    EXPECT_NEAR(vectorArea(*mesh, mesh->faces[f]).length(), 1.0, kFloatTolerance);
  }
}

TEST_F(CollisionShape, FlippingNegatesNormalsAndKeepsVertexOrder) {
  // The L-shaped hexagon beside a quad: host triangles and a whole face.
  const std::string shape =
      shapeOf({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}, {3, 0, 0}, {3, 1, 0}}, {6, 4},
              {0, 1, 2, 3, 4, 5, 1, 6, 7, 2});
  collisionShapeNode& node = shapeNode(shape);
  ASSERT_NE(node.getShape(), nullptr);
  const ZOVmesh& plain = *node.getShape();
  std::vector<std::vector<std::uint32_t>> faces;
  for (std::uint32_t f = 0; f < plain.numFaces; ++f)
    faces.emplace_back(plain.faces[f].vertices, plain.faces[f].vertices + plain.faces[f].numVertices);
  run("setAttr " + shape + ".fcs 1");
  const ZOVmesh* flipped = node.getShape();
  ASSERT_NE(flipped, nullptr);
  ASSERT_EQ(flipped->numFaces, 5u);
  for (std::uint32_t f = 0; f < flipped->numFaces; ++f) {
    EXPECT_EQ(vec(flipped->faceNormals[f]), MVector(0.0, 0.0, -1.0));
    EXPECT_EQ(std::vector<std::uint32_t>(flipped->faces[f].vertices,
                                         flipped->faces[f].vertices + flipped->faces[f].numVertices),
              faces[f]);
  }
}

class AnimatedShape : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    for (const char* line :
         {"polyCube", "createNode zovCollisionShape", "connectAttr pCubeShape1.worldMesh[0] zovCollisionShape1.inShape",
          "setAttr zovCollisionShape1.type 3", "setAttr zovCollisionShape1.ac 1"})
      run(line);
  }
};

TEST_F(AnimatedShape, MovingTheTransformRefillsTheMeshOnTheNextPull) {
  collisionShapeNode& node = shapeNode("zovCollisionShape1");
  const ZOVmesh* mesh = node.getShape();
  ASSERT_NE(mesh, nullptr);
  const MVector before = vec(mesh->vertices[0]);
  run("setAttr pCube1.translateX 5");
  EXPECT_EQ(vec(mesh->vertices[0]), before);  // nothing pulled yet
  EXPECT_EQ(node.getShape(), mesh);           // same topology: refilled in place
  EXPECT_NEAR((vec(mesh->vertices[0]) - (before + MVector(5.0, 0.0, 0.0))).length(), 0.0, kFloatTolerance);
}

TEST_F(AnimatedShape, ChangedTopologyGetsAMeshOfItsOwnSize) {
  collisionShapeNode& shape = shapeNode("zovCollisionShape1");
  ASSERT_NE(shape.getShape(), nullptr);
  for (int subdivisions : {3, 1}) {
    run("setAttr polyCube1.subdivisionsWidth " + std::to_string(subdivisions));
    const ZOVmesh* mesh = shape.getShape();
    ASSERT_NE(mesh, nullptr);
    // Convex quads only: one face per polygon, and no stale points left over.
    const MFnMesh cube(node("pCubeShape1"));
    EXPECT_EQ(mesh->numFaces, static_cast<std::uint32_t>(cube.numPolygons()));
    EXPECT_EQ(mesh->numVertices, static_cast<std::uint32_t>(cube.numVertices()));
  }
}

TEST_F(AnimatedShape, ATypeOtherThanMeshSwitchesAnimatedAndFlipOffAtTheNextEvaluation) {
  run("setAttr zovCollisionShape1.fcs 1");
  for (const int type : {3, 1}) {
    run("setAttr zovCollisionShape1.type " + std::to_string(type));
    int value = 0;
    ASSERT_TRUE(MGlobal::executeCommand("getAttr zovCollisionShape1.cspm", value));
    for (const char* option : {"ac", "fcs"}) {
      ASSERT_TRUE(MGlobal::executeCommand(MString("getAttr zovCollisionShape1.") + option, value));
      EXPECT_EQ(value, type == 3 ? 1 : 0) << option << " for type " << type;
    }
  }
}

TEST_F(AnimatedShape, DeletingTheNodeFreesItsMesh) {
  collisionShapeNode& shape = shapeNode("zovCollisionShape1");
  ASSERT_NE(shape.getShape(), nullptr);
  // Deleted with undo on, the node object lives on in the undo queue.
  ASSERT_TRUE(MGlobal::executeCommand("delete zovCollisionShape1", false, true));
  EXPECT_EQ(shape.cachedShape(), nullptr);
}

TEST_F(CollisionShape, WithoutAnInputMeshThereIsNoShape) {
  run("createNode zovCollisionShape");
  EXPECT_EQ(shapeNode("zovCollisionShape1").getShape(), nullptr);
  int type = 0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr zovCollisionShape1.outCollisionType", type));
  EXPECT_EQ(type, collisionShapeNode::kTypeConvexHull);
}

}  // namespace
