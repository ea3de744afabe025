// Micro-benchmarks of the two halves of `gvtool convert`: the piece readers
// (file form to working Shift-JIS) and the working-text writers (Shift-JIS to
// the file form), on a few megabytes of made-up Japanese text held in memory.
//
//   build/release/bench/converters_bench [--benchmark_filter=Utf8]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "charcode/charcode.h"

namespace cc = gorvane::charcode;

namespace {

using Text = std::vector<std::uint8_t>;

// Shift-JIS lines ending in CR LF: words of level-1 kanji, hiragana,
// katakana, ASCII and half-width katakana, about as mixed as ordinary prose.
Text MakeSjisText(std::size_t size) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto trail = [&](int lo, int hi) {
    const int t = pick(lo, hi);
    return static_cast<std::uint8_t>(t >= 0x7F ? t + 1 : t);
  };
  Text t;
  while (t.size() < size) {
    for (int words = pick(0, 20); words > 0; --words) {
      const int kind = pick(0, 99), len = pick(1, 5);
      for (int c = 0; c < len; ++c) {
        if (kind < 40) t.insert(t.end(), {static_cast<std::uint8_t>(pick(0x89, 0x97)), trail(0x40, 0xFB)});  // kanji
        else if (kind < 75) t.insert(t.end(), {0x82, static_cast<std::uint8_t>(pick(0x9F, 0xF1))});  // hiragana
        else if (kind < 88) t.insert(t.end(), {0x83, trail(0x40, 0x95)});                            // katakana
        else if (kind < 96) t.push_back(static_cast<std::uint8_t>(pick('a', 'z')));
        else t.push_back(static_cast<std::uint8_t>(pick(0xA6, 0xDF)));  // half-width katakana
      }
      if (kind >= 88 && kind < 96) t.push_back(' ');
    }
    t.insert(t.end(), {'\r', '\n'});
  }
  return t;
}

constexpr std::size_t kTextSize = 8 << 20;

// The CR LF of a form, as the writers take it.
const std::uint8_t* CrLf(int code) {
  static std::uint8_t forms[8][cc::kCrlfBytesSize];
  cc::SetCrlfChar(code, cc::kCrlfCrLf, forms[code]);
  return forms[code];
}

const Text& SjisText() {
  static const Text t = MakeSjisText(kTextSize);
  return t;
}

template <typename Convert>
Text Encoded(Convert convert) {
  const Text& sjis = SjisText();
  Text out(3 * sjis.size());
  const cc::TextConverted c = convert(cc::Bytes(sjis), cc::MutBytes(out));
  out.resize(c.written);
  return out;
}

const Text& FileText(cc::Reader reader) {
  static const Text euc = Encoded([](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToEuc(s, d, CrLf(cc::kCodeEuc)); });
  static const Text utf8 = Encoded([](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToUtf8(s, d, CrLf(cc::kCodeUtf8)); });
  return reader == cc::Reader::Euc ? euc : reader == cc::Reader::Utf8 ? utf8 : SjisText();
}

// The whole file through ReadPiece, a piece at a time, as gvtool reads it.
void BM_ReadPiece(benchmark::State& state, cc::Reader reader) {
  const Text& file = FileText(reader);
  Text work(cc::kPieceSize);
  for (auto _ : state) {
    std::size_t pos = 0;
    while (pos < file.size()) {
      const std::size_t n = std::min(cc::kPieceSize, file.size() - pos);
      const cc::PieceResult r = cc::ReadPiece(reader, cc::Bytes(file.data() + pos, n), pos + n == file.size(), work);
      benchmark::DoNotOptimize(work.data());
      pos += r.consumed;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK_CAPTURE(BM_ReadPiece, Sjis, cc::Reader::Sjis)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPiece, Euc, cc::Reader::Euc)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPiece, Utf8, cc::Reader::Utf8)->Unit(benchmark::kMillisecond);

// Working text to a file form, a reader's piece at a time.
template <typename Convert>
void BM_Write(benchmark::State& state, Convert convert) {
  const Text& sjis = SjisText();
  const std::size_t piece = cc::kPieceSize - cc::kReaderHoldBack;
  Text out(3 * piece);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < sjis.size(); pos += piece) {
      const cc::Bytes src(sjis.data() + pos, std::min(piece, sjis.size() - pos));
      benchmark::DoNotOptimize(convert(src, cc::MutBytes(out)).written);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sjis.size()));
}
BENCHMARK_CAPTURE(BM_Write, Utf8, [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToUtf8(s, d, CrLf(cc::kCodeUtf8)); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, Utf16LE,
                  [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToUtf16(s, d, false, CrLf(cc::kCodeUtf16LE)); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, Euc, [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToEuc(s, d, CrLf(cc::kCodeEuc)); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, SjisLineEnds,
                  [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextLineEnds(s, d, CrLf(cc::kCodeSjis)); })
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
