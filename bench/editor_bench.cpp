// The editor's moves on a document at full size, in the core: Ctrl+End,
// Ctrl+Home, 1,000 Page Downs, a jump to line 800,000 and the search for the
// next bookmark across the whole file (the only bookmark on the last line).
//   editor_bench FILE [RUNS]
// prints the load time and, for each move, the median over RUNS (9) in
// milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "load_lines.h"
#include "shell/editor.h"
#include "shell/script.h"

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace qv = gorvane::qorvetc;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// The median of runs of a move, each after a setup that is not timed.
double Median(int runs, const std::function<void()>& setup, const std::function<void()>& move) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    setup();
    const auto start = Clock::now();
    move();
    t.push_back(Ms(start));
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: editor_bench FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  sh::ScriptWorld world;
  qv::TmpCache cache;
  doc::LineStore store(world, cache);
  if (!store.Start(doc::LineStoreSettings{})) return 2;
  auto start = Clock::now();
  if (!gvbench::LoadLines(store, argv[1])) return 2;
  const double loadMs = Ms(start);
  sh::Editor editor(world, store, world);
  editor.SetBookmarkRegistry(&world);
  sh::SetScriptView(editor);
  editor.DocumentReplaced();
  const auto count = static_cast<std::int32_t>(store.lineCount());
  if (count < 800000) {
    std::fprintf(stderr, "editor_bench: %s has only %d lines\n", argv[1], count);
    return 2;
  }
  const sh::KeyPress ctrlEnd{0x23, true, false}, ctrlHome{0x24, true, false}, pageDown{0x22, false, false};
  auto home = [&] { editor.KeyDown(ctrlHome); };
  auto end = [&] { editor.KeyDown(ctrlEnd); };
  const sh::PaneState& p = editor.pane(0);
  // Each move must have taken the caret where it goes, or its time means nothing.
  bool wrong = false;
  auto expect = [&](const char* move, doc::LineNo line) {
    if (p.caret.line == line) return;
    std::fprintf(stderr, "editor_bench: %s ended on line %d, not %d\n", move, p.caret.line.value, line.value);
    wrong = true;
  };

  const double endMs = Median(runs, home, end);
  expect("Ctrl+End", doc::LineNo(count));
  const double homeMs = Median(runs, end, home);
  expect("Ctrl+Home", doc::LineNo(1));
  const double pagesMs = Median(runs, home, [&] {
    for (int i = 0; i < 1000; ++i) editor.KeyDown(pageDown);
  });
  const doc::LineNo pagedTo = p.caret.line;
  if (pagedTo <= doc::LineNo(1000)) expect("1,000 Page Downs", doc::LineNo(1001));
  const double jumpMs = Median(runs, [&] { home(); world.inputs.push_back({"800000"}); }, [&] { editor.Run(43); });
  expect("the jump", doc::LineNo(800000));
  store.SetBookmark(doc::LineNo(count), 1);
  const double markMs = Median(runs, home, [&] { editor.Run(47); });
  expect("the next bookmark", doc::LineNo(count));
  std::printf("lines=%d load_ms=%.1f\n", count, loadMs);
  std::printf("ctrl_end_ms=%.3f ctrl_home_ms=%.3f page_down_1000_ms=%.1f jump_800000_ms=%.3f next_bookmark_ms=%.3f\n",
              endMs, homeMs, pagesMs, jumpMs, markMs);
  std::printf("paged_to=%d caret=%d:%d statuses=%zu\n", pagedTo.value, p.caret.line.value, p.caret.column.value,
              world.transcript.size());
  return wrong ? 3 : 0;
}
