#include "files/loader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "companions/qorvetc/tmpcache.h"
#include "support/fake_host.h"
#include "support/memory_file_system.h"
#include "support/memory_page_file.h"

namespace gf = gorvane::files;
namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;
using gorvane::document::CaretCol;
using gorvane::document::LineNo;
using gorvane::base::BoxAnswer;

namespace {

std::string ReadSample(const std::string& form) {
  std::ifstream f(std::string(GV_SOURCE_DIR) + "/samples/sample-" + form + ".txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// Reads fail after a number of bytes, or the size is made up: faults a real
// disk can have, over the in-memory file system.
class FaultyFileSystem : public gvtest::MemoryFileSystem {
 public:
  long failReadsAfter = -1;
  std::uint64_t fakeSize = 0;

  std::unique_ptr<gf::File> Open(const std::string& path, gf::Access access, gf::Share share, gf::Disposition d,
                                 bool sequential) override {
    auto inner = MemoryFileSystem::Open(path, access, share, d, sequential);
    if (!inner) return nullptr;
    return std::make_unique<Faulty>(std::move(inner), *this);
  }

 private:
  class Faulty : public gf::File {
   public:
    Faulty(std::unique_ptr<gf::File> inner, FaultyFileSystem& fs) : inner_(std::move(inner)), fs_(fs) {}
    bool Read(void* dst, std::uint32_t n, std::uint32_t* got) override {
      if (fs_.failReadsAfter >= 0 && read_ + n > static_cast<std::uint64_t>(fs_.failReadsAfter)) return false;
      const bool ok = inner_->Read(dst, n, got);
      read_ += *got;
      return ok;
    }
    bool Write(const void* src, std::uint32_t n) override { return inner_->Write(src, n); }
    bool Seek(std::uint64_t p) override { return inner_->Seek(p); }
    bool Size(std::uint64_t* size) override {
      if (fs_.fakeSize != 0) {
        *size = fs_.fakeSize;
        return true;
      }
      return inner_->Size(size);
    }
    bool LastWriteTime(gf::FileTime* t) override { return inner_->LastWriteTime(t); }
    bool SetEndOfFile() override { return inner_->SetEndOfFile(); }
    bool Flush() override { return inner_->Flush(); }
    bool Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<gf::File> inner_;
    FaultyFileSystem& fs_;
    std::uint64_t read_ = 0;
  };
};

// Other editors holding some paths.
class OtherEditors : public gf::OpenFileRegistry {
 public:
  std::set<std::string> held;
  std::string mine;
  std::string claimedMeanwhile;  // taken by another editor right after the first look
  bool HeldElsewhere(std::string_view path) override { return held.count(std::string(path)) != 0; }
  bool Claim(std::string_view path) override {
    if (path == claimedMeanwhile) held.insert(claimedMeanwhile);
    if (HeldElsewhere(path)) return false;
    mine = path;
    return true;
  }
};

class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc::LineStoreSettings storeSettings;
    storeSettings.cache = qv::CacheSettings{doc::SanePageSize(4096), 4};
    ASSERT_TRUE(store.Start(storeSettings, gvtest::MemoryPageFiles()));
    file.path = "NO FolderName\\new";
  }

  int Open(const std::string& path, int forced = 0, bool readOnly = false) {
    return loader.OpenPath(0, gf::OpenEntry{path, forced, readOnly});
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    store.WalkLines(LineNo(1), 1, [&](LineNo, std::string_view t) {
      out.emplace_back(t);
      return true;
    });
    return out;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : host.boxes) out.push_back(b.text);
    return out;
  }

  gvtest::FakeHost host;
  qv::TmpCache cache;
  doc::LineStore store{host, cache};
  FaultyFileSystem fs;
  OtherEditors others;
  gf::DocumentFile file;
  gf::WriteSettings settings;
  gf::FileContext ctx{host, store, fs, others, file, settings};
  gf::Loader loader{ctx};
};

