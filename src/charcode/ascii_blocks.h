// Runs of ASCII (and of EUC-JP's JIS X 0208) taken 16 bytes at a time, for
// the fast paths of the converters and readers: SSE2 where the target has it
// (every x86_64), else two 64-bit words tested with plain integer arithmetic.
// Internal to the character-code library.
//
// Each step reads a whole block and may write a whole block's output, but
// counts only the part from the start of the block that belongs to the run:
// the caller makes sure that the block can be read and its whole output
// written, and goes on after the counted part.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifndef GV_CHARCODE_FAST_PATHS
#define GV_CHARCODE_FAST_PATHS 1
#endif

namespace gorvane::charcode::blocks {

// Whether the converters take these steps: off only in the build of the
// library that the tests compare them with (the same code without them).
inline constexpr bool kEnabled = GV_CHARCODE_FAST_PATHS != 0;

inline constexpr std::size_t kBlock = 16;  // bytes read by a step
inline constexpr std::size_t kUnits = 8;   // UTF-16 units read by a step (16 bytes)

// The bits set in a block's mask (16 bits), without a call into the compiler's
// runtime where the target has no instruction for it.
constexpr unsigned Count16(unsigned m) {
  m = m - ((m >> 1) & 0x5555);
  m = (m & 0x3333) + ((m >> 2) & 0x3333);
  m = (m + (m >> 4)) & 0x0F0F;
  return (m + (m >> 8)) & 0x1F;
}

// ---- word at a time ---------------------------------------------------------------

namespace word {

inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
inline constexpr std::uint64_t kHigh = 0x8080808080808080ull;
inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;

inline std::uint64_t Load(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// 0x80 in each byte of w that is 0, 0 elsewhere: exact, as no carry crosses a byte.
constexpr std::uint64_t ZeroBytes(std::uint64_t w) { return ~(((w & kLow7) + kLow7) | w | kLow7); }

// 0x80 in each byte of w that ends an ASCII run: the high bit set, or
// (kLineStops) CR or LF.
template <bool kLineStops>
constexpr std::uint64_t AsciiStops(std::uint64_t w) {
  std::uint64_t stops = w & kHigh;
  if constexpr (kLineStops) stops |= ZeroBytes(w ^ (kOnes * '\r')) | ZeroBytes(w ^ (kOnes * '\n'));
  return stops;
}
constexpr std::uint64_t LineStops(std::uint64_t w) { return ZeroBytes(w ^ (kOnes * '\r')) | ZeroBytes(w ^ (kOnes * '\n')); }

// Bytes before the first flagged one of a word read from memory (8: none).
constexpr std::size_t Before(std::uint64_t flags) {
  if (flags == 0) return 8;
  return static_cast<std::size_t>(std::endian::native == std::endian::little ? std::countr_zero(flags)
                                                                              : std::countl_zero(flags)) /
         8;
}

// Bytes of the 16 at s before the first one flagged by stops.
template <typename Stops>
inline std::size_t Run(const std::uint8_t* s, Stops stops) {
  const std::size_t k = Before(stops(Load(s)));
  return k < 8 ? k : 8 + Before(stops(Load(s + 8)));
}

template <bool kLineStops>
inline std::size_t CopyAscii(const std::uint8_t* s, std::uint8_t* d) {
  std::memcpy(d, s, kBlock);
  return Run(s, AsciiStops<kLineStops>);
}

inline std::size_t CopyLine(const std::uint8_t* s, std::uint8_t* d) {
  std::memcpy(d, s, kBlock);
  return Run(s, LineStops);
}

// Bit k: byte k of the 16 at s is CR (*cr), LF (*lf).
inline void LineEndMasks(const std::uint8_t* s, unsigned* cr, unsigned* lf) {
  unsigned c = 0, l = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    c |= static_cast<unsigned>(s[k] == '\r') << k;
    l |= static_cast<unsigned>(s[k] == '\n') << k;
  }
  *cr = c, *lf = l;
}

inline std::size_t CopyCrLfText(const std::uint8_t* s, std::size_t end, std::uint8_t* out, std::size_t* lines) {
  std::size_t k = 0, last = 0;
  unsigned crBefore = 0;  // the block before ended in CR
  for (; end - k >= kBlock; k += kBlock) {
    unsigned cr, lf;
    LineEndMasks(s + k, &cr, &lf);
    std::memcpy(out + k, s + k, kBlock);
    const unsigned other = ((cr << 1 | crBefore) & 0xFFFF) ^ lf;  // LF where none may be, or none where one must
    const unsigned good = other != 0 ? lf & ((other & (0u - other)) - 1) : lf;
    if (good != 0) last = k + static_cast<std::size_t>(std::bit_width(good));
    *lines += Count16(good);
    if (other != 0) break;
    crBefore = cr >> 15;
  }
  return last;
}

template <bool kBigEndian>
inline std::size_t WidenAscii(const std::uint8_t* s, std::uint8_t* d) {
  const std::size_t k = Run(s, AsciiStops<true>);
  for (std::size_t j = 0; j < k; ++j) {
    d[2 * j + (kBigEndian ? 1 : 0)] = s[j];
    d[2 * j + (kBigEndian ? 0 : 1)] = 0;
  }
  return k;
}

template <bool kBigEndian>
constexpr unsigned Unit(const std::uint8_t* s, std::size_t j) {
  return kBigEndian ? (s[2 * j] << 8 | s[2 * j + 1]) : (s[2 * j + 1] << 8 | s[2 * j]);
}

template <bool kBigEndian, bool kLineStops>
inline std::size_t NarrowAscii(const std::uint8_t* s, std::uint8_t* d) {
  std::size_t j = 0;
  for (; j < kUnits; ++j) {
    const unsigned u = Unit<kBigEndian>(s, j);
    if (u >= 0x80 || (kLineStops && (u == '\r' || u == '\n'))) break;
    d[j] = static_cast<std::uint8_t>(u);
  }
  return j;
}

template <bool kBigEndian>
inline std::size_t UnitLineEnd(const std::uint8_t* s) {
  std::size_t j = 0;
  for (; j < kUnits; ++j) {
    const unsigned u = Unit<kBigEndian>(s, j);
    if (u == '\r' || u == '\n') break;
  }
  return j;
}

}  // namespace word

// ---- SSE2 -------------------------------------------------------------------------

#if defined(__SSE2__)
namespace sse2 {

inline __m128i Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(std::uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Bytes(int b) { return _mm_set1_epi8(static_cast<char>(b)); }
inline __m128i Units(int u) { return _mm_set1_epi16(static_cast<short>(u)); }
inline unsigned Mask(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
// Positions before the first flagged one of a 16-bit movemask (16: none).
inline std::size_t Before(unsigned flags) { return flags ? static_cast<std::size_t>(std::countr_zero(flags)) : 16; }

inline __m128i LineStops(__m128i v) { return _mm_or_si128(_mm_cmpeq_epi8(v, Bytes('\r')), _mm_cmpeq_epi8(v, Bytes('\n'))); }

template <bool kLineStops>
inline std::size_t CopyAscii(const std::uint8_t* s, std::uint8_t* d) {
  const __m128i v = Load(s);
  Store(d, v);
  unsigned stops = Mask(v);
  if constexpr (kLineStops) stops |= Mask(LineStops(v));
  return Before(stops);
}

inline std::size_t CopyLine(const std::uint8_t* s, std::uint8_t* d) {
  const __m128i v = Load(s);
  Store(d, v);
  return Before(Mask(LineStops(v)));
}

inline std::size_t CopyCrLfText(const std::uint8_t* s, std::size_t end, std::uint8_t* out, std::size_t* lines) {
  std::size_t k = 0;
  unsigned crBefore = 0;  // the block before ended in CR
  // LFs counted in byte lanes (255 blocks at most between sums).
  __m128i counts = _mm_setzero_si128();
  std::size_t blocks = 0, found = 0;
  auto sum = [&] {
    const __m128i s64 = _mm_sad_epu8(counts, _mm_setzero_si128());
    found += static_cast<std::size_t>(_mm_cvtsi128_si32(s64)) + static_cast<std::size_t>(_mm_extract_epi16(s64, 4));
    counts = _mm_setzero_si128();
    blocks = 0;
  };
  unsigned other = 0, lf = 0;
  for (; end - k >= kBlock; k += kBlock) {
    const __m128i v = Load(s + k);
    Store(out + k, v);
    const __m128i isLf = _mm_cmpeq_epi8(v, Bytes('\n'));
    const unsigned cr = Mask(_mm_cmpeq_epi8(v, Bytes('\r')));
    lf = Mask(isLf);
    other = ((cr << 1 | crBefore) & 0xFFFF) ^ lf;  // LF where none may be, or none where one must
    if (other != 0) [[unlikely]] break;
    counts = _mm_sub_epi8(counts, isLf);
    if (++blocks == 255) sum();
    crBefore = cr >> 15;
  }
  sum();
  std::size_t last;
  if (other != 0 && (lf & ((other & (0u - other)) - 1)) != 0) {  // CR LFs of the block that stopped it
    const unsigned good = lf & ((other & (0u - other)) - 1);
    found += Count16(good);
    last = k + static_cast<std::size_t>(std::bit_width(good));
  } else {  // the last LF before it
    last = k;
    while (last > 0 && s[last - 1] != '\n') --last;
  }
  *lines += found;
  return last;
}

template <bool kBigEndian>
inline std::size_t WidenAscii(const std::uint8_t* s, std::uint8_t* d) {
  const __m128i v = Load(s), zero = _mm_setzero_si128();
  Store(d, kBigEndian ? _mm_unpacklo_epi8(zero, v) : _mm_unpacklo_epi8(v, zero));
  Store(d + 16, kBigEndian ? _mm_unpackhi_epi8(zero, v) : _mm_unpackhi_epi8(v, zero));
  return Before(Mask(v) | Mask(LineStops(v)));
}

// The units of 16 bytes in host order (little-endian).
template <bool kBigEndian>
inline __m128i LoadUnits(const std::uint8_t* s) {
  const __m128i v = Load(s);
  if constexpr (kBigEndian) return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
  return v;
}

// Units before the first flagged one of a 16-bit movemask of unit compares.
inline std::size_t UnitsBefore(unsigned flags) { return Before(flags) / 2; }

template <bool kBigEndian, bool kLineStops>
inline std::size_t NarrowAscii(const std::uint8_t* s, std::uint8_t* d) {
  const __m128i u = LoadUnits<kBigEndian>(s);
  // Units below 0x80 have no bit of 0xFF80; they fit a byte as they are.
  unsigned ascii = Mask(_mm_cmpeq_epi16(_mm_and_si128(u, Units(0xFF80)), _mm_setzero_si128()));
  if constexpr (kLineStops)
    ascii &= ~Mask(_mm_or_si128(_mm_cmpeq_epi16(u, Units('\r')), _mm_cmpeq_epi16(u, Units('\n'))));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(u, u));
  return UnitsBefore(~ascii & 0xFFFF);
}

template <bool kBigEndian>
inline std::size_t UnitLineEnd(const std::uint8_t* s) {
  const __m128i u = LoadUnits<kBigEndian>(s);
  return UnitsBefore(Mask(_mm_or_si128(_mm_cmpeq_epi16(u, Units('\r')), _mm_cmpeq_epi16(u, Units('\n')))));
}

// 16 bytes with a bit of m each, as 0xFF or 0.
inline __m128i Expand(unsigned m) {
  __m128i x = _mm_cvtsi32_si128(static_cast<int>(m));
  x = _mm_unpacklo_epi8(x, x);
  x = _mm_unpacklo_epi16(x, x);
  x = _mm_unpacklo_epi32(x, x);  // byte k holds bits 8 (k / 8) to 8 (k / 8) + 7
  const __m128i bit = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  return _mm_cmpeq_epi8(_mm_and_si128(x, bit), bit);
}

// EUC-JP under our class table: ASCII and JIS X 0208 (a lead and a trail byte,
// both in A1-FE), which keep their length in Shift-JIS. Converts the 16 bytes
// at s, which begin a character, into Shift-JIS at d (16 bytes stored) and
// returns how many of them, from the first, are such characters (stopping at
// a CR or LF with kLineStops, and before a pair cut by the end of the block).
template <bool kLineStops>
inline std::size_t EucBlock(const std::uint8_t* s, std::uint8_t* d) {
  const __m128i v = Load(s);
  const unsigned high = Mask(v);
  unsigned stops = kLineStops ? Mask(LineStops(v)) : 0;
  if (high == 0) {
    Store(d, v);
    return Before(stops);
  }
  const __m128i x = _mm_sub_epi8(v, Bytes(0xA1));
  const unsigned jis = Mask(_mm_cmpeq_epi8(_mm_min_epu8(x, Bytes(0xFE - 0xA1)), x));
  if (jis == 0xFFFF) {
    // Eight pairs: each 16-bit lane holds a lead byte l (low half) and its trail byte t.
    const __m128i l = _mm_and_si128(v, Units(0x00FF)), t = _mm_srli_epi16(v, 8);
    __m128i lead = _mm_add_epi16(_mm_srli_epi16(_mm_sub_epi16(l, Units(0xA1)), 1), Units(0x81));
    lead = _mm_add_epi16(lead, _mm_and_si128(_mm_cmpgt_epi16(l, Units(0xDE)), Units(0x40)));
    const __m128i odd = _mm_slli_epi16(l, 15);  // the lead's low bit, as the lane's sign
    const __m128i oddTrail = _mm_sub_epi16(_mm_sub_epi16(t, Units(0x61)), _mm_cmpgt_epi16(t, Units(0xDF)));
    const __m128i evenTrail = _mm_sub_epi16(t, Units(2));
    const __m128i isOdd = _mm_srai_epi16(odd, 15);
    const __m128i trail = _mm_or_si128(_mm_and_si128(isOdd, oddTrail), _mm_andnot_si128(isOdd, evenTrail));
    Store(d, _mm_or_si128(lead, _mm_slli_epi16(trail, 8)));
    return kBlock;
  }
  // A run of such bytes after ASCII (or at the start) is pairs from its first
  // byte on: its lead bytes are those of the parity of its start. Adding a
  // run's start bit to the run clears it: so the runs that start at even bytes.
  const unsigned starts = jis & ~(jis << 1);
  const unsigned evenRuns = jis & ~(jis + (starts & 0x5555));
  const unsigned leads = (evenRuns & 0x5555) | (jis & ~evenRuns & 0xAAAA);
  // Stops: other bytes from 0x80 on, and a lead byte without its trail byte here.
  stops |= (high & ~jis) | (leads & ~(jis >> 1));
  // Lead: ((l - 0xA1) >> 1) + 0x81, 0x40 more from row 63 (l > 0xDE) on.
  __m128i lead = _mm_and_si128(_mm_srli_epi16(x, 1), Bytes(0x7F));
  lead = _mm_add_epi8(lead, Bytes(0x81));
  lead = _mm_add_epi8(lead, _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, Bytes(0xDF)), v), Bytes(0x40)));
  // Trail: after an odd lead t - 0x61, one more from t = 0xE0 on (skipping
  // 0x7F); after an even one t - 2.
  const __m128i before = _mm_slli_si128(v, 1);
  const __m128i odd = _mm_cmpeq_epi8(_mm_and_si128(before, Bytes(1)), Bytes(1));
  const __m128i oddTrail =
      _mm_sub_epi8(_mm_sub_epi8(v, Bytes(0x61)), _mm_cmpeq_epi8(_mm_max_epu8(v, Bytes(0xE0)), v));
  const __m128i evenTrail = _mm_sub_epi8(v, Bytes(2));
  const __m128i trail = _mm_or_si128(_mm_and_si128(odd, oddTrail), _mm_andnot_si128(odd, evenTrail));
  const __m128i isLead = Expand(leads), isTrail = _mm_slli_si128(isLead, 1);
  __m128i out = _mm_or_si128(_mm_and_si128(isTrail, trail), _mm_andnot_si128(isTrail, v));
  out = _mm_or_si128(_mm_and_si128(isLead, lead), _mm_andnot_si128(isLead, out));
  Store(d, out);
  return Before(stops);
}

}  // namespace sse2
#endif

