// Whole-file access for gvtool: paths are UTF-8 strings on every system (wide
// calls on Windows), output goes to a temporary file renamed into place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace gorvane::cli {

std::FILE* OpenForRead(const std::string& path);
// Writes go to PATH.tmp-PID until Commit renames it to PATH; a writer that is
// destroyed without Commit removes its temporary file. Each write to a file
// goes straight to it (no stdio buffer): write large blocks.
class AtomicWriter {
 public:
  explicit AtomicWriter(std::string path);  // "" or "-": standard output
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;
  bool ok() const { return file_ != nullptr && !failed_; }
  bool Write(const void* data, std::size_t n);
  bool Commit();  // false with errno-based message in error()
  const std::string& error() const { return error_; }

 private:
  std::string path_, tmp_, error_;
  std::FILE* file_ = nullptr;
  bool toStdout_ = false, failed_ = false, committed_ = false;
};

std::int64_t FileSize(std::FILE* f);

}  // namespace gorvane::cli
