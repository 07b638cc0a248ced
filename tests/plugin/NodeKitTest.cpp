#include <maya/MFnAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnPlugin.h>
#include <maya/MMatrix.h>
#include <maya/MPxNode.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "PluginFixture.h"
#include "engine/BodyFactory.h"
#include "engine/MeshFactory.h"
#include "src/bodySetup.h"
#include "src/hostEngineConversions.h"
#include "src/nodeAttributes.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

using namespace zovhost::testing;

constexpr double kTolerance = 1e-12;

struct Flags {
  bool keyable, hidden, storable, connectable;
};

Flags flagsOf(const MObject& attribute) {
  const MFnAttribute fn(attribute);
  return {fn.isKeyable(), fn.isHidden(), fn.isStorable(), fn.isConnectable()};
}

// Each maker sets the flags it names and leaves the others as the host makes
// them (not keyable, shown, storable, connectable).
TEST_F(PluginTest, AttributeMakersSetTheFlagsTheyNameAndNoOthers) {
  struct Case {
    const char* name;
    MObject attribute;
    Flags expected;
  };
  const Case cases[] = {
      {"plain", numericAttribute("plainA", "pla", MFnNumericData::kInt, 0.0), {false, false, true, true}},
      {"keyable",
       numericAttribute("keyA", "kya", MFnNumericData::kInt, 0.0, AttributeFlags().keyable(true)),
       {true, false, true, true}},
      {"hidden setting",
       numericAttribute("settingA", "sta", MFnNumericData::kInt, 0.0, kHiddenSetting),
       {false, true, true, false}},
      {"hidden state",
       numericAttribute("stateA", "saa", MFnNumericData::kInt, 0.0, kHiddenState),
       {false, true, false, false}},
      {"twin", hiddenTwin("twinA", "twa"), {false, true, false, false}},
      {"fraction", fractionAttribute("fractionA", "fra", 0.5), {false, false, true, true}},
      {"message", messageAttribute("messageA", "mea", AttributeFlags().hidden(true)), {false, true, true, true}},
      {"point", pointAttribute("pointA", "poa", kHiddenState), {false, true, false, false}},
      {"string", stringAttribute("stringA", "sra", "x", kNotKeyable.storable(false)), {false, false, false, true}},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.attribute.isNull()) << c.name;
    const Flags got = flagsOf(c.attribute);
    EXPECT_EQ(got.keyable, c.expected.keyable) << c.name;
    EXPECT_EQ(got.hidden, c.expected.hidden) << c.name;
    EXPECT_EQ(got.storable, c.expected.storable) << c.name;
    EXPECT_EQ(got.connectable, c.expected.connectable) << c.name;
  }
}

// A node whose table names what its one output is computed from: `sum`
// reads `a` and `b`, and `c` feeds nothing.
class SumNode : public MPxNode {
 public:
  static void* creator() { return new SumNode; }
  static MStatus initialize() {
    return addAttributes({
        {a, numericAttribute("a", "a", MFnNumericData::kDouble, 1.0)},
        {b, numericAttribute("b", "b", MFnNumericData::kDouble, 2.0)},
        {c, numericAttribute("c", "c", MFnNumericData::kDouble, 4.0)},
        {sum, numericAttribute("sum", "sum", MFnNumericData::kDouble, 0.0), {&a, &b}},
    });
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != sum) return MS::kUnknownParameter;
    ++computes;
    block.outputValue(sum).set(block.inputValue(a).asDouble() + block.inputValue(b).asDouble());
    block.setClean(plug);
    return MS::kSuccess;
  }

  static MObject a, b, c, sum;
  int computes = 0;
};
MObject SumNode::a;
MObject SumNode::b;
MObject SumNode::c;
MObject SumNode::sum;

