#include "ipc/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace ipc = gorvane::ipc;
using ipc::Direction;
using ipc::FieldValue;
using ipc::MessageId;
using namespace std::string_literals;

namespace {

template <typename... A>
std::vector<FieldValue> V(A... a) {
  const auto one = [](auto x) -> FieldValue {
    if constexpr (std::is_arithmetic_v<decltype(x)>)
      return FieldValue{static_cast<std::int64_t>(x)};
    else
      return FieldValue{std::string(x)};
  };
  return {one(a)...};
}

constexpr Direction kToInfo = Direction::kEditorToInfoWindow;
constexpr Direction kToEditor = Direction::kInfoWindowToEditor;
constexpr Direction kBetween = Direction::kEditorToEditor;

// "マッチデータが長すぎます。" in Shift-JIS.
const std::string kTooLongNotice =
    "\x83\x7d\x83\x62\x83\x60\x83\x66\x81\x5b\x83\x5e\x82\xaa\x92\xb7\x82\xb7\x82\xac\x82\xdc\x82\xb7\x81\x42\r\n";

}  // namespace

// Every message of the catalogue, built by its own builder, read back in its
// direction with the same values; the generic builder gives the same bytes.
TEST(MessageCodec, EveryMessageRoundTrips) {
  struct Case {
    std::optional<std::string> built;
    MessageId id;
    std::vector<FieldValue> values;
  };
  const ipc::SearchSettings search{2, 0x41, true, false, "*.c;*.h", "find  me "};
  const ipc::ReplaceSettings replace{true, 1, 0x11, true, "*.txt", "old text", " new text"};
  const ipc::CompileSettingsData compile{0x285, "C:\\env dir\\vars.bat", "cl", "/c &ef /Fo x", "C:\\tags", "c;h"};
  const Case cases[] = {
      // editor to info window
      {ipc::BuildTestToInfoWindow(), MessageId::kTestToInfoWindow, {}},
      {ipc::BuildCantOpen(), MessageId::kCantOpen, {}},
      {ipc::BuildClosedToInfoWindow(12), MessageId::kClosedToInfoWindow, V(12)},
      {ipc::BuildCloseOk(), MessageId::kCloseOk, {}},
      {ipc::BuildActiveToInfoWindow(7702, 4294967295u), MessageId::kActiveToInfoWindow, V(7702, 4294967295u)},
      {ipc::BuildMoveWindowToInfoWindow({-8, -2147483647 - 1, 1280, 2147483647}, ipc::DockSide::kEditorLeft),
       MessageId::kMoveWindowToInfoWindow, V(-8, -2147483647 - 1, 1280, 2147483647, 1)},
      {ipc::BuildHideInfoWindow(), MessageId::kHideInfoWindow, {}},
      {ipc::BuildMarkJumpFile(3, "C:\\a b\\c.txt"), MessageId::kMarkJumpFile, V(3, "C:\\a b\\c.txt")},
      {ipc::BuildChangeEditFile(-6, 4, "D:\\new name.txt"), MessageId::kChangeEditFile, V(-6, 4, "D:\\new name.txt")},
      {ipc::BuildAddFileItemToInfoWindow(1, 7700, "C:\\x y.c", ""), MessageId::kAddFileItemToInfoWindow,
       V(1, 7700, "C:\\x y.c", "")},
      {ipc::BuildCheckProjectOptions(4, 2, "C:\\p.qvp"), MessageId::kCheckProjectOptions, V(4, 2, "C:\\p.qvp")},
      {ipc::BuildEditPos(), MessageId::kEditPos, {}},
      {ipc::BuildSetMarkJumpToInfoWindow(5, 6, 255, "a note "), MessageId::kSetMarkJumpToInfoWindow,
       V(5, 6, 255, 7, "a note ")},
      {ipc::BuildCheckMarkJumpToInfoWindow(5, 6, 0, ""), MessageId::kCheckMarkJumpToInfoWindow, V(5, 6, 0, 0, "")},
      {ipc::BuildCheckEndMarkJump(6), MessageId::kCheckEndMarkJump, V(6)},
      {ipc::BuildDeleteMarkJumpToInfoWindow(6, 9), MessageId::kDeleteMarkJumpToInfoWindow, V(6, 9)},
      {ipc::BuildSaveMarkJumpData(1, 6, "C:\\m.txt"), MessageId::kSaveMarkJumpData, V(1, 6, "C:\\m.txt")},
      {ipc::BuildSetSearchDataToInfoWindow(search), MessageId::kSetSearchDataToInfoWindow,
       V(2, 0x41, 1, 0, "*.c;*.h", "find  me ")},
      {ipc::BuildSetReplaceDataToInfoWindow(replace), MessageId::kSetReplaceDataToInfoWindow,
       V(1, 0x11, 1, "*.txt", "old text", " new text")},
      {ipc::BuildProjectSearchToInfoWindow(8), MessageId::kProjectSearchToInfoWindow, V(8)},
      {ipc::BuildProjectReplaceToInfoWindow(8), MessageId::kProjectReplaceToInfoWindow, V(8)},
      {ipc::BuildSearchCancel(), MessageId::kSearchCancel, {}},
      {ipc::BuildReplaceCancel(), MessageId::kReplaceCancel, {}},
      {ipc::BuildDisplaySearch(), MessageId::kDisplaySearch, {}},
      {ipc::BuildSearchFile(true, "C:\\s.txt"), MessageId::kSearchFile, V(1, "C:\\s.txt")},
      {ipc::BuildSearchLine({65535, 4294967295u, 65535, 2147483647}, "x (1): y\r\n"), MessageId::kSearchLine,
       V(65535, 4294967295u, 65535, 2147483647, "x (1): y\r\n")},
      {ipc::BuildSearchEnd(-12), MessageId::kSearchEnd, V(-12)},
      {ipc::BuildReplaceEnd(-1), MessageId::kReplaceEnd, V(-1)},
      {ipc::BuildReplaceStop(40), MessageId::kReplaceStop, V(40)},
      {ipc::BuildReplaceError(0), MessageId::kReplaceError, V(0)},
      {ipc::BuildTelnetText(0, "\x03"), MessageId::kTelnetText, V(0, "\x03")},
      {ipc::BuildDisplayCompile(), MessageId::kDisplayCompile, {}},
      {ipc::BuildCompileEnd(), MessageId::kCompileEnd, {}},
      {ipc::BuildReadTagFile("C:\\my tags"), MessageId::kReadTagFile, V("C:\\my tags")},
      {ipc::BuildRemoteReadTagFile("/home/u/tags"), MessageId::kRemoteReadTagFile, V(1, "/home/u/tags")},
      {ipc::BuildRemoteCompileStart(3, "make", "-C src all"), MessageId::kRemoteCompileStart,
       V(3, "make", "-C src all")},
      {ipc::BuildTidToInfoWindow(65535, 77), MessageId::kTidToInfoWindow, V(65535, 77)},
      {ipc::BuildTidSetOkToInfoWindow(0), MessageId::kTidSetOkToInfoWindow, V(0)},
      {ipc::BuildActiveOkToInfoWindow(1), MessageId::kActiveOkToInfoWindow, V(1)},
      {ipc::BuildBulkCrlfReturn(true), MessageId::kBulkCrlfReturn, V(1)},
      {ipc::BuildInfoDestroy(), MessageId::kInfoDestroy, {}},
      // info window to editor
      {ipc::BuildTestToEditor(), MessageId::kTestToEditor, {}},
      {ipc::BuildDeadUnlock(), MessageId::kDeadUnlock, {}},
      {ipc::BuildClosedToEditor(3), MessageId::kClosedToEditor, V(3)},
      {ipc::BuildSave(), MessageId::kSave, {}},
      {ipc::BuildActiveToEditor({17, 5, 12, 4321, 3, " two  blanks "}), MessageId::kActiveToEditor,
       V(17, 5, 12, 4321, 3, " two  blanks ")},
      {ipc::BuildExecMarkJump(200, 99, 2), MessageId::kExecMarkJump, V(200, 99, 2)},
      {ipc::BuildTidToEditor(4, 88), MessageId::kTidToEditor, V(4, 88)},
      {ipc::BuildTidSetOkToEditor(), MessageId::kTidSetOkToEditor, {}},
      {ipc::BuildActiveOkToEditor(), MessageId::kActiveOkToEditor, {}},
      {ipc::BuildSetMarkJumpResult(false), MessageId::kSetMarkJumpResult, V(0)},
      {ipc::BuildCheckMarkJumpResult(true), MessageId::kCheckMarkJumpResult, V(1)},
      {ipc::BuildSaveMarkJumpDataOk(), MessageId::kSaveMarkJumpDataOk, {}},
      {ipc::BuildDeleteMarkJumpToEditor(0), MessageId::kDeleteMarkJumpToEditor, V(0)},
      {ipc::BuildAddFileItemReturn(31), MessageId::kAddFileItemReturn, V(31)},
      {ipc::BuildDeleteFileItem(), MessageId::kDeleteFileItem, {}},
      {ipc::BuildAddFileItemToEditor(9), MessageId::kAddFileItemToEditor, V(9)},
      {ipc::BuildMoveWindowToEditor({10, 20, 30, 40}, ipc::DockSide::kEditorRight), MessageId::kMoveWindowToEditor,
       V(10, 20, 30, 40, 2)},
      {ipc::BuildProjectSearchToEditor(2, 0x40, "a.*b c"), MessageId::kProjectSearchToEditor, V(2, 0x40, "a.*b c")},
      {ipc::BuildProjectReplaceToEditor(2, 1, "from it", "to it"), MessageId::kProjectReplaceToEditor,
       V(2, 1, "from it", "to it")},
      {ipc::BuildProjectSearchEnd(), MessageId::kProjectSearchEnd, {}},
      {ipc::BuildProjectReplaceEnd(), MessageId::kProjectReplaceEnd, {}},
      {ipc::BuildRemoteCompileEnd(-5), MessageId::kRemoteCompileEnd, V(-5)},
      {ipc::BuildBackgroundViewEnter(), MessageId::kBackgroundViewEnter, {}},
      {ipc::BuildBackgroundViewLeave(), MessageId::kBackgroundViewLeave, {}},
      {ipc::BuildBulkCrlf(7, 6, 3), MessageId::kBulkCrlf, V(7, 6, 3)},
      // editor to editor
      {ipc::BuildTestToOtherEditor(), MessageId::kTestToOtherEditor, {}},
      {ipc::BuildInstanceActive(1234, 7702), MessageId::kInstanceActive, V(1234, 7702)},
      {ipc::BuildTidInstance(2, 5678), MessageId::kTidInstance, V(2, 5678)},
      {ipc::BuildTidSetOkToOtherEditor(), MessageId::kTidSetOkToOtherEditor, {}},
      {ipc::BuildActiveOkToOtherEditor(), MessageId::kActiveOkToOtherEditor, {}},
      {ipc::BuildAutoSave(3), MessageId::kAutoSave, V(3)},
      {ipc::BuildAutoSaveAnswer(false), MessageId::kAutoSaveAnswer, V(0)},
      {ipc::BuildRedraw(true), MessageId::kRedraw, V(1)},
      {ipc::BuildAutoSetAreaSel(), MessageId::kAutoSetAreaSel, {}},
      {ipc::BuildKeyCustom(), MessageId::kKeyCustom, {}},
      {ipc::BuildWindowMenu(), MessageId::kWindowMenu, {}},
      {ipc::BuildCreateIsData(), MessageId::kCreateIsData, {}},
      {ipc::BuildCompileData(compile), MessageId::kCompileData,
       V(0x285, "C:\\env dir\\vars.bat", "cl", "/c &ef /Fo x", "C:\\tags", "c;h")},
      {ipc::BuildSetSearchDataToOtherEditor(search), MessageId::kSetSearchDataToOtherEditor,
       V(2, 0x41, 1, 0, "*.c;*.h", "find  me ")},
      {ipc::BuildSetReplaceDataToOtherEditor(replace), MessageId::kSetReplaceDataToOtherEditor,
       V(1, 1, 0x11, 1, "*.txt", "old text", " new text")},
  };
  std::set<MessageId> covered;
  for (const Case& c : cases) {
    const ipc::MessageSpec& spec = ipc::SpecOf(c.id);
    SCOPED_TRACE(std::string(spec.tag));
    covered.insert(c.id);
    ASSERT_TRUE(c.built.has_value());
    ASSERT_FALSE(c.built->empty());
    EXPECT_EQ(c.built->back(), '\0');
    EXPECT_EQ(ipc::TagOf(*c.built), spec.tag);
    const auto parsed = ipc::ParseMessage(*c.built, spec.direction);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->id, c.id);
    EXPECT_EQ(parsed->fields, c.values);
    EXPECT_EQ(ipc::BuildMessage(c.id, c.values), c.built);
  }
  // A message added to the catalogue needs its case here.
  for (const ipc::MessageSpec& spec : ipc::Catalogue())
    EXPECT_TRUE(covered.count(spec.id)) << "no round trip for " << spec.tag << " in direction "
                                        << static_cast<int>(spec.direction);
}

