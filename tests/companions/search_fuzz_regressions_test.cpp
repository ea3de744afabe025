// The search fuzz target's checks (fuzz/search_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_search/). A broken
// property aborts with its description.
#include <gtest/gtest.h>

#include "../../fuzz/search_checks.h"
#include "support/fuzz_inputs.h"

TEST(SearchFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_search");
  for (const gvtest::KeptInput& in : inputs) {
    gorvane::fuzz::CheckSearch(in.data(), in.size());
  }
  EXPECT_FALSE(inputs.empty());
}
