// The character-code work and the temporary cache as the editor program does
// them: through QORVchar.dll and QORVetc.dll, bound as at the editor's
// start-up. Like the editor, this program holds no copy of either library's
// code (it is linked with GV_CODE_FROM_DLLS): whatever converts, loads, saves
// or pages here is the libraries' work.
// Before <windows.h>, whose CopyFile, DeleteFile and ReplaceFile macros would
// rename the methods.
#include "files/file_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/qorvchar_binding_win32.h"
#include "charcode/wide_text.h"
#include "companions/qorvetc/fold_text.h"
#include "companions/qorvetc/qorvetc_binding_win32.h"
#include "companions/qorvetc/search_text.h"
#include "companions/qorvetc/wildcard.h"
#include "files/loader.h"
#include "files/writer.h"
#include "support/fake_host.h"
#include "support/line_store_model.h"

#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

namespace cc = gorvane::charcode;
namespace doc = gorvane::document;
namespace gf = gorvane::files;
namespace qv = gorvane::qorvetc;

namespace {

HMODULE Qorvchar() {
  static HMODULE m = LoadLibraryW(L"QORVchar.dll");
  return m;
}
HMODULE Qorvetc() {
  static HMODULE m = LoadLibraryW(L"QORVetc.dll");
  return m;
}
bool g_charcodeBound = false;

void BindCharcode() {
  if (!g_charcodeBound) g_charcodeBound = cc::BindQORVchar(Qorvchar());
  ASSERT_TRUE(g_charcodeBound);
}

cc::Bytes B(std::string_view s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }
std::string S(const std::vector<std::uint8_t>& v, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(v.data()), n);
}

// First in this file: before QORVchar.dll is bound nothing converts (the
// program has no tables of its own), afterwards everything does.
TEST(CharcodeBinding, NothingConvertsUntilTheLibraryIsBound) {
  if (g_charcodeBound) GTEST_SKIP() << "bound by an earlier test";
  bool exact = true;
  EXPECT_EQ(cc::SjisToWide<wchar_t>("abc\x93\xfa", &exact), L"");
  EXPECT_FALSE(exact);
  std::uint8_t crlf[6] = {1, 1, 1, 1, 1, 1};
  EXPECT_EQ(cc::JudgmentCode(reinterpret_cast<const std::uint8_t*>("\xEF\xBB\xBF" "a\r\n"), 6, crlf), 0);

  // A library without the exports is refused whole.
  EXPECT_FALSE(cc::BindQORVchar(Qorvetc()));
  EXPECT_EQ(cc::SjisToWide<wchar_t>("abc"), L"");

  BindCharcode();
  EXPECT_EQ(cc::SjisToWide<wchar_t>("abc\x93\xfa", &exact), L"abc\u65e5");
  EXPECT_TRUE(exact);
  EXPECT_EQ(cc::JudgmentCode(reinterpret_cast<const std::uint8_t*>("\xEF\xBB\xBF" "a\r\n"), 6, crlf), -4);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(crlf), 3), std::string("\r\n\0", 3));
}

TEST(CharcodeBinding, ConvertsAsTheApiSays) {
  BindCharcode();
  // Windows boundary: a lone lead byte is not exact; U+301C has no code.
  bool exact = true;
  cc::SjisToWide<wchar_t>("a\x82", &exact);
  EXPECT_FALSE(exact);
  std::size_t replaced = 0;
  EXPECT_EQ(cc::WideToSjis(std::wstring_view(L"x\u301c\u3042"), &replaced), "x?\x82\xa0");
  EXPECT_EQ(replaced, 1u);

  // Working text line by line: the final CR LF of each line becomes crlf.
  std::vector<std::uint8_t> out(64);
  const std::uint8_t lf[6] = {'\n', 0};
  cc::TextConverted t = cc::SjisTextToUtf8(B("a\r\n\x82\xa0\r\nb"), out, lf);
  EXPECT_EQ(S(out, t.written), "a\n\xE3\x81\x82\nb");
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(t.lines, 2u);
  EXPECT_EQ(t.consumed, 8u);
  EXPECT_EQ(t.firstLossyLine, -1);

  const std::uint8_t be[6] = {0, '\r', 0, '\n', 0, 0};
  t = cc::SjisTextToUtf16(B("ok\r\nx\x82\r\n"), out, true, be);
  EXPECT_EQ(S(out, t.written), std::string("\0o\0k\0\r\0\n\0x\0?\0\r\0\n", 16));
  EXPECT_EQ(t.firstLossyLine, 1);
  EXPECT_GT(t.replaced, 0u);

  const std::uint8_t cr[6] = {'\r', 0};
  t = cc::SjisTextLineEnds(B("x\r\ny\nz"), out, cr);
  EXPECT_EQ(S(out, t.written), "x\ry\rz");

  // Whole lines while they fit, also for EUC-JP, whose export has no
  // capacity argument.
  std::vector<std::uint8_t> small(5);
  const std::uint8_t crlfBytes[6] = {'\r', '\n', 0};
  t = cc::SjisTextToEuc(B("\x82\xa0\r\ncd"), small, crlfBytes);
  EXPECT_FALSE(t.complete);
  EXPECT_EQ(t.consumed, 4u);
  EXPECT_EQ(S(small, t.written), "\xA4\xA2\r\n");
  t = cc::SjisTextToEuc(B("\x82\xa0\r\ncd"), out, crlfBytes);
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(S(out, t.written), "\xA4\xA2\r\ncd");
}

