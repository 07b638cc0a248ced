// What users give the module's commands: names quoted in every command line
// the module builds or refused with a message, numeric flags checked against
// their ranges before anything changes, and commands given the wrong kind of
// object or an impossible combination saying which object and why.
#include <maya/MGlobal.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "src/userInput.h"
#include "support/RefusedLines.h"

namespace {

using namespace zovhost::testing;

/// Names a user may type where a node name goes: a command separator, quotes,
/// spaces, a line end, and the pattern and path characters.
const char* const kHostileNames[] = {"stone;delete victim", "say \"hi\"", "with space", "line\nbreak",
                                     "back\\slash",         "star*",      "path|name"};

class UserInput : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    run("playbackOptions -min 1 -max 24; zovSolver; getAttr zovSolverNode1.ca_solverParams");
    run("createNode transform -n victim");
    zovhost::testing::flushIdleQueue();
  }

  /// The node names of the scene.
  static std::vector<std::string> listing() { return nodesOfType("node"); }

  /// Runs a line that must fail with the message and leave the scene's
  /// nodes and values as they were.
  static void expectRefused(const std::string& line, MessageKind kind, const std::string& message) {
    const std::string before = zovhost::testing::sceneText();
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(line)) << line;
    EXPECT_TRUE(hasMessage(kind, message)) << line << " wants: " << message;
    zovhost::testing::flushIdleQueue();
    EXPECT_EQ(zovhost::testing::sceneText(), before) << line;
  }
};

TEST_F(UserInput, AQuotedTextReadsBackAsItIsWhateverItHolds) {
  for (const char* name : kHostileNames) {
    const std::string line = "string $read = " + quotedArgument(std::string(name));
    MString read;
    ASSERT_TRUE(MGlobal::executeCommand(line.c_str(), read)) << line;
    EXPECT_EQ(std::string(read.asChar()), name);
  }
  EXPECT_EQ(quotedArgument(std::string("plain")), "\"plain\"");
  EXPECT_TRUE(isValidNodeName("_cut1Mat"));
  for (const char* name : kHostileNames) EXPECT_FALSE(isValidNodeName(name)) << name;
  EXPECT_FALSE(isValidNodeName("1stMat"));
  EXPECT_FALSE(isValidNodeName(""));
}

TEST_F(UserInput, NamesAFlagGivesAreRefusedUnlessTheyCanNameANodeAndNothingElseIsTouched) {
  ASSERT_NO_FATAL_FAILURE(rockOfFourGluedShards());
  run("polyCube -n target; setAttr target.translateX 5");
  for (const char* name : kHostileNames) {
    const std::string quoted = quotedArgument(std::string(name));
    const struct {
      std::string line;
      const char* flag;
    } cases[] = {
        {"zovShatter -ns 4 -nm true -cmn " + quoted + " target", "zovShatter: -cutMatName"},
        {"zovAdqShatter -rmt " + quoted + " rock_shard1", "zovAdqShatter: -replaceMat"},
        {"select rock_shardZovBody1 rock_shardZovBody2; zovFractureBody -dTh 0.05 -n " + quoted,
         "zovFractureBody: -name"},
        {"select rock_shardZovBody1 rock_shardZovBody2; zovCluster -as -n " + quoted, "zovCluster: -name"},
    };
    for (const auto& c : cases) expectRefused(c.line, MessageKind::Error, std::string(c.flag) + " " + quoted);
    // A name that only finds a node is looked up as it is and finds none.
    const std::vector<std::string> before = listing();
    zovhost::testing::clearLogs();
    EXPECT_TRUE(runs("zovConnectForceFields -con -bn " + quoted));
    EXPECT_TRUE(hasMessage(MessageKind::Warning, "no zovRigidBody is named " + quoted));
    EXPECT_FALSE(runs("zovConnectForceFields -cal " + quoted));
    EXPECT_TRUE(hasMessage(MessageKind::Error, "no field found"));
    EXPECT_EQ(listing(), before) << name;
    // Nodes never carry such names: the module's lines only ever meet names
    // the host gave.
    EXPECT_FALSE(runs("createNode transform -n " + quoted)) << name;
    EXPECT_FALSE(runs("rename victim " + quoted)) << name;
  }
}

