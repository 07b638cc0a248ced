// Every numeric setting of the module's nodes, set as a user sets it: a value
// outside what the setting takes is refused or held at the end of its range
// with one message naming the plug, whatever is taken survives a save and an
// open, and the scene plays on without a value that is not a number.
#include <maya/MFloatPointArray.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MFnNumericAttribute.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "CommandFixture.h"
#include "MeshTestSupport.h"
#include "engine/bodies/HardBody.h"
#include "src/simulation/rigidBodyNode.h"
#include "support/ScratchFile.h"

namespace {

using zovhost::testing::MessageKind;

const char* const kModuleNodeTypes[] = {"zovSolverNode",  "zovRigidBody",   "zovCollisionShape", "zovFbodyNode",
                                        "zovStressNode",  "ClusterZovNode", "zovCracker",        "zovVoronoiNode",
                                        "ShatterLocator", "zovMeshOpNode"};

/// Values a user may type: past double and single precision, past the
/// integers, negative, and ordinary ones.
const char* const kTypedValues[] = {"-1e300", "-3.5e38", "-1e12", "-7",     "-1",   "0",
                                    "0.5",    "3",       "1e12",  "3.4e38", "1e300"};

/// A numeric setting: a plug a user can set with one number.
struct Setting {
  std::string plug;
  bool stored;
  bool hasMin, hasMax;
  double min, max;
};

class SettingRanges : public CommandTest {
 protected:
  /// A scene with a node of every kind the module makes, made as a user
  /// makes them.
  void buildScene() {
    run("playbackOptions -min 1 -max 24; zovSolver");
    ASSERT_NO_FATAL_FAILURE(rockOfFourGluedShards("-nm true -cmn cutMat", "0 3 0"));
    ASSERT_TRUE(runs("select rock_shardZovBody1 rock_shardZovBody2; zovCluster -as"));
    run("polyCube -w 8 -h 1 -d 8 -n slab; setAttr slab.translateY -0.5");
    ASSERT_TRUE(runs("select slab; new_ZOVBody -shapeType 2"));
    run("polyCube -n hammer; setAttr hammer.translateX 5");
    ASSERT_TRUE(runs("zovCracker hammer"));
    run("polyCube -n preview; setAttr preview.translateX -5");
    run("createNode ShatterLocator -n previewLocator -p preview");
    ASSERT_TRUE(runs("zovShatterPreview -ns 8 previewShape"));
    run("polyCube -n stone; setAttr stone.translateZ 5");
    ASSERT_TRUE(runs("zovShatter -ns 3 -sed 5 stone"));
    zovhost::testing::flushIdleQueue();
    ASSERT_TRUE(runs("zovJagginess -com stone_shard1"));
    zovhost::testing::flushIdleQueue();
    for (const char* type : kModuleNodeTypes) ASSERT_FALSE(nodesOfType(type).empty()) << type;
  }

  /// Values the module writes itself when a scene opens: its nodes' numbers;
  /// the centres of mass, which the rebuild finds again from the shapes and
  /// keeps in single precision (a centre that does not fit is refused with a
  /// message when the body next uses it); and the joints' anchors and the
  /// settings that the fracture body's rebuild hands its joints (the fracture
  /// layer's tests hold those).
  static bool rewrittenOnOpen(const std::string& type, const std::string& attribute) {
    if (attribute == "index" || attribute == "massCenter") return true;
    return type == "zovStressNode" && attribute == "position";
  }

