// The message fuzz target's checks (fuzz/message_checks.cpp) over its seeds
// and over every input it caught (fuzz/regressions/fuzz_messages/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../../fuzz/message_checks.h"

namespace fs = std::filesystem;

TEST(MessageFuzzInputs, EveryKeptInputPasses) {
  int seen = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(GV_SOURCE_DIR) / "fuzz" / kind / "fuzz_messages";
    if (!fs::exists(dir)) continue;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
      std::ifstream f(entry.path(), std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(f), {});
      EXPECT_EQ(gorvane::fuzz::CheckMessage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
          << entry.path();
      ++seen;
    }
  }
  EXPECT_GT(seen, 0);
}
