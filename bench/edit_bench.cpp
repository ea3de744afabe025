// Editing at full size, in the core: single keystrokes on line 800,000 of the
// 1,600,000-line document, and a large paste with its undo and redo beside
// loading the same text into a fresh store.
//   edit_bench DOC PASTE_DOC TEXT [RUNS] [KEYS]
// DOC: the keystrokes' document (line 800,000 must exist). PASTE_DOC: the
// document the paste goes into, in its middle (it must have room below the
// line limit for TEXT's lines). TEXT: CR LF lines of Shift-JIS, pasted
// through the editor's clipboard port. RUNS (7): paste rounds; KEYS (1001):
// keystrokes of each kind. Prints medians and 90th percentiles in
// microseconds for the keystrokes, medians in milliseconds for the rest,
// with the line store's own InsertLines and RemoveLines of the same lines
// (what the paste and its undo ask of it).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "charcode/sjis_case.h"
#include "commands/command_table.h"
#include "document/caret_moves.h"
#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "load_lines.h"
#include "shell/editor.h"
#include "shell/script.h"

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace cm = gorvane::commands;
namespace qv = gorvane::qorvetc;
using Clock = std::chrono::steady_clock;

namespace {

double Us(Clock::time_point since) { return std::chrono::duration<double, std::micro>(Clock::now() - since).count(); }

struct Spread {
  double median = 0, p90 = 0;
};
Spread Of(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return {t[t.size() / 2], t[std::min(t.size() - 1, t.size() * 9 / 10)]};
}

// A document in a line store of its own with an editor over it, as the
// editor program holds it (the script view: 40 lines to a page).
struct Session {
  sh::ScriptWorld world;
  qv::TmpCache cache;
  doc::LineStore store{world, cache};
  std::unique_ptr<sh::Editor> editor;
  double loadMs = 0;

  // The world answers as the clipboard too (its clipboardText).
  bool Open(const char* path) {
    if (!store.Start(doc::LineStoreSettings{})) return false;
    const auto start = Clock::now();
    if (!gvbench::LoadLines(store, path)) return false;
    loadMs = Us(start) / 1000;
    editor = std::make_unique<sh::Editor>(world, store, world);
    editor->SetBookmarkRegistry(&world);
    editor->SetClipboard(&world);
    sh::SetScriptView(*editor);
    editor->DocumentReplaced();
    return true;
  }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "edit_bench: %s\n", what.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: edit_bench DOC PASTE_DOC TEXT [RUNS] [KEYS]\n");
    return 2;
  }
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 7;
  const int keys = argc > 5 ? std::max(1, std::atoi(argv[5])) : 1001;
  const cm::CommandCode undoCode = cm::FindCommand("UNDO"), redoCode = cm::FindCommand("REDO");
  const cm::CommandCode pasteCode = cm::FindCommand("PASTE");
  bool wrong = false;
  // Each step must have done what it is timed for, or its time means nothing.
  auto check = [&](bool ok, const std::string& what) {
    if (ok) return;
    Fail(what);
    wrong = true;
  };

  // ---- keystrokes on line 800,000 ----
  {
    Session s;
    if (!s.Open(argv[1])) return 2;
    sh::Editor& e = *s.editor;
    const doc::LineNo line(800000);
    if (e.lineCount() < line.value) return Fail("the document has fewer than 800,000 lines");
    const std::int32_t count = e.lineCount();
    const std::string original = e.Line(line);
    // Caret columns after the line's first character and within its first 40
    // bytes, on character boundaries.
    std::vector<doc::CaretCol> columns;
    const std::string_view lineText = doc::LineText(original);
    for (std::size_t b = 0; b < lineText.size() && b < 40;) {
      b += gorvane::charcode::IsSjisLead(static_cast<std::uint8_t>(lineText[b])) ? 2 : 1;
      columns.push_back(doc::CaretCol(static_cast<std::int32_t>(b) + 1));
    }
    if (columns.size() < 3) return Fail("line 800,000 is too short");
    // One keystroke as the window gives it: the key-down, then the character
    // the message loop makes of it.
    auto press = [&](std::uint8_t vk, std::uint8_t ch) {
      const sh::KeyPress k{vk, false, false};
      e.KeyDown(k);
      if (e.TranslatesKey(k)) e.TypeChar(ch);
    };
    struct Kind {
      const char* name;
      std::uint8_t vk, ch;
      bool atLineStart;  // the caret at column 1 (Backspace joins the line to the one above)
      std::int32_t lineDelta;
    };
    const Kind kinds[] = {
        {"type_char", 'A', 'a', false, 0},
        {"backspace", 0x08, 8, false, 0},
        {"backspace_join", 0x08, 8, true, -1},
        {"enter", 0x0d, 13, false, 1},
    };
    std::printf("keystrokes on line %d of %d (%d of each, microseconds; each undone untimed):\n", line.value, count,
                keys);
    std::printf("lines=%d load_ms=%.1f\n", count, s.loadMs);
    for (const Kind& k : kinds) {
      std::vector<double> t;
      for (int i = 0; i < keys; ++i) {
        const doc::CaretCol column =
            k.atLineStart ? doc::CaretCol(1) : columns[static_cast<std::size_t>(i) % columns.size()];
        e.JumpTo(line, column);
        const auto start = Clock::now();
        press(k.vk, k.ch);
        t.push_back(Us(start));
        if (i == 0)
          check(e.lineCount() == count + k.lineDelta,
                std::string(k.name) + " left " + std::to_string(e.lineCount()) + " lines, not " +
                    std::to_string(count + k.lineDelta));
        e.Run(undoCode);
      }
      const Spread sp = Of(t);
      std::printf("%s_us=%.1f p90=%.1f\n", k.name, sp.median, sp.p90);
    }
    check(e.Line(line) == original && e.lineCount() == count, "the undone keystrokes did not give the line back");
    std::printf("messages=%zu\n", s.world.transcript.size());
  }

