#pragma once

#include <gtest/gtest.h>

#include <string>

#include "testing/HostTesting.h"

namespace zovtest {

/// A line a user may type and a piece of the error it must fail with.
struct RefusedLine {
  const char* line;
  const char* error;
};

/// Runs the line through `run` (which answers whether a line succeeded),
/// the logs cleared first: it must fail and give its error.
template <typename Run>
void expectRefusedLine(const RefusedLine& refused, Run run) {
  zovhost::testing::clearLogs();
  EXPECT_FALSE(run(std::string(refused.line))) << refused.line;
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, refused.error)) << refused.line;
}

}  // namespace zovtest