// ---- the forms used ---------------------------------------------------------------

// GV_CHARCODE_NO_SSE2 takes the word form where SSE2 exists too (for the
// tests, which compare the forms).
#if defined(__SSE2__) && !defined(GV_CHARCODE_NO_SSE2)
#define GV_CHARCODE_USES_SSE2 1
namespace use = sse2;
inline constexpr bool kEucBlocks = true;
#else
namespace use = word;
inline constexpr bool kEucBlocks = false;
#endif

// Copies 16 bytes; counts those before the first byte >= 0x80 (or, with
// kLineStops, CR or LF).
template <bool kLineStops>
inline std::size_t CopyAscii(const std::uint8_t* s, std::uint8_t* d) {
  return use::CopyAscii<kLineStops>(s, d);
}
// Copies 16 bytes; counts those before the first CR or LF.
inline std::size_t CopyLine(const std::uint8_t* s, std::uint8_t* d) { return use::CopyLine(s, d); }
// Copies the whole blocks of s[0, end) to out while every CR in them is
// followed by LF and every LF follows CR (text whose line ends are all CR LF):
// returns the offset just after the last CR LF before anything else (0: none)
// and adds the number of CR LFs up to there to *lines.
inline std::size_t CopyCrLfText(const std::uint8_t* s, std::size_t end, std::uint8_t* out, std::size_t* lines) {
  return use::CopyCrLfText(s, end, out, lines);
}
// Widens 16 bytes into UTF-16 units (32 bytes at d); counts those before the
// first byte >= 0x80, CR or LF.
template <bool kBigEndian>
inline std::size_t WidenAscii(const std::uint8_t* s, std::uint8_t* d) {
  return use::WidenAscii<kBigEndian>(s, d);
}
// Narrows 8 UTF-16 units into bytes (8 at d); counts those before the first
// unit >= 0x80 (or, with kLineStops, CR or LF).
template <bool kBigEndian, bool kLineStops>
inline std::size_t NarrowAscii(const std::uint8_t* s, std::uint8_t* d) {
  return use::NarrowAscii<kBigEndian, kLineStops>(s, d);
}
// Converts the ASCII and JIS X 0208 characters of EUC-JP (under our class
// table) that start the 16 bytes at s into Shift-JIS at d (16 bytes stored);
// returns their bytes (the same in both), stopping at a CR or LF with
// kLineStops. Without SSE2 there is no such step (kEucBlocks): ASCII blocks
// instead.
template <bool kLineStops>
inline std::size_t EucBlock(const std::uint8_t* s, std::uint8_t* d) {
#if defined(GV_CHARCODE_USES_SSE2)
  return sse2::EucBlock<kLineStops>(s, d);
#else
  return word::CopyAscii<kLineStops>(s, d);
#endif
}
// Units of the 8 at s before the first CR or LF unit (8: none).
template <bool kBigEndian>
inline std::size_t UnitLineEnd(const std::uint8_t* s) {
  return use::UnitLineEnd<kBigEndian>(s);
}

}  // namespace gorvane::charcode::blocks