// Every bundled form loads to the same Shift-JIS lines.
TEST_F(LoaderTest, EveryFormLoadsToTheSameLines) {
  const std::string sjis = ReadSample("sjis");
  std::vector<std::string> expected;
  for (std::size_t at = 0; at <= sjis.size();) {
    const std::size_t lf = sjis.find('\n', at);
    expected.push_back(sjis.substr(at, lf == std::string::npos ? std::string::npos : lf + 1 - at));
    if (lf == std::string::npos) break;
    at = lf + 1;
  }
  struct Case {
    const char* form;
    int code;
  } cases[] = {{"sjis", 1},    {"eucjp", 2},   {"utf8", 4},       {"utf8bom", 4},
               {"utf16be", 5}, {"utf16le", 6}, {"utf16bebom", 5}, {"utf16lebom", 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    const std::string path = std::string("/d/") + c.form + ".txt";
    fs.PutFolder("/d");
    fs.Put(path, ReadSample(c.form));
    ASSERT_EQ(Open(path), 1);
    EXPECT_EQ(file.code, c.code);
    EXPECT_EQ(file.path, path);
    EXPECT_FALSE(file.modified);
    EXPECT_FALSE(file.readOnly);
    EXPECT_EQ(Lines(), expected);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.statuses.back(), "ファイルを読み込みました。");
    EXPECT_EQ(fs.openHandles(), 0);
    EXPECT_EQ(store.CheckInvariants(), "");
  }
}

// Small files and what they load as: lines, code, the first line end, modified,
// and the message shown.
TEST_F(LoaderTest, SmallFilesTable) {
  const std::string longLine(20000, 'a');
  // 15,357 ASCII bytes, then a double-byte character across the cut.
  const std::string straddling = std::string(15357, 'b') + "\x82\xa0" + "tail\r\n";
  struct Case {
    const char* what;
    std::string bytes;
    int forced;
    std::vector<std::string> lines;
    int code;
    std::string crlf;
    bool modified;
    std::string message;
  } cases[] = {
      {"empty file", "", 0, {""}, 1, "\r\n", false, ""},
      {"only a UTF-8 mark", "\xEF\xBB\xBF", 0, {""}, 4, "\r\n", false, ""},
      {"only an end-of-file code", "\x1A", 0, {""}, 1, "\r\n", false, ""},
      {"end-of-file code after the text", "ab\r\ncd\x1A", 0, {"ab\r\n", "cd"}, 1, "\r\n", false, ""},
      {"ends in CR LF", "ab\r\ncd\r\n", 0, {"ab\r\n", "cd\r\n", ""}, 1, "\r\n", false, ""},
      {"ends without line end", "ab\r\ncd", 0, {"ab\r\n", "cd"}, 1, "\r\n", false, ""},
      {"LF lines (ASCII with LF reads as UTF-8)", "ab\ncd\n", 0, {"ab\r\n", "cd\r\n", ""}, 4, "\n", false, ""},
      {"CR lines", "ab\rcd", 0, {"ab\r\n", "cd"}, 4, "\r", false, ""},
      {"odd UTF-16LE", std::string("\xFF\xFE" "a\0b\0c", 7), 0, {"ab"}, 6, std::string("\r\0\n\0", 4), false,
       "UTF16ﾌｧｲﾙとして指定(認識)されていますがﾌｧｲﾙｻｲｽﾞが偶数ではありません。\n\n最後の１バイトを破棄して読み込みます。"},
      {"UTF-16LE forced on Shift-JIS: the line end in UTF-16LE", std::string("a\0\r\0\n\0b\0", 8), 6, {"a\r\n", "b"}, 6,
       std::string("\r\0\n\0", 4), false, ""},
      {"UTF-8 forced on a UTF-16LE mark", std::string("\xFF\xFE" "ab\ncd", 7), 4, {"ab\r\n", "cd"}, 4, "\r\n", false, ""},
      {"a line too long is cut", longLine + "\r\nnext", 0, {std::string(15358, 'a') + "\r\n", "next"}, 1, "\r\n", true,
       "このファイルにはカラム数制限値を超えている行がありました。\n制限値を超えた行は範囲内に収まるように切り詰められました。"},
      {"the cut never splits a character", straddling, 0, {std::string(15357, 'b') + "\r\n", ""}, 1, "\r\n", true,
       "このファイルにはカラム数制限値を超えている行がありました。\n制限値を超えた行は範囲内に収まるように切り詰められました。"},
      {"a line of exactly 15,360 bytes fits", std::string(15358, 'c') + "\r\nx", 0,
       {std::string(15358, 'c') + "\r\n", "x"}, 1, "\r\n", false, ""},
      {"a character without a Shift-JIS code", "a\xC2\xA5z\r\n\xE3\x81\x82", 4, {"a?z\r\n", "\x82\xa0"}, 4, "\r\n",
       true, "シフトＪＩＳコードに変換できなかった文字があります。\n変換できなかった文字は ? に置き換えられました。"},
  };
  fs.PutFolder("/d");
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.boxes.clear();
    const std::string path = "/d/f" + std::to_string(++n) + ".txt";
    fs.Put(path, c.bytes);
    ASSERT_EQ(Open(path, c.forced), 1);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_EQ(file.code, c.code);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.crlf.data()),
                          gorvane::charcode::CrlfLength(file.code, file.crlf.data())),
              c.crlf);
    EXPECT_EQ(file.modified, c.modified);
    EXPECT_FALSE(file.readOnly);
    if (c.message.empty()) {
      EXPECT_TRUE(host.boxes.empty());
    } else {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].text, c.message);
    }
    EXPECT_EQ(store.CheckInvariants(), "");
  }
  EXPECT_EQ(host.boxes.size(), 1u);
}