// A table whose row names as an input an attribute the node type never adds.
class StrayInputNode : public MPxNode {
 public:
  static void* creator() { return new StrayInputNode; }
  static MStatus initialize() {
    stray = numericAttribute("stray", "sty", MFnNumericData::kDouble, 0.0);
    return addAttributes({{out, numericAttribute("out", "out", MFnNumericData::kDouble, 0.0), {&stray}}});
  }

  static MObject stray, out;
};
MObject StrayInputNode::stray;
MObject StrayInputNode::out;

TEST_F(PluginTest, AnInputTheTypeDoesNotHaveFailsItsInitialisation) {
  EXPECT_FALSE(MFnPlugin(zovhost::testing::pluginObject())
                   .registerNode("kitStray", MTypeId(0x7E59), StrayInputNode::creator, StrayInputNode::initialize));
  EXPECT_FALSE(MGlobal::executeCommand("createNode kitStray"));
}

TEST_F(PluginTest, ARowsInputsMakeItsAttributeComputeAgainAndNothingElseDoes) {
  ASSERT_TRUE(MFnPlugin(zovhost::testing::pluginObject())
                  .registerNode("kitSum", MTypeId(0x7E58), SumNode::creator, SumNode::initialize));
  run("createNode kitSum -n adder");
  const auto computes = [] { return static_cast<SumNode*>(MFnDependencyNode(node("adder")).userNode())->computes; };
  struct Case {
    const char* line;
    double sum;
    int computes;
  };
  const Case cases[] = {
      {"", 3.0, 1},                      // the defaults, computed on first read
      {"setAttr adder.a 5", 7.0, 2},     // an input
      {"setAttr adder.b -1.5", 3.5, 3},  // the other input
      {"setAttr adder.c 100", 3.5, 3},   // not an input: the kept sum stands
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.line);
    if (*test.line != '\0') run(test.line);
    double sum = 0.0;
    ASSERT_TRUE(MGlobal::executeCommand("getAttr adder.sum", sum));
    EXPECT_EQ(sum, test.sum);
    EXPECT_EQ(computes(), test.computes);
  }
}

TEST_F(PluginTest, AFractionIsClampedToTheUnitIntervalAndAPointStartsWhereAsked) {
  MFnNumericAttribute fraction(fractionAttribute("fractionB", "frb", 0.25));
  double value = 0.0, low = -1.0, high = -1.0;
  fraction.getDefault(value);
  ASSERT_TRUE(fraction.hasMin() && fraction.hasMax());
  fraction.getMin(low);
  fraction.getMax(high);
  EXPECT_EQ(value, 0.25);
  EXPECT_EQ(low, 0.0);
  EXPECT_EQ(high, 1.0);

  const float start[3] = {1.0f, -2.5f, 3.0f};
  MFnNumericAttribute point(pointAttribute("pointB", "pob", {}, start));
  for (unsigned int k = 0; k < 3; ++k) {
    MFnNumericAttribute(point.child(k)).getDefault(value);
    EXPECT_EQ(value, static_cast<double>(start[k])) << k;
  }
}

