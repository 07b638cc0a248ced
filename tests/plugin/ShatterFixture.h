#pragma once

#include "CommandFixture.h"
#include "src/shatter/voronoiNode.h"
#include "testing/HostTesting.h"

/// A command test for the shatter tools: no progress window is cancelled.
class ShatterTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    zovhost::testing::cancelProgressAfter(-1);
  }
  void TearDown() override {
    zovhost::testing::cancelProgressAfter(-1);
    CommandTest::TearDown();
  }
};
