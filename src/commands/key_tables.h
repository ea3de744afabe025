// Which key runs which command: four key tables, one per modifier state, the
// OEM key table that gives the virtual-key codes of the punctuation keys, the
// key names, the label a menu shows for a command's key, and the message
// loop's decision for a key-down.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "commands/command_table.h"

namespace gorvane::commands {

// The modifier state a key arrives in; also the index of its key table.
enum ModifierState : std::uint8_t {
  kStateCtrl = 0,
  kStateCtrlShift = 1,
  kStateShift = 2,  // only for keys flagged for Shift, see ComputeModifierState
  kStateNone = 3,   // the table holds the function keys' commands
};
inline constexpr int kModifierStateCount = 4;

// The four tables, each 256 command codes indexed by virtual-key code, kept
// contiguous in state order (1,024 bytes, as in the shared header).
struct KeyTables {
  std::array<CommandCode, kModifierStateCount * 256> bytes{};

  CommandCode At(ModifierState state, std::uint8_t vk) const { return bytes[Index(state, vk)]; }
  void Set(ModifierState state, std::uint8_t vk, CommandCode code) { bytes[Index(state, vk)] = code; }
  friend bool operator==(const KeyTables&, const KeyTables&) = default;

 private:
  static std::size_t Index(ModifierState state, std::uint8_t vk) { return std::size_t{state} * 256u + vk; }
};

// "Ctrl+", "Ctrl+Shift+", "Shift+", "".
std::string_view DisplayPrefix(ModifierState state);

// ---- the OEM key table ----------------------------------------------------------

// 20 bytes: entries 0 to 11 are the virtual-key codes of the keys named by the
// characters of kOemKeyChars ('b' is the key named "BackSlash"); 12 to 19 are
// spare (0).
using OemKeyTable = std::array<std::uint8_t, 20>;
inline constexpr std::string_view kOemKeyChars = "b-^\\@[;:],./";
inline constexpr int kOemKeyCount = 12;
// E2, BD, DE, DC, C0, DB, BB, BA, DD, BC, BE, BF and eight zeros.
OemKeyTable DefaultOemKeys();

// ---- key names ---------------------------------------------------------------------

struct KeyName {
  std::string_view name;  // as the key definition file writes it
  std::uint8_t vk;        // 0 for "BackSlash": its code is OEM key table entry 0
};
// The 27 names in file order: "BackSlash", "Up", ..., "Enter", "Tab", "F1" to "F12".
std::span<const KeyName> KeyNames();

inline constexpr std::uint8_t kVkBack = 0x08, kVkTab = 0x09, kVkReturn = 0x0D, kVkShift = 0x10,
                              kVkControl = 0x11, kVkSpace = 0x20, kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23,
                              kVkHome = 0x24, kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28,
                              kVkInsert = 0x2D, kVkDelete = 0x2E, kVkF1 = 0x70, kVkF12 = 0x7B;

inline bool IsFunctionKey(std::uint8_t vk) { return vk >= kVkF1 && vk <= kVkF12; }

// How a key is shown in menu labels and the key customisation dialog: digits
// and letters as themselves, OEM keys as their character (OEM entry 0 as
// "BackSlash"), named keys by name with "Ins" and "Del" for Insert and Delete;
// nullopt for a key without a name.
std::optional<std::string> KeyDisplayName(const OemKeyTable& oem, std::uint8_t vk);

// The first key bound to the command, searching the tables in state order and
// each by ascending key code, as display prefix + display name
// ("Ctrl+Shift+F5"); "" when no key with a name is bound to it.
std::string KeyLabel(const KeyTables& tables, const OemKeyTable& oem, CommandCode code);

// ---- the message loop's key decision --------------------------------------------------

// Ctrl and Shift give state 1, Ctrl alone 0, Shift alone 2 but only for a key
// flagged for Shift (others count as unmodified), neither 3.
ModifierState ComputeModifierState(bool ctrl, bool shift, bool shiftFlaggedKey);

// The keys flagged for Shift by default (Enter, Space, Tab, BackSpace, the
// arrows, Insert, Delete, Home, End, PageUp, PageDown and F1 to F12): the keys
// whose Shift combinations the key definition file can bind.
bool DefaultShiftFlagged(std::uint8_t vk);

enum class KeyAction {
  Command,   // run (and record) `command`
  PlainKey,  // typing or caret movement
};

struct KeyDecision {
  KeyAction action = KeyAction::PlainKey;
  CommandCode command = kNoCommand;
  // Whether the key-down is translated into character messages before it is
  // dispatched.
  bool translate = true;
  friend bool operator==(const KeyDecision&, const KeyDecision&) = default;
};

// A key-down to an edit view or a search combo box. In states 0 to 2, and for
// F1 to F12 in any state, the key runs the command of its state's table when
// it has one. In states 0 to 2 the key is not translated, except while the
// input method is open and composing or the key has no command; a Shift key
// without a command is translated too, so that an unbound Shift+Enter or
// Shift+Space types its line break or blank.
KeyDecision DecideKey(const KeyTables& tables, ModifierState state, std::uint8_t vk, bool imeOpen, bool composing);

}  // namespace gorvane::commands