TEST(MessageCodec, ExactBytes) {
  struct Case {
    std::optional<std::string> got;
    std::string expected;
  } cases[] = {
      {ipc::BuildTestToInfoWindow(), "@TEST@\0"s},
      {ipc::BuildActiveToInfoWindow(3, 1234), "@ACTIVE@ 3 1234\0"s},
      {ipc::BuildClosedToEditor(0), "@CLOSED@ 0\0"s},
      {ipc::BuildSearchLine({5, 1, 12, 17}, "text"), "@SCHLINE@ 000500000001000c (17): text\r\n\0"s},
      // A line that already ends in CR LF gets no second one; a bare LF does.
      {ipc::BuildSearchLine({1, 2, 3, 1}, "ab\r\n"), "@SCHLINE@ 0001000000020003 (1): ab\r\n\0"s},
      {ipc::BuildSearchLine({0x1a2, 0x10, 0x100, 9}, "x\n"), "@SCHLINE@ 01a2000000100100 (9): x\n\r\n\0"s},
      {ipc::BuildSearchEnd(-11, ipc::Nul::kOmit), "@SEARCHEND@ -11"},
      {ipc::BuildReplaceEnd(7, ipc::Nul::kOmit), "@REPLACEEND@ 7"},
      {ipc::BuildSearchEnd(4), "@SEARCHEND@ 4\0"s},
      {ipc::BuildReplaceError(3), "@REPLACEERROR 3\0"s},
      {ipc::BuildAddFileItemToInfoWindow(1, 2, "C:\\My Files\\a.txt", ""),
       "@ADDFILEITEM@ 1 2 \"C:\\My Files\\a.txt\" \"\"\0"s},
      {ipc::BuildSetMarkJumpToInfoWindow(4, 7, 12, "two words"), "@SETMARKJUMP@ 4 7 12 9 two words\0"s},
      {ipc::BuildSetSearchDataToInfoWindow({1, 3, false, true, "", "a b"}), "@SETSCHDATA@ 1 3 0 1  a b\0"s},
      {ipc::BuildSetReplaceDataToInfoWindow({true, 1, 65, true, "*.c;*.h", "a b", "c d"}),
       "@SETREPDATA@ 1 65 1 *.c;*.h a b\x01"s + "c d\0"s},
      {ipc::BuildSetReplaceDataToOtherEditor({true, 1, 65, true, "*.c;*.h", "a b", "c d"}),
       "@SETREPDATA@ 1 1 65 1 *.c;*.h a b\x01"s + "c d\0"s},
      {ipc::BuildCompileData({645, "env.bat", "cl", "/c &ef", "tags", "c;h"}),
       "@COMPILEDATA@ 645 env.bat\x08"s + "cl\x08"s + "/c &ef\x08"s + "tags\x08"s + "c;h\0"s},
      {ipc::BuildRemoteReadTagFile("C:\\t\\tags"), "@TREADTAGFILE@ 1 C:\\t\\tags\0"s},
      {ipc::BuildRemoteReadTagFile(std::nullopt), "@TREADTAGFILE@ 0\0"s},
      {ipc::BuildReadTagFile("C:\\tags"), "@READTAGFILE@ C:\\tags\0"s},
      {ipc::BuildTelnetText(1, "echo :CompileEnd#"), "@CONNTELNETSTR@ 1 echo :CompileEnd#\0"s},
      {ipc::BuildMoveWindowToInfoWindow({-8, 0, 1280, 1024}, ipc::DockSide::kEditorRight),
       "@MOVEWINDOW@ -8 0 1280 1024 2\0"s},
      {ipc::BuildActiveToEditor({17, 5, 12, 4321, 3, "foo bar"}), "@ACTIVE@ 17 0005 000c 4321 3 foo bar\0"s},
      {ipc::BuildActiveToInfoWindow(7702, 4294967295u), "@ACTIVE@ 7702 4294967295\0"s},
      {ipc::BuildInstanceActive(99, 7702), "@INSTACTIVE@ 99 7702\0"s},
      {ipc::BuildAutoSaveAnswer(true), "@ANSAUTOSAVE@ 1\0"s},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.got.has_value()) << c.expected;
    EXPECT_EQ(*c.got, c.expected);
  }
}

