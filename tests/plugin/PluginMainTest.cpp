#include <maya/MFnPlugin.h>
#include <maya/MPointArray.h>
#include <maya/MPxNode.h>
#include <maya/MStringArray.h>
#include <maya/MVector.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "PluginFixture.h"
#include "src/pluginMain.h"
#include "testing/RenderTesting.h"

namespace {

using zovhost::testing::callbackCount;
using namespace zovhost::testing;

/// A host without the module; the tests load it themselves.
class PluginEntry : public ::testing::Test {
 protected:
  void SetUp() override { zovhost::testing::resetHost(); }
  void TearDown() override { zovhost::testing::resetHost(); }

  /// The plug-in's name: its file name without "lib" and the extension.
  static std::string moduleName() {
    std::string name = ZOV_MODULE_PATH;
    name = name.substr(name.rfind('/') + 1);
    return name.substr(3, name.find('.') - 3);
  }
  static bool runs(const std::string& line) { return static_cast<bool>(MGlobal::executeCommand(line.c_str())); }
  /// The lines run since the logs were cleared that match one of `lines`, in order.
  static std::vector<std::string> ran(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const auto& command : zovhost::testing::commands())
      for (const std::string& line : lines)
        if (command.line == line) found.push_back(line + (command.succeeded ? "" : " (failed)"));
    return found;
  }
};

/// The host callbacks the module installs: the removals of six of its node
/// types and fifteen event, node-added, scene and name-changed messages.
constexpr size_t kModuleCallbacks = 21;

const std::vector<std::string> kLoadLines = {"source zovUI_40.mel", "zovUI_initialize", "dynPref -autoCreate off"};
const std::vector<std::string> kUnloadLines = {"deleteAllBodiesFromZovWorldWithoutConfirm",
                                               "displayColor -dormant \"grid\" 3", "savePrefs -colors"};

class OtherNode : public MPxNode {
 public:
  static void* creator() { return new OtherNode; }
  static MStatus initialize() { return MS::kSuccess; }
};

TEST_F(PluginEntry, LoadingWithoutTheUserInterfaceScriptStillRegistersEverything) {
  const size_t callbacks = callbackCount();
  zovhost::testing::clearLogs();
  ASSERT_TRUE(runs(moduleLoadLine().str()));
  EXPECT_EQ(ran(kLoadLines), (std::vector<std::string>{"source zovUI_40.mel (failed)", "zovUI_initialize (failed)",
                                                       "dynPref -autoCreate off"}));
  EXPECT_TRUE(runs("createNode zovCollisionShape"));
  EXPECT_EQ(callbackCount(), callbacks + kModuleCallbacks);
  MString text;
  MGlobal::executeCommand(("pluginInfo -q -vendor " + moduleName()).c_str(), text);
  EXPECT_EQ(text, MString("Ombrevale"));
  MGlobal::executeCommand(("pluginInfo -q -version " + moduleName()).c_str(), text);
  EXPECT_EQ(text, MString("4.0"));
}

TEST_F(PluginEntry, CommandsAndTheToolAreRegisteredInTheModulesOrder) {
  // The module's commands in their registration order, the selection tool
  // between the third and the fourth.
  const std::vector<std::string> order = {"zovSolver",
                                          "new_ZOVBody",
                                          "ManageZovListCmd",
                                          "selectZovContext",
                                          "zovFractureBody",
                                          "deleteZovFBody",
                                          "Detach_FBody",
                                          "fBody_selStresses",
                                          "zovCluster",
                                          "dComputeRotDist",
                                          "update_Fbody",
                                          "zovShatter",
                                          "zovAdqShatter",
                                          "deleteUserNode",
                                          "queryZovBody",
                                          "queryZovFBody",
                                          "zovConnectForceFields",
                                          "zovJagginess",
                                          "zovShatterPreview",
                                          "zovCracker"};
  ASSERT_TRUE(runs(moduleLoadLine().str()));
  MStringArray registered;
  ASSERT_TRUE(MGlobal::executeCommand(("pluginInfo -q -command " + moduleName()).c_str(), registered));
  std::vector<std::string> names;
  for (unsigned int i = 0; i < registered.length(); ++i) names.push_back(registered[i].asChar());
  // Every registered command has its place, in order; these are all here.
  size_t place = 0;
  for (const std::string& name : names) {
    const auto found = std::find(order.begin() + static_cast<long>(place), order.end(), name);
    ASSERT_NE(found, order.end()) << name << " out of order or unknown";
    place = static_cast<size_t>(found - order.begin()) + 1;
  }
  for (const char* name : {"zovSolver", "new_ZOVBody", "ManageZovListCmd", "selectZovContext", "zovFractureBody",
                           "deleteZovFBody", "Detach_FBody", "fBody_selStresses", "zovCluster", "dComputeRotDist",
                           "update_Fbody", "zovShatter", "zovAdqShatter", "deleteUserNode", "queryZovBody",
                           "queryZovFBody", "zovConnectForceFields", "zovShatterPreview", "zovCracker"})
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  // The tool's command makes tools.
  EXPECT_TRUE(runs("selectZovContext"));
}