// The checked cast answers the module's node only for a node of its type.
TEST_F(PluginTest, UserNodeOfAnswersOnlyNodesOfItsType) {
  MString rigid, shape, solver, cracker;
  ASSERT_TRUE(MGlobal::executeCommand("createNode zovRigidBody", rigid));
  ASSERT_TRUE(MGlobal::executeCommand("createNode zovCracker", cracker));
  ASSERT_TRUE(MGlobal::executeCommand("createNode zovCollisionShape", shape));
  ASSERT_TRUE(MGlobal::executeCommand("createNode zovSolverNode", solver));
  const MObject rigidNode = node(rigid.asChar());
  const MObject shapeNode = node(shape.asChar());
  const MObject solverNode = node(solver.asChar());

  EXPECT_NE(userNodeOf<rigidBodyNode>(rigidNode), nullptr);
  EXPECT_EQ(userNodeOf<rigidBodyNode>(shapeNode), nullptr);
  EXPECT_EQ(userNodeOf<rigidBodyNode>(MObject()), nullptr);
  EXPECT_EQ(userNodeOf<zovSolverNode>(rigidNode), nullptr);
  EXPECT_EQ(static_cast<MPxNode*>(userNodeOf<collisionShapeNode>(shapeNode)), MFnDependencyNode(shapeNode).userNode());

  // The solver's inputs gather a body and a cracker: each is found only as
  // its own type.
  run("connectAttr " + solver.str() + ".rigidBodies " + rigid.str() + ".solver");
  run("connectAttr " + solver.str() + ".crackers " + cracker.str() + ".solver");
  const std::vector<rigidBodyNode*> bodies =
      userNodesOf<rigidBodyNode>(connectedPlugs(solverNode, zovSolverNode::rigidBodies));
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0], userNodeOf<rigidBodyNode>(rigidNode));
  const MPlugArray crackers = connectedPlugs(solverNode, zovSolverNode::crackers);
  EXPECT_TRUE(userNodesOf<rigidBodyNode>(crackers).empty());
  EXPECT_EQ(userNodesOf<zovCrackerNode>(crackers).size(), 1u);

  MObject found;
  EXPECT_TRUE(firstConnectedNode(MPlug(rigidNode, rigidBodyNode::solver), found));
  EXPECT_EQ(found, solverNode);
  EXPECT_EQ(sourceNodeOf(MPlug(rigidNode, rigidBodyNode::solver)), solverNode);
  // The solver's end is a source: nothing feeds it.
  EXPECT_TRUE(sourceNodeOf(MPlug(solverNode, zovSolverNode::rigidBodies)).isNull());
}

// The host's quaternions and matrices act on row vectors, the engine's on
// column vectors: the same rotation gives transposed matrices.
TEST(HostEngineConversions, RotationsAndTransformsAgreeWithTheHostsOwnProducts) {
  const MQuaternion rotations[] = {MQuaternion(0.0, 0.0, 0.0, 1.0), MQuaternion(M_PI / 2.0, MVector(0.0, 0.0, 1.0)),
                                   MQuaternion(0.7, MVector(1.0, 2.0, -3.0).normal()),
                                   MQuaternion(-2.9, MVector(-0.3, 0.1, 0.9).normal())};
  const MVector probes[] = {MVector(1.0, 0.0, 0.0), MVector(0.0, 1.0, 0.0), MVector(0.3, -1.7, 2.2)};
  for (const MQuaternion& q : rotations) {
    const MQuaternion back = toHost(toEngine(q));
    EXPECT_EQ(back.x, q.x);
    EXPECT_EQ(back.y, q.y);
    EXPECT_EQ(back.z, q.z);
    EXPECT_EQ(back.w, q.w);
    const Mgc::MgcMatrix3 R = engineRotationMatrix(q);
    for (const MVector& p : probes) {
      const MVector expected = p.rotateBy(q);
      const Mgc::MgcVector3 got = R * toEngine(p);
      for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], expected[k], kTolerance);
    }
  }

  // Affine matrices: multiplyTransforms(a, b) applies b, then a.
  const MMatrix a = poseMatrix(MVector(1.0, -2.0, 3.0), rotations[2]);
  const MMatrix b = poseMatrix(MVector(-0.5, 4.0, 0.25), rotations[3]);
  const MMatrix product = multiplyTransforms(a, b);
  const MMatrix expected = b * a;
  for (unsigned int r = 0; r < 4; ++r)
    for (unsigned int c = 0; c < 4; ++c) EXPECT_NEAR(product(r, c), expected(r, c), kTolerance) << r << c;
  for (const MVector& p : probes) {
    const MPoint moved = MPoint(p) * a;
    const MVector got = transformPoint(p, a);
    EXPECT_NEAR(got.x, moved.x, kTolerance);
    EXPECT_NEAR(got.y, moved.y, kTolerance);
    EXPECT_NEAR(got.z, moved.z, kTolerance);
  }
}

