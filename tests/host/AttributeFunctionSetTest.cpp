#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MDGModifier.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MMatrix.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

class AttributeFunctionSets : public TestNodesTest {
 protected:
  void SetUp() override {
    TestNodesTest::SetUp();
    node = MFnDependencyNode().create("doubler");
  }

  /// Adds an attribute to the test node and gives its plug.
  MPlug added(const MObject& attribute) {
    EXPECT_TRUE(MFnDependencyNode(node).addAttribute(attribute));
    return MPlug(node, attribute);
  }

  static bool connects(const MPlug& source, const MPlug& destination) {
    MDGModifier modifier;
    return modifier.connect(source, destination) && modifier.doIt();
  }

  MObject node;
};

/// One attribute of each kind, made fresh.
std::vector<std::pair<const char*, std::function<MObject()>>> attributeMakers() {
  return {
      {"numeric", [] { return MFnNumericAttribute().create("n", "n", MFnNumericData::kDouble); }},
      {"point", [] { return MFnNumericAttribute().createPoint("p", "p"); }},
      {"unit", [] { return MFnUnitAttribute().create("u", "u", MFnUnitAttribute::kDistance); }},
      {"typed", [] { return MFnTypedAttribute().create("t", "t", MFnData::kString); }},
      {"enum", [] { return MFnEnumAttribute().create("e", "e"); }},
      {"message", [] { return MFnMessageAttribute().create("m", "m"); }},
      {"compound", [] { return MFnCompoundAttribute().create("c", "c"); }},
  };
}

TEST_F(AttributeFunctionSets, EveryKindStartsReadableWritableConnectableStorableAndCached) {
  for (const auto& [kind, make] : attributeMakers()) {
    MStatus status;
    const MFnAttribute fn(make(), &status);
    ASSERT_TRUE(status) << kind;
    EXPECT_TRUE(fn.isReadable() && fn.isWritable() && fn.isConnectable() && fn.isStorable() && fn.isCached()) << kind;
    EXPECT_FALSE(fn.isKeyable() || fn.isHidden() || fn.isArray() || fn.isDynamic()) << kind;
    EXPECT_TRUE(fn.isIndexMatters()) << kind;
  }
}

TEST_F(AttributeFunctionSets, EachFlagSetterChangesOnlyItsOwnFlag) {
  using Getter = bool (MFnAttribute::*)(MStatus*) const;
  using Setter = MStatus (MFnAttribute::*)(bool);
  struct Flag {
    const char* name;
    Getter get;
    Setter set;
  };
  const Flag flags[] = {
      {"readable", &MFnAttribute::isReadable, &MFnAttribute::setReadable},
      {"writable", &MFnAttribute::isWritable, &MFnAttribute::setWritable},
      {"connectable", &MFnAttribute::isConnectable, &MFnAttribute::setConnectable},
      {"storable", &MFnAttribute::isStorable, &MFnAttribute::setStorable},
      {"cached", &MFnAttribute::isCached, &MFnAttribute::setCached},
      {"keyable", &MFnAttribute::isKeyable, &MFnAttribute::setKeyable},
      {"hidden", &MFnAttribute::isHidden, &MFnAttribute::setHidden},
      {"array", &MFnAttribute::isArray, &MFnAttribute::setArray},
      {"indexMatters", &MFnAttribute::isIndexMatters, &MFnAttribute::setIndexMatters},
  };
  for (const Flag& changed : flags) {
    MFnNumericAttribute fn;
    fn.create("value", "v", MFnNumericData::kDouble);
    std::vector<bool> before;
    for (const Flag& flag : flags) before.push_back((fn.*flag.get)(nullptr));
    ASSERT_TRUE((fn.*changed.set)(!(fn.*changed.get)(nullptr))) << changed.name;
    for (size_t i = 0; i < std::size(flags); ++i)
      EXPECT_EQ((fn.*flags[i].get)(nullptr), &flags[i] == &changed ? !before[i] : before[i])
          << changed.name << " changed " << flags[i].name;
  }
}

