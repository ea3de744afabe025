// The names of the objects the editors of one user share: mutexes, mappings
// and inboxes. Every name carries the version and the Windows user name, so
// that users and program versions never meet. Texts are Shift-JIS; "\" is
// replaced (as a whole character only, never the second byte of a
// double-byte one) where a name is made from a path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gorvane::ipc {

// Windows refuses kernel object names longer than this many characters.
inline constexpr std::size_t kMaxObjectNameChars = 250;

// "\" → "$" (whole characters), optionally ":" → "$" too.
std::string ReplaceSeparators(std::string_view text, bool colonsToo = false);
// A name too long for Windows becomes its first characters, "$" and a hash
// of the whole name in hex: the same name always gives the same result.
// limit: characters (a double-byte character counts once), or bytes.
std::string FitObjectName(std::string_view name, std::size_t limit = kMaxObjectNameChars, bool bytes = false);
// The checksum of a group: the decimal sum over the bytes of user + "0174" +
// project path of (byte + position) × 26.
std::string GroupChecksum(std::string_view user, std::string_view projectPath);
// The file-name part (name and extension) of a path.
std::string FileNamePart(std::string_view path);

struct ObjectNames {
  explicit ObjectNames(std::string user) : user_(std::move(user)) {}
  const std::string& user() const { return user_; }

  std::string MainLock() const;          // "$QORV$mutex$V1.74$" + user + "$"
  std::string MainFile() const;          // "$QORV$mMFile$V1.74$" + user + "$"
  std::string FileNameFile() const;      // main file + "ExtFileName"
  std::string SettingsFile() const;      // main file + "ExtSettingData"
  std::string GroupLock(std::string_view projectPath) const;
  std::string SearchLock(std::string_view projectPath) const;
  std::string CompileLock(std::string_view projectPath) const;
  static std::string StartupMutex();     // "GorvaneStartErrorMutex"
  std::string FileMutex(std::string_view path) const;
  std::string MacroLock() const;
  static std::string MacroFile();        // "QV1.60_kbdmacro"
  std::string ExtensionLock(std::string_view extension) const;
  std::string ExtensionFile(std::string_view extension) const;
  static std::string EditPositionLock(std::string_view projectPath);
  static std::string EditPositionFile(std::string_view projectPath);
  static std::string MarkJumpFile(std::string_view editedPath);
  std::string EditorInbox(int instance) const;      // "\\.\mailslot\QV174w" + n + user
  std::string InfoWindowInbox(int number) const;    // "\\.\mailslot\QV174i" + n + user

 private:
  std::string user_;
};

}  // namespace gorvane::ipc
