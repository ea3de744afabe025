// The piece readers: line ends, hold-back of a split CR LF, the room left, long
// lines, the final piece, replacement reporting.
#include <gtest/gtest.h>

#include <string>

#include "charcode/charcode.h"
#include "test_util.h"

namespace cc = gorvane::charcode;
using gvtest::B;
using gvtest::ByteVec;
using gvtest::S;

namespace {

// Encodes ASCII text into a reader's form.
ByteVec In(cc::Reader r, const std::string& ascii) {
  ByteVec out;
  for (char ch : ascii) {
    const auto c = static_cast<std::uint8_t>(ch);
    if (r == cc::Reader::Utf16LE) out.insert(out.end(), {c, 0});
    else if (r == cc::Reader::Utf16BE) out.insert(out.end(), {0, c});
    else out.push_back(c);
  }
  return out;
}

std::string Out(const ByteVec& dst, const cc::PieceResult& r) { return std::string(dst.begin(), dst.begin() + r.outBytes); }

std::string ReaderName(const ::testing::TestParamInfo<cc::Reader>& info) {
  static const char* const kNames[] = {"Sjis", "Euc", "Utf8", "Utf16BE", "Utf16LE"};
  return kNames[static_cast<int>(info.param)];
}

class EveryReader : public ::testing::TestWithParam<cc::Reader> {
 protected:
  cc::PieceResult Read(const ByteVec& data, bool final) {
    dst_.assign(cc::kPieceSize, 0);
    return cc::ReadPiece(GetParam(), data, final, dst_);
  }
  ByteVec dst_;
};

TEST_P(EveryReader, LineEndsBecomeCrLf) {
  const cc::PieceResult r = Read(In(GetParam(), "a\r\nb\rc\n\nd"), true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Out(dst_, r), "a\r\nb\r\nc\r\n\r\nd");
  EXPECT_EQ(r.consumed, In(GetParam(), "a\r\nb\rc\n\nd").size());
  EXPECT_EQ(r.lineEnds, 4u);
}

TEST_P(EveryReader, UnfinishedLineIsReadAgainUnlessFinal) {
  const ByteVec data = In(GetParam(), "xy\r\nabc");
  cc::PieceResult r = Read(data, false);
  EXPECT_EQ(Out(dst_, r), "xy\r\n");
  EXPECT_EQ(r.consumed, In(GetParam(), "xy\r\n").size());
  r = Read(In(GetParam(), "abc"), false);
  EXPECT_EQ(r.outBytes, 0u);
  EXPECT_EQ(r.consumed, 0u);
  r = Read(In(GetParam(), "abc"), true);
  EXPECT_EQ(Out(dst_, r), "abc");
  EXPECT_EQ(r.consumed, In(GetParam(), "abc").size());
}

// A full piece ending in CR is held back by one character so that the CR LF
// pair split by the piece end is read whole by the next call.
TEST_P(EveryReader, CrLfSplitByPieceEndIsOneLineEnd) {
  const std::size_t unit = (GetParam() == cc::Reader::Utf16LE || GetParam() == cc::Reader::Utf16BE) ? 2 : 1;
  std::string text(cc::kPieceSize / unit - 1, 'a');
  for (std::size_t i = 99; i < text.size(); i += 100) text[i] = '\n';
  text += '\r';
  const ByteVec first = In(GetParam(), text);
  ASSERT_EQ(first.size(), cc::kPieceSize);
  std::string all;
  std::size_t pos = 0;
  ByteVec file = first;
  const ByteVec tail = In(GetParam(), "\nz");
  file.insert(file.end(), tail.begin(), tail.end());
  while (pos < file.size()) {
    const std::size_t n = std::min(cc::kPieceSize, file.size() - pos);
    const cc::PieceResult r = Read(ByteVec(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos + n)),
                                   pos + n == file.size());
    ASSERT_GT(r.consumed, 0u);
    all += Out(dst_, r);
    pos += r.consumed;
  }
  std::string want;
  for (char c : text) {
    if (c == '\n') want += "\r\n";
    else if (c != '\r') want += c;
  }
  want += "\r\nz";
  EXPECT_EQ(all, want);
}

// A line longer than a whole piece arrives in chunks without a line end.
TEST_P(EveryReader, LineFillingWholePieceArrivesInChunks) {
  const std::size_t unit = (GetParam() == cc::Reader::Utf16LE || GetParam() == cc::Reader::Utf16BE) ? 2 : 1;
  const ByteVec data = In(GetParam(), std::string(cc::kPieceSize / unit, 'q'));
  const cc::PieceResult r = Read(data, false);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.consumed, data.size());
  EXPECT_EQ(r.outBytes, cc::kPieceSize / unit);
  EXPECT_EQ(r.lineEnds, 0u);
}

