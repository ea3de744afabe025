// QORVchar.dll as other programs use it: loaded by name, each export found by
// its undecorated name, the readers driven over real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "charcode/qorvchar_win32.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

std::string Sample(const char* form) { return std::string(GV_SOURCE_DIR) + "/samples/sample-" + form + ".txt"; }

class QorvcharDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dll_ = LoadLibraryW(L"QORVchar.dll"); }
  static void TearDownTestSuite() {
    if (dll_) FreeLibrary(dll_);
  }
  template <typename F>
  F Get(const char* name) {
    FARPROC p = GetProcAddress(dll_, name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<F>(reinterpret_cast<void*>(p));
  }
  static HMODULE dll_;
};
HMODULE QorvcharDll::dll_ = nullptr;

TEST_F(QorvcharDll, ExportsEveryFunctionByName) {
  ASSERT_NE(dll_, nullptr);
  for (const char* name :
       {"GetQORVchar_version", "JudgmentCode", "ReadCheckStrCode", "CheckStrCode", "SetCrlfChar", "CopyMemoryNew",
        "FillMemoryNew", "MoveMemoryNew", "UTF16BEexUTF16LE", "EUC2ShiftJis", "UTF8toSJis", "UTF7toSJis",
        "UTF16LEtoSJis", "UTF16BEtoSJis", "ShiftJis2ShiftJis", "ShiftJis2EUC", "SJistoUTF8", "SJistoUTF16LE",
        "SJistoUTF16BE", "SJistoUTF7", "ReadFileToWorkSJIS", "ReadFileToWorkEUC", "ReadFileToWorkUTF8",
        "ReadFileToWorkUTF16LE", "ReadFileToWorkUTF16BE"})
    EXPECT_NE(GetProcAddress(dll_, name), nullptr) << name;
  EXPECT_EQ(Get<GetQORVchar_version_t>("GetQORVchar_version")(), 372);
}

