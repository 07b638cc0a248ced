#include "HostFixture.h"
#include "TestNodes.h"

#include <maya/MAnimControl.h>
#include <maya/MDGModifier.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlugArray.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

class DependencyGraph : public TestNodesTest {
 protected:
  static MObject create(const char* type = "doubler") {
    MFnDependencyNode fn;
    MStatus status;
    const MObject node = fn.create(MString(type), &status);
    EXPECT_TRUE(status);
    return node;
  }

  static DoublerNode& user(const MObject& node) {
    return *static_cast<DoublerNode*>(MFnDependencyNode(node).userNode());
  }

  static MPlug plug(const MObject& node, const MObject& attribute) { return MPlug(node, attribute); }

  static MObject timeNode() {
    MItDependencyNodes it(MFn::kTime);
    return it.thisNode();
  }

  static MPlug outTime() { return MFnDependencyNode(timeNode()).findPlug("outTime"); }

  static void connect(const MPlug& source, const MPlug& destination) {
    MDGModifier modifier;
    ASSERT_TRUE(modifier.connect(source, destination));
    ASSERT_TRUE(modifier.doIt());
  }
};

TEST_F(DependencyGraph, ComputeRunsOnPullOnlyWhenDirty) {
  const MObject node = create();
  DoublerNode& n = user(node);
  EXPECT_EQ(n.outputComputes, 0);  // nothing computes until something is read

  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), 2.0);  // never computed: dirty
  EXPECT_EQ(n.outputComputes, 1);
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), 2.0);  // clean: stored value
  EXPECT_EQ(n.outputComputes, 1);

  plug(node, DoublerNode::input).setValue(5.0);
  EXPECT_EQ(n.outputComputes, 1);  // setting only marks dirty
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), 10.0);
  EXPECT_EQ(n.outputComputes, 2);

  // A change of an unrelated attribute leaves the output clean.
  plug(node, DoublerNode::memory).setValue(42);
  plug(node, DoublerNode::output).asDouble();
  EXPECT_EQ(n.outputComputes, 2);
}

TEST_F(DependencyGraph, ValuesWrittenInComputePersist) {
  const MObject node = create();
  plug(node, DoublerNode::output).asDouble();
  plug(node, DoublerNode::input).setValue(2.0);
  plug(node, DoublerNode::output).asDouble();
  // compute wrote memory through the data block on each run; the plug reads it back.
  EXPECT_EQ(plug(node, DoublerNode::memory).asInt(), 2);
  EXPECT_EQ(user(node).outputComputes, 2);
}

TEST_F(DependencyGraph, UnknownParameterKeepsTheStoredValue) {
  const MObject node = create();
  // "memory" is not an output: the node answers kUnknownParameter and the value stays.
  plug(node, DoublerNode::memory).setValue(7);
  EXPECT_EQ(plug(node, DoublerNode::memory).asInt(), 7);
  EXPECT_EQ(user(node).outputComputes, 0);
}

TEST_F(DependencyGraph, AffectsChainsWithinANodeAreTransitive) {
  const MObject node = create();
  DoublerNode& n = user(node);
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::follow).asDouble(), 2.0);  // (1 + 1)
  EXPECT_EQ(n.followComputes, 1);
  EXPECT_EQ(n.middleComputes, 1);
  plug(node, DoublerNode::input).setValue(4.0);
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::follow).asDouble(), 5.0);
  EXPECT_EQ(n.followComputes, 2);
  EXPECT_EQ(n.middleComputes, 2);
}

