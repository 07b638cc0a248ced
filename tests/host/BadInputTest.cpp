// What bad input gets: an error, and the scene as it was.
#include "HostFixture.h"
#include "support/HostLookups.h"
#include "support/RefusedLines.h"
#include "support/ScratchFile.h"

#include <maya/MArgList.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace zovhost::testing;

/// A command that runs out of memory.
class GreedyCommand : public MPxCommand {
 public:
  static void* creator() { return new GreedyCommand; }
  MStatus doIt(const MArgList&) override { throw std::bad_alloc(); }
};

class BadInput : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(MGlobal::executeCommand("polyCube -n box; polySphere -n ball; setAttr box.rotateOrder 2"));
  }
  static MPlug plug(const char* name) { return zovtest::plugNamed(name); }
  /// Runs a line that must fail with the error and change nothing.
  static void expectRefused(const std::string& line, const std::string& error) {
    const std::string before = zovhost::testing::sceneText();
    zovtest::expectRefusedLine({line.c_str(), error.c_str()}, [](const std::string& typed) {
      return static_cast<bool>(MGlobal::executeCommand(MString(typed.c_str())));
    });
    EXPECT_EQ(zovhost::testing::sceneText(), before) << line;
  }
};

TEST_F(BadInput, ValuesOutsideWhatAnAttributeHoldsAreRefused) {
  const zovtest::RefusedLine cases[] = {
      {"setAttr box.rotateOrder 99", "99 is not a value of 'box.rotateOrder' (0 xyz, 1 yzx"},
      {"setAttr box.rotateOrder -1", "-1 is not a value of"},
      {"setAttr box.rotateOrder 2.5", "2.5 is not a value of"},
      {"setAttr box.translateX nan", "Error reading data element number 1: nan"},
      {"setAttr box.translate 1 inf 2", "Error reading data element number 2: inf"},
      {"setAttr box.scaleY (-1e308 * 10)", "Error reading data element number 1: -inf"},
      {"currentTime nan", "'nan' is not a time"},
      {"currentTime inf", "'inf' is not a time"},
      {"currentTime 1e308", "'1e308' is not a time"},  // beyond what ticks hold
      {"playbackOptions -min nan", "invalid value"},
      {"polyCube -w inf", "-width needs a positive number, not 'inf'"},
      {"polyCylinder -r nan", "-radius needs a positive number, not 'nan'"},
      {"polySphere -sx 100000000 -sy 100000000", "-subdivisionsX needs a whole number from 3 to 1000"},
      {"polyPlane -sy 1001", "-subdivisionsY needs a whole number from 1 to 1000"},
  };
  for (const auto& c : cases) expectRefused(c.line, c.error);

  // The API refuses them as well, and the plugs keep their values.
  EXPECT_FALSE(plug("box.rotateOrder").setValue(99));
  EXPECT_FALSE(plug("box.translateX").setValue(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(plug("box.rotateOrder").asInt(), 2);
  EXPECT_EQ(plug("box.translateX").asDouble(), 0.0);
  // A subdivision count set on the node directly stays within the bounds.
  ASSERT_TRUE(MGlobal::executeCommand("setAttr polySphere1.subdivisionsAxis 100000000"));
  EXPECT_EQ(plug("polySphere1.subdivisionsAxis").asInt(), 1000);
}

TEST_F(BadInput, ValuesPastSinglePrecisionAreRefusedAndValuesPastALimitAreHeldAtItWithAWarning) {
  ASSERT_TRUE(MGlobal::executeCommand(
      "addAttr -ln speed -at float box; addAttr -ln push -at float3 -nc 3 box; addAttr -ln pushX -at float -p push box;"
      "addAttr -ln pushY -at float -p push box; addAttr -ln pushZ -at float -p push box;"
      "addAttr -ln share -at double -min 0 -max 1 box; addAttr -ln count -at long box"));
  // 3.5e38 lies just past the greatest single-precision value (3.4028235e38).
  const zovtest::RefusedLine refused[] = {
      {"setAttr box.speed 1e300", "'box.speed' cannot hold 1e300"},
      {"setAttr box.speed -3.5e38", "'box.speed' cannot hold -3.5e38"},
      {"setAttr box.push 0 1e39 0", "'box.pushY' cannot hold 1e39"},
  };
  for (const auto& c : refused) expectRefused(c.line, c.error);
  // A refused component sets none of the others.
  EXPECT_EQ(plug("box.pushX").asFloat(), 0.0f);
  EXPECT_FALSE(plug("box.speed").setValue(1e300));
  EXPECT_EQ(plug("box.speed").asFloat(), 0.0f);

  const struct {
    const char* line;
    const char* plug;
    double reads;
    const char* warning;  // null: taken as given, without a word
  } taken[] = {
      {"setAttr box.speed 3.4e38", "box.speed", static_cast<double>(3.4e38f), nullptr},
      {"setAttr box.share 1.5", "box.share", 1.0, "'box.share' takes values from 0 to 1; 1.5 was taken as 1"},
      {"setAttr box.share -2", "box.share", 0.0, "'box.share' takes values from 0 to 1; -2 was taken as 0"},
      {"setAttr box.share 0.25", "box.share", 0.25, nullptr},
      {"setAttr box.count 1e12", "box.count", 2147483647.0, "'box.count' takes values from -2147483648 to 2147483647"},
  };
  for (const auto& c : taken) {
    zovhost::testing::clearLogs();
    EXPECT_TRUE(MGlobal::executeCommand(c.line)) << c.line;
    EXPECT_EQ(plug(c.plug).asDouble(), c.reads) << c.line;
    if (c.warning)
      EXPECT_TRUE(hasMessage(MessageKind::Warning, c.warning)) << c.line;
    else
      EXPECT_TRUE(zovhost::testing::messages().empty()) << c.line;
  }

  // What was taken is saved so that it reads back.
  const char* const plugs[] = {"box.speed", "box.share", "box.count", "box.pushX"};
  std::vector<double> kept;
  for (const char* name : plugs) kept.push_back(plug(name).asDouble());
  const zovtest::ScratchFile scratch{"zovhost_limits_", ".zsc"};
  const std::string& scene = scratch.path;
  ASSERT_TRUE(MGlobal::executeCommand(("file -rename \"" + scene + "\"; file -save").c_str()));
  ASSERT_TRUE(MGlobal::executeCommand(("file -open -f \"" + scene + "\"").c_str()));
  for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(plug(plugs[i]).asDouble(), kept[i]) << plugs[i];
}

TEST_F(BadInput, FoldersAndFilesThatReadThemselvesAreRefused) {
  const std::string folder = zovtest::scratchFolder();
  const zovtest::ScratchFile sceneFile{"zovhost_self_", ".zsc"};
  const zovtest::ScratchFile scriptFile{"zovhost_self_", ".mel"};
  const std::string& scene = sceneFile.path;
  const std::string& script = scriptFile.path;
  std::ofstream(scene) << "createNode transform -n fromFile;\nfile -import \"" << scene << "\";\n";
  std::ofstream(script) << "polyCube;\nsource \"" << script << "\";\n";
  expectRefused("file -open \"" + folder + "\"", "Cannot open file");
  expectRefused("file -import \"" + folder + "\"", "Cannot open file");
  expectRefused("source \"" + folder + "\"", "Cannot find file");

  // A scene that imports itself is read once; the inner import is refused.
  EXPECT_FALSE(MGlobal::executeCommand(("file -import \"" + scene + "\"").c_str()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "is being read already: it reads itself"));
  MStringArray made;
  ASSERT_TRUE(MGlobal::executeCommand("ls \"fromFile*\"", made));
  EXPECT_EQ(made.length(), 1u);
  // A script that sources itself runs once.
  EXPECT_FALSE(MGlobal::executeCommand(("source \"" + script + "\"").c_str()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "it sources itself"));
  EXPECT_TRUE(MGlobal::executeCommand("select pCube1"));
  EXPECT_FALSE(MGlobal::executeCommand("select pCube2"));
}

TEST_F(BadInput, ACommandThatRunsOutOfMemoryFailsAndTheHostGoesOn) {
  ASSERT_TRUE(testPlugin().registerCommand("greedy", GreedyCommand::creator));
  expectRefused("greedy", "greedy: out of memory");
  EXPECT_TRUE(MGlobal::executeCommand("select box"));
}

TEST_F(BadInput, NamesWithAHashTakeTheLowestFreeNumber) {
  MString name;
  const struct {
    const char* line;
    const char* name;
  } steps[] = {
      {"createNode transform -n \"piece#\"", "piece1"},
      {"createNode transform -n \"piece#\"", "piece2"},
      {"createNode transform -n \"piece#\"", "piece3"},
      {"delete piece2; createNode transform -n \"piece#\"", "piece2"},  // a freed number is taken again
      {"createNode transform -n piece1", "piece4"},                     // a taken name is numbered too
      {"rename piece4 \"box_shard#\"", "box_shard1"},
      {"createNode transform -n \"a#b\"", "a1b"},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(MGlobal::executeCommand(step.line, name)) << step.line;
    EXPECT_EQ(name, MString(step.name)) << step.line;
  }
  expectRefused("createNode transform -n \"two#hashes#\"", "invalid node name");
  expectRefused("createNode transform -n \"#\"", "invalid node name");  // a name starts with a letter
}

}  // namespace
