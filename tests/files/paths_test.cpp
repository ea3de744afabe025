#include <gtest/gtest.h>

#include "charcode/sjis_case.h"
#include "files/paths.h"

namespace gf = gorvane::files;
namespace cc = gorvane::charcode;

// "表" is 95 5C and "ソ" is 83 5C: their second byte is a backslash.
TEST(Paths, SeparatorsAreWholeCharacters) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"C:\\work\\a.txt", "C:\\work\\", "a.txt"},
      {"C:\\\x95\x5c\\a.txt", "C:\\\x95\x5c\\", "a.txt"},
      {"C:\\work\\\x95\x5c.txt", "C:\\work\\", "\x95\x5c.txt"},
      {"C:\\\x83\x5c\x83\x5c", "C:\\", "\x83\x5c\x83\x5c"},
      {"/tmp/x/b.txt", "/tmp/x/", "b.txt"},
      {"b.txt", "", "b.txt"},
      {"C:\\dir\\", "C:\\dir\\", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gf::FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(gf::FileNameOf(c.path), c.name) << c.path;
  }
  EXPECT_EQ(gf::SeparatorOf("/tmp/x/b.txt"), '/');
  EXPECT_EQ(gf::SeparatorOf("b.txt"), '\\');
}

// Lower case changes ASCII letters only: "ａ" is 82 81, "Ａ" 82 60, and a
// trail byte in 41..5A must stay as it is ("ア" is 83 41).
TEST(Paths, CaseFoldingLeavesDoubleByteCharactersAlone) {
  EXPECT_EQ(cc::SjisToLower("C:\\Work\\ABC.TXT"), "c:\\work\\abc.txt");
  EXPECT_EQ(cc::SjisToLower("\x83\x41\x83\x42X"), "\x83\x41\x83\x42x");
  EXPECT_EQ(cc::SjisToUpper("\x83\x61z"), "\x83\x61Z");
  EXPECT_EQ(cc::SjisToLower("\x82\x60"), "\x82\x60");
  EXPECT_TRUE(gf::SamePath("C:\\DOCS\\\x83\x41.TXT", "c:\\docs\\\x83\x41.txt"));
  EXPECT_FALSE(gf::SamePath("C:\\\x83\x41", "C:\\\x83\x61"));  // ア and ャ differ
  EXPECT_TRUE(cc::SjisToLower("A\x83").back() == '\x83');     // a lone lead byte at the end
}
