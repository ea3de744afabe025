// Properties of loading and inserting that must hold for any file: the
// libFuzzer target fuzz_load runs them on generated files, files_tests on the
// seeds (fuzz/corpus/fuzz_load/) and on every input kept in
// fuzz/regressions/fuzz_load/. "" when they hold, else the first one broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gorvane::fuzz {

// Input layout: [mode] [file bytes...].
//   mode % 6: the code the user forces (0 detect, 1, 2, 4, 5, 6).
// The file is opened into a small line store and inserted into it again above
// line 1 + mode / 6: the store stays consistent, every line holds at most
// 15,360 bytes, every line but the last ends in its only CR LF, the last has
// none, and no file is left open.
std::string CheckLoad(const std::uint8_t* data, std::size_t size);

}  // namespace gorvane::fuzz
