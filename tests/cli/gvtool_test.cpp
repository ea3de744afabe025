// gvtool detect and convert on files, with exit codes and messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gvtool_commands.h"

namespace fs = std::filesystem;
using gorvane::cli::RunGvtool;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class Gvtool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("gvtool_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  // Runs gvtool; returns the exit code, with stdout and stderr kept.
  int Run(std::vector<std::string> args) { return RunWithInput(args, ""); }
  // The same with these bytes on standard input.
  int RunWithInput(const std::vector<std::string>& args, const std::string& input) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    const int rc = RunGvtool(args, in, out, err);
    std::fclose(in);
    out_ = Slurp(out);
    err_ = Slurp(err);
    return rc;
  }
  static std::string Slurp(std::FILE* f) {
    std::rewind(f);
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
  }

  fs::path dir_;
  std::string out_, err_;
};

TEST_F(Gvtool, DetectPrintsCodeLineEndAndPath) {
  const fs::path a = Write("a.txt", std::string("\xFF\xFE" "a\0\r\0\n\0", 8));
  const fs::path b = Write("b.txt", "abc\ndef");
  const fs::path c = Write("c.txt", "");
  EXPECT_EQ(Run({"detect", a.string(), b.string(), c.string()}), 0);
  EXPECT_EQ(out_, "-6 0d000a000000 " + a.string() + "\n4 0a00 " + b.string() + "\n0 0d0a00 " + c.string() + "\n");
}

TEST_F(Gvtool, DetectNamesTheForms) {
  const struct {
    std::string bytes;
    const char* name;
  } cases[] = {
      {"abc\r\n", "sjis"},
      {"\x82\xA0\r\n", "sjis"},
      {"\xB4\xC1\xBB\xFA\r\n", "eucjp"},  // EUC-JP kanji: no Shift-JIS
      {"\xE3\x81\x82\n", "utf8"},
      {"\xEF\xBB\xBF" "a", "utf8-bom"},
      {std::string("\xFF\xFE" "a\0", 4), "utf16le-bom"},
      {std::string("\xFE\xFF\0" "a", 4), "utf16be-bom"},
      {std::string("a\0b\0\r\0\n\0", 8), "utf16le"},
      {"", "unknown"},
  };
  for (const auto& c : cases) {
    const fs::path p = Write("in.txt", c.bytes);
    ASSERT_EQ(Run({"detect", "--names", p.string()}), 0);
    EXPECT_EQ(out_.substr(0, out_.find(' ')), c.name) << c.name;
  }
}

TEST_F(Gvtool, HelpPrintsTheUsage) {
  for (const char* a : {"help", "--help"}) {
    EXPECT_EQ(Run({a}), 0);
    EXPECT_EQ(out_.rfind("usage: gvtool", 0), 0u) << out_;
    EXPECT_EQ(err_, "");
  }
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(err_.rfind("usage: gvtool", 0), 0u);
}

// "-" is standard input or output wherever a file is named.
TEST_F(Gvtool, DashIsStandardInputAndOutput) {
  const std::string sjis = "\x82\xA0\x82\xA2\r\nabc\r\n", utf8 = "\xE3\x81\x82\xE3\x81\x84\r\nabc\r\n";
  EXPECT_EQ(RunWithInput({"convert", "--to", "utf8", "-"}, sjis), 0) << err_;
  EXPECT_EQ(out_, utf8);
  EXPECT_EQ(RunWithInput({"convert", "--to", "sjis", "-o", "-", "-"}, utf8), 0) << err_;
  EXPECT_EQ(out_, sjis);
  EXPECT_EQ(RunWithInput({"detect", "--names", "-"}, utf8), 0);
  EXPECT_EQ(out_, "utf8 0d0a00 -\n");
  EXPECT_EQ(RunWithInput({"load", "-"}, utf8), 0) << err_;
  EXPECT_EQ(out_, "lines=3 code=4 crlf=0d0a modified=0 readonly=0\n");
  EXPECT_EQ(RunWithInput({"roundtrip", "-", "-", "--to", "sjis"}, utf8), 0) << err_;
  EXPECT_EQ(out_, sjis);
  // A replacement still exits 3 and names its line.
  EXPECT_EQ(RunWithInput({"convert", "--to", "sjis", "-"}, "ok\nwave\xE3\x80\x9C\n"), 3);
  EXPECT_EQ(out_, "ok\nwave?\n");
  EXPECT_NE(err_.find("line 2"), std::string::npos) << err_;
}

