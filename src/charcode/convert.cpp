// Line conversions between Shift-JIS (code page 932) and EUC-JP, UTF-8,
// UTF-16LE/BE, of one line or of many working lines at once. Every character
// without an equivalent becomes "?" and is counted in Converted::replaced;
// nothing is written past dst.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "charcode/ascii_blocks.h"
#include "charcode/byte_scan.h"
#include "charcode/charcode.h"
#include "charcode/cp932_tables.h"
#include "charcode/line_steps.h"
#include "charcode/text_units.h"

namespace gorvane::charcode {
namespace {

// Writes the Shift-JIS code (1 or 2 bytes) of a cp932 code value.
inline bool PutCode(std::uint16_t code, std::uint8_t* dst, std::size_t cap, std::size_t& o) {
  if (code < 0x100) {
    if (o >= cap) return false;
    dst[o++] = static_cast<std::uint8_t>(code);
    return true;
  }
  if (cap - o < 2) return false;
  dst[o++] = static_cast<std::uint8_t>(code >> 8);
  dst[o++] = static_cast<std::uint8_t>(code);
  return true;
}

// Splits off a final CR LF to be replaced by crlf.
inline Bytes LineBody(Bytes src, const std::uint8_t* crlf) {
  const std::size_t n = src.size();
  if (crlf != nullptr && n >= 2 && src[n - 2] == '\r' && src[n - 1] == '\n') return src.first(n - 2);
  return src;
}

inline bool AppendCrlf(const std::uint8_t* crlf, std::size_t len, MutBytes dst, std::size_t& o) {
  if (dst.size() - o < len) return false;
  if (len) std::memcpy(dst.data() + o, crlf, len);
  o += len;
  return true;
}

// ---- JIS X 0208 between EUC-JP and Shift-JIS, by table ------------------------------
//
// The arithmetic of the two codes of a row and cell, tabulated so that the
// converters' loops do not branch on the halves of the trail byte ranges.

// Shift-JIS lead byte of an EUC-JP lead byte (its row pair).
constexpr std::array<std::uint8_t, 256> kEucRowToSjis = [] {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const int row = b <= 0xDE ? ((b - 0xA1) >> 1) + 0x81 : ((b - 0xDF) >> 1) + 0xE0;
    t[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(row);
  }
  return t;
}();

// Shift-JIS trail byte of an EUC-JP trail byte, by the parity of the lead byte
// (odd rows take the lower half of the trail range).
constexpr std::array<std::array<std::uint8_t, 256>, 2> kEucCellToSjis = [] {
  std::array<std::array<std::uint8_t, 256>, 2> t{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t odd = static_cast<std::uint8_t>(c - 0x61);
    if (odd >= 0x7F) ++odd;
    t[1][static_cast<std::size_t>(c)] = odd;
    t[0][static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 2);
  }
  return t;
}();

// EUC-JP lead byte of a Shift-JIS lead byte, for trail bytes below 0x9F (one
// more from 0x9F on: the even row of the pair).
constexpr std::array<std::uint8_t, 256> kSjisLeadToEuc = [] {
  std::array<std::uint8_t, 256> t{};
  for (unsigned l = 0; l < 256; ++l) t[l] = static_cast<std::uint8_t>(l <= 0x9F ? 2 * l - 0x61 : 2 * l + 0x1F);
  return t;
}();

// EUC-JP trail byte (cell) of a Shift-JIS trail byte.
constexpr std::array<std::uint8_t, 256> kSjisTrailToEuc = [] {
  std::array<std::uint8_t, 256> t{};
  for (unsigned c = 0; c < 256; ++c)
    t[c] = static_cast<std::uint8_t>(c <= 0x7F ? c + 0x61 : c <= 0x9E ? c + 0x60 : c + 2);
  return t;
}();

// ---- from Shift-JIS: the output forms ---------------------------------------------
//
// A target writes Shift-JIS characters in one form:
//   kCode               its CharCode (for the length of a crlf);
//   kAsciiWidth         the bytes of an ASCII character;
//   kMaxBytes           the most bytes of any character;
//   kPutRoom            the room a Put needs (it may store a little past the
//                       character, never past this);
//   PutAscii(b, d)      writes one ASCII character;
//   AsciiBlock(s, d)    converts the ASCII run (CR and LF excepted) that starts
//                       the 16 bytes at s, storing 16 characters' room at d
//                       (see ascii_blocks.h), and returns its length;
//   Run(s, n, limit, d, i, o)
//                       converts the run of two-byte characters with an
//                       equivalent that start at s[i, limit) (ending by n)
//                       into d[o...], which has room for them, advancing i and
//                       o; it may convert none;
//   PutPair(lead, trail, d, replaced), PutSingle(b, d, replaced)
//                       write a character that is not ASCII at d: a lead and a
//                       trail byte, or a single byte (which may be a lead byte
//                       without its trail byte). They return its length; a
//                       character without an equivalent is counted in replaced.

// What each two-byte Shift-JIS code becomes in a target, for the runs of such
// characters: entry kPairRows[lead] + trail of a table of 61 rows of 256, the
// last row, all 0, for any byte that is not a lead byte. 0 also for a byte
// that is no trail byte and for a code without an equivalent: the run ends
// there.
constexpr std::size_t kNoRow = 60 * 256;
constexpr std::array<std::uint16_t, 256> kPairRows = [] {
  std::array<std::uint16_t, 256> rows{};
  for (int b = 0; b < 256; ++b) {
    const auto lead = static_cast<std::uint8_t>(b);
    rows[lead] = static_cast<std::uint16_t>(cp932::IsLead(lead) ? cp932::LeadIndex(lead) * 256 : kNoRow);
  }
  return rows;
}();
template <typename T>
using PairTable = std::array<T, kNoRow + 256>;

template <typename T, typename Of>
PairTable<T> MakePairTable(Of of) {
  PairTable<T> table{};
  for (int l = 0; l < 256; ++l)
    for (int t = 0x40; t <= 0xFC; ++t) {
      const auto lead = static_cast<std::uint8_t>(l), trail = static_cast<std::uint8_t>(t);
      if (cp932::IsLead(lead) && cp932::IsTrail(trail)) table[kPairRows[lead] + trail] = of(lead, trail);
    }
  return table;
}

// The entry of the two-byte character at s (two bytes readable), 0 when there
// is none.
template <typename T>
inline T PairEntry(const T* table, const std::uint8_t* s) {
  return table[kPairRows[s[0]] + s[1]];
}

// Where a run of two-byte characters that start before limit stops at the
// latest: the last byte of s can start none.
inline std::size_t PairRunStop(std::size_t n, std::size_t limit) { return std::min(limit, n != 0 ? n - 1 : 0); }

// Writes the two-byte characters that start at s[i, limit) (ending by n) and
// have a two-byte entry, stopping at the first other character; the room is
// there. kHighFirst: the entry's high byte goes first.
template <bool kHighFirst>
inline void TwoByteRun(const std::uint16_t* table, const std::uint8_t* s, std::size_t n, std::size_t limit,
                       std::uint8_t* d, std::size_t& i, std::size_t& o) {
  std::size_t k = i, w = o;
  const std::size_t stop = PairRunStop(n, limit);
  while (k < stop) {
    std::uint16_t v = PairEntry(table, s + k);
    if (v == 0) break;
    if (kHighFirst == (std::endian::native == std::endian::little)) v = static_cast<std::uint16_t>(v << 8 | v >> 8);
    std::memcpy(d + w, &v, 2);
    k += 2, w += 2;
  }
  i = k, o = w;
}

struct Utf8Target {
  static constexpr int kCode = kCodeUtf8;
  static constexpr std::size_t kAsciiWidth = 1, kMaxBytes = 3, kPutRoom = 4;

