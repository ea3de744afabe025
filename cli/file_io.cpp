#include "file_io.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

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
std::string Utf8(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}
// A new, empty file of our own in the temporary folder.
bool MakeTemporaryFile(std::string* path) {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH || GetTempFileNameW(folder, L"gvt", 0, name) == 0) return false;
  *path = Utf8(name);
  return true;
}
#else
std::FILE* Open(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
bool Rename(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
void Remove(const std::string& path) { std::remove(path.c_str()); }
long Pid() { return static_cast<long>(getpid()); }
bool MakeTemporaryFile(std::string* path) {
  const char* folder = std::getenv("TMPDIR");
  std::string name = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/gvtool-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  close(fd);
  *path = name;
  return true;
}
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

void SetBinary(std::FILE* f) {
#ifdef _WIN32
  _setmode(_fileno(f), _O_BINARY);
#else
  static_cast<void>(f);
#endif
}

void RemoveFile(const std::string& path) { Remove(path); }

AtomicWriter::AtomicWriter(std::string path, std::FILE* standardOut) : path_(std::move(path)) {
  if (path_.empty() || path_ == "-") {
    toStdout_ = true;
    file_ = standardOut;
    path_ = "standard output";
    SetBinary(file_);
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
    if (std::fflush(file_) == 0) return true;
    error_ = path_ + ": write failed: " + std::strerror(errno);
    return false;
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

PieceReader::PieceReader(const std::string& path, std::FILE* standardIn, std::size_t pieceSize)
    : buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(pieceSize)), size_(pieceSize) {
  if (path == "-") {
    file_ = standardIn;  // used as it is: its buffering may not change once it has been read
    SetBinary(file_);
    return;
  }
  file_ = OpenForRead(path);
  owned_ = true;
  // Pieces are read whole, straight into place.
  if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
}

PieceReader::~PieceReader() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

bool PieceReader::Fill() {
  if (start_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + start_, have_ - start_);
    have_ -= start_;
    start_ = 0;
  }
  while (!atEnd_ && have_ < size_) {
    const std::size_t n = std::fread(buffer_.get() + have_, 1, size_ - have_, file_);
    have_ += n;
    if (n == 0) {
      if (std::ferror(file_)) return false;
      atEnd_ = true;
    }
  }
  return true;
}

bool SpoolToTemporaryFile(std::FILE* in, std::string* path, std::string* error) {
  if (!MakeTemporaryFile(path)) {
    *error = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return false;
  }
  SetBinary(in);
#ifdef _WIN32
  std::FILE* out = Open(*path, L"wb");
#else
  std::FILE* out = Open(*path, "wb");
#endif
  bool ok = out != nullptr;
  std::vector<char> buffer(256 * 1024);
  while (ok) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0) {
      ok = !std::ferror(in);
      break;
    }
    ok = std::fwrite(buffer.data(), 1, n, out) == n;
  }
  if (out != nullptr && std::fclose(out) != 0) ok = false;
  if (!ok) {
    *error = std::string("standard input could not be copied to a temporary file: ") + std::strerror(errno);
    Remove(*path);
  }
  return ok;
}

}  // namespace gorvane::cli
