// A file system held in memory, for tests of loading and saving: files and
// folders by path (either separator), attributes, and failures on demand.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "files/file_system.h"

namespace gvtest {

class MemoryFileSystem : public gorvane::files::FileSystem {
 public:
  struct Entry {
    std::vector<std::uint8_t> bytes;
    bool isFolder = false;
    bool readOnly = false;
    gorvane::files::FileTime lastWrite = 1;
    int openHandles = 0;
  };

  // ---- setting up and looking ----
  void Put(const std::string& path, std::string_view bytes, bool readOnly = false) {
    Entry& e = entries_[Key(path)];
    e.bytes.assign(bytes.begin(), bytes.end());
    e.readOnly = readOnly;
    e.isFolder = false;
    e.lastWrite = ++clock_;
  }
  void PutFolder(const std::string& path) { entries_[Key(path)].isFolder = true; }
  bool Has(const std::string& path) const { return entries_.count(Key(path)) != 0; }
  std::string Get(const std::string& path) const {
    auto it = entries_.find(Key(path));
    return it == entries_.end() ? std::string() : std::string(it->second.bytes.begin(), it->second.bytes.end());
  }
  Entry* Find(const std::string& path) {
    auto it = entries_.find(Key(path));
    return it == entries_.end() ? nullptr : &it->second;
  }
  // Every path held, in order (folders end in "/").
  std::vector<std::string> List() const {
    std::vector<std::string> out;
    for (const auto& [k, e] : entries_) out.push_back(e.isFolder ? k + "/" : k);
    return out;
  }
  int openHandles() const {
    int n = 0;
    for (const auto& [k, e] : entries_) n += e.openHandles;
    return n;
  }

  // ---- failures ----
  std::set<std::string> failOpen;         // these paths cannot be opened
  std::set<std::string> failOpenWrite;    // these cannot be opened for writing
  long failWritesAfter = -1;              // bytes: writes beyond this many (all files) fail
  bool failReplace = false, failCopy = false, failCreateFolder = false, failClose = false;

  // ---- the interface ----
  std::unique_ptr<gorvane::files::File> Open(const std::string& path, gorvane::files::Access access,
                                             gorvane::files::Share, gorvane::files::Disposition disposition,
                                             bool) override {
    using gorvane::files::Access;
    using gorvane::files::Disposition;
    const std::string k = Key(path);
    if (failOpen.count(k) || (access == Access::ReadWrite && failOpenWrite.count(k))) return nullptr;
    if (!ParentExists(k)) return nullptr;
    auto it = entries_.find(k);
    if (it != entries_.end() && it->second.isFolder) return nullptr;
    if (disposition == Disposition::OpenExisting && it == entries_.end()) return nullptr;
    if (disposition == Disposition::CreateNew && it != entries_.end()) return nullptr;
    if (it != entries_.end() && it->second.readOnly && access == Access::ReadWrite) return nullptr;
    Entry& e = entries_[k];
    if (disposition == Disposition::CreateAlways) e.bytes.clear();
    if (disposition != Disposition::OpenExisting) e.lastWrite = ++clock_;
    return std::make_unique<MemoryFile>(*this, k, access == Access::ReadWrite);
  }
  bool Info(const std::string& path, gorvane::files::FileInfo* info) override {
    *info = {};
    auto it = entries_.find(Key(path));
    if (it == entries_.end()) return true;
    info->exists = true;
    info->isFolder = it->second.isFolder;
    info->readOnly = it->second.readOnly;
    info->size = it->second.bytes.size();
    info->lastWrite = it->second.lastWrite;
    return true;
  }
  bool CreateFolder(const std::string& path) override {
    const std::string k = Key(path);
    if (failCreateFolder || entries_.count(k) || !ParentExists(k)) return false;
    entries_[k].isFolder = true;
    return true;
  }
  bool CopyFile(const std::string& from, const std::string& to) override {
    auto src = entries_.find(Key(from));
    const std::string k = Key(to);
    if (failCopy || src == entries_.end() || src->second.isFolder || !ParentExists(k)) return false;
    auto dst = entries_.find(k);
    if (dst != entries_.end() && (dst->second.isFolder || dst->second.readOnly)) return false;
    Entry copy = src->second;
    copy.openHandles = 0;
    copy.readOnly = false;
    entries_[k] = copy;
    return true;
  }
  bool ReplaceFile(const std::string& source, const std::string& target) override {
    auto src = entries_.find(Key(source));
    if (failReplace || src == entries_.end()) return false;
    const std::string k = Key(target);
    auto dst = entries_.find(k);
    Entry moved = src->second;
    if (dst != entries_.end() && (dst->second.isFolder || dst->second.readOnly)) return false;
    moved.lastWrite = ++clock_;
    entries_.erase(src);
    entries_[k] = moved;
    return true;
  }
  bool DeleteFile(const std::string& path) override { return entries_.erase(Key(path)) != 0; }

