// A file's look from its extension record: what a fresh installation holds,
// what a changed record says, and bytes no record should hold.
#include "shell/view_settings.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/host.h"

namespace gf = gorvane::files;
namespace sh = gorvane::shell;

namespace {

gf::SettingsGroupValues FreshDefaults() {
  std::vector<std::uint8_t> memory(9160 + 4 * 2892);
  gf::SettingsArea area(memory);
  EXPECT_TRUE(area.Initialise(0x40000));
  return area.Values(area.RecordFor("C:\\work\\a.txt"));  // no ".txt" record: the defaults
}

TEST(ViewLook, AFreshInstallationShowsTheBuiltInLook) {
  const sh::ViewLook look = sh::ViewLookOf(FreshDefaults());
  EXPECT_EQ(look.tabSize, 8);
  EXPECT_EQ(look.lineSpacing, 2);
  ASSERT_TRUE(look.editFont);
  EXPECT_EQ(look.editFont->face, sh::Sjis(u8"ＭＳ ゴシック"));
  EXPECT_EQ(look.editFont->height, -16);
  EXPECT_EQ(look.editFont->weight, 400);
  EXPECT_EQ(look.editFont->charset, 128);
  ASSERT_TRUE(look.lineNumberFont);
  EXPECT_EQ(look.lineNumberFont->height, -12);
  const struct {
    int slot;
    sh::Colour text, back;
  } slots[] = {
      {sh::kSlotBackground, sh::Rgb(0, 0, 0), sh::Rgb(255, 255, 255)},
      {sh::kSlotText, sh::Rgb(0, 0, 0), sh::Rgb(255, 255, 255)},
      {sh::kSlotSelection, sh::Rgb(255, 255, 255), sh::Rgb(0, 0, 128)},
      {sh::kSlotRangeLine, sh::Rgb(0, 0, 0), sh::Rgb(192, 192, 192)},
      {sh::kSlotBookmark, sh::Rgb(0, 0, 0), sh::Rgb(255, 255, 0)},
      {sh::kSlotEof, sh::Rgb(0, 0, 255), sh::Rgb(255, 255, 255)},
      {sh::kSlotUnderline, sh::Rgb(0, 0, 255), sh::Rgb(255, 255, 255)},
  };
  for (const auto& s : slots) {
    EXPECT_EQ(look.colours.Text(s.slot), s.text) << "slot " << s.slot;
    EXPECT_EQ(look.colours.Back(s.slot), s.back) << "slot " << s.slot;
  }
}

TEST(ViewLook, ARecordsOwnValuesAndItsPalette) {
  gf::SettingsGroupValues v = FreshDefaults();
  v.record[gf::kRecTabWidth] = 4;
  v.record[gf::kRecLineSpacing] = 0;
  v.record[gf::kRecColourSlots + 2 * sh::kSlotText] = 3;  // text in palette colour 3 ...
  v.record[gf::kRecPalette + 9] = 10;                     // ... which is now (10, 20, 30)
  v.record[gf::kRecPalette + 10] = 20;
  v.record[gf::kRecPalette + 11] = 30;
  const sh::ViewLook look = sh::ViewLookOf(v);
  EXPECT_EQ(look.tabSize, 4);
  EXPECT_EQ(look.lineSpacing, 0);
  EXPECT_EQ(look.colours.Text(sh::kSlotText), sh::Rgb(10, 20, 30));
}

TEST(ViewLook, BytesNoRecordShouldHoldFallBack) {
  gf::SettingsGroupValues v = FreshDefaults();
  const sh::DrawColours builtIn;
  v.record[gf::kRecTabWidth] = 0;
  v.record[gf::kRecLineSpacing] = 250;
  v.record[gf::kRecColourSlots + 2 * sh::kSlotEof] = 16;  // past the palette
  v.record[gf::kRecEditFont + gf::kFontHeight] = 0x10;    // a height of 0x7f000010
  v.record[gf::kRecEditFont + gf::kFontHeight + 3] = 0x7f;
  std::fill_n(v.record.begin() + gf::kRecLineNumberFont + gf::kFontFace, gf::kFontFaceBytes, 0);
  const sh::ViewLook look = sh::ViewLookOf(v);
  EXPECT_EQ(look.tabSize, 8);
  EXPECT_EQ(look.lineSpacing, 2);
  EXPECT_EQ(look.colours.Text(sh::kSlotEof), builtIn.Text(sh::kSlotEof));
  ASSERT_TRUE(look.editFont);
  EXPECT_EQ(look.editFont->height, 0);
  EXPECT_FALSE(look.lineNumberFont);
}

}  // namespace
