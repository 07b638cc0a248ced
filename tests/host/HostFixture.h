#pragma once

#include <maya/MFnPlugin.h>
#include <maya/MObject.h>

#include "testing/HostTesting.h"

#include <gtest/gtest.h>

/// A test that starts and ends with a freshly reset host.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { zovhost::testing::resetHost(); }
  void TearDown() override { zovhost::testing::resetHost(); }

  /// The function set through which the tests register their node types and commands.
  static MFnPlugin testPlugin() { return MFnPlugin(zovhost::testing::pluginObject(), "Tests", "1.0"); }
};
