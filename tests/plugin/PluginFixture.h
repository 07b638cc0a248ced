#pragma once

#include <gtest/gtest.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>
#include <maya/MString.h>

#include <string>
#include <vector>

#include "src/simulation/collisionShapeNode.h"
#include "support/HostLookups.h"
#include "testing/HostTesting.h"

/// The command line that loads the module from its build path.
inline MString moduleLoadLine() { return MString("loadPlugin \"") + ZOV_MODULE_PATH + "\""; }

/// A fresh host with the module loaded.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zovhost::testing::resetHost();
    ASSERT_TRUE(MGlobal::executeCommand(moduleLoadLine()));
  }
  void TearDown() override { zovhost::testing::resetHost(); }

  /// Runs a line that must succeed.
  static void run(const std::string& line) { ASSERT_TRUE(MGlobal::executeCommand(line.c_str())) << line; }

  /// Saves the scene to path and opens it again in a freshly reset host with
  /// the module loaded, as a user who quits and comes back does; the lines
  /// the opening queued for idle time have run.
  static void reopenInFreshHost(const std::string& path) {
    run("file -rename \"" + path + "\"; file -save");
    zovhost::testing::resetHost();
    ASSERT_TRUE(MGlobal::executeCommand(moduleLoadLine()));
    run("file -open \"" + path + "\"");
    zovhost::testing::flushIdleQueue();
  }

  static MObject node(const std::string& name) { return zovtest::nodeNamed(name); }

  static collisionShapeNode& shapeNode(const std::string& name) {
    return *static_cast<collisionShapeNode*>(MFnDependencyNode(node(name)).userNode());
  }

  /// A new mesh of the polygons (corner counts, then corners in turn);
  /// answers its transform.
  static MObject meshOf(const std::vector<MPoint>& points, const std::vector<int>& counts,
                        const std::vector<int>& corners) {
    MPointArray pointArray;
    for (const MPoint& point : points) pointArray.append(point);
    MIntArray countArray, cornerArray;
    for (int count : counts) countArray.append(count);
    for (int corner : corners) cornerArray.append(corner);
    return MFnMesh().create(static_cast<int>(points.size()), static_cast<int>(counts.size()), pointArray, countArray,
                            cornerArray);
  }

  /// A mesh node made of the polygons (corner counts, then corners in turn)
  /// feeding a new collision shape; answers the shape node's name.
  static std::string shapeOf(const std::vector<MPoint>& points, const std::vector<int>& counts,
                             const std::vector<int>& corners) {
    const MObject transform = meshOf(points, counts, corners);
    const std::string mesh = MFnDependencyNode(MFnDagNode(transform).child(0)).name().str();
    MString shape;
    MGlobal::executeCommand("createNode zovCollisionShape", shape);
    run("connectAttr " + mesh + ".worldMesh[0] " + shape.str() + ".inShape");
    return shape.str();
  }
};
