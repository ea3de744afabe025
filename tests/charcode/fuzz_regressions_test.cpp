// The fuzz targets' checks (fuzz/fuzz_checks.cpp) over their seeds
// (fuzz/corpus/<target>/) and over every input fuzzing has caught
// (fuzz/regressions/<target>/): each of those made a check fail once.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_checks.h"

namespace fs = std::filesystem;
namespace fz = gorvane::fuzz;

namespace {

struct Target {
  const char* name;
  std::string (*check)(const std::uint8_t* data, std::size_t size);
};

const Target kTargets[] = {
    {"fuzz_detect", fz::CheckDetect},
    {"fuzz_readers", fz::CheckReaders},
    {"fuzz_convert", fz::CheckConvert},
};

// Kept inputs whose fault is not fixed yet: each has a DISABLED_ test below
// that runs it, to be enabled with the fix.
const std::set<std::string> kNotFixed = {};

std::vector<fs::path> Inputs(const std::string& target) {
  std::vector<fs::path> files;
  for (const char* kind : {"corpus", "regressions"}) {
    const fs::path dir = fs::path(GV_SOURCE_DIR) / "fuzz" / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& e : fs::directory_iterator(dir))
      if (e.is_regular_file()) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TargetName(const ::testing::TestParamInfo<Target>& info) { return info.param.name; }

class FuzzInputs : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzInputs, PassTheChecks) {
  const std::vector<fs::path> files = Inputs(GetParam().name);
  ASSERT_FALSE(files.empty()) << "no seeds under " << GV_SOURCE_DIR << "/fuzz/corpus/" << GetParam().name;
  for (const fs::path& file : files) {
    if (kNotFixed.count(file.filename().string())) continue;
    const std::vector<std::uint8_t> bytes = ReadAll(file);
    EXPECT_EQ(GetParam().check(bytes.data(), bytes.size()), "") << file.string();
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputs, ::testing::ValuesIn(kTargets), TargetName);

}  // namespace
