#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MDGModifier.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MIntArray.h>
#include <maya/MPlugArray.h>

#include <string>
#include <vector>

namespace {

class Plugs : public TestNodesTest {
 protected:
  void SetUp() override {
    TestNodesTest::SetUp();
    node = MFnDependencyNode().create("doubler", "source");
    other = MFnDependencyNode().create("doubler", "target");
    // A dynamic array of compounds: targets[i].weight and targets[i].offset.
    MFnNumericAttribute numeric;
    weight = numeric.create("weight", "wt", MFnNumericData::kDouble, 1.0);
    offset = numeric.createPoint("offset", "of");
    MFnCompoundAttribute compound;
    targets = compound.create("targets", "tg");
    compound.addChild(weight);
    compound.addChild(offset);
    compound.setArray(true);
    MFnDependencyNode(node).addAttribute(targets);
  }

  static MStatus connect(const MPlug& source, const MPlug& destination) {
    MDGModifier modifier;
    const MStatus status = modifier.connect(source, destination);
    return status ? modifier.doIt() : status;
  }

  static std::vector<std::string> names(const MPlugArray& plugs) {
    std::vector<std::string> result;
    for (unsigned int i = 0; i < plugs.length(); ++i) result.push_back(plugs[i].name().asChar());
    return result;
  }

  MPlug element(unsigned int index) const { return MPlug(node, targets).elementByLogicalIndex(index); }

