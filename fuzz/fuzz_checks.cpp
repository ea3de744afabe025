#include "fuzz_checks.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/library_api.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace gorvane::fuzz {
namespace {

namespace cc = gorvane::charcode;
namespace api = gorvane::charcode::api;
using Byte = std::uint8_t;
using Vec = std::vector<Byte>;

// Returns from the enclosing check with a description when cond is false.
#define FUZZ_CHECK(cond, what)                              \
  do {                                                      \
    if (!(cond)) return std::string(#cond) + ": " + (what); \
  } while (false)
// Returns the failure of a nested check (with suffix appended).
#define FUZZ_TRY_AT(expr, suffix)                                                     \
  do {                                                                                \
    if (std::string failure_ = (expr); !failure_.empty()) return failure_ + (suffix); \
  } while (false)
#define FUZZ_TRY(expr) FUZZ_TRY_AT(expr, "")

// Blocks of a few pieces, kept from call to call: mapping fresh pages for
// every buffer of a piece's size costs more than the library's work. Only the
// bytes handed out are addressable; the rest of a block, and a block not in
// use, is poisoned, so AddressSanitizer sees the same bounds as with a fresh
// allocation of the size asked for.
class BlockPool {
 public:
  static constexpr std::size_t kBlockSize = 3 * cc::kPieceSize;
  static constexpr std::size_t kSmallest = 16384;  // below this, plain allocations

  Byte* Take(std::size_t n) {
    if (n < kSmallest || n > kBlockSize) return nullptr;
    std::size_t i = 0;
    while (i < blocks_.size() && inUse_[i]) ++i;
    if (i == blocks_.size()) {
      blocks_.push_back(std::make_unique<Byte[]>(kBlockSize));
      inUse_.push_back(false);
    }
    inUse_[i] = true;
    Byte* p = blocks_[i].get();
    ASAN_UNPOISON_MEMORY_REGION(p, n);
    ASAN_POISON_MEMORY_REGION(p + n, kBlockSize - n);
    return p;
  }
  bool Give(Byte* p) {
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      if (blocks_[i].get() != p) continue;
      ASAN_POISON_MEMORY_REGION(p, kBlockSize);
      inUse_[i] = false;
      return true;
    }
    return false;
  }

 private:
  std::vector<std::unique_ptr<Byte[]>> blocks_;
  std::vector<bool> inUse_;
};

BlockPool& Pool() {
  static BlockPool pool;
  return pool;
}

// A heap block of exactly the size asked for, filled with 0xCC.
class Exact {
 public:
  explicit Exact(std::size_t n) : p_(Pool().Take(n)), n_(n) {
    if (p_ == nullptr) p_ = new Byte[n];
    if (n) std::memset(p_, 0xCC, n);
  }
  ~Exact() {
    if (!Pool().Give(p_)) delete[] p_;
  }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
  Exact(const Byte* src, std::size_t n) : Exact(n) {
    if (n) std::memcpy(p_, src, n);
  }
  explicit Exact(cc::Bytes b) : Exact(b.data(), b.size()) {}
  Byte* data() { return p_; }
  const Byte* data() const { return p_; }
  std::size_t size() const { return n_; }
  int len() const { return static_cast<int>(n_); }
  cc::Bytes bytes() const { return {p_, n_}; }
  cc::MutBytes span() { return {p_, n_}; }
  Vec Prefix(std::size_t n) const { return Vec(p_, p_ + std::min(n, n_)); }

