#pragma once

#include "CommandFixture.h"
#include "src/shatter/voronoiNode.h"
#include "testing/HostTesting.h"

/// A command test for the shatter tools: shatter records are numbered as
/// after the module is loaded into an empty scene, and no progress window
/// is cancelled.
class ShatterTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    voronoiNode::setIndexCounter(0);
    zovhost::testing::cancelProgressAfter(-1);
  }
  void TearDown() override {
    zovhost::testing::cancelProgressAfter(-1);
    CommandTest::TearDown();
  }
};