  /// The settings of every module node: writable numeric leaves, not in an
  /// array, not fed or locked.
  static std::vector<Setting> settings() {
    std::vector<Setting> found;
    for (const char* type : kModuleNodeTypes)
      for (const std::string& name : nodesOfType(type)) {
        const MFnDependencyNode fn(node(name));
        for (unsigned int i = 0; i < fn.attributeCount(); ++i) {
          const MObject attribute = fn.attribute(i);
          if (!attribute.hasFn(MFn::kNumericAttribute) && !attribute.hasFn(MFn::kUnitAttribute)) continue;
          if (rewrittenOnOpen(type, MFnAttribute(attribute).name().asChar())) continue;
          const MFnAttribute a(attribute);
          if (!a.isWritable() || a.isArray() || !a.parent().isNull()) continue;
          const MPlug plug = fn.findPlug(attribute, true);
          if (plug.isNull() || plug.isArray() || plug.isElement()) continue;
          std::vector<MPlug> leaves;
          if (plug.numChildren() == 0) leaves.push_back(plug);
          for (unsigned int c = 0; c < plug.numChildren(); ++c) leaves.push_back(plug.child(c));
          // A compound's flags hold for its components.
          if (a.isHidden() && !a.isStorable()) continue;
          for (const MPlug& leaf : leaves) {
            if (leaf.isDestination() || leaf.isLocked() || plug.isDestination() || plug.isLocked()) continue;
            Setting s{leaf.name().asChar(), a.isStorable(), false, false, 0.0, 0.0};
            if (leaf.attribute().hasFn(MFn::kNumericAttribute)) {
              const MFnNumericAttribute n(leaf.attribute());
              s.hasMin = n.hasMin() && n.getMin(s.min);
              s.hasMax = n.hasMax() && n.getMax(s.max);
            }
            found.push_back(s);
          }
        }
      }
    return found;
  }

  /// Has every module node compute what its settings give (each hidden
  /// output it keeps for itself), as a host does when it draws the scene.
  static void evaluate() {
    for (const char* type : kModuleNodeTypes)
      for (const std::string& name : nodesOfType(type)) {
        const MFnDependencyNode fn(node(name));
        for (unsigned int i = 0; i < fn.attributeCount(); ++i) {
          const MFnAttribute a(fn.attribute(i));
          if (!a.isHidden() || a.isStorable() || a.isArray() || !a.parent().isNull()) continue;
          const MPlug plug = fn.findPlug(fn.attribute(i), true);
          if (!plug.isNull() && plug.numChildren() == 0 && !a.object().hasFn(MFn::kMessageAttribute)) plug.asDouble();
        }
      }
  }

  /// Every stored setting's value.
  static std::map<std::string, double> storedValues(const std::vector<Setting>& all) {
    std::map<std::string, double> values;
    for (const Setting& s : all)
      if (s.stored) values[s.plug] = getDouble(s.plug);
    return values;
  }

  /// Plays a few frames; every body's state and every mesh point stays a number.
  static void expectPlayableAndFinite(const std::string& label) {
    prepareSimulation("zovSolverNode1", 1, 24);
    for (int f = 2; f <= 3; ++f) frame(f);
    for (const std::string& name : nodesOfType("zovRigidBody")) {
      const HardBody* body = bodyNode(name).engineBody(false);
      if (body == nullptr) continue;
      const RBDynamics& state = body->getDyn();
      for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(std::isfinite(state.position[k])) << label << " " << name;
        EXPECT_TRUE(std::isfinite(state.linearVelocity[k])) << label << " " << name;
        EXPECT_TRUE(std::isfinite(state.angularMomentum[k])) << label << " " << name;
      }
    }
    for (const std::string& mesh : nodesOfType("mesh")) {
      MFloatPointArray points;
      MFnMesh(meshtest::pathOf(mesh)).getPoints(points);
      for (unsigned int i = 0; i < points.length(); ++i)
        ASSERT_TRUE(std::isfinite(points[i].x) && std::isfinite(points[i].y) && std::isfinite(points[i].z))
            << label << " " << mesh << " point " << i;
    }
  }
};

TEST_F(SettingRanges, EveryValueTypedIsRefusedOrHeldInRangeWithAMessageAndWhatIsTakenReopens) {
  ASSERT_NO_FATAL_FAILURE(buildScene());
  const zovtest::ScratchFile scratch{"settingRanges", ".ma"};
  const std::string& path = scratch.path;
  for (const char* typed : kTypedValues) {
    const double value = std::strtod(typed, nullptr);
    const std::vector<Setting> all = settings();
    ASSERT_GT(all.size(), 100u);
    for (const Setting& s : all) {
      const double before = getDouble(s.plug);
      zovhost::testing::clearLogs();
      const bool taken = runs("setAttr " + s.plug + " " + typed);
      const double after = getDouble(s.plug);
      const std::string label = s.plug + " " + typed;
      ASSERT_TRUE(std::isfinite(after)) << label;
      if (!taken) {
        // Refused: one error naming the plug, and the value it had.
        EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Error, "'" + s.plug + "'")) << label;
        EXPECT_EQ(after, before) << label;
        continue;
      }
      if (s.hasMin) {
        EXPECT_GE(after, s.min) << label;
      }
      if (s.hasMax) {
        EXPECT_LE(after, s.max) << label;
      }
      if ((s.hasMin && value < s.min) || (s.hasMax && value > s.max)) {
        EXPECT_TRUE(zovhost::testing::hasMessage(MessageKind::Warning, "'" + s.plug + "'")) << label;
      }
    }
    // What the settings hold once the nodes have used them reads back from
    // the saved scene.
    evaluate();
    const std::map<std::string, double> saved = storedValues(all);
    run("file -rename \"" + path + "\"; file -save");
    run("file -new");
    zovhost::testing::clearLogs();
    ASSERT_TRUE(runs("file -open \"" + path + "\"")) << typed;
    zovhost::testing::flushIdleQueue();
    for (const auto& [plug, expected] : saved) EXPECT_EQ(getDouble(plug), expected) << plug << " " << typed;
    expectPlayableAndFinite(typed);
  }
}

