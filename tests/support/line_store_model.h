// The model-based test of the line store: splits, joins, edits, deletions,
// runs of whole lines put in and taken out, window moves, second-pane opens
// and closes and range-setting labels against a plain vector of lines (and
// one of labels), with the invariants checked after every step. Small pages and a tiny
// page pool make eviction, relocation, compaction and merging happen. Run
// over the portable cache natively and over QORVetc.dll under Wine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "document/line_store.h"
#include "support/fake_host.h"

namespace gvtest {


struct ModelRun {
  std::uint32_t seed;
  int steps;
  std::uint32_t pageSize, pages;
};

// A line store over `cache` (pages from pageFiles) against the model.
inline void RunLineStoreModel(gorvane::document::TempCache& cache, const ModelRun& run,
                              gorvane::qorvetc::PageFileFactory pageFiles) {
  namespace doc = gorvane::document;
  using doc::LineNo;
  gvtest::FakeHost host;
  doc::LineStore store(host, cache);
  doc::LineStoreSettings settings;
  settings.cache = gorvane::qorvetc::CacheSettings{run.pageSize, run.pages};
  ASSERT_TRUE(store.Start(settings, std::move(pageFiles)));
  std::mt19937 rng(run.seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto text = [&](int maxLen) {
    std::string s(static_cast<std::size_t>(pick(0, maxLen)), 'a');
    for (char& c : s) c = static_cast<char>('a' + pick(0, 25));
    return s;
  };

  std::vector<std::string> model;
  const int initial = pick(300, 900);
  ASSERT_TRUE(store.BeginLoad());
  for (int i = 0; i < initial; ++i) {
    model.push_back(text(40) + (i + 1 < initial ? "\r\n" : ""));
    ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(model.back().data()),
                                            static_cast<std::uint32_t>(model.back().size()), static_cast<std::uint32_t>(i + 1)));
  }
  ASSERT_TRUE(store.EndLoad(static_cast<std::uint32_t>(model.size())));
  std::vector<std::string> labels(model.size());  // "" for a line without one
  auto labelList = [&] {
    std::vector<std::pair<LineNo, std::string>> list;
    for (std::size_t i = 0; i < labels.size(); ++i)
      if (!labels[i].empty()) list.emplace_back(LineNo(static_cast<int>(i + 1)), labels[i]);
    return list;
  };

