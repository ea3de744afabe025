#include "file_io.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace gorvane::cli {
namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}
std::FILE* Open(const std::string& path, const wchar_t* mode) { return _wfopen(Wide(path).c_str(), mode); }
bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
void Remove(const std::string& path) { DeleteFileW(Wide(path).c_str()); }
long Pid() { return static_cast<long>(GetCurrentProcessId()); }
#else
std::FILE* Open(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
bool Rename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
void Remove(const std::string& path) { std::remove(path.c_str()); }
long Pid() { return static_cast<long>(getpid()); }
#endif

}  // namespace

std::FILE* OpenForRead(const std::string& path) {
#ifdef _WIN32
  return Open(path, L"rb");
#else
  return Open(path, "rb");
#endif
}

std::int64_t FileSize(std::FILE* f) {
#ifdef _WIN32
  const std::int64_t here = _ftelli64(f);
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
  const std::int64_t size = _ftelli64(f);
  _fseeki64(f, here, SEEK_SET);
#else
  const off_t here = ftello(f);
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  const std::int64_t size = ftello(f);
  fseeko(f, here, SEEK_SET);
#endif
  return size;
}

AtomicWriter::AtomicWriter(std::string path) : path_(std::move(path)) {
  if (path_.empty() || path_ == "-") {
    toStdout_ = true;
    file_ = stdout;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return;
  }
  tmp_ = path_ + ".tmp-" + std::to_string(Pid());
#ifdef _WIN32
  file_ = Open(tmp_, L"wb");
#else
  file_ = Open(tmp_, "wb");
#endif
  if (file_ == nullptr) {
    error_ = path_ + ": " + std::strerror(errno);
    return;
  }
  // Callers write large blocks: straight to the file, not through a buffer
  // (which would split each of them into two writes).
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

AtomicWriter::~AtomicWriter() {
  if (toStdout_ || committed_) return;
  if (file_ != nullptr) std::fclose(file_);
  if (!tmp_.empty()) Remove(tmp_);
}

bool AtomicWriter::Write(const void* data, std::size_t n) {
  if (!ok()) return false;
  if (n != 0 && std::fwrite(data, 1, n, file_) != n) {
    failed_ = true;
    error_ = path_ + ": write failed: " + std::strerror(errno);
  }
  return !failed_;
}

bool AtomicWriter::Commit() {
  if (!ok()) return false;
  if (toStdout_) {
    committed_ = true;
    return std::fflush(stdout) == 0;
  }
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed) {
    error_ = path_ + ": write failed: " + std::strerror(errno);
    return false;
  }
  if (!Rename(tmp_, path_)) {
    error_ = path_ + ": cannot replace the file";
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace gorvane::cli
