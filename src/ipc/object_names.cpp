#include "ipc/object_names.h"

#include <cstdio>

#include "charcode/sjis_case.h"

namespace gorvane::ipc {

namespace {

constexpr std::string_view kVersion = "V1.74";
constexpr std::string_view kVersionDigits = "0174";

// The parts one after the other.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

bool IsLead(char c) { return charcode::IsSjisLead(static_cast<std::uint8_t>(c)); }

// Characters of a Shift-JIS text (a double-byte character counts once, as it
// does in the UTF-16 name Windows sees).
std::size_t CharacterCount(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++i, ++n)
    if (IsLead(s[i]) && i + 1 < s.size()) ++i;
  return n;
}

}  // namespace

std::string ReplaceSeparators(std::string_view text, bool colonsToo) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsLead(out[i]) && i + 1 < out.size()) {
      ++i;
      continue;
    }
    if (out[i] == '\\' || (colonsToo && out[i] == ':')) out[i] = '$';
  }
  return out;
}

std::string FitObjectName(std::string_view name, std::size_t limit, bool bytes) {
  if ((bytes ? name.size() : CharacterCount(name)) <= limit) return std::string(name);
  // FNV-1a over the whole name.
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  // Whole characters, "$" and the 16 digits: limit in all.
  std::size_t keep = 0, used = 0;
  while (keep < name.size()) {
    const std::size_t w = IsLead(name[keep]) && keep + 1 < name.size() ? 2 : 1;
    if (used + (bytes ? w : 1) > limit - 17) break;
    keep += w;
    used += bytes ? w : 1;
  }
  return Cat(name.substr(0, keep), "$", std::string_view(hex));
}

std::string GroupChecksum(std::string_view user, std::string_view projectPath) {
  const std::string text = Cat(user, kVersionDigits, projectPath);
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) sum += (static_cast<std::uint8_t>(text[i]) + i) * 26;
  return std::to_string(sum);
}

std::string FileNamePart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsLead(path[i]) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/') start = i + 1;
  }
  return std::string(path.substr(start));
}

std::string ObjectNames::MainLock() const { return FitObjectName(Cat("$QORV$mutex$", kVersion, "$", user_, "$")); }
std::string ObjectNames::MainFile() const { return FitObjectName(Cat("$QORV$mMFile$", kVersion, "$", user_, "$")); }
std::string ObjectNames::FileNameFile() const { return FitObjectName(Cat(MainFile(), "ExtFileName")); }
std::string ObjectNames::SettingsFile() const { return FitObjectName(Cat(MainFile(), "ExtSettingData")); }

std::string ObjectNames::GroupLock(std::string_view projectPath) const {
  return FitObjectName(Cat("$QORV$", kVersion, "$", user_, FileNamePart(projectPath), GroupChecksum(user_, projectPath)));
}
std::string ObjectNames::SearchLock(std::string_view projectPath) const {
  return FitObjectName(Cat(GroupLock(projectPath), "SCH"));
}
std::string ObjectNames::CompileLock(std::string_view projectPath) const {
  return FitObjectName(
      Cat("$QORV$", kVersion, "$COMPILE$", user_, FileNamePart(projectPath), GroupChecksum(user_, projectPath)));
}
std::string ObjectNames::StartupMutex() { return "GorvaneStartErrorMutex"; }

std::string ObjectNames::FileMutex(std::string_view path) const {
  return FitObjectName(ReplaceSeparators(charcode::SjisToLower(Cat(path, "_", user_, kVersionDigits))));
}
std::string ObjectNames::MacroLock() const {
  return FitObjectName(ReplaceSeparators(charcode::SjisToLower(Cat("KBDMACRO_", kVersion, "_", user_, kVersionDigits))));
}
std::string ObjectNames::MacroFile() { return "QV1.60_kbdmacro"; }

std::string ObjectNames::ExtensionLock(std::string_view extension) const {
  return FitObjectName(Cat("GorvaneExtMutex", kVersionDigits, user_, charcode::SjisToLower(extension)));
}
std::string ObjectNames::ExtensionFile(std::string_view extension) const {
  return FitObjectName(Cat("GorvaneExtMMFile", kVersionDigits, user_, charcode::SjisToLower(extension)));
}
std::string ObjectNames::EditPositionLock(std::string_view projectPath) {
  return FitObjectName(ReplaceSeparators(Cat(projectPath, "EditPos", kVersionDigits)));
}
std::string ObjectNames::EditPositionFile(std::string_view projectPath) {
  return FitObjectName(ReplaceSeparators(Cat(projectPath, "EditPosM", kVersionDigits)));
}
std::string ObjectNames::MarkJumpFile(std::string_view editedPath) {
  // The whole name stays under 260 bytes.
  return FitObjectName(Cat("$QORV$MJDATA$", kVersion, ReplaceSeparators(editedPath, true)), 259, true);
}
std::string ObjectNames::EditorInbox(int instance) const {
  return Cat("\\\\.\\mailslot\\QV174w", std::to_string(instance), user_);
}
std::string ObjectNames::InfoWindowInbox(int number) const {
  return Cat("\\\\.\\mailslot\\QV174i", std::to_string(number), user_);
}

}  // namespace gorvane::ipc