// The end reports without their NUL read the same as with it.
TEST(MessageCodec, EndReportWithoutNulParses) {
  const auto m = ipc::ParseMessage(*ipc::BuildSearchEnd(-2, ipc::Nul::kOmit), kToInfo);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->id, MessageId::kSearchEnd);
  EXPECT_EQ(m->Number(0), -2);
}

// A line too long for one message is replaced by a notice; one byte shorter
// still goes whole.
TEST(MessageCodec, OverlongSearchLineBecomesNotice) {
  const std::string longest(0x8000 - 523 - 1, 'x');
  const auto kept = ipc::BuildSearchLine({5, 1, 12, 17}, longest);
  ASSERT_TRUE(kept.has_value());
  const auto parsed = ipc::ParseMessage(*kept, kToInfo);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->Text(4), longest + "\r\n");
  EXPECT_EQ(parsed->Number(2), 12);

  const auto replaced = ipc::BuildSearchLine({5, 3, 40000, 17}, longest + "x");
  ASSERT_TRUE(replaced.has_value());
  EXPECT_EQ(*replaced, "@SCHLINE@ 0005000000010000 (17): "s + kTooLongNotice + "\0"s);
}

TEST(MessageCodec, TagOf) {
  const struct {
    std::string received, tag;
  } cases[] = {
      {"@SAVE@", "@SAVE@"},
      {"@SAVEMJDATA_OK@\0"s, "@SAVEMJDATA_OK@"},
      {"@ACTIVE@ 3 4", "@ACTIVE@"},
      {"@REPLACEERROR 3", "@REPLACEERROR"},
      {"@REPLACEERROR", "@REPLACEERROR"},
      {"@REPLACEERRORS 3", ""},
      {"@SAVE", ""},
      {"SAVE@", ""},
      {" @SAVE@", ""},
      {"@@", ""},
      {"@@CLOSED@ 0", ""},
      {"@save@", ""},
      {"", ""},
      {"@TEST@\0@SAVE@"s, "@TEST@"},
      {"@\0SAVE@"s, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ipc::TagOf(c.received), c.tag) << c.received;
}

TEST(MessageCodec, RejectsWhatDoesNotMatchItsLayout) {
  const struct {
    std::string received;
    Direction direction;
  } cases[] = {
      // not a message, unknown tags, known tags in the wrong direction
      {"", kToEditor},
      {"CLOSED@ 0", kToEditor},
      {" @CLOSED@ 0", kToEditor},
      {"@NOSUCH@ 1", kToEditor},
      {"@REPLACEERROR@ 3", kToInfo},
      {"@SAVE@", kToInfo},
      {"@SAVE@", kBetween},
      {"@INSTACTIVE@ 5 3", kToInfo},
      {"@SCHLINE@ 000500000001000c (17): text\r\n", kToEditor},
      {"@ACTIVE@ 3 1234", kToEditor},  // the layout an info window gets
      // field counts and separators
      {"@ACTIVE@ 3", kToInfo},
      {"@ACTIVE@ 3 1234 5", kToInfo},
      {"@ACTIVE@ 3 1234 ", kToInfo},
      {"@ACTIVE@  3 1234", kToInfo},
      {"@ACTIVE@ 3  1234", kToInfo},
      {"@ACTIVE@3 1234", kToInfo},
      {"@ACTIVE@ 3\t1234", kToInfo},
      {"@TEST@ ", kToInfo},
      {"@TEST@x", kToEditor},
      {"@SAVEMJDATA_OK@ 1", kToEditor},
      // numbers
      {"@ACTIVE@ x 1234", kToInfo},
      {"@ACTIVE@ 3 12a4", kToInfo},
      {"@ACTIVE@ +3 1234", kToInfo},
      {"@ACTIVE@ 03 1234", kToInfo},
      {"@ACTIVE@ -3 1234", kToInfo},
      {"@ACTIVE@ 0 1234", kToInfo},
      {"@ACTIVE@ 7701 1234", kToInfo},
      {"@ACTIVE@ 7703 1234", kToInfo},
      {"@ACTIVE@ 3 4294967296", kToInfo},
      {"@ACTIVE@ 3 -1", kToInfo},
      {"@SEARCHEND@ -0", kToInfo},
      {"@SEARCHEND@ -", kToInfo},
      {"@SEARCHEND@ 2147483648", kToInfo},
      {"@SEARCHEND@ -2147483649", kToInfo},
      {"@SEARCHEND@ 99999999999999999999999", kToInfo},
      {"@EXECMJRET@ 256 1 0", kToEditor},
      {"@TIDSETOK@ 65536", kToInfo},
      {"@ADDFIRET@ -1", kToEditor},
      {"@BULKCRLF@ 1 7 1", kToEditor},
      {"@MOVEWINDOW@ 0 0 1 1 3", kToEditor},
      {"@REDRAW@ 2", kBetween},
      // close requests: modes 0 to 3 only
      {"@CLOSED@ -1", kToEditor},
      {"@CLOSED@ 4", kToEditor},
      {"@CLOSED@ 9", kToEditor},
      {"@CLOSED@", kToEditor},
      // quoted texts
      {"@ADDFILEITEM@ 1 2 \"C:\\a.txt \"\"", kToInfo},
      {"@ADDFILEITEM@ 1 2 C:\\a.txt\" \"\"", kToInfo},
      {"@ADDFILEITEM@ 1 2 \"a\" \"b", kToInfo},
      {"@ADDFILEITEM@ 1 2 \"a\" \"b\" ", kToInfo},
      {"@ADDFILEITEM@ 1 2 \"a\"\"b\"", kToInfo},
      {"@ADDFILEITEM@ 1 2 \"a\"", kToInfo},
      // texts and tokens
      {"@SETMARKJUMP@ 4 7 12 8 two words", kToInfo},
      {"@SETMARKJUMP@ 4 7 12 10 two words", kToInfo},
      {"@SETSCHDATA@ 1 3 0 1 *.c ", kToInfo},  // no search text
      {"@SETSCHDATA@ 1 3 0 1 *.c", kToInfo},
      {"@SETREPDATA@ 1 65 1 *.c a b c d", kToInfo},  // no 0x01
      {"@TELNETCOMPILESTART@ 3  args", kToInfo},   // no command
      {"@TELNETCOMPILESTART@ 3 make", kToInfo},
      {"@COMPILEDATA@ 5 a\x08"s + "b\x08"s + "c\x08"s, kBetween},
      {"@COMPILEDATA@ 2048 a\x08"s + "b\x08"s + "c\x08"s + "d\x08"s + "e", kBetween},
      {"@MJMMFILE@ 3", kToInfo},
      {"@READTAGFILE@", kToInfo},
      // the remote tag file: a path exactly after "1"
      {"@TREADTAGFILE@ 0 C:\\tags", kToInfo},
      {"@TREADTAGFILE@ 0 ", kToInfo},
      {"@TREADTAGFILE@ 1", kToInfo},
      {"@TREADTAGFILE@ 2 x", kToInfo},
      // search lines
      {"@SCHLINE@ 000A00000001000c (17): text\r\n", kToInfo},
      {"@SCHLINE@ 000500000001000 (17): text\r\n", kToInfo},
      {"@SCHLINE@ 000500000001000c0 (17): text\r\n", kToInfo},
      {"@SCHLINE@ 000500000001000c (17):text\r\n", kToInfo},
      {"@SCHLINE@ 000500000001000c (0): text\r\n", kToInfo},
      {"@SCHLINE@ 000500000001000c (17): text", kToInfo},
      {"@SCHLINE@ 000500000001000c 17: text\r\n", kToInfo},
      // the jump's hexadecimal fields: 4 to 16 digits
      {"@ACTIVE@ 17 005 000c 4321 3 t", kToEditor},
      {"@ACTIVE@ 17 0005x 000c 4321 3 t", kToEditor},
      {"@ACTIVE@ 17 00050000000100000 000c 4321 3 t", kToEditor},
      {"@ACTIVE@ 17 0005 000c 4321 3", kToEditor},
  };
  for (const auto& c : cases)
    EXPECT_FALSE(ipc::ParseMessage(c.received, c.direction).has_value())
        << c.received << " (direction " << static_cast<int>(c.direction) << ")";
}

TEST(MessageCodec, JumpTakesTheFirstFourHexDigits) {
  const auto m = ipc::ParseMessage("@ACTIVE@ 17 000500000001000C 000C 4321 3 t", kToEditor);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->Number(1), 5);
  EXPECT_EQ(m->Number(2), 12);
}

