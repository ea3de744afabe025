// The Win32 file system on a fresh folder under the Windows temporary folder.
// Before <windows.h>, whose CopyFile, DeleteFile and ReplaceFile macros would
// rename the methods.
#include "files/file_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "companions/qorvetc/tmpcache.h"
#include "files/loader.h"
#include "files/writer.h"
#include "support/fake_host.h"

#undef CopyFile
#undef DeleteFile
#undef ReplaceFile

namespace gf = gorvane::files;
namespace cc = gorvane::charcode;

namespace {

// A wide path in Shift-JIS, through our own tables.
std::string Sjis(const std::wstring& wide) {
  std::vector<std::uint8_t> units, out(2 * wide.size() + 2);
  for (wchar_t w : wide)
    units.push_back(static_cast<std::uint8_t>(w)), units.push_back(static_cast<std::uint8_t>(w >> 8));
  const cc::Converted c = cc::Utf16ToSjis(units, out, false);
  return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c.written));
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

class Win32FileSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 0u);
    dir_ = std::wstring(temp, n) + L"gvfs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64());
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    sjisDir_ = Sjis(dir_);
  }
  void TearDown() override { RemoveTree(dir_); }

  std::string At(const std::string& sjisName) const { return sjisDir_ + "\\" + sjisName; }
  std::wstring W(const std::wstring& name) const { return dir_ + L"\\" + name; }
  void Put(const std::wstring& name, const std::string& bytes, DWORD attributes = 0) const {
    HANDLE h = CreateFileW(W(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD k = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &k, nullptr);
    CloseHandle(h);
    if (attributes) SetFileAttributesW(W(name).c_str(), attributes);
  }
  std::string Get(const std::wstring& name) const {
    HANDLE h = CreateFileW(W(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<none>";
    char buf[256];
    DWORD k = 0;
    ReadFile(h, buf, sizeof buf, &k, nullptr);
    CloseHandle(h);
    return std::string(buf, k);
  }
  DWORD Attributes(const std::wstring& name) const { return GetFileAttributesW(W(name).c_str()); }
  std::unique_ptr<gf::File> Open(const std::string& name, gf::Access access, gf::Disposition disposition) {
    return fs_->Open(At(name), access, gf::Share::Read, disposition, false);
  }

  std::unique_ptr<gf::FileSystem> fs_ = gf::CreateSystemFileSystem();
  std::wstring dir_;
  std::string sjisDir_;
};

TEST_F(Win32FileSystem, OpenHonoursTheDisposition) {
  struct Case {
    const char* before;  // null: no file; "/": a folder
    gf::Access access;
    gf::Disposition disposition;
    bool opens;
    const char* after;  // the file's bytes afterwards
  } cases[] = {
      {nullptr, gf::Access::Read, gf::Disposition::OpenExisting, false, "<none>"},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::OpenExisting, false, "<none>"},
      {"abc", gf::Access::ReadWrite, gf::Disposition::OpenExisting, true, "abc"},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::CreateNew, true, ""},
      {"abc", gf::Access::ReadWrite, gf::Disposition::CreateNew, false, "abc"},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::CreateAlways, true, ""},
      {"abc", gf::Access::ReadWrite, gf::Disposition::CreateAlways, true, ""},
      {"/", gf::Access::Read, gf::Disposition::OpenExisting, false, "<none>"},  // a folder is not a file
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::wstring wname = L"f" + std::to_wstring(n++);
    const std::string name(wname.begin(), wname.end());
    if (c.before && std::string(c.before) == "/") {
      CreateDirectoryW(W(wname).c_str(), nullptr);
    } else if (c.before) {
      Put(wname, c.before);
    }
    auto file = Open(name, c.access, c.disposition);
    EXPECT_EQ(file != nullptr, c.opens) << name;
    if (file) {
      EXPECT_TRUE(file->Close());
    }
    EXPECT_EQ(Get(wname), c.after) << name;
  }
}

