// Regular expressions: the patterns that make backtracking engines take
// exponential time, on a 15,000-byte line of "a" (the Pike VM alone, and with
// the DFA in front of it); and a downward search through a document of
// 1,600,000 lines whose only hit is on its last line, through the line store
// and through a list of lines in memory.
//   regex_bench lines            the worst cases, milliseconds a line
//   regex_bench document FILE    FILE's lines and a last line with the hit
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/host.h"
#include "companions/qorvetc/tmpcache.h"
#include "document/line_source.h"
#include "document/line_store.h"
#include "load_lines.h"
#include "search/regex.h"

namespace doc = gorvane::document;
namespace gs = gorvane::search;
using Clock = std::chrono::steady_clock;

namespace {

class QuietHost : public gorvane::base::Host {
 public:
  gorvane::base::BoxAnswer ShowMessageBox(const gorvane::base::MessageBoxRequest&) override {
    return gorvane::base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override {}
  void Beep() override {}
};

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::unique_ptr<gs::Regex> Compile(const std::string& pattern) {
  gs::RegexError error;
  auto re = gs::Regex::Compile(pattern, true, &error);
  if (!re) std::fprintf(stderr, "%s: %s\n", pattern.c_str(), gorvane::base::Utf8(error.message).c_str());
  return re;
}

int Lines() {
  const std::string line(15000, 'a');
  for (const char* pattern : {"(a|aa)*b", "(a*)*b", "(.*){10}x", "(a|aa)*$", "(.*){10}$"}) {
    auto re = Compile(pattern);
    if (!re) return 2;
    for (bool pikeOnly : {true, false}) {
      std::vector<double> times;
      gs::RegexMatch m;
      gs::RegexStats stats;
      for (int round = 0; round < 7; ++round) {
        gs::RegexError error;
        stats = {};
        const auto t = Clock::now();
        gs::SearchText(*re, line, 0, true, &m, &error, pikeOnly, &stats);
        times.push_back(Ms(t));
      }
      std::printf("%-12s %-10s found=%d ms_per_line=%.3f pike_steps=%lld program=%d\n", pattern,
                  pikeOnly ? "pike" : "dfa+pike", m.found ? 1 : 0, Median(times),
                  static_cast<long long>(stats.pikeSteps), re->size());
    }
  }
  return 0;
}

class ListLines final : public doc::LineSource {
 public:
  std::vector<std::string> lines;
  std::int32_t LineCount() override { return static_cast<std::int32_t>(lines.size()); }
  std::string Line(doc::LineNo line) override { return lines[static_cast<std::size_t>(line.value - 1)]; }
};

int Document(const char* path) {
  // The file with a last line that holds the hit.
  const std::string copy = "/tmp/regex_bench_document.txt";
  {
    std::ifstream in(path, std::ios::binary);
    std::ofstream out(copy, std::ios::binary);
    out << in.rdbuf();
    out << "\r\n" << gorvane::base::Sjis(u8"the end ZQXW 12345 ８７６５４３２１０ ﾏｰｶｰ");
  }
  QuietHost host;
  gorvane::qorvetc::TmpCache cache;
  doc::LineStore store(host, cache);
  if (!store.Start(doc::LineStoreSettings{}) || !gvbench::LoadLines(store, copy.c_str())) return 2;
  std::remove(copy.c_str());
  doc::StoreLines storeLines(store);
  ListLines list;
  store.WalkLines(doc::LineNo(1), 1, [&](doc::LineNo, std::string_view text) {
    list.lines.emplace_back(text);
    return true;
  });
  std::printf("lines=%u\n", store.lineCount());
  for (const char8_t* pattern : {u8"ZQXW \\d+", u8"[０-９]{9}", u8"\\d{5} [０-９]", u8"(?:ZQXW|QQQQ) \\d", u8"ﾏｰｶｰ$"}) {
    auto re = Compile(gorvane::base::Sjis(pattern));
    if (!re) return 2;
    for (int source = 0; source < 2; ++source) {
      doc::LineSource& lines = source == 0 ? static_cast<doc::LineSource&>(storeLines) : list;
      std::vector<double> times;
      gs::RegexMatch m;
      gs::RegexStats stats;
      for (int round = 0; round < 5; ++round) {
        gs::RegexSearch search;
        search.from = {doc::LineNo(1), 0};
        gs::RegexError error;
        stats = {};
        const auto t = Clock::now();
        gs::SearchLines(*re, lines, search, &m, &error, &stats);
        times.push_back(Ms(t));
      }
      std::printf("%-22s %-6s found_line=%d ms=%.1f prefilter_skips=%lld dfa_skips=%lld pike_lines=%lld dfa_states=%lld\n",
                  gorvane::base::Utf8(gorvane::base::Sjis(pattern)).c_str(),
                  source == 0 ? "store" : "list", m.found ? m.start.line.value : 0, Median(times),
                  static_cast<long long>(stats.prefilterSkips), static_cast<long long>(stats.dfaSkips),
                  static_cast<long long>(stats.pikeLines), static_cast<long long>(stats.dfaStates));
    }
  }
  // Reading alone, for comparison.
  std::vector<double> times;
  for (int round = 0; round < 3; ++round) {
    const auto t = Clock::now();
    std::size_t bytes = 0;
    for (std::int32_t n = 1; n <= storeLines.LineCount(); ++n) bytes += storeLines.Line(doc::LineNo(n)).size();
    times.push_back(Ms(t));
    if (bytes == 0) return 3;
  }
  std::printf("reading every line from the store: ms=%.1f\n", Median(times));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "lines") return Lines();
  if (mode == "document" && argc > 2) return Document(argv[2]);
  std::fprintf(stderr, "usage: regex_bench lines | document FILE\n");
  return 2;
}