TEST(MessageCodec, MessageSizeLimits) {
  // "@ACTIVE@ 17 0005 000c 4321 3 " + text + NUL: exactly as large as an
  // editor takes, then one byte more.
  const std::string head = "@ACTIVE@ 17 0005 000c 4321 3 ";
  const std::string fits = head + std::string(ipc::kMaxEditorMessageBytes - head.size() - 1, 'x') + "\0"s;
  ASSERT_EQ(fits.size(), ipc::kMaxEditorMessageBytes);
  EXPECT_TRUE(ipc::ParseMessage(fits, kToEditor).has_value());
  EXPECT_FALSE(ipc::ParseMessage("@ACTIVE@ 17 0005 000c 4321 3 x"s + fits.substr(head.size()), kToEditor));
  // Without its NUL the same text is too long as well.
  EXPECT_FALSE(ipc::ParseMessage(fits.substr(0, fits.size() - 1) + "x", kToEditor).has_value());
  // A short message in an over-long read.
  std::string padded = "@SAVE@\0"s;
  padded.resize(ipc::kMaxEditorMessageBytes + 1, 'x');
  EXPECT_FALSE(ipc::ParseMessage(padded, kToEditor).has_value());
  // The builder stops at the same size.
  const std::size_t room = ipc::kMaxEditorMessageBytes - head.size() - 1;
  EXPECT_TRUE(ipc::BuildActiveToEditor({17, 5, 12, 4321, 3, std::string(room, 'x')}).has_value());
  EXPECT_FALSE(ipc::BuildActiveToEditor({17, 5, 12, 4321, 3, std::string(room + 1, 'x')}).has_value());

  // To the info window: up to kMaxMessageBytes.
  const std::string line = "@SCHLINE@ 000500000001000c (17): ";
  std::string big = line + std::string(ipc::kMaxMessageBytes - line.size() - 3, 'y') + "\r\n\0"s;
  ASSERT_EQ(big.size(), ipc::kMaxMessageBytes);
  EXPECT_TRUE(ipc::ParseMessage(big, kToInfo).has_value());
  big.insert(big.begin() + static_cast<std::ptrdiff_t>(line.size()), 'y');
  EXPECT_FALSE(ipc::ParseMessage(big, kToInfo).has_value());
}

