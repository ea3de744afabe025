// RE2's basic search cases (tests/search/data/re2_search.tsv, where they come
// from and what was left out): each pattern in four forms, through the DFA
// with the Pike VM and through the Pike VM alone.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/host.h"
#include "search/regex.h"

namespace gs = gorvane::search;

namespace {

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, sep)) out.push_back(part);
  if (!s.empty() && s.back() == sep) out.emplace_back();
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      ++i;
      out += s[i] == 'n' ? '\n' : s[i];
    } else {
      out += s[i];
    }
  }
  return out;
}

// The match and its groups as the table writes them, with offsets in the
// table's UTF-8 text.
std::string Written(const gs::RegexMatch& m, int groups, const std::string& utf8) {
  if (!m.found) return "-";
  // Shift-JIS offset -> UTF-8 offset.
  auto back = [&](int sjis) {
    for (std::size_t u = 0; u <= utf8.size(); ++u)
      if (static_cast<int>(gorvane::base::Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), u)).size()) == sjis)
        return static_cast<int>(u);
    return -1;
  };
  std::string out;
  for (int g = 0; g <= groups; ++g) {
    if (g > 0) out += ' ';
    const gs::Capture& c = m.groups[static_cast<std::size_t>(g)];
    out += c.set ? std::to_string(back(c.start.col)) + "-" + std::to_string(back(c.end.col)) : "-";
  }
  return out;
}

TEST(Re2SearchCases, LeftmostFirstMatchesAndGroups) {
  std::ifstream file(std::string(GV_SOURCE_DIR) + "/tests/search/data/re2_search.tsv");
  ASSERT_TRUE(file) << "tests/search/data/re2_search.tsv";
  std::string row;
  int rows = 0;
  while (std::getline(file, row)) {
    if (row.empty() || row[0] == '#') continue;
    const std::vector<std::string> f = Split(row, '\t');
    ASSERT_EQ(f.size(), 3u) << row;
    std::string base = f[0];
    const bool fold = base.rfind("(?i)", 0) == 0;
    if (fold) base = base.substr(4);
    const std::string text = Unescape(f[1]);
    const std::vector<std::string> want = Split(f[2], '|');
    ASSERT_EQ(want.size(), 4u) << row;
    const std::string forms[4] = {base, "^(?:" + base + ")$", "^(?:" + base + ")", "(?:" + base + ")$"};
    const std::string sjisText = gorvane::base::Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
    for (int k = 0; k < 4; ++k) {
      gs::RegexError error;
      const std::string pattern =
          gorvane::base::Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(forms[k].data()), forms[k].size()));
      auto re = gs::Regex::Compile(pattern, !fold, &error);
      ASSERT_TRUE(re) << forms[k] << ": " << gorvane::base::Utf8(error.message);
      // The table lists every group; this engine keeps the first nine.
      std::vector<std::string> pairs = Split(want[static_cast<std::size_t>(k)], ' ');
      if (pairs.size() > static_cast<std::size_t>(gs::kGroups)) pairs.resize(gs::kGroups);
      std::string expected;
      for (std::size_t i = 0; i < pairs.size(); ++i) expected += (i ? " " : "") + pairs[i];
      for (bool pikeOnly : {false, true}) {
        gs::RegexMatch m;
        ASSERT_TRUE(gs::SearchText(*re, sjisText, 0, true, &m, &error, pikeOnly));
        EXPECT_EQ(Written(m, static_cast<int>(pairs.size()) - 1, text), expected)
            << "/" << forms[k] << "/ on \"" << f[1] << "\"" << (pikeOnly ? " (Pike VM alone)" : "");
      }
    }
    ++rows;
  }
  EXPECT_GT(rows, 90);
}

}  // namespace