TEST_F(AttributeFunctionSets, FlagsDecideWhatConnectionsAPlugTakes) {
  struct Case {
    const char* flag;
    std::function<void(MFnAttribute&)> apply;
    bool asSource;
    bool asDestination;
  };
  const Case cases[] = {
      {"none", [](MFnAttribute&) {}, true, true},
      {"not readable", [](MFnAttribute& fn) { fn.setReadable(false); }, false, true},
      {"not writable", [](MFnAttribute& fn) { fn.setWritable(false); }, true, false},
      {"not connectable", [](MFnAttribute& fn) { fn.setConnectable(false); }, false, false},
  };
  int made = 0;
  for (const Case& c : cases) {
    const std::string name = "value" + std::to_string(++made);
    MFnNumericAttribute fn;
    const MObject attribute = fn.create(name.c_str(), name.c_str(), MFnNumericData::kDouble);
    c.apply(fn);
    const MPlug plug = added(attribute);
    const MObject other = MFnDependencyNode().create("doubler");
    EXPECT_EQ(connects(plug, MPlug(other, DoublerNode::input)), c.asSource) << c.flag;
    EXPECT_EQ(connects(MPlug(other, DoublerNode::output), plug), c.asDestination) << c.flag;
  }
}

TEST_F(AttributeFunctionSets, KeyableArrayAndDynamicShowOnThePlug) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create("weights", "w", MFnNumericData::kFloat);
  fn.setKeyable(true);
  ASSERT_TRUE(fn.setArray(true));
  const MPlug plug = added(attribute);
  EXPECT_TRUE(plug.isKeyable());
  EXPECT_TRUE(plug.isArray());
  EXPECT_TRUE(plug.isDynamic());
  EXPECT_TRUE(fn.isDynamic());
  EXPECT_EQ(MFnDependencyNode(node).attributeClass(attribute), MFnDependencyNode::kLocalDynamicAttr);
  EXPECT_EQ(MFnDependencyNode(node).attributeClass(DoublerNode::input), MFnDependencyNode::kNormalAttr);
  // The shape of an attribute is fixed once a node has it.
  EXPECT_FALSE(fn.setArray(false));
  plug.elementByLogicalIndex(3).setValue(0.5f);
  EXPECT_EQ(plug.numElements(), 1u);
  EXPECT_FALSE(MPlug(node, DoublerNode::input).isDynamic());
}

TEST_F(AttributeFunctionSets, NonStorableValuesStayOutOfSavedScenes) {
  MFnNumericAttribute fn;
  const MObject kept = fn.create("kept", "kp", MFnNumericData::kDouble);
  const MObject dropped = fn.create("dropped", "dp", MFnNumericData::kDouble);
  fn.setStorable(false);
  added(kept).setValue(1.25);
  added(dropped).setValue(2.75);
  const std::string scene = zovhost::testing::sceneText();
  EXPECT_NE(scene.find("setAttr \"doubler1.kept\" 1.25"), std::string::npos);
  EXPECT_EQ(scene.find("setAttr \"doubler1.dropped\""), std::string::npos);
}

TEST_F(AttributeFunctionSets, NumericKindsMakeTheirComponentChildren) {
  struct Case {
    const char* name;
    std::function<MObject(MFnNumericAttribute&)> make;
    MFnNumericData::Type kind;
    MFnNumericData::Type componentKind;
    std::vector<const char*> children;
  };
  const Case cases[] = {
      {"scalar",
       [](MFnNumericAttribute& fn) { return fn.create("s", "s", MFnNumericData::kShort); },
       MFnNumericData::kShort,
       MFnNumericData::kShort,
       {}},
      {"k2Float",
       [](MFnNumericAttribute& fn) { return fn.create("uv", "uv", MFnNumericData::k2Float); },
       MFnNumericData::k2Float,
       MFnNumericData::kFloat,
       {"uv0", "uv1"}},
      {"k3Int",
       [](MFnNumericAttribute& fn) { return fn.create("cell", "ce", MFnNumericData::k3Int); },
       MFnNumericData::k3Int,
       MFnNumericData::kInt,
       {"cell0", "cell1", "cell2"}},
      {"point",
       [](MFnNumericAttribute& fn) { return fn.createPoint("pos", "ps"); },
       MFnNumericData::k3Float,
       MFnNumericData::kFloat,
       {"posX", "posY", "posZ"}},
      {"colour",
       [](MFnNumericAttribute& fn) { return fn.createColor("tint", "ti"); },
       MFnNumericData::k3Float,
       MFnNumericData::kFloat,
       {"tintR", "tintG", "tintB"}},
  };
  for (const Case& c : cases) {
    MFnNumericAttribute fn;
    MStatus status;
    const MObject attribute = c.make(fn);
    ASSERT_FALSE(attribute.isNull()) << c.name;
    EXPECT_EQ(fn.unitType(), c.kind) << c.name;
    const MPlug plug = added(attribute);
    ASSERT_EQ(plug.numChildren(), c.children.size()) << c.name;
    for (unsigned int i = 0; i < c.children.size(); ++i) {
      MFnNumericAttribute child(fn.child(i), &status);
      ASSERT_TRUE(status) << c.name;
      EXPECT_EQ(child.name(), MString(c.children[i])) << c.name;
      EXPECT_EQ(child.unitType(), c.componentKind) << c.name;
      EXPECT_EQ(MFnAttribute(child.parent()).name(), fn.name()) << c.name;
      EXPECT_EQ(plug.child(i).partialName(false, false, false, false, false, true), MString(c.children[i]));
    }
  }
  MStatus status;
  EXPECT_TRUE(MFnNumericAttribute().create("bad", "bad", MFnNumericData::kInvalid, 0.0, &status).isNull());
  EXPECT_FALSE(status);
}

