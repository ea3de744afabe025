// The writer and the saves: the bytes written for every target encoding, line
// end, byte-order mark and end-of-file code; the backup folder rules; and that
// a save that fails or is cancelled leaves the file and the document as they
// were.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "files/writer.h"
#include "support/fake_host.h"
#include "support/memory_file_system.h"
#include "support/memory_page_file.h"

namespace gf = gorvane::files;
namespace doc = gorvane::document;
namespace qv = gorvane::qorvetc;
namespace sh = gorvane::base;

namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::array<std::uint8_t, 6> Crlf(std::initializer_list<int> bytes) {
  std::array<std::uint8_t, 6> a{};
  std::size_t i = 0;
  for (int b : bytes) a[i++] = static_cast<std::uint8_t>(b);
  return a;
}

// "あ日本" / "ｱabc" / "x": あ 82 A0, 日 93 FA, 本 96 7B, half-width ｱ B1.
const std::vector<std::string> kJapanese = {B({0x82, 0xA0, 0x93, 0xFA, 0x96, 0x7B, 0x0D, 0x0A}),
                                            B({0xB1, 'a', 'b', 'c', 0x0D, 0x0A}), "x"};

// A file that keeps what is written to it.
class SinkFile : public gf::File {
 public:
  explicit SinkFile(std::string initial = "") : bytes(std::move(initial)) {}
  bool Read(void*, std::uint32_t, std::uint32_t* got) override { return *got = 0, false; }
  bool Write(const void* src, std::uint32_t n) override {
    if (failAfter >= 0 && pos + n > static_cast<std::size_t>(failAfter)) return false;
    ++writes;
    if (bytes.size() < pos + n) bytes.resize(pos + n);
    bytes.replace(pos, n, static_cast<const char*>(src), n);
    pos += n;
    return true;
  }
  bool Seek(std::uint64_t p) override { return pos = p, true; }
  bool Size(std::uint64_t* size) override { return *size = bytes.size(), true; }
  bool LastWriteTime(gf::FileTime* t) override { return *t = 0, true; }
  bool SetEndOfFile() override { return bytes.resize(pos), true; }
  bool Flush() override { return true; }
  bool Close() override { return true; }

  std::string bytes;
  std::size_t pos = 0;
  int writes = 0;
  long failAfter = -1;
};

class FakeRegistry : public gf::OpenFileRegistry {
 public:
  bool HeldElsewhere(std::string_view path) override { return held.count(std::string(path)) != 0; }
  bool Claim(std::string_view path) override {
    claims.emplace_back(path);
    return !refuseClaims && !HeldElsewhere(path);
  }
  // The group lock: taken by someone else (busy) or not; what happened to it.
  bool LockGroup(bool wait) override {
    events.push_back(wait ? "lock wait" : "lock try");
    if (busy) return false;
    if (!lockHeld) events.push_back("taken");
    lockHeld = true;
    return true;
  }
  void UnlockGroup() override {
    events.push_back("unlock");
    lockHeld = false;
  }
  bool groupLockHeld() const override { return lockHeld; }
  // The info window.
  bool connectedToInfoWindow() override { return connected; }
  bool CheckProjectOptions(int code, std::string_view path) override {
    events.push_back("check " + std::to_string(code) + " " + std::string(path));
    return checkWorks;
  }
  void FileRenamed(int code, std::string_view path, bool add) override {
    events.push_back("renamed " + std::to_string(code) + " " + std::string(path) + (add ? " add" : ""));
  }
  std::set<std::string> held;
  std::vector<std::string> claims;
  std::vector<std::string> events;
  bool refuseClaims = false;
  bool busy = false, lockHeld = false;
  bool connected = false, checkWorks = true;
};