  static std::size_t AsciiBlock(const std::uint8_t* s, std::uint8_t* d) { return blocks::CopyAscii<true>(s, d); }

  // The UTF-8 of each two-byte code by kPairRows: its bytes from the lowest,
  // and its length in the top byte; 0 for an undefined code.
  const std::uint32_t* pairs = Pairs();

  static std::uint32_t Encode(std::uint16_t u) {
    if (u >= 0x800) return (0xE0u | u >> 12) | (0x80u | ((u >> 6) & 0x3F)) << 8 | (0x80u | (u & 0x3F)) << 16 | 3u << 24;
    if (u >= 0x80) return (0xC0u | u >> 6) | (0x80u | (u & 0x3F)) << 8 | 2u << 24;
    return u | 1u << 24;
  }
  static const std::uint32_t* Pairs() {
    static const PairTable<std::uint32_t> table = MakePairTable<std::uint32_t>([](std::uint8_t l, std::uint8_t t) {
      const std::uint16_t u = cp932::DecodePair(l, t);
      return u ? Encode(u) : 0u;
    });
    return table.data();
  }
  // Two-byte characters with a UTF-8 form (all but the undefined codes).
  void Run(const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d, std::size_t& i,
           std::size_t& o) const {
    if constexpr (std::endian::native != std::endian::little) return;  // Put(packed) stores from the lowest byte
    std::size_t k = i, w = o;
    const std::size_t stop = PairRunStop(n, limit);
    while (k < stop) {
      const std::uint32_t packed = PairEntry(pairs, s + k);
      if (packed == 0) break;
      w += Put(packed, d + w);
      k += 2;
    }
    i = k, o = w;
  }
  static std::size_t Put(std::uint32_t packed, std::uint8_t* d) {
    std::memcpy(d, &packed, 4);  // little-endian first: the character's bytes, then its length (overwritten later)
    return packed >> 24;
  }
  static std::size_t Put(std::uint16_t u, std::uint8_t* d) {
    const std::uint32_t packed = Encode(u);
    for (std::uint32_t k = 0; k < packed >> 24; ++k) d[k] = static_cast<std::uint8_t>(packed >> (8 * k));
    return packed >> 24;
  }

  static void PutAscii(std::uint8_t b, std::uint8_t* d) { d[0] = b; }
  std::size_t PutPair(std::uint8_t lead, std::uint8_t trail, std::uint8_t* d, std::size_t& replaced) const {
    const std::uint32_t packed = pairs[kPairRows[lead] + trail];
    if (packed == 0) [[unlikely]] return Lost(d, replaced);
    if constexpr (std::endian::native == std::endian::little) return Put(packed, d);
    return Put(cp932::DecodePair(lead, trail), d);
  }
  static std::size_t PutSingle(std::uint8_t b, std::uint8_t* d, std::size_t& replaced) {
    if (cp932::IsLead(b)) return Lost(d, replaced);  // a lead byte without its trail byte
    return Put(cp932::kSingle[b], d);
  }
  static std::size_t Lost(std::uint8_t* d, std::size_t& replaced) {
    ++replaced;
    d[0] = '?';
    return 1;
  }
};

// The UTF-16 unit of each two-byte code by kPairRows (both byte orders).
inline const std::uint16_t* PairUnits() {
  static const PairTable<std::uint16_t> table = MakePairTable<std::uint16_t>(cp932::DecodePair);
  return table.data();
}

template <bool kBigEndian>
struct Utf16Target {
  static constexpr int kCode = kBigEndian ? kCodeUtf16BE : kCodeUtf16LE;
  static constexpr std::size_t kAsciiWidth = 2, kMaxBytes = 2, kPutRoom = 2;

  static std::size_t AsciiBlock(const std::uint8_t* s, std::uint8_t* d) { return blocks::WidenAscii<kBigEndian>(s, d); }

  // Two-byte characters with a UTF-16 form.
  const std::uint16_t* units = PairUnits();
  void Run(const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d, std::size_t& i,
           std::size_t& o) const {
    TwoByteRun<kBigEndian>(units, s, n, limit, d, i, o);
  }

