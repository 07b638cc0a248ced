#include "DagSupport.h"
#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MFnTransform.h>

#include <cmath>

namespace {

using namespace dagtest;

/// A transform's attribute values (centimetres, radians) and their matrix
/// composed here in the documented order: scale and shear about the scale
/// pivot, then rotation about the rotate pivot in the rotate order, then
/// translation, each pivot followed by its translation.
struct TransformValues {
  Vector3 translate;
  Vector3 rotate;
  int order;
  Vector3 scale;
  Vector3 shear;
  Vector3 rotatePivot;
  Vector3 rotatePivotTranslate;
  Vector3 scalePivot;
  Vector3 scalePivotTranslate;

  Matrix4 matrix() const {
    const Matrix4 scaleShear = dagtest::scaleShear(scale, shear);
    return translation(-scalePivot) * scaleShear * translation(scalePivot) * translation(scalePivotTranslate) *
           translation(-rotatePivot) * dagtest::eulerRotation(rotate, order) * translation(rotatePivot) *
           translation(rotatePivotTranslate) * translation(translate);
  }

  /// Writes the values through the transform's plugs.
  void apply(const std::string& name) const {
    const std::pair<const char*, const Vector3*> triples[] = {{"translate", &translate},
                                                              {"rotate", &rotate},
                                                              {"scale", &scale},
                                                              {"shear", &shear},
                                                              {"rotatePivot", &rotatePivot},
                                                              {"rotatePivotTranslate", &rotatePivotTranslate},
                                                              {"scalePivot", &scalePivot},
                                                              {"scalePivotTranslate", &scalePivotTranslate}};
    for (const auto& [attribute, value] : triples)
      for (unsigned int i = 0; i < 3; ++i) ASSERT_TRUE(plug(name, attribute).child(i).setValue((*value)[i]));
    ASSERT_TRUE(plug(name, "rotateOrder").setValue(order));
  }
};

TransformValues parentValues(int order) {
  return {{3.0, -1.0, 2.5}, {0.3, 1.2, -0.7}, order,          {2.0, 0.5, 1.5}, {0.2, -0.1, 0.3}, {1.0, 2.0, -1.0},
          {0.5, 0.0, -0.5}, {-1.0, 0.5, 2.0}, {0.1, 0.2, 0.3}};
}

TransformValues childValues(int order) {
  return {{-0.5, 4.0, 1.0}, {-1.1, 0.4, 2.2}, order,           {1.0, -1.5, 0.8}, {-0.3, 0.4, 0.1}, {0.5, -1.0, 1.5},
          {-0.2, 0.3, 0.0}, {2.0, 1.0, -0.5}, {0.0, -0.4, 0.2}};
}

class Transforms : public HostTest {};

TEST_F(Transforms, WorldMatricesOfNestedTransformsAgreeWithTheirCompositionInEveryRotateOrder) {
  for (int order = 0; order < 6; ++order) {
    zovhost::testing::resetScene();
    MFnTransform fn;
    const MObject parent = fn.create();
    fn.setName("parent");
    fn.create(parent);
    fn.setName("child");
    const TransformValues outer = parentValues((order + 3) % 6);
    const TransformValues inner = childValues(order);
    outer.apply("parent");
    inner.apply("child");
    const Matrix4 expected = inner.matrix() * outer.matrix();
    const double tolerance = 1e-12 * zovref::maxAbs(expected);
    const MDagPath child = dagtest::path("child");
    EXPECT_LT(maxDifference(child.inclusiveMatrix(), expected), tolerance) << order;
    EXPECT_LT(maxDifference(child.exclusiveMatrix(), outer.matrix()), tolerance) << order;
    EXPECT_LT(maxDifference(dagtest::matrixOf(plug("child", "worldMatrix").elementByLogicalIndex(0)), expected),
              tolerance)
        << order;
    EXPECT_LT(maxDifference(dagtest::matrixOf(plug("child", "matrix")), inner.matrix()), tolerance) << order;
    EXPECT_LT(maxDifference(dagtest::matrixOf(plug("child", "worldInverseMatrix").elementByLogicalIndex(0)),
                            zovref::inverse(expected)),
              1e-10)
        << order;
    EXPECT_LT(maxDifference(MFnTransform(child).transformation().asMatrix(), inner.matrix()), tolerance) << order;
  }
}

TEST_F(Transforms, ChangingAParentUpdatesItsChildrenOnTheNextRead) {
  MFnTransform fn;
  const MObject top = fn.create();
  const MObject middle = fn.create(top);
  fn.create(middle);
  const MDagPath bottom = fn.dagPath();
  const MMatrix before = bottom.inclusiveMatrix();
  ASSERT_TRUE(MPlug(top, MFnDependencyNode(top).attribute("translateY")).setValue(5.0));
  const MMatrix after = bottom.inclusiveMatrix();
  EXPECT_DOUBLE_EQ(after[3][1] - before[3][1], 5.0);
  // A parent that does not pass on its transformation.
  MFnDependencyNode(middle).findPlug("inheritsTransform").setValue(false);
  EXPECT_DOUBLE_EQ(bottom.inclusiveMatrix()[3][1], before[3][1]);
}

// A child's parentMatrix[0] is its parent's world matrix: read once, then
// read again after the parent (or the parent's parent) moved.
TEST_F(Transforms, MovingAParentChangesWhatTheChildReadsAsItsParentMatrix) {
  MFnTransform fn;
  const MObject top = fn.create();
  fn.setName("top");
  const MObject middle = fn.create(top);
  fn.setName("middle");
  fn.create(middle);
  fn.setName("bottom");
  const MPlug parentMatrix = plug("bottom", "parentMatrix").elementByLogicalIndex(0);
  const struct {
    const char* node;
    const char* attribute;
    double value;
    Vector3 parentAt;  // where bottom's parent then lies in the world
  } moves[] = {
      {"middle", "translateX", 2.0, {2.0, 0.0, 0.0}},
      {"top", "translateY", -3.0, {2.0, -3.0, 0.0}},
      {"middle", "translateZ", 0.5, {2.0, -3.0, 0.5}},
  };
  EXPECT_LT(maxDifference(dagtest::matrixOf(parentMatrix), translation({0.0, 0.0, 0.0})), 1e-15);
  for (const auto& move : moves) {
    ASSERT_TRUE(plug(move.node, move.attribute).setValue(move.value));
    EXPECT_LT(maxDifference(dagtest::matrixOf(parentMatrix), translation(move.parentAt)), 1e-15)
        << move.node << "." << move.attribute;
  }
}

TEST_F(Transforms, WorldSpaceValuesGoThroughTheParent) {
  MFnTransform fn;
  const MObject parent = fn.create();
  fn.setName("parent");
  parentValues(2).apply("parent");
  MFnDependencyNode(parent).findPlug("shear").child(0).setValue(0.0);
  MFnDependencyNode(parent).findPlug("shear").child(1).setValue(0.0);
  MFnDependencyNode(parent).findPlug("shear").child(2).setValue(0.0);
  fn.create(parent);
  MFnTransform child(fn.dagPath());
  ASSERT_TRUE(child.setRotatePivot(MPoint(0.5, 1.0, -2.0), MSpace::kTransform, false));
  const MMatrix parentWorld = dagtest::path("parent").inclusiveMatrix();

  // Translation set in world space reads back in world space.
  ASSERT_TRUE(child.setTranslation(MVector(4.0, -3.0, 2.0), MSpace::kWorld));
  EXPECT_TRUE(child.getTranslation(MSpace::kWorld).isEquivalent(MVector(4.0, -3.0, 2.0), 1e-10));
  // The world rotate pivot is where the local pivot lands in the world.
  const MPoint pivot = child.rotatePivot(MSpace::kWorld);
  EXPECT_TRUE(pivot.isEquivalent(MPoint(0.5, 1.0, -2.0) * child.transformationMatrix() * parentWorld, 1e-10));
  // Moving in world space moves the world pivot by as much.
  ASSERT_TRUE(child.translateBy(MVector(1.0, 2.0, 3.0), MSpace::kWorld));
  EXPECT_TRUE(child.rotatePivot(MSpace::kWorld).isEquivalent(pivot + MVector(1.0, 2.0, 3.0), 1e-10));
  // A rotation set in world space reads back in world space.
  const MQuaternion wanted(1.1, MVector(0.3, -1.0, 0.4));
  ASSERT_TRUE(child.setRotation(wanted, MSpace::kWorld));
  MQuaternion read;
  child.getRotation(read, MSpace::kWorld);
  EXPECT_TRUE(read.asMatrix().isEquivalent(wanted.asMatrix(), 1e-10));
  // Rotating about the pivot leaves the pivot where it was.
  const MPoint pivotBefore = child.rotatePivot(MSpace::kWorld);
  ASSERT_TRUE(child.setRotation(MEulerRotation(0.2, 0.9, -1.4)));
  EXPECT_TRUE(child.rotatePivot(MSpace::kWorld).isEquivalent(pivotBefore, 1e-10));
}

TEST_F(Transforms, RestPositionIsKeptAndComesBack) {
  MFnTransform fn;
  fn.create();
  fn.setName("moving");
  parentValues(1).apply("moving");
  const MMatrix rest = fn.transformationMatrix();
  ASSERT_TRUE(fn.setRestPosition(fn.transformation()));
  ASSERT_TRUE(fn.setTranslation(MVector(9.0, 9.0, 9.0), MSpace::kTransform));
  ASSERT_TRUE(fn.setRotation(MEulerRotation(1.0, 1.0, 1.0)));
  EXPECT_FALSE(fn.transformationMatrix().isEquivalent(rest, 1e-6));
  ASSERT_TRUE(fn.resetFromRestPosition());
  EXPECT_TRUE(fn.transformationMatrix().isEquivalent(rest, 1e-12));
  EXPECT_TRUE(fn.restPosition().asMatrix().isEquivalent(rest, 1e-12));
}

TEST_F(Transforms, LockedOrDrivenAttributesRefuseTransformWrites) {
  registerTestNodes();
  MFnTransform fn;
  fn.create();
  fn.setName("held");
  ASSERT_TRUE(plug("held", "translateX").setLocked(true));
  EXPECT_FALSE(fn.setTranslation(MVector(1.0, 2.0, 3.0), MSpace::kTransform));
  EXPECT_DOUBLE_EQ(plug("held", "translateY").asDouble(), 0.0);  // nothing half-written
  plug("held", "translateX").setLocked(false);
  // A rotate pivot fed by a plain number takes it in the current linear unit.
  MGlobal::executeCommand("currentUnit -l m; createNode doubler -n feed; setAttr feed.input 0.25");
  ASSERT_TRUE(MGlobal::executeCommand("connectAttr feed.output held.rotatePivotX"));
  EXPECT_DOUBLE_EQ(plug("held", "rotatePivotX").asDouble(), 50.0);
  EXPECT_FALSE(fn.setRotatePivot(MPoint(1.0, 0.0, 0.0), MSpace::kTransform, false));
  // Writes that leave the driven pivot alone still go through.
  EXPECT_TRUE(fn.setTranslation(MVector(1.0, 0.0, 0.0), MSpace::kTransform));
  // An angle gives a plain number in the angular unit.
  MGlobal::executeCommand("setAttr held.rotateZ 45; connectAttr held.rotateZ feed.input");
  EXPECT_DOUBLE_EQ(plug("feed", "output").asDouble(), 90.0);
  MGlobal::executeCommand("currentUnit -a rad");
  EXPECT_DOUBLE_EQ(plug("feed", "output").asDouble(), 90.0);  // clean until the angle changes
  MGlobal::executeCommand("setAttr held.rotateZ 0.5");
  EXPECT_DOUBLE_EQ(plug("feed", "output").asDouble(), 1.0);
}

}  // namespace
