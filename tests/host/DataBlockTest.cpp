#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MDGModifier.h>
#include <maya/MDataBlock.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MMatrix.h>

#include <cmath>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;

/// A node whose "run" output computes by calling whatever the test put in
/// `body`, so that a test can work with a data block as a compute does.
/// The other attributes are inputs of every kind that "run" depends on.
class ProbeNode : public MPxNode {
 public:
  static void* creator() { return new ProbeNode; }
  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != run) return MS::kUnknownParameter;
    ++runs;
    if (body) body(block);
    block.setClean(plug);
    return MS::kSuccess;
  }

  static MTypeId id;
  static MObject run, input, flag, whole, single, precise, choice, point, pair, triple, text, matrix, time, length,
      angle;
  static std::function<void(MDataBlock&)> body;
  int runs = 0;
};

MTypeId ProbeNode::id(0x7F110);
MObject ProbeNode::run, ProbeNode::input, ProbeNode::flag, ProbeNode::whole, ProbeNode::single, ProbeNode::precise,
    ProbeNode::choice, ProbeNode::point, ProbeNode::pair, ProbeNode::triple, ProbeNode::text, ProbeNode::matrix,
    ProbeNode::time, ProbeNode::length, ProbeNode::angle;
std::function<void(MDataBlock&)> ProbeNode::body;

MStatus ProbeNode::initialize() {
  MFnNumericAttribute numeric;
  run = numeric.create("run", "r", MFnNumericData::kDouble);
  numeric.setWritable(false);
  input = numeric.create("input", "in", MFnNumericData::kDouble, 1.0);
  flag = numeric.create("flag", "fl", MFnNumericData::kBoolean);
  whole = numeric.create("whole", "wh", MFnNumericData::kShort);
  numeric.setMin(-5.0);
  numeric.setMax(5.0);
  single = numeric.create("single", "sg", MFnNumericData::kFloat);
  precise = numeric.create("precise", "pr", MFnNumericData::kDouble);
  point = numeric.createPoint("point", "pt");
  pair = numeric.create("pair", "pa", MFnNumericData::k2Double);
  triple = numeric.create("triple", "tr", MFnNumericData::k3Double);
  MFnEnumAttribute enumeration;
  choice = enumeration.create("choice", "ch", 1);
  enumeration.addField("low", 0);
  enumeration.addField("high", 1);
  MFnTypedAttribute typed;
  text = typed.create("text", "tx", MFnData::kString, MFnStringData().create("start"));
  matrix = typed.create("matrix", "mx", MFnData::kMatrix);
  MFnUnitAttribute unit;
  time = unit.create("time", "tm", MFnUnitAttribute::kTime);
  length = unit.create("length", "ln", MFnUnitAttribute::kDistance);
  angle = unit.create("angle", "an", MFnUnitAttribute::kAngle);
  for (const MObject* attribute : {&run, &input, &flag, &whole, &single, &precise, &choice, &point, &pair, &triple,
                                   &text, &matrix, &time, &length, &angle}) {
    addAttribute(*attribute);
    if (attribute != &run) attributeAffects(*attribute, run);
  }
  return MS::kSuccess;
}

class DataBlock : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ProbeNode::body = nullptr;
    registerTestNodes();
    ASSERT_TRUE(testPlugin().registerNode("probe", ProbeNode::id, ProbeNode::creator, ProbeNode::initialize));
    node = MFnDependencyNode().create("probe");
  }
  void TearDown() override {
    ProbeNode::body = nullptr;
    HostTest::TearDown();
  }

  /// Runs body as the probe's compute, once.
  void inCompute(std::function<void(MDataBlock&)> body) {
    ProbeNode::body = std::move(body);
    const int runs = probe().runs;
    MPlug(node, ProbeNode::input).setValue(MPlug(node, ProbeNode::input).asDouble() + 1.0);
    MPlug(node, ProbeNode::run).asDouble();
    EXPECT_EQ(probe().runs, runs + 1);
    ProbeNode::body = nullptr;
  }
  ProbeNode& probe() const { return *static_cast<ProbeNode*>(MFnDependencyNode(node).userNode()); }
  MPlug plug(const MObject& attribute) const { return MPlug(node, attribute); }

  MObject node;
};

TEST_F(DataBlock, InputValuePullsThroughConnectionsAndOutputValueDoesNot) {
  const MObject source = MFnDependencyNode().create("doubler");
  MDGModifier modifier;
  modifier.connect(MPlug(source, DoublerNode::output), plug(ProbeNode::precise));
  ASSERT_TRUE(modifier.doIt());
  MPlug(source, DoublerNode::input).setValue(4.0);
  double seenByOutput = -1.0;
  double seenByInput = -1.0;
  inCompute([&](MDataBlock& block) {
    seenByOutput = block.outputValue(ProbeNode::precise).asDouble();  // stale: nothing pulled yet
    seenByInput = block.inputValue(ProbeNode::precise).asDouble();
  });
  EXPECT_DOUBLE_EQ(seenByOutput, 0.0);
  EXPECT_DOUBLE_EQ(seenByInput, 8.0);
  EXPECT_EQ(static_cast<DoublerNode*>(MFnDependencyNode(source).userNode())->outputComputes, 1);
}