TEST_F(DependencyGraph, TimeDrivesAChainAndRecomputesExactlyWhatDependsOnIt) {
  // time1.outTime -> a.time; a.output -> b.input; c stands apart.
  const MObject a = create();
  const MObject b = create();
  const MObject c = create();
  connect(outTime(), plug(a, DoublerNode::time));
  connect(plug(a, DoublerNode::output), plug(b, DoublerNode::input));
  for (const MObject& node : {a, b, c}) plug(node, DoublerNode::output).asDouble();
  const int before[] = {user(a).outputComputes, user(b).outputComputes, user(c).outputComputes};

  MAnimControl::setCurrentTime(MTime(10.0, MTime::kFilm));
  EXPECT_DOUBLE_EQ(plug(b, DoublerNode::output).asDouble(), (1.0 * 2.0 + 10.0) * 2.0);
  EXPECT_DOUBLE_EQ(plug(c, DoublerNode::output).asDouble(), 2.0);
  EXPECT_EQ(user(a).outputComputes, before[0] + 1);
  EXPECT_EQ(user(b).outputComputes, before[1] + 1);
  EXPECT_EQ(user(c).outputComputes, before[2]);
  // b's middle depends on b.input, which the chain made dirty; a's middle did not change.
  EXPECT_DOUBLE_EQ(plug(b, DoublerNode::middle).asDouble(), 12.0 + 1.0);
  const int aMiddle = user(a).middleComputes;
  plug(a, DoublerNode::middle).asDouble();
  EXPECT_EQ(user(a).middleComputes, aMiddle == 0 ? 1 : aMiddle);
}

TEST_F(DependencyGraph, ChangingACompoundChildDirtiesWhatTheCompoundAffects) {
  const MObject node = create();
  const MPlug point = plug(node, DoublerNode::point);
  ASSERT_EQ(point.numChildren(), 3u);
  EXPECT_EQ(point.child(0).partialName(false, false, false, false, false, true), MString("pointX"));
  EXPECT_FLOAT_EQ(point.child(2).asFloat(), 3.0f);
  plug(node, DoublerNode::output).asDouble();
  point.child(1).setValue(8.0f);
  plug(node, DoublerNode::output).asDouble();
  EXPECT_EQ(user(node).outputComputes, 2);
}

// "nudge" does not affect the output itself; its child nudgeY does. A
// change of the whole compound changes that child, so the output must be
// computed again: output = 2 input + nudgeY.
TEST_F(DependencyGraph, ACompoundSetOrConnectedAsAWholeDirtiesWhatItsChildrenAffect) {
  const auto wholeValue = [](double x, double y, double z) {
    MFnNumericData data;
    const MObject value = data.create(MFnNumericData::k3Double);
    data.setData(x, y, z);
    return value;
  };
  const struct {
    const char* name;
    std::function<void(const MObject& node)> change;
    double output;
  } cases[] = {
      {"set through the plug",
       [&](const MObject& node) { plug(node, DoublerNode::nudge).setValue(wholeValue(0, 4, 0)); }, 2.0 + 4.0},
      {"set by a command",
       [](const MObject& node) {
         ASSERT_TRUE(MGlobal::executeCommand("setAttr " + MFnDependencyNode(node).name() + ".nudge 0 3 0"));
       },
       2.0 + 3.0},
      {"connected from another compound",
       [&](const MObject& node) {
         const MObject source = create();
         plug(source, DoublerNode::nudge).setValue(wholeValue(0, 5, 0));
         connect(plug(source, DoublerNode::nudge), plug(node, DoublerNode::nudge));
       },
       2.0 + 5.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    zovhost::testing::resetScene();
    const MObject node = create();
    ASSERT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), 2.0);
    const int computes = user(node).outputComputes;
    c.change(node);
    EXPECT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), c.output);
    EXPECT_EQ(user(node).outputComputes, computes + 1);
  }
}

TEST_F(DependencyGraph, SetDependentsDirtyIsCalledAsDirtinessSpreads) {
  const MObject a = create();
  const MObject b = create();
  connect(plug(a, DoublerNode::output), plug(b, DoublerNode::input));
  user(b).dirtied.clear();
  plug(a, DoublerNode::input).setValue(3.0);
  const std::vector<std::string>& seen = user(b).dirtied;
  EXPECT_NE(std::find(seen.begin(), seen.end(), "input"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), "output"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), "follow"), seen.end());
}