TEST_F(Gvtool, DetectReportsUnreadableFile) {
  EXPECT_EQ(Run({"detect", (dir_ / "missing").string()}), 2);
  EXPECT_NE(err_.find("cannot open"), std::string::npos);
}

// The sample documents convert into every form and back without loss.
TEST_F(Gvtool, SamplesRoundTripThroughEveryForm) {
  const fs::path sjis = fs::path(GV_SOURCE_DIR) / "samples" / "sample-sjis.txt";
  const std::string original = ReadAll(sjis);
  ASSERT_FALSE(original.empty());
  for (const char* form : {"sjis", "eucjp", "utf8", "utf8bom", "utf16le", "utf16lebom", "utf16be", "utf16bebom"}) {
    const fs::path mid = dir_ / (std::string(form) + ".txt");
    const fs::path back = dir_ / (std::string(form) + ".back.txt");
    ASSERT_EQ(Run({"convert", "--to", form, "-o", mid.string(), sjis.string()}), 0) << form << err_;
    ASSERT_EQ(Run({"convert", "--to", "sjis", "-o", back.string(), mid.string()}), 0) << form << err_;
    EXPECT_EQ(ReadAll(back), original) << form;
    const fs::path bundled = fs::path(GV_SOURCE_DIR) / "samples" / ("sample-" + std::string(form) + ".txt");
    EXPECT_EQ(ReadAll(mid), ReadAll(bundled)) << form;
  }
}

TEST_F(Gvtool, KeepsTheFilesLineEnds) {
  const fs::path in = Write("lf.txt", "a\nb\nc");
  const fs::path out = dir_ / "out.txt";
  ASSERT_EQ(Run({"convert", "--to", "utf16le", "-o", out.string(), in.string()}), 0);
  EXPECT_EQ(ReadAll(out), std::string("a\0\n\0b\0\n\0c\0", 10));
  // A file whose only line end is a final CR keeps CR.
  const fs::path cr = Write("cr.txt", "a\r");
  ASSERT_EQ(Run({"convert", "--to", "eucjp", "-o", out.string(), cr.string()}), 0);
  EXPECT_EQ(ReadAll(out), "a\r");
}

TEST_F(Gvtool, ReplacementExitsThreeAndNamesTheLine) {
  const fs::path in = Write("u.txt", "one\ntwo\nwave\xE3\x80\x9C\n");
  const fs::path out = dir_ / "out.txt";
  EXPECT_EQ(Run({"convert", "--to", "sjis", "-o", out.string(), in.string()}), 3);
  EXPECT_NE(err_.find("line 3"), std::string::npos) << err_;
  EXPECT_EQ(ReadAll(out), "one\ntwo\nwave?\n");

  const fs::path user = Write("user.txt", "ok\r\n\xF0\x40\r\n");  // a user-defined character
  EXPECT_EQ(Run({"convert", "--from", "sjis", "--to", "eucjp", "-o", out.string(), user.string()}), 3);
  EXPECT_NE(err_.find("line 2"), std::string::npos) << err_;
}