 private:
  Byte* p_;
  std::size_t n_;
};

std::string Hex(const Byte* p, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  constexpr std::size_t kShown = 48;
  std::string s;
  for (std::size_t i = 0; i < n && i < kShown; ++i) {
    if (i) s += ' ';
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  if (n > kShown) s += " ... (" + std::to_string(n) + " bytes)";
  return "[" + s + "]";
}
std::string Hex(cc::Bytes b) { return Hex(b.data(), b.size()); }
std::string Hex(const Vec& v) { return Hex(v.data(), v.size()); }
std::string Num(std::size_t n) { return std::to_string(n); }

// Where two texts first differ, with a little of each from there.
std::string Diff(const Vec& got, const Vec& want) {
  std::size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  const std::size_t from = i < 8 ? 0 : i - 8;
  auto part = [from](const Vec& v) {
    return Hex(v.data() + std::min(from, v.size()), std::min<std::size_t>(24, v.size() - std::min(from, v.size())));
  };
  return "differ at byte " + Num(i) + " (got " + Num(got.size()) + " bytes, want " + Num(want.size()) +
         "); from byte " + Num(from) + " got " + part(got) + " want " + part(want);
}

Byte At(const Byte* data, std::size_t size, std::size_t i) { return i < size ? data[i] : 0; }

bool EndsWithCrLf(cc::Bytes b) { return b.size() >= 2 && b[b.size() - 2] == '\r' && b[b.size() - 1] == '\n'; }

Vec Concat(const Vec& a, const Vec& b) {
  Vec v = a;
  v.insert(v.end(), b.begin(), b.end());
  return v;
}

// ---- detection ------------------------------------------------------------------

// kSampleSize bytes ending in text, the rest filler of whole characters.
Vec FullSample(cc::Bytes text, int kind) {
  static const Vec kFill[] = {{'a'}, {0x88, 0x9F}, {0xE4, 0xBA, 0x9C}, {0xB0, 0xA1}};
  const Vec& pat = kFill[kind];
  if (text.size() > cc::kSampleSize) text = text.last(cc::kSampleSize);
  Vec s(cc::kSampleSize);
  const std::size_t f = cc::kSampleSize - text.size();
  for (std::size_t i = 0; i < f; ++i) s[f - 1 - i] = pat[pat.size() - 1 - i % pat.size()];
  std::copy(text.begin(), text.end(), s.begin() + static_cast<std::ptrdiff_t>(f));
  return s;
}

struct LineEndBytes {
  std::array<Byte, cc::kCrlfBytesSize> bytes{};
  int kind = cc::kCrlfCrLf;
  std::size_t len = 0;
};

// The first line end of a sample in the form of the detected code: CR LF when
// there is none; UTF-16 units from the start, bytes after a UTF-8 mark.
LineEndBytes FirstLineEnd(int code, const Byte* d, std::size_t n) {
  LineEndBytes e;
  const int a = code < 0 ? -code : code;
  if (a == cc::kCodeUtf16BE || a == cc::kCodeUtf16LE) {
    const bool be = a == cc::kCodeUtf16BE;
    auto unit = [&](std::size_t i) { return be ? (d[i] << 8 | d[i + 1]) : (d[i + 1] << 8 | d[i]); };
    auto put = [&](std::size_t at, Byte u) {
      e.bytes[at] = be ? 0 : u;
      e.bytes[at + 1] = be ? u : 0;
    };
    int kind = cc::kCrlfCrLf;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
      const int u = unit(i);
      if (u == '\n')
        kind = cc::kCrlfLf;
      else if (u == '\r')
        kind = i + 3 < n && unit(i + 2) == '\n' ? cc::kCrlfCrLf : cc::kCrlfCr;
      else
        continue;
      break;
    }
    e.kind = kind;
    if (kind == cc::kCrlfLf)
      put(0, '\n'), e.len = 2;
    else if (kind == cc::kCrlfCr)
      put(0, '\r'), e.len = 2;
    else
      put(0, '\r'), put(2, '\n'), e.len = 4;
    return e;
  }
  int kind = cc::kCrlfCrLf;
  for (std::size_t i = code == -cc::kCodeUtf8 ? 3 : 0; i < n; ++i) {
    if (d[i] == '\n')
      kind = cc::kCrlfLf;
    else if (d[i] == '\r')
      kind = i + 1 < n && d[i + 1] == '\n' ? cc::kCrlfCrLf : cc::kCrlfCr;
    else
      continue;
    break;
  }
  e.kind = kind;
  if (kind == cc::kCrlfLf)
    e.bytes[0] = '\n', e.len = 1;
  else if (kind == cc::kCrlfCr)
    e.bytes[0] = '\r', e.len = 1;
  else
    e.bytes[0] = '\r', e.bytes[1] = '\n', e.len = 2;
  return e;
}

// Whether d is well-formed UTF-8 (no overlong forms, surrogates or code
// points above U+10FFFF) with at least one character beyond ASCII.
bool Utf8WithNonAscii(const Byte* d, std::size_t n) {
  bool nonAscii = false;
  for (std::size_t i = 0; i < n;) {
    const Byte b = d[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    Byte lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
      len = 2;
    else if (b >= 0xE0 && b <= 0xEF)
      len = 3, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
    else if (b >= 0xF0 && b <= 0xF4)
      len = 4, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
    else
      return false;
    if (n - i < len || d[i + 1] < lo || d[i + 1] > hi) return false;
    for (std::size_t k = 2; k < len; ++k)
      if (d[i + k] < 0x80 || d[i + k] > 0xBF) return false;
    nonAscii = true;
    i += len;
  }
  return nonAscii;
}

}  // namespace

std::string CheckDetect(const std::uint8_t* data, std::size_t size) {
  const Byte mode = At(data, size, 0);
  const cc::Bytes text = size > 1 ? cc::Bytes(data + 1, size - 1) : cc::Bytes();
  const Vec sampleBytes = (mode & 1) ? FullSample(text, (mode >> 1) & 3) : Vec(text.begin(), text.end());
  const Exact sample(sampleBytes.data(), sampleBytes.size());
  const Byte* d = sample.data();
  const std::size_t n = sample.size();
  const std::string where = " for sample " + Hex(sample.bytes());

  Exact crlf(cc::kCrlfBytesSize);
  std::memset(crlf.data(), 0xA5, crlf.size());
  const int code = cc::JudgmentCode(d, sample.len(), crlf.data());
  FUZZ_CHECK(code == 0 || code == 1 || code == 2 || code == 4 || code == 5 || code == 6 || code == -4 || code == -5 ||
                 code == -6,
             "code " + std::to_string(code) + where);

  int mark = 0;
  if (n >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF)
    mark = -cc::kCodeUtf8;
  else if (n >= 2 && d[0] == 0xFE && d[1] == 0xFF)
    mark = -cc::kCodeUtf16BE;
  else if (n >= 2 && d[0] == 0xFF && d[1] == 0xFE)
    mark = -cc::kCodeUtf16LE;
  if (mark != 0)
    FUZZ_CHECK(code == mark, "code " + std::to_string(code) + " for a mark of " + std::to_string(mark) + where);
  else
    FUZZ_CHECK(code >= 0, "negative code " + std::to_string(code) + " without a mark" + where);

  // Text in UTF-8 (without NULs, which would make it look like UTF-16) is
  // UTF-8 whatever else it could be.
  if (!(mode & 1) && mark == 0 && std::memchr(d, 0, n) == nullptr && Utf8WithNonAscii(d, n))
    FUZZ_CHECK(code == cc::kCodeUtf8, "code " + std::to_string(code) + " for UTF-8 text" + where);

  const LineEndBytes want = FirstLineEnd(code, d, n);
  const cc::Bytes got = crlf.bytes();
  FUZZ_CHECK(std::equal(got.begin(), got.end(), want.bytes.begin()),
             "crlf " + Hex(got) + ", want " + Hex(want.bytes.data(), want.bytes.size()) + " (code " +
                 std::to_string(code) + ")" + where);
  FUZZ_CHECK(cc::CrlfLength(code, crlf.data()) == want.len, "CrlfLength " + Num(cc::CrlfLength(code, crlf.data())) +
                                                                " of " + Hex(got) + ", code " + std::to_string(code));

  // The same line end made from the code and its kind.
  Exact made(cc::kCrlfBytesSize);
  cc::SetCrlfChar(code < 0 ? -code : code, want.kind, made.data());
  FUZZ_CHECK(std::equal(got.begin(), got.end(), made.data()), "SetCrlfChar(" + std::to_string(code < 0 ? -code : code) +
                                                                  ", " + std::to_string(want.kind) + ") gives " +
                                                                  Hex(made.bytes()) + ", detection " + Hex(got));

  const int bareLf = n == 0 ? 0 : (d[n - 1] == '\n' && (n < 2 || d[n - 2] != '\r')) ? 1 : -1;
  FUZZ_CHECK(
      cc::CheckStrCode(d, sample.len()) == bareLf,
      "CheckStrCode " + std::to_string(cc::CheckStrCode(d, sample.len())) + ", want " + std::to_string(bareLf) + where);
  return {};
}

// ---- piece readers ------------------------------------------------------------------

namespace {

constexpr cc::Reader kReaders[] = {cc::Reader::Sjis, cc::Reader::Euc, cc::Reader::Utf8, cc::Reader::Utf16BE,
                                   cc::Reader::Utf16LE};
const char* const kReaderNames[] = {"Sjis", "Euc", "Utf8", "Utf16BE", "Utf16LE"};

bool Units(cc::Reader r) { return r == cc::Reader::Utf16BE || r == cc::Reader::Utf16LE; }

// One line's conversion as the reader makes it.
cc::Converted ConvertLine(cc::Reader r, cc::Bytes src, cc::MutBytes dst, const Byte* eucClass) {
  switch (r) {
    case cc::Reader::Euc:
      return cc::EucToSjis(src, dst, eucClass);
    case cc::Reader::Utf8:
      return cc::Utf8ToSjis(src, dst);
    case cc::Reader::Utf16BE:
      return cc::Utf16ToSjis(src, dst, true);
    case cc::Reader::Utf16LE:
      return cc::Utf16ToSjis(src, dst, false);
    case cc::Reader::Sjis:
      break;
  }
  return cc::SjisToSjis(src, dst);
}

// What reading a whole file gives: each line converted on its own, CR LF after
// each line that has a line end (CR LF, CR or LF; UTF-16 units counted from
// the start of the file).
struct Expected {
  Vec text;
  std::vector<bool> lossy;  // per line, an unterminated last line included
};

std::string ReadByLines(cc::Reader reader, const Byte* eucClass, cc::Bytes file, Expected& e) {
  const std::size_t n = file.size();
  const bool be = reader == cc::Reader::Utf16BE;
  std::size_t start = 0;
  e.text.reserve(2 * n + 2);
  cc::Bytes last;  // the line before, and its conversion (filler repeats its lines)
  Vec out;
  bool lossy = false;
  auto line = [&](std::size_t end, std::size_t endLen) -> std::string {
    const cc::Bytes src = file.subspan(start, end - start);
    if (src.size() != last.size() || !std::equal(src.begin(), src.end(), last.begin())) {
      out.resize(2 * src.size() + 2);
      const cc::Converted c = ConvertLine(reader, src, out, eucClass);
      FUZZ_CHECK(c.complete && c.consumed == src.size(), "line " + Hex(src) + " does not convert whole");
      out.resize(c.written);
      lossy = c.replaced != 0;
      last = src;
    }
    e.text.insert(e.text.end(), out.begin(), out.end());
    if (endLen) e.text.insert(e.text.end(), {'\r', '\n'});
    e.lossy.push_back(lossy);
    start = end + endLen;
    return {};
  };
  if (Units(reader)) {
    auto unit = [&](std::size_t i) { return be ? (file[i] << 8 | file[i + 1]) : (file[i + 1] << 8 | file[i]); };
    for (std::size_t i = 0; i + 1 < n;) {
      const int u = unit(i);
      if (u == '\n' || u == '\r') {
        const std::size_t len = u == '\r' && i + 3 < n && unit(i + 2) == '\n' ? 4 : 2;
        FUZZ_TRY(line(i, len));
        i += len;
      } else {
        i += 2;
      }
    }
  } else {
    for (std::size_t i = 0; i < n;) {
      if (file[i] == '\n' || file[i] == '\r') {
        const std::size_t len = file[i] == '\r' && i + 1 < n && file[i + 1] == '\n' ? 2 : 1;
        FUZZ_TRY(line(i, len));
        i += len;
      } else {
        ++i;
      }
    }
  }
  if (start < n) FUZZ_TRY(line(n, 0));
  return {};
}

// The properties of any one call.
// lineEndBytes: the conversion itself never writes CR or LF, so each one in the
// output belongs to a line end.
std::string CheckCall(const cc::PieceResult& r, std::size_t dataSize, const Exact& dst, bool lineEndBytes) {
  const std::string what = " (status " + std::to_string(r.status) + ", outBytes " + Num(r.outBytes) + ", consumed " +
                           Num(r.consumed) + ", lineEnds " + Num(r.lineEnds) + ", firstLossyLine " +
                           std::to_string(r.firstLossyLine) + "; data " + Num(dataSize) + " bytes, dst " +
                           Num(dst.size()) + " bytes)";
  FUZZ_CHECK(r.status == 1 || r.status == -1, what);
  FUZZ_CHECK((r.status == -1) == (r.firstLossyLine >= 0), what);
  FUZZ_CHECK(r.firstLossyLine <= static_cast<std::int64_t>(r.lineEnds), what);
  FUZZ_CHECK(r.consumed <= dataSize, what);
  FUZZ_CHECK(r.outBytes <= dst.size() && r.outBytes <= cc::kPieceSize, what);
  FUZZ_CHECK(r.consumed != 0 || r.outBytes == 0, what);
  if (!lineEndBytes) return {};
  const Byte* o = dst.data();
  std::size_t pairs = 0;
  for (std::size_t i = 0; i < r.outBytes; ++i) {
    if (o[i] == '\r') {
      FUZZ_CHECK(i + 1 < r.outBytes && o[i + 1] == '\n', "bare CR at output byte " + Num(i) + what);
      ++pairs, ++i;
    } else {
      FUZZ_CHECK(o[i] != '\n', "bare LF at output byte " + Num(i) + what);
    }
  }
  FUZZ_CHECK(pairs == r.lineEnds, Num(pairs) + " CR LF pairs" + what);
  return {};
}

enum class Feed {
  Pieces,  // pieces of kPieceSize from where the last call stopped, final on the last (as the editor reads)
  Rest,    // all that is left, final
};

struct Reading {
  Vec text;
  bool lossy = false;
  std::size_t consumed = 0;
};

// How a reader is used: which, with which EUC-JP class table, and whether
// every CR and LF it writes is a line end (its conversion writes none).
struct ReaderUse {
  cc::Reader reader;
  const Byte* eucClass;
  bool lineEndBytes;
};

// Whether file byte at begins a line: it follows a line end.
bool StartsLine(cc::Reader reader, cc::Bytes file, std::size_t at) {
  if (at == 0) return true;
  if (!Units(reader)) return file[at - 1] == '\r' || file[at - 1] == '\n';
  if (at < 2) return false;
  const Byte hi = reader == cc::Reader::Utf16BE ? file[at - 2] : file[at - 1];
  const Byte lo = reader == cc::Reader::Utf16BE ? file[at - 1] : file[at - 2];
  return hi == 0 && (lo == '\r' || lo == '\n');
}

// Reads the file call after call until it is consumed or a call consumes
// nothing. Checks every call, and that the text so far is a beginning of the
// expected text with replacements reported on the lines that have them.
std::string ReadFile(const ReaderUse& use, cc::Bytes file, Feed feed, std::size_t dstSize, const Expected& want,
                     Reading& got) {
  const Exact whole(file);  // Rest: the data of each call ends where the file does
  got.text.reserve(want.text.size());
  Exact dst(dstSize);
  std::size_t lines = 0;
  for (std::size_t call = 0; got.consumed < file.size(); ++call) {
    const std::size_t left = file.size() - got.consumed;
    const std::size_t n = feed == Feed::Pieces ? std::min(left, cc::kPieceSize) : left;
    const bool final = n == left;
    std::unique_ptr<Exact> piece;
    cc::Bytes data = whole.bytes().subspan(got.consumed);
    if (feed == Feed::Pieces) {
      piece = std::make_unique<Exact>(file.subspan(got.consumed, n));
      data = piece->bytes();
    }
    const cc::PieceResult r = cc::ReadPiece(use.reader, data, final, dst.span(), use.eucClass);
    const std::string at = std::string(" in call ") + Num(call) + " at file byte " + Num(got.consumed) + " (" + Num(n) +
                           " bytes" + (final ? ", final" : "") + ")";
    FUZZ_TRY_AT(CheckCall(r, n, dst, use.lineEndBytes), at);

    const bool atLineStart = StartsLine(use.reader, file, got.consumed);
    got.text.insert(got.text.end(), dst.data(), dst.data() + r.outBytes);
    FUZZ_CHECK(got.text.size() <= want.text.size() && std::equal(got.text.begin(), got.text.end(), want.text.begin()),
               "text not that of the lines: " + Diff(got.text, want.text) + at);

    // Replacements: the line named has one, and the lines read whole before it do not.
    const std::size_t firstWhole = atLineStart ? lines : lines + 1;
    const std::size_t cleanTo =
        r.firstLossyLine >= 0 ? lines + static_cast<std::size_t>(r.firstLossyLine) : lines + r.lineEnds;
    if (r.firstLossyLine >= 0)
      FUZZ_CHECK(cleanTo < want.lossy.size() && want.lossy[cleanTo],
                 "line " + Num(cleanTo) + " named lossy has no replacement" + at);
    for (std::size_t k = firstWhole; k < cleanTo && k < want.lossy.size(); ++k)
      FUZZ_CHECK(!want.lossy[k], "replacement on line " + Num(k) + " not reported (firstLossyLine " +
                                     std::to_string(r.firstLossyLine) + ")" + at);
    got.lossy = got.lossy || r.status == -1;
    lines += r.lineEnds;

    if (r.consumed == 0) break;
    got.consumed += r.consumed;
  }
  return {};
}

// Filler of n bytes in the reader's form: one long line, lines of 63 ASCII
// letters, or lines of 63 characters whose Shift-JIS is shorter (or as long).
Vec Filler(cc::Reader reader, int kind, std::size_t n) {
  auto form = [reader](std::initializer_list<Byte> bytes, Byte ascii) -> Vec {
    if (reader == cc::Reader::Utf16BE) return {0, ascii};
    if (reader == cc::Reader::Utf16LE) return {ascii, 0};
    return bytes;
  };
  Vec pattern;
  const Vec letter = form({'a'}, 'a'), lf = form({'\n'}, '\n');
  Vec dense;
  switch (reader) {
    case cc::Reader::Sjis:
      dense = {0x88, 0x9F};
      break;
    case cc::Reader::Euc:
      dense = {0x8E, 0xB1};
      break;
    case cc::Reader::Utf8:
      dense = {0xE4, 0xBA, 0x9C};
      break;
    case cc::Reader::Utf16BE:
      dense = {0x4E, 0x9C};
      break;
    case cc::Reader::Utf16LE:
      dense = {0x9C, 0x4E};
      break;
  }
  if (kind == 1) {
    pattern = letter;
  } else {
    for (int i = 0; i < 63; ++i)
      pattern.insert(pattern.end(), (kind == 2 ? letter : dense).begin(), (kind == 2 ? letter : dense).end());
    pattern.insert(pattern.end(), lf.begin(), lf.end());
  }
  Vec v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = pattern[i % pattern.size()];
  return v;
}

// The smallest output that always lets a call go on: a character cut by a
// line end (two marks at most) and CR LF.
constexpr std::size_t kProgressDst = 4;

}  // namespace

std::string CheckReaders(const std::uint8_t* data, std::size_t size) {
  const Byte mode = At(data, size, 0);
  const std::size_t dstParam = static_cast<std::size_t>(At(data, size, 1) << 8 | At(data, size, 2));
  const std::size_t atParam = static_cast<std::size_t>(At(data, size, 3) << 8 | At(data, size, 4));
  const int classMode = At(data, size, 5) & 3;
  const cc::Bytes text = size > 6 ? cc::Bytes(data + 6, size - 6) : cc::Bytes();
  const int readerIndex = (mode & 7) % 5;
  const cc::Reader reader = kReaders[readerIndex];
  const bool final = mode & 8;
  const int fillerKind = (mode >> 4) & 3;
  std::size_t dstSize = cc::kPieceSize;
  switch (mode >> 6) {
    case 1:
      dstSize = dstParam % 16;
      break;
    case 2:
      dstSize = dstParam;
      break;
    case 3:
      dstSize = cc::kPieceSize + dstParam % 4096;
      break;
    default:
      break;
  }
  const std::string where = std::string(" [reader ") + kReaderNames[readerIndex] +
                            (reader == cc::Reader::Euc ? ", class table " + std::to_string(classMode) : "") + "]";

  // The EUC-JP class table.
  Exact table(256);
  std::copy(cc::kEucClass.begin(), cc::kEucClass.end(), table.data());
  if (classMode == 2) {
    table.data()[static_cast<std::size_t>('\r')] |= cc::kEucTrail;
    table.data()[static_cast<std::size_t>('\n')] |= cc::kEucTrail;
  }
  if (classMode == 3)
    for (std::size_t i = 0; i < 256; ++i) table.data()[i] = text.empty() ? 0 : text[i % text.size()];
  const Byte* eucClass = classMode == 1 ? nullptr : table.data();
  // A table under which bytes below 0x80 (other than CR and LF, which end
  // lines before anything is converted) are trail bytes makes pairs that
  // convert into any byte, CR and LF among them.
  bool lineEndBytes = true;
  for (int b = 0; b < 0x80; ++b)
    if (reader == cc::Reader::Euc && b != '\r' && b != '\n' && (table.data()[b] & cc::kEucTrail)) lineEndBytes = false;
  const ReaderUse use{reader, eucClass, lineEndBytes || classMode == 1};

  Expected alone;
  FUZZ_TRY(ReadByLines(reader, eucClass, text, alone));

  // One call on the text, as it is.
  {
    const Exact in(text);
    Exact dst(dstSize);
    const cc::PieceResult r = cc::ReadPiece(reader, in.bytes(), final, dst.span(), eucClass);
    FUZZ_TRY_AT(CheckCall(r, in.size(), dst, use.lineEndBytes), " in one call" + where);
    const Vec out = dst.Prefix(r.outBytes);
    FUZZ_CHECK(out.size() <= alone.text.size() && std::equal(out.begin(), out.end(), alone.text.begin()),
               "one call: text not that of the lines: " + Diff(out, alone.text) + where);
  }

  // The text alone, call after call with the chosen room.
  if (final) {
    Reading got;
    FUZZ_TRY_AT(ReadFile(use, text, Feed::Rest, dstSize, alone, got), " reading the text alone" + where);
    if (dstSize >= kProgressDst) {
      FUZZ_CHECK(got.consumed == text.size(), "stops at byte " + Num(got.consumed) + " of " + Num(text.size()) +
                                                  " with dst " + Num(dstSize) + where);
      FUZZ_CHECK(got.text == alone.text, Diff(got.text, alone.text) + where);
      FUZZ_CHECK(got.lossy == std::any_of(alone.lossy.begin(), alone.lossy.end(), [](bool b) { return b; }),
                 "replacement reported " + std::to_string(got.lossy) + where);
    }
  }

  // A file of filler and the text, read as the editor reads it: the text of
  // its lines, wherever the pieces end.
  const std::size_t back = atParam % (text.size() + 2);  // the first piece ends at text byte back - 1
  Vec file = fillerKind != 0 ? Filler(reader, fillerKind, cc::kPieceSize + 1 - back) : Vec();
  file.insert(file.end(), text.begin(), text.end());
  Expected want;
  FUZZ_TRY(ReadByLines(reader, eucClass, file, want));
  const bool anyLossy = std::any_of(want.lossy.begin(), want.lossy.end(), [](bool b) { return b; });
  const std::string how = " reading pieces of " + Num(file.size()) + " bytes" + where;
  Reading got;
  FUZZ_TRY_AT(ReadFile(use, file, Feed::Pieces, cc::kPieceSize, want, got), how);
  FUZZ_CHECK(got.consumed == file.size(), "stops at byte " + Num(got.consumed) + how);
  FUZZ_CHECK(got.text == want.text, Diff(got.text, want.text) + how);
  FUZZ_CHECK(got.lossy == anyLossy, "replacement reported " + std::to_string(got.lossy) + how);
  return {};
}

// ---- converters ------------------------------------------------------------------

namespace {

// A converter with a capacity, its other arguments bound.
using Capped = std::function<int(Byte* dst, int cap, const Byte* src, int len)>;

struct Out {
  int r = 0;
  Vec bytes;  // the |r| bytes written
};

int Abs(int r) { return r < 0 ? -r : r; }

// Runs a converter over exact copies: src, and a dst of cap bytes.
std::string Run(const Capped& fn, const Vec& src, std::size_t cap, Out& out, const std::string& name) {
  const Exact s(src.data(), src.size());
  Exact d(cap);
  out.r = fn(d.data(), static_cast<int>(cap), s.data(), s.len());
  FUZZ_CHECK(static_cast<std::size_t>(Abs(out.r)) <= cap,
             name + " returns " + std::to_string(out.r) + " with capacity " + Num(cap) + " for " + Hex(src));
  out.bytes = d.Prefix(static_cast<std::size_t>(Abs(out.r)));
  return {};
}

// A converter with room for any output, then with the chosen capacity: an
// output that fits is the same, one that does not gives 0.
std::string RunCapped(const Capped& fn, const Vec& src, std::size_t room, std::size_t capParam, bool mayWriteNothing,
                      Out& big, const std::string& name) {
  FUZZ_TRY(Run(fn, src, room, big, name));
  if (src.empty())
    FUZZ_CHECK(big.r == 0, name + " of nothing returns " + std::to_string(big.r));
  else if (!mayWriteNothing)
    FUZZ_CHECK(big.r != 0, name + " fails with room " + Num(room) + " for " + Hex(src));
  const std::size_t cap = capParam % (room + 1);
  Out small;
  FUZZ_TRY(Run(fn, src, cap, small, name));
  const std::string what = name + " with capacity " + Num(cap) + " returns " + std::to_string(small.r) +
                           ", with room " + std::to_string(big.r) + ", for " + Hex(src);
  if (small.r != 0)
    FUZZ_CHECK(small.r == big.r && small.bytes == big.bytes, what);
  else
    FUZZ_CHECK(big.r == 0 || static_cast<std::size_t>(Abs(big.r)) > cap, what);
  return {};
}

// The forms Shift-JIS text is written in and read from.
struct Form {
  const char* name;
  int code;     // of its crlf argument; 0: the converter takes none
  Capped into;  // into Shift-JIS
  std::function<int(Byte*, int, const Byte*, int, const Byte*)> from;  // from Shift-JIS
  std::size_t (*intoRoom)(std::size_t len);
  std::size_t (*fromRoom)(std::size_t len);
  bool fixedRoom;  // no capacity argument: dst is of the documented size
};

const Form& Euc() {
  static const Form f{
      "EUC-JP",
      cc::kCodeEuc,
      [](Byte* d, int, const Byte* s, int len) { return api::EUC2ShiftJis(s, len, d, cc::kEucClass.data()); },
      [](Byte* d, int, const Byte* s, int len, const Byte* crlf) { return api::ShiftJis2EUC(s, len, d, crlf); },
      [](std::size_t len) { return len + 1; },
      [](std::size_t len) { return 2 * len + 6; },
      true};
  return f;
}

const std::vector<Form>& UnicodeForms() {
  static const std::vector<Form> forms = {
      {"UTF-8", cc::kCodeUtf8, api::UTF8toSJis, api::SJistoUTF8, [](std::size_t len) { return len + 8; },
       [](std::size_t len) { return 3 * len + 8; }, false},
      {"UTF-16LE", cc::kCodeUtf16LE, api::UTF16LEtoSJis, api::SJistoUTF16LE, [](std::size_t len) { return len + 8; },
       [](std::size_t len) { return 2 * len + 8; }, false},
      {"UTF-16BE", cc::kCodeUtf16BE, api::UTF16BEtoSJis, api::SJistoUTF16BE, [](std::size_t len) { return len + 8; },
       [](std::size_t len) { return 2 * len + 8; }, false},
      {"UTF-7", 0, api::UTF7toSJis,
       [](Byte* d, int cap, const Byte* s, int len, const Byte*) { return api::SJistoUTF7(d, cap, s, len); },
       [](std::size_t len) { return len + 8; }, [](std::size_t len) { return 5 * len + 8; }, false},
  };
  return forms;
}

Capped Bind(const Form& f, const Byte* crlf) {
  return [&f, crlf](Byte* d, int cap, const Byte* s, int len) { return f.from(d, cap, s, len, crlf); };
}

// From Shift-JIS into the form, with its room (and the chosen capacity).
std::string FromSjis(const Form& f, const Vec& sjis, const Byte* crlf, std::size_t capParam, Out& out) {
  const std::string name = std::string("Shift-JIS to ") + f.name;
  if (f.fixedRoom) {
    FUZZ_TRY(Run(Bind(f, crlf), sjis, f.fromRoom(sjis.size()), out, name));
    FUZZ_CHECK(sjis.empty() || out.r != 0, name + " fails for " + Hex(sjis));
    return {};
  }
  return RunCapped(Bind(f, crlf), sjis, f.fromRoom(sjis.size()), capParam, f.code == 0, out, name);
}

std::string IntoSjis(const Form& f, const Vec& src, std::size_t capParam, Out& out) {
  const std::string name = std::string(f.name) + " to Shift-JIS";
  if (f.fixedRoom) {
    FUZZ_TRY(Run(f.into, src, f.intoRoom(src.size()), out, name));
    FUZZ_CHECK(src.empty() || out.r != 0, name + " fails for " + Hex(src));
    return {};
  }
  return RunCapped(f.into, src, f.intoRoom(src.size()), capParam, f.code == 0, out, name);
}

bool EndsInBareLineEnd(const Vec& v) {
  return !v.empty() && (v.back() == '\r' || (v.back() == '\n' && (v.size() < 2 || v[v.size() - 2] != '\r')));
}

// Shift-JIS into the form and back: nothing is lost on the way back, the text
// keeps its characters (and, for Unicode, its length), and a second round
// trip changes nothing.
std::string RoundTrip(const Form& f, const Vec& s0, std::size_t capParam) {
  Out f1, s1, f2, s2;
  FUZZ_TRY(FromSjis(f, s0, nullptr, capParam, f1));
  if (f1.r <= 0) return {};
  const std::string what = std::string(" (Shift-JIS ") + Hex(s0) + " via " + f.name + " " + Hex(f1.bytes) + ")";
  FUZZ_TRY(IntoSjis(f, f1.bytes, capParam, s1));
  FUZZ_CHECK(s1.r > 0, "back gives " + std::to_string(s1.r) + what);
  const bool unicode = &f != &Euc();
  if (unicode) FUZZ_CHECK(s1.bytes.size() == s0.size(), "back gives " + Hex(s1.bytes) + what);
  FUZZ_TRY(FromSjis(f, s1.bytes, nullptr, capParam, f2));
  FUZZ_CHECK(f2.r > 0, "second trip gives " + std::to_string(f2.r) + " for " + Hex(s1.bytes) + what);
  if (unicode || !EndsInBareLineEnd(s0))
    FUZZ_CHECK(f2.bytes == f1.bytes, "second trip: " + Diff(f2.bytes, f1.bytes) + what);
  FUZZ_TRY(IntoSjis(f, f2.bytes, capParam, s2));
  FUZZ_CHECK(s2.r == s1.r && s2.bytes == s1.bytes, "second trip back: " + Diff(s2.bytes, s1.bytes) + what);
  return {};
}

// The source taken as the form's text: into Shift-JIS and back, whenever
// nothing was replaced, gives it again (for UTF-7 and EUC-JP, which have more
// than one way to write a text, the Shift-JIS text again).
std::string FromForm(const Form& f, const Vec& src, std::size_t capParam) {
  Out s1, f1, s2;
  FUZZ_TRY(IntoSjis(f, src, capParam, s1));
  if (s1.r <= 0) return {};
  const std::string what = std::string(" (") + f.name + " " + Hex(src) + " gave Shift-JIS " + Hex(s1.bytes) + ")";
  FUZZ_TRY(FromSjis(f, s1.bytes, nullptr, capParam, f1));
  if (&f == &Euc() && f1.r < 0) return {};  // user-defined rows of EUC-JP have no way back
  FUZZ_CHECK(f1.r > 0, "back gives " + std::to_string(f1.r) + what);
  if (f.code == cc::kCodeUtf8 || f.code == cc::kCodeUtf16LE || f.code == cc::kCodeUtf16BE) {
    FUZZ_CHECK(f1.bytes == src, "back: " + Diff(f1.bytes, src) + what);
    return {};
  }
  FUZZ_TRY(IntoSjis(f, f1.bytes, capParam, s2));
  FUZZ_CHECK(s2.r == s1.r && s2.bytes == s1.bytes,
             "again: " + Diff(s2.bytes, s1.bytes) + " via " + Hex(f1.bytes) + what);
  return {};
}

// With a crlf, a final CR LF of src is replaced by the crlf's bytes; the rest
// of the output is that of the text without it.
std::string CrlfReplaced(const Form& f, const Vec& src, const Byte* crlf, std::size_t capParam) {
  Out with, plain;
  FUZZ_TRY(FromSjis(f, src, crlf, capParam, with));
  const bool crLf = EndsWithCrLf(src);
  const Vec body = crLf ? Vec(src.begin(), src.end() - 2) : src;
  FUZZ_TRY(FromSjis(f, body, nullptr, capParam, plain));
  Vec want = plain.bytes;
  if (crLf) want.insert(want.end(), crlf, crlf + cc::CrlfLength(f.code, crlf));
  FUZZ_CHECK(with.bytes == want && (with.r < 0) == (plain.r < 0),
             std::string("Shift-JIS to ") + f.name + " with crlf " + Hex(crlf, cc::kCrlfBytesSize) + ": " +
                 Diff(with.bytes, want) + " for " + Hex(src));
  return {};
}

// ShiftJis2ShiftJis: the text as it is, its final CR LF (or LF) replaced by
// a crlf of Shift-JIS form.
std::string SjisLineEnds(const Vec& src, const Byte* crlf, bool crlfIsForm) {
  const Exact s(src.data(), src.size());
  Exact d(src.size() + cc::kCrlfBytesSize);
  const int r = api::ShiftJis2ShiftJis(s.data(), s.len(), d.data(), crlf);
  const std::string what = "ShiftJis2ShiftJis returns " + std::to_string(r) + " for " + Hex(src) +
                           (crlf ? " with crlf " + Hex(crlf, cc::kCrlfBytesSize) : std::string());
  if (src.empty()) {
    FUZZ_CHECK(r == 0, what);
    return {};
  }
  FUZZ_CHECK(r > 0 && static_cast<std::size_t>(r) <= d.size(), what);
  const Vec out = d.Prefix(static_cast<std::size_t>(r));
  if (crlf == nullptr) {
    FUZZ_CHECK(out == src, what + ": " + Diff(out, src));
  } else if (crlfIsForm) {
    const Vec lineEnd(crlf, crlf + cc::CrlfLength(cc::kCodeSjis, crlf));
    const bool lf = src.back() == '\n' && !EndsWithCrLf(src);
    Vec want = src;
    if (EndsWithCrLf(src)) want = Concat(Vec(src.begin(), src.end() - 2), lineEnd);
    if (lf && out != src) want = Concat(Vec(src.begin(), src.end() - 1), lineEnd);
    FUZZ_CHECK(out == want, what + ": " + Diff(out, want));
  }
  return {};
}

// ---- streaming conversions into Shift-JIS ----

using Stream = std::function<cc::Converted(cc::Bytes src, cc::MutBytes dst, bool srcEnds)>;

struct StreamOut {
  cc::Converted c;
  Vec bytes;
};

StreamOut RunStream(const Stream& fn, cc::Bytes src, std::size_t cap, bool srcEnds) {
  const Exact s(src);
  Exact d(cap);
  StreamOut o;
  o.c = fn(s.bytes(), d.span(), srcEnds);
  o.bytes = d.Prefix(o.c.written);
  return o;
}

std::string Streaming(const char* name, const Stream& fn, const Vec& srcVec, std::size_t splitParam,
                      std::size_t capParam) {
  const cc::Bytes src(srcVec.data(), srcVec.size());
  const std::size_t n = src.size(), room = 2 * n + 2;
  const std::string what = std::string(" (") + name + " of " + Hex(src) + ")";
  const StreamOut whole = RunStream(fn, src, room, true);
  FUZZ_CHECK(whole.c.complete && whole.c.consumed == n && whole.c.written <= room, "whole" + what);

  // In two parts: the first leaves only a character cut by its end.
  const std::size_t k = splitParam % (n + 1);
  const StreamOut a = RunStream(fn, src.first(k), room, false);
  FUZZ_CHECK(a.c.consumed <= k && k - a.c.consumed < 4 && a.c.complete == (a.c.consumed == k),
             "first " + Num(k) + " bytes: consumed " + Num(a.c.consumed) + what);
  const StreamOut b = RunStream(fn, src.subspan(a.c.consumed), room, true);
  FUZZ_CHECK(b.c.complete, "rest from " + Num(a.c.consumed) + what);
  FUZZ_CHECK(Concat(a.bytes, b.bytes) == whole.bytes && a.c.replaced + b.c.replaced == whole.c.replaced,
             "cut at " + Num(k) + ": " + Diff(Concat(a.bytes, b.bytes), whole.bytes) + what);

  // Too little room: whole characters, the beginning of the whole output.
  const std::size_t cap = capParam % (whole.c.written + 1);
  const StreamOut c = RunStream(fn, src, cap, true);
  FUZZ_CHECK(c.c.written <= cap && c.c.consumed <= n && c.c.complete == (c.c.consumed == n) &&
                 (c.c.complete || whole.c.written > cap),
             "capacity " + Num(cap) + ": consumed " + Num(c.c.consumed) + ", written " + Num(c.c.written) + what);
  const StreamOut p = RunStream(fn, src.first(c.c.consumed), room, true);
  FUZZ_CHECK(c.bytes == p.bytes && c.c.replaced == p.c.replaced,
             "capacity " + Num(cap) + " (" + Num(c.c.consumed) + " consumed): " + Diff(c.bytes, p.bytes) + what);
  FUZZ_CHECK(std::equal(c.bytes.begin(), c.bytes.end(), whole.bytes.begin()),
             "capacity " + Num(cap) + ": " + Diff(c.bytes, whole.bytes) + what);
  return {};
}

}  // namespace

std::string CheckConvert(const std::uint8_t* data, std::size_t size) {
  const Byte mode = At(data, size, 0);
  const std::size_t capParam = static_cast<std::size_t>(At(data, size, 1) << 8 | At(data, size, 2));
  const std::size_t splitParam = static_cast<std::size_t>(At(data, size, 3) << 8 | At(data, size, 4));
  const Vec src = size > 5 ? Vec(data + 5, data + size) : Vec();
  const int crlfMode = mode & 3, kind = (mode >> 2) & 3, classMode = (mode >> 4) & 3;

  // The crlf argument for a form.
  auto crlfFor = [&](int code) -> std::unique_ptr<Exact> {
    if (crlfMode == 0 || crlfMode == 3) return nullptr;
    auto c = std::make_unique<Exact>(cc::kCrlfBytesSize);
    if (crlfMode == 1) {
      cc::SetCrlfChar(code, kind, c->data());
    } else {
      std::memset(c->data(), 0, c->size());
      std::copy_n(src.begin(), std::min(src.size(), c->size()), c->data());
    }
    return c;
  };

  // EUC-JP to Shift-JIS with any class table.
  Exact table(256);
  std::copy(cc::kEucClass.begin(), cc::kEucClass.end(), table.data());
  if (classMode == 2)
    for (std::size_t i = 0; i < 256; ++i) table.data()[i] = src.empty() ? 0 : src[i % src.size()];
  const Byte* cls = classMode == 1 ? nullptr : table.data();
  {
    const Exact s(src.data(), src.size());
    Exact d(src.size() + 1);
    const int r = api::EUC2ShiftJis(s.data(), s.len(), d.data(), cls);
    FUZZ_CHECK(static_cast<std::size_t>(Abs(r)) <= d.size() && (src.empty() || r != 0),
               "EUC2ShiftJis returns " + std::to_string(r) + " for " + Hex(src));
    const Vec out = d.Prefix(static_cast<std::size_t>(Abs(r)));
    FUZZ_CHECK(!EndsInBareLineEnd(out), "EUC2ShiftJis ends in a bare line end: " + Hex(out) + " for " + Hex(src));
  }

  // The source as each form's text.
  for (const Form& f : UnicodeForms()) FUZZ_TRY(FromForm(f, src, capParam));
  FUZZ_TRY(FromForm(Euc(), src, capParam));

  // The source as Shift-JIS text.
  for (const Form& f : UnicodeForms()) FUZZ_TRY(RoundTrip(f, src, capParam));
  FUZZ_TRY(RoundTrip(Euc(), src, capParam));
  for (const Form* f : {&UnicodeForms()[0], &UnicodeForms()[1], &UnicodeForms()[2], &Euc()}) {
    const std::unique_ptr<Exact> crlf = crlfFor(f->code);
    if (crlf) FUZZ_TRY(CrlfReplaced(*f, src, crlf->data(), capParam));
  }
  {
    const std::unique_ptr<Exact> crlf = crlfFor(cc::kCodeSjis);
    FUZZ_TRY(SjisLineEnds(src, crlf ? crlf->data() : nullptr, crlfMode == 1));
  }

  // The streaming conversions.
  FUZZ_TRY(Streaming(
      "EucToSjis", [cls](cc::Bytes s, cc::MutBytes d, bool e) { return cc::EucToSjis(s, d, cls, e); }, src, splitParam,
      capParam));
  FUZZ_TRY(Streaming(
      "Utf8ToSjis", [](cc::Bytes s, cc::MutBytes d, bool e) { return cc::Utf8ToSjis(s, d, e); }, src, splitParam,
      capParam));
  FUZZ_TRY(Streaming(
      "Utf16ToSjis BE", [](cc::Bytes s, cc::MutBytes d, bool e) { return cc::Utf16ToSjis(s, d, true, e); }, src,
      splitParam, capParam));
  FUZZ_TRY(Streaming(
      "Utf16ToSjis LE", [](cc::Bytes s, cc::MutBytes d, bool e) { return cc::Utf16ToSjis(s, d, false, e); }, src,
      splitParam, capParam));
  FUZZ_TRY(Streaming(
      "SjisToSjis", [](cc::Bytes s, cc::MutBytes d, bool e) { return cc::SjisToSjis(s, d, e); }, src, splitParam,
      capParam));
  {
    const StreamOut copy = RunStream([](cc::Bytes s, cc::MutBytes d, bool e) { return cc::SjisToSjis(s, d, e); },
                                     cc::Bytes(src.data(), src.size()), src.size(), true);
    FUZZ_CHECK(copy.c.complete && copy.bytes == src && copy.c.replaced == 0, "SjisToSjis changes " + Hex(src));
  }
  return {};
}

}  // namespace gorvane::fuzz
