// Micro-benchmarks of the two halves of `gvtool convert`: the piece readers
// (file form to working Shift-JIS) and the working-text writers (Shift-JIS to
// the file form), on the texts bench/run.sh generates (make_text.py's prose
// and make_dict.py's mostly-ASCII dictionary), held in memory; beside them a
// memcpy of each Shift-JIS text, the memory's own speed in the same run.
//
//   build/release/bench/converters_bench [--benchmark_filter=dict]
//
// The texts are read from $GV_BENCH_DATA (default bench/data, from the
// repository's root); bench/run.sh makes them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "charcode/charcode.h"

namespace cc = gorvane::charcode;

namespace {

using Text = std::vector<std::uint8_t>;

const char* const kTexts[] = {"text", "dict"};

const Text& File(const std::string& text, const char* form) {
  static std::vector<std::pair<std::string, Text>> loaded;
  const std::string name = text + "-" + form + ".txt";
  for (const auto& [n, t] : loaded)
    if (n == name) return t;
  const char* dir = std::getenv("GV_BENCH_DATA");
  std::ifstream in(std::string(dir != nullptr ? dir : "bench/data") + "/" + name, std::ios::binary);
  loaded.emplace_back(name, Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  if (loaded.back().second.empty()) std::fprintf(stderr, "converters_bench: %s missing (run bench/run.sh first)\n", name.c_str());
  return loaded.back().second;
}

const char* FormOf(cc::Reader reader) {
  return reader == cc::Reader::Euc ? "eucjp" : reader == cc::Reader::Utf8 ? "utf8" : "sjis";
}

// The CR LF of a form, as the writers take it.
const std::uint8_t* CrLf(int code) {
  static std::uint8_t forms[8][cc::kCrlfBytesSize];
  cc::SetCrlfChar(code, cc::kCrlfCrLf, forms[code]);
  return forms[code];
}

// The whole file through ReadPiece, a piece at a time, as gvtool reads it.
void BM_ReadPiece(benchmark::State& state, const char* text, cc::Reader reader) {
  const Text& file = File(text, FormOf(reader));
  Text work(cc::kPieceSize);
  for (auto _ : state) {
    std::size_t pos = 0;
    while (pos < file.size()) {
      const std::size_t n = std::min(cc::kPieceSize, file.size() - pos);
      const cc::PieceResult r = cc::ReadPiece(reader, cc::Bytes(file.data() + pos, n), pos + n == file.size(), work);
      benchmark::DoNotOptimize(work.data());
      if (r.consumed == 0) break;
      pos += r.consumed;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

// Working text to a file form, a reader's piece at a time.
template <typename Convert>
void BM_Write(benchmark::State& state, const char* text, Convert convert) {
  const Text& sjis = File(text, "sjis");
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

// The Shift-JIS text copied as it is, in the writers' pieces.
void BM_Memcpy(benchmark::State& state, const char* text) {
  const Text& sjis = File(text, "sjis");
  const std::size_t piece = cc::kPieceSize - cc::kReaderHoldBack;
  Text out(piece);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < sjis.size(); pos += piece) {
      std::memcpy(out.data(), sjis.data() + pos, std::min(piece, sjis.size() - pos));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sjis.size()));
}

const int kRegistered = [] {
  for (const char* text : kTexts) {
    const std::string t = text;
    auto ms = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); };
    ms(benchmark::RegisterBenchmark(("Memcpy/" + t).c_str(), BM_Memcpy, text));
    ms(benchmark::RegisterBenchmark(("ReadPiece/Sjis/" + t).c_str(), BM_ReadPiece, text, cc::Reader::Sjis));
    ms(benchmark::RegisterBenchmark(("ReadPiece/Euc/" + t).c_str(), BM_ReadPiece, text, cc::Reader::Euc));
    ms(benchmark::RegisterBenchmark(("ReadPiece/Utf8/" + t).c_str(), BM_ReadPiece, text, cc::Reader::Utf8));
    ms(benchmark::RegisterBenchmark(("Write/Utf8/" + t).c_str(), BM_Write<cc::TextConverted (*)(cc::Bytes, cc::MutBytes)>,
                                    text, [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToUtf8(s, d, CrLf(cc::kCodeUtf8)); }));
    ms(benchmark::RegisterBenchmark(("Write/Utf16LE/" + t).c_str(),
                                    BM_Write<cc::TextConverted (*)(cc::Bytes, cc::MutBytes)>, text,
                                    [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToUtf16(s, d, false, CrLf(cc::kCodeUtf16LE)); }));
    ms(benchmark::RegisterBenchmark(("Write/Euc/" + t).c_str(), BM_Write<cc::TextConverted (*)(cc::Bytes, cc::MutBytes)>,
                                    text, [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextToEuc(s, d, CrLf(cc::kCodeEuc)); }));
    ms(benchmark::RegisterBenchmark(("Write/SjisLineEnds/" + t).c_str(),
                                    BM_Write<cc::TextConverted (*)(cc::Bytes, cc::MutBytes)>, text,
                                    [](cc::Bytes s, cc::MutBytes d) { return cc::SjisTextLineEnds(s, d, CrLf(cc::kCodeSjis)); }));
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