TEST_F(PluginEntry, AFailedRegistrationFailsTheLoadButNotTheRest) {
  const std::vector<std::pair<const char*, void (*)()>> clashes = {
      {"id taken",
       [] {
         MFnPlugin(zovhost::testing::pluginObject())
             .registerNode("otherShape", MTypeId(0x113A50), OtherNode::creator, OtherNode::initialize);
       }},
      {"refused", [] { zovhost::testing::injectRegistrationFailure("zovCollisionShape"); }},
  };
  for (const auto& clash : clashes) {
    zovhost::testing::resetHost();
    clash.second();
    const size_t callbacks = callbackCount();
    EXPECT_FALSE(runs(moduleLoadLine().str())) << clash.first;
    EXPECT_TRUE(hasMessage(MessageKind::Error, "initializePlugin function failed")) << clash.first;
    // The load went on: its callbacks and its closing script lines are there.
    EXPECT_EQ(callbackCount(), callbacks + kModuleCallbacks) << clash.first;
    EXPECT_EQ(ran({"dynPref -autoCreate off"}).size(), 1u) << clash.first;
    EXPECT_TRUE(runs("unloadPlugin " + moduleName())) << clash.first;
    EXPECT_EQ(callbackCount(), callbacks) << clash.first;
  }
}

TEST_F(PluginEntry, UnloadingWithANullObjectFailsAndRemovesNothing) {
  ASSERT_TRUE(runs(moduleLoadLine().str()));
  const size_t callbacks = callbackCount();
  zovhost::testing::clearLogs();
  EXPECT_FALSE(uninitializePlugin(MObject()));
  EXPECT_TRUE(ran(kUnloadLines).empty());
  EXPECT_EQ(callbackCount(), callbacks);
  EXPECT_TRUE(runs("createNode zovCollisionShape"));
}

TEST_F(PluginEntry, AfterUnloadingNoHandlerOfTheModuleRemains) {
  const size_t callbacks = callbackCount();
  ASSERT_TRUE(runs(moduleLoadLine().str()));
  ASSERT_TRUE(runs("polyCube"));
  ASSERT_TRUE(runs("createNode zovCollisionShape"));
  ASSERT_TRUE(runs("connectAttr pCubeShape1.worldMesh[0] zovCollisionShape1.inShape"));
  ASSERT_TRUE(runs("getAttr zovCollisionShape1.ca_collisionShape"));
  zovhost::testing::clearLogs();

  ASSERT_TRUE(runs("unloadPlugin " + moduleName()));
  EXPECT_EQ(ran(kUnloadLines), (std::vector<std::string>{"deleteAllBodiesFromZovWorldWithoutConfirm (failed)",
                                                         "displayColor -dormant \"grid\" 3", "savePrefs -colors"}));
  EXPECT_EQ(callbackCount(), callbacks);
  EXPECT_FALSE(hasMessage(MessageKind::Warning, "callback(s) installed"));
  // The shape left with its type (its mesh with it); other nodes come and go.
  EXPECT_FALSE(runs("getAttr zovCollisionShape1.type"));
  EXPECT_FALSE(runs("createNode zovCollisionShape"));
  EXPECT_TRUE(runs("delete pCube1"));
}