TEST_F(Win32FileSystem, ReadWriteSeekAndCut) {
  auto file = Open("a", gf::Access::ReadWrite, gf::Disposition::CreateAlways);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Write("hello world", 11));
  std::uint64_t size = 0;
  EXPECT_TRUE(file->Size(&size));
  EXPECT_EQ(size, 11u);
  char buf[16] = {};
  std::uint32_t got = 99;
  ASSERT_TRUE(file->Seek(6));
  ASSERT_TRUE(file->Read(buf, sizeof buf, &got));
  EXPECT_EQ(std::string(buf, got), "world");
  ASSERT_TRUE(file->Read(buf, sizeof buf, &got));
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(file->Seek(5));
  ASSERT_TRUE(file->SetEndOfFile());
  ASSERT_TRUE(file->Write("!", 1));
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Get(L"a"), "hello!");

  auto reader = fs_->Open(At("a"), gf::Access::Read, gf::Share::Read, gf::Disposition::OpenExisting, true);
  ASSERT_TRUE(reader);
  EXPECT_FALSE(reader->Write("x", 1));
  // The handle lets others read but not write.
  EXPECT_FALSE(Open("a", gf::Access::ReadWrite, gf::Disposition::OpenExisting));
  EXPECT_TRUE(Open("a", gf::Access::Read, gf::Disposition::OpenExisting));
}