  static std::size_t Put(std::uint16_t u, std::uint8_t* d) {
    const bool swap = kBigEndian != (std::endian::native == std::endian::big);
    const std::uint16_t v = swap ? static_cast<std::uint16_t>(u << 8 | u >> 8) : u;
    std::memcpy(d, &v, 2);
    return 2;
  }
  static void PutAscii(std::uint8_t b, std::uint8_t* d) { Put(b, d); }
  static std::size_t PutPair(std::uint8_t lead, std::uint8_t trail, std::uint8_t* d, std::size_t& replaced) {
    const std::uint16_t u = cp932::DecodePair(lead, trail);
    if (u == 0) [[unlikely]] return Lost(d, replaced);
    return Put(u, d);
  }
  static std::size_t PutSingle(std::uint8_t b, std::uint8_t* d, std::size_t& replaced) {
    if (cp932::IsLead(b)) return Lost(d, replaced);  // a lead byte without its trail byte
    return Put(cp932::kSingle[b], d);
  }
  static std::size_t Lost(std::uint8_t* d, std::size_t& replaced) {
    ++replaced;
    return Put('?', d);
  }
};

struct EucTarget {
  static constexpr int kCode = kCodeEuc;
  static constexpr std::size_t kAsciiWidth = 1, kMaxBytes = 2, kPutRoom = 2;

  static std::size_t AsciiBlock(const std::uint8_t* s, std::uint8_t* d) { return blocks::CopyAscii<true>(s, d); }

  // Two-byte characters with an EUC-JP form, as PutPair writes them.
  const std::uint16_t* codes = Codes();
  static const std::uint16_t* Codes() {
    static const PairTable<std::uint16_t> table = MakePairTable<std::uint16_t>([](std::uint8_t l, std::uint8_t t) {
      std::uint8_t out[2];
      std::size_t lost = 0;
      PutPair(l, t, out, lost);
      return static_cast<std::uint16_t>(lost ? 0 : out[0] << 8 | out[1]);
    });
    return table.data();
  }
  void Run(const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d, std::size_t& i,
           std::size_t& o) const {
    TwoByteRun<true>(codes, s, n, limit, d, i, o);
  }

  static void PutAscii(std::uint8_t b, std::uint8_t* d) { d[0] = b; }
  static std::size_t PutPair(std::uint8_t lead, std::uint8_t trail, std::uint8_t* d, std::size_t& replaced) {
    std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | trail);
    if (lead >= 0xF0) code = lead >= 0xFA ? cp932::IbmToNec(lead, trail)  // EUC-JP only has the NEC forms
                                          : 0;                             // user-defined characters
    if (code == 0) [[unlikely]] return Lost(d, replaced);
    const std::uint8_t l = static_cast<std::uint8_t>(code >> 8), t = static_cast<std::uint8_t>(code);
    d[0] = static_cast<std::uint8_t>(kSjisLeadToEuc[l] + (t >= 0x9F));
    d[1] = kSjisTrailToEuc[t];
    return 2;
  }
  static std::size_t PutSingle(std::uint8_t b, std::uint8_t* d, std::size_t& replaced) {
    if (!(kSjisClass[b] & kSjisKana)) return Lost(d, replaced);  // 0x80, 0xA0, 0xFD-0xFF, or a lead byte alone
    d[0] = 0x8E, d[1] = b;
    return 2;
  }
  static std::size_t Lost(std::uint8_t* d, std::size_t& replaced) {
    ++replaced;
    d[0] = '?';
    return 1;
  }
};

// Writes one ASCII byte in the target form.
template <class Target>
inline bool PutAsciiByte(std::uint8_t b, std::uint8_t* d, std::size_t cap, std::size_t& o) {
  if (cap - o < Target::kAsciiWidth) return false;
  Target::PutAscii(b, d + o);
  o += Target::kAsciiWidth;
  return true;
}

// A lead byte and a trail byte at s (two bytes readable), by the class table.
inline bool IsSjisPair(const std::uint8_t* s) { return (kSjisClass[s[0]] << 1) & kSjisClass[s[1]] & kSjisTrail; }
static_assert([] {
  for (int b = 0; b < 256; ++b) {
    const auto u = static_cast<std::uint8_t>(b);
    if (bool(kSjisClass[u] & kSjisLead) != cp932::IsLead(u) || bool(kSjisClass[u] & kSjisTrail) != cp932::IsTrail(u))
      return false;
  }
  return kSjisLead << 1 == kSjisTrail;
}());

enum class Stop { End, LineEnd, Full };

// Cursor of a walk: input and output offsets and the replacements so far.
struct Cursor {
  std::size_t i = 0, o = 0, replaced = 0;
};

// Writes n (a line end's length, at most 4) bytes of src at d.
inline void PutLineEnd(std::uint8_t* d, const std::uint8_t* src, std::size_t n) {
  if (n == 2) std::memcpy(d, src, 2);
  else if (n == 4) std::memcpy(d, src, 4);
  else if (n == 1) d[0] = src[0];
  else for (std::size_t k = 0; k < n; ++k) d[k] = src[k];
}

// The lines of working text converted so far, with the line end each CR LF
// becomes.
struct TextLines {
  const std::uint8_t* crlf;
  std::size_t crlfLen;
  std::size_t lines = 0;             // LF bytes consumed
  std::int64_t firstLossyLine = -1;  // 0-based line of the first replacement
  Cursor line;                       // where the current line began