// The command line's codes come with their line ends ("/e": EUC-JP with LF,
// "/s": Shift-JIS with CR LF, ...): the document takes that line end whatever
// the file has, and keeps it when the file is read again; a code chosen in
// the open dialog keeps the file's own.
TEST_F(LoaderTest, CommandLineCodesBringTheirLineEnds) {
  struct Case {
    const char* what;
    std::string bytes;
    int code, lineEnd;
    std::string crlf;
  } cases[] = {
      {"/e on CR LF lines", "\xA4\xA2\r\nb", 2, 3, "\n"},
      {"/s on LF lines", "a\nb", 1, 1, "\r\n"},
      {"/u8 on CR lines", "a\rb", 4, 3, "\n"},
      {"/ul on UTF-16LE LF lines", std::string("a\0\n\0b\0", 6), 6, 1, std::string("\r\0\n\0", 4)},
      {"/ub on UTF-16BE", std::string("\0a\0\n\0b", 6), 5, 1, std::string("\0\r\0\n", 4)},
  };
  auto crlf = [this] {
    return std::string(reinterpret_cast<const char*>(file.crlf.data()),
                       gorvane::charcode::CrlfLength(file.code, file.crlf.data()));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.Put("/cl.txt", c.bytes);
    file.path = "/cl.txt";
    file.forcedCode = c.code;
    file.forcedLineEnd = c.lineEnd;
    ASSERT_EQ(loader.OpenPath(1, gf::OpenEntry{}), 1);
    EXPECT_EQ(file.code, c.code);
    EXPECT_EQ(crlf(), c.crlf);
    ASSERT_EQ(loader.OpenPath(-1, gf::OpenEntry{}), 1);
    EXPECT_EQ(crlf(), c.crlf);
  }
  fs.Put("/lf.txt", "a\nb");
  ASSERT_EQ(Open("/lf.txt", 1), 1);
  EXPECT_EQ(crlf(), "\n");
}

// Lines longer than a whole reader piece, and lines across piece borders.
TEST_F(LoaderTest, LinesAcrossPieces) {
  std::string bytes;
  std::vector<std::string> expected;
  for (int i = 0; i < 40000; ++i) {
    std::string line = std::to_string(i) + std::string(static_cast<std::size_t>(i % 23), '\x82') + "\r\n";
    // 0x82 0x82 pairs make double-byte characters; an odd count ends in a lone lead byte.
    if ((i % 23) % 2 == 1) line.replace(line.size() - 2, 2, "a\r\n");
    bytes += line;
    expected.push_back(line);
  }
  const std::string huge(300000, 'z');  // longer than a piece
  bytes += huge + "\r\nend";
  expected.push_back(std::string(15358, 'z') + "\r\n");
  expected.push_back("end");
  fs.Put("/big.txt", bytes);
  ASSERT_EQ(Open("/big.txt", 1), 1);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], expected[i]) << "line " << i + 1;
  EXPECT_TRUE(file.modified);
  EXPECT_EQ(loader.report().firstCutLine, 40001);
}

