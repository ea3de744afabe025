// The line store at full size: a 1,600,000-line document built through the
// load path, its peak memory, and the time of random reads, splits and joins.
//   line_store_bench generate FILE [LINES]   writes a test document (CR LF lines)
//   line_store_bench build FILE              loads it; prints seconds and peak memory
//   line_store_bench ops FILE                loads it, then times reads, splits and joins
//   line_store_bench bulk FILE               loads it, then times 30,000 lines of about 70 bytes
//                                            put in and taken out in its middle, against
//                                            loading the same lines from a file
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/host.h"
#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "load_lines.h"

namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;
using Clock = std::chrono::steady_clock;

namespace {

// Counts what would be shown; the first message box is printed.
class CountingHost : public gorvane::base::Host {
 public:
  gorvane::base::BoxAnswer ShowMessageBox(const gorvane::base::MessageBoxRequest& box) override {
    if (boxes++ == 0) std::fprintf(stderr, "box: %s\n", gorvane::base::Utf8(box.text).c_str());
    return gorvane::base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override { ++statuses; }
  void Beep() override {}
  int boxes = 0, statuses = 0;
};

// The words of the generated lines: Shift-JIS and ASCII.
const char* const kWords[] = {"\x93\xfa\x96\x7b", "\x82\xb1\x82\xea\x82\xcd", "text", "line", "\x8a\xbf\x8e\x9a",
                              "editor", "\x83\x65\x83\x4c\x83\x58\x83\x67", "0123", "abc"};

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long PeakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int Generate(const char* path, long lines) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return 2;
  std::mt19937 rng(7);
  std::string line;
  for (long i = 0; i < lines; ++i) {
    line.clear();
    const int n = std::uniform_int_distribution<int>(3, 14)(rng);
    for (int w = 0; w < n; ++w) line += kWords[rng() % 9], line += ' ';
    if (i + 1 < lines) line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), f);
  }
  return std::fclose(f) == 0 ? 0 : 2;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// 30,000 lines of about 70 bytes (2 MB) put above the middle line and taken
// out again, as a paste and its undo would, five times; each against loading
// the same bytes from a file into a store of their own.
int Bulk(doc::LineStore& store, const char* documentPath) {
  constexpr int kLines = 30000, kRounds = 5;
  std::mt19937 rng(13);
  std::vector<std::string> paste(kLines);
  std::size_t bytes = 0;
  for (std::string& line : paste) {
    while (line.size() < 66) line += kWords[rng() % 9], line += ' ';
    line += "\r\n";
    bytes += line.size();
  }
  const std::vector<std::string_view> views(paste.begin(), paste.end());
  const std::string pastePath = std::string(documentPath) + ".paste";
  std::FILE* f = std::fopen(pastePath.c_str(), "wb");
  if (f == nullptr) return 2;
  for (const std::string& line : paste) std::fwrite(line.data(), 1, line.size(), f);
  if (std::fclose(f) != 0) return 2;

  const auto before = doc::LineNo(static_cast<std::int32_t>(store.lineCount() / 2));
  std::vector<double> load, insert, remove;
  for (int round = 0; round < kRounds; ++round) {
    CountingHost host;
    qv::TmpCache cache;
    doc::LineStore fresh(host, cache);
    if (!fresh.Start(doc::LineStoreSettings{})) return 2;
    auto t = Clock::now();
    if (!gvbench::LoadLines(fresh, pastePath.c_str())) return 3;
    load.push_back(Seconds(t));

    store.BringIntoWindow(0, before);  // the caret is there
    t = Clock::now();
    if (!store.InsertLines(before, views)) {
      std::fprintf(stderr, "the lines did not all go in (lines: %u)\n", store.lineCount());
      return 3;
    }
    insert.push_back(Seconds(t));
    t = Clock::now();
    if (!store.RemoveLines(before, kLines)) return 3;
    remove.push_back(Seconds(t));
  }
  std::remove(pastePath.c_str());
  std::printf("lines=%u paste_lines=%d paste_bytes=%zu load_ms=%.2f insert_ms=%.2f remove_ms=%.2f peak_rss_kib=%ld\n",
              store.lineCount(), kLines, bytes, Median(load) * 1e3, Median(insert) * 1e3, Median(remove) * 1e3,
              PeakKiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: line_store_bench generate|build|ops|bulk FILE [LINES]\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "generate") return Generate(argv[2], argc > 3 ? std::atol(argv[3]) : 1600000);

  CountingHost host;
  qv::TmpCache cache;
  doc::LineStore store(host, cache);
  if (!store.Start(doc::LineStoreSettings{})) return 2;
  const auto start = Clock::now();
  if (!gvbench::LoadLines(store, argv[2])) return 2;
  const double built = Seconds(start);
  std::printf("lines=%u build_s=%.3f peak_rss_kib=%ld\n", store.lineCount(), built, PeakKiB());
  if (mode == "bulk") return Bulk(store, argv[2]);
  if (mode != "ops") return 0;

  std::mt19937 rng(11);
  const auto count = static_cast<int>(store.lineCount());
  std::string text;
  const int reads = 20000;
  auto t = Clock::now();
  for (int i = 0; i < reads; ++i) {
    const int line = std::uniform_int_distribution<int>(1, count)(rng);
    if (!store.ReadLine(doc::LineNo(line), &text)) return 3;
  }
  const double readUs = Seconds(t) * 1e6 / reads;

  // Splits and joins in the middle, the window brought there first (as the
  // caret moving there would).
  const int middle = count / 2;
  doc::LINEDATA_STRC* r = store.BringIntoWindow(0, doc::LineNo(middle));
  const int edits = 2000;
  double splitS = 0, joinS = 0;
  for (int i = 0; i < edits; ++i) {
    r = store.BringIntoWindow(0, doc::LineNo(middle));
    t = Clock::now();
    doc::LINEDATA_STRC* lower = store.SplitLine(r, doc::CaretCol(3));
    splitS += Seconds(t);
    if (lower == nullptr) return 3;
    t = Clock::now();
    if (store.JoinLineWithPrevious(lower) == nullptr) return 3;
    joinS += Seconds(t);
  }
  std::printf("read_us=%.2f split_us=%.2f join_us=%.2f peak_rss_kib=%ld\n", readUs, splitS * 1e6 / edits,
              joinS * 1e6 / edits, PeakKiB());
  return 0;
}
