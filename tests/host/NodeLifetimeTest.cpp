// When the host lets go of a node for good, its plug-in object is destroyed
// while the node can still be seen: the destructor reads its plugs, follows
// the connections the node had and deletes the nodes connected to it. The
// test module's owner node does that with its member nodes.
#include "HostFixture.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

namespace {

using namespace zovhost::testing;

class NodeLifetime : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    MStringArray loaded;
    ASSERT_TRUE(MGlobal::executeCommand(MString("loadPlugin \"") + ZOV_TEST_MODULE_PATH + "\"", loaded));
    m_module = loaded[0];
    // An owner with two members, and a member of no owner.
    ASSERT_TRUE(
        run("createNode ownerNode; setAttr ownerNode1.value 7; createNode memberNode; createNode memberNode; "
            "createNode memberNode -n loner; connectAttr memberNode1.owner ownerNode1.members[0]; "
            "connectAttr memberNode2.owner ownerNode1.members[3]"));
    zovhost::testing::clearLogs();
  }
  void TearDown() override {
    MGlobal::executeCommand("unloadPlugin " + m_module);
    HostTest::TearDown();
  }
  static bool run(const std::string& line, bool undo = false) {
    return static_cast<bool>(MGlobal::executeCommand(MString(line.c_str()), false, undo));
  }
  static bool exists(const char* name) {
    MSelectionList list;
    return static_cast<bool>(list.add(name));
  }
  /// What the destructors reported, in order.
  static std::vector<std::string> departures() {
    std::vector<std::string> lines;
    for (const auto& message : zovhost::testing::messages())
      if (message.kind == MessageKind::Info && message.text.find(" goes") != std::string::npos)
        lines.push_back(message.text);
    return lines;
  }
  static void expectOwnerWentWithItsMembers() {
    // The owner is on its way out while its members go: they no longer see it.
    EXPECT_EQ(departures(),
              (std::vector<std::string>{"ownerNode1 goes with value 7 and members memberNode1 memberNode2",
                                        "memberNode1 goes; owner", "memberNode2 goes; owner"}));
    EXPECT_FALSE(exists("ownerNode1"));
    EXPECT_FALSE(exists("memberNode1"));
    EXPECT_FALSE(exists("memberNode2"));
    EXPECT_FALSE(hasMessage(MessageKind::Error, "cannot see itself"));
  }

  MString m_module;
};

TEST_F(NodeLifetime, DeletingWithoutUndoDestroysTheOwnerWhichDeletesItsMembers) {
  ASSERT_TRUE(run("delete ownerNode1"));
  expectOwnerWentWithItsMembers();
  EXPECT_TRUE(exists("loner"));
}

TEST_F(NodeLifetime, DeletingWithUndoKeepsTheOwnerUntilTheQueueLetsGo) {
  ASSERT_TRUE(run("delete ownerNode1", true));
  EXPECT_FALSE(exists("ownerNode1"));
  EXPECT_TRUE(exists("memberNode1"));  // nothing destroyed: undo may bring it back
  EXPECT_FALSE(hasMessage(MessageKind::Info, "goes"));
  ASSERT_TRUE(run("undo"));
  MSelectionList list;
  MObject owner;
  ASSERT_TRUE(list.add("ownerNode1"));
  ASSERT_TRUE(list.getDependNode(0, owner));
  const MPlug member = MFnDependencyNode(owner).findPlug("members").elementByLogicalIndex(3);
  EXPECT_EQ(member.source().name(), MString("memberNode2.owner"));

  ASSERT_TRUE(run("delete ownerNode1", true));
  ASSERT_TRUE(run("undoInfo -state off"));  // flushes the queue
  expectOwnerWentWithItsMembers();
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
  EXPECT_TRUE(exists("loner"));
}

TEST_F(NodeLifetime, MembersDeletedUndoablyWhileTheQueueLetsGoOfTheOwnerComeBackOnUndo) {
  // Made with undo: the queue also holds their making, older than the deletions.
  ASSERT_TRUE(
      run("createNode ownerNode -n keeper; setAttr keeper.undoable 1; createNode memberNode -n kept; "
          "connectAttr kept.owner keeper.members[0]",
          true));
  ASSERT_TRUE(run("delete keeper", true));
  ASSERT_TRUE(run("undoInfo -fl"));
  EXPECT_FALSE(exists("kept"));
  EXPECT_EQ(zovhost::testing::undoCount(), 1u);
  ASSERT_TRUE(run("undo"));
  EXPECT_TRUE(exists("kept"));
}

TEST_F(NodeLifetime, UnloadingFlushesTheQueueAndDestroysEveryNode) {
  ASSERT_TRUE(run("delete memberNode2", true));
  ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin " + m_module));
  // The deleted member went with the undo queue, the owner with its type, and
  // the owner took its remaining member along.
  EXPECT_EQ(departures(), (std::vector<std::string>{"memberNode2 goes; owner ownerNode1",
                                                    "ownerNode1 goes with value 7 and members memberNode1",
                                                    "memberNode1 goes; owner", "loner goes; owner"}));
  EXPECT_FALSE(exists("memberNode1"));
  EXPECT_FALSE(exists("loner"));
}

TEST_F(NodeLifetime, DeregisteringTheOwnersTypeDestroysItsNodesAndTheirMembers) {
  ASSERT_TRUE(run("delete loner", true));
  ASSERT_TRUE(run("dropOwnerType"));
  // The undo queue lets go first (it may hold the type's nodes), then the
  // owner goes and takes its members.
  EXPECT_EQ(departures(), (std::vector<std::string>{"loner goes; owner",
                                                    "ownerNode1 goes with value 7 and members memberNode1 memberNode2",
                                                    "memberNode1 goes; owner", "memberNode2 goes; owner"}));
  EXPECT_FALSE(exists("memberNode1"));
  EXPECT_FALSE(run("createNode ownerNode"));
  EXPECT_TRUE(run("createNode memberNode"));
}

TEST_F(NodeLifetime, ANewSceneDestroysNodesNewestFirstWhileTheirConnectionsShow) {
  ASSERT_TRUE(run("file -new"));
  // The members go first and still see their owner; the owner then has none.
  EXPECT_EQ(departures(), (std::vector<std::string>{"loner goes; owner", "memberNode2 goes; owner ownerNode1",
                                                    "memberNode1 goes; owner ownerNode1",
                                                    "ownerNode1 goes with value 7 and members"}));
  EXPECT_FALSE(exists("ownerNode1"));
}

}  // namespace