/// The answer of a query line, as text.
std::string answer(const std::string& line) {
  MString text;
  MGlobal::executeCommand(line.c_str(), text);
  return text.asChar();
}

/// A cube shattered into five pieces, unseeded: the shatter record's number,
/// then the pieces' centres.
std::string unseededShatter() {
  if (!MGlobal::executeCommand("polyCube -n box; zovShatter -ns 5 box")) return "failed";
  const std::vector<std::string> records = zovtest::nodesOfType("zovVoronoiNode");
  std::string pieces = records.size() == 1 ? answer("getAttr " + records[0] + ".index") : "no record";
  for (const std::string& mesh : zovtest::nodesOfType("mesh")) {
    MPointArray corners;
    MFnMesh(zovtest::pathNamed(mesh)).getPoints(corners, MSpace::kWorld);
    MVector sum;
    for (unsigned int i = 0; i < corners.length(); ++i) sum += MVector(corners[i]);
    char centre[64];
    std::snprintf(centre, sizeof centre, " (%.5f %.5f %.5f)", sum.x / corners.length(), sum.y / corners.length(),
                  sum.z / corners.length());
    if (mesh != "boxShape") pieces += centre;
  }
  return pieces;
}

/// A cube shattered unseeded by the radial pattern, two jittered rings of six:
/// every shard's points, in the world.
std::string unseededRadialShatter() {
  if (!MGlobal::executeCommand("polyCube -n box; zovShatter -st 3 -ns 12 -nr 1 -wid 1 -no 0.5 box")) return "failed";
  std::string points;
  for (const std::string& mesh : zovtest::nodesOfType("mesh")) {
    if (mesh == "boxShape") continue;
    MPointArray corners;
    MFnMesh(zovtest::pathNamed(mesh)).getPoints(corners, MSpace::kWorld);
    for (unsigned int i = 0; i < corners.length(); ++i) {
      char point[96];
      std::snprintf(point, sizeof point, " (%.9g %.9g %.9g)", corners[i].x, corners[i].y, corners[i].z);
      points += point;
    }
  }
  return points;
}

TEST_F(PluginEntry, EachLoadStartsAsTheFirstThoughTheProcessKeepsTheModuleMapped) {
  // This program links the module, so unloading it leaves its file mapped.
  // What each case shows of the module's own state, measured in an empty
  // scene: it moves on while the module stays loaded and is as at the first
  // load once the module is loaded again.
  struct Case {
    const char* what;
    std::function<std::string()> measure;
    /// The measure at a load ("" where only the first load says).
    const char* atLoad;
    /// Lines of the first load after its measure.
    const char* then;
  };
  const Case cases[] = {
      {"a time change refreshes the view, not after a new scene until an open",
       [] {
         const unsigned before = viewRefreshCount();
         runs("createNode zovSolverNode -n s; connectAttr time1.outTime s.inTime; currentTime 2; currentTime 3");
         return std::to_string(viewRefreshCount() - before);
       },
       "2", "file -f -new"},
      {"shatter records are numbered from 1, unseeded shatters count from the first", unseededShatter, "", ""},
      {"unseeded radial shatters count from the first", unseededRadialShatter, "", ""},
      {"body indices in the world count from 0",
       [] {
         runs("zovSolver; polyCube -n a; polyCube -n b; setAttr b.translateX 1; select a b; new_ZOVBody -st 2");
         return answer("getAttr aZovBody.index") + " " + answer("getAttr bZovBody.index");
       },
       "0 1", ""},
  };
  for (const Case& c : cases) {
    resetHost();
    ASSERT_TRUE(runs(moduleLoadLine().str()));
    const std::string first = c.measure();
    if (*c.atLoad) {
      EXPECT_EQ(first, c.atLoad) << c.what;
    }
    runs(c.then);
    resetScene();
    EXPECT_NE(c.measure(), first) << c.what;
    ASSERT_TRUE(runs("unloadPlugin " + moduleName()));
    ASSERT_TRUE(runs(moduleLoadLine().str()));
    resetScene();
    EXPECT_EQ(c.measure(), first) << c.what;
  }
}

}  // namespace