TEST_F(DependencyGraph, ReentrantPullReturnsTheStoredValueWithoutLooping) {
  const MObject node = create();
  user(node).readOwnOutput = true;
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::output).asDouble(), 2.0);
  EXPECT_EQ(user(node).outputComputes, 1);
}

TEST_F(DependencyGraph, CyclicConnectionsEvaluateWithoutLooping) {
  const MObject a = create();
  const MObject b = create();
  connect(plug(a, DoublerNode::output), plug(b, DoublerNode::input));
  connect(plug(b, DoublerNode::output), plug(a, DoublerNode::input));
  plug(a, DoublerNode::output).asDouble();
  plug(b, DoublerNode::memory).setValue(1);
  SUCCEED();
}

TEST_F(DependencyGraph, FanOutConnectionsListInTheOrderMade) {
  const MObject source = create();
  const MObject first = create(), second = create(), third = create();
  const MPlug out = plug(source, DoublerNode::output);
  connect(out, plug(second, DoublerNode::input));
  connect(out, plug(first, DoublerNode::input));
  connect(out, plug(third, DoublerNode::input));
  MPlugArray destinations;
  ASSERT_TRUE(out.connectedTo(destinations, false, true));
  ASSERT_EQ(destinations.length(), 3u);
  EXPECT_EQ(destinations[0].node(), second);
  EXPECT_EQ(destinations[1].node(), first);
  EXPECT_EQ(destinations[2].node(), third);

  MDGModifier modifier;
  modifier.disconnect(out, plug(second, DoublerNode::input));
  ASSERT_TRUE(modifier.doIt());
  connect(out, plug(second, DoublerNode::input));
  out.connectedTo(destinations, false, true);
  ASSERT_EQ(destinations.length(), 3u);
  EXPECT_EQ(destinations[0].node(), first);
  EXPECT_EQ(destinations[2].node(), second);

  MPlugArray sources;
  plug(first, DoublerNode::input).connectedTo(sources, true, false);
  ASSERT_EQ(sources.length(), 1u);
  EXPECT_EQ(sources[0], out);
}

TEST_F(DependencyGraph, ConnectionsThatCannotBeMadeAreRefused) {
  const MObject a = create();
  const MObject b = create();
  MDGModifier modifier;
  // Kinds that do not match, and a destination that is not writable.
  EXPECT_FALSE(modifier.connect(plug(a, DoublerNode::output), plug(b, DoublerNode::items).elementByLogicalIndex(0)));
  EXPECT_FALSE(modifier.connect(plug(a, DoublerNode::input), plug(b, DoublerNode::output)));
  // A second source for one destination fails at doIt and changes nothing.
  connect(plug(a, DoublerNode::output), plug(b, DoublerNode::input));
  ASSERT_TRUE(modifier.connect(plug(a, DoublerNode::middle), plug(b, DoublerNode::input)));
  EXPECT_FALSE(modifier.doIt());
  EXPECT_EQ(plug(b, DoublerNode::input).source(), plug(a, DoublerNode::output));
}

TEST_F(DependencyGraph, ArrayElementsByLogicalAndPhysicalIndex) {
  const MObject holder = create();
  const MObject a = create(), b = create();
  const MPlug items = plug(holder, DoublerNode::items);
  MFnMessageAttribute message;
  const MObject link = message.create("link", "lk");
  ASSERT_TRUE(MFnDependencyNode(a).addAttribute(link));
  ASSERT_TRUE(MFnDependencyNode(b).addAttribute(MFnMessageAttribute().create("link", "lk")));
  connect(MFnDependencyNode(a).findPlug("link"), items.elementByLogicalIndex(7));
  connect(MFnDependencyNode(b).findPlug("link"), items.elementByLogicalIndex(2));
  EXPECT_EQ(items.numElements(), 2u);
  EXPECT_EQ(items.elementByPhysicalIndex(0).logicalIndex(), 2u);
  EXPECT_EQ(items.elementByPhysicalIndex(1).logicalIndex(), 7u);
  EXPECT_EQ(items.elementByLogicalIndex(7).source().node(), a);
  EXPECT_EQ(items.elementByLogicalIndex(7).name(), MString(MFnDependencyNode(holder).name() + ".items[7]"));
  EXPECT_TRUE(items.elementByPhysicalIndex(2).isNull());
}