TEST_F(UserInput, AMaterialNameAScenesRecordHoldsIsRefusedUnlessItCanNameANode) {
  // A record (as a scene file may hold it) names a material that is no node
  // name: the shards are made without a cut material, with a warning, and
  // no other node is touched.
  ASSERT_NO_FATAL_FAILURE(shatteredRock("-ns 4 -sed 3 -nm true -cmn cutMat"));
  const std::string record = nodesOfType("zovVoronoiNode")[0];
  int k = 0;
  for (const char* name : kHostileNames) {
    const std::string target = "target" + std::to_string(++k);
    run("polyCube -n " + target + "; setAttr " + target + ".translateX " + std::to_string(3 * k));
    run("setAttr -type \"string\" " + record + ".cutmatname " + quotedArgument(std::string(name)));
    const std::vector<std::string> before = listing();
    zovhost::testing::clearLogs();
    ASSERT_TRUE(runs("zovAdqShatter -reo " + record + " " + target)) << name;
    zovhost::testing::flushIdleQueue();
    EXPECT_TRUE(hasMessage(MessageKind::Warning,
                           "the cut material it names, " + quotedArgument(std::string(name)) + ", is no node name"))
        << name;
    for (const std::string& node : before) EXPECT_FALSE(CommandTest::node(node).isNull()) << node << " " << name;
    EXPECT_EQ(nodesOfType("zovVoronoiNode").size(), static_cast<size_t>(k) + 1) << name;
  }
}

TEST_F(UserInput, FlagsOutsideTheirRangesAreRefusedBeforeAnythingChanges) {
  ASSERT_NO_FATAL_FAILURE(rockOfFourGluedShards());
  run("polyCube -n target; setAttr target.translateX 5; polyCube -n loose; setAttr loose.translateX -5");
  const zovtest::RefusedLine cases[] = {
      {"zovShatter -ns 0 target", "zovShatter: -numShards takes values from 1 to 64, not 0"},
      {"zovShatter -ns 8 -st 7 target", "zovShatter: -shatterStyle takes values from 0 to 6, not 7"},
      {"zovShatter -ns 8 -wid 2.5 target", "zovShatter: -width takes values from 0.01 to 2, not 2.5"},
      {"zovShatter -ns 8 -nr 21 target", "zovShatter: -numRings takes values from 0 to 20, not 21"},
      {"zovShatter -ns 8 -no -1 target", "zovShatter: -noise takes values from 0 to 2, not -1"},
      {"zovShatter -ns 8 -ra 3 target", "zovShatter: -radialAxis takes values from 0 to 2, not 3"},
      {"zovShatter -ns 8 -noc 0 target", "zovShatter: -numCenters takes values from 1 to 5, not 0"},
      {"zovShatterPreview -ns 8 -st 9 targetShape", "zovShatterPreview: -shatterStyle takes values from 0 to 6"},
      {"zovShatterPreview -ns 8 -no 3 targetShape", "zovShatterPreview: -noise takes values from 0 to 2, not 3"},
      {"zovJagginess -com -st 1e300 rock_shard1", "zovJagginess: -strength takes values from 0 to 4, not 1e+300"},
      {"zovJagginess -com -st -1 rock_shard1", "zovJagginess: -strength takes values from 0 to 4, not -1"},
      {"zovJagginess -com -res 5 rock_shard1", "zovJagginess: -resolution takes values from 0 to 4, not 5"},
      {"zovJagginess -com -sn 2 rock_shard1", "zovJagginess: -softnormal takes values from -1 to 1, not 2"},
      {"zovJagginess -com -aff 3 rock_shard1", "zovJagginess: -affect takes values from 0 to 2, not 3"},
      {"new_ZOVBody -shapeType 5 loose", "new_ZOVBody: -shapeType takes values from 0 to 4, not 5"},
      {"new_ZOVBody -shapeType 7 loose", "new_ZOVBody: -shapeType takes values from 0 to 4, not 7"},
      {"new_ZOVBody -shapeType 100000 loose", "new_ZOVBody: -shapeType takes values from 0 to 4, not 100000"},
      {"new_ZOVBody -active 3 loose", "new_ZOVBody: -active takes values from 0 to 2, not 3"},
      {"select rock_shardZovBody1 rock_shardZovBody2; zovFractureBody -dTh 1e300",
       "zovFractureBody: -distanceThr takes values up to 100, not 1e+300"},
      {"dComputeRotDist -rx 1 -tol -1", "dComputeRotDist: -tolerance takes values from 0 up, not -1"},
  };
  for (const auto& c : cases) expectRefused(c.line, MessageKind::Error, c.error);

  // Past the most shards a shatter asks for, the count is held there, with
  // a warning: 64 shards.
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs("zovShatter -ns 1000 -sed 2 target"));
  EXPECT_TRUE(
      hasMessage(MessageKind::Warning, "zovShatter: -numShards takes values from 1 to 64; 1000 is taken as 64"));
  zovhost::testing::flushIdleQueue();
  EXPECT_EQ(nodesOfType("zovVoronoiNode").size(), 2u);
}