TEST_F(AttributeFunctionSets, NumericDefaultsTakeTheKindsPrecisionAndLimitsClampValues) {
  MFnNumericAttribute fn;
  const MObject count = fn.create("count", "cn", MFnNumericData::kInt, 3.9);
  double value = 0.0;
  ASSERT_TRUE(fn.getDefault(value));
  EXPECT_DOUBLE_EQ(value, 3.0);
  EXPECT_FALSE(fn.hasMin() || fn.hasMax());
  ASSERT_TRUE(fn.setMin(-2.0));
  ASSERT_TRUE(fn.setMax(10.0));
  ASSERT_TRUE(fn.setSoftMax(5.0));  // a slider's range only
  EXPECT_TRUE(fn.hasMin() && fn.hasMax());
  ASSERT_TRUE(fn.getMax(value));
  EXPECT_DOUBLE_EQ(value, 10.0);
  const MPlug plug = added(count);
  EXPECT_EQ(plug.asInt(), 3);
  struct Case {
    double written;
    int read;
  };
  for (const Case& c : {Case{7.0, 7}, Case{12.0, 10}, Case{-8.0, -2}, Case{-1.5, -1}}) {
    ASSERT_TRUE(MPlug(plug).setValue(c.written));
    EXPECT_EQ(plug.asInt(), c.read) << c.written;
  }

  const MObject gain = fn.create("gain", "gn", MFnNumericData::k3Double);
  ASSERT_TRUE(fn.setDefault(0.5, 1.0, 1.5));
  ASSERT_TRUE(fn.setMax(1.0, 1.0, 1.0));
  EXPECT_FALSE(fn.setDefault(1.0, 2.0));  // two values for three children
  EXPECT_FALSE(fn.getDefault(value));     // a compound has no single default
  MPlug gains = added(gain);
  EXPECT_DOUBLE_EQ(gains.child(2).asDouble(), 1.5);  // a default is not clamped
  gains.child(2).setValue(3.0);
  EXPECT_DOUBLE_EQ(gains.child(2).asDouble(), 1.0);

  fn.create("toggle", "tg", MFnNumericData::kBoolean);
  ASSERT_TRUE(fn.setDefault(2));
  ASSERT_TRUE(fn.getDefault(value));
  EXPECT_DOUBLE_EQ(value, 1.0);
}

