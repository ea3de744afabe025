// The file system of POSIX systems: Shift-JIS paths are turned into UTF-8
// with our own tables, then open(2) and friends.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "charcode/charcode.h"
#include "files/file_system.h"

namespace gorvane::files {
namespace {

namespace cc = gorvane::charcode;

static_assert(sizeof(off_t) >= 8, "64-bit file offsets are needed");

// The UTF-8 form of a Shift-JIS path, "\" turned into "/". Converting first
// keeps a trail byte 5C apart from a separator: in UTF-8 the byte 5C is only
// ever the backslash itself. False for an empty path, a NUL byte, or a
// character without a Unicode form (it could only name the wrong file).
bool NativePath(const std::string& sjis, std::string* out) {
  out->clear();
  if (sjis.empty() || sjis.find('\0') != std::string::npos) return false;
  std::vector<std::uint8_t> buffer(3 * sjis.size() + 4);
  const cc::Converted c =
      cc::SjisToUtf8(cc::Bytes(reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size()), buffer, nullptr);
  if (!c.complete || c.replaced != 0 || c.consumed != sjis.size()) return false;
  out->assign(reinterpret_cast<const char*>(buffer.data()), c.written);
  for (char& ch : *out)
    if (ch == '\\') ch = '/';
  return true;
}

FileTime TicksOf(const struct stat& st) {
  return static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 10000000u +
         static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100u;
}

// The folder of a UTF-8 path with its final "/" ("" when it has none).
std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes all of n bytes, through short writes and interruptions.
bool WriteAll(int fd, const void* src, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(src);
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// Reads up to n bytes, stopping early only at the end of the file.
bool ReadFull(int fd, void* dst, std::size_t n, std::size_t* got) {
  auto* p = static_cast<std::uint8_t*>(dst);
  *got = 0;
  while (*got < n) {
    const ssize_t r = ::read(fd, p + *got, n - *got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) break;
    *got += static_cast<std::size_t>(r);
  }
  return true;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// After a rename: the folder's entry reaches the disk too.
void SyncFolder(const std::string& path) {
  const std::string folder = FolderPart(path);
  const int fd = OpenRetrying(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A path that is a symbolic link names the file it leads to: replacing or
// copying onto it changes that file and leaves the link in place.
std::string Resolved(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string out(real);
  std::free(real);
  return out;
}

// A target that may be put in place of: absent, or a file with write
// permission for its owner. A read-only file is never overwritten, not even
// by root.
bool MayReplace(const std::string& target, bool* exists, struct stat* st) {
  *exists = false;
  if (::stat(target.c_str(), st) != 0) return errno == ENOENT;
  *exists = true;
  return S_ISREG(st->st_mode) && (st->st_mode & S_IWUSR) != 0;
}

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Read(void* dst, std::uint32_t n, std::uint32_t* got) override {
    *got = 0;
    std::size_t k = 0;
    if (fd_ < 0 || !ReadFull(fd_, dst, n, &k)) return false;
    *got = static_cast<std::uint32_t>(k);
    return true;
  }
  bool Write(const void* src, std::uint32_t n) override { return fd_ >= 0 && WriteAll(fd_, src, n); }
  bool Seek(std::uint64_t position) override {
    if (fd_ < 0 || position > static_cast<std::uint64_t>(INT64_MAX)) return false;
    return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
  }
  bool Size(std::uint64_t* size) override {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
  }
  bool LastWriteTime(FileTime* time) override {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
    *time = TicksOf(st);
    return true;
  }
  bool SetEndOfFile() override {
    if (fd_ < 0) return false;
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    return at >= 0 && ::ftruncate(fd_, at) == 0;
  }
  bool Flush() override { return fd_ >= 0 && ::fsync(fd_) == 0; }
  bool Close() override {
    if (fd_ < 0) return true;
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0;
  }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, Access access, Share, Disposition disposition,
                             bool sequential) override {
    std::string native;
    if (!NativePath(path, &native)) return nullptr;
    // A read-only file is neither written nor truncated, not even by root.
    if (access == Access::ReadWrite || disposition == Disposition::CreateAlways) {
      struct stat st {};
      if (::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return nullptr;
    }
    int flags = access == Access::Read ? O_RDONLY : O_RDWR;
    if (disposition == Disposition::CreateNew) flags |= O_CREAT | O_EXCL;
    if (disposition == Disposition::CreateAlways) flags |= O_CREAT | O_TRUNC;
    const int fd = OpenRetrying(native.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    auto file = std::make_unique<PosixFile>(fd);
    // A folder opens for reading here, but it is not a file.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
#ifdef POSIX_FADV_SEQUENTIAL
    if (sequential) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)sequential;
#endif
    return file;
  }

  bool Info(const std::string& path, FileInfo* info) override {
    *info = {};
    std::string native;
    if (!NativePath(path, &native)) return false;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
    info->exists = true;
    info->isFolder = S_ISDIR(st.st_mode);
    // The permission bits, not access(2): root may write anywhere, yet the
    // file is still meant to be read-only.
    info->readOnly = (st.st_mode & S_IWUSR) == 0;
    info->size = info->isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
    info->lastWrite = TicksOf(st);
    return true;
  }

  bool CreateFolder(const std::string& path) override {
    std::string native;
    return NativePath(path, &native) && ::mkdir(native.c_str(), 0777) == 0;
  }

  // The copy is written under a temporary name beside the target and renamed
  // over it, so a failed copy never leaves a half-written target.
  bool CopyFile(const std::string& from, const std::string& to) override {
    std::string source, target;
    if (!NativePath(from, &source) || !NativePath(to, &target)) return false;
    target = Resolved(target);
    bool exists = false;
    struct stat old {};
    if (!MayReplace(target, &exists, &old)) return false;
    const int in = OpenRetrying(source.c_str(), O_RDONLY);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(in);
      return false;
    }
    std::string temp = FolderPart(target) + ".gvcopy-XXXXXX";
    const int out = ::mkstemp(temp.data());
    if (out < 0) {
      ::close(in);
      return false;
    }
    bool ok = true;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (std::size_t got = 0; ok;) {
      ok = ReadFull(in, buffer.data(), buffer.size(), &got);
      if (!ok || got == 0) break;
      ok = WriteAll(out, buffer.data(), got);
    }
    ::close(in);
    // The source's permission bits and last-write time go with the copy.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 && ::futimens(out, times) == 0 && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    SyncFolder(target);
    return true;
  }

  bool ReplaceFile(const std::string& source, const std::string& target) override {
    std::string from, to;
    if (!NativePath(source, &from) || !NativePath(target, &to)) return false;
    to = Resolved(to);
    bool exists = false;
    struct stat old {};
    if (!MayReplace(to, &exists, &old)) return false;
    // The target's permission bits are its attributes: the new file takes them.
    if (exists && ::chmod(from.c_str(), old.st_mode & 07777) != 0) return false;
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    SyncFolder(to);
    return true;
  }

  bool DeleteFile(const std::string& path) override {
    std::string native;
    return NativePath(path, &native) && ::unlink(native.c_str()) == 0;
  }
};

}  // namespace

std::unique_ptr<FileSystem> CreateSystemFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace gorvane::files