TEST_F(UserInput, CommandsGivenTheWrongObjectSayWhichAndWhy) {
  ASSERT_NO_FATAL_FAILURE(rockOfFourGluedShards());
  run("polyCube -n box; setAttr box.translateX 5; select box; new_ZOVBody -shapeType 2");
  run("polyCube -n hammer; setAttr hammer.translateX -5; zovCracker hammer");
  run("polyPlane -n flat; setAttr flat.translateZ 5; polyCube -n squashed; setAttr squashed.scale 0 0 0");
  run("polyCube -n plain; setAttr plain.translateZ -5");
  zovhost::testing::flushIdleQueue();
  struct Case {
    const char* line;
    bool succeeds;
    MessageKind kind;
    const char* message;
    bool changesNothing;
  };
  const Case cases[] = {
      // Nothing to shatter in a flat or a squashed mesh, nor without a count.
      {"zovShatter -ns 4 flat", false, MessageKind::Warning,
       "flatShape excluded from shattering because no seed point can be placed in it: it encloses no volume", true},
      {"zovShatter -ns 4 squashed", false, MessageKind::Warning,
       "squashedShape excluded from shattering because no seed point can be placed in it: it encloses no volume", true},
      {"zovShatter plain", false, MessageKind::Warning, "no seed point can be placed in it: no -numShards given", true},
      // Only a shard is roughened.
      {"zovJagginess -com plain", false, MessageKind::Error,
       "voronoi node not found: plainShape is not a shard of a shatter group, it is not roughened", true},
      // A mesh stands in the world once.
      {"new_ZOVBody -shapeType 2 hammer", false, MessageKind::Warning,
       "Object hammer is the cracker Zovhammer: no rigid body is made for it", true},
      {"zovCracker hammer", false, MessageKind::Warning,
       "Object hammer has the cracker Zovhammer already: no cracker is made for it", true},
      {"zovCracker box", false, MessageKind::Warning,
       "Object box has the rigid body boxZovBody already: no cracker is made for it", true},
      {"new_ZOVBody -shapeType 2 box", true, MessageKind::Info,
       "Object box has the rigid body boxZovBody already: its settings are updated", false},
      // Clusters: both modes, a body that is no piece, one piece, no cluster.
      {"select rock_shardZovBody1 rock_shardZovBody2; zovCluster -as -rem", true, MessageKind::Warning,
       "zovCluster: -assign and -remove given together: -assign makes a cluster, nothing is removed", false},
      {"select boxZovBody rock_shardZovBody3; zovCluster -as", true, MessageKind::Warning,
       "zovCluster: boxZovBody is not a piece of a fracture body, it is left out", false},
      {"select rock_shardZovBody4; zovCluster -as", true, MessageKind::Warning,
       "holds one piece, rock_shardZovBody4: it has no inner joint", false},
      {"select boxZovBody; zovCluster -rem", true, MessageKind::Warning,
       "zovCluster: boxZovBody is not a cluster, it is left out", true},
      // Commands on bodies and fracture bodies given other nodes.
      {"select box; ManageZovListCmd -add true", false, MessageKind::Error,
       "ManageZovListCmd: no zov rigid body selected", true},
      {"select box boxZovBody; queryZovBody -isCacheON", true, MessageKind::Warning,
       "queryZovBody: box is not a zov rigid body, it is left out", true},
      {"select boxZovBody; deleteZovFBody", false, MessageKind::Error, "deleteZovFBody: no fracture body node selected",
       true},
      {"select boxZovBody; update_Fbody -stf true", false, MessageKind::Error,
       "update_Fbody: -staticFrags needs pieces of a fracture body, none is selected", true},
      {"zovConnectForceFields -con -fbn noSuchBody", true, MessageKind::Warning,
       "zovConnectForceFields: no zovFbodyNode is named \"noSuchBody\", no field is connected", true},
  };
  for (const Case& c : cases) {
    const std::string before = zovhost::testing::sceneText();
    zovhost::testing::clearLogs();
    EXPECT_EQ(runs(c.line), c.succeeds) << c.line;
    EXPECT_TRUE(hasMessage(c.kind, c.message)) << c.line << " wants: " << c.message;
    zovhost::testing::flushIdleQueue();
    if (c.changesNothing) {
      EXPECT_EQ(zovhost::testing::sceneText(), before) << c.line;
    }
  }
  EXPECT_EQ(nodesOfType("zovCracker").size(), 1u);
  EXPECT_EQ(nodesOfType("zovRigidBody").size(), 5u);
}

}  // namespace