TEST_F(AttributeFunctionSets, ANumericCompoundCanGatherExistingAttributes) {
  MFnUnitAttribute unit;
  const MObject x = unit.create("offsetX", "ox", MFnUnitAttribute::kDistance);
  const MObject y = unit.create("offsetY", "oy", MFnUnitAttribute::kDistance);
  const MObject z = unit.create("offsetZ", "oz", MFnUnitAttribute::kDistance);
  MFnNumericAttribute fn;
  MStatus status;
  const MObject offset = fn.create("offset", "of", x, y, z, &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(fn.unitType(), MFnNumericData::k3Double);
  MPlug plug = added(offset);
  plug.child(1).setValue(MDistance(1.0, MDistance::kMeters));
  EXPECT_DOUBLE_EQ(MPlug(node, y).asDouble(), 100.0);

  MFnNumericAttribute numeric;
  const MObject a = numeric.create("a", "a", MFnNumericData::kFloat);
  const MObject b = numeric.create("b", "b", MFnNumericData::kFloat);
  struct Refused {
    const char* why;
    MObject first, second;
  };
  const Refused refused[] = {
      {"one child only", a, MObject()},
      {"a child already in a compound", a, x},
      {"a compound as a child", a, offset},
      {"a string as a child", a, MFnTypedAttribute().create("s", "s", MFnData::kString)},
  };
  for (const Refused& r : refused) {
    EXPECT_TRUE(MFnNumericAttribute().create("bad", "bad", r.first, r.second, MObject::kNullObj, &status).isNull())
        << r.why;
    EXPECT_FALSE(status) << r.why;
  }
  EXPECT_EQ(MFnNumericAttribute(MFnNumericAttribute().create("pair", "pr", a, b)).unitType(), MFnNumericData::k2Float);
}

TEST_F(AttributeFunctionSets, UnitAttributesHoldInternalUnitsAndTimeTheUserInterfaceUnit) {
  MTime::setUIUnit(MTime::kFilm);
  MFnUnitAttribute fn;
  const MObject reach = fn.create("reach", "re", MDistance(2.0, MDistance::kMeters));
  EXPECT_EQ(fn.unitType(), MFnUnitAttribute::kDistance);
  ASSERT_TRUE(fn.setMax(250.0));  // centimetres
  const MObject turn = fn.create("turn", "tu", MAngle(90.0, MAngle::kDegrees));
  EXPECT_EQ(fn.unitType(), MFnUnitAttribute::kAngle);
  const MObject delay = fn.create("delay", "de", MTime(1.0, MTime::kSeconds));
  EXPECT_EQ(fn.unitType(), MFnUnitAttribute::kTime);
  ASSERT_TRUE(fn.setMin(12.0));  // frames of the user-interface unit

  MPlug reachPlug = added(reach);
  EXPECT_DOUBLE_EQ(reachPlug.asDouble(), 200.0);
  reachPlug.setValue(MDistance(3.0, MDistance::kMeters));
  EXPECT_DOUBLE_EQ(reachPlug.asMDistance().asMeters(), 2.5);
  EXPECT_DOUBLE_EQ(added(turn).asMAngle().asRadians(), kPi / 2.0);
  MPlug delayPlug = added(delay);
  EXPECT_DOUBLE_EQ(delayPlug.asDouble(), 24.0);
  delayPlug.setValue(MTime(0.25, MTime::kSeconds));
  EXPECT_DOUBLE_EQ(delayPlug.asDouble(), 12.0);

  MStatus status;
  EXPECT_TRUE(fn.create("bad", "bad", MFnUnitAttribute::kLast, 0.0, &status).isNull());
  EXPECT_FALSE(status);
}

TEST_F(AttributeFunctionSets, TypedAttributesTakeDefaultsOfTheirKind) {
  MFnTypedAttribute fn;
  MStatus status;
  const MObject label = fn.create("caption", "cp", MFnData::kString, MFnStringData().create("untitled"), &status);
  ASSERT_TRUE(status);
  EXPECT_EQ(fn.attrType(), MFnData::kString);
  MMatrix scaled;
  scaled[0][0] = scaled[1][1] = scaled[2][2] = 2.0;
  EXPECT_EQ(fn.setDefault(MFnMatrixData().create(scaled)), MStatus(MS::kInvalidParameter));
  EXPECT_EQ(added(label).asString(), MString("untitled"));

  const MObject frame = fn.create("frame", "fr", MFnData::kMatrix, MFnMatrixData().create(scaled));
  EXPECT_EQ(fn.attrType(), MFnData::kMatrix);
  EXPECT_TRUE(MFnMatrixData(added(frame).asMObject()).matrix() == scaled);
}

TEST_F(AttributeFunctionSets, EnumFieldsHaveUniqueNamesAndValues) {
  MFnEnumAttribute fn;
  const MObject mode = fn.create("mode", "md", 5);
  ASSERT_TRUE(fn.addField("box", 5));
  ASSERT_TRUE(fn.addField("hull", 7));
  ASSERT_TRUE(fn.addField("mesh", -1));
  EXPECT_FALSE(fn.addField("box", 9));     // name taken
  EXPECT_FALSE(fn.addField("sphere", 7));  // value taken
  EXPECT_FALSE(fn.addField("", 8));
  EXPECT_EQ(fn.fieldName(7), MString("hull"));
  EXPECT_EQ(fn.fieldIndex("mesh"), -1);
  MStatus status;
  fn.fieldIndex("sphere", &status);
  EXPECT_FALSE(status);
  fn.fieldName(3, &status);
  EXPECT_FALSE(status);
  short bound = 0;
  ASSERT_TRUE(fn.getMin(bound));
  EXPECT_EQ(bound, -1);
  ASSERT_TRUE(fn.getMax(bound));
  EXPECT_EQ(bound, 7);
  ASSERT_TRUE(fn.setDefault("hull"));
  EXPECT_FALSE(fn.setDefault("sphere"));
  EXPECT_EQ(added(mode).asShort(), 7);

  MFnEnumAttribute empty;
  empty.create("empty", "em");
  EXPECT_FALSE(empty.getMin(bound));
}

TEST_F(AttributeFunctionSets, CompoundsTakeChildrenUntilANodeHasThem) {
  MFnNumericAttribute numeric;
  const MObject mass = numeric.create("mass", "ms", MFnNumericData::kDouble, 1.0);
  const MObject bounce = numeric.create("bounce", "bc", MFnNumericData::kDouble, 0.5);
  const MObject late = numeric.create("late", "lt", MFnNumericData::kDouble);
  MFnCompoundAttribute fn;
  const MObject body = fn.create("body", "bd");
  ASSERT_TRUE(fn.addChild(mass));
  ASSERT_TRUE(fn.addChild(bounce));
  EXPECT_FALSE(fn.addChild(mass));  // already a child
  EXPECT_EQ(fn.numChildren(), 2u);
  EXPECT_EQ(MFnAttribute(fn.child(1)).name(), MString("bounce"));
  MStatus status;
  fn.child(2, &status);
  EXPECT_FALSE(status);
  const MPlug plug = added(body);
  EXPECT_FALSE(fn.addChild(late));
  EXPECT_TRUE(plug.isCompound());
  EXPECT_DOUBLE_EQ(plug.child(0).asDouble(), 1.0);
  EXPECT_EQ(plug.child(1).parent(), plug);
  EXPECT_EQ(plug.child(bounce).name(), MString("doubler1.bounce"));
  // Other compounds cannot take a child that has a parent.
  MFnCompoundAttribute other;
  other.create("other", "ot");
  EXPECT_FALSE(other.addChild(bounce));
}

TEST_F(AttributeFunctionSets, MessageAttributesCarryConnectionsButNoValue) {
  const MPlug link = added(MFnMessageAttribute().create("link", "lk"));
  const MObject other = MFnDependencyNode().create("doubler");
  const MPlug items = MPlug(other, DoublerNode::items).elementByLogicalIndex(0);
  EXPECT_TRUE(connects(link, items));
  EXPECT_FALSE(connects(MPlug(other, DoublerNode::output), link));  // a number is no message
  EXPECT_FALSE(MPlug(link).setValue(1.0));
  EXPECT_EQ(items.source(), link);
}

TEST_F(AttributeFunctionSets, FunctionSetsRefuseObjectsOfAnotherKind) {
  const MObject enumeration = MFnEnumAttribute().create("e", "e");
  MStatus status;
  MFnNumericAttribute numeric(enumeration, &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(numeric.object().isNull());
  EXPECT_FALSE(numeric.setMin(0.0));
  MFnAttribute fromNode(node, &status);
  EXPECT_FALSE(status);
  EXPECT_FALSE(fromNode.setKeyable(true));
  fromNode.isKeyable(&status);
  EXPECT_FALSE(status);
  MFnAttribute any(enumeration, &status);
  EXPECT_TRUE(status);
  EXPECT_EQ(any.name(), MString("e"));
}

}  // namespace
