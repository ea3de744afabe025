// The message fuzz target's checks (fuzz/message_checks.cpp, and the inboxes
// over the same bytes as a script: fuzz/inbox_checks.cpp) over its seeds and
// over every input it caught (fuzz/regressions/fuzz_messages/).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../../fuzz/inbox_checks.h"
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
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
      EXPECT_EQ(gorvane::fuzz::CheckMessage(data, bytes.size()), "") << entry.path();
      EXPECT_EQ(gorvane::fuzz::CheckInboxes(data, bytes.size()), "") << entry.path();
      ++seen;
    }
  }
  EXPECT_GT(seen, 0);
}
