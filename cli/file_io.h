// Whole-file access for gvtool: paths are UTF-8 strings on every system (wide
// calls on Windows), output goes to a temporary file renamed into place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace gorvane::cli {

std::FILE* OpenForRead(const std::string& path);
// Puts a stream (binary on Windows) into binary mode.
void SetBinary(std::FILE* f);

// Writes go to PATH.tmp-PID until Commit renames it to PATH; a writer that is
// destroyed without Commit removes its temporary file. Each write to a file
// goes straight to it (no stdio buffer): write large blocks.
class AtomicWriter {
 public:
  // "" or "-": the stream standardOut (the process's standard output).
  explicit AtomicWriter(std::string path, std::FILE* standardOut = stdout);
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

// An input read a piece at a time into one buffer: a file, or the stream
// standardIn (standard input) for "-". The end is where a read comes up
// short, so pipes work as files do.
class PieceReader {
 public:
  PieceReader(const std::string& path, std::FILE* standardIn, std::size_t pieceSize);
  ~PieceReader();
  PieceReader(const PieceReader&) = delete;
  PieceReader& operator=(const PieceReader&) = delete;
  bool ok() const { return file_ != nullptr; }
  // Tops the unconsumed bytes up to a piece (fewer only at the end); false
  // when a read fails.
  bool Fill();
  const std::uint8_t* data() const { return buffer_.get() + start_; }
  std::size_t size() const { return have_ - start_; }
  bool atEnd() const { return atEnd_; }  // nothing follows the bytes held
  void Consume(std::size_t n) { start_ += n; }

 private:
  std::FILE* file_ = nullptr;
  bool owned_ = false, atEnd_ = false;
  std::unique_ptr<std::uint8_t[]> buffer_;  // not cleared first: only what was read is used
  std::size_t size_, start_ = 0, have_ = 0;
};

// Copies the stream in (standard input) into a new temporary file for the
// commands that need a file they can seek in; *path receives its name. The
// caller removes it (RemoveFile). false with a message in *error.
bool SpoolToTemporaryFile(std::FILE* in, std::string* path, std::string* error);
void RemoveFile(const std::string& path);

}  // namespace gorvane::cli
