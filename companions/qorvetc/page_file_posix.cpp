// POSIX: the temporary page file is created and unlinked at once.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "page_file.h"

namespace gorvane::qorvetc {
namespace {

class PosixPageFile final : public PageFile {
 public:
  explicit PosixPageFile(int fd) : fd_(fd) {}
  ~PosixPageFile() override { ::close(fd_); }
  bool Read(std::uint64_t pos, std::uint8_t* dst, std::uint32_t n) override {
    std::uint32_t done = 0;
    while (done < n) {
      const ssize_t r = ::pread(fd_, dst + done, n - done, static_cast<off_t>(pos + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      done += static_cast<std::uint32_t>(r);
    }
    return true;
  }
  bool Write(std::uint64_t pos, const std::uint8_t* src, std::uint32_t n) override {
    std::uint32_t done = 0;
    while (done < n) {
      const ssize_t r = ::pwrite(fd_, src + done, n - done, static_cast<off_t>(pos + done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      done += static_cast<std::uint32_t>(r);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<PageFile> CreateTemporaryPageFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = std::string(dir && *dir ? dir : "/tmp") + "/gorvane-cache-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return nullptr;
  ::unlink(path.c_str());
  return std::make_unique<PosixPageFile>(fd);
}

}  // namespace gorvane::qorvetc