TEST_F(DependencyGraph, DynamicAttributesBelongToOneNode) {
  const MObject a = create();
  const MObject b = create();
  MFnNumericAttribute numeric;
  const MObject extra = numeric.create("extra", "ex", MFnNumericData::kFloat, 0.5);
  ASSERT_TRUE(MFnDependencyNode(a).addAttribute(extra));
  EXPECT_TRUE(MFnDependencyNode(a).hasAttribute("extra"));
  EXPECT_FALSE(MFnDependencyNode(b).hasAttribute("extra"));
  EXPECT_FLOAT_EQ(MFnDependencyNode(a).findPlug("ex").asFloat(), 0.5f);
  // A name already on the node is refused.
  EXPECT_FALSE(MFnDependencyNode(a).addAttribute(MFnNumericAttribute().create("input", "inp", MFnNumericData::kInt)));
}

TEST_F(DependencyGraph, NodesAreNamedAfterTheirTypeWithACounter) {
  const MObject a = create(), b = create();
  EXPECT_EQ(MFnDependencyNode(a).name(), MString("doubler1"));
  EXPECT_EQ(MFnDependencyNode(b).name(), MString("doubler2"));
  MFnDependencyNode fn(b);
  EXPECT_EQ(fn.setName("doubler1"), MString("doubler2"));  // a taken name is made unique
  EXPECT_EQ(fn.setName("solver"), MString("solver"));
  MStatus status;
  fn.setName("bad name", false, &status);
  EXPECT_FALSE(status);
  EXPECT_EQ(fn.name(), MString("solver"));
}

TEST_F(DependencyGraph, PlugInDependencyNodeFilterAlsoFindsPlugInLocators) {
  const MObject node = create("doubler");
  const MObject locator = create("testLocator");
  std::vector<MObject> found;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) found.push_back(it.thisNode());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], node);
  EXPECT_EQ(found[1], locator);
  EXPECT_TRUE(locator.hasFn(MFn::kPluginLocatorNode));
  EXPECT_FALSE(node.hasFn(MFn::kPluginLocatorNode));
  unsigned int times = 0;
  for (MItDependencyNodes it(MFn::kTime); !it.isDone(); it.next()) ++times;
  EXPECT_EQ(times, 1u);
}

TEST_F(DependencyGraph, LockedPlugsAndNodesRefuseChanges) {
  const MObject node = create();
  MPlug input = plug(node, DoublerNode::input);
  ASSERT_TRUE(input.setLocked(true));
  EXPECT_FALSE(input.setValue(9.0));
  EXPECT_DOUBLE_EQ(input.asDouble(), 1.0);
  input.setLocked(false);
  MFnDependencyNode(node).setLocked(true);
  MObject copy = node;
  EXPECT_FALSE(MGlobal::deleteNode(copy));
  EXPECT_FALSE(MFnDependencyNode(node).setName("other").length() == 0);
  EXPECT_EQ(MFnDependencyNode(node).name(), MString("doubler1"));
}

TEST_F(DependencyGraph, TypedAndUnitAttributesKeepTheirDefaultsAndValues) {
  const MObject node = create();
  EXPECT_EQ(plug(node, DoublerNode::label).asString(), MString("none"));
  ASSERT_TRUE(plug(node, DoublerNode::label).setValue(MString("body")));
  EXPECT_EQ(plug(node, DoublerNode::label).asString(), MString("body"));
  ASSERT_TRUE(plug(node, DoublerNode::time).setValue(MTime(2.0, MTime::kSeconds)));
  EXPECT_DOUBLE_EQ(plug(node, DoublerNode::time).asMTime().as(MTime::kFilm), 48.0);
}

}  // namespace