TEST_F(Win32FileSystem, SizesPastFourGigabytes) {
  const std::uint64_t big = (5ull << 30) + 3;
  HANDLE h = CreateFileW(W(L"big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(big);
  const bool made = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
  CloseHandle(h);
  if (!made) GTEST_SKIP() << "no file of 5 GiB here";
  gf::FileInfo info;
  ASSERT_TRUE(fs_->Info(At("big"), &info));
  EXPECT_EQ(info.size, big);
  auto file = Open("big", gf::Access::Read, gf::Disposition::OpenExisting);
  ASSERT_TRUE(file);
  std::uint64_t size = 0;
  ASSERT_TRUE(file->Size(&size));
  EXPECT_EQ(size, big);
  char buf[8];
  std::uint32_t got = 0;
  ASSERT_TRUE(file->Seek(big - 3));
  ASSERT_TRUE(file->Read(buf, sizeof buf, &got));
  EXPECT_EQ(got, 3u);
}

TEST_F(Win32FileSystem, InfoOfFilesFoldersAndMissingPaths) {
  Put(L"rw", "12345");
  Put(L"ro", "1", FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW(W(L"sub").c_str(), nullptr);
  struct Case {
    const char* name;
    bool exists, isFolder, readOnly;
    std::uint64_t size;
  } cases[] = {
      {"rw", true, false, false, 5},    {"ro", true, false, true, 1},        {"sub", true, true, false, 0},
      {"none", false, false, false, 0}, {"none\\x", false, false, false, 0},
  };
  for (const Case& c : cases) {
    gf::FileInfo info;
    info.exists = !c.exists;
    ASSERT_TRUE(fs_->Info(At(c.name), &info)) << c.name;
    EXPECT_EQ(info.exists, c.exists) << c.name;
    EXPECT_EQ(info.isFolder, c.isFolder) << c.name;
    EXPECT_EQ(info.readOnly, c.readOnly) << c.name;
    EXPECT_EQ(info.size, c.size) << c.name;
  }
}

// A read-only file opens for reading only, and is never truncated or replaced
// (Wine run by root would let all of that through).
TEST_F(Win32FileSystem, ReadOnlyFilesStayAsTheyAre) {
  Put(L"ro", "keep", FILE_ATTRIBUTE_READONLY);
  Put(L"new", "new");
  EXPECT_FALSE(Open("ro", gf::Access::ReadWrite, gf::Disposition::OpenExisting));
  EXPECT_FALSE(Open("ro", gf::Access::ReadWrite, gf::Disposition::CreateAlways));
  EXPECT_TRUE(Open("ro", gf::Access::Read, gf::Disposition::OpenExisting));
  EXPECT_FALSE(fs_->ReplaceFile(At("new"), At("ro")));
  EXPECT_FALSE(fs_->CopyFile(At("new"), At("ro")));
  EXPECT_EQ(Get(L"ro"), "keep");
  EXPECT_EQ(Get(L"new"), "new");
}

// "表" is 95 5C and "ソ" 83 5C: the second byte is a backslash, not a separator.
TEST_F(Win32FileSystem, ShiftJisNamesBecomeUtf16) {
  ASSERT_TRUE(fs_->CreateFolder(At("\x83\x5c")));
  auto file = fs_->Open(sjisDir_ + "/\x83\x5c\\\x95\x5c.txt", gf::Access::ReadWrite, gf::Share::Read,
                        gf::Disposition::CreateNew, false);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Write("x", 1));
  EXPECT_TRUE(file->Close());
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(W(L"\u30bd\\*.txt").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(found.cFileName), L"\u8868.txt");
  EXPECT_FALSE(FindNextFileW(h, &found));
  FindClose(h);
  EXPECT_EQ(Get(L"\u30bd\\\u8868.txt"), "x");
  // A lone lead byte has no Unicode form: nothing is opened or made.
  EXPECT_FALSE(Open("a\x81.txt", gf::Access::ReadWrite, gf::Disposition::CreateAlways));
  gf::FileInfo info;
  EXPECT_FALSE(fs_->Info(At("a\x81.txt"), &info));
}

TEST_F(Win32FileSystem, CopyReplacesTheTarget) {
  Put(L"src", "new content");
  Put(L"dst", "old");
  ASSERT_TRUE(fs_->CopyFile(At("src"), At("dst")));
  EXPECT_EQ(Get(L"dst"), "new content");
  ASSERT_TRUE(fs_->CopyFile(At("src"), At("fresh")));
  EXPECT_EQ(Get(L"fresh"), "new content");
  EXPECT_FALSE(fs_->CopyFile(At("none"), At("dst")));
  EXPECT_EQ(Get(L"dst"), "new content");
}

// Wine's ReplaceFileW drops the hidden attribute (Windows keeps it): the file
// system gives it back.
TEST_F(Win32FileSystem, ReplaceKeepsTheTargetsAttributes) {
  Put(L"new", "new");
  Put(L"doc", "old", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(fs_->ReplaceFile(At("new"), At("doc")));
  EXPECT_EQ(Get(L"doc"), "new");
  EXPECT_EQ(Attributes(L"new"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(Attributes(L"doc") & FILE_ATTRIBUTE_HIDDEN, 0u);

  Put(L"new", "first");  // onto no file at all
  ASSERT_TRUE(fs_->ReplaceFile(At("new"), At("other")));
  EXPECT_EQ(Get(L"other"), "first");
  EXPECT_EQ(Attributes(L"new"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(fs_->ReplaceFile(At("new"), At("other")));  // the source is gone
}

// A hidden file is truncated in place and stays hidden (Windows refuses
// CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL on it; Wine lets it through).
TEST_F(Win32FileSystem, CreateAlwaysOnAHiddenFile) {
  Put(L"h", "old", FILE_ATTRIBUTE_HIDDEN);
  auto file = Open("h", gf::Access::ReadWrite, gf::Disposition::CreateAlways);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Write("x", 1));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Get(L"h"), "x");
  EXPECT_NE(Attributes(L"h") & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(Win32FileSystem, LastWriteTimeFollowsWrites) {
  Put(L"a", "abc");
  const FILETIME old = {0x12345670u, 0x01c00000u};  // 1998, on a whole tick
  HANDLE h = CreateFileW(W(L"a").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseHandle(h);
  const gf::FileTime oldTicks = std::uint64_t{old.dwHighDateTime} << 32 | old.dwLowDateTime;
  gf::FileInfo info;
  ASSERT_TRUE(fs_->Info(At("a"), &info));
  EXPECT_EQ(info.lastWrite, oldTicks);
  auto file = Open("a", gf::Access::ReadWrite, gf::Disposition::OpenExisting);
  ASSERT_TRUE(file);
  gf::FileTime t = 0;
  ASSERT_TRUE(file->LastWriteTime(&t));
  EXPECT_EQ(t, oldTicks);
  ASSERT_TRUE(file->Write("x", 1));
  EXPECT_TRUE(file->Close());
  ASSERT_TRUE(fs_->Info(At("a"), &info));
  EXPECT_NE(info.lastWrite, oldTicks);
}

TEST_F(Win32FileSystem, FoldersAndDeletion) {
  EXPECT_TRUE(fs_->CreateFolder(At("sub")));
  EXPECT_FALSE(fs_->CreateFolder(At("sub")));
  EXPECT_FALSE(fs_->CreateFolder(At("none\\sub")));
  Put(L"sub\\a", "a");
  EXPECT_TRUE(fs_->DeleteFile(sjisDir_ + "/sub/a"));
  EXPECT_EQ(Attributes(L"sub\\a"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(fs_->DeleteFile(At("sub\\a")));
}

// The editor's own loading and saving over the real file system: a file with
// a Japanese name in UTF-16LE read in, saved in place (with its backup and
// its attributes kept) and saved again under another Japanese name in UTF-8.
TEST_F(Win32FileSystem, LoadAndSaveThroughTheSystem) {
  gvtest::FakeHost host;
  gorvane::qorvetc::TmpCache cache;
  gorvane::document::LineStore store(host, cache);
  ASSERT_TRUE(store.Start(gorvane::document::LineStoreSettings{}));
  gf::SoleEditor registry;
  gf::DocumentFile file;
  file.path = "NO FolderName\\x";
  gf::WriteSettings settings;
  settings.makeBackup = true;
  gf::FileContext ctx{host, store, *fs_, registry, file, settings};
  gf::Loader loader(ctx);

  // 表示.txt: "あい\r\n漢字" in UTF-16LE with its mark.
  const std::string utf16("\xFF\xFE\x42\x30\x44\x30\r\0\n\0\x22\x6f\x57\x5b", 14);
  Put(L"\u8868\u793a.txt", utf16, FILE_ATTRIBUTE_HIDDEN);
  const std::string path = At("\x95\x5c\x8e\xa6.txt");
  ASSERT_EQ(loader.OpenPath(0, gf::OpenEntry{path, 0, false}), 1);
  EXPECT_EQ(file.code, 6);
  std::string line;
  ASSERT_TRUE(store.ReadLine(gorvane::document::LineNo(1), &line));
  EXPECT_EQ(line, "\x82\xa0\x82\xa2\r\n");
  ASSERT_TRUE(store.ReadLine(gorvane::document::LineNo(2), &line));
  EXPECT_EQ(line, "\x8a\xbf\x8e\x9a");

  ASSERT_TRUE(store.SetLineText(store.BringIntoWindow(0, gorvane::document::LineNo(2)), "\x8a\xbf"));
  file.modified = true;
  settings.saveWithBom = true;
  ASSERT_EQ(gf::SaveFile(ctx, false, 0, nullptr), gf::kSaved);
  EXPECT_EQ(Get(L"\u8868\u793a.txt"), std::string("\xFF\xFE\x42\x30\x44\x30\r\0\n\0\x22\x6f", 12));
  EXPECT_NE(Attributes(L"\u8868\u793a.txt") & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(Get(L"backup_Gorvane\\\u8868\u793a.txt"), utf16);

  gf::SaveOptions utf8;
  utf8.code = 4;
  utf8.crlfKind = 3;
  settings.saveWithBom = false;
  ASSERT_EQ(gf::SaveAsPath(ctx, At("\x83\x5c.txt"), utf8), gf::kSaved);  // ソ.txt
  EXPECT_EQ(Get(L"\u30bd.txt"), "\xE3\x81\x82\xE3\x81\x84\n\xE6\xBC\xA2");
  EXPECT_EQ(file.path, At("\x83\x5c.txt"));
  EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
