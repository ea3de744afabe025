// The fuzz targets' checks (fuzz/fuzz_checks.cpp) over their seeds
// (fuzz/corpus/<target>/) and over every input fuzzing has caught
// (fuzz/regressions/<target>/): each of those made a check fail once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_checks.h"
#include "charcode/charcode.h"
#include "test_util.h"

namespace cc = gorvane::charcode;
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

// Kept inputs that have a test of their own below, which says what went
// wrong. An input whose fault is not fixed yet gets such a test, DISABLED_
// until the fix lands.
const std::set<std::string> kOwnTest = {"euc-ascii-lead-class-after-pair"};

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

std::string RunKept(const Target& target, const std::string& file) {
  const std::vector<std::uint8_t> bytes =
      ReadAll(fs::path(GV_SOURCE_DIR) / "fuzz" / "regressions" / target.name / file);
  if (bytes.empty()) return "cannot read " + file;
  return target.check(bytes.data(), bytes.size());
}

class FuzzInputs : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzInputs, PassTheChecks) {
  const std::vector<fs::path> files = Inputs(GetParam().name);
  ASSERT_FALSE(files.empty()) << "no seeds under " << GV_SOURCE_DIR << "/fuzz/corpus/" << GetParam().name;
  for (const fs::path& file : files) {
    if (kOwnTest.count(file.filename().string())) continue;
    const std::vector<std::uint8_t> bytes = ReadAll(file);
    EXPECT_EQ(GetParam().check(bytes.data(), bytes.size()), "") << file.string();
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputs, ::testing::ValuesIn(kTargets), TargetName);

// A byte below 0x80 is ASCII whatever the caller's EUC-JP class table says.
// The table-driven pair run of EucToSjis once took such a byte with a lead
// class, right after a double-byte character and while dst had room for more,
// as the first of a JIS X 0208 pair, but copied it near the end of dst: the
// output depended on the room. With ours plus class[0x43] |= kEucLead,
// A4 A2 43 B3 gave 82 A0 52 52 into 4 bytes but 82 A0 43 into 3.
//   fuzz_convert: 22 22 b3 43 22 | b3 b3 43 b3 (table made of the source: 43 and
//     B3 lead and trail): 3 bytes of room gave 8a 52 43, the whole 8a 52 52 52.
//   fuzz_readers: 69 00 07 00 64 e3 | 81 e3 81 81 97 00 81 97 (EUC-JP, final,
//     dst 7, table made of the text: 00 a lead byte): a call of ReadPiece gave
//     3f e2 20 71 36 00, the line converted whole 3f e2 20 71 36 30 7f 3f.
TEST(FuzzRegressions, EucByteBelow80WithLeadClassIsAscii) {
  std::array<std::uint8_t, 256> cls = cc::kEucClass;
  cls[0x43] |= cc::kEucLead;
  const gvtest::ByteVec src = gvtest::B({0xA4, 0xA2, 0x43, 0xB3});
  const gvtest::ByteVec want = gvtest::B({0x82, 0xA0, 0x43, 0x3F});  // B3: a lead byte without its trail byte
  for (std::size_t room : {3, 4, 8}) {
    gvtest::ByteVec dst(room);
    const cc::Converted c = cc::EucToSjis(src, dst, cls.data());
    EXPECT_EQ(gvtest::Hex(dst.data(), c.written), gvtest::Hex(want.data(), std::min(room, want.size()))) << room;
  }
  EXPECT_EQ(RunKept(kTargets[2], "euc-ascii-lead-class-after-pair"), "");
  EXPECT_EQ(RunKept(kTargets[1], "euc-ascii-lead-class-after-pair"), "");
}

}  // namespace