  // A replacement so far (at.replaced) belongs to the current line unless
  // one was seen before.
  void NoteLoss(const Cursor& at) {
    if (at.replaced && firstLossyLine < 0) firstLossyLine = static_cast<std::int64_t>(lines);
  }
  void EndLine(const Cursor& at) {
    NoteLoss(at);
    ++lines;
    line = at;
  }
};

// Converts the Shift-JIS characters of s[at.i, n) into the target until the end
// of s (End), a CR or LF at at.i (LineEnd) or a character that does not fit
// (Full). A lead byte not followed by a trail byte is a character of its own;
// CR and LF are never trail bytes, so they always start a character.
// Characters are taken while they start before limit; kRoomy: those fit in
// dst whatever they are, so no step checks the room.
// text: working text whose CR LF pairs become text->crlf (the walk goes on
// past them while they fit in the stretch that needs no checks); null: every
// CR or LF stops the walk.
template <bool kRoomy, class Target>
Stop WalkSjisIn(const Target& target, const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d,
                std::size_t cap, Cursor& at, TextLines* text) {
  std::size_t i = at.i, o = at.o, replaced = at.replaced;
  auto fits = [&](std::size_t k) { return kRoomy || cap - o >= k; };
  // Writes a character that is not ASCII, near the end of dst through a scratch
  // buffer: false (nothing written) when it does not fit.
  auto put = [&](auto write) {
    if (fits(Target::kPutRoom)) {
      o += write(d + o, replaced);
      return true;
    }
    std::uint8_t scratch[Target::kPutRoom];
    std::size_t lost = 0;
    const std::size_t k = write(scratch, lost);
    if (k > cap - o) return false;
    std::memcpy(d + o, scratch, k);
    o += k, replaced += lost;
    return true;
  };
  Stop stop = Stop::End;
  while (i < limit) {
    const std::uint8_t b = s[i];
    if (b < 0x80) {
      if constexpr (kRoomy && blocks::kEnabled) {
        // An ASCII run, a block at a time while its whole output fits.
        constexpr std::size_t kOut = blocks::kBlock * Target::kAsciiWidth;
        const std::size_t from = i;
        while (limit - i >= blocks::kBlock && cap - o >= kOut) {
          const std::size_t k = Target::AsciiBlock(s + i, d + o);
          i += k, o += k * Target::kAsciiWidth;
          if (k != blocks::kBlock) break;
        }
        if (i != from) continue;
      }
      if (scan::IsLineEnd(b)) [[unlikely]] {
        if constexpr (kRoomy && blocks::kEnabled) {
          if (text != nullptr && b == '\r' && limit - i >= 2 && s[i + 1] == '\n' && cap - o >= text->crlfLen) {
            PutLineEnd(d + o, text->crlf, text->crlfLen);
            i += 2, o += text->crlfLen;
            text->EndLine({i, o, replaced});
            continue;
          }
        }
        stop = Stop::LineEnd;
        break;
      }
      if (!fits(Target::kAsciiWidth)) {
        stop = Stop::Full;
        break;
      }
      Target::PutAscii(b, d + o);
      i += 1, o += Target::kAsciiWidth;
      continue;
    }
    if constexpr (kRoomy && blocks::kEnabled) {
      if (kSjisClass[b] & kSjisLead) {  // half-width katakana go on below at once
        const std::size_t from = i;
        target.Run(s, n, limit, d, i, o);
        if (i != from) continue;
      }
    }
    if (i + 1 < n && IsSjisPair(s + i)) [[likely]] {
      const std::uint8_t t = s[i + 1];
      if (!put([&](std::uint8_t* to, std::size_t& lost) { return target.PutPair(b, t, to, lost); })) {
        stop = Stop::Full;
        break;
      }
      i += 2;
      continue;
    }
    if (!put([&](std::uint8_t* to, std::size_t& lost) { return target.PutSingle(b, to, lost); })) {
      stop = Stop::Full;
      break;
    }
    i += 1;
  }
  at = {i, o, replaced};
  return stop;
}

template <class Target>
Stop WalkSjis(const Target& target, const std::uint8_t* s, std::size_t n, std::uint8_t* d, std::size_t cap,
              Cursor& at, TextLines* text = nullptr) {
  // Each input byte makes at most kMaxBytes (a single-byte character), and a
  // Put needs kPutRoom: the characters that start in the first stretch below
  // fit whatever they are. The rest is converted with checks.
  const std::size_t room = cap - at.o;
  if (room >= Target::kPutRoom) {
    const std::size_t limit = at.i + std::min(n - at.i, (room - Target::kPutRoom) / Target::kMaxBytes + 1);
    const Stop stop = WalkSjisIn<true>(target, s, n, limit, d, cap, at, text);
    if (stop != Stop::End || at.i >= n) return stop;
  }
  return WalkSjisIn<false>(target, s, n, n, d, cap, at, text);
}

// One line: a final CR LF becomes crlf, any other CR or LF is converted as it is.
template <class Target>
Converted FromSjisLine(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  Converted r;
  const Bytes body = LineBody(src, crlf);
  const std::uint8_t* s = body.data();
  const std::size_t n = body.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  const Target target;
  Cursor at;
  while (true) {
    const Stop stop = WalkSjis(target, s, n, d, cap, at);
    if (stop == Stop::End) break;
    if (stop == Stop::Full || !PutAsciiByte<Target>(s[at.i], d, cap, at.o)) {
      r.complete = false;
      break;
    }
    ++at.i;
  }
  r.consumed = at.i;
  r.replaced = at.replaced;
  if (r.complete && body.size() != src.size()) {
    if (AppendCrlf(crlf, CrlfLength(Target::kCode, crlf), dst, at.o)) r.consumed = src.size();
    else r.complete = false;
  }
  r.written = at.o;
  return r;
}

// Working text: every line as FromSjisLine converts it, whole lines while they fit.
template <class Target>
TextConverted FromSjisText(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  TextConverted r;
  const std::uint8_t* s = src.data();
  const std::size_t n = src.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  const Target target;
  TextLines text{crlf, CrlfLength(Target::kCode, crlf), 0, -1, {}};
  Cursor at;  // where we are
  while (true) {
    const Stop stop = WalkSjis(target, s, n, d, cap, at, crlf != nullptr ? &text : nullptr);
    text.NoteLoss(at);
    if (stop == Stop::End) {
      text.line = at;
      break;
    }
    if (stop == Stop::Full) {
      r.complete = false;
      break;
    }
    if (crlf != nullptr && s[at.i] == '\r' && at.i + 1 < n && s[at.i + 1] == '\n') {
      if (cap - at.o < text.crlfLen) {
        r.complete = false;
        break;
      }
      PutLineEnd(d + at.o, crlf, text.crlfLen);
      at.i += 2, at.o += text.crlfLen;
    } else {  // a bare CR or LF is a character of its line
      if (!PutAsciiByte<Target>(s[at.i], d, cap, at.o)) {
        r.complete = false;
        break;
      }
      if (s[at.i++] != '\n') continue;
    }
    text.EndLine(at);
  }
  r.lines = text.lines;
  r.firstLossyLine = text.firstLossyLine;
  if (!r.complete && text.line.replaced == 0) r.firstLossyLine = -1;  // the replacement was in the line left over
  r.consumed = text.line.i;
  r.written = text.line.o;
  r.replaced = text.line.replaced;
  return r;
}

// The n bytes at a and b are the same (n is a few bytes: no call of memcmp).
inline bool EqualBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k)
    if (a[k] != b[k]) return false;
  return true;
}

