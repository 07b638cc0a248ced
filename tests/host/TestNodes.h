#pragma once

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MPxNode.h>
#include <maya/MTypeId.h>

#include "HostFixture.h"

#include <string>
#include <vector>

/// A node whose output is twice its input and whose "follow" output repeats
/// "middle", itself computed from the input: input -> middle -> follow.
/// Counts its computes and setDependentsDirty calls.
class DoublerNode : public MPxNode {
 public:
  static void* creator() { return new DoublerNode; }
  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  MStatus setDependentsDirty(const MPlug& plug, MPlugArray& affected) override;

  static MTypeId id;
  static MObject input;
  static MObject output;
  static MObject middle;
  static MObject follow;
  static MObject memory;  ///< written by compute, read by nobody
  static MObject time;    ///< a time input
  static MObject point;   ///< a float3 input that affects output
  static MObject nudge;   ///< a double3 input of which only the child "nudgeY" affects output (added to it)
  static MObject nudgeY;
  static MObject items;  ///< a message array
  static MObject label;  ///< a string with a default

  int outputComputes = 0;
  int middleComputes = 0;
  int followComputes = 0;
  /// Names of the plugs passed to setDependentsDirty, in order.
  std::vector<std::string> dirtied;
  /// When set, compute reads its own output through a plug (re-entrant pull).
  bool readOwnOutput = false;
};

/// A locator kind of plug-in node with one attribute.
class TestLocator : public MPxLocatorNode {
 public:
  static void* creator() { return new TestLocator; }
  static MStatus initialize();
  static MTypeId id;
  static MObject size;
};

/// A node that reads a mesh in world space: its output is the sum of the
/// points' world x coordinates. Counts its computes.
class MeshReader : public MPxNode {
 public:
  static void* creator() { return new MeshReader; }
  static MStatus initialize();
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

  static MTypeId id;
  static MObject inMesh;
  static MObject sumX;
  int computes = 0;
};

/// Registers DoublerNode ("doubler"), TestLocator ("testLocator") and
/// MeshReader ("meshReader") with the test plug-in.
void registerTestNodes();

/// A test on a freshly reset host with the test node types registered.
class TestNodesTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    registerTestNodes();
  }
};