  MObject node, other, weight, offset, targets;
};

TEST_F(Plugs, NamesCarryTheElementIndicesOnTheWay) {
  const MPlug x = element(4).child(1).child(0);
  struct Case {
    MPlug plug;
    const char* name;
    const char* shortPath;
    const char* longPath;
  };
  const Case cases[] = {
      {MPlug(node, DoublerNode::input), "source.input", "in", "input"},
      {MPlug(node, targets), "source.targets", "tg", "targets"},
      {element(4), "source.targets[4]", "tg[4]", "targets[4]"},
      {element(4).child(0), "source.targets[4].weight", "tg[4].wt", "targets[4].weight"},
      {x, "source.targets[4].offsetX", "tg[4].ofX", "targets[4].offsetX"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.plug.name(), MString(c.name));
    EXPECT_EQ(c.plug.partialName(), MString(c.shortPath)) << c.name;
    EXPECT_EQ(c.plug.partialName(false, false, false, false, false, true), MString(c.longPath)) << c.name;
    EXPECT_EQ(c.plug.partialName(true), MString("source.") + c.shortPath) << c.name;
  }
  MStatus status;
  EXPECT_EQ(MPlug().name(&status), MString());
  EXPECT_FALSE(status);
}

TEST_F(Plugs, ArraysCompoundsAndTheirPartsLeadToEachOther) {
  const MPlug array(node, targets);
  EXPECT_TRUE(array.isArray() && array.isCompound());
  EXPECT_FALSE(array.isElement());
  MStatus status;
  array.child(0, &status);  // the children belong to an element
  EXPECT_FALSE(status);
  const MPlug third = element(3);
  EXPECT_TRUE(third.isElement());
  EXPECT_EQ(third.logicalIndex(), 3u);
  EXPECT_EQ(third.array(), array);
  EXPECT_EQ(third.numChildren(), 2u);
  const MPlug y = third.child(offset).child(1);
  EXPECT_TRUE(y.isChild());
  EXPECT_EQ(y.parent().parent(), third);
  EXPECT_TRUE(y == MFnNumericAttribute(offset).child(1));
  third.child(2, &status);
  EXPECT_FALSE(status);
  array.elementByLogicalIndex(0).elementByLogicalIndex(0, &status);
  EXPECT_FALSE(status);
  MPlug(node, DoublerNode::input).array(&status);
  EXPECT_FALSE(status);
  MPlug(node, DoublerNode::input).parent(&status);
  EXPECT_FALSE(status);
}

TEST_F(Plugs, ElementsExistOnceSetOrConnectedAndListInIndexOrder) {
  const MPlug array(node, targets);
  EXPECT_EQ(array.numElements(), 0u);
  for (unsigned int index : {7u, 2u, 5u}) element(index).child(weight).setValue(index * 0.5);
  MPlug plug = MPlug(other, DoublerNode::output);
  ASSERT_TRUE(connect(plug, element(9).child(weight)));
  EXPECT_EQ(array.numElements(), 4u);
  MIntArray indices;
  EXPECT_EQ(array.getExistingArrayAttributeIndices(indices), 4);
  EXPECT_EQ(std::vector<int>({indices[0], indices[1], indices[2], indices[3]}), std::vector<int>({2, 5, 7, 9}));
  EXPECT_EQ(array.elementByPhysicalIndex(2).logicalIndex(), 7u);
  EXPECT_DOUBLE_EQ(array.elementByPhysicalIndex(1).child(weight).asDouble(), 2.5);
  MStatus status;
  array.elementByPhysicalIndex(4, &status);
  EXPECT_FALSE(status);
  EXPECT_EQ(element(9).numConnectedChildren(), 1u);
  EXPECT_EQ(element(2).numConnectedChildren(), 0u);
  // An element read but never set has its default and does not come to exist.
  EXPECT_DOUBLE_EQ(element(20).child(weight).asDouble(), 1.0);
  EXPECT_EQ(array.numElements(), 4u);
}

TEST_F(Plugs, ConnectionsJoinPlugsOfMatchingKindsAndShapes) {
  MFnTypedAttribute typed;
  const MObject name = typed.create("name", "nm", MFnData::kString);
  MFnDependencyNode(other).addAttribute(name);
  MFnUnitAttribute unit;
  const MObject length = unit.create("length", "ln", MFnUnitAttribute::kDistance);
  MFnDependencyNode(other).addAttribute(length);
  struct Case {
    const char* what;
    MPlug source, destination;
    bool joins;
  };
  const Case cases[] = {
      {"number to number", MPlug(node, DoublerNode::output), MPlug(other, DoublerNode::input), true},
      {"number to distance", MPlug(node, DoublerNode::input), MPlug(other, length), true},
      {"point to point", MPlug(node, DoublerNode::point), element(0).child(offset), true},
      {"string to string", MPlug(node, DoublerNode::label), MPlug(other, name), true},
      {"number to string", MPlug(node, DoublerNode::output), MPlug(other, name), false},
      {"point to number", MPlug(node, DoublerNode::point), MPlug(other, DoublerNode::input), false},
      {"message to number", MPlug(node, DoublerNode::items).elementByLogicalIndex(0), MPlug(other, DoublerNode::input),
       false},
      {"a whole array to an element", MPlug(node, targets), MPlug(other, DoublerNode::items).elementByLogicalIndex(1),
       false},
      {"a plug to itself", MPlug(node, DoublerNode::input), MPlug(node, DoublerNode::input), false},
      {"into a read-only output", MPlug(node, DoublerNode::input), MPlug(other, DoublerNode::output), false},
      {"an empty plug", MPlug(), MPlug(other, DoublerNode::input), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<bool>(connect(c.source, c.destination)), c.joins) << c.what;
    if (c.joins) {
      EXPECT_EQ(c.destination.source(), c.source) << c.what;
    }
  }
  // A destination takes one source.
  EXPECT_FALSE(connect(MPlug(node, DoublerNode::follow), MPlug(other, DoublerNode::input)));
}

TEST_F(Plugs, ASourceFeedsItsDestinationsInTheOrderConnected) {
  const MObject third = MFnDependencyNode().create("doubler", "third");
  const MPlug out(node, DoublerNode::output);
  ASSERT_TRUE(connect(out, MPlug(third, DoublerNode::input)));
  ASSERT_TRUE(connect(out, MPlug(other, DoublerNode::input)));
  ASSERT_TRUE(connect(out, element(1).child(weight)));
  MPlugArray plugs;
  ASSERT_TRUE(out.destinations(plugs));
  EXPECT_EQ(names(plugs), (std::vector<std::string>{"third.input", "target.input", "source.targets[1].weight"}));
  ASSERT_TRUE(MPlug(other, DoublerNode::input).connectedTo(plugs, true, false));
  EXPECT_EQ(names(plugs), std::vector<std::string>{"source.output"});
  EXPECT_FALSE(MPlug(other, DoublerNode::input).connectedTo(plugs, false, true));
  EXPECT_TRUE(out.isSource() && !out.isDestination());
  const MPlug items(other, DoublerNode::items);
  ASSERT_TRUE(connect(MPlug(third, DoublerNode::items).elementByLogicalIndex(0), items.elementByLogicalIndex(3)));
  items.elementByLogicalIndex(5).setLocked(false);  // made to exist, not connected
  EXPECT_EQ(items.numElements(), 2u);
  EXPECT_EQ(items.numConnectedElements(), 1u);
  MPlug(node, DoublerNode::input).setValue(3.0);
  for (const MObject& reader : {third, other}) EXPECT_DOUBLE_EQ(MPlug(reader, DoublerNode::input).asDouble(), 6.0);
  EXPECT_DOUBLE_EQ(element(1).child(weight).asDouble(), 6.0);
}

TEST_F(Plugs, ALockedPlugOrParentRefusesValuesAndConnections) {
  MPlug input(node, DoublerNode::input);
  ASSERT_TRUE(input.setValue(2.0));
  ASSERT_TRUE(input.setLocked(true));
  EXPECT_TRUE(input.isLocked());
  EXPECT_FALSE(input.setValue(5.0));
  EXPECT_DOUBLE_EQ(input.asDouble(), 2.0);
  EXPECT_FALSE(connect(MPlug(other, DoublerNode::output), input));
  // Locking a compound locks its children.
  MPlug point(node, DoublerNode::point);
  point.setLocked(true);
  EXPECT_TRUE(point.child(1).isLocked());
  EXPECT_FALSE(MPlug(point.child(1)).setValue(9.0f));
  ASSERT_TRUE(input.setLocked(false));
  EXPECT_TRUE(input.setValue(5.0));
  EXPECT_FALSE(MPlug().setLocked(true));
}

TEST_F(Plugs, ValuesReadBackInTheTypeAsked) {
  MPlug input(node, DoublerNode::input);
  input.setValue(-2.75);
  bool flag = false;
  char small = 0;
  short middle = 0;
  float single = 0.0f;
  ASSERT_TRUE(input.getValue(flag) && input.getValue(small) && input.getValue(middle) && input.getValue(single));
  EXPECT_TRUE(flag);
  EXPECT_EQ(small, -2);
  EXPECT_EQ(middle, -2);
  EXPECT_FLOAT_EQ(single, -2.75f);
  EXPECT_EQ(input.asShort(), -2);
  EXPECT_EQ(input.asChar(), -2);
  MString text;
  EXPECT_FALSE(input.getValue(text));  // a number is not a string
  MPlug label(node, DoublerNode::label);
  EXPECT_EQ(label.asString(), MString("none"));
  ASSERT_TRUE(label.setValue(MFnStringData().create("named")));
  EXPECT_EQ(MFnStringData(label.asMObject()).string(), MString("named"));
  EXPECT_FALSE(label.setValue(3.0));
  // A numeric compound reads and writes as numeric data.
  MPlug point(node, DoublerNode::point);
  MFnNumericData data(point.asMObject());
  float x = 0.0f, y = 0.0f, z = 0.0f;
  ASSERT_TRUE(data.getData(x, y, z));
  EXPECT_EQ(std::vector<float>({x, y, z}), std::vector<float>({1.0f, 2.0f, 3.0f}));
  MFnNumericData fresh;
  const MObject values = fresh.create(MFnNumericData::k3Float);
  fresh.setData(4.0f, 5.0f, 6.0f);
  ASSERT_TRUE(point.setValue(values));
  EXPECT_FLOAT_EQ(point.child(2).asFloat(), 6.0f);
  fresh.create(MFnNumericData::k2Float);
  EXPECT_FALSE(point.setValue(fresh.object()));  // two values for three children
}

}  // namespace
