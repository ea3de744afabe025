#include "script_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "charcode/class_tables.h"
#include "companions/qorvetc/tmpcache.h"
#include "document/caret_moves.h"
#include "document/line_store.h"
#include "shell/editor.h"
#include "shell/script.h"
#include "support/fake_host.h"
#include "support/memory_page_file.h"

namespace gorvane::fuzz {

namespace {

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace cm = gorvane::commands;

[[noreturn]] void Broken(std::size_t step, const std::string& what) {
  std::fprintf(stderr, "fuzz_script: after step %zu: %s\n", step, what.c_str());
  std::abort();
}

// Whether a caret column stands before a character of the line (or at its
// end), stepping over its characters as painting does.
bool OnBoundary(std::string_view line, doc::CaretCol column) {
  const std::string_view text = doc::LineText(line);
  std::size_t i = 0;
  while (static_cast<std::int32_t>(i) + 1 < column.value && i < text.size())
    i += charcode::SjisCharBytes(text, i, text.size());
  return static_cast<std::int32_t>(i) + 1 == column.value;
}

std::string Where(doc::LineNo line, std::int32_t column) {
  return std::to_string(line.value) + ":" + std::to_string(column);
}

// "" when every property holds, else the first one broken; the store's own
// invariants (a walk over the whole document) only with wholeStore.
std::string Fault(sh::Editor& editor, doc::LineStore& store, bool wholeStore) {
  const std::int32_t count = editor.lineCount();
  if (static_cast<std::int64_t>(store.lineCount()) != count) return "the editor's line count is not the store's";
  for (int p = 0; p < editor.paneCount(); ++p) {
    const sh::PaneState& pane = editor.pane(p);
    const std::string name = "pane " + std::to_string(p) + ": ";
    if (pane.first < doc::LineNo(1) || pane.first > doc::LineNo(count))
      return name + "first displayed line " + std::to_string(pane.first.value) + " of " + std::to_string(count);
    const doc::TextPos caret = pane.caret;
    if (caret.line < doc::LineNo(1) || caret.line > doc::LineNo(count))
      return name + "caret " + Where(caret.line, caret.column.value) + " off the document of " + std::to_string(count) + " lines";
    const std::string line = editor.Line(caret.line);
    if (caret.column < doc::CaretCol(1) || caret.column > doc::EndColumn(line))
      return name + "caret " + Where(caret.line, caret.column.value) + " beyond its line's end column " +
             std::to_string(doc::EndColumn(line).value);
    if (!OnBoundary(line, caret.column)) return name + "caret " + Where(caret.line, caret.column.value) + " inside a character";
  }
  if (editor.hasSelection()) {
    const doc::Selection s = editor.selection().Normalised();
    const auto inside = [&](doc::LineNo line, doc::SelCol column) {
      if (line < doc::LineNo(1) || line > doc::LineNo(count)) return false;
      return column >= doc::SelCol(0) && column.value < static_cast<std::int32_t>(editor.Line(line).size());
    };
    if (!inside(s.anchorLine, s.anchorCol) || !inside(s.otherLine, s.otherCol))
      return "selection " + Where(s.anchorLine, s.anchorCol.value) + "-" + Where(s.otherLine, s.otherCol.value) +
             " outside the document";
  }
  if (wholeStore)
    if (std::string fault = store.CheckInvariants(); !fault.empty()) return "store: " + fault;
  if (store.BookmarkCount() > doc::kMaxBookmarks) return std::to_string(store.BookmarkCount()) + " bookmarks";
  if (store.RangeLabelCount() > doc::kRangeLabelSlots) return std::to_string(store.RangeLabelCount()) + " range labels";
  return "";
}

// The document's lines: split at LF, CR dropped, CR LF after all but the last.
std::vector<std::string> DocumentLines(std::string_view bytes) {
  std::vector<std::string> lines(1);
  for (const char c : bytes) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.back() += "\r\n";
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

}  // namespace

void CheckScript(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view document = input.substr(0, std::min(nul, kMaxDocumentBytes));
  const std::string_view script = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

  std::vector<sh::ScriptStep> steps;
  sh::ScriptError error;
  if (!sh::ParseScript(script, &steps, &error)) return;
  if (steps.size() > kMaxSteps) steps.resize(kMaxSteps);

  gvtest::FakeHost storeHost;
  qorvetc::TmpCache cache;
  doc::LineStore store(storeHost, cache);
  doc::LineStoreSettings settings;
  settings.cache = qorvetc::CacheSettings{4096, 8};
  if (!store.Start(settings, gvtest::MemoryPageFiles())) Broken(0, "the line store did not start");
  const std::vector<std::string> lines = DocumentLines(document);
  if (!store.BeginLoad()) Broken(0, "loading did not begin");
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (!store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(lines[i].data()),
                                     static_cast<std::uint32_t>(lines[i].size()), static_cast<std::uint32_t>(i + 1)))
      Broken(0, "line " + std::to_string(i + 1) + " was not loaded");
  if (!store.EndLoad(static_cast<std::uint32_t>(lines.size()))) Broken(0, "loading did not end");

  sh::ScriptWorld world;
  sh::Editor editor(world, store, world);
  editor.SetBookmarkRegistry(&world);
  sh::SetScriptView(editor);
  editor.DocumentReplaced();
  if (std::string fault = Fault(editor, store, true); !fault.empty()) Broken(0, fault);

  // Step by step, a step with the drags that extend it: the player releases
  // a drag before any other step, so this plays what one run would. The
  // store's walk over a long document runs only after every stride-th step
  // (and the last), so that a run stays within milliseconds.
  using K = sh::ScriptStep::Kind;
  const std::size_t stride = 1 + lines.size() / 64;
  std::size_t played = 0;
  for (std::size_t at = 0; at < steps.size(); ++played) {
    std::size_t end = at + 1;
    while (end < steps.size() && (steps[end].kind == K::Drag || steps[end].kind == K::LineDrag)) ++end;
    const std::vector<sh::ScriptStep> group(steps.begin() + static_cast<std::ptrdiff_t>(at),
                                            steps.begin() + static_cast<std::ptrdiff_t>(end));
    sh::PlayScript(editor, world, group);
    const bool wholeStore = played % stride == 0 || end == steps.size();
    if (std::string fault = Fault(editor, store, wholeStore); !fault.empty()) Broken(end, fault);
    at = end;
  }
  sh::Summary(editor, editor.modified());

  // Undoing everything gives the document back, unless the undo buffer was
  // emptied or switched off on the way.
  const bool undoKept = std::none_of(steps.begin(), steps.end(), [](const sh::ScriptStep& s) {
    return s.kind == K::ClearUndo || s.kind == K::UndoBuffer;
  });
  if (undoKept && !editor.undo().disabled()) {
    editor.SetWriteProtected(false);
    std::size_t guard = 0;
    while (editor.CanUndo() && guard++ < 100000) {
      const std::uint32_t before = editor.undo().undoCount();
      editor.Run(cm::kUndo);
      if (editor.undo().undoCount() >= before) Broken(steps.size(), "an undo did not step back");
    }
    if (store.lineCount() != lines.size()) Broken(steps.size(), "undone, the document has another line count");
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string text;
      if (!store.ReadLine(doc::LineNo(static_cast<std::int32_t>(i + 1)), &text) || text != lines[i])
        Broken(steps.size(), "undone, line " + std::to_string(i + 1) + " differs");
    }
    if (std::string fault = store.CheckInvariants(); !fault.empty()) Broken(steps.size(), "undone: " + fault);
  }
}

}  // namespace gorvane::fuzz
