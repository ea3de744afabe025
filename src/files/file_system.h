// The file access the loader and the writer need, as a small interface: a
// POSIX implementation (native builds, gvtool, tests) and a Win32 one
// (CreateFileW and friends). Paths are Shift-JIS bytes, as the editor holds
// them; either separator may be used ("\" is recognised only as a whole
// character, never as the second byte of a double-byte one).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace gorvane::files {

// 100-nanosecond ticks (Windows file time on Windows; any monotonic clock of
// the file system elsewhere). Only compared for equality.
using FileTime = std::uint64_t;

enum class Access { Read, ReadWrite };
enum class Disposition {
  OpenExisting,  // fails when the file does not exist
  CreateNew,     // fails when it exists
  CreateAlways,  // truncates an existing file
};
// Whom else the open lets in while the handle is open.
enum class Share { Read, ReadWrite };

struct FileInfo {
  bool exists = false;
  bool isFolder = false;
  bool readOnly = false;      // the read-only attribute (POSIX: no write permission)
  std::uint64_t size = 0;     // bytes, 64-bit
  FileTime lastWrite = 0;
};

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at the current position; *got 0 at the end.
  virtual bool Read(void* dst, std::uint32_t n, std::uint32_t* got) = 0;
  virtual bool Write(const void* src, std::uint32_t n) = 0;
  virtual bool Seek(std::uint64_t position) = 0;
  virtual bool Size(std::uint64_t* size) = 0;
  virtual bool LastWriteTime(FileTime* time) = 0;
  // Cuts the file at the current position.
  virtual bool SetEndOfFile() = 0;
  // Pushes written data to the disk.
  virtual bool Flush() = 0;
  // False when closing failed (the handle is closed either way).
  virtual bool Close() = 0;
  // The system's handle of the open file (a Windows HANDLE), or null.
  virtual void* SystemHandle() { return nullptr; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Null on failure. sequential: a hint that the file is read or written
  // front to back.
  virtual std::unique_ptr<File> Open(const std::string& path, Access access, Share share, Disposition disposition,
                                     bool sequential) = 0;
  // False when nothing can be learned (the file may still exist).
  virtual bool Info(const std::string& path, FileInfo* info) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  // Copies a file, replacing an existing target.
  virtual bool CopyFile(const std::string& from, const std::string& to) = 0;
  // Puts a finished file in place of target in one step, keeping target's
  // attributes when it exists; source is gone afterwards.
  virtual bool ReplaceFile(const std::string& source, const std::string& target) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
};

// The system's own file system.
std::unique_ptr<FileSystem> CreateSystemFileSystem();

}  // namespace gorvane::files