TEST(MessageCodec, TrailingTextKeepsItsBlanks) {
  const auto path = ipc::ParseMessage("@SAVEMARKJUMPDATA@ 3 7 C:\\My Documents\\a  b .txt \0"s, kToInfo);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->Text(2), "C:\\My Documents\\a  b .txt ");
  const auto jump = ipc::ParseMessage("@ACTIVE@ 1 0001 0002 3 4   lead and trail  ", kToEditor);
  ASSERT_TRUE(jump.has_value());
  EXPECT_EQ(jump->Text(5), "  lead and trail  ");
  const auto search = ipc::ParseMessage("@SETSCHDATA@ 0 0 0 0   \0"s, kBetween);  // empty file types, text " "
  ASSERT_TRUE(search.has_value());
  EXPECT_EQ(search->Text(4), "");
  EXPECT_EQ(search->Text(5), " ");
}

TEST(MessageCodec, NulEndsTheReceivedText) {
  const auto m = ipc::ParseMessage("@ACTIVE@ 3 1234\0 99 garbage"s, kToInfo);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->fields, V(3, 1234));
  EXPECT_FALSE(ipc::ParseMessage("@ACTIVE@ 3\0 1234"s, kToInfo).has_value());
  const auto note = ipc::ParseMessage("@SETMARKJUMP@ 4 7 12 3 abc\0def"s, kToInfo);
  ASSERT_TRUE(note.has_value());
  EXPECT_EQ(note->Text(4), "abc");
}