TEST_F(LoaderTest, OpenRefusalsLeaveTheDocumentAlone) {
  fs.Put("/a.txt", "first\r\n");
  ASSERT_EQ(Open("/a.txt"), 1);
  const auto before = Lines();
  struct Case {
    const char* what;
    std::string path;
    int result;
    std::string box;
  } cases[] = {
      {"the same file again (any case)", "/A.TXT", 1, "既に開いています。"},
      {"a file another editor edits", "/held.txt", 0, "このファイルは既にオープンされています。"},
      {"a missing file", "/missing.txt", 0, "ファイルのオープンに失敗しました。"},
  };
  fs.Put("/held.txt", "x");
  others.held.insert("/held.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.boxes.clear();
    EXPECT_EQ(Open(c.path), c.result);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, c.box);
    EXPECT_EQ(file.path, "/a.txt");
    EXPECT_EQ(Lines(), before);
    // The open-file table still names this editor's file, and its watch goes on.
    EXPECT_EQ(others.mine, "/a.txt");
    EXPECT_TRUE(file.watchArmed);
  }
  // Sizes are 64-bit: a file of 4 GiB and a little is not taken for a small one.
  fs.Put("/huge.txt", "x");
  for (std::uint64_t size : {std::uint64_t{0x7FFFFFFF}, (std::uint64_t{1} << 32) + 10}) {
    host.boxes.clear();
    fs.fakeSize = size;
    EXPECT_EQ(Open("/huge.txt"), 0);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "ファイルサイズが大きすぎます。");
    EXPECT_EQ(file.path, "/a.txt");
    EXPECT_EQ(others.mine, "/a.txt");
  }
  fs.fakeSize = 0;
  // Another editor that takes the file between the check and the open keeps it.
  fs.Put("/raced.txt", "r");
  others.claimedMeanwhile = "/raced.txt";
  host.boxes.clear();
  EXPECT_EQ(Open("/raced.txt"), 0);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "このファイルは既にオープンされています。");
  EXPECT_EQ(file.path, "/a.txt");
  EXPECT_EQ(others.mine, "/a.txt");
  EXPECT_EQ(Lines(), before);
  EXPECT_EQ(fs.openHandles(), 0);
}

TEST_F(LoaderTest, ReadOnlyFilesAndWriteRefusal) {
  fs.Put("/ro.txt", "x", /*readOnly=*/true);
  ASSERT_EQ(Open("/ro.txt"), 1);
  EXPECT_TRUE(file.readOnly);
  EXPECT_EQ(host.statuses.front(), "読み取り専用ﾌｧｲﾙです。");

  host.statuses.clear();
  fs.Put("/locked.txt", "y");
  fs.failOpenWrite.insert("/locked.txt");
  ASSERT_EQ(Open("/locked.txt"), 1);
  EXPECT_TRUE(file.readOnly);
  EXPECT_EQ(host.statuses.front(), "書き込みが許可されていないファイルです。");

  fs.Put("/plain.txt", "z");
  ASSERT_EQ(Open("/plain.txt", 0, /*readOnly=*/true), 1);  // the dialog's box
  EXPECT_TRUE(file.readOnly);
  ASSERT_EQ(Open("/ro.txt"), 1);
  fs.Put("/plain2.txt", "z");
  ASSERT_EQ(Open("/plain2.txt"), 1);
  EXPECT_FALSE(file.readOnly);
}

// A load that fails or stops early must not leave a writable document bound
// to the file: saving it would overwrite the file with what was read.
TEST_F(LoaderTest, FailedOrPartialLoadsAreWriteProtected) {
  std::string bytes;
  for (int i = 0; i < 60000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  fs.Put("/broken.txt", bytes);
  fs.failReadsAfter = 300000;  // the second piece cannot be read
  EXPECT_EQ(Open("/broken.txt"), 0);
  EXPECT_EQ(file.path, "/broken.txt");
  EXPECT_TRUE(file.readOnly);
  EXPECT_EQ(Lines(), std::vector<std::string>{""});
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text, "何らかの理由でファイルの読み込みに失敗しました。");
  EXPECT_EQ(host.boxes[1].text,
            "ファイルを最後まで読み込めませんでした。\n元のファイルを失わないよう、書き込み禁止にしました。");
  EXPECT_EQ(fs.openHandles(), 0);
  EXPECT_EQ(store.CheckInvariants(), "");

  fs.failReadsAfter = -1;
  host.boxes.clear();
  fs.Put("/ok.txt", "fine");
  ASSERT_EQ(Open("/ok.txt"), 1);
  EXPECT_FALSE(file.readOnly);
  EXPECT_TRUE(host.boxes.empty());
}