TEST_F(SettingRanges, TheBadSettingsUsersMeetAreHeldInRangeWithOneMessageEach) {
  ASSERT_NO_FATAL_FAILURE(buildScene());
  const std::string joint = nodesOfType("zovStressNode")[0];
  // The mesh operation that roughens (operation 3), not the one that subdivides.
  std::string rough;
  for (const std::string& name : nodesOfType("zovMeshOpNode"))
    if (getDouble(name + ".operationType") == 3.0) rough = name;
  ASSERT_FALSE(rough.empty());
  const struct {
    std::string line;
    std::string plug;
    double reads;
    std::string warning;
  } cases[] = {
      {"setAttr ZovFractureBody.mass -5", "ZovFractureBody.mass", static_cast<double>(1.17549435e-38f),
       "'ZovFractureBody.mass' takes values from 1.175494351e-38 to 3.402823466e+38; -5 was taken as"},
      {"setAttr Zovhammer.size -1", "Zovhammer.size", 0.0, "'Zovhammer.size' takes values from 0 to 1000000"},
      {"setAttr " + joint + ".forceStrenght -10", joint + ".forceStrenght", 0.0,
       "'" + joint + ".forceStrenght' takes values from 0 to"},
      {"setAttr zovSolverNode1.substeps 0", "zovSolverNode1.substeps", 1.0,
       "'zovSolverNode1.substeps' takes values from 1 to 1000; 0 was taken as 1"},
      {"setAttr zovSolverNode1.substeps 100000", "zovSolverNode1.substeps", 1000.0,
       "'zovSolverNode1.substeps' takes values from 1 to 1000; 100000 was taken as 1000"},
      {"setAttr zovSolverNode1.numThreads -2", "zovSolverNode1.numThreads", 1.0,
       "'zovSolverNode1.numThreads' takes values from 1 to 32; -2 was taken as 1"},
      {"setAttr slabZovBody.passive 7", "slabZovBody.passive", 2.0,
       "'slabZovBody.passive' takes values from 0 to 2; 7 was taken as 2"},
      {"setAttr " + rough + ".amplitude 1e300", rough + ".amplitude", 4.0,
       "'" + rough + ".amplitude' takes values from 0 to 4; 1e300 was taken as 4"},
      {"setAttr " + rough + ".lenght -3", rough + ".lenght", 0.0,
       "'" + rough + ".lenght' takes values from 0 to 1000000; -3 was taken as 0"},
  };
  for (const auto& c : cases) {
    zovhost::testing::clearLogs();
    ASSERT_TRUE(runs(c.line)) << c.line;
    EXPECT_EQ(getDouble(c.plug), c.reads) << c.line;
    const auto messages = zovhost::testing::messages();
    ASSERT_EQ(messages.size(), 1u) << c.line;
    EXPECT_EQ(messages[0].kind, MessageKind::Warning) << c.line;
    EXPECT_NE(messages[0].text.find(c.warning), std::string::npos) << messages[0].text;
  }
  // A roughening at the strongest strength and a length past every use
  // keeps the shard's points numbers, and the scene plays.
  run("setAttr " + rough + ".amplitude 4; setAttr " + rough + ".lenght 1e6; setAttr " + rough + ".scale 1e6");
  expectPlayableAndFinite("strongest roughening");
}

}  // namespace