// The Shift-JIS line-end rule of one line: with crlf, a final CR LF, or a final
// LF when the line is at least as long as crlf, becomes crlf. Returns the bytes
// of the line that stay before crlf (the whole line: it stays as it is).
inline std::size_t SjisLineKeeps(Bytes line, const std::uint8_t* crlf, std::size_t crlfLen) {
  const std::size_t n = line.size();
  if (crlf != nullptr && n >= crlfLen) {
    if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') return n - 2;
    if (n >= 1 && line[n - 1] == '\n') return n - 1;
  }
  return n;
}

// ---- into Shift-JIS: the input forms ------------------------------------------------
//
// A source decodes the characters that are not ASCII:
//   Block<kLineStops>(s, d)
//                      converts the characters of the 16 bytes at s that keep
//                      their length (ASCII at least, CR and LF excepted with
//                      kLineStops) from the first on, storing 16 bytes at d,
//                      and returns their bytes (see ascii_blocks.h);
//   Decode(s, left)    with left >= 1 bytes at s gives the cp932 code of the
//                      character at s (0: none, written as "?"), the bytes it
//                      takes, and whether it is cut by the end of s (then code
//                      and length are those of a character that src ends in);
//   Run(s, n, limit, d, i, o)
//                      converts the run of its most common characters that
//                      start at s[i, limit) (ending by n) straight into
//                      d[o...], which has room for them, advancing i and o; it
//                      may convert none.

struct Decoded {
  std::uint16_t code;
  std::uint8_t len;
  bool cut;
};

struct EucSource {
  const std::uint8_t* cls;
  // Under our own table JIS X 0208 is any two bytes of A1-FE, taken with ASCII
  // a block at a time (ReadPiece and EucToSjis hand over our table's address
  // for a copy of it).
  bool standard = cls == kEucClass.data();

  template <bool kLineStops>
  std::size_t Block(const std::uint8_t* s, std::uint8_t* d) const {
    if (blocks::kEucBlocks && standard) return blocks::EucBlock<kLineStops>(s, d);
    return blocks::CopyAscii<kLineStops>(s, d);
  }

  // Bytes below 0x80 are ASCII whatever the caller's class table says: they
  // neither start nor end a two-byte character.
  bool Trail(std::uint8_t b) const { return b >= 0x80 && (cls[b] & kEucTrail); }

  Decoded Decode(const std::uint8_t* s, std::size_t left) const {
    const std::uint8_t b = s[0], c = b < 0x80 ? 0 : cls[b];
    if ((c & (kEucLead | kEucSs2 | kEucSs3)) == kEucLead && left >= 2 && Trail(s[1])) {
      // JIS X 0208, by far the most common: the steps below, by table.
      return {static_cast<std::uint16_t>(kEucRowToSjis[b] << 8 | kEucCellToSjis[b & 1][s[1]]), 2, false};
    }
    const std::size_t need = (c & kEucSs3) ? 2 : (c & (kEucLead | kEucSs2)) ? 1 : 0;
    std::size_t have = 0;
    while (have < need && 1 + have < left && Trail(s[1 + have])) ++have;
    if (have < need) return {0, 1, 1 + have == left};  // a stray or cut lead byte
    if (need == 0) return {0, 1, false};                // a byte that starts no character
    const std::uint8_t t = s[1];
    if (c & kEucSs3) return {0, 3, false};  // JIS X 0212: no Shift-JIS equivalent
    if (c & kEucSs2) {                      // half-width katakana
      if (t >= 0xA1 && t <= 0xDF) return {t, 2, false};
      return {0, 1, false};
    }
    return {static_cast<std::uint16_t>(kEucRowToSjis[b] << 8 | kEucCellToSjis[b & 1][t]), 2, false};  // JIS X 0208
  }

  // JIS X 0208 characters, two bytes each way (and half-width katakana).
  void Run(const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d, std::size_t& i,
           std::size_t& o) const {
    std::size_t k = i, w = o;
    if constexpr (blocks::kEnabled) {
      // With half-width katakana (single-shift 2 and a byte of A1-DF: that
      // byte). Under our table the blocks take JIS X 0208 wherever a block fits.
      const bool blocksTake = blocks::kEucBlocks && standard;
      while (k < limit && n - k >= 2) {
        const std::uint8_t b = s[k], t = s[k + 1];
        if (b < 0x80 || !Trail(t)) break;
        const std::uint8_t c = cls[b] & (kEucLead | kEucSs2 | kEucSs3);
        if (c == kEucLead) {
          if (blocksTake && limit - k >= blocks::kBlock) break;
          d[w] = kEucRowToSjis[b];
          d[w + 1] = kEucCellToSjis[b & 1][t];
          k += 2, w += 2;
        } else if ((c & (kEucSs2 | kEucSs3)) == kEucSs2 && t <= 0xDF && t >= 0xA1) {
          d[w] = t;
          k += 2, w += 1;
        } else {
          break;
        }
      }
      i = k, o = w;
      return;
    }
    while (k < limit && n - k >= 2) {
      const std::uint8_t b = s[k], t = s[k + 1];
      if (b < 0x80 || (cls[b] & (kEucLead | kEucSs2 | kEucSs3)) != kEucLead || !Trail(t)) [[unlikely]]
        break;
      d[w] = kEucRowToSjis[b];
      d[w + 1] = kEucCellToSjis[b & 1][t];
      k += 2, w += 2;
    }
    i = k, o = w;
  }
};

