#include "commands/key_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace gorvane::commands {
namespace {

constexpr std::uint8_t kF2 = 0x71, kF3 = 0x72, kF4 = 0x73, kF5 = 0x74;

TEST(KeyTables, DefaultsAndNames) {
  EXPECT_EQ(DefaultOemKeys(), (OemKeyTable{0xE2, 0xBD, 0xDE, 0xDC, 0xC0, 0xDB, 0xBB, 0xBA, 0xDD, 0xBC, 0xBE, 0xBF}));
  const auto names = KeyNames();
  ASSERT_EQ(names.size(), 27u);
  EXPECT_EQ(names[0].name, "BackSlash");
  EXPECT_EQ(names[5].name, "Insert");
  EXPECT_EQ(names[5].vk, 0x2D);
  EXPECT_EQ(names[13].name, "Enter");
  EXPECT_EQ(names[13].vk, 0x0D);
  EXPECT_EQ(names[26].name, "F12");
  EXPECT_EQ(names[26].vk, 0x7B);
}

TEST(KeyLabel, DisplayNames) {
  const OemKeyTable oem = DefaultOemKeys();
  const struct {
    ModifierState state;
    std::uint8_t vk;
    const char* label;
  } cases[] = {
      {kStateCtrl, 'A', "Ctrl+A"},
      {kStateCtrl, '1', "Ctrl+1"},
      {kStateCtrlShift, kF5, "Ctrl+Shift+F5"},
      {kStateShift, kVkReturn, "Shift+Enter"},
      {kStateNone, kF3, "F3"},
      {kStateCtrl, kVkInsert, "Ctrl+Ins"},
      {kStateShift, kVkDelete, "Shift+Del"},
      {kStateCtrl, kVkPrior, "Ctrl+PageUp"},
      {kStateCtrl, kVkBack, "Ctrl+BackSpace"},
      {kStateCtrl, 0xBD, "Ctrl+-"},
      {kStateCtrlShift, 0xDC, "Ctrl+Shift+\\"},
      {kStateCtrl, 0xBF, "Ctrl+/"},
      {kStateCtrl, 0xE2, "Ctrl+BackSlash"},
  };
  for (const auto& c : cases) {
    KeyTables tables;
    tables.Set(c.state, c.vk, kSearchUp);
    EXPECT_EQ(KeyLabel(tables, oem, kSearchUp), c.label);
    EXPECT_EQ(KeyLabel(tables, oem, kSearchDown), "");
  }
}

TEST(KeyLabel, FirstBindingInTableOrder) {
  const OemKeyTable oem = DefaultOemKeys();
  KeyTables tables;
  tables.Set(kStateNone, kF2, kUndo);
  tables.Set(kStateShift, kVkBack, kUndo);
  tables.Set(kStateCtrlShift, 'U', kUndo);
  tables.Set(kStateCtrl, 'Z', kUndo);
  tables.Set(kStateCtrl, 'B', kUndo);
  EXPECT_EQ(KeyLabel(tables, oem, kUndo), "Ctrl+B");  // ascending key code within a table
  tables.Set(kStateCtrl, 'Z', kNoCommand);
  tables.Set(kStateCtrl, 'B', kNoCommand);
  EXPECT_EQ(KeyLabel(tables, oem, kUndo), "Ctrl+Shift+U");
  tables.Set(kStateCtrlShift, 'U', kNoCommand);
  EXPECT_EQ(KeyLabel(tables, oem, kUndo), "Shift+BackSpace");
  tables.Set(kStateShift, kVkBack, kNoCommand);
  EXPECT_EQ(KeyLabel(tables, oem, kUndo), "F2");
  EXPECT_EQ(KeyLabel(tables, oem, kNoCommand), "");
}

TEST(KeyLabel, OemKeysFollowTheOemTable) {
  OemKeyTable oem = DefaultOemKeys();
  oem[1] = 0xE0;  // "-" registered on another key: 0xBD has no name any more
  KeyTables tables;
  tables.Set(kStateCtrl, 0xBD, kRedo);
  tables.Set(kStateCtrlShift, 'R', kRedo);
  EXPECT_EQ(KeyLabel(tables, oem, kRedo), "Ctrl+Shift+R");
  tables.Set(kStateCtrl, 0xE0, kRedo);
  EXPECT_EQ(KeyLabel(tables, oem, kRedo), "Ctrl+-");
}

TEST(ModifierStates, FromCtrlShiftAndFlag) {
  const struct {
    bool ctrl, shift, flagged;
    ModifierState state;
  } cases[] = {
      {true, false, false, kStateCtrl},       {true, false, true, kStateCtrl},
      {true, true, false, kStateCtrlShift},   {true, true, true, kStateCtrlShift},
      {false, true, true, kStateShift},       {false, true, false, kStateNone},
      {false, false, true, kStateNone},       {false, false, false, kStateNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComputeModifierState(c.ctrl, c.shift, c.flagged), c.state) << c.ctrl << c.shift << c.flagged;
  }
}

TEST(ModifierStates, DefaultShiftFlags) {
  for (int vk : {0x0D, 0x20, 0x09, 0x08, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x24, 0x23, 0x21, 0x22, 0x70, 0x7B}) {
    EXPECT_TRUE(DefaultShiftFlagged(static_cast<std::uint8_t>(vk))) << vk;
  }
  for (int vk : {0x00, 0x41, 0x31, 0xBD, 0xE2, 0x10, 0x11, 0x13, 0x2C, 0x7C}) {
    EXPECT_FALSE(DefaultShiftFlagged(static_cast<std::uint8_t>(vk))) << vk;
  }
}

TEST(DecideKey, CommandsTranslationAndTheInputMethod) {
  KeyTables t;
  t.Set(kStateCtrl, 'C', kCopy);
  t.Set(kStateCtrlShift, 'Z', kRedo);
  t.Set(kStateShift, kF3, kSearchUp);
  t.Set(kStateShift, kVkBack, kDeleteLine);
  t.Set(kStateNone, kF3, kSearchDown);
  t.Set(kStateNone, 'A', kSelectAll);  // only function keys are looked up unmodified
  t.Set(kStateNone, kVkReturn, kInsertLine);

  constexpr auto kCommand = KeyAction::Command;
  constexpr auto kPlain = KeyAction::PlainKey;
  const struct {
    const char* what;
    ModifierState state;
    std::uint8_t vk;
    bool imeOpen, composing;
    KeyDecision expected;
  } cases[] = {
      {"Ctrl+C", kStateCtrl, 'C', false, false, {kCommand, kCopy, false}},
      {"Ctrl+C, input method open", kStateCtrl, 'C', true, false, {kCommand, kCopy, false}},
      {"Ctrl+C while composing", kStateCtrl, 'C', true, true, {kCommand, kCopy, true}},
      {"Ctrl+Q unbound", kStateCtrl, 'Q', false, false, {kPlain, kNoCommand, false}},
      {"Ctrl+Q unbound, input method open", kStateCtrl, 'Q', true, false, {kPlain, kNoCommand, true}},
      {"Ctrl+Shift+Z", kStateCtrlShift, 'Z', false, false, {kCommand, kRedo, false}},
      {"Ctrl+Shift+Q unbound", kStateCtrlShift, 'Q', false, false, {kPlain, kNoCommand, false}},
      {"Shift+F3", kStateShift, kF3, false, false, {kCommand, kSearchUp, false}},
      {"Shift+BackSpace", kStateShift, kVkBack, false, false, {kCommand, kDeleteLine, false}},
      {"Shift+Enter unbound types a line break", kStateShift, kVkReturn, false, false, {kPlain, kNoCommand, true}},
      {"Shift+Space unbound types a blank", kStateShift, kVkSpace, false, false, {kPlain, kNoCommand, true}},
      {"Shift+Up unbound", kStateShift, kVkUp, false, false, {kPlain, kNoCommand, true}},
      {"F3", kStateNone, kF3, false, false, {kCommand, kSearchDown, true}},
      {"F3, input method open", kStateNone, kF3, true, true, {kCommand, kSearchDown, true}},
      {"F4 unbound", kStateNone, kF4, false, false, {kPlain, kNoCommand, true}},
      {"A", kStateNone, 'A', false, false, {kPlain, kNoCommand, true}},
      {"Enter", kStateNone, kVkReturn, false, false, {kPlain, kNoCommand, true}},
  };
  for (const auto& c : cases) EXPECT_EQ(DecideKey(t, c.state, c.vk, c.imeOpen, c.composing), c.expected) << c.what;
}

// From the keys held to the decision: Shift with an unflagged key types the
// shifted character; Shift+Enter without a binding still breaks the line.
TEST(DecideKey, ShiftedKeysEndToEnd) {
  KeyTables t;
  t.Set(kStateShift, kVkTab, kPrevWord);
  const auto decide = [&](std::uint8_t vk) {
    return DecideKey(t, ComputeModifierState(false, true, DefaultShiftFlagged(vk)), vk, false, false);
  };
  EXPECT_EQ(decide('A'), (KeyDecision{KeyAction::PlainKey, kNoCommand, true}));
  EXPECT_EQ(decide(kVkReturn), (KeyDecision{KeyAction::PlainKey, kNoCommand, true}));
  EXPECT_EQ(decide(kVkSpace), (KeyDecision{KeyAction::PlainKey, kNoCommand, true}));
  EXPECT_EQ(decide(kVkTab), (KeyDecision{KeyAction::Command, kPrevWord, false}));
}

}  // namespace
}  // namespace gorvane::commands
