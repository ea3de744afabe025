// Fuzzy folding and the mapping of positions between a line and its folded
// form.
#include "companions/qorvetc/fold_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/host.h"
#include "companions/qorvetc/search_text.h"

namespace qv = gorvane::qorvetc;
using gorvane::base::Sjis;
using gorvane::base::Utf8;

namespace {

struct Folded {
  std::string text;
  std::vector<std::uint8_t> map;
  qv::FoldResult result;
};

Folded FoldOf(const std::string& in) {
  Folded f{in, std::vector<std::uint8_t>(in.size()), {}};
  f.result = qv::FoldText(f.text, f.map);
  f.text.resize(f.result.length);
  return f;
}

TEST(FoldText, FormsOfEachKind) {
  const struct {
    std::u8string_view in, out;
  } cases[] = {
      {u8"０９ＡＺａｚ", u8"09AZaz"},
      {u8"あいうえお", u8"ｱｲｳｴｵ"},
      {u8"アイウエオ", u8"ｱｲｳｴｵ"},
      {u8"がぱガパヴ", u8"ｶﾞﾊﾟｶﾞﾊﾟｳﾞ"},
      {u8"ぁっゃァッャ", u8"ｧｯｬｧｯｬ"},
      {u8"ゎヮゐヰゑヱヵヶをヲんン", u8"ﾜﾜｲｲｴｴｶｹｦｦﾝﾝ"},
      {u8"ミム", u8"ﾐﾑ"},  // either side of 0x837F
      {u8"　、。ー＊？￥＼", u8" ､｡ｰ*?\\＼"},  // ￥ 0x818F folds to 0x5C, ＼ 0x815F stays
      {u8"゛゜°", u8"ﾞﾟﾟ"},
      {u8"漢字Ωα①", u8"漢字Ωα①"},  // not foldable (lead 0x88+, 0x83 Greek, 0x87 circled)
      {u8"ｶﾞabc", u8"ｶﾞabc"},
  };
  for (const auto& c : cases) {
    const Folded f = FoldOf(Sjis(c.in));
    EXPECT_EQ(Utf8(f.text), Utf8(Sjis(c.out))) << Utf8(Sjis(c.in));
  }
}

TEST(FoldText, MapCodesAndResult) {
  const Folded f = FoldOf(Sjis(u8"aア漢が"));
  EXPECT_EQ(f.map, (std::vector<std::uint8_t>{17, 33, 33, 34, 34, 33, 1}));
  EXPECT_EQ(f.result.length, 6u);
  EXPECT_TRUE(f.result.folded);
  // Nothing folded: the length stays usable.
  const Folded none = FoldOf(Sjis(u8"abc漢"));
  EXPECT_FALSE(none.result.folded);
  EXPECT_EQ(none.result.length, 5u);
  EXPECT_EQ(none.text, Sjis(u8"abc漢"));
  // Folded but no shorter: voiced kana only.
  const Folded same = FoldOf(Sjis(u8"が"));
  EXPECT_TRUE(same.result.folded);
  EXPECT_EQ(same.result.length, 2u);
  // A map is not needed to fold.
  std::string s = Sjis(u8"ＡＢ");
  EXPECT_EQ(qv::FoldText(s, {}).length, 2u);
}

// Unfolded "aア漢がb": a 0, ア 1-2, 漢 3-4, が 5-6, b 7; folded "aｱ漢ｶﾞb": a 0,
// ｱ 1, 漢 2-3, ｶ 4, ﾞ 5, b 6.
TEST(FoldText, PositionsBothWays) {
  const Folded f = FoldOf(Sjis(u8"aア漢がb"));
  const std::size_t caret[][2] = {{0, 0}, {1, 1}, {3, 2}, {5, 4}, {7, 6}, {8, 7}};
  for (const auto& c : caret) EXPECT_EQ(qv::GetSchCaretPos(f.map, c[0]), c[1]) << c[0];

  const struct {
    std::size_t offset, length;
    bool mapped;
    std::size_t unfoldedOffset, unfoldedLength;
  } hits[] = {
      {0, 1, true, 0, 1},   {1, 1, true, 1, 2},   {2, 2, true, 3, 2},  {4, 2, true, 5, 2},
      {4, 3, true, 5, 3},   {4, 1, false, 0, 0},  // ｶ without its mark ends inside が
      {5, 1, false, 0, 0},                        // the mark alone begins inside it
      {3, 1, false, 0, 0},                        // inside 漢 (an unfolded character)
      {6, 1, true, 7, 1},   {7, 0, true, 8, 0},   {6, 2, false, 0, 0},  // past the end
  };
  for (const auto& h : hits) {
    const auto r = qv::GetSchStrSize(f.map, h.offset, h.length);
    ASSERT_EQ(r.has_value(), h.mapped) << h.offset << "+" << h.length;
    if (r) {
      EXPECT_EQ(r->offset, h.unfoldedOffset);
      EXPECT_EQ(r->length, h.unfoldedLength);
    }
  }
}

// Fuzzy search as the editor makes it: ガ finds ｶﾞ and が, and the hit maps
// back to exactly their bytes; a folded hit inside a character is refused.
TEST(FoldText, FuzzyHitsMapBack) {
  std::string pattern = Sjis(u8"ガ");
  pattern.resize(qv::FoldText(pattern, {}).length);
  const std::string line = Sjis(u8"xｶﾞyがz");
  const Folded f = FoldOf(line);
  std::vector<qv::UnfoldedRange> found;
  for (std::size_t at = qv::BmStrSearch(pattern, 0, f.text, false); at != qv::kNoHit;
       at = qv::BmStrSearch(pattern, at + 1, f.text, true))
    if (auto r = qv::GetSchStrSize(f.map, at, pattern.size())) found.push_back(*r);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(line.substr(found[0].offset, found[0].length), Sjis(u8"ｶﾞ"));
  EXPECT_EQ(line.substr(found[1].offset, found[1].length), Sjis(u8"が"));

  std::string mark = Sjis(u8"゛");
  mark.resize(qv::FoldText(mark, {}).length);
  const std::size_t at = qv::BmStrSearch(mark, 0, f.text, false);
  ASSERT_NE(at, qv::kNoHit);
  EXPECT_TRUE(qv::GetSchStrSize(f.map, at, 1).has_value());  // the real ﾞ of ｶﾞ
  const std::size_t second = qv::BmStrSearch(mark, at + 1, f.text, true);
  ASSERT_NE(second, qv::kNoHit);
  EXPECT_FALSE(qv::GetSchStrSize(f.map, second, 1).has_value());  // the mark inside が
}

}  // namespace