// ---- loading and saving through the libraries ----

class LoadAndSave : public ::testing::Test {
 protected:
  void SetUp() override {
    BindCharcode();
    ASSERT_TRUE(cache_.Bind(Qorvetc()));
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 0u);
    dir_ = std::wstring(temp, n) + L"gvlib-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    ASSERT_TRUE(store_.Start(doc::LineStoreSettings{}));
  }
  void TearDown() override {
    for (const std::wstring& f : files_) DeleteFileW(f.c_str());
    RemoveDirectoryW(dir_.c_str());
  }
  // A file of the folder by its Shift-JIS path (removed at the end).
  std::string Path(const std::wstring& name) {
    files_.push_back(dir_ + L"\\" + name);
    return cc::WideToSjis(std::wstring_view(files_.back()));
  }
  std::string Put(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = dir_ + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD k = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &k, nullptr);
    CloseHandle(h);
    return Path(name);
  }
  std::string Get(const std::wstring& name) {
    HANDLE h = CreateFileW((dir_ + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<none>";
    std::string bytes(1 << 20, '\0');
    DWORD k = 0;
    ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &k, nullptr);
    CloseHandle(h);
    bytes.resize(k);
    return bytes;
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    store_.WalkLines(doc::LineNo(1), 1, [&](doc::LineNo, std::string_view t) { return lines.emplace_back(t), true; });
    return lines;
  }

  gvtest::FakeHost host_;
  qv::DllTmpCache cache_;
  doc::LineStore store_{host_, cache_};
  std::unique_ptr<gf::FileSystem> fs_ = gf::CreateSystemFileSystem();
  gf::SoleEditor registry_;
  gf::DocumentFile file_;
  gf::WriteSettings settings_;
  gf::FileContext ctx_{host_, store_, *fs_, registry_, file_, settings_};
  gf::Loader loader_{ctx_};
  std::wstring dir_;
  std::vector<std::wstring> files_;
};

// Every encoding's reader, and the save in UTF-8 with LF.
TEST_F(LoadAndSave, EveryEncodingInAndUtf8Out) {
  struct Case {
    const wchar_t* name;
    std::string bytes;
    int code;
    int forced;         // the code chosen in the open dialog (0: detect)
    std::string utf8;  // saved as UTF-8, LF
    std::size_t boxes;  // the warning of a character without a Shift-JIS code
  } const cases[] = {
      {L"sjis.txt", "\x93\xfa\x96\x7b\r\nabc", 1, 0, "\xE6\x97\xA5\xE6\x9C\xAC\nabc", 0},
      {L"euc.txt", "\xC6\xFC\xCB\xDC\nabc\n", 2, 2, "\xE6\x97\xA5\xE6\x9C\xAC\nabc\n", 0},
      {L"utf8.txt", "\xEF\xBB\xBF\xE3\x81\x82\r\n\xE3\x80\x9C", 4, 0, "\xE3\x81\x82\n?", 1},
      {L"utf16be.txt", std::string("\xFE\xFF\x30\x42\0\r\0\n\0z", 10), 5, 0, "\xE3\x81\x82\nz", 0},
      {L"utf16le.txt", std::string("\xFF\xFE\x42\x30\r\0\n\0z\0", 10), 6, 0, "\xE3\x81\x82\nz", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::wstring(c.name).size());
    host_.boxes.clear();
    const std::string path = Put(c.name, c.bytes);
    ASSERT_EQ(loader_.OpenPath(0, gf::OpenEntry{path, c.forced, false}), 1);
    EXPECT_EQ(file_.code, c.code);
    EXPECT_EQ(host_.boxes.size(), c.boxes);
    gf::SaveOptions utf8;
    utf8.code = 4;
    utf8.crlfKind = 3;
    const std::wstring out = std::wstring(L"out-") + c.name;
    ASSERT_EQ(gf::SaveAsPath(ctx_, Path(out), utf8), gf::kSaved);
    EXPECT_EQ(Get(out), c.utf8);
  }
}