  // ---- a paste in the middle, its undo and redo; loading the same text ----
  std::string text;
  {
    std::ifstream f(argv[3], std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(f), {});
    if (text.empty()) return Fail("the paste text cannot be read");
  }
  std::int32_t textLines = 0;
  for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++textLines;
  Session s;
  if (!s.Open(argv[2])) return 2;
  s.world.clipboardText = text;
  sh::Editor& e = *s.editor;
  const std::int32_t count = e.lineCount();
  const doc::LineNo middle(count / 2);
  const std::string before = e.Line(middle);
  // The text's lines, for the store's own bulk insert beside the paste.
  std::vector<std::string_view> pieces;
  for (std::size_t p = 0, end; (end = text.find("\r\n", p)) != std::string::npos; p = end + 2)
    pieces.push_back(std::string_view(text).substr(p, end + 2 - p));
  std::vector<double> paste, undo, redo, load, insert, remove;
  std::string indicator;
  std::uint32_t used = 0;
  for (int r = 0; r < runs; ++r) {
    e.JumpTo(middle, doc::CaretCol(1));
    auto start = Clock::now();
    e.Run(pasteCode);
    paste.push_back(Us(start) / 1000);
    check(e.lineCount() == count + textLines, "the paste did not add the text's lines");
    indicator = e.undo().Indicator();
    used = e.undo().used();
    start = Clock::now();
    e.Run(undoCode);
    undo.push_back(Us(start) / 1000);
    check(e.lineCount() == count && e.Line(middle) == before, "the undo did not give the document back");
    start = Clock::now();
    e.Run(redoCode);
    redo.push_back(Us(start) / 1000);
    check(e.lineCount() == count + textLines, "the redo did not put the text back");
    e.Run(undoCode);
    // What the paste asks of the line store, alone: the same lines put in
    // above the caret's line and taken out again.
    start = Clock::now();
    check(s.store.InsertLines(middle, pieces), "the store's insert failed");
    insert.push_back(Us(start) / 1000);
    start = Clock::now();
    check(s.store.RemoveLines(middle, textLines), "the store's removal failed");
    remove.push_back(Us(start) / 1000);
    e.DocumentChanged();
    check(e.lineCount() == count && e.Line(middle) == before, "the store's insert and removal changed the document");
    // The peer: the same text from its file into a fresh store.
    sh::ScriptWorld world;
    qv::TmpCache cache;
    doc::LineStore fresh(world, cache);
    if (!fresh.Start(doc::LineStoreSettings{})) return 2;
    start = Clock::now();
    check(gvbench::LoadLines(fresh, argv[3]), "the text could not be loaded");
    load.push_back(Us(start) / 1000);
  }
  std::printf("paste of %zu bytes, %d lines into line %d of %d (median of %d, milliseconds):\n", text.size(), textLines,
              middle.value, count, runs);
  std::printf("paste_doc_load_ms=%.1f\n", s.loadMs);
  std::printf("paste_ms=%.2f undo_ms=%.2f redo_ms=%.2f load_text_ms=%.2f\n", Of(paste).median, Of(undo).median,
              Of(redo).median, Of(load).median);
  std::printf("store_insert_lines_ms=%.2f store_remove_lines_ms=%.2f\n", Of(insert).median, Of(remove).median);
  std::printf("after_paste_undo=%s used=%u of %u\n", indicator.c_str(), used, e.undo().size());
  return wrong ? 3 : 0;
}
