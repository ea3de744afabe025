#include "commands/key_tables.h"

namespace gorvane::commands {

namespace {

constexpr KeyName kKeyNames[] = {
    {"BackSlash", 0},      {"Up", kVkUp},           {"Down", kVkDown},     {"Left", kVkLeft},
    {"Right", kVkRight},   {"Insert", kVkInsert},   {"Delete", kVkDelete}, {"Home", kVkHome},
    {"End", kVkEnd},       {"PageUp", kVkPrior},    {"PageDown", kVkNext}, {"BackSpace", kVkBack},
    {"Space", kVkSpace},   {"Enter", kVkReturn},    {"Tab", kVkTab},       {"F1", 0x70},
    {"F2", 0x71},          {"F3", 0x72},            {"F4", 0x73},          {"F5", 0x74},
    {"F6", 0x75},          {"F7", 0x76},            {"F8", 0x77},          {"F9", 0x78},
    {"F10", 0x79},         {"F11", 0x7A},           {"F12", 0x7B},
};
static_assert(std::size(kKeyNames) == 27);

}  // namespace

std::string_view DisplayPrefix(ModifierState state) {
  switch (state) {
    case kStateCtrl: return "Ctrl+";
    case kStateCtrlShift: return "Ctrl+Shift+";
    case kStateShift: return "Shift+";
    case kStateNone: break;
  }
  return "";
}

OemKeyTable DefaultOemKeys() {
  return OemKeyTable{0xE2, 0xBD, 0xDE, 0xDC, 0xC0, 0xDB, 0xBB, 0xBA, 0xDD, 0xBC, 0xBE, 0xBF};
}

std::span<const KeyName> KeyNames() { return kKeyNames; }

std::optional<std::string> KeyDisplayName(const OemKeyTable& oem, std::uint8_t vk) {
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, static_cast<char>(vk));
  for (int i = 0; i < kOemKeyCount; ++i) {
    const std::uint8_t code = oem[static_cast<std::size_t>(i)];
    if (code == 0 || code != vk) continue;
    if (i == 0) return std::string("BackSlash");
    return std::string(1, kOemKeyChars[static_cast<std::size_t>(i)]);
  }
  for (const KeyName& k : kKeyNames) {
    if (k.vk == 0 || k.vk != vk) continue;
    if (vk == kVkInsert) return std::string("Ins");
    if (vk == kVkDelete) return std::string("Del");
    return std::string(k.name);
  }
  return std::nullopt;
}

std::string KeyLabel(const KeyTables& tables, const OemKeyTable& oem, CommandCode code) {
  if (code == kNoCommand) return {};
  for (int s = 0; s < kModifierStateCount; ++s) {
    const auto state = static_cast<ModifierState>(s);
    for (int vk = 0; vk < 256; ++vk) {
      if (tables.At(state, static_cast<std::uint8_t>(vk)) != code) continue;
      // A code in an entry no key name reaches cannot be shown; look further.
      if (const auto name = KeyDisplayName(oem, static_cast<std::uint8_t>(vk))) {
        return std::string(DisplayPrefix(state)) + *name;
      }
    }
  }
  return {};
}

ModifierState ComputeModifierState(bool ctrl, bool shift, bool shiftFlaggedKey) {
  if (ctrl) return shift ? kStateCtrlShift : kStateCtrl;
  if (shift && shiftFlaggedKey) return kStateShift;
  return kStateNone;
}

bool DefaultShiftFlagged(std::uint8_t vk) {
  for (const KeyName& k : kKeyNames) {
    if (k.vk != 0 && k.vk == vk) return true;
  }
  return false;
}

KeyDecision DecideKey(const KeyTables& tables, ModifierState state, std::uint8_t vk, bool imeOpen, bool composing) {
  const bool looksUp = state != kStateNone || IsFunctionKey(vk);
  const CommandCode code = looksUp ? tables.At(state, vk) : kNoCommand;
  KeyDecision d;
  if (code != kNoCommand) {
    d.action = KeyAction::Command;
    d.command = code;
  }
  if (state != kStateNone) {
    // Ctrl combinations without a command make no characters unless the input
    // method wants them; an unbound Shift key types as the plain key would.
    d.translate = (imeOpen && (composing || code == kNoCommand)) || (state == kStateShift && code == kNoCommand);
  }
  return d;
}

}  // namespace gorvane::commands