TEST_F(Gvtool, ErrorsLeaveNoOutputFile) {
  const fs::path out = dir_ / "out.txt";
  EXPECT_EQ(Run({"convert", "--to", "sjis", "-o", out.string(), (dir_ / "missing").string()}), 2);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(Run({"convert", "--to", "latin1", "-o", out.string(), Write("x", "x").string()}), 2);
  EXPECT_EQ(Run({"convert", "-o", out.string(), Write("y", "y").string()}), 2);
  EXPECT_EQ(Run({"convert", "--to", "sjis", "-o", (dir_ / "no" / "such" / "dir").string(), Write("z", "z").string()}), 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}


// A Shift-JIS text of many pieces: lines of kanji, kana, ASCII and half-width
// katakana of all lengths, one line far longer than a piece, with the given
// line end.
std::string BigSjisText(const std::string& lineEnd) {
  std::vector<std::string> units;  // whole characters and ASCII runs
  for (int k = 0; k < 200; ++k) {
    units.push_back(std::string(static_cast<std::size_t>(k % 9), static_cast<char>('a' + k % 26)));
    units.push_back("\x88\x9F\x82\xA0\x83\x41");  // kanji, hiragana, katakana
    if (k % 4 == 0) units.push_back(std::string(1, static_cast<char>(0xB1 + k % 40)));  // half-width katakana
  }
  std::string text;
  for (std::size_t n = 0; text.size() < 800000; ++n) {
    for (std::size_t u = 0; u < n * 7 % units.size(); ++u) text += units[u];
    text += lineEnd;
    if (n == 100) text += std::string(300000, 'L') + "\x82\xA0" + lineEnd;
  }
  return text;
}

// Large files go through the readers and writers a piece at a time and come
// back unchanged from every form, line ends and all.
TEST_F(Gvtool, LargeFilesRoundTripThroughEveryForm) {
  for (const char* lineEnd : {"\r\n", "\n"}) {
    const std::string original = BigSjisText(lineEnd);
    const fs::path sjis = Write("big.txt", original);
    for (const char* form : {"eucjp", "utf8", "utf16le", "utf16be"}) {
      SCOPED_TRACE(std::string(form) + (lineEnd[0] == '\r' ? " CR LF" : " LF"));
      const fs::path mid = dir_ / (std::string(form) + ".txt"), back = dir_ / "back.txt";
      ASSERT_EQ(Run({"convert", "--from", "sjis", "--to", form, "-o", mid.string(), sjis.string()}), 0) << err_;
      ASSERT_EQ(Run({"convert", "--from", form, "--to", "sjis", "-o", back.string(), mid.string()}), 0) << err_;
      EXPECT_TRUE(ReadAll(back) == original);
    }
  }
}

// The first replaced character is named by its line, however many pieces
// before it were read or written.
TEST_F(Gvtool, ReplacementFarIntoTheFileNamesItsLine) {
  std::string sjis, utf8;
  for (int n = 0; n < 40000; ++n) {
    const std::string line = std::string(static_cast<std::size_t>(n % 50), 'x') + "\x82\xA0";
    sjis += (n == 33333 ? line + "\xF0\x40" : line) + "\r\n";  // a user-defined character: none in EUC-JP
    utf8 += std::string(static_cast<std::size_t>(n % 50), 'x') + (n == 22222 ? "\xE3\x80\x9C" : "\xE3\x81\x82") + "\r\n";
  }
  const fs::path out = dir_ / "out.txt";
  EXPECT_EQ(Run({"convert", "--from", "sjis", "--to", "eucjp", "-o", out.string(), Write("s.txt", sjis).string()}), 3);
  EXPECT_NE(err_.find("line 33334:"), std::string::npos) << err_;
  EXPECT_EQ(Run({"convert", "--to", "sjis", "-o", out.string(), Write("u.txt", utf8).string()}), 3);
  EXPECT_NE(err_.find("line 22223:"), std::string::npos) << err_;
}

}  // namespace

