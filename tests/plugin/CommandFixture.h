#pragma once

#include <maya/MGlobal.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

#include "BodyFixture.h"
#include "engine/PublicWorld.h"

/// A host with the module loaded in which tests run the module's commands
/// as a user types them.
class CommandTest : public BodyTest {
 protected:
  /// Runs a user's line (undoable); answers whether it succeeded and its
  /// result words.
  static bool runs(const std::string& line, std::vector<std::string>* result = nullptr) {
    MStringArray words;
    const bool ok = static_cast<bool>(MGlobal::executeCommand(line.c_str(), words, false, true));
    if (result) {
      result->clear();
      for (unsigned int i = 0; i < words.length(); ++i) result->push_back(words[i].asChar());
    }
    return ok;
  }

  /// The nodes of a type, by name, in creation order.
  static std::vector<std::string> nodesOfType(const std::string& type) { return zovtest::nodesOfType(type); }

  /// Selects the other objects and the shards the shatter of `source` made
  /// and makes them rigid bodies (shape type 2); answers the scene's rigid
  /// bodies then.
  static std::vector<std::string> bodiesOfShards(const std::string& source, const std::string& others = "") {
    std::string selection = "select " + others;
    for (const std::string& shard : nodesOfType("transform"))
      if (shard.rfind(source + "_shard", 0) == 0) selection += " " + shard;
    run(selection);
    run("new_ZOVBody -st 2");
    zovhost::testing::flushIdleQueue();
    return nodesOfType("zovRigidBody");
  }

  /// Selects the bodies and runs zovFractureBody with the flags; answers
  /// whether it succeeded.
  static bool fracture(const std::vector<std::string>& bodies, const std::string& flags = "-dTh 0.05") {
    std::string line = "select";
    for (const std::string& body : bodies) line += " " + body;
    run(line);
    return runs("zovFractureBody " + flags);
  }

  /// The 2 x 2 x 2 cube "rock", moved to `place` when one is given, and
  /// shattered with the flags.
  static void shatteredRock(const std::string& flags, const std::string& place = "") {
    run("polyCube -w 2 -h 2 -d 2 -n rock");
    if (!place.empty()) run("setAttr rock.translate " + place);
    ASSERT_TRUE(runs("zovShatter " + flags + " rock"));
    zovhost::testing::flushIdleQueue();
  }

  /// The rock (see shatteredRock) shattered, seed 3 and the extra flags, into
  /// four shards, which are made bodies and glued into one fracture body.
  static void rockOfFourGluedShards(const std::string& extraFlags = "", const std::string& place = "") {
    ASSERT_NO_FATAL_FAILURE(shatteredRock("-ns 4 -sed 3 " + extraFlags, place));
    ASSERT_TRUE(runs("select rock_shard1 rock_shard2 rock_shard3 rock_shard4; new_ZOVBody -shapeType 2"));
    ASSERT_TRUE(
        runs("select rock_shardZovBody1 rock_shardZovBody2 rock_shardZovBody3 rock_shardZovBody4;"
             "zovFractureBody -dTh 0.05"));
    zovhost::testing::flushIdleQueue();
  }

  /// Whether the plug `from` feeds the plug `to`.
  static bool feeds(const std::string& from, const std::string& to) {
    const size_t dot = to.find('.');
    MPlug destination = MFnDependencyNode(node(to.substr(0, dot))).findPlug(to.substr(dot + 1).c_str(), true);
    if (destination.isNull()) return false;
    const MPlug source = destination.source();
    return !source.isNull() && source.name() == MString(from.c_str());
  }

  /// Bodies in the engine world (0 without a world).
  static int worldBodies() { return theWorld ? theWorld->getNumberOfBodies() : 0; }

  /// A user's command that is refused, with the message it gives, on a scene
  /// that its setup lines make.
  struct RefusedCommand {
    const char* name;
    std::vector<std::string> setup;
    const char* command;
    zovhost::testing::MessageKind kind;
    const char* message;
  };

  /// Runs the case on a fresh host with the module loaded, the scene line
  /// and the case's setup lines run: the command must fail, give its message
  /// and leave the count of nodes as it was.
  static void expectRefused(const RefusedCommand& c, const std::string& scene) {
    zovhost::testing::resetHost();
    run(moduleLoadLine().str());
    run(scene);
    for (const std::string& line : c.setup) run(line);
    const size_t nodes = nodesOfType("dependNode").size();
    zovhost::testing::clearLogs();
    EXPECT_FALSE(runs(c.command)) << c.name;
    EXPECT_TRUE(zovhost::testing::hasMessage(c.kind, c.message)) << c.name;
    EXPECT_EQ(nodesOfType("dependNode").size(), nodes) << c.name;
  }

  /// Whether a line that starts with the text ran since the logs were cleared.
  static bool ranLine(const std::string& start) {
    for (const auto& command : zovhost::testing::commands())
      if (command.line.rfind(start, 0) == 0) return true;
    return false;
  }
};