  long bytesWritten = 0;

 private:
  class MemoryFile : public gorvane::files::File {
   public:
    MemoryFile(MemoryFileSystem& fs, std::string key, bool writable) : fs_(fs), key_(std::move(key)), writable_(writable) {
      ++entry().openHandles;
    }
    ~MemoryFile() override { Close(); }
    bool Read(void* dst, std::uint32_t n, std::uint32_t* got) override {
      const auto& b = entry().bytes;
      const std::size_t k = pos_ < b.size() ? std::min<std::size_t>(n, b.size() - pos_) : 0;
      if (k) std::memcpy(dst, b.data() + pos_, k);
      pos_ += k;
      *got = static_cast<std::uint32_t>(k);
      return !closed_;
    }
    bool Write(const void* src, std::uint32_t n) override {
      if (!writable_ || closed_) return false;
      if (fs_.failWritesAfter >= 0 && fs_.bytesWritten + static_cast<long>(n) > fs_.failWritesAfter) return false;
      fs_.bytesWritten += n;
      auto& b = entry().bytes;
      if (b.size() < pos_ + n) b.resize(pos_ + n);
      if (n) std::memcpy(b.data() + pos_, src, n);
      pos_ += n;
      entry().lastWrite = ++fs_.clock_;
      return true;
    }
    bool Seek(std::uint64_t position) override {
      pos_ = static_cast<std::size_t>(position);
      return !closed_;
    }
    bool Size(std::uint64_t* size) override {
      *size = entry().bytes.size();
      return !closed_;
    }
    bool LastWriteTime(gorvane::files::FileTime* time) override {
      *time = entry().lastWrite;
      return !closed_;
    }
    bool SetEndOfFile() override {
      if (!writable_ || closed_) return false;
      entry().bytes.resize(pos_);
      return true;
    }
    bool Flush() override { return !closed_; }
    bool Close() override {
      if (closed_) return true;
      closed_ = true;
      if (Entry* e = fs_.Find(key_)) --e->openHandles;
      return !fs_.failClose;
    }

   private:
    Entry& entry() { return fs_.entries_[key_]; }
    MemoryFileSystem& fs_;
    std::string key_;
    bool writable_;
    std::size_t pos_ = 0;
    bool closed_ = false;
  };

  // Paths as keys: "\" and "/" alike (as whole characters), no trailing separator.
  static std::string Key(const std::string& path) {
    std::string k;
    for (std::size_t i = 0; i < path.size(); ++i) {
      const auto b = static_cast<unsigned char>(path[i]);
      if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && i + 1 < path.size()) {
        k += path[i];
        k += path[++i];
      } else {
        k += b == '\\' ? '/' : path[i];
      }
    }
    while (k.size() > 1 && k.back() == '/') k.pop_back();
    return k;
  }
  bool ParentExists(const std::string& key) const {
    const std::size_t slash = key.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    auto it = entries_.find(key.substr(0, slash));
    return it != entries_.end() && it->second.isFolder;
  }

  std::map<std::string, Entry> entries_;
  gorvane::files::FileTime clock_ = 1;
};

}  // namespace gvtest