TEST(MessageCodec, EditorInboxTakesBothSenders) {
  const auto fromInfo = ipc::ParseForEditor(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>("@CLOSED@ 2"), 10));
  ASSERT_TRUE(fromInfo.has_value());
  EXPECT_EQ(fromInfo->id, MessageId::kClosedToEditor);
  const std::string autosave = *ipc::BuildAutoSave(5);
  const auto fromEditor = ipc::ParseForEditor(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(autosave.data()), autosave.size()));
  ASSERT_TRUE(fromEditor.has_value());
  EXPECT_EQ(fromEditor->id, MessageId::kAutoSave);
  EXPECT_EQ(fromEditor->Number(0), 5);
  // What an editor sends its info window is nothing an editor takes.
  const std::string active = *ipc::BuildActiveToInfoWindow(3, 1234);
  EXPECT_FALSE(ipc::ParseForEditor(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(active.data()), active.size())));
}

// A build that prints "@CLOSED@ 0" must not tell the info window that
// document 0 has closed.
TEST(MessageCodec, BuildOutputNeverPassesForAMessage) {
  const std::string line = "@CLOSED@ 0\r\n";
  const auto sent = ipc::BuildCompileOutput(line);
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(*sent, "@@CLOSED@ 0\r\n\0"s);
  EXPECT_EQ(ipc::TagOf(*sent), "");
  for (Direction d : {kToInfo, kToEditor, kBetween}) EXPECT_FALSE(ipc::ParseMessage(*sent, d).has_value());
  EXPECT_EQ(ipc::ParseCompileOutput(*sent), line);

  const struct {
    std::string output, sent;
  } cases[] = {
      {"main.c(3): warning C4101\r\n", "main.c(3): warning C4101\r\n\0"s},
      {"@REPLACEERROR 5\r\n", "@@REPLACEERROR 5\r\n\0"s},
      {"@@x", "@@@x\0"s},
      {"@", "@@\0"s},
      {"a\0b\0\r\0\n\0"s, "ab\r\n\0"s},  // wide output loses its NULs
      {"\0@SAVE@"s, "@@SAVE@\0"s},
  };
  for (const auto& c : cases) {
    const auto out = ipc::BuildCompileOutput(c.output);
    ASSERT_TRUE(out.has_value()) << c.output;
    EXPECT_EQ(*out, c.sent);
    std::string back = c.output;
    std::erase(back, '\0');
    EXPECT_EQ(ipc::ParseCompileOutput(*out), back);
  }
  EXPECT_FALSE(ipc::BuildCompileOutput("\0\0"s).has_value());
  EXPECT_FALSE(ipc::BuildCompileOutput("").has_value());
  // Messages are not build output.
  EXPECT_FALSE(ipc::ParseCompileOutput(ipc::BuildCompileEnd()).has_value());
  EXPECT_FALSE(ipc::ParseCompileOutput("@NOSUCH@ 1").has_value());
  EXPECT_FALSE(ipc::ParseCompileOutput("\0abc"s).has_value());
}