struct MeshDeleter {
  void operator()(ZOVmesh* mesh) const { deleteMesh(&mesh); }
};
using MeshPtr = std::unique_ptr<ZOVmesh, MeshDeleter>;

/// A box from the origin to `size`, its faces wound outwards (or inwards).
MeshPtr boxMesh(const Mgc::MgcVector3& size, bool inwards) {
  MeshPtr mesh(createMesh(8, 6));
  mesh->numVertices = 8;
  for (std::uint32_t i = 0; i < 8; ++i)
    mesh->vertices[i] = Mgc::MgcVector3((i & 1) ? size.x : 0.0, (i & 2) ? size.y : 0.0, (i & 4) ? size.z : 0.0);
  const std::uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  mesh->numFaces = 6;
  for (std::uint32_t f = 0; f < 6; ++f) {
    mesh->faces[f].numVertices = 4;
    for (std::uint32_t k = 0; k < 4; ++k) mesh->faces[f].vertices[k] = faces[f][inwards ? 3 - k : k];
  }
  return mesh;
}

/// The single-precision value nearest to v.
double toSingle(double v) { return static_cast<double>(static_cast<float>(v)); }

// A body placed at a matrix takes its translation and rotation, rounded to
// single precision when asked: each coordinate becomes the float nearest to
// it, whether or not its neighbours need rounding.
TEST(HostEngineConversions, BodyPlacedAtAMatrixTakesItsPoseRoundedToSinglePrecisionWhenAsked) {
  const double ulp = std::ldexp(1.0, -52);
  struct Case {
    const char* name;
    MVector translation;
  };
  const Case cases[] = {
      {"every coordinate off a float", MVector(1.0 + ulp, 1.5 + 2.0 * ulp, 2.0 + 4.0 * ulp)},
      {"only the first two off a float", MVector(2.5 + 4.0 * ulp, 1.5 + 2.0 * ulp, 0.0)},
      {"only the last off a float", MVector(-4.0, 4.5, 0.1)},
  };
  const MQuaternion rotation(0.3, MVector(1.0, 2.0, -3.0).normal());
  const MeshPtr mesh = boxMesh(Mgc::MgcVector3(1.0, 1.0, 1.0), false);
  for (const Case& c : cases) {
    const MMatrix pose = poseMatrix(c.translation, rotation);
    const MTransformationMatrix parts(pose);
    const MVector t = parts.getTranslation(MSpace::kTransform);
    double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
    parts.getRotationQuaternion(x, y, z, w, MSpace::kTransform);
    for (const bool rounded : {true, false}) {
      HardBody* body = createHullBody(mesh.get());
      ASSERT_NE(body, nullptr);
      placeBodyAt(*body, pose, rounded);
      const Mgc::MgcVector3 p = body->getDyn().position;
      const Mgc::Quaternion q = body->getDyn().orientationQuat;
      const auto take = [rounded](double v) { return rounded ? toSingle(v) : v; };
      for (unsigned int k = 0; k < 3; ++k)
        EXPECT_EQ(p[k] - take(t[k]), 0.0) << c.name << " rounded " << rounded << " coordinate " << k;
      // The body keeps its quaternion of unit length: the rounded components
      // divided by their norm, which moves them by far less than a float's step.
      const double norm = std::sqrt(take(w) * take(w) + take(x) * take(x) + take(y) * take(y) + take(z) * take(z));
      EXPECT_NEAR(q.W(), take(w) / norm, kTolerance) << c.name << " rounded " << rounded;
      EXPECT_NEAR(q.X(), take(x) / norm, kTolerance) << c.name << " rounded " << rounded;
      EXPECT_NEAR(q.Y(), take(y) / norm, kTolerance) << c.name << " rounded " << rounded;
      EXPECT_NEAR(q.Z(), take(z) / norm, kTolerance) << c.name << " rounded " << rounded;
      deleteBody(&body);
    }
  }
}

