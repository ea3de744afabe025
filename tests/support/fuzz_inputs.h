// The inputs a fuzz target keeps, for the tests that replay them: its seeds
// (fuzz/corpus/<target>/) and every input it caught (fuzz/regressions/<target>/),
// in name order. Needs GV_SOURCE_DIR, the source tree's root.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace gvtest {

struct KeptInput {
  std::filesystem::path path;
  std::string bytes;
  const std::uint8_t* data() const { return reinterpret_cast<const std::uint8_t*>(bytes.data()); }
  std::size_t size() const { return bytes.size(); }
};

inline std::vector<KeptInput> KeptInputs(std::string_view target) {
  namespace fs = std::filesystem;
  std::vector<KeptInput> inputs;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(GV_SOURCE_DIR) / "fuzz" / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
      if (!e.is_regular_file() || e.path().filename().string().front() == '.') continue;
      std::ifstream f(e.path(), std::ios::binary);
      inputs.push_back({e.path(), std::string(std::istreambuf_iterator<char>(f), {})});
    }
  }
  std::sort(inputs.begin(), inputs.end(), [](const KeptInput& a, const KeptInput& b) { return a.path < b.path; });
  return inputs;
}

}  // namespace gvtest