// Every time the document's text is given up (a load that then fails as
// well) counts as a replacement; a refusal before that and an insert do not.
TEST_F(LoaderTest, ReplacementsCountEveryDocumentGivenUp) {
  std::string big;
  for (int i = 0; i < 60000; ++i) big += "line " + std::to_string(i) + "\r\n";
  fs.Put("/a.txt", "a\r\n");
  fs.Put("/broken.txt", big);
  fs.Put("/held.txt", "h");
  others.held = {"/held.txt"};
  const struct {
    const char* what;
    std::function<int()> step;
    int result;
    std::uint64_t counted;
  } steps[] = {
      {"opened", [&] { return Open("/a.txt"); }, 1, 1},
      {"already open here", [&] { return Open("/a.txt"); }, 1, 0},
      {"held by another editor", [&] { return Open("/held.txt"); }, 0, 0},
      {"missing", [&] { return Open("/none.txt"); }, 0, 0},
      {"inserted into", [&] { return loader.InsertFile("/a.txt", 0, LineNo(1)); }, 1, 0},
      {"a read that fails part of the way", [&] {
         fs.failReadsAfter = 300000;
         const int r = Open("/broken.txt");
         fs.failReadsAfter = -1;
         return r;
       }, 0, 1},
      {"read again", [&] { return loader.OpenPath(-1, gf::OpenEntry{}); }, 1, 1},
      {"made new", [&] { return loader.NewDocument() ? 1 : 0; }, 1, 1},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    const std::uint64_t before = loader.replacements();
    EXPECT_EQ(s.step(), s.result);
    EXPECT_EQ(loader.replacements() - before, s.counted);
  }
}

// A document holds at most 1,600,000 lines, its last line (which never has a
// line end) among them: a file whose 1,600,000th line ends in a line end
// needs one more. Such a file loads up to the limit, without the line end of
// the last line kept, says so and is protected; inserting counts the same way.
TEST_F(LoaderTest, LineLimitCountsTheLastLine) {
  std::string lines;
  for (std::uint32_t i = 1; i < doc::kMaxLines; ++i) lines += "x\r\n";
  const struct {
    const char* what;
    std::string bytes;
    bool over;
    std::string last;  // the document's last line
  } cases[] = {
      {"1,600,000 lines, the last without a line end", lines + "last", false, "last"},
      {"1,600,000 lines ending in CR LF", lines + "last\r\n", true, "last"},
      {"more lines", lines + "\n\nlast", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    file.path = "x";
    host.boxes.clear();
    fs.Put("/many.txt", c.bytes);
    ASSERT_EQ(Open("/many.txt"), 1);
    EXPECT_EQ(store.lineCount(), doc::kMaxLines);
    EXPECT_EQ(store.CheckInvariants(), "");
    store.WalkLines(LineNo(static_cast<std::int32_t>(doc::kMaxLines)), 1, [&](LineNo, std::string_view t) {
      EXPECT_EQ(t, c.last);
      return false;
    });
    EXPECT_EQ(file.readOnly, c.over);
    EXPECT_EQ(loader.report().partial, c.over);
    if (c.over) {
      ASSERT_EQ(host.boxes.size(), 2u);
      EXPECT_EQ(host.boxes[0].text, "編集可能行数(160万行)を超えました。処理を中止します。");
    } else {
      EXPECT_TRUE(host.boxes.empty());
    }
  }

  // Inserting into a full document is refused before anything changes.
  fs.Put("/one.txt", "1\r\n");
  host.boxes.clear();
  EXPECT_EQ(loader.InsertFile("/one.txt", 0, LineNo(5)), 0);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "編集可能行数(160万行)を超えました。処理を中止します。");
  EXPECT_EQ(host.boxes[0].caption, "確認");
  EXPECT_EQ(store.lineCount(), doc::kMaxLines);

  // Two lines short of the limit, two lines go in; a third does not.
  file.path = "x";
  fs.Put("/short.txt", lines.substr(6) + "last");
  ASSERT_EQ(Open("/short.txt"), 1);
  ASSERT_EQ(store.lineCount(), doc::kMaxLines - 2);
  fs.Put("/two.txt", "1\r\n2\r\n");
  host.boxes.clear();
  EXPECT_EQ(loader.InsertFile("/two.txt", 0, LineNo(5)), 1);
  EXPECT_EQ(store.lineCount(), doc::kMaxLines);
  EXPECT_EQ(loader.InsertFile("/one.txt", 0, LineNo(5)), 0);
  EXPECT_EQ(store.lineCount(), doc::kMaxLines);
}