const std::string kPath = "C:\\w\\a.txt";
const std::string kOld = "old bytes\r\n";

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc::LineStoreSettings storeSettings;
    storeSettings.cache = qv::CacheSettings{1024, 3};
    ASSERT_TRUE(store.Start(storeSettings, gvtest::MemoryPageFiles()));
    fs.PutFolder("C:");
    fs.PutFolder("C:\\w");
    file.path = kPath;
    file.code = 1;
  }
  void Load(const std::vector<std::string>& lines) {
    ASSERT_TRUE(store.BeginLoad());
    for (std::size_t i = 0; i < lines.size(); ++i)
      ASSERT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(lines[i].data()),
                                              static_cast<std::uint32_t>(lines[i].size()),
                                              static_cast<std::uint32_t>(i + 1)));
    ASSERT_TRUE(store.EndLoad(static_cast<std::uint32_t>(lines.size())));
    file.modified = true;
  }
  // Writes the document with WriteDocument and returns the bytes.
  std::string Write(int code, int crlfKind = 0, gf::WriteReport* report = nullptr) {
    gf::SaveOptions options;
    options.code = code;
    options.crlfKind = crlfKind;
    SinkFile sink;
    EXPECT_EQ(gf::WriteDocument(ctx, sink, options, report), 1);
    return sink.bytes;
  }
  // A document of n lines of 100 bytes; one line may hold a user-defined character.
  static std::vector<std::string> Long(int n, int lossyLine = 0) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) {
      std::string line(98, static_cast<char>('a' + i % 26));
      if (i == lossyLine) line.replace(10, 2, B({0xF0, 0x40}));
      lines.push_back(i < n ? line + "\r\n" : line);
    }
    return lines;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> t;
    for (const auto& b : host.boxes) t.push_back(b.text);
    return t;
  }

  gvtest::FakeHost host;
  qv::TmpCache cache;
  doc::LineStore store{host, cache};
  gvtest::MemoryFileSystem fs;
  FakeRegistry registry;
  gf::DocumentFile file;
  gf::WriteSettings settings;
  gf::FileContext ctx{host, store, fs, registry, file, settings};
};

// ---- the writer ----------------------------------------------------------------------------

TEST_F(WriterTest, JapaneseTextInEveryTarget) {
  struct Case {
    int code;
    std::string bytes;
  } cases[] = {
      {1, B({0x82, 0xA0, 0x93, 0xFA, 0x96, 0x7B, 0x0D, 0x0A, 0xB1, 'a', 'b', 'c', 0x0D, 0x0A, 'x'})},
      {0, B({0x82, 0xA0, 0x93, 0xFA, 0x96, 0x7B, 0x0D, 0x0A, 0xB1, 'a', 'b', 'c', 0x0D, 0x0A, 'x'})},
      {3, B({0x82, 0xA0, 0x93, 0xFA, 0x96, 0x7B, 0x0D, 0x0A, 0xB1, 'a', 'b', 'c', 0x0D, 0x0A, 'x'})},
      {2, B({0xA4, 0xA2, 0xC6, 0xFC, 0xCB, 0xDC, 0x0D, 0x0A, 0x8E, 0xB1, 'a', 'b', 'c', 0x0D, 0x0A, 'x'})},
      {4, B({0xE3, 0x81, 0x82, 0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0x0D, 0x0A, 0xEF, 0xBD, 0xB1, 'a', 'b', 'c',
             0x0D, 0x0A, 'x'})},
      {5, B({0x30, 0x42, 0x65, 0xE5, 0x67, 0x2C, 0x00, 0x0D, 0x00, 0x0A, 0xFF, 0x71, 0x00, 'a', 0x00, 'b', 0x00,
             'c', 0x00, 0x0D, 0x00, 0x0A, 0x00, 'x'})},
      {6, B({0x42, 0x30, 0xE5, 0x65, 0x2C, 0x67, 0x0D, 0x00, 0x0A, 0x00, 0x71, 0xFF, 'a', 0x00, 'b', 0x00, 'c',
             0x00, 0x0D, 0x00, 0x0A, 0x00, 'x', 0x00})},
  };
  Load(kJapanese);
  for (const Case& c : cases) {
    file.code = 1;
    file.crlf = Crlf({0x0D, 0x0A});
    file.modified = true;
    gf::WriteReport report;
    EXPECT_EQ(Write(c.code, 1, &report), c.bytes) << c.code;
    EXPECT_EQ(report.replaced, 0u);
    EXPECT_EQ(file.code, c.code);
    EXPECT_EQ(file.forcedCode, c.code);
    EXPECT_FALSE(file.modified);
  }
}

