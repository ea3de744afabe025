// Loading a file and saving it again gives the same bytes, in every form the
// editor reads (with and without byte-order mark) and with every line end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "companions/qorvetc/tmpcache.h"
#include "files/loader.h"
#include "files/writer.h"
#include "support/fake_host.h"
#include "support/memory_file_system.h"
#include "support/memory_page_file.h"

namespace cc = gorvane::charcode;
namespace gf = gorvane::files;
namespace doc = gorvane::document;

namespace {

// Shift-JIS working text (CR LF line ends): kana, kanji, symbols, half-width katakana,
// ASCII, NEC and IBM extension characters, blank lines; the text between
// lines varies with the seed.
std::string JapaneseText(std::uint32_t seed, int lines) {
  static const char* const kPieces[] = {
      "\x82\xa0\x82\xa2\x82\xa4",  // あいう
      "\x83\x41\x83\x43\x83\x45",  // アイウ
      "\x8a\xbf\x8e\x9a",          // 漢字
      "\x95\x5c\x8e\xa6",          // 表示 (5C as second byte)
      "\x83\x5c\x83\x74\x83\x67",  // ソフト
      "\xb1\xb2\xb3",              // ｱｲｳ
      "\x81\x40",                  // ideographic space
      "\x87\x40\x87\x54",          // ①Ⅰ (NEC row 13)
      "\xfa\x40\xfb\xfc",          // IBM extensions
      "abc 123",
      "\\path\\",
      "\t",
  };
  std::mt19937 rng(seed);
  std::string s;
  for (int i = 0; i < lines; ++i) {
    const int n = static_cast<int>(rng() % 9);
    for (int k = 0; k < n; ++k) s += kPieces[rng() % std::size(kPieces)];
    if (i + 1 < lines) s += "\r\n";
  }
  return s;
}

// The text as a file: the form's mark, then every line converted with the line end.
std::string AsFile(const std::string& sjis, int code, bool mark, int kind) {
  std::uint8_t crlf[6];
  cc::SetCrlfChar(code, kind, crlf);
  std::vector<std::uint8_t> out(3 * sjis.size() + 16);
  const cc::Bytes src(reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size());
  const cc::MutBytes dst(out.data(), out.size());
  cc::TextConverted c;
  switch (code) {
    case cc::kCodeEuc: c = cc::SjisTextToEuc(src, dst, crlf); break;
    case cc::kCodeUtf8: c = cc::SjisTextToUtf8(src, dst, crlf); break;
    case cc::kCodeUtf16BE: c = cc::SjisTextToUtf16(src, dst, true, crlf); break;
    case cc::kCodeUtf16LE: c = cc::SjisTextToUtf16(src, dst, false, crlf); break;
    default: c = cc::SjisTextLineEnds(src, dst, crlf); break;
  }
  std::string prefix;
  if (mark && code == cc::kCodeUtf8) prefix = "\xEF\xBB\xBF";
  if (mark && code == cc::kCodeUtf16BE) prefix = "\xFE\xFF";
  if (mark && code == cc::kCodeUtf16LE) prefix = "\xFF\xFE";
  return prefix + std::string(reinterpret_cast<const char*>(out.data()), c.written);
}

TEST(Roundtrip, EveryFormAndLineEndComesBackByteForByte) {
  struct Form {
    const char* name;
    int code;
    bool mark;
  } forms[] = {{"sjis", 1, false},    {"eucjp", 2, false},   {"utf8", 4, false},       {"utf8bom", 4, true},
               {"utf16le", 6, false}, {"utf16be", 5, false}, {"utf16lebom", 6, true}, {"utf16bebom", 5, true}};
  const int kinds[] = {cc::kCrlfCrLf, cc::kCrlfCr, cc::kCrlfLf};
  std::uint32_t seed = 1;
  for (const Form& f : forms) {
    for (int kind : kinds) {
      SCOPED_TRACE(std::string(f.name) + " kind " + std::to_string(kind));
      // IBM extensions have no EUC-JP code of their own: leave them out there.
      std::string text = JapaneseText(seed++, 3000);
      if (f.code == cc::kCodeEuc)
        for (std::size_t at; (at = text.find("\xfa\x40\xfb\xfc")) != std::string::npos;) text.erase(at, 4);
      const std::string bytes = AsFile(text, f.code, f.mark, kind);

      gvtest::FakeHost host;
      gorvane::qorvetc::TmpCache cache;
      doc::LineStore store(host, cache);
      doc::LineStoreSettings settings;
      settings.cache = gorvane::qorvetc::CacheSettings{doc::SanePageSize(0), 3};
      ASSERT_TRUE(store.Start(settings, gvtest::MemoryPageFiles()));
      gvtest::MemoryFileSystem fs;
      fs.PutFolder("/d");
      fs.Put("/d/f.txt", bytes);
      gf::SoleEditor registry;
      gf::DocumentFile file;
      file.path = "NO FolderName\\x";
      gf::WriteSettings write;
      gf::FileContext ctx{host, store, fs, registry, file, write};
      gf::Loader loader(ctx);
      ASSERT_EQ(loader.OpenPath(0, gf::OpenEntry{"/d/f.txt", 0, false}), 1);
      ASSERT_EQ(file.code, f.code);
      ASSERT_FALSE(file.modified);
      write.saveWithBom = loader.report().markBytes > 0;
      file.modified = true;
      ASSERT_EQ(gf::SaveFile(ctx, false, 0, nullptr), gf::kSaved);
      const std::string saved = fs.Get("/d/f.txt");
      std::size_t differ = 0;
      while (differ < saved.size() && differ < bytes.size() && saved[differ] == bytes[differ]) ++differ;
      ASSERT_EQ(differ, bytes.size()) << "first difference at byte " << differ << ": saved \""
                                      << saved.substr(differ >= 20 ? differ - 20 : 0, 40) << "\", file \""
                                      << bytes.substr(differ >= 20 ? differ - 20 : 0, 40) << "\"";
      EXPECT_EQ(saved.size(), bytes.size());
      EXPECT_TRUE(host.boxes.empty());
    }
  }
}

}  // namespace
