#include <maya/MPlug.h>

#include <map>
#include <string>
#include <vector>

#include "CommandFixture.h"

namespace {

using namespace zovhost::testing;

/// A body's field links: logical element index to the linked field's name.
using Links = std::map<unsigned int, std::string>;

class ForceFieldLinks : public CommandTest {
 protected:
  /// A solver and three boxes with bodies: "aBody" and "cBody" take fields,
  /// "bBody" does not.
  void SetUp() override {
    CommandTest::SetUp();
    solver = makeSolver();
    for (const char* box : {"a", "b", "c"}) makeBoxBody(box, 1, 1, 1, "0 0 0", "0 0 0", 2, solver);
    run("setAttr aBody.affectForceFields 1; setAttr cBody.affectForceFields 1");
  }

  static Links links(const std::string& body) {
    Links result;
    const MPlug list = MFnDependencyNode(node(body)).findPlug("fieldList", true);
    for (unsigned int i = 0; i < list.numElements(); ++i) {
      const MPlug element = list.elementByPhysicalIndex(i);
      const MPlug source = element.source();
      if (!source.isNull()) result[element.logicalIndex()] = MFnDependencyNode(source.node()).name().asChar();
    }
    return result;
  }

  /// The links of the three bodies, for comparing whole states.
  static std::vector<Links> allLinks() { return {links("aBody"), links("bBody"), links("cBody")}; }

  std::string solver;
};

TEST_F(ForceFieldLinks, ANewFieldIsLinkedToEveryBodyThatTakesFields) {
  run("gravity -n pull");
  run("uniform -n push");
  EXPECT_EQ(links("aBody"), (Links{{0, "pull"}, {1, "push"}}));
  EXPECT_TRUE(links("bBody").empty());
  EXPECT_EQ(links("cBody"), (Links{{0, "pull"}, {1, "push"}}));
}

TEST_F(ForceFieldLinks, NamedBodiesTakeExactlyTheSelectedFieldsInOrder) {
  run("uniform -n f1; uniform -n f2; uniform -n f3");
  run("select f1 f2");
  ASSERT_TRUE(runs("zovConnectForceFields -con -bn bBody"));
  EXPECT_EQ(links("bBody"), (Links{{0, "f1"}, {1, "f2"}}));
  run("select f3");
  ASSERT_TRUE(runs("zovConnectForceFields -connect -bodyName bBody"));
  EXPECT_EQ(links("bBody"), (Links{{0, "f3"}}));
  // Other objects in the selection are passed over.
  run("select a f2 time1 f1");
  ASSERT_TRUE(runs("zovConnectForceFields -con -bn bBody"));
  EXPECT_EQ(links("bBody"), (Links{{0, "f2"}, {1, "f1"}}));
  // A field the host refuses to link leaves its element to the next one.
  run("select f3; zovConnectForceFields -con -bn bBody");
  run("lockNode -l 1 f2; select f2 f3");
  ASSERT_TRUE(runs("zovConnectForceFields -con -bn bBody"));
  EXPECT_EQ(links("bBody"), (Links{{0, "f3"}}));
  run("lockNode -l 0 f2");
  run("select -cl");
  ASSERT_TRUE(runs("zovConnectForceFields -con -bn bBody"));
  EXPECT_TRUE(links("bBody").empty());
  // The other bodies keep the links the fields got when they were made.
  EXPECT_EQ(links("aBody"), (Links{{0, "f1"}, {1, "f2"}, {2, "f3"}}));
}

TEST_F(ForceFieldLinks, UndoGivesBackTheLinksAsTheyWere) {
  run("uniform -n f1; uniform -n f2");
  // A sparse list: elements 0 and 3.
  run("select f1; zovConnectForceFields -con -bn bBody; connectAttr f2.zovfield bBody.fieldList[3]");
  const std::vector<Links> before = allLinks();
  ASSERT_EQ(before[1], (Links{{0, "f1"}, {3, "f2"}}));
  struct Case {
    const char* selection;
    const char* line;
  };
  const Case cases[] = {{"f2", "zovConnectForceFields -con -bn bBody"},
                        {"", "zovConnectForceFields -con -bn bBody"},
                        {"", "zovConnectForceFields -cal f2"}};
  for (const Case& c : cases) {
    run(std::string("select -cl; select ") + c.selection);
    ASSERT_TRUE(runs(c.line)) << c.line;
    EXPECT_NE(allLinks(), before) << c.line;
    ASSERT_TRUE(runs("undo")) << c.line;
    EXPECT_EQ(allLinks(), before) << c.line;
  }
}

TEST_F(ForceFieldLinks, ConnectAllTakesTheFirstFreeElementOfASparseList) {
  run("uniform -n f1");
  // bBody's list has one element, at index 1: the element count names a
  // linked element.
  run("connectAttr f1.zovfield bBody.fieldList[1]; setAttr bBody.affectForceFields 1");
  ASSERT_EQ(links("bBody"), (Links{{1, "f1"}}));
  run("uniform -n f2");
  EXPECT_EQ(links("bBody"), (Links{{1, "f1"}, {2, "f2"}}));
  EXPECT_EQ(links("aBody"), (Links{{0, "f1"}, {1, "f2"}}));
  EXPECT_EQ(links("cBody"), (Links{{0, "f1"}, {1, "f2"}}));
}

TEST_F(ForceFieldLinks, BadCallsGiveTheirMessagesAndChangeNothing) {
  run("uniform -n f1; createNode transform -n plain");
  run("select f1; zovConnectForceFields -con -bn bBody");
  struct Case {
    const char* line;
    bool succeeds;
    const char* message;
  };
  const Case cases[] = {
      {"zovConnectForceFields", false, "invalid arguments"},
      {"zovConnectForceFields -bn bBody", false, "invalid arguments"},
      {"zovConnectForceFields -cal nothing", false, "no field found"},
      {"zovConnectForceFields -cal plain", false, "no field found"},
      {"zovConnectForceFields -cal bare", false, " zovfield attribute not found"},
      {"zovConnectForceFields -con -bn nobody", true, nullptr},
      {"zovConnectForceFields -con -bn a", true, nullptr},  // a transform, not a body
      {"zovConnectForceFields -con", true, nullptr},
      // The fracture body named wins over the rigid body; there is none.
      {"zovConnectForceFields -con -bn bBody -fbn nobody", true, nullptr},
  };
  // A field the module never saw: unloading takes its link attribute along
  // with nothing, so it is made while the callbacks are away.
  run("unloadPlugin zov");
  run("uniform -n bare");
  run(moduleLoadLine().str());
  ASSERT_TRUE(MFnDependencyNode(node("bare")).findPlug("zovfield", true).isNull());
  run("select -cl");
  const std::vector<Links> before = allLinks();
  for (const Case& c : cases) {
    zovhost::testing::clearLogs();
    EXPECT_EQ(runs(c.line), c.succeeds) << c.line;
    if (c.message) {
      EXPECT_TRUE(hasMessage(MessageKind::Error, c.message)) << c.line;
    }
    EXPECT_EQ(allLinks(), before) << c.line;
  }
  // Without a solver the field has nowhere to go.
  zovhost::testing::resetHost();
  run(moduleLoadLine().str());
  run("uniform -n alone");
  zovhost::testing::clearLogs();
  EXPECT_FALSE(runs("zovConnectForceFields -cal alone"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "no zov solver found"));
}

}  // namespace