// Values a receiver could not read back as they were meant.
TEST(MessageCodec, BuildersRefuseWhatCannotBeCarried) {
  const std::string longPath(261, 'p');
  const std::optional<std::string> refused[] = {
      ipc::BuildActiveToInfoWindow(0, 1),
      ipc::BuildActiveToInfoWindow(7701, 1),
      ipc::BuildActiveToInfoWindow(7703, 1),
      ipc::BuildClosedToEditor(4),
      ipc::BuildClosedToEditor(-1),
      ipc::BuildClosedToInfoWindow(-1),
      ipc::BuildMarkJumpFile(1, "a\0b"s),
      ipc::BuildMarkJumpFile(1, longPath),
      ipc::BuildRemoteCompileStart(1, "C:\\Program Files\\cl.exe", "x"),
      ipc::BuildRemoteCompileStart(1, "", "x"),
      ipc::BuildAddFileItemToInfoWindow(1, 1, "a\"b", ""),
      ipc::BuildAddFileItemToInfoWindow(7, 1, "a", ""),
      ipc::BuildSetReplaceDataToInfoWindow({false, 0, 0, false, "", "a\x01" "b", ""}),
      ipc::BuildSetReplaceDataToInfoWindow({false, 3, 0, false, "", "a", ""}),
      ipc::BuildSetSearchDataToInfoWindow({0, 0, false, false, "*.c *.h", "a"}),
      ipc::BuildSetSearchDataToOtherEditor({0, 0, false, false, "", ""}),
      ipc::BuildSetSearchDataToOtherEditor({0, 256, false, false, "", "a"}),
      ipc::BuildCompileData({0, "a\x08" "b", "", "", "", ""}),
      ipc::BuildCompileData({2048, "", "", "", "", ""}),
      ipc::BuildSetMarkJumpToInfoWindow(1, 1, 256, "n"),
      ipc::BuildSetMarkJumpToInfoWindow(1, 1, 1, std::string(257, 'n')),
      ipc::BuildDeleteMarkJumpToEditor(-1),
      ipc::BuildBulkCrlf(1, 1, 4),
      ipc::BuildTidSetOkToInfoWindow(65536),
      ipc::BuildMoveWindowToEditor({0, 0, 1, 1}, static_cast<ipc::DockSide>(3)),
      ipc::BuildSearchLine({0x10000, 1, 1, 1}, "x"),
      ipc::BuildSearchLine({1, 1, 1, 0}, "x"),
      ipc::BuildTelnetText(2, "x"),
  };
  for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(refused[i].has_value()) << "case " << i;

  // The generic builder checks the kind and count of the values.
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kActiveToInfoWindow, V(3)));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kActiveToInfoWindow, V(3, "1234")));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kMarkJumpFile, V(3, 4)));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kSetMarkJumpToInfoWindow, V(1, 1, 1, 5, "abc")));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kRemoteReadTagFile, V(0, "x")));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kRemoteReadTagFile, V(1)));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kSearchLine, V(1, 1, 1, 1, "no line end")));
  EXPECT_FALSE(ipc::BuildMessage(MessageId::kCount, {}));
}
