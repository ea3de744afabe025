// The shared-tables fuzz target's checks (fuzz/shared_checks.cpp) over its
// seeds and over every input it caught (fuzz/regressions/fuzz_shared/).
#include <gtest/gtest.h>

#include "../../fuzz/shared_checks.h"
#include "support/fuzz_inputs.h"

TEST(SharedFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_shared");
  for (const gvtest::KeptInput& in : inputs) {
    EXPECT_EQ(gorvane::fuzz::CheckShared(in.data(), in.size()), "") << in.path;
  }
  EXPECT_FALSE(inputs.empty());
}
