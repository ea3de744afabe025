// The POSIX file system on a fresh folder under /tmp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/file_system.h"

namespace gf = gorvane::files;
namespace fs = std::filesystem;

namespace {

class PosixFileSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/gvfs-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A path under the folder (the folder's own part is ASCII, so any bytes may follow).
  std::string At(const std::string& name) const { return dir_ + "/" + name; }
  void Put(const std::string& name, const std::string& bytes, mode_t mode = 0644) const {
    std::ofstream(At(name), std::ios::binary) << bytes;
    ::chmod(At(name).c_str(), mode);
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(At(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  mode_t ModeOf(const std::string& name) const {
    struct stat st {};
    return ::lstat(At(name).c_str(), &st) == 0 ? st.st_mode : 0;
  }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

  std::unique_ptr<gf::FileSystem> fs_ = gf::CreateSystemFileSystem();
  std::string dir_;
};

TEST_F(PosixFileSystem, OpenHonoursTheDisposition) {
  struct Case {
    const char* before;  // null: no file; "/": a folder
    gf::Access access;
    gf::Disposition disposition;
    bool opens;
    const char* after;  // the file's bytes afterwards, null: no file
  } cases[] = {
      {nullptr, gf::Access::Read, gf::Disposition::OpenExisting, false, nullptr},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::OpenExisting, false, nullptr},
      {"abc", gf::Access::ReadWrite, gf::Disposition::OpenExisting, true, "abc"},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::CreateNew, true, ""},
      {"abc", gf::Access::ReadWrite, gf::Disposition::CreateNew, false, "abc"},
      {nullptr, gf::Access::ReadWrite, gf::Disposition::CreateAlways, true, ""},
      {"abc", gf::Access::ReadWrite, gf::Disposition::CreateAlways, true, ""},
      {"/", gf::Access::Read, gf::Disposition::OpenExisting, false, nullptr},  // a folder is not a file
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "f" + std::to_string(n++);
    if (c.before && std::string(c.before) == "/")
      fs::create_directory(At(name));
    else if (c.before)
      Put(name, c.before);
    auto file = fs_->Open(At(name), c.access, gf::Share::Read, c.disposition, false);
    EXPECT_EQ(file != nullptr, c.opens) << name;
    if (file) {
      EXPECT_TRUE(file->Close());
    }
    if (c.after) {
      EXPECT_EQ(Get(name), c.after) << name;
    } else {
      EXPECT_FALSE(fs::is_regular_file(At(name))) << name;
    }
  }
}

TEST_F(PosixFileSystem, ReadWriteSeekAndCut) {
  auto file = fs_->Open(At("a"), gf::Access::ReadWrite, gf::Share::Read, gf::Disposition::CreateAlways, true);
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
  EXPECT_TRUE(file->Size(&size));
  EXPECT_EQ(size, 6u);
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Get("a"), "hello!");

  auto reader = fs_->Open(At("a"), gf::Access::Read, gf::Share::Read, gf::Disposition::OpenExisting, true);
  ASSERT_TRUE(reader);
  EXPECT_FALSE(reader->Write("x", 1));
  EXPECT_FALSE(reader->SetEndOfFile());
}

// Root could write a 0444 file, but it is read-only all the same.
TEST_F(PosixFileSystem, ReadOnlyFilesOpenForReadingOnly) {
  Put("ro", "keep", 0444);
  EXPECT_FALSE(fs_->Open(At("ro"), gf::Access::ReadWrite, gf::Share::Read, gf::Disposition::OpenExisting, false));
  EXPECT_FALSE(fs_->Open(At("ro"), gf::Access::Read, gf::Share::Read, gf::Disposition::CreateAlways, false));
  EXPECT_TRUE(fs_->Open(At("ro"), gf::Access::Read, gf::Share::Read, gf::Disposition::OpenExisting, false));
  EXPECT_EQ(Get("ro"), "keep");
}

// A sparse file past 4 GiB: sizes and positions are 64-bit all the way.
TEST_F(PosixFileSystem, SizesPastFourGigabytes) {
  const std::uint64_t big = (5ull << 30) + 3;
  const int fd = ::open(At("big").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const bool made = ::ftruncate(fd, static_cast<off_t>(big)) == 0;
  ::close(fd);
  if (!made) GTEST_SKIP() << "no sparse file of 5 GiB here";
  gf::FileInfo info;
  ASSERT_TRUE(fs_->Info(At("big"), &info));
  EXPECT_EQ(info.size, big);
  auto file = fs_->Open(At("big"), gf::Access::Read, gf::Share::Read, gf::Disposition::OpenExisting, false);
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

TEST_F(PosixFileSystem, InfoOfFilesFoldersAndMissingPaths) {
  Put("rw", "12345", 0644);
  Put("ro", "1", 0444);  // read-only even though root may still write it
  fs::create_directory(At("sub"));
  struct Case {
    const char* name;
    bool exists, isFolder, readOnly;
    std::uint64_t size;
  } cases[] = {
      {"rw", true, false, false, 5},    {"ro", true, false, true, 1},       {"sub", true, true, false, 0},
      {"none", false, false, false, 0}, {"none/x", false, false, false, 0}, {"rw/x", false, false, false, 0},
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

// "表" is 95 5C and "ソ" 83 5C: the second byte is a backslash, not a separator.
TEST_F(PosixFileSystem, ShiftJisNamesBecomeUtf8) {
  ASSERT_TRUE(fs_->CreateFolder(At("\x83\x5c")));
  auto file = fs_->Open(dir_ + "\\\x83\x5c\\\x95\x5c.txt", gf::Access::ReadWrite, gf::Share::Read,
                        gf::Disposition::CreateNew, false);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Write("x", 1));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(Get("\u30bd/\u8868.txt"), "x");
  EXPECT_EQ(Entries(), 1u);  // only the folder ソ
  gf::FileInfo info;
  ASSERT_TRUE(fs_->Info(At("\x83\x5c/\x95\x5c.txt"), &info));
  EXPECT_TRUE(info.exists);
  // A lone lead byte has no Unicode form: nothing is opened or made.
  EXPECT_FALSE(
      fs_->Open(At("a\x81.txt"), gf::Access::ReadWrite, gf::Share::Read, gf::Disposition::CreateAlways, false));
  EXPECT_FALSE(fs_->Info(At("a\x81.txt"), &info));
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(PosixFileSystem, CopyReplacesTheTargetWholeOrNotAtAll) {
  Put("src", "new content", 0640);
  Put("dst", "old", 0600);
  ASSERT_TRUE(fs_->CopyFile(At("src"), At("dst")));
  EXPECT_EQ(Get("dst"), "new content");
  EXPECT_EQ(ModeOf("dst") & 0777, 0640u);
  EXPECT_EQ(Get("src"), "new content");
  ASSERT_TRUE(fs_->CopyFile(At("src"), At("fresh")));
  EXPECT_EQ(Get("fresh"), "new content");
  EXPECT_FALSE(fs_->CopyFile(At("none"), At("dst")));
  Put("ro", "keep", 0444);
  EXPECT_FALSE(fs_->CopyFile(At("src"), At("ro")));
  EXPECT_EQ(Get("ro"), "keep");
  EXPECT_EQ(Get("dst"), "new content");
  EXPECT_EQ(Entries(), 4u);  // no temporary file left behind
}

TEST_F(PosixFileSystem, ReplaceKeepsTheTargetsPermissions) {
  Put("new", "new", 0600);
  Put("doc", "old", 0640);
  ASSERT_TRUE(fs_->ReplaceFile(At("new"), At("doc")));
  EXPECT_EQ(Get("doc"), "new");
  EXPECT_EQ(ModeOf("doc") & 0777, 0640u);
  EXPECT_FALSE(fs::exists(At("new")));

  Put("new", "first", 0600);  // onto no file at all
  ASSERT_TRUE(fs_->ReplaceFile(At("new"), At("other")));
  EXPECT_EQ(Get("other"), "first");
  EXPECT_EQ(ModeOf("other") & 0777, 0600u);

  Put("new", "x", 0600);  // a read-only file is never overwritten
  Put("ro", "keep", 0444);
  EXPECT_FALSE(fs_->ReplaceFile(At("new"), At("ro")));
  EXPECT_EQ(Get("ro"), "keep");
  EXPECT_EQ(Get("new"), "x");

  // Through a symbolic link the file it leads to is replaced; the link stays.
  ASSERT_EQ(::symlink("doc", At("link").c_str()), 0);
  ASSERT_TRUE(fs_->ReplaceFile(At("new"), At("link")));
  EXPECT_TRUE(S_ISLNK(ModeOf("link")));
  EXPECT_EQ(Get("doc"), "x");
  EXPECT_EQ(ModeOf("doc") & 0777, 0640u);
}

TEST_F(PosixFileSystem, LastWriteTimeFollowsWrites) {
  Put("a", "abc");
  const struct timespec old[2] = {{1000, 500}, {1000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, At("a").c_str(), old, 0), 0);
  const gf::FileTime oldTicks = 1000ull * 10000000 + 5;
  gf::FileInfo info;
  ASSERT_TRUE(fs_->Info(At("a"), &info));
  EXPECT_EQ(info.lastWrite, oldTicks);
  auto file = fs_->Open(At("a"), gf::Access::ReadWrite, gf::Share::Read, gf::Disposition::OpenExisting, false);
  ASSERT_TRUE(file);
  gf::FileTime t = 0;
  ASSERT_TRUE(file->LastWriteTime(&t));
  EXPECT_EQ(t, oldTicks);
  ASSERT_TRUE(file->Write("x", 1));
  ASSERT_TRUE(file->LastWriteTime(&t));
  EXPECT_NE(t, oldTicks);
  EXPECT_TRUE(file->Close());
  ASSERT_TRUE(fs_->Info(At("a"), &info));
  EXPECT_EQ(info.lastWrite, t);
}

TEST_F(PosixFileSystem, FoldersAndDeletion) {
  EXPECT_TRUE(fs_->CreateFolder(At("sub")));
  EXPECT_FALSE(fs_->CreateFolder(At("sub")));
  EXPECT_FALSE(fs_->CreateFolder(At("none/sub")));
  Put("sub/a", "a");
  EXPECT_TRUE(fs_->DeleteFile(dir_ + "\\sub\\a"));
  EXPECT_FALSE(fs::exists(At("sub/a")));
  EXPECT_FALSE(fs_->DeleteFile(At("sub/a")));
}

}  // namespace