TEST_F(DataBlock, HandlesStoreNumbersAsTheirAttributeHoldsThem) {
  struct Case {
    const MObject* attribute;
    double written;
    double stored;
  };
  const Case cases[] = {
      {&ProbeNode::flag, 2.0, 1.0},                          // a boolean is 0 or 1
      {&ProbeNode::whole, 3.7, 3.0},                         // a short drops its fraction
      {&ProbeNode::whole, -3.7, -3.0},                       // towards zero
      {&ProbeNode::whole, 9.0, 5.0},                         // and stays within its limits
      {&ProbeNode::single, 0.1, static_cast<double>(0.1f)},  // a float keeps single precision
      {&ProbeNode::precise, 0.1, 0.1},                       // a double keeps all of it
      {&ProbeNode::choice, 1.9, 1.0},                        // an enum holds field values
      {&ProbeNode::length, 2.5, 2.5},                        // a distance in centimetres
      {&ProbeNode::angle, kPi / 4.0, kPi / 4.0},             // an angle in radians
  };
  for (const Case& c : cases) {
    inCompute([&c](MDataBlock& block) { block.outputValue(*c.attribute).set(c.written); });
    EXPECT_DOUBLE_EQ(plug(*c.attribute).asDouble(), c.stored) << plug(*c.attribute).name();
    double read = 0.0;
    inCompute([&](MDataBlock& block) { read = block.inputValue(*c.attribute).asDouble(); });
    EXPECT_DOUBLE_EQ(read, c.stored) << plug(*c.attribute).name();
  }
}

TEST_F(DataBlock, NarrowReadsOfAHandleConvertItsNumber) {
  plug(ProbeNode::precise).setValue(-2.75);
  inCompute([](MDataBlock& block) {
    MDataHandle handle = block.inputValue(ProbeNode::precise);
    EXPECT_TRUE(handle.asBool());
    EXPECT_EQ(handle.asShort(), -2);
    EXPECT_EQ(handle.asInt(), -2);
    EXPECT_EQ(handle.asLong(), -2);
    EXPECT_FLOAT_EQ(handle.asFloat(), -2.75f);
    EXPECT_TRUE(handle.isNumeric());
    EXPECT_FALSE(block.inputValue(ProbeNode::text).isNumeric());
    EXPECT_FALSE(block.inputValue(ProbeNode::point).isNumeric());
  });
}

TEST_F(DataBlock, ComponentHandlesReadAndWriteTheChildrenOfNumericCompounds) {
  inCompute([](MDataBlock& block) {
    const float3& defaults = block.inputValue(ProbeNode::point).asFloat3();
    EXPECT_FLOAT_EQ(defaults[0] + defaults[1] + defaults[2], 0.0f);
    block.outputValue(ProbeNode::point).set3Float(1.5f, -2.0f, 0.25f);
    block.outputValue(ProbeNode::pair).set2Double(0.1, 0.2);
    block.outputValue(ProbeNode::triple).set3Double(3.0, 4.0, 12.0);
  });
  const MPlug point = plug(ProbeNode::point);
  EXPECT_FLOAT_EQ(point.child(0).asFloat(), 1.5f);
  EXPECT_FLOAT_EQ(point.child(1).asFloat(), -2.0f);
  EXPECT_FLOAT_EQ(point.child(2).asFloat(), 0.25f);
  inCompute([](MDataBlock& block) {
    const double3& triple = block.inputValue(ProbeNode::triple).asDouble3();
    // |(3, 4, 12)| is 13.
    EXPECT_DOUBLE_EQ(std::sqrt(triple[0] * triple[0] + triple[1] * triple[1] + triple[2] * triple[2]), 13.0);
    const double2& pair = block.inputValue(ProbeNode::pair).asDouble2();
    EXPECT_DOUBLE_EQ(pair[0], 0.1);
    EXPECT_DOUBLE_EQ(pair[1], 0.2);
    const float2& asFloats = block.inputValue(ProbeNode::pair).asFloat2();
    EXPECT_FLOAT_EQ(asFloats[1], 0.2f);
    // A child's handle reaches one component.
    MDataHandle point = block.outputValue(ProbeNode::point);
    MFnNumericAttribute fn(ProbeNode::point);
    point.child(fn.child(1)).set(7.0f);
  });
  EXPECT_FLOAT_EQ(point.child(1).asFloat(), 7.0f);
  EXPECT_FLOAT_EQ(point.child(0).asFloat(), 1.5f);
}

