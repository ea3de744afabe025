// The regular-expression fuzz target's checks (fuzz/regex_checks.cpp) over its
// seeds and over every input it caught (fuzz/regressions/fuzz_regex/). A
// broken property aborts with its description.
#include <gtest/gtest.h>

#include "../../fuzz/regex_checks.h"
#include "support/fuzz_inputs.h"

TEST(RegexFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_regex");
  for (const gvtest::KeptInput& in : inputs) {
    gorvane::fuzz::CheckRegex(in.data(), in.size());
  }
  EXPECT_FALSE(inputs.empty());
}
