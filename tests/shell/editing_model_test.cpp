// The model-based test of editing: random sequences of every editing command
// against a plain vector of lines. Commands with simple results (typing,
// Enter, Backspace, Delete, the line commands, paste) are predicted by the
// model; the others (cut, deleting or typing over a selection, block indent,
// conversions, re-inserting deleted lines, moving a selection) are checked by
// undo: every undo must give back exactly the text before its step and every
// redo the text after it. At the end everything is undone (the document is
// byte for byte the start and unmodified) and redone (the end again). Small
// pages and few of them in memory, so the cache pages in and out; the line
// store's invariants after every step.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "document/caret_moves.h"
#include "support/editor_session.h"

namespace {

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace cm = gorvane::commands;
using doc::CaretCol;
using doc::LineNo;
using doc::TextPos;
using Lines = std::vector<std::string>;

bool Crlf(const std::string& l) { return l.size() >= 2 && l.compare(l.size() - 2, 2, "\r\n") == 0; }
std::string Leading(const std::string& l) {
  std::size_t n = 0;
  const std::string_view t = doc::LineText(l);
  while (n < t.size() && (t[n] == ' ' || t[n] == '\t')) ++n;
  return l.substr(0, n);
}

Lines Read(doc::LineStore& store) {
  Lines out(store.lineCount());
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(store.ReadLine(LineNo(static_cast<int>(i + 1)), &out[i]));
  return out;
}

struct ModelRun {
  std::uint32_t seed;
  int steps;
  bool autoIndent;
};

class Model {
 public:
  explicit Model(const ModelRun& run) : rng_(run.seed), run_(run) {}