TEST_F(QorvcharDll, DetectsSamplesAndFiles) {
  ASSERT_NE(dll_, nullptr);
  auto judgment = Get<JudgmentCode_t>("JudgmentCode");
  auto readCheck = Get<ReadCheckStrCode_t>("ReadCheckStrCode");
  struct {
    const char* form;
    int code;
  } cases[] = {{"sjis", 1}, {"eucjp", 2}, {"utf8", 4}, {"utf8bom", -4}, {"utf16be", 5}, {"utf16bebom", -5},
               {"utf16le", 6}, {"utf16lebom", -6}};
  for (const auto& c : cases) {
    const std::string bytes = ReadAll(Sample(c.form));
    BYTE crlf[6];
    EXPECT_EQ(judgment(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<int>(bytes.size()), crlf), c.code) << c.form;
    EXPECT_EQ(readCheck(Sample(c.form).c_str()), c.code < 0 ? -c.code : c.code) << c.form;
  }
  EXPECT_EQ(readCheck("no such file.txt"), 0);

  // A file whose name is Japanese, given as a Shift-JIS path.
  HANDLE h = CreateFileW(L"\u898b\u672c.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "abc\ndef", 7, &written, nullptr);
  CloseHandle(h);
  EXPECT_EQ(readCheck("\x8c\xa9\x96\x7b.txt"), 4);
  h = CreateFileW(L"\u898b\u672c.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
  EXPECT_EQ(readCheck("\x8c\xa9\x96\x7b.txt"), 0);  // empty
  DeleteFileW(L"\u898b\u672c.txt");
}

// The editor's read loop: pieces of 256 KiB, the file pointer set back to the
// end of what was consumed, the final flag on the last piece.
std::string ReadThroughDll(HMODULE dll, const std::wstring& path, int code, int* status) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<cannot open>";
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  BYTE head[3] = {};
  DWORD got = 0;
  ReadFile(h, head, 3, &got, nullptr);
  LONGLONG pos = 0;
  if (code == 4 && got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) pos = 3;
  if ((code == 5 || code == 6) && got >= 2 && (head[0] == 0xFE || head[0] == 0xFF) && (head[1] == 0xFE || head[1] == 0xFF)) pos = 2;
  const char* names[] = {"", "ReadFileToWorkSJIS", "ReadFileToWorkEUC", "", "ReadFileToWorkUTF8", "ReadFileToWorkUTF16BE",
                         "ReadFileToWorkUTF16LE"};
  std::vector<BYTE> work(262144);
  std::string out;
  *status = 1;
  while (pos < size.QuadPart) {
    LARGE_INTEGER at;
    at.QuadPart = pos;
    SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    const DWORD toRead = static_cast<DWORD>(std::min<LONGLONG>(262144, size.QuadPart - pos));
    const int final = pos + toRead >= size.QuadPart;
    DWORD outBytes = 0, consumed = 0;
    int r;
    if (code == 2) {
      static const BYTE* table = nullptr;
      r = reinterpret_cast<ReadFileToWorkEUC_t>(reinterpret_cast<void*>(GetProcAddress(dll, names[code])))(
          h, work.data(), toRead, &outBytes, &consumed, final, table);
    } else {
      r = reinterpret_cast<ReadFileToWork_t>(reinterpret_cast<void*>(GetProcAddress(dll, names[code])))(
          h, work.data(), toRead, &outBytes, &consumed, final);
    }
    if (r == 0 || consumed == 0) {
      *status = 0;
      break;
    }
    if (r < 0) *status = -1;
    out.append(reinterpret_cast<const char*>(work.data()), outBytes);
    pos += consumed;
  }
  CloseHandle(h);
  return out;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(QorvcharDll, ReadersTurnEverySampleIntoTheShiftJisText) {
  ASSERT_NE(dll_, nullptr);
  const std::string want = ReadAll(Sample("sjis"));
  struct {
    const char* form;
    int code;
  } cases[] = {{"sjis", 1}, {"eucjp", 2}, {"utf8", 4}, {"utf8bom", 4}, {"utf16be", 5}, {"utf16bebom", 5},
               {"utf16le", 6}, {"utf16lebom", 6}};
  for (const auto& c : cases) {
    int status = 0;
    EXPECT_EQ(ReadThroughDll(dll_, Wide(Sample(c.form)), c.code, &status), want) << c.form;
    EXPECT_EQ(status, 1) << c.form;
  }
}

TEST_F(QorvcharDll, ReaderKeepsCrLfSplitAcrossPieces) {
  ASSERT_NE(dll_, nullptr);
  // UTF-16LE: the CR of a CR LF is the last unit of the first piece.
  std::string file;
  std::string want;
  const std::size_t units = 262144 / 2 - 1;
  for (std::size_t i = 0; i < units; ++i) {
    const char c = (i % 50 == 49) ? '\n' : 'x';
    file += c, file += '\0';
    want += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  file += std::string("\r\0\n\0y\0", 6);
  want += "\r\ny";
  HANDLE h = CreateFileW(L"split16.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(h);
  int status = 0;
  const std::string got = ReadThroughDll(dll_, L"split16.txt", 6, &status);
  DeleteFileW(L"split16.txt");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

TEST_F(QorvcharDll, ConvertersThroughTheDll) {
  ASSERT_NE(dll_, nullptr);
  const BYTE line[] = {0x82, 0xA0, 0x0D, 0x0A};
  BYTE crlf[6];
  Get<SetCrlfChar_t>("SetCrlfChar")(4, 3, crlf);
  BYTE out[16] = {};
  EXPECT_EQ(Get<FromSjis_t>("SJistoUTF8")(out, 16, line, 4, crlf), 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "\xE3\x81\x82\n");
  const BYTE wave[] = {0x1C, 0x30};  // U+301C has no code in code page 932
  EXPECT_EQ(Get<ToSjis_t>("UTF16LEtoSJis")(out, 16, wave, 2), -1);
  EXPECT_EQ(out[0], '?');
  const BYTE euc[] = {0xA4, 0xA2, 0x0A};
  EXPECT_EQ(Get<EUC2ShiftJis_t>("EUC2ShiftJis")(euc, 3, out, nullptr), 4);
  EXPECT_EQ(Get<CheckStrCode_t>("CheckStrCode")(euc, 3), 1);
}

}  // namespace
