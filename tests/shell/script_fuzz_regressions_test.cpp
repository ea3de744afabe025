// The script fuzz target's checks (fuzz/script_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_script/). A broken
// property aborts with its description.
#include <gtest/gtest.h>

#include "../../fuzz/script_checks.h"
#include "support/fuzz_inputs.h"

TEST(ScriptFuzzInputs, EveryKeptInputPasses) {
  const auto inputs = gvtest::KeptInputs("fuzz_script");
  for (const gvtest::KeptInput& in : inputs) {
    gorvane::fuzz::CheckScript(in.data(), in.size());
  }
  EXPECT_FALSE(inputs.empty());
}