struct Utf8Source {
  // The codes of the three-byte sequences with a lead byte of E1-EF but ED
  // (any two continuation bytes make a character there), by the lead's low
  // four bits and the second byte's low six: 64 of them, one for each third
  // byte's low six bits. Rows of E0 and ED, where some sequences are
  // ill-formed, are all 0 (the sequences go to Decode).
  static const std::uint16_t* const* ThreeByteRows() {
    static const std::uint16_t kNone[64] = {};
    static const auto rows = [] {
      std::array<const std::uint16_t*, 16 * 64> r{};
      for (unsigned lead = 0; lead < 16; ++lead)
        for (unsigned second = 0; second < 64; ++second) {
          const unsigned page = lead << 4 | second >> 2;
          r[lead << 6 | second] = lead == 0 || lead == 0xD ? kNone : cp932::kEncodePages[cp932::kEncodeIndex[page]] + ((second & 3) << 6);
        }
      return r;
    }();
    return rows.data();
  }

  template <bool kLineStops>
  static std::size_t Block(const std::uint8_t* s, std::uint8_t* d) {
    return s[0] < 0x80 ? blocks::CopyAscii<kLineStops>(s, d) : 0;
  }

  Decoded Decode(const std::uint8_t* s, std::size_t left) const {
    const std::uint8_t b = s[0];
    if (b >= 0xE1 && b <= 0xEF && b != 0xED && left >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
      // A three-byte sequence whose second byte may be any continuation byte
      // (kana and kanji among them): valid as it stands.
      const auto cp = static_cast<std::uint16_t>((b & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F));
      return {cp932::Encode(cp), 3, false};
    }
    const Utf8Seq q = DecodeUtf8(s, left);
    const std::uint16_t code = q.valid && q.cp <= 0xFFFF ? cp932::Encode(static_cast<std::uint16_t>(q.cp)) : 0;
    return {code, q.len, q.cut};
  }

  // Three-byte sequences with an equivalent (kana, kanji, full-width and
  // half-width forms).
  void Run(const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d, std::size_t& i,
           std::size_t& o) const {
    std::size_t k = i, w = o;
    if constexpr (blocks::kEnabled && std::endian::native == std::endian::little) {
      // A sequence and the byte after it in one word (the last sequence of s
      // is left to Decode): a lead byte, then two continuation bytes.
      const std::uint16_t* const* rows = ThreeByteRows();
      const std::size_t stop = std::min(limit, n >= 4 ? n - 3 : 0);
      while (k < stop) {
        std::uint32_t q;
        std::memcpy(&q, s + k, 4);
        if ((q & 0xC0C0F0) != 0x8080E0) break;
        const std::uint16_t code = rows[(q & 0x0F) << 6 | (q >> 8 & 0x3F)][q >> 16 & 0x3F];
        if (code >= 0x100) [[likely]] {
          d[w] = static_cast<std::uint8_t>(code >> 8);
          d[w + 1] = static_cast<std::uint8_t>(code);
          w += 2;
        } else if (code != 0) {
          d[w++] = static_cast<std::uint8_t>(code);
        } else {
          break;
        }
        k += 3;
      }
      i = k, o = w;
      return;
    }
    while (k < limit && n - k >= 3) {
      const std::uint8_t b = s[k];
      if (b < 0xE1 || b > 0xEF || b == 0xED || (s[k + 1] & 0xC0) != 0x80 || (s[k + 2] & 0xC0) != 0x80) [[unlikely]]
        break;
      const std::uint16_t code =
          cp932::Encode(static_cast<std::uint16_t>((b & 0x0F) << 12 | (s[k + 1] & 0x3F) << 6 | (s[k + 2] & 0x3F)));
      if (code == 0) [[unlikely]]
        break;
      if (code >= 0x100) [[likely]]
        d[w++] = static_cast<std::uint8_t>(code >> 8);
      d[w++] = static_cast<std::uint8_t>(code);
      k += 3;
    }
    i = k, o = w;
  }
};

// The CR LF pairs a reader's line step goes on past (see line_steps.h).
struct StepLines {
  std::size_t goOnBelow;
  std::size_t lines = 0;
  std::int64_t firstLossyLine = -1;
  Cursor after;  // where the last of them ended

  void EndLine(const Cursor& at) {
    if (at.replaced && firstLossyLine < 0) firstLossyLine = static_cast<std::int64_t>(lines);
    ++lines;
    after = at;
  }
};

// Converts s[at.i, n) into Shift-JIS until the end of s or a character cut by
// it when !srcEnds (End), with kLineStops a CR or LF at at.i (LineEnd), or a
// character that does not fit (Full). Characters are taken while they start
// before limit; kRoomy: those fit in dst whatever they are, so no step checks
// the room. With lines, a CR LF in that stretch is kept as it is and the walk
// goes on while its output stays below lines->goOnBelow.
template <class Source, bool kRoomy, bool kLineStops>
Stop WalkIntoSjisIn(const Source& source, const std::uint8_t* s, std::size_t n, std::size_t limit, std::uint8_t* d,
                    std::size_t cap, bool srcEnds, Cursor& at, StepLines* lines) {
  std::size_t i = at.i, o = at.o, replaced = at.replaced;
  auto fits = [&](std::size_t k) { return kRoomy || cap - o >= k; };
  Stop stop = Stop::End;
  while (i < limit) {
    if constexpr (kRoomy && blocks::kEnabled) {
      // The source's most common characters that keep their length, a block
      // at a time: the room is there (no character makes more bytes than it
      // takes). Then the character that ended them, below.
      while (limit - i >= blocks::kBlock) {
        const std::size_t k = source.template Block<kLineStops>(s + i, d + o);
        i += k, o += k;
        if (k != blocks::kBlock) break;
      }
      if (i >= limit) break;
    }
    const std::uint8_t b = s[i];
    if (b < 0x80) {
      if (kLineStops && scan::IsLineEnd(b)) [[unlikely]] {
        if constexpr (kRoomy && blocks::kEnabled) {
          // A CR LF comes out as it is, in the room there is (it takes two bytes).
          if (lines != nullptr && b == '\r' && limit - i >= 2 && s[i + 1] == '\n' && o + 2 < lines->goOnBelow) {
            d[o] = '\r', d[o + 1] = '\n';
            i += 2, o += 2;
            lines->EndLine({i, o, replaced});
            continue;
          }
        }
        stop = Stop::LineEnd;
        break;
      }
      if (!fits(1)) {
        stop = Stop::Full;
        break;
      }
      d[o++] = b;
      ++i;
      continue;
    }
    if (kRoomy) {
      const std::size_t from = i;
      source.Run(s, n, limit, d, i, o);
      if (i != from) continue;
    }
    const Decoded q = source.Decode(s + i, n - i);
    if (q.cut && !srcEnds) break;
    const bool lost = q.code == 0;
    const std::uint16_t code = lost ? '?' : q.code;
    if (code < 0x100) {
      if (!fits(1)) {
        stop = Stop::Full;
        break;
      }
      d[o++] = static_cast<std::uint8_t>(code);
    } else {
      if (!fits(2)) {
        stop = Stop::Full;
        break;
      }
      d[o] = static_cast<std::uint8_t>(code >> 8);
      d[o + 1] = static_cast<std::uint8_t>(code);
      o += 2;
    }
    i += q.len;
    replaced += lost;
  }
  at = {i, o, replaced};
  return stop;
}