namespace {

std::string SampleBytes(const char* form) {
  return ReadAll(fs::path(GV_SOURCE_DIR) / "samples" / (std::string("sample-") + form + ".txt"));
}

TEST_F(Gvtool, LoadPrintsTheDocumentsState) {
  struct Case {
    std::string bytes;
    std::string line;
  } cases[] = {
      {SampleBytes("utf16lebom"), "lines=13 code=6 crlf=0d000a00 modified=0 readonly=0\n"},
      {SampleBytes("eucjp"), "lines=13 code=2 crlf=0d0a modified=0 readonly=0\n"},
      {"a\nb", "lines=2 code=4 crlf=0a modified=0 readonly=0\n"},
      {std::string(16000, 'x'), "lines=2 code=1 crlf=0d0a modified=1 readonly=0\n"},  // cut, with a line end
  };
  for (const Case& c : cases) {
    const fs::path p = Write("in.txt", c.bytes);
    ASSERT_EQ(Run({"load", p.string()}), 0) << err_;
    EXPECT_EQ(out_, c.line);
  }
  EXPECT_EQ(Run({"load", (dir_ / "missing.txt").string()}), 2);
  EXPECT_NE(err_.find("ファイルのオープンに失敗しました。"), std::string::npos) << err_;
}

// Every sample goes through loading and saving unchanged when nothing is
// asked; forms and line ends change when asked; losses give exit 3.
TEST_F(Gvtool, RoundtripKeepsOrChangesTheForm) {
  for (const char* form : {"sjis", "eucjp", "utf8", "utf8bom", "utf16le", "utf16lebom", "utf16be", "utf16bebom"}) {
    const fs::path in = Write(std::string(form) + ".txt", SampleBytes(form));
    ASSERT_EQ(Run({"roundtrip", in.string(), (dir_ / "out.txt").string()}), 0) << form << err_;
    EXPECT_EQ(ReadAll(dir_ / "out.txt"), SampleBytes(form)) << form;
    ASSERT_EQ(Run({"roundtrip", in.string(), (dir_ / "out.txt").string(), "--to", "utf16bebom"}), 0) << form;
    EXPECT_EQ(ReadAll(dir_ / "out.txt"), SampleBytes("utf16bebom")) << form;
  }
  const fs::path lf = Write("lf.txt", "a\nb\n");
  ASSERT_EQ(Run({"roundtrip", lf.string(), (dir_ / "out.txt").string(), "--crlf", "cr"}), 0);
  EXPECT_EQ(ReadAll(dir_ / "out.txt"), "a\rb\r");

  // A character EUC-JP has no code for (a user-defined Shift-JIS one) on line 2.
  const fs::path lossy = Write("lossy.txt", "ok\r\n\xF0\x40\r\n");
  EXPECT_EQ(Run({"roundtrip", lossy.string(), (dir_ / "out.txt").string(), "--to", "eucjp"}), 3);
  EXPECT_NE(err_.find("line 2"), std::string::npos) << err_;
  EXPECT_EQ(ReadAll(dir_ / "out.txt"), "ok\r\n?\r\n");
  // A line cut on loading.
  const fs::path longLine = Write("long.txt", "x\r\n" + std::string(16000, 'y'));
  EXPECT_EQ(Run({"roundtrip", longLine.string(), (dir_ / "out.txt").string()}), 3);
  EXPECT_NE(err_.find("line 2"), std::string::npos) << err_;

  EXPECT_EQ(Run({"roundtrip", lf.string()}), 2);
  EXPECT_EQ(Run({"roundtrip", lf.string(), (dir_ / "out.txt").string(), "--to", "latin1"}), 2);
  EXPECT_EQ(Run({"roundtrip", (dir_ / "missing").string(), (dir_ / "out.txt").string()}), 2);
  EXPECT_EQ(Run({"roundtrip", lf.string(), (dir_ / "no" / "such" / "dir.txt").string()}), 2);
}

}  // namespace

// gvtool edit: steps from scripts and -e in order, the transcript and the
// final line, the document saved when OUT is named, and the script's line for
// a step it cannot read.
TEST_F(Gvtool, EditRunsStepsAndPrintsWhatWasSeen) {
  const fs::path in = Write("in.txt", "alpha\r\nbeta\r\ngamma");
  const fs::path script = Write("steps.txt", "# to the end\nkey Ctrl+End\nSELECTLINE\n");
  ASSERT_EQ(Run({"edit", "--script", script.string(), "-e", "NEXTAREA", in.string()}), 0) << err_;
  EXPECT_EQ(out_,
            "status: \xe7\xaf\x84\xe5\x9b\xb2\xe8\xa8\xad\xe5\xae\x9a\xe8\xa1\x8c\xe3\x81\xab\xe8\xa8\xad\xe5\xae\x9a\xe3\x81\x95"
            "\xe3\x82\x8c\xe3\x81\xa6\xe3\x81\x84\xe3\x82\x8b\xe8\xa1\x8c\xe3\x81\xaf\xe8\xa6\x8b\xe3\x81\xa4\xe3\x81\x8b\xe3\x82"
            "\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93\xe3\x81\xa7\xe3\x81\x97\xe3\x81\x9f\xe3\x80\x82\nbeep\n"
            "caret=3:6 sel=3:0-3:4 lines=3 modified=0\n");
  // Saved through the writer when OUT is named, changed or not.
  const fs::path out = dir_ / "out.txt";
  ASSERT_EQ(Run({"edit", "-e", "SELECTALL", in.string(), out.string()}), 0) << err_;
  EXPECT_EQ(Slurp(std::fopen(out.string().c_str(), "rb")), "alpha\r\nbeta\r\ngamma");
  EXPECT_EQ(Run({"edit", "--script", Write("bad.txt", "SELECTALL\n\nkey Ctrl+Nothing\n").string(), in.string()}), 2);
  EXPECT_NE(err_.find("bad.txt:3:"), std::string::npos) << err_;
  EXPECT_EQ(Run({"edit", "-e", "caret 1", in.string()}), 2);
  EXPECT_EQ(Run({"edit"}), 2);
}

