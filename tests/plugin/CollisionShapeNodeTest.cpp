#include <maya/MEulerRotation.h>
#include <maya/MFnMesh.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "geometry/MassProperties.h"

#include "MeshTestSupport.h"
#include "PluginFixture.h"

namespace {

using meshtest::vec;

constexpr double kPi = 3.14159265358979323846;
// Host points are single precision.
constexpr double kFloatTolerance = 1e-5;

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

class CollisionShape : public PluginTest {
 protected:
  static int intAttribute(const std::string& plug) {
    int value = -1;
    EXPECT_TRUE(MGlobal::executeCommand(("getAttr " + plug).c_str(), value)) << plug;
    return value;
  }
};

TEST_F(CollisionShape, PolygonsBecomeWholeFacesFansOrHostTrianglesThatCoverThemAndFlipKeepsTheirOrder) {
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
    std::vector<std::vector<std::uint32_t>> faces;
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const mesh_face& face = mesh->faces[f];
      ASSERT_EQ(face.numVertices, c.cornersPerFace) << c.name;
      const MVector faceArea = meshtest::vectorArea(*mesh, face);
      EXPECT_GT(faceArea * up, 0.0) << c.name << " face " << f;
      area += faceArea.length();
      EXPECT_NEAR((vec(mesh->faceNormals[f]) - up).length(), 0.0, kFloatTolerance) << c.name;
      faces.emplace_back(face.vertices, face.vertices + face.numVertices);
    }
    EXPECT_NEAR(area, shoelace(c.flat), 1e-5 * shoelace(c.flat)) << c.name;

    // Flipped: the normals turn, the corners keep their order.
    run("setAttr " + shape + ".fcs 1");
    const ZOVmesh* flipped = shapeNode(shape).getShape();
    ASSERT_NE(flipped, nullptr);
    ASSERT_EQ(flipped->numFaces, c.faces);
    for (std::uint32_t f = 0; f < flipped->numFaces; ++f) {
      EXPECT_NEAR((vec(flipped->faceNormals[f]) + up).length(), 0.0, kFloatTolerance) << c.name;
      const mesh_face& face = flipped->faces[f];
      EXPECT_EQ(std::vector<std::uint32_t>(face.vertices, face.vertices + face.numVertices), faces[f]) << c.name;
    }
  }
}

TEST_F(CollisionShape, WithoutAnInputMeshThereIsNoShape) {
  run("createNode zovCollisionShape");
  EXPECT_EQ(shapeNode("zovCollisionShape1").getShape(), nullptr);
}

TEST_F(CollisionShape, AMirroringWorldMatrixGivesAMeshStillWoundOutward) {
  // A 2 x 1 x 3 box under transforms with and without a mirror: whatever
  // the signs, the mesh encloses the box's volume times |sx sy sz|, and
  // every face, wound as its normal says, faces away from the middle.
  const struct {
    const char* scale;
    const char* rotate;
    const char* parentScale;
  } cases[] = {
      {"1 1 1", "0 0 0", "1 1 1"},     {"-1 1 1", "0 30 0", "1 1 1"},  {"1 1 -1", "10 30 0", "1 1 1"},
      {"-1 -1 -1", "0 0 45", "1 1 1"}, {"-1 -1 1", "20 0 0", "1 1 1"}, {"-2 0.5 1", "0 0 0", "1 1 1"},
      {"1 1 1", "0 30 0", "1 -1 1"},   {"-1 1 1", "0 30 0", "-1 1 1"},
  };
  char made = 'A';
  for (const auto& c : cases) {
    const std::string box = std::string("box") + made;
    const std::string parent = std::string("holder") + made++;
    run("polyCube -w 2 -h 1 -d 3 -n " + box + "; group -n " + parent + " " + box);
    run("setAttr " + box + ".translate 1 2 3; setAttr " + box + ".scale " + c.scale + "; setAttr " + box + ".rotate " +
        c.rotate + "; setAttr " + parent + ".scale " + c.parentScale);
    MString shape;
    MGlobal::executeCommand("createNode zovCollisionShape", shape);
    run("connectAttr " + box + "Shape.worldMesh[0] " + shape.asChar() + ".inShape");
    const ZOVmesh* mesh = shapeNode(shape.asChar()).getShape();
    ASSERT_NE(mesh, nullptr) << c.scale;

    double factors[3], parentFactors[3];
    std::sscanf(c.scale, "%lf %lf %lf", &factors[0], &factors[1], &factors[2]);
    std::sscanf(c.parentScale, "%lf %lf %lf", &parentFactors[0], &parentFactors[1], &parentFactors[2]);
    double volume = 6.0;
    for (int k = 0; k < 3; ++k) volume *= std::fabs(factors[k] * parentFactors[k]);
    EXPECT_NEAR(meshVolume(*mesh), volume, 1e-5 * volume) << c.scale << " under " << c.parentScale;

    MVector middle;
    for (std::uint32_t v = 0; v < mesh->numVertices; ++v) middle += vec(mesh->vertices[v]);
    middle /= mesh->numVertices;
    for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
      const mesh_face& face = mesh->faces[f];
      MVector faceMiddle;
      for (std::uint32_t k = 0; k < face.numVertices; ++k) faceMiddle += vec(mesh->vertices[face.vertices[k]]);
      faceMiddle /= face.numVertices;
      const MVector normal = vec(mesh->faceNormals[f]);
      EXPECT_GT(normal * (faceMiddle - middle), 0.0) << c.scale << " face " << f;
      EXPECT_GT(normal * meshtest::vectorArea(*mesh, face), 0.0) << c.scale << " face " << f;
    }
  }
}

class AnimatedShape : public CollisionShape {
 protected:
  void SetUp() override {
    CollisionShape::SetUp();
    for (const char* line :
         {"polyCube", "createNode zovCollisionShape", "connectAttr pCubeShape1.worldMesh[0] zovCollisionShape1.inShape",
          "setAttr zovCollisionShape1.type 3", "setAttr zovCollisionShape1.ac 1"})
      run(line);
    shape = &shapeNode("zovCollisionShape1");
    mesh = shape->getShape();
    ASSERT_NE(mesh, nullptr);
  }
  collisionShapeNode* shape = nullptr;
  const ZOVmesh* mesh = nullptr;
};

TEST_F(AnimatedShape, TheMeshIsRefilledInPlaceOnTheNextPullOrRemadeAtItsOwnSizeForNewTopology) {
  const MVector before = vec(mesh->vertices[0]);
  run("setAttr pCube1.translateX 5");
  EXPECT_EQ(vec(mesh->vertices[0]), before);  // nothing pulled yet
  EXPECT_EQ(shape->getShape(), mesh);         // same topology: refilled in place
  EXPECT_NEAR((vec(mesh->vertices[0]) - (before + MVector(5.0, 0.0, 0.0))).length(), 0.0, kFloatTolerance);
  for (int subdivisions : {3, 1}) {
    run("setAttr polyCube1.subdivisionsWidth " + std::to_string(subdivisions));
    mesh = shape->getShape();
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
    intAttribute("zovCollisionShape1.cspm");
    for (const char* option : {"ac", "fcs"})
      EXPECT_EQ(intAttribute(std::string("zovCollisionShape1.") + option), type == 3 ? 1 : 0) << option << type;
  }
}

TEST_F(AnimatedShape, DeletingTheNodeFreesItsMesh) {
  // Deleted with undo on, the node object lives on in the undo queue.
  ASSERT_TRUE(MGlobal::executeCommand("delete zovCollisionShape1", false, true));
  EXPECT_EQ(shape->cachedShape(), nullptr);
}

}  // namespace
