#include "paths.h"

#include "charcode/sjis_case.h"

namespace gorvane::files {

std::size_t FileNameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto b = static_cast<unsigned char>(path[i]);
    if (charcode::IsSjisLead(b) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (b == '\\' || b == '/') start = i + 1;
  }
  return start;
}

std::string FolderOf(std::string_view path) { return std::string(path.substr(0, FileNameStart(path))); }

std::string FileNameOf(std::string_view path) { return std::string(path.substr(FileNameStart(path))); }

char SeparatorOf(std::string_view path) {
  const std::size_t start = FileNameStart(path);
  return start > 0 ? path[start - 1] : '\\';
}

bool SamePath(std::string_view a, std::string_view b) { return charcode::SjisToLower(a) == charcode::SjisToLower(b); }

}  // namespace gorvane::files