template <bool kLineStops, class Source>
Stop WalkIntoSjis(const Source& source, Bytes src, MutBytes dst, bool srcEnds, Cursor& at, StepLines* lines = nullptr) {
  const std::uint8_t* s = src.data();
  std::uint8_t* d = dst.data();
  const std::size_t n = src.size(), cap = dst.size();
  // No character makes more bytes than it takes, nor more than two: those that
  // start in the first stretch below fit whatever they are. The rest is
  // converted with checks.
  const std::size_t room = cap - at.o;
  if (room >= 2) {
    const std::size_t limit = at.i + std::min(n - at.i, room - 1);
    const Stop stop = WalkIntoSjisIn<Source, true, kLineStops>(source, s, n, limit, d, cap, srcEnds, at, lines);
    if (stop != Stop::End || at.i >= n) return stop;
  }
  return WalkIntoSjisIn<Source, false, kLineStops>(source, s, n, n, d, cap, srcEnds, at, lines);
}

template <class Source>
Converted IntoSjis(const Source& source, Bytes src, MutBytes dst, bool srcEnds) {
  Cursor at;
  WalkIntoSjis<false>(source, src, dst, srcEnds, at);
  Converted r;
  r.consumed = at.i, r.written = at.o, r.replaced = at.replaced, r.complete = at.i == src.size();
  return r;
}

template <class Source>
detail::LineStep LineIntoSjis(const Source& source, Bytes src, MutBytes dst, std::size_t goOnBelow) {
  Cursor at;
  StepLines lines{goOnBelow, 0, -1, {}};
  const Stop stop = WalkIntoSjis<true>(source, src, dst, false, at, goOnBelow != 0 ? &lines : nullptr);
  detail::LineStep r;
  r.consumed = at.i, r.written = at.o, r.replaced = at.replaced;
  r.lines = lines.lines, r.firstLossyLine = lines.firstLossyLine;
  r.linesConsumed = lines.after.i, r.linesWritten = lines.after.o, r.linesReplaced = lines.after.replaced;
  r.end = stop == Stop::LineEnd ? detail::StepEnd::LineEnd
          : stop == Stop::Full  ? detail::StepEnd::Full
                                : detail::StepEnd::SrcEnd;
  return r;
}

}  // namespace

const std::uint8_t* detail::OurEucClassIfSame(const std::uint8_t* eucClass) {
  if (eucClass == nullptr || eucClass == kEucClass.data()) return kEucClass.data();
  return std::memcmp(eucClass, kEucClass.data(), kEucClass.size()) == 0 ? kEucClass.data() : eucClass;
}

detail::LineStep detail::EucLineToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass, std::size_t goOnBelow) {
  return LineIntoSjis(EucSource{eucClass}, src, dst, goOnBelow);
}

detail::LineStep detail::Utf8LineToSjis(Bytes src, MutBytes dst, const std::uint8_t*, std::size_t goOnBelow) {
  return LineIntoSjis(Utf8Source{}, src, dst, goOnBelow);
}

// Stops at every line end (the reader copies the lines that need no change
// many at once before it comes here).
detail::LineStep detail::SjisLineToSjis(Bytes src, MutBytes dst, const std::uint8_t*, std::size_t) {
  // Line ends are never part of a character: the bytes before the first one are
  // the line, copied whole. Words are copied while they fit, stopping at the
  // first that may hold a line end; the bytes from there one at a time.
  const std::uint8_t* s = src.data();
  std::uint8_t* d = dst.data();
  const std::size_t n = src.size(), cap = dst.size();
  std::size_t k = 0;
  if constexpr (blocks::kEnabled) {
    while (n - k >= blocks::kBlock && cap - k >= blocks::kBlock) {
      const std::size_t c = blocks::CopyLine(s + k, d + k);
      k += c;
      if (c != blocks::kBlock) break;
    }
  } else {
    for (; k + 8 <= n && k + 8 <= cap; k += 8) {
      const std::uint64_t w = scan::Load8(s + k);
      std::memcpy(d + k, &w, 8);
      if (scan::AnyBelow(w, '\r' + 1)) break;
    }
  }
  detail::LineStep r;
  for (; k < n; ++k) {
    if (scan::IsLineEnd(s[k])) {
      r.end = detail::StepEnd::LineEnd;
      break;
    }
    if (k == cap) {
      r.end = detail::StepEnd::Full;
      break;
    }
    d[k] = s[k];
  }
  r.consumed = r.written = k;
  return r;
}

int ResultOf(const Converted& c) {
  if (!c.complete || c.written == 0) return 0;
  const int n = static_cast<int>(c.written);
  return c.replaced ? -n : n;
}

// ---- into Shift-JIS -------------------------------------------------------------

Converted SjisToSjis(Bytes src, MutBytes dst, bool srcEnds) {
  Converted r;
  const std::size_t n = src.size(), cap = dst.size();
  if (n <= cap && srcEnds) {
    if (n) std::memcpy(dst.data(), src.data(), n);
    r.consumed = r.written = n;
    return r;
  }
  // Stop at the last character boundary that fits (and is not a lead byte cut
  // by the end of src).
  std::size_t i = 0;
  while (i < n) {
    std::size_t len = (cp932::IsLead(src[i]) && i + 1 < n && cp932::IsTrail(src[i + 1])) ? 2 : 1;
    if (len == 1 && !srcEnds && i + 1 == n && cp932::IsLead(src[i])) break;
    if (i + len > cap) break;
    i += len;
  }
  if (i) std::memcpy(dst.data(), src.data(), i);
  r.consumed = r.written = i;
  r.complete = i == n;
  return r;
}

