// The search fuzz target's checks (fuzz/search_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_search/). A broken
// property aborts with its description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../../fuzz/search_checks.h"

namespace fs = std::filesystem;

TEST(SearchFuzzInputs, EveryKeptInputPasses) {
  int seen = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(GV_SOURCE_DIR) / "fuzz" / kind / "fuzz_search";
    if (!fs::exists(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
      std::ifstream f(entry.path(), std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(f), {});
      gorvane::fuzz::CheckSearch(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++seen;
    }
  }
  EXPECT_GT(seen, 0);
}