TEST_F(DataBlock, TimeHandlesSpeakTheUserInterfaceUnitAndPlugsAgree) {
  MTime::setUIUnit(MTime::kNTSCFrame);  // 30 frames a second
  inCompute([](MDataBlock& block) { block.outputValue(ProbeNode::time).set(MTime(2.0, MTime::kSeconds)); });
  EXPECT_DOUBLE_EQ(plug(ProbeNode::time).asDouble(), 60.0);
  EXPECT_DOUBLE_EQ(plug(ProbeNode::time).asMTime().as(MTime::kFilm), 48.0);
  plug(ProbeNode::time).setValue(MTime(15.0, MTime::kNTSCFrame));
  inCompute([](MDataBlock& block) {
    const MDataHandle handle = block.inputValue(ProbeNode::time);
    EXPECT_DOUBLE_EQ(handle.asDouble(), 15.0);
    EXPECT_DOUBLE_EQ(handle.asTime().as(MTime::kSeconds), 0.5);
  });
  // Changing the unit does not change the time held, only how it reads.
  MTime::setUIUnit(MTime::kFilm);
  EXPECT_DOUBLE_EQ(plug(ProbeNode::time).asDouble(), 12.0);
}

TEST_F(DataBlock, DistanceAndAngleHandlesHoldInternalUnits) {
  inCompute([](MDataBlock& block) {
    block.outputValue(ProbeNode::length).set(MDistance(1.0, MDistance::kInches));
    block.outputValue(ProbeNode::angle).set(MAngle(180.0, MAngle::kDegrees));
  });
  EXPECT_DOUBLE_EQ(plug(ProbeNode::length).asDouble(), 2.54);
  EXPECT_DOUBLE_EQ(plug(ProbeNode::angle).asDouble(), kPi);
  inCompute([](MDataBlock& block) {
    EXPECT_DOUBLE_EQ(block.inputValue(ProbeNode::length).asDistance().as(MDistance::kMillimeters), 25.4);
    EXPECT_DOUBLE_EQ(block.inputValue(ProbeNode::angle).asAngle().asDegrees(), 180.0);
  });
}

TEST_F(DataBlock, StringAndMatrixHandlesHoldTheirValues) {
  MMatrix shifted;
  shifted[3][0] = 4.0;
  inCompute([&shifted](MDataBlock& block) {
    EXPECT_EQ(block.inputValue(ProbeNode::text).asString(), MString("start"));
    block.outputValue(ProbeNode::text).set(MString("changed"));
    block.outputValue(ProbeNode::matrix).set(shifted);
    // A string written to a number and a number to a string change nothing.
    block.outputValue(ProbeNode::precise).set(MString("seven"));
    block.outputValue(ProbeNode::text).set(7.0);
  });
  EXPECT_EQ(plug(ProbeNode::text).asString(), MString("changed"));
  EXPECT_DOUBLE_EQ(plug(ProbeNode::precise).asDouble(), 0.0);
  EXPECT_TRUE(MFnMatrixData(plug(ProbeNode::matrix).asMObject()).matrix() == shifted);
  inCompute([&shifted](MDataBlock& block) {
    EXPECT_TRUE(block.inputValue(ProbeNode::matrix).asMatrix() == shifted);
    block.outputValue(ProbeNode::text).set(MFnStringData().create("from data"));
  });
  EXPECT_EQ(plug(ProbeNode::text).asString(), MString("from data"));
  // A matrix attribute that holds nothing reads as the identity.
  const MObject other = MFnDependencyNode().create("probe");
  EXPECT_TRUE(MFnMatrixData(MPlug(other, ProbeNode::matrix).asMObject()).matrix() == MMatrix::identity);
}

TEST_F(DataBlock, ACleanOutputIsNotComputedAgainUntilAnInputChanges) {
  MPlug(node, ProbeNode::run).asDouble();
  const int runs = probe().runs;
  bool cleanInside = false;
  ProbeNode::body = [&cleanInside](MDataBlock& block) { cleanInside = block.isClean(ProbeNode::run); };
  MPlug(node, ProbeNode::run).asDouble();
  EXPECT_EQ(probe().runs, runs);
  plug(ProbeNode::flag).setValue(true);
  MPlug(node, ProbeNode::run).asDouble();
  EXPECT_EQ(probe().runs, runs + 1);
  EXPECT_FALSE(cleanInside);  // still dirty while its compute runs
  ProbeNode::body = [](MDataBlock& block) {
    EXPECT_TRUE(block.setClean(ProbeNode::input));
    EXPECT_TRUE(block.isClean(ProbeNode::input));
  };
  plug(ProbeNode::flag).setValue(false);
  MPlug(node, ProbeNode::run).asDouble();
  ProbeNode::body = nullptr;
}

}  // namespace