// A line end cut by the end of the first 256 KiB piece (CR its last byte, LF
// the next piece's first) is one line end.
TEST_F(LoadAndSave, ALineEndAcrossTwoPieces) {
  std::string bytes = std::string(9, 'y') + "\r\n";
  for (int i = 0; i < 29126; ++i) bytes += "abcdefg\r\n";
  ASSERT_EQ(bytes[262143], '\r');
  ASSERT_EQ(bytes[262144], '\n');
  bytes += "end";
  ASSERT_EQ(loader_.OpenPath(0, gf::OpenEntry{Put(L"pieces.txt", bytes), 0, false}), 1);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 29128u);
  EXPECT_EQ(lines[29126], "abcdefg\r\n");
  EXPECT_EQ(lines[29127], "end");
  EXPECT_TRUE(host_.boxes.empty());

  // Saved in Shift-JIS again, byte for byte.
  file_.modified = true;
  ASSERT_EQ(gf::SaveFile(ctx_, false, 0, nullptr), gf::kSaved);
  EXPECT_EQ(Get(L"pieces.txt"), bytes);
}

// ---- the line store over QORVetc.dll ----

class LineStoreOverTheLibrary : public ::testing::TestWithParam<gvtest::ModelRun> {};

TEST_P(LineStoreOverTheLibrary, AgreesWithAVectorOfLines) {
  BindCharcode();
  qv::DllTmpCache cache;
  ASSERT_TRUE(cache.Bind(Qorvetc()));
  // The library's own temporary file holds the pages.
  gvtest::RunLineStoreModel(cache, GetParam(), {});
}

INSTANTIATE_TEST_SUITE_P(Seeds, LineStoreOverTheLibrary,
                         ::testing::Values(gvtest::ModelRun{11, 500, 1024, 2}, gvtest::ModelRun{12, 500, 2048, 3}));

TEST(QorvetcBinding, ALibraryWithoutTheCallsIsRefused) {
  qv::DllTmpCache cache;
  EXPECT_FALSE(cache.Bind(Qorvchar()));
  EXPECT_FALSE(cache.bound());
  EXPECT_FALSE(cache.CreateTmpCache());
  EXPECT_EQ(cache.GetTmpCachePage(2, 0, 0), nullptr);
}

// ---- the search primitives over QORVetc.dll ----

// The editor's search calls reach the library once it is bound: a trail byte
// 0x5C is no hit, folding maps hits back, a wildcard compiles and matches.
TEST(SearchBinding, TheSearchesAreTheLibrarys) {
  qv::DllTmpCache cache;
  ASSERT_TRUE(cache.Bind(Qorvetc()));
  const std::string line = "\x95\x5C\x5C" "ab";  // 表, a backslash, ab
  EXPECT_EQ(qv::BmStrSearch("\\", 0, line, false), 2u);
  EXPECT_EQ(qv::BmStrBackSearch("\\", qv::kFromEnd, line, false), 2u);
  EXPECT_EQ(qv::SimpleStrBackSearch("ab", qv::kFromEnd, line), 3u);
  EXPECT_EQ(qv::CheckSiftJisCode(line, 1), 0);

  std::string folded = "x\x82\xAAy";  // xがy
  std::vector<std::uint8_t> map(folded.size());
  const qv::FoldResult r = qv::FoldText(folded, map);
  EXPECT_TRUE(r.folded);
  EXPECT_EQ(folded.substr(0, r.length), "x\xB6\xDEy");
  const auto hit = qv::GetSchStrSize(map, 1, 2);
  ASSERT_TRUE(hit.has_value());
  EXPECT_EQ(hit->offset, 1u);
  EXPECT_EQ(hit->length, 2u);
  EXPECT_FALSE(qv::GetSchStrSize(map, 2, 1).has_value());

  const auto compiled = qv::CreateWildcardString("a*c", false, false);
  ASSERT_TRUE(compiled.has_value());
  EXPECT_EQ(compiled->words, (std::vector<std::uint16_t>{2, 0x8001, 1}));
  const auto match = qv::MatchWildcardInLine(qv::View(*compiled), "abcabc\r\n", 0, qv::kSearchCase, nullptr);
  ASSERT_TRUE(match.has_value());
  EXPECT_EQ(match->length, 6u);
}

}  // namespace

