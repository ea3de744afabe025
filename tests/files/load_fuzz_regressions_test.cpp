// The loading fuzz target's checks (fuzz/load_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_load/).
#include <gtest/gtest.h>

#include "../../fuzz/load_checks.h"
#include "support/fuzz_inputs.h"

TEST(LoadFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_load");
  for (const gvtest::KeptInput& in : inputs) {
    EXPECT_EQ(gorvane::fuzz::CheckLoad(in.data(), in.size()), "") << in.path;
  }
  EXPECT_FALSE(inputs.empty());
}