  auto lineEnd = [&](std::size_t i) { return i + 1 < model.size() ? std::string("\r\n") : std::string(); };
  auto body = [&](std::size_t i) {
    const std::string& s = model[i];
    return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0 ? s.substr(0, s.size() - 2) : s;
  };
  std::string op;
  for (int step = 0; step < run.steps; ++step) {
    const int pane = store.divided() ? pick(0, 1) : 0;
    store.SetActivePane(pane);
    const int n = static_cast<int>(model.size());
    const int line = pick(1, n);
    // Where a run of lines goes or starts: the document's start, its end or anywhere.
    auto runAt = [&](int last) { return std::array<int, 3>{1, last, pick(1, last)}[static_cast<std::size_t>(pick(0, 2))]; };
    switch (pick(0, 12)) {
      case 0:
      case 1: {  // split (Enter), sometimes with new text for the upper part
        op = "split " + std::to_string(line);
        doc::LINEDATA_STRC* r = store.BringIntoWindow(pane, LineNo(line));
        ASSERT_NE(r, nullptr) << op;
        const std::string b = body(static_cast<std::size_t>(line - 1));
        const int col = pick(1, static_cast<int>(b.size()) + 1);
        const std::string full = model[static_cast<std::size_t>(line - 1)];
        if (pick(0, 3) == 0) {
          const std::string upper = text(30) + "\r\n";
          const std::string_view up(upper);
          ASSERT_NE(store.SplitLine(r, doc::CaretCol(static_cast<std::int32_t>(upper.size()) + 1), &up, true), nullptr) << op;
          model.insert(model.begin() + line - 1, upper);
          labels.insert(labels.begin() + line - 1, "");  // the label stays with the old text
        } else {
          ASSERT_NE(store.SplitLine(r, doc::CaretCol(col), nullptr), nullptr) << op;
          model[static_cast<std::size_t>(line - 1)] = full.substr(0, static_cast<std::size_t>(col - 1));
          model.insert(model.begin() + line, full.substr(static_cast<std::size_t>(col - 1)));
          labels.insert(labels.begin() + line, "");  // the label stays on the upper line
          // Enter then ends the upper line.
          doc::LINEDATA_STRC* upperRec = store.BringIntoWindow(pane, LineNo(line));
          ASSERT_NE(upperRec, nullptr) << op;
          model[static_cast<std::size_t>(line - 1)] += "\r\n";
          ASSERT_TRUE(store.SetLineText(upperRec, model[static_cast<std::size_t>(line - 1)])) << op;
        }
        break;
      }
      case 2: {  // join with the previous line
        if (line < 2) break;
        op = "join " + std::to_string(line);
        doc::LINEDATA_STRC* r = store.BringIntoWindow(pane, LineNo(line));
        ASSERT_NE(r, nullptr) << op;
        ASSERT_NE(store.JoinLineWithPrevious(r), nullptr) << op;
        model[static_cast<std::size_t>(line - 2)] = body(static_cast<std::size_t>(line - 2)) + model[static_cast<std::size_t>(line - 1)];
        model.erase(model.begin() + line - 1);
        labels.erase(labels.begin() + line - 1);
        break;
      }
      case 3:
      case 4: {  // edit a line's text (sometimes growing past its record space)
        op = "edit " + std::to_string(line);
        doc::LINEDATA_STRC* r = store.BringIntoWindow(pane, LineNo(line));
        ASSERT_NE(r, nullptr) << op;
        const std::string s = text(pick(0, 1) ? 20 : 150) + lineEnd(static_cast<std::size_t>(line - 1));
        ASSERT_TRUE(store.SetLineText(r, s)) << op;
        model[static_cast<std::size_t>(line - 1)] = s;
        break;
      }
      case 5: {  // delete a line
        op = "delete " + std::to_string(line);
        ASSERT_TRUE(store.DeleteLine(LineNo(line))) << op;
        if (model.size() == 1) {
          model[0].clear();
        } else {
          model.erase(model.begin() + line - 1);
          labels.erase(labels.begin() + line - 1);
          if (static_cast<std::size_t>(line - 1) == model.size()) model.back() = body(model.size() - 1);
        }
        break;
      }
      case 6:
      case 7:  // scroll
        op = "move " + std::to_string(line);
        if (pick(0, 1)) store.ShowFrom(pane, LineNo(line));
        else store.MoveLineWindow(pane, doc::LineStore::WindowStartFor(LineNo(line), store.lineCount()));
        // Painting there colours from the top: the index's states up to the line become known.
        for (std::uint32_t i = 0; i < store.index().used && store.index().entries[i].line <= static_cast<std::uint32_t>(line); ++i)
          store.SetColourState(LineNo(static_cast<int>(store.index().entries[i].line)), static_cast<std::uint16_t>(i));
        break;
      case 8:  // divide or undivide
        op = "pane";
        if (store.divided()) store.CloseSecondPane();
        else ASSERT_TRUE(store.OpenSecondPane(LineNo(pick(1, n))));
        break;
      case 9:
        op = "write back";
        ASSERT_TRUE(store.WriteBack());
        break;
      case 10: {  // a range-setting label set, renamed or cleared
        std::string& label = labels[static_cast<std::size_t>(line - 1)];
        op = "label " + std::to_string(line);
        if (label.empty() || pick(0, 1)) {
          label = "label " + std::to_string(step);
          ASSERT_TRUE(store.SetRangeLabel(LineNo(line), label)) << op;
        } else {
          ASSERT_TRUE(store.ClearRangeLabel(LineNo(line))) << op;
          label.clear();
        }
        break;
      }
      case 11: {  // whole lines put above a line (pasted, or a cut undone)
        const int before = runAt(n);
        const int count = pick(0, 3) == 0 ? pick(50, 500) : pick(1, 20);
        op = "insert " + std::to_string(count) + " above " + std::to_string(before);
        std::vector<std::string> put;
        for (int i = 0; i < count; ++i) put.push_back(text(pick(0, 5) ? 40 : 150) + "\r\n");
        const std::vector<std::string_view> views(put.begin(), put.end());
        ASSERT_TRUE(store.InsertLines(LineNo(before), views)) << op;
        model.insert(model.begin() + before - 1, put.begin(), put.end());
        labels.insert(labels.begin() + before - 1, put.size(), "");  // labels stay with their lines
        break;
      }
      case 12: {  // whole lines taken out (cut, or a paste undone)
        if (n < 2) break;
        const int count = std::min(n - 1, pick(0, 3) == 0 ? pick(50, 600) : pick(1, 25));
        const int first = std::min(runAt(n), n - count + 1);
        op = "remove " + std::to_string(count) + " from " + std::to_string(first);
        ASSERT_TRUE(store.RemoveLines(LineNo(first), count)) << op;
        model.erase(model.begin() + first - 1, model.begin() + first - 1 + count);
        labels.erase(labels.begin() + first - 1, labels.begin() + first - 1 + count);
        break;
      }
    }
    ASSERT_EQ(store.lineCount(), model.size()) << "step " << step << " " << op;
    const std::string fault = store.CheckInvariants();
    ASSERT_EQ(fault, "") << "step " << step << " " << op;
    const int probe = pick(1, static_cast<int>(model.size()));
    std::string got;
    ASSERT_TRUE(store.ReadLine(LineNo(probe), &got));
    ASSERT_EQ(got, model[static_cast<std::size_t>(probe - 1)]) << "step " << step << " " << op << " line " << probe;
    ASSERT_EQ(store.RangeLabel(LineNo(probe)), labels[static_cast<std::size_t>(probe - 1)])
        << "step " << step << " " << op << " line " << probe;
    if (step % 97 == 0 || step + 1 == run.steps || std::getenv("GV_MODEL_FULL")) {
      ASSERT_EQ(store.RangeLabels(), labelList()) << "step " << step << " " << op;
      for (std::size_t i = 0; i < model.size(); ++i) {
        ASSERT_TRUE(store.ReadLine(LineNo(static_cast<int>(i + 1)), &got));
        ASSERT_EQ(got, model[i]) << "step " << step << " " << op << " line " << i + 1;
      }
    }
  }
  // Walking the whole document either way sees the model's lines.
  std::vector<std::string> forward, backward;
  ASSERT_TRUE(store.WalkLines(LineNo(1), 1, [&](LineNo, std::string_view t) { return forward.emplace_back(t), true; }));
  ASSERT_TRUE(store.WalkLines(LineNo(static_cast<int>(model.size())), -1,
                              [&](LineNo, std::string_view t) { return backward.emplace_back(t), true; }));
  std::reverse(backward.begin(), backward.end());
  EXPECT_EQ(forward, model);
  EXPECT_EQ(backward, model);
  EXPECT_TRUE(host.boxes.empty());
}

}  // namespace gvtest