TEST_F(WriterTest, ChosenLineEnds) {
  struct Case {
    int code, kind;
    std::string bytes;
  } cases[] = {
      {1, 1, "a\r\nb"},
      {1, 2, "a\rb"},
      {1, 3, "a\nb"},
      {2, 3, "a\nb"},
      {4, 2, "a\rb"},
      {6, 1, B({'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0})},
      {6, 3, B({'a', 0, 0x0A, 0, 'b', 0})},
      {5, 2, B({0, 'a', 0, 0x0D, 0, 'b'})},
  };
  Load({"a\r\n", "b"});
  for (const Case& c : cases) {
    file.code = 1;
    file.crlf = Crlf({0x0D, 0x0A});
    EXPECT_EQ(Write(c.code, c.kind), c.bytes) << c.code << "/" << c.kind;
  }
}

// "Keep the line end": the document's own, carried into the target's form.
TEST_F(WriterTest, KeptLineEndFollowsTheTarget) {
  struct Case {
    const char* name;
    int docCode;
    std::array<std::uint8_t, 6> docCrlf;
    int target;
    std::string bytes;
    std::array<std::uint8_t, 6> crlfAfter;
  } cases[] = {
      {"utf16le kept", 6, Crlf({0x0D, 0, 0x0A, 0}), 6, B({'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0}),
       Crlf({0x0D, 0, 0x0A, 0})},
      {"utf16le as sjis", 6, Crlf({0x0D, 0, 0x0A, 0}), 1, "a\r\nb", Crlf({0x0D, 0x0A})},
      {"lf as euc", 1, Crlf({0x0A}), 2, "a\nb", Crlf({0x0A})},
      {"lf kept", 1, Crlf({0x0A}), 1, "a\nb", Crlf({0x0A})},
      {"utf16be cr as utf16le", 5, Crlf({0, 0x0D}), 6, B({'a', 0, 0x0D, 0, 'b', 0}), Crlf({0x0D, 0})},
      {"cr as utf16be", 1, Crlf({0x0D}), 5, B({0, 'a', 0, 0x0D, 0, 'b'}), Crlf({0, 0x0D})},
      {"none known becomes cr lf", 2, Crlf({}), 4, "a\r\nb", Crlf({0x0D, 0x0A})},
  };
  Load({"a\r\n", "b"});
  for (const Case& c : cases) {
    file.code = c.docCode;
    file.crlf = c.docCrlf;
    EXPECT_EQ(Write(c.target), c.bytes) << c.name;
    EXPECT_EQ(file.crlf, c.crlfAfter) << c.name;
  }
}

TEST_F(WriterTest, ByteOrderMarkAndEndOfFileCode) {
  struct Case {
    bool bom, eof;
    int code;
    std::string bytes;
  } cases[] = {
      {true, false, 4, B({0xEF, 0xBB, 0xBF, 'a'})}, {true, false, 5, B({0xFE, 0xFF, 0, 'a'})},
      {true, false, 6, B({0xFF, 0xFE, 'a', 0})},    {true, false, 1, "a"},
      {true, false, 2, "a"},                        {false, true, 5, B({0, 'a', 0x00, 0x1A})},
      {false, true, 6, B({'a', 0, 0x1A, 0x00})},    {false, true, 1, B({'a', 0x1A})},
      {false, true, 2, B({'a', 0x1A})},             {true, true, 4, B({0xEF, 0xBB, 0xBF, 'a', 0x1A})},
  };
  Load({"a"});
  for (const Case& c : cases) {
    settings.saveWithBom = c.bom;
    settings.appendEofCode = c.eof;
    EXPECT_EQ(Write(c.code, 1), c.bytes) << c.code << " bom " << c.bom << " eof " << c.eof;
  }
}

TEST_F(WriterTest, WritesFromThePositionAndCutsWhatFollows) {
  Load({"a\r\n", "b"});
  SinkFile sink("0123456789abcdef");
  sink.pos = 2;
  gf::SaveOptions options;
  options.code = 1;
  ASSERT_EQ(gf::WriteDocument(ctx, sink, options, nullptr), 1);
  EXPECT_EQ(sink.bytes, "01a\r\nb");
}

// The last line may be empty: the document then ends in a line end.
TEST_F(WriterTest, EmptyLastLineWritesNothing) {
  Load({"a\r\n", ""});
  EXPECT_EQ(Write(6, 1), B({'a', 0, 0x0D, 0, 0x0A, 0}));
}

TEST_F(WriterTest, LargeDocumentGoesOutInLargeBlocksAndNamesTheFirstLossyLine) {
  const auto lines = Long(6000, 4321);
  Load(lines);
  std::string expected;
  for (std::string line : lines) {
    if (line.find(B({0xF0, 0x40})) != std::string::npos) {
      line.erase(11, 1);
      line[10] = '?';
    }
    expected += line;
  }
  gf::SaveOptions options;
  options.code = 2;
  SinkFile sink;
  gf::WriteReport report;
  ASSERT_EQ(gf::WriteDocument(ctx, sink, options, &report), 1);
  EXPECT_EQ(sink.bytes, expected);
  EXPECT_LE(sink.writes, 5);
  EXPECT_EQ(report.replaced, 1u);
  EXPECT_EQ(report.firstLossyLine, 4321u);
}

TEST_F(WriterTest, FailedWriteLeavesTheDocumentState) {
  Load(Long(6000));
  file.code = 6;
  file.crlf = Crlf({0x0D, 0, 0x0A, 0});
  gf::SaveOptions options;
  options.code = 1;
  options.crlfKind = 3;
  SinkFile sink;
  sink.failAfter = 300000;  // the second block fails
  EXPECT_EQ(gf::WriteDocument(ctx, sink, options, nullptr), 0);
  EXPECT_EQ(file.code, 6);
  EXPECT_EQ(file.crlf, Crlf({0x0D, 0, 0x0A, 0}));
  EXPECT_TRUE(file.modified);
}

// ---- backups -------------------------------------------------------------------------------

TEST_F(WriterTest, BackupFolderRules) {
  struct Case {
    const char* name;
    std::vector<std::string> plainFiles, readOnlyFolders;
    std::string backup;  // "" = no backup possible
  } cases[] = {
      {"made beside the file", {}, {}, "C:\\w\\backup_Gorvane\\a.txt"},
      {"name taken by a file", {"backup_Gorvane"}, {}, "C:\\w\\backup_Gorvane(1)\\a.txt"},
      {"read-only folder, then a file",
       {"backup_Gorvane(1)"},
       {"backup_Gorvane"},
       "C:\\w\\backup_Gorvane(2)\\a.txt"},
  };
  for (const Case& c : cases) {
    gvtest::MemoryFileSystem local;
    local.PutFolder("C:");
    local.PutFolder("C:\\w");
    local.Put(kPath, kOld);
    for (const auto& f : c.plainFiles) local.Put("C:\\w\\" + f, "x");
    for (const auto& f : c.readOnlyFolders) {
      local.PutFolder("C:\\w\\" + f);
      local.Find("C:\\w\\" + f)->readOnly = true;
    }
    gf::FileContext lctx{host, store, local, registry, file, settings};
    settings.makeBackup = true;
    EXPECT_EQ(gf::MakeBackup(lctx, kPath, false), 1) << c.name;
    EXPECT_EQ(local.Get(c.backup), kOld) << c.name;
  }
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(WriterTest, BackupReplacesAnEarlierOneAndIsSkippedWhenOff) {
  fs.Put(kPath, kOld);
  EXPECT_EQ(gf::MakeBackup(ctx, kPath, false), 1);
  EXPECT_FALSE(fs.Has("C:\\w\\backup_Gorvane"));
  settings.makeBackup = true;
  fs.PutFolder("C:\\w\\backup_Gorvane");
  fs.Put("C:\\w\\backup_Gorvane\\a.txt", "older");
  EXPECT_EQ(gf::MakeBackup(ctx, kPath, false), 1);
  EXPECT_EQ(fs.Get("C:\\w\\backup_Gorvane\\a.txt"), kOld);
}

TEST_F(WriterTest, BackupFailures) {
  const std::string longPath = "C:\\w\\" + std::string(233, 'n');  // 238 bytes
  struct Case {
    const char* name;
    std::string path;
    bool failFolder, failCopy, allNamesTaken;
    const char8_t* text;
  } cases[] = {
      {"path too long", longPath, false, false, false, u8"ファイル名が長すぎてバックアップファイルを作成できません。"},
      {"folder", kPath, true, false, false, u8"バックアップフォルダの作成に失敗しました。"},
      {"every name taken", kPath, false, false, true, u8"バックアップフォルダの作成に失敗しました。"},
      {"copy", kPath, false, true, false, u8"バックアップファイルの作成に失敗しました。"},
  };
  settings.makeBackup = true;
  for (const Case& c : cases) {
    for (bool quiet : {false, true}) {
      gvtest::MemoryFileSystem local;
      local.PutFolder("C:");
      local.PutFolder("C:\\w");
      local.Put(c.path, kOld);
      local.failCreateFolder = c.failFolder;
      local.failCopy = c.failCopy;
      if (c.allNamesTaken) {
        local.Put("C:\\w\\backup_Gorvane", "x");
        for (int n = 1; n <= 99; ++n) local.Put("C:\\w\\backup_Gorvane(" + std::to_string(n) + ")", "x");
      }
      gf::FileContext lctx{host, store, local, registry, file, settings};
      host.boxes.clear();
      EXPECT_EQ(gf::MakeBackup(lctx, c.path, quiet), 0) << c.name;
      if (quiet) {
        EXPECT_TRUE(host.boxes.empty()) << c.name;
      } else {
        ASSERT_EQ(host.boxes.size(), 1u) << c.name;
        EXPECT_EQ(host.boxes[0].text, reinterpret_cast<const char*>(c.text)) << c.name;
        EXPECT_EQ(host.boxes[0].caption, "Gorvane");
      }
      EXPECT_FALSE(local.Has("C:\\w\\backup_Gorvane\\a.txt")) << c.name;
    }
  }
  // One byte shorter is still backed up.
  fs.Put(longPath.substr(0, 237), kOld);
  EXPECT_EQ(gf::MakeBackup(ctx, longPath.substr(0, 237), true), 1);
}

// ---- saving --------------------------------------------------------------------------------

TEST_F(WriterTest, SaveReplacesTheFileAndKeepsABackup) {
  settings.makeBackup = true;
  fs.Put(kPath, kOld);
  Load(kJapanese);
  // An edit still in the line window is saved.
  ASSERT_TRUE(store.SetLineText(store.BringIntoWindow(0, doc::LineNo(3)), "yz"));
  EXPECT_EQ(gf::SaveCommand(ctx), gf::kSaved);
  EXPECT_EQ(fs.Get(kPath), kJapanese[0] + kJapanese[1] + "yz");
  EXPECT_EQ(fs.Get("C:\\w\\backup_Gorvane\\a.txt"), kOld);
  EXPECT_EQ(fs.List(), (std::vector<std::string>{"C:/", "C:/w/", "C:/w/a.txt", "C:/w/backup_Gorvane/",
                                                 "C:/w/backup_Gorvane/a.txt"}));
  EXPECT_EQ(fs.openHandles(), 0);
  EXPECT_FALSE(file.modified);
  EXPECT_EQ(file.lastWriteTime, fs.Find(kPath)->lastWrite);
  EXPECT_EQ(host.statuses, (std::vector<std::string>{"保存中です...", "上書き保存しました。"}));
  EXPECT_TRUE(host.boxes.empty());
}

const std::string kSaveFailedBox = "ファイルの保存に失敗しました。ディスク容量が不足しているものと思われます。";
const std::string kSaveFailedStatus = "ファイルの保存に失敗しました。";
const std::string kCloseFailed = "編集中のファイルのクローズに失敗しました。";

TEST_F(WriterTest, FailedSaveLeavesFileAndDocumentAlone) {
  struct Case {
    const char* name;
    long failWritesAfter;
    bool failReplace, failClose;
    std::string box, status;  // what the user is told, not quiet and quiet
  } cases[] = {
      {"write fails midway", 300000, false, false, kSaveFailedBox, kSaveFailedStatus},
      {"write fails at once", 0, false, false, kSaveFailedBox, kSaveFailedStatus},
      {"replace fails", -1, true, false, kSaveFailedBox, kSaveFailedStatus},
      {"close fails", -1, false, true, kCloseFailed, kCloseFailed},
  };
  Load(Long(6000));
  for (const Case& c : cases) {
    for (bool quiet : {false, true}) {
      fs.Put(kPath, kOld);
      const auto before = fs.List();
      file.code = 6;
      file.crlf = Crlf({0x0D, 0, 0x0A, 0});
      file.modified = true;
      host.boxes.clear();
      host.statuses.clear();
      fs.failWritesAfter = c.failWritesAfter < 0 ? -1 : fs.bytesWritten + c.failWritesAfter;
      fs.failReplace = c.failReplace;
      fs.failClose = c.failClose;
      gf::SaveOptions options;
      options.code = 2;
      options.crlfKind = 3;
      EXPECT_EQ(gf::SaveFile(ctx, quiet, 0, &options), gf::kSaveFailed) << c.name;
      fs.failWritesAfter = -1;
      fs.failReplace = fs.failClose = false;
      EXPECT_EQ(fs.Get(kPath), kOld) << c.name;
      EXPECT_EQ(fs.List(), before) << c.name;
      EXPECT_EQ(file.path, kPath);
      EXPECT_EQ(file.code, 6) << c.name;
      EXPECT_EQ(file.crlf, Crlf({0x0D, 0, 0x0A, 0})) << c.name;
      EXPECT_TRUE(file.modified) << c.name;
      if (quiet) {
        EXPECT_TRUE(host.boxes.empty()) << c.name;
        EXPECT_EQ(host.statuses.back(), c.status) << c.name;
      } else {
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.box}) << c.name;
      }
    }
  }
}

TEST_F(WriterTest, ReadOnlyFileCannotBeOpenedForSaving) {
  Load({"new"});
  fs.Put(kPath, kOld, /*readOnly=*/true);
  EXPECT_EQ(gf::SaveFile(ctx, false, 0, nullptr), gf::kSaveFailed);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ファイルのオープンに失敗しました。"});
  EXPECT_EQ(gf::SaveFile(ctx, true, 0, nullptr), gf::kSaveFailed);
  EXPECT_EQ(host.statuses.back(), "ﾌｧｲﾙのｵｰﾌﾟﾝに失敗しました。");
  EXPECT_EQ(fs.Get(kPath), kOld);
}

TEST_F(WriterTest, BackupFailureStopsTheSave) {
  settings.makeBackup = true;
  fs.failCreateFolder = true;
  fs.Put(kPath, kOld);
  Load({"new"});
  EXPECT_EQ(gf::SaveCommand(ctx), gf::kSaveFailed);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"バックアップフォルダの作成に失敗しました。"});
  EXPECT_EQ(fs.Get(kPath), kOld);
  EXPECT_EQ(fs.List().size(), 3u);
  EXPECT_TRUE(file.modified);
}

TEST_F(WriterTest, DocumentsWithoutAFileNeedAName) {
  struct Case {
    const char* name;
    std::string path;
  } cases[] = {
      {"new document", "NO FolderName\\" + sh::Sjis(u8"新規ﾌｧｲﾙ1")},
      {"a folder", "C:\\w"},
      {"no name", "C:\\w\\"},
      {"folder gone", "C:\\gone\\a.txt"},
  };
  Load({"text"});
  const auto before = fs.List();
  for (const Case& c : cases) {
    file.path = c.path;
    EXPECT_EQ(gf::SaveCommand(ctx), gf::kSaveNeedsName) << c.name;
    EXPECT_EQ(gf::SaveFile(ctx, true, 0, nullptr), gf::kSaveFailed) << c.name;
    EXPECT_EQ(fs.List(), before) << c.name;
    EXPECT_EQ(file.path, c.path);
    EXPECT_TRUE(file.modified);
  }
  EXPECT_TRUE(host.boxes.empty());
}

// The file was deleted by another program: it is written again, without backup.
TEST_F(WriterTest, DeletedFileIsWrittenAgain) {
  settings.makeBackup = true;
  Load({"text"});
  EXPECT_EQ(gf::SaveCommand(ctx), gf::kSaved);
  EXPECT_EQ(fs.Get(kPath), "text");
  EXPECT_EQ(fs.List().size(), 3u);
}

TEST_F(WriterTest, WriteProtectedDocumentIsNotSaved) {
  fs.Put(kPath, kOld);
  Load({"new"});
  file.readOnly = true;
  EXPECT_EQ(gf::SaveCommand(ctx), gf::kSaveFailed);
  EXPECT_EQ(host.statuses, std::vector<std::string>{"書き込み禁止です。"});
  EXPECT_EQ(fs.Get(kPath), kOld);
}

// A user-defined character (F0 40) has no EUC-JP code.
TEST_F(WriterTest, LossySaveAsksFirstNamingTheLine) {
  const std::vector<std::string> lines = {"one\r\n", "two\r\n", B({'t', 0xF0, 0x40, 'r', 0x0D, 0x0A}), "four"};
  const std::string saved = "one\r\ntwo\r\nt?r\r\nfour";
  gf::SaveOptions euc;
  euc.code = 2;
  Load(lines);
  struct Case {
    const char* name;
    bool quiet;
    sh::BoxAnswer answer;
    bool saves;
  } cases[] = {
      {"cancel", false, sh::BoxAnswer::Cancel, false},
      {"ok", false, sh::BoxAnswer::Ok, true},
      {"quiet", true, sh::BoxAnswer::Cancel, true},
  };
  for (const Case& c : cases) {
    fs.Put(kPath, kOld);
    file.code = 1;
    file.modified = true;
    host.boxes.clear();
    host.statuses.clear();
    host.answers = {c.answer};
    EXPECT_EQ(gf::SaveFile(ctx, c.quiet, 0, &euc), c.saves ? gf::kSaved : gf::kSaveFailed) << c.name;
    EXPECT_EQ(fs.Get(kPath), c.saves ? saved : kOld) << c.name;
    EXPECT_EQ(fs.List().size(), 3u) << c.name;
    EXPECT_EQ(file.modified, !c.saves) << c.name;
    EXPECT_EQ(file.code, c.saves ? 2 : 1) << c.name;
    if (c.quiet) {
      EXPECT_TRUE(host.boxes.empty());
      EXPECT_EQ(host.statuses.back(), "変換できない文字を ? に置き換えて保存しました。（3行目）");
    } else {
      ASSERT_EQ(host.boxes.size(), 1u) << c.name;
      EXPECT_EQ(host.boxes[0].text,
                "保存先の文字コードに変換できない文字があります。（3行目）\n"
                "変換できない文字は ? に置き換えられます。このまま保存しますか？");
      EXPECT_EQ(host.boxes[0].caption, "Gorvane確認");
      EXPECT_EQ(host.boxes[0].icon, sh::BoxIcon::Warning);
      EXPECT_EQ(host.boxes[0].buttons, sh::BoxButtons::OkCancel);
      EXPECT_EQ(host.statuses.back(), c.saves ? "上書き保存しました。" : "保存中です...");
    }
  }
}

// ---- save as -------------------------------------------------------------------------------

const std::string kOther = "C:\\w\\b.txt";

TEST_F(WriterTest, SaveAsRefusals) {
  struct Case {
    const char* name;
    bool held, readOnly, refuseClaim;
    std::vector<sh::BoxAnswer> answers;
    std::vector<std::string> texts;
    sh::BoxIcon firstIcon;
  } cases[] = {
      {"edited elsewhere", true, false, false, {}, {"その名前で編集されているファイルがあります。\n保存できません。"},
       sh::BoxIcon::Error},
      {"read-only file", false, true, false, {}, {"読み取り専用ファイルです。"}, sh::BoxIcon::None},
      {"no overwrite", false, false, false, {sh::BoxAnswer::No}, {"指定のファイルは既に存在します。上書きしますか？"},
       sh::BoxIcon::Question},
      {"taken meanwhile",
       false,
       false,
       true,
       {sh::BoxAnswer::Yes},
       {"指定のファイルは既に存在します。上書きしますか？", "その名前で編集されているファイルがあります。\n保存できません。"},
       sh::BoxIcon::Question},
  };
  Load({"new"});
  for (const Case& c : cases) {
    fs.Put(kOther, "other", c.readOnly);
    const auto before = fs.List();
    registry.held.clear();
    if (c.held) registry.held.insert(kOther);
    registry.refuseClaims = c.refuseClaim;
    host.boxes.clear();
    host.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(gf::SaveAsPath(ctx, kOther, gf::DefaultSaveOptions(file)), gf::kSaveFailed) << c.name;
    EXPECT_EQ(BoxTexts(), c.texts) << c.name;
    ASSERT_FALSE(host.boxes.empty());
    EXPECT_EQ(host.boxes[0].icon, c.firstIcon) << c.name;
    EXPECT_EQ(fs.Get(kOther), "other") << c.name;
    EXPECT_EQ(fs.List(), before) << c.name;
    EXPECT_EQ(file.path, kPath);
    EXPECT_TRUE(file.modified);
  }
}

TEST_F(WriterTest, SaveAsOverwritesAfterAskingAndTakesTheName) {
  settings.makeBackup = true;
  fs.Put(kOther, "other");
  Load({"new"});
  file.readOnly = file.writeProtectMode = true;
  host.answers = {sh::BoxAnswer::Yes};
  gf::SaveOptions options;
  options.code = 6;
  EXPECT_EQ(gf::SaveAsPath(ctx, kOther, options), gf::kSaved);
  EXPECT_EQ(fs.Get(kOther), B({'n', 0, 'e', 0, 'w', 0}));
  EXPECT_EQ(fs.Get("C:\\w\\backup_Gorvane\\b.txt"), "other");
  EXPECT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.statuses.back(), "ファイル名を指定して保存しました。");
  EXPECT_EQ(registry.claims, std::vector<std::string>{kOther});
  EXPECT_EQ(file.path, kOther);
  EXPECT_EQ(file.code, 6);
  EXPECT_FALSE(file.readOnly || file.writeProtectMode || file.modified);
}

TEST_F(WriterTest, SaveAsNewFileAndSameName) {
  const std::string newDoc = "NO FolderName\\" + sh::Sjis(u8"新規ﾌｧｲﾙ1");
  Load({"text"});
  file.path = newDoc;
  EXPECT_EQ(gf::SaveAsPath(ctx, kOther, gf::DefaultSaveOptions(file)), gf::kSaved);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(fs.Get(kOther), "text");
  EXPECT_EQ(file.path, kOther);
  // The same name in other letters is a plain save.
  file.modified = true;
  EXPECT_EQ(gf::SaveAsPath(ctx, "c:\\W\\B.TXT", gf::DefaultSaveOptions(file)), gf::kSaved);
  EXPECT_EQ(host.statuses.back(), "上書き保存しました。");
  EXPECT_EQ(file.path, kOther);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(WriterTest, FailedSaveAsKeepsTheOldName) {
  fs.Put(kPath, kOld);
  Load({"text"});
  fs.failReplace = true;
  EXPECT_EQ(gf::SaveAsPath(ctx, kOther, gf::DefaultSaveOptions(file)), gf::kSaveFailed);
  EXPECT_EQ(BoxTexts(),
            std::vector<std::string>{"ファイルの保存に失敗しました。ディスク容量が不足しているものと思われます。"});
  EXPECT_FALSE(fs.Has(kOther));
  EXPECT_EQ(fs.List().size(), 3u);
  EXPECT_EQ(file.path, kPath);
  EXPECT_EQ(registry.claims, (std::vector<std::string>{kOther, kPath}));
  EXPECT_TRUE(file.modified);
}

}  // namespace

// ---- saves among the editors of a group --------------------------------------------------------

// A save takes the group lock (waiting for it) and gives back only what it
// took; the info window hears of the save.
TEST_F(WriterTest, SavesTakeTheGroupLockAndTellTheInfoWindow) {
  Load({"x\r\n", "y"});
  fs.Put(kPath, kOld);
  registry.connected = true;
  EXPECT_EQ(gf::SaveFile(ctx, false, 0, nullptr), gf::kSaved);
  EXPECT_EQ(registry.events, (std::vector<std::string>{"lock wait", "taken", "check 1 " + kPath, "unlock"}));
  EXPECT_FALSE(registry.lockHeld);

  // A lock the command took already stays with the command.
  registry.events.clear();
  registry.lockHeld = true;
  file.modified = true;
  EXPECT_EQ(gf::SaveFile(ctx, true, 1, nullptr), gf::kSaved);
  EXPECT_EQ(registry.events, (std::vector<std::string>{"lock wait", "check 1 " + kPath}));
  EXPECT_TRUE(registry.lockHeld);
  registry.lockHeld = false;

  // The check that cannot be sent is a warning; the save stands.
  registry.events.clear();
  registry.checkWorks = false;
  for (bool quiet : {false, true}) {
    host.boxes.clear();
    host.statuses.clear();
    file.modified = true;
    EXPECT_EQ(gf::SaveFile(ctx, quiet, 0, nullptr), gf::kSaved);
    EXPECT_FALSE(file.modified);
    const std::string warning = "プロジェクトファイルのオプションチェックに失敗しました。";
    if (quiet) {
      EXPECT_TRUE(host.boxes.empty());
      EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), warning), host.statuses.end());
    } else {
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{warning});
    }
  }

  // Not connected: nothing is sent.
  registry.events.clear();
  registry.connected = false;
  EXPECT_EQ(gf::SaveFile(ctx, false, 0, nullptr), gf::kSaved);
  EXPECT_EQ(registry.events, (std::vector<std::string>{"lock wait", "taken", "unlock"}));

  // Another editor's work that does not end in time: nothing is written.
  registry.busy = true;
  file.modified = true;
  fs.Put(kPath, kOld);
  host.statuses.clear();
  EXPECT_EQ(gf::SaveFile(ctx, true, 1, nullptr), gf::kSaveFailed);
  EXPECT_EQ(fs.Get(kPath), kOld);
  EXPECT_TRUE(file.modified);
  EXPECT_EQ(host.statuses.back(), "何らかの処理中です。");
}