TEST_F(LoaderTest, InsertPutsTheFileAboveTheLine) {
  fs.Put("/doc.txt", "one\r\ntwo\r\nthree");
  ASSERT_EQ(Open("/doc.txt"), 1);
  ASSERT_TRUE(store.SetBookmark(LineNo(2), 7));
  // end: where the inserted text ends (it starts at column 1 of line 2).
  struct Case {
    const char* what;
    std::string inserted;
    int forced;
    std::vector<std::string> lines;
    doc::TextPos end;
  } cases[] = {
      {"whole lines", "a\r\nb\r\n", 0, {"one\r\n", "a\r\n", "b\r\n", "two\r\n", "three"}, {LineNo(4), CaretCol(1)}},
      {"a last line without end joins the line", "a\r\nb", 0, {"one\r\n", "a\r\n", "btwo\r\n", "three"},
       {LineNo(3), CaretCol(2)}},
      {"only a line without end", "\x82\xa0z", 0, {"one\r\n", "\x82\xa0ztwo\r\n", "three"}, {LineNo(2), CaretCol(4)}},
      {"a trailing end-of-file code is left out", "a\r\n\x1A", 0, {"one\r\n", "a\r\n", "two\r\n", "three"},
       {LineNo(3), CaretCol(1)}},
      {"UTF-16LE with a mark, LF lines", std::string("\xFF\xFE" "a\0\n\0b\0\n\0", 10), 0,
       {"one\r\n", "a\r\n", "b\r\n", "two\r\n", "three"}, {LineNo(4), CaretCol(1)}},
      {"EUC-JP forced", "\xA4\xA2\n", 2, {"one\r\n", "\x82\xa0\r\n", "two\r\n", "three"}, {LineNo(3), CaretCol(1)}},
      {"a last line too long to join goes in as a line", "a\r\n" + std::string(15357, 'w'), 0,
       {"one\r\n", "a\r\n", std::string(15357, 'w') + "\r\n", "two\r\n", "three"}, {LineNo(4), CaretCol(1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Open("/doc.txt"), 1);  // the same file: nothing happens, so reload it
    file.path = "x";
    ASSERT_EQ(Open("/doc.txt"), 1);
    ASSERT_TRUE(store.SetBookmark(LineNo(2), 7));
    host.statuses.clear();
    fs.Put("/ins.txt", c.inserted);
    file.modified = false;
    ASSERT_EQ(loader.InsertFile("/ins.txt", c.forced, LineNo(2)), 1);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_TRUE(file.modified);
    const gf::Loader::Inserted range = loader.TakeInserted();
    EXPECT_EQ(range.from, (doc::TextPos{LineNo(2), CaretCol(1)}));
    EXPECT_EQ(range.to, c.end);
    EXPECT_TRUE(loader.TakeInserted().empty()) << "taken once";
    EXPECT_EQ(host.statuses.back(), "ファイルを挿入しました。");
    // The bookmark stays with the text "two".
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_EQ(store.Bookmark(LineNo(static_cast<int>(i) + 1)) != 0, c.lines[i].find("two") != std::string::npos)
          << i + 1;
    EXPECT_EQ(store.CheckInvariants(), "");
  }

  // A line cut and a character replaced while inserting: both are said afterwards.
  file.path = "x";
  ASSERT_EQ(Open("/doc.txt"), 1);
  host.boxes.clear();
  fs.Put("/ins.txt", std::string(16000, 'y') + "\r\n\xC2\xA5\r\n");
  ASSERT_EQ(loader.InsertFile("/ins.txt", 4, LineNo(1)), 1);
  const auto after = Lines();
  ASSERT_EQ(after.size(), 5u);
  EXPECT_TRUE(after[0] == std::string(15358, 'y') + "\r\n");
  EXPECT_EQ(std::vector<std::string>(after.begin() + 1, after.end()),
            (std::vector<std::string>{"?\r\n", "one\r\n", "two\r\n", "three"}));
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[0].text,
            "挿入したファイルに１行あたりの文字数が制限値を超えるものがあり、その行は制限値内に切り詰められました。");
  EXPECT_EQ(host.boxes[0].caption, "Gorvane");
  EXPECT_EQ(host.boxes[1].text, "シフトＪＩＳコードに変換できなかった文字があります。\n変換できなかった文字は'?'に置き換えられました。");
  EXPECT_EQ(host.boxes[1].caption, "確認");

  struct Refusal {
    const char* what;
    std::string bytes;
    std::string box;
  } refusals[] = {
      {"empty", "", "ファイルサイズが０バイトです。"},
      {"only an end-of-file code", std::string("\0\x1A", 2), "このファイルにはEOFコードしか含まれていません。"},
      {"odd UTF-16", std::string("\xFF\xFE" "a\0b", 5),
       "UTF16ﾌｧｲﾙとして指定(認識)されていますがﾌｧｲﾙｻｲｽﾞが偶数ではありません。\n\n挿入処理を中止します。"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    fs.Put("/ins.txt", r.bytes);
    host.boxes.clear();
    const auto before = Lines();
    file.modified = false;
    EXPECT_EQ(loader.InsertFile("/ins.txt", 0, LineNo(2)), 0);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, r.box);
    EXPECT_EQ(Lines(), before);
    EXPECT_FALSE(file.modified);
    EXPECT_TRUE(loader.TakeInserted().empty());
  }
}

TEST_F(LoaderTest, NewDocumentsTakeTheFirstFreeName) {
  others.held = {gorvane::base::Sjis(u8"NO FolderName\\新規ﾌｧｲﾙ1"), gorvane::base::Sjis(u8"NO FolderName\\新規ﾌｧｲﾙ2")};
  fs.Put("/a.txt", "text");
  ASSERT_EQ(Open("/a.txt"), 1);
  file.modified = true;
  ASSERT_TRUE(loader.NewDocument());
  EXPECT_EQ(gorvane::base::Utf8(file.path), "NO FolderName\\新規ﾌｧｲﾙ3");
  EXPECT_TRUE(file.isNew());
  EXPECT_EQ(file.code, 0);
  EXPECT_FALSE(file.modified);
  EXPECT_EQ(Lines(), std::vector<std::string>{""});
  EXPECT_EQ(host.statuses.back(), "Initialize OK");
}

TEST_F(LoaderTest, WatchNoticesChangesOnDisk) {
  fs.Put("/w.txt", "one\r\ntwo\r\nthree");
  ASSERT_EQ(Open("/w.txt"), 1);
  ASSERT_TRUE(store.SetBookmark(LineNo(3), 2));
  EXPECT_TRUE(file.watchArmed);
  EXPECT_FALSE(loader.CheckFileChanged(false));
  EXPECT_TRUE(host.boxes.empty());

  fs.Put("/w.txt", "ONE\r\nTWO\r\nTHREE\r\nFOUR");  // another program writes it
  EXPECT_FALSE(loader.CheckFileChanged(/*busy=*/true));
  EXPECT_EQ(file.changedOnDisk, 1);
  EXPECT_TRUE(host.boxes.empty());

  host.answers = {BoxAnswer::No};
  EXPECT_FALSE(loader.CheckFileChanged(false));
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "ファイルが変更されています。読み込みますか?");
  EXPECT_EQ(file.changedOnDisk, 0);
  EXPECT_EQ(Lines()[0], "one\r\n");
  EXPECT_FALSE(loader.CheckFileChanged(false));  // No accepted the new time
  EXPECT_EQ(host.boxes.size(), 1u);

  fs.Put("/w.txt", "1\r\n2\r\n3\r\n4\r\n5");
  host.answers = {BoxAnswer::Yes};
  EXPECT_TRUE(loader.CheckFileChanged(false));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5"}));
  EXPECT_EQ(store.Bookmark(LineNo(3)), 2);  // marks stay on lines that still exist
  EXPECT_TRUE(file.watchArmed);
  EXPECT_FALSE(loader.CheckFileChanged(false));
  EXPECT_EQ(host.boxes.size(), 2u);
}

}  // namespace