// Edits reach the saved file in the file's own encoding and line end.
TEST_F(Gvtool, EditSavesTypedTextInTheFilesEncoding) {
  const fs::path in = Write("utf8.txt", "\xe3\x81\x82\nb");  // "あ" LF "b", UTF-8
  const fs::path out = dir_ / "typed.txt";
  ASSERT_EQ(Run({"edit", "-e", "key End", "-e", "type \xe6\x97\xa5x", "-e", "key Enter", "-e", "key Down", "-e", "DELETELINE",
                 in.string(), out.string()}),
            0)
      << err_;
  EXPECT_EQ(out_, "caret=3:1 sel=none lines=3 modified=1\n");
  EXPECT_EQ(Slurp(std::fopen(out.string().c_str(), "rb")), "\xe3\x81\x82\xe6\x97\xa5x\n\n");
}

// gvtool grep: the editor's search over files of every code.
namespace {

// The search fixture, UTF-8 with CR LF. "ソ" ends in the byte of "\" in
// Shift-JIS; "-x" looks like an option.
const std::string kGrepLines[] = {
    "Hello World",  "hello worldwide", "東京都 2024年", "ソース",     "a\\b",
    "ｈｅｌｌｏ全角", "opt -x",          "",              "１２３４５年",
};

std::string GrepText(const std::string& lineEnd) {
  std::string text;
  for (const std::string& l : kGrepLines) text += l + lineEnd;
  return text;
}

class GvtoolGrep : public Gvtool {
 protected:
  // The fixture in Shift-JIS, made by gvtool convert.
  fs::path SjisFixture() {
    const fs::path utf8 = Write("utf8.txt", GrepText("\r\n")), sjis = dir_ / "f.txt";
    EXPECT_EQ(Run({"convert", "--to", "sjis", "-o", sjis.string(), utf8.string()}), 0) << err_;
    return sjis;
  }
  // The output lines of the fixture's 1-based lines.
  static std::string Lines(const std::string& file, std::initializer_list<int> numbers) {
    std::string s;
    for (int n : numbers) s += file + ":" + std::to_string(n) + ":" + kGrepLines[n - 1] + "\n";
    return s;
  }
};

TEST_F(GvtoolGrep, EachOptionFindsItsLines) {
  const std::string f = SjisFixture().string();
  const struct {
    std::vector<std::string> args;
    std::initializer_list<int> lines;
  } cases[] = {
      {{"World"}, {1}},
      {{"world"}, {2}},
      {{"-i", "WORLD"}, {1, 2}},
      {{"-w", "-i", "world"}, {1}},
      {{"-wi", "hello"}, {1, 2}},
      {{"東京"}, {3}},
      {{"\\"}, {5}},  // not inside "ソ"
      {{"--fuzzy", "ＨＥＬＬＯ"}, {}},
      {{"--fuzzy", "hello"}, {2, 6}},
      {{"--fuzzy", "-i", "ＨＥＬＬＯ"}, {1, 2, 6}},
      {{"--fuzzy", "12345"}, {9}},
      {{"--wild", "w*d"}, {2}},
      {{"--wild", "-i", "h?llo"}, {1, 2}},
      {{"--wild", "-w", "wor*"}, {2}},
      {{"-E", "[0-9]{4}年"}, {3}},
      {{"-E", "[０-９]{2,}"}, {9}},
      {{"-E", "-i", "^HELLO"}, {1, 2}},
      {{"-E", "-i", "\\bworld\\b"}, {1}},
      {{"-E", "^$"}, {8}},
      {{"-E", "\\\\"}, {5}},
      {{"-E", "-w", "o w"}, {2}},  // only -i applies to a regular expression
      {{"--", "-x"}, {7}},
      {{"-E", "--", "-x$"}, {7}},
      {{"Tokyo"}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"grep"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(f);
    SCOPED_TRACE(args[1] + " " + args[args.size() - 2]);
    EXPECT_EQ(Run(args), c.lines.size() != 0 ? 0 : 1) << err_;
    EXPECT_EQ(out_, Lines(f, c.lines));
    EXPECT_EQ(err_, "");
  }
}

// Every code the editor reads is detected and searched, with CR LF or LF ends
// and byte-order marks; the hits are printed in UTF-8 without their line end.
TEST_F(GvtoolGrep, EveryCodeIsDetectedAndSearched) {
  for (const char* lineEnd : {"\r\n", "\n"}) {
    const fs::path utf8 = Write("u.txt", GrepText(lineEnd));
    for (const char* form : {"sjis", "eucjp", "utf8", "utf8bom", "utf16le", "utf16lebom", "utf16be", "utf16bebom"}) {
      SCOPED_TRACE(std::string(form) + (lineEnd[0] == '\r' ? " CR LF" : " LF"));
      const fs::path f = dir_ / (std::string(form) + ".txt");
      ASSERT_EQ(Run({"convert", "--to", form, "-o", f.string(), utf8.string()}), 0) << err_;
      EXPECT_EQ(Run({"grep", "東京都", f.string()}), 0) << err_;
      EXPECT_EQ(out_, Lines(f.string(), {3}));
      EXPECT_EQ(Run({"grep", "-E", "-i", "^h", f.string()}), 0) << err_;
      EXPECT_EQ(out_, Lines(f.string(), {1, 2}));
    }
  }
}

TEST_F(GvtoolGrep, CountsMatchingLinesPerFile) {
  const std::string f = SjisFixture().string(), none = Write("none.txt", "nothing here\r\n").string();
  EXPECT_EQ(Run({"grep", "-c", "-i", "hello", f, none}), 0) << err_;
  EXPECT_EQ(out_, f + ":2\n" + none + ":0\n");
  EXPECT_EQ(Run({"grep", "-c", "-E", "o", none, f}), 0);
  EXPECT_EQ(out_, none + ":1\n" + f + ":3\n");  // a line with two hits counts once
  EXPECT_EQ(Run({"grep", "-c", "zzz", f}), 1);
  EXPECT_EQ(out_, f + ":0\n");
}

// Lines longer than a piece of the reader, a last line without its end, and
// line numbers far into a file.
TEST_F(GvtoolGrep, LongLinesAndLineNumbersAcrossPieces) {
  std::string text = std::string(300000, 'a') + "XYZ\r\nXYZ\r\n";
  for (int n = 0; n < 30000; ++n) text += "line " + std::to_string(n) + "\r\n";
  text += "XYZ";
  const std::string f = Write("long.txt", text).string();
  EXPECT_EQ(Run({"grep", "-c", "XYZ", f}), 0);
  EXPECT_EQ(out_, f + ":3\n");
  EXPECT_EQ(Run({"grep", "-E", "a{3}XYZ|^XYZ", f}), 0);
  EXPECT_EQ(out_, f + ":1:" + std::string(300000, 'a') + "XYZ\n" + f + ":2:XYZ\n" + f + ":30003:XYZ\n");
  EXPECT_EQ(Run({"grep", "line 29999", f}), 0);
  EXPECT_EQ(out_, f + ":30002:line 29999\n");
}

TEST_F(GvtoolGrep, ErrorsExitTwo) {
  const std::string f = SjisFixture().string(), missing = (dir_ / "missing.txt").string();
  // A missing file is reported; the others are still searched.
  EXPECT_EQ(Run({"grep", "東京", missing, f}), 2);
  EXPECT_EQ(out_, Lines(f, {3}));
  EXPECT_NE(err_.find(missing + ": cannot open"), std::string::npos) << err_;
  // The regular expression's own message, in UTF-8.
  EXPECT_EQ(Run({"grep", "-E", "a(b", f}), 2);
  EXPECT_NE(err_.find("正規表現の誤り"), std::string::npos) << err_;
  EXPECT_EQ(out_, "");
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"grep", "😀", f}, "cannot be written in Shift-JIS"},  // no Shift-JIS equivalent
      {{"grep", "", f}, "empty"},
      {{"grep", "-q", "a", f}, "unknown option"},
      {{"grep", "--color", "a", f}, "unknown option"},
      {{"grep", "a"}, "usage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    EXPECT_EQ(Run(c.args), 2);
    EXPECT_NE(err_.find(c.message), std::string::npos) << err_;
    EXPECT_EQ(out_, "");
  }
}

}  // namespace