// A body's mass is its mesh's volume (0.015 per cubic centimetre fitted to
// the host's scale); an inside-out mesh counts its volume positive, a flat
// one weighs 1 at its mean vertex, and a broken one makes no body.
TEST_F(PluginTest, BodyMassIsTheMeshVolumeWithItsCentre) {
  const Mgc::MgcVector3 size(2.0, 3.0, 4.0);
  const Mgc::MgcVector3 middle = size * 0.5;
  struct Case {
    const char* name;
    bool inwards;
    bool fitted;
    double mass;
    const char* warning;
  };
  const Case cases[] = {
      {"outwards", false, false, 24.0, nullptr},
      {"fitted", false, true, 24.0 * 0.015, nullptr},
      {"inwards", true, false, 24.0, "body box mass negative"},
  };
  for (const Case& c : cases) {
    zovhost::testing::clearLogs();
    const MeshPtr mesh = boxMesh(size, c.inwards);
    double mass = 0.0;
    Mgc::MgcVector3 centre;
    ASSERT_TRUE(bodyMassOf(*mesh, c.fitted, "box", true, "body ", mass, centre)) << c.name;
    EXPECT_NEAR(mass, c.mass, 1e-9) << c.name;
    for (unsigned int k = 0; k < 3; ++k) EXPECT_NEAR(centre[k], middle[k], 1e-9) << c.name;
    if (c.warning) {
      EXPECT_TRUE(hasMessage(MessageKind::Warning, c.warning)) << c.name;
    }
  }

  // A flat triangle, both sides: no volume, mass 1 at the mean of its corners
  // (not the middle of its box).
  MeshPtr flat(createMesh(3, 2));
  flat->numVertices = 3;
  flat->vertices[0] = Mgc::MgcVector3(0.0, 0.0, 0.0);
  flat->vertices[1] = Mgc::MgcVector3(3.0, 0.0, 0.0);
  flat->vertices[2] = Mgc::MgcVector3(0.0, 3.0, 0.0);
  flat->numFaces = 2;
  for (std::uint32_t f = 0; f < 2; ++f) {
    flat->faces[f].numVertices = 3;
    for (std::uint32_t k = 0; k < 3; ++k) flat->faces[f].vertices[k] = f == 0 ? k : 2 - k;
  }
  zovhost::testing::clearLogs();
  double mass = 0.0;
  Mgc::MgcVector3 centre;
  ASSERT_TRUE(bodyMassOf(*flat, false, "flat", true, "body ", mass, centre));
  EXPECT_EQ(mass, 1.0);
  EXPECT_NEAR(centre.x, 1.0, 1e-12);
  EXPECT_NEAR(centre.y, 1.0, 1e-12);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "body flat has no volume"));
  zovhost::testing::clearLogs();
  ASSERT_TRUE(bodyMassOf(*flat, false, "flat", false, "body ", mass, centre));
  EXPECT_FALSE(hasMessage(MessageKind::Warning, "has no volume"));

  const MeshPtr broken = boxMesh(size, false);
  broken->vertices[7].x = std::numeric_limits<double>::quiet_NaN();
  zovhost::testing::clearLogs();
  EXPECT_FALSE(bodyMassOf(*broken, false, "broken", true, "body ", mass, centre));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "body broken has no finite volume: no body is made"));
}

TEST(BodySetup, UnsetCentresAndSerials) {
  const double unset[3] = {kUnsetCentre, 0.0, -5.0};
  const double set[3] = {0.0, 0.0, 2.0 * kUnsetCentre};
  EXPECT_TRUE(isCentreUnset(unset));
  EXPECT_FALSE(isCentreUnset(set));

  BodySerials serials(10);
  EXPECT_EQ(serials.take(), 11u);
  EXPECT_EQ(serials.take(), 13u);
}

}  // namespace
