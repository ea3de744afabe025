// The piece readers: line ends, hold-back of a split CR LF, the room left, long
// lines, the final piece, replacement reporting.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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


// ---- lines found and converted in one pass, against their converters -------------

// What ReadPiece makes of a final piece: each line, cut before its line end
// (CR LF, CR or LF), through the reader's own converter, then CR LF.
struct Expected {
  ByteVec out;
  std::uint32_t lineEnds = 0;
  std::int64_t firstLossyLine = -1;
};

Expected ConvertEachLine(const std::function<cc::Converted(cc::Bytes, cc::MutBytes)>& convert, const ByteVec& data) {
  Expected e;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = start;
    while (end < data.size() && data[end] != '\r' && data[end] != '\n') ++end;
    ByteVec out(2 * (end - start) + 2);
    const cc::Converted c = convert(cc::Bytes(data.data() + start, end - start), out);
    EXPECT_TRUE(c.complete);
    if (c.replaced && e.firstLossyLine < 0) e.firstLossyLine = e.lineEnds;
    e.out.insert(e.out.end(), out.begin(), out.begin() + static_cast<long>(c.written));
    if (end == data.size()) break;
    e.out.insert(e.out.end(), {'\r', '\n'});
    ++e.lineEnds;
    start = end + (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? 2 : 1);
  }
  return e;
}

void ExpectLinesAsConverted(cc::Reader reader, const std::function<cc::Converted(cc::Bytes, cc::MutBytes)>& convert,
                            const ByteVec& data, const std::uint8_t* eucClass = cc::kEucClass.data()) {
  SCOPED_TRACE(gvtest::Hex(data));
  const Expected want = ConvertEachLine(convert, data);
  ByteVec dst(cc::kPieceSize);
  const cc::PieceResult r = cc::ReadPiece(reader, data, true, dst, eucClass);
  EXPECT_EQ(r.consumed, data.size());
  EXPECT_EQ(gvtest::Hex(dst.data(), r.outBytes), gvtest::Hex(want.out));
  EXPECT_EQ(r.lineEnds, want.lineEnds);
  EXPECT_EQ(r.firstLossyLine, want.firstLossyLine);
  EXPECT_EQ(r.status, want.firstLossyLine < 0 ? 1 : -1);
}

// Characters cut or spoilt by a line end, and runs of every kind of character
// between line ends.
TEST(Readers, EucLinesConvertAsEucToSjisDoes) {
  const std::vector<ByteVec> texts = {
      B({0xA4, 0xA2, 0xA4, '\r', '\n', 0xA4, '\n', 0xA4}),            // a lead byte before CR LF, LF, the end
      B({0x8F, 0xA1, '\n', 0x8F, '\r', 0x8E, '\n', 0x8E, 0xB1, '\r'}),  // single shifts cut by line ends
      B({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0xA4, 0xA2, '\r', '\r', '\n', '\n', 0x90, 0xFF, 0xA0, '\n'}),
      B({0xB0, 0xA1, 0xB0, 0xA2, 0xB0, 0xA3, 0xB0, 0xA4, 0xB0, 0xA5, 0xA1, 0xA1, 0xFE, 0xFE, 0xDF, 0xFE, '\r', '\n'}),
      B({'\n', '\n', 0x8F, 0xA1, 0xA1, 0xA4, 0xA2, '\r', '\n', 0x8E, 0xE0, '\n'}),
      B({0xA4, 0xA2, 0x8E, 0xB1, 0xA4, 0xA2, 0x8E, 0xA1, 0x8E, 0xDF, 0xB0, 0xA1, 0x8F, 0xB0, 0xA1, 0xB0, 0xA1, '\n'}),
  };
  auto euc = [](const std::uint8_t* cls) {
    return [cls](cc::Bytes line, cc::MutBytes out) { return cc::EucToSjis(line, out, cls, true); };
  };
  for (const ByteVec& text : texts) ExpectLinesAsConverted(cc::Reader::Euc, euc(cc::kEucClass.data()), text);
  // A class table under which CR and LF are trail bytes: lines are still cut
  // at them first (the path that finds a line end before converting the line).
  std::array<std::uint8_t, 256> odd = cc::kEucClass;
  odd['\r'] |= cc::kEucTrail;
  odd['\n'] |= cc::kEucTrail;
  for (const ByteVec& text : texts) ExpectLinesAsConverted(cc::Reader::Euc, euc(odd.data()), text, odd.data());
  // One under which 0x8E is a lead byte as well: single shift 2 comes first.
  std::array<std::uint8_t, 256> ss2Lead = cc::kEucClass;
  ss2Lead[0x8E] |= cc::kEucLead;
  for (const ByteVec& text : texts) ExpectLinesAsConverted(cc::Reader::Euc, euc(ss2Lead.data()), text, ss2Lead.data());
}

// Line ends at every offset within the eight-byte words the search reads: among
// bytes that share their low bits, and among other control bytes.
TEST(Readers, SjisLineEndsAtEveryOffset) {
  const ByteVec kPlain = B({'a', 0x8D, 0x0E, 0x8A, 0x1D, 0x1A, 0xFF}), kControls = B({0x09, 0x0B, 0x0C, 0x00, 'a'});
  static const char* const kEnds[] = {"\r", "\n", "\r\n"};
  for (const ByteVec& fill : {kPlain, kControls}) {
    ByteVec text;
    for (std::size_t len = 0; len < 3 * 24; ++len) {
      for (std::size_t k = 0; k < len / 3; ++k) text.push_back(fill[(len + k) % fill.size()]);
      const char* end = kEnds[len % 3];
      text.insert(text.end(), end, end + std::strlen(end));
    }
    text.insert(text.end(), fill.begin(), fill.end());
    ExpectLinesAsConverted(cc::Reader::Sjis, [](cc::Bytes line, cc::MutBytes out) { return cc::SjisToSjis(line, out, true); },
                           text);
  }
}

TEST(Readers, Utf8LinesConvertAsUtf8ToSjisDoes) {
  const std::vector<ByteVec> texts = {
      B({0xE3, 0x81, 0x82, 0xE3, 0x81, '\r', '\n', 0xE3, '\n', 0xF0, 0x9F, 0x98, '\r', 0xE3, 0x81}),  // cut sequences
      B({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0xE4, 0xBA, 0x9C, 0xEF, 0xBD, 0xB1, '\n', '\r', '\r', '\n'}),
      B({0xE3, 0x80, 0x9C, '\n', 0xC2, 0xA5, 0xED, 0xA0, 0x80, 0xE0, 0x80, 0xAF, 0xC0, 0xAF, '\n', 0xEE, 0x80, 0x80}),
      B({0xE4, 0xBA, 0x9C, 0xE4, 0xBA, 0x9C, 0xE4, 0xBA, 0x9C, 0xE3, 0x81, 0x82, 0xEF, 0xBD, 0x9E, 0x80, 0xBF, '\r', '\n'}),
  };
  for (const ByteVec& text : texts)
    ExpectLinesAsConverted(cc::Reader::Utf8, [](cc::Bytes line, cc::MutBytes out) { return cc::Utf8ToSjis(line, out, true); },
                           text);
}

}  // namespace