TEST_P(EveryReader, StopsOnceRoomIsAtHoldBack) {
  std::string text;
  while (text.size() < 300000) text += std::string(99, 'w') + "\n";
  const std::size_t unit = (GetParam() == cc::Reader::Utf16LE || GetParam() == cc::Reader::Utf16BE) ? 2 : 1;
  const ByteVec all = In(GetParam(), text);
  const ByteVec piece(all.begin(), all.begin() + static_cast<long>(cc::kPieceSize));
  const cc::PieceResult r = Read(piece, false);
  // 101 bytes a line out: stops after the line that leaves 30720 or less (or
  // at the end of the piece, for UTF-16 whose lines take twice the input).
  const std::size_t lines = std::min((cc::kPieceSize - cc::kReaderHoldBack + 100) / 101, cc::kPieceSize / (100 * unit));
  EXPECT_EQ(r.lineEnds, lines);
  EXPECT_EQ(r.outBytes, lines * 101);
  EXPECT_EQ(r.consumed, lines * 100 * unit);
}

INSTANTIATE_TEST_SUITE_P(Readers, EveryReader,
                         ::testing::Values(cc::Reader::Sjis, cc::Reader::Euc, cc::Reader::Utf8, cc::Reader::Utf16LE,
                                           cc::Reader::Utf16BE),
                         ReaderName);

TEST(Readers, ReplacementMarksCallAndNamesFirstLine) {
  ByteVec dst(cc::kPieceSize);
  const ByteVec data = B({'a', '\n', 'b', '\n', 0xE3, 0x80, 0x9C, '\n', 0xC2, 0xA5});
  const cc::PieceResult r = cc::ReadPiece(cc::Reader::Utf8, data, true, dst);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.firstLossyLine, 2);
  EXPECT_EQ(std::string(dst.begin(), dst.begin() + r.outBytes), "a\r\nb\r\n?\r\n?");
}

TEST(Readers, EucJisX0212IsOneMarkAndNextCharacterSurvives) {
  ByteVec dst(cc::kPieceSize);
  const cc::PieceResult r = cc::ReadPiece(cc::Reader::Euc, B({0x8F, 0xA1, 0xA1, 0xA4, 0xA2, '\n'}), true, dst);
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(gvtest::Hex(dst.data(), r.outBytes), "3f 82 a0 0d 0a");
}

// Many short lines then one whose conversion no longer fits: the reader stops
// before it instead of failing or writing past the output; the next call,
// starting with it, has the room.
TEST(Readers, LineThatDoesNotFitIsLeftForNextCall) {
  ByteVec data(60000, '\n');
  data.insert(data.end(), 150000, 'L');
  data.push_back('\n');
  for (cc::Reader reader : {cc::Reader::Sjis, cc::Reader::Euc, cc::Reader::Utf8}) {
    ByteVec dst(cc::kPieceSize);
    cc::PieceResult r = cc::ReadPiece(reader, data, true, dst);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.consumed, 60000u);
    EXPECT_EQ(r.outBytes, 120000u);
    r = cc::ReadPiece(reader, ByteVec(data.begin() + 60000, data.end()), true, dst);
    EXPECT_EQ(r.consumed, 150001u);
    EXPECT_EQ(r.outBytes, 150002u);
  }
}

// Chunks of a long line never cut a character.
TEST(Readers, ChunksAreCharacterAligned) {
  ByteVec sjis;
  sjis.push_back('a');
  while (sjis.size() < cc::kPieceSize) sjis.insert(sjis.end(), {0x82, 0xA0});
  sjis.resize(cc::kPieceSize);  // ends in a lead byte
  ByteVec dst(cc::kPieceSize);
  cc::PieceResult r = cc::ReadPiece(cc::Reader::Sjis, sjis, false, dst);
  EXPECT_EQ(r.consumed, cc::kPieceSize - 1);

  ByteVec utf8;
  while (utf8.size() < cc::kPieceSize) utf8.insert(utf8.end(), {0xE3, 0x81, 0x82});
  utf8.resize(cc::kPieceSize);
  r = cc::ReadPiece(cc::Reader::Utf8, utf8, false, dst);
  EXPECT_EQ(r.consumed % 3, 0u);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.outBytes, r.consumed / 3 * 2);
}

}  // namespace
