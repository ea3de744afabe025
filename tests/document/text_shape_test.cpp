#include "document/text_shape.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace doc = gorvane::document;

namespace {

bool Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The mending, one character at a time, as a reader would do it.
std::string Reference(std::string in) {
  in = in.substr(0, in.find('\0'));
  std::string out;
  for (std::size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (Lead(b)) {
      if (i + 1 < in.size() && Trail(static_cast<unsigned char>(in[i + 1]))) {
        out += in.substr(i, 2);
        i += 2;
      } else {
        out += '?';
        ++i;
      }
    } else if (b == '\r' || b == '\n') {
      out += "\r\n";
      i += b == '\r' && i + 1 < in.size() && in[i + 1] == '\n' ? 2 : 1;
    } else {
      out += static_cast<char>(b);
      ++i;
    }
  }
  return out;
}

void ExpectShapeOf(const std::string& text, const doc::TextShape& shape) {
  std::vector<std::uint32_t> ends;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    sum += static_cast<unsigned char>(text[i]);
    if (i > 0 && text[i] == '\n' && text[i - 1] == '\r') ends.push_back(static_cast<std::uint32_t>(i + 1));
  }
  EXPECT_EQ(shape.ends, ends);
  EXPECT_EQ(shape.sum, sum);
  EXPECT_EQ(shape.size, text.size());
}

TEST(TextShape, MendsWhatCannotGoIntoALine) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const std::string pad(20, 'a');  // puts the place past the first 16-byte block
  const Case cases[] = {
      {"whole text stays", "ab\x82\xA0\r\n\x83\x5C" "c", "ab\x82\xA0\r\n\x83\x5C" "c"},
      {"lone CR", "a\rb", "a\r\nb"},
      {"lone LF", "a\nb", "a\r\nb"},
      {"LF CR", "a\n\rb", "a\r\n\r\nb"},
      {"CR CR LF", "\r\r\n", "\r\n\r\n"},
      {"cut at NUL", "ab\0cd", "ab"},
      {"lead at the end", "ab\x82", "ab?"},
      {"lead before CR LF", "a\x82\r\nb", "a?\r\nb"},
      {"lead before a space", "\x82 b", "? b"},
      {"lead before 0x7F", "\x82\x7F", "?\x7F"},
      {"run of leads: even, then a space", "\x82\x82\x82\x82 ", "\x82\x82\x82\x82 "},
      {"run of leads: odd, then a space", "\x82\x82\x82 ", "\x82\x82? "},
      {"past a block: lone CR", pad + "\r" + pad, pad + "\r\n" + pad},
      {"past a block: lead before LF", pad + "\x88\n", pad + "?\r\n"},
      {"lead run across blocks", std::string(15, 'a') + "\x88\x88\x88" + "\r\n", std::string(15, 'a') + "\x88\x88?\r\n"},
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    const doc::TextShape shape = doc::MakeWhole(text);
    EXPECT_EQ(text, c.out) << c.name;
    ExpectShapeOf(text, shape);
  }
}

TEST(TextShape, AgreesWithTheCharacterByCharacterMendingOnRandomText) {
  std::mt19937 random(1234);
  // Bytes that matter most: leads, seconds that are ASCII, line bytes, NUL (rare).
  const unsigned char alphabet[] = {'a', ' ', '\r', '\n', 0x81, 0x82, 0x9F, 0xE0, 0xFC, 0x40, 0x5C, 0x7E,
                                    0x7F, 0x80, 0xA0, 0xB0, 0xDF, 0xFD, 0xFF, 0x3F, 0x30};
  for (int round = 0; round < 3000; ++round) {
    const std::size_t length = random() % 70;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(alphabet[random() % std::size(alphabet)]);
    if (random() % 20 == 0) text.insert(text.begin() + static_cast<std::ptrdiff_t>(random() % (length + 1)), '\0');
    const std::string expected = Reference(text);
    std::string mended = text;
    const doc::TextShape shape = doc::MakeWhole(mended);
    ASSERT_EQ(mended, expected) << "round " << round;
    ExpectShapeOf(mended, shape);
  }
}

TEST(TextShape, PiecesAndTheEnd) {
  const doc::TextShape none = doc::ShapeOf("abc");
  EXPECT_EQ(none.breaks(), 0);
  EXPECT_EQ(none.LongestPiece(), 3);
  EXPECT_EQ(none.After({doc::LineNo(5), doc::CaretCol(2)}), (doc::TextPos{doc::LineNo(5), doc::CaretCol(5)}));
  const doc::TextShape three = doc::ShapeOf("ab\r\ncdefg\r\nh");
  EXPECT_EQ(three.breaks(), 2);
  EXPECT_EQ(three.FirstPiece(), 4);
  EXPECT_EQ(three.LastPiece(), 1);
  EXPECT_EQ(three.LongestPiece(), 7);
  EXPECT_EQ(three.After({doc::LineNo(5), doc::CaretCol(2)}), (doc::TextPos{doc::LineNo(7), doc::CaretCol(2)}));
  const doc::TextShape ending = doc::ShapeOf("ab\r\n");
  EXPECT_EQ(ending.LastPiece(), 0);
  EXPECT_EQ(ending.After({doc::LineNo(1), doc::CaretCol(3)}), (doc::TextPos{doc::LineNo(2), doc::CaretCol(1)}));
}

}  // namespace
