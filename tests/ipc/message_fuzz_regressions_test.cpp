// The message fuzz target's checks (fuzz/message_checks.cpp, and the inboxes
// over the same bytes as a script: fuzz/inbox_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_messages/).
#include <gtest/gtest.h>

#include "../../fuzz/inbox_checks.h"
#include "../../fuzz/message_checks.h"
#include "support/fuzz_inputs.h"

TEST(MessageFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_messages");
  for (const gvtest::KeptInput& in : inputs) {
    EXPECT_EQ(gorvane::fuzz::CheckMessage(in.data(), in.size()), "") << in.path;
    EXPECT_EQ(gorvane::fuzz::CheckInboxes(in.data(), in.size()), "") << in.path;
  }
  EXPECT_FALSE(inputs.empty());
}