  std::string Piece() {
    static const char* const kPieces[] = {"a", "Z", " ", "\t", "\x82\xa0", "\x93\xfa", "\x83\x4a", "\xb1", "\xb6\xde", "{"};
    std::string s;
    for (int n = Pick(0, 6); n > 0; --n) s += kPieces[Pick(0, 9)];
    return s;
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  void Go() {
    Lines start;
    const int count = Pick(450, 700);
    for (int i = 0; i < count; ++i) start.push_back(Piece() + (i + 1 < count ? "\r\n" : ""));
    sh::ScriptWorld world;
    gvtest::Session s(start);
    s.editor.SetClipboard(&world);
    s.editor.SetAutoIndent(run_.autoIndent);
    sh::Editor& e = s.editor;
    std::vector<Lines> history{start};  // the text after each undoable step
    std::size_t at = 0;                 // where the editor's undo position is in history

    for (int step = 0; step < run_.steps; ++step) {
      const Lines before = Read(s.store);
      ASSERT_EQ(before, history[at]) << "step " << step;
      // The caret somewhere, on a character boundary.
      const int line = Pick(1, static_cast<int>(before.size()));
      const std::string& text = before[static_cast<std::size_t>(line - 1)];
      const CaretCol col = doc::BoundaryColumn(text, CaretCol(Pick(1, static_cast<int>(doc::LineText(text).size()) + 1)));
      e.Press(0, TextPos{LineNo(line), col}, false);
      e.Release();
      const TextPos caret = e.pane(0).caret;
      const std::uint32_t undos = e.undo().undoCount();
      Lines model = before;
      bool predicted = true;
      std::string& cur = model[static_cast<std::size_t>(caret.line.value - 1)];
      const auto c = static_cast<std::size_t>(caret.column.value - 1);
      const bool last = caret.line.value == static_cast<int>(model.size());
      const int op = Pick(0, 17);
      switch (op) {
        case 0: case 1: {  // typing
          const std::string piece = Pick(0, 1) ? "x" : "\x82\xa9";
          e.TypeText(piece);
          cur.insert(c, piece);
          break;
        }
        case 2: {  // Enter
          e.TypeChar(13);
          std::string upper = cur.substr(0, c) + "\r\n", lower = cur.substr(c);
          if (run_.autoIndent) lower = Leading(upper) + lower.substr(Leading(lower).size());
          cur = upper;
          model.insert(model.begin() + caret.line.value, lower);
          break;
        }
        case 3: {  // Backspace
          e.TypeChar(8);
          if (c > 0) {
            const CaretCol prev = doc::PreviousColumn(cur, caret.column);
            cur.erase(static_cast<std::size_t>(prev.value - 1), c - static_cast<std::size_t>(prev.value - 1));
          } else if (caret.line.value > 1) {
            std::string& up = model[static_cast<std::size_t>(caret.line.value - 2)];
            up = up.substr(0, up.size() - 2) + cur;
            model.erase(model.begin() + caret.line.value - 1);
          }
          break;
        }
        case 4: {  // Delete
          e.KeyDown(sh::KeyPress{0x2e});
          if (c < doc::LineText(cur).size()) {
            const CaretCol next = doc::NextColumn(cur, caret.column);
            cur.erase(c, static_cast<std::size_t>(next.value - 1) - c);
          } else if (Crlf(cur) && !last) {
            cur = cur.substr(0, cur.size() - 2) + model[static_cast<std::size_t>(caret.line.value)];
            model.erase(model.begin() + caret.line.value);
          }
          break;
        }
        case 5:  // blank line
          e.Run(cm::kInsertLine);
          model.insert(model.begin() + caret.line.value - 1, (run_.autoIndent ? Leading(cur) : "") + "\r\n");
          break;
        case 6:  // line copy
          e.Run(cm::kCopyInsertLine);
          if (Crlf(cur)) {
            model.insert(model.begin() + caret.line.value, cur);
          } else {
            const std::string copy = cur;
            cur += "\r\n";
            model.insert(model.begin() + caret.line.value, copy);
          }
          break;
        case 7:  // line delete
          e.Run(cm::kDeleteLine);
          if (!cur.empty()) {
            if (Crlf(cur) && !last) model.erase(model.begin() + caret.line.value - 1);
            else cur.clear();
          }
          break;
        case 8: {  // paste at the caret
          std::string clip = Piece();
          for (int n = Pick(0, 3); n > 0; --n) clip += "\r\n" + Piece();
          if (clip.empty()) clip = "q";
          world.clipboardText = clip;
          e.Run(cm::kPaste);
          const std::string rest = cur.substr(c);
          std::vector<std::string> pieces;
          for (std::size_t p = 0;;) {
            const std::size_t q = clip.find("\r\n", p);
            if (q == std::string::npos) {
              pieces.push_back(clip.substr(p));
              break;
            }
            pieces.push_back(clip.substr(p, q + 2 - p));
            p = q + 2;
          }
          cur = cur.substr(0, c) + pieces[0];
          for (std::size_t k = 1; k < pieces.size(); ++k)
            model.insert(model.begin() + caret.line.value - 1 + static_cast<int>(k), pieces[k]);
          model[static_cast<std::size_t>(caret.line.value - 1 + static_cast<int>(pieces.size()) - 1)] += rest;
          break;
        }
        default: {
          // A selection, then something that works on it.
          predicted = false;
          const int l2 = std::min(static_cast<int>(before.size()), line + Pick(0, 3));
          const std::string& t2 = before[static_cast<std::size_t>(l2 - 1)];
          const CaretCol c2 = doc::BoundaryColumn(t2, CaretCol(Pick(1, static_cast<int>(doc::LineText(t2).size()) + 1)));
          e.Press(0, caret, false);
          e.DragTo(0, TextPos{LineNo(l2), c2});
          e.Release();
          switch (op) {
            case 9: e.Run(cm::kCut); break;
            case 10: e.KeyDown(sh::KeyPress{0x2e}); break;
            case 11: e.TypeText("\x82\xa0"); break;
            case 12: e.TypeChar(9); break;
            case 13: e.TypeChar(8); break;
            case 14: {
              const int k = Pick(0, 6);
              lastKind_ = k;
              e.Run(static_cast<cm::CommandCode>(cm::kToUpperCase + k));
              break;
            }
            case 15: e.Run(cm::kInsDelLine); break;
            case 16: {
              // Dragged somewhere else.
              const int l3 = Pick(1, static_cast<int>(before.size()));
              const std::string& t3 = before[static_cast<std::size_t>(l3 - 1)];
              e.Press(0, TextPos{caret.line, caret.column}, false);
              e.DragTo(0, TextPos{LineNo(l3), doc::BoundaryColumn(t3, CaretCol(Pick(1, 8)))});
              e.Release();
              break;
            }
            default: {
              // Undo or redo a step.
              if (Pick(0, 1) && at > 0) {
                e.Run(cm::kUndo);
                --at;
              } else if (at + 1 < history.size()) {
                e.Run(cm::kRedo);
                ++at;
              }
              ASSERT_EQ(Read(s.store), history[at]) << "step " << step << " undo/redo";
              ASSERT_EQ(s.store.CheckInvariants(), "");
              continue;
            }
          }
        }
      }
      const Lines after = Read(s.store);
      ASSERT_EQ(s.store.CheckInvariants(), "") << "step " << step;
      if (predicted) {
        ASSERT_EQ(after, model) << "step " << step << " op " << op << " at " << caret.line.value << ":" << caret.column.value;
      }
      if (e.undo().undoCount() != undos) {
        history.resize(at + 1);
        history.push_back(after);
        ++at;
        // Its undo gives the text before it back, and its redo the text after.
        e.Run(cm::kUndo);
        const Lines undone = Read(s.store);
        for (std::size_t i = 0; i < std::min(undone.size(), before.size()); ++i)
          if (undone[i] != before[i]) ADD_FAILURE() << "kind " << lastKind_ << " line " << i + 1 << " [" << sh::Utf8(undone[i]) << "] want [" << sh::Utf8(before[i]) << "] after [" << sh::Utf8(after[i]) << "]";
        ASSERT_EQ(undone, before) << "step " << step << " op " << op << " undone";
        e.Run(cm::kRedo);
        ASSERT_EQ(Read(s.store), after) << "step " << step << " op " << op << " redone";
      } else {
        ASSERT_EQ(after, before) << "step " << step << " op " << op << " changed text without a record";
      }
    }
    // Everything undone, then redone.
    while (e.CanUndo()) e.Run(cm::kUndo);
    EXPECT_EQ(Read(s.store), start);
    EXPECT_FALSE(e.modified());
    while (e.CanRedo()) e.Run(cm::kRedo);
    EXPECT_EQ(Read(s.store), history.back());
    EXPECT_EQ(s.store.CheckInvariants(), "");
  }

 private:
  std::mt19937 rng_;
  ModelRun run_;
  int lastKind_ = -1;
};

TEST(EditingModel, RandomCommandsUndoneAndRedone) {
  for (const ModelRun& run : {ModelRun{1, 800, false}, ModelRun{2, 800, true}, ModelRun{3, 800, true}}) {
    SCOPED_TRACE(run.seed);
    Model(run).Go();
  }
}

}  // namespace