// Save As under a new name: the info window hears the name (and whether to
// add the file to its list), and the new file is watched.
TEST_F(WriterTest, SaveAsTellsTheInfoWindowAndWatchesTheNewFile) {
  Load({"x"});
  file.path = "NO FolderName\\新規ﾌｧｲﾙ1";
  registry.connected = true;
  for (int add : {0, 1}) {
    const std::string target = "C:\\w\\n" + std::to_string(add) + ".txt";
    registry.events.clear();
    file.watchArmed = false;
    file.modified = true;
    gf::SaveOptions options;
    options.code = 4;
    options.addToInfoWindow = add;
    EXPECT_EQ(gf::SaveAsPath(ctx, target, options), gf::kSaved);
    EXPECT_EQ(registry.events, (std::vector<std::string>{"lock wait", "taken",
                                                         "renamed 4 " + target + (add ? " add" : ""), "unlock"}));
    EXPECT_TRUE(file.watchArmed);
    gf::FileInfo info;
    ASSERT_TRUE(fs.Info(target, &info));
    EXPECT_EQ(file.lastWriteTime, info.lastWrite);
  }
  // A failed Save As tells nobody.
  registry.events.clear();
  fs.failReplace = true;
  EXPECT_EQ(gf::SaveAsPath(ctx, "C:\\w\\n9.txt", gf::SaveOptions{}), gf::kSaveFailed);
  fs.failReplace = false;
  for (const std::string& e : registry.events) EXPECT_EQ(e.rfind("renamed", 0), std::string::npos) << e;
}