Converted EucToSjis(Bytes src, MutBytes dst, const std::uint8_t* cls, bool srcEnds) {
  // A short text is not worth comparing the table for.
  if (cls == nullptr || src.size() >= 4 * blocks::kBlock) cls = detail::OurEucClassIfSame(cls);
  return IntoSjis(EucSource{cls}, src, dst, srcEnds);
}

Converted Utf8ToSjis(Bytes src, MutBytes dst, bool srcEnds) { return IntoSjis(Utf8Source{}, src, dst, srcEnds); }

Converted Utf16ToSjis(Bytes src, MutBytes dst, bool bigEndian, bool srcEnds) {
  Converted r;
  const std::uint8_t* s = src.data();
  const std::size_t n = src.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  std::size_t i = 0, o = 0;
  auto unit = [&](std::size_t k) -> std::uint16_t {
    return bigEndian ? static_cast<std::uint16_t>(s[k] << 8 | s[k + 1]) : static_cast<std::uint16_t>(s[k + 1] << 8 | s[k]);
  };
  while (i < n) {
    if constexpr (blocks::kEnabled) {
      // ASCII units, a block at a time (tried from an ASCII unit on).
      while (n - i >= blocks::kBlock && cap - o >= blocks::kUnits && unit(i) < 0x80) {
        const std::size_t k = bigEndian ? blocks::NarrowAscii<true, false>(s + i, d + o)
                                        : blocks::NarrowAscii<false, false>(s + i, d + o);
        i += 2 * k, o += k;
        if (k != blocks::kUnits) break;
      }
      if (i >= n) break;
    }
    std::size_t len = 2;
    std::uint16_t code = 0;
    if (i + 1 >= n) {  // an odd byte left over
      if (!srcEnds) break;
      len = 1;
    } else {
      const std::uint16_t u = unit(i);
      if (u >= 0xD800 && u <= 0xDBFF) {  // a character beyond the BMP: never in code page 932
        if (i + 3 < n) {
          const std::uint16_t v = unit(i + 2);
          if (v >= 0xDC00 && v <= 0xDFFF) len = 4;
        } else if (!srcEnds) {
          break;
        }
      } else if (u < 0x80) {
        if (o >= cap) break;
        d[o++] = static_cast<std::uint8_t>(u);
        i += 2;
        continue;
      } else if (u < 0xDC00 || u > 0xDFFF) {
        code = cp932::Encode(u);
      }
    }
    const bool replaced = code == 0;
    if (replaced) code = '?';
    if (!PutCode(code, d, cap, o)) break;
    i += len;
    r.replaced += replaced;
  }
  r.consumed = i;
  r.written = o;
  r.complete = i == n;
  return r;
}

// ---- from Shift-JIS ---------------------------------------------------------------

Converted SjisToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return FromSjisLine<EucTarget>(src, dst, crlf);
}

Converted SjisToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return FromSjisLine<Utf8Target>(src, dst, crlf);
}

Converted SjisToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf) {
  return bigEndian ? FromSjisLine<Utf16Target<true>>(src, dst, crlf) : FromSjisLine<Utf16Target<false>>(src, dst, crlf);
}

Converted SjisLineEnd(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  Converted r;
  const std::size_t n = src.size(), crlfLen = CrlfLength(kCodeSjis, crlf);
  const std::size_t keep = SjisLineKeeps(src, crlf, crlfLen);
  const std::size_t total = keep == n ? n : keep + crlfLen;
  if (total > dst.size()) {
    r.complete = false;
    return r;
  }
  if (keep) std::memcpy(dst.data(), src.data(), keep);
  if (keep != n) std::memcpy(dst.data() + keep, crlf, crlfLen);
  r.consumed = n;
  r.written = total;
  return r;
}

// ---- working text from Shift-JIS ------------------------------------------------------

TextConverted SjisTextToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return FromSjisText<EucTarget>(src, dst, crlf);
}

TextConverted SjisTextToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return FromSjisText<Utf8Target>(src, dst, crlf);
}

TextConverted SjisTextToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf) {
  return bigEndian ? FromSjisText<Utf16Target<true>>(src, dst, crlf) : FromSjisText<Utf16Target<false>>(src, dst, crlf);
}

TextConverted SjisTextLineEnds(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  TextConverted r;
  const std::uint8_t* s = src.data();
  std::uint8_t* d = dst.data();
  const std::size_t n = src.size(), cap = dst.size();
  const std::size_t crlfLen = CrlfLength(kCodeSjis, crlf);
  // Lines that stay as they are (the usual case) are copied a run at a time:
  // s[run, i) is still to be copied to d[o...].
  std::size_t i = 0, o = 0, run = 0;
  while (i < n) {
    const void* lf = std::memchr(s + i, '\n', n - i);
    const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - s) + 1 : n;
    const std::size_t len = end - i, keep = SjisLineKeeps(src.subspan(i, len), crlf, crlfLen);
    // A line stays as it is when it keeps its end, or ends in crlf already.
    const bool same = keep == len || (len - keep == crlfLen && EqualBytes(s + i + keep, crlf, crlfLen));
    const std::size_t total = same ? len : keep + crlfLen;
    if (total > cap - o - (i - run)) {
      r.complete = false;
      break;
    }
    if (!same) {
      std::memcpy(d + o, s + run, i - run + keep);
      o += i - run + keep;
      std::memcpy(d + o, crlf, crlfLen);
      o += crlfLen;
      run = end;
    }
    i = end;
    if (lf) ++r.lines;
  }
  if (i > run) std::memcpy(d + o, s + run, i - run);
  r.consumed = i;
  r.written = o + (i - run);
  return r;
}

}  // namespace gorvane::charcode
