// Runs every converter and reader of charcode.h over random texts that are
// mostly ASCII, with characters of every other kind at every alignment and
// texts long enough for several pieces, and prints a digest of all they give
// (bytes and counts) per case. Built three times: over the library, over the
// library with its word-at-a-time steps instead of SSE2, and over the library
// without its fast paths (charcode_plain_build); compare_outputs.cmake checks
// that the three print the same.
//
//   charcode_cases [--show CASE]   (--show: the case's results in full)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"

namespace cc = gorvane::charcode;

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- texts --------------------------------------------------------------------------

enum class Form { Sjis, Euc, Utf8, Utf16LE, Utf16BE };
constexpr const char* kFormNames[] = {"sjis", "euc", "utf8", "utf16le", "utf16be"};

class TextMaker {
 public:
  explicit TextMaker(std::uint64_t seed) : rng_(seed) {}

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(int percent) { return Pick(0, 99) < percent; }

  // About size bytes of text in the form: mostly ASCII runs of every length,
  // the other characters between them.
  Bytes Make(Form form, std::size_t size) {
    Bytes t;
    while (t.size() < size) {
      const int r = Pick(0, 99);
      if (r < 55) {
        for (int k = Pick(0, 40); k > 0; --k) Ascii(form, t);
      } else if (r < 62) {
        LineEnd(form, t);
      } else if (r < 92) {
        for (int k = Pick(1, 6); k > 0; --k) Common(form, t);
      } else {
        Rare(form, t);
      }
    }
    return t;
  }

 private:
  void Unit(Form form, unsigned u, Bytes& t) {
    if (form == Form::Utf16LE) t.insert(t.end(), {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8)});
    else t.insert(t.end(), {static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)});
  }
  void Byte(Form form, unsigned b, Bytes& t) {
    if (form == Form::Utf16LE || form == Form::Utf16BE) Unit(form, b, t);
    else t.push_back(static_cast<std::uint8_t>(b));
  }
  void Utf8(unsigned cp, Bytes& t) {
    if (cp < 0x80) {
      t.push_back(static_cast<std::uint8_t>(cp));
    } else if (cp < 0x800) {
      t.insert(t.end(), {static_cast<std::uint8_t>(0xC0 | cp >> 6), static_cast<std::uint8_t>(0x80 | (cp & 0x3F))});
    } else if (cp < 0x10000) {
      t.insert(t.end(), {static_cast<std::uint8_t>(0xE0 | cp >> 12), static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)),
                         static_cast<std::uint8_t>(0x80 | (cp & 0x3F))});
    } else {
      t.insert(t.end(), {static_cast<std::uint8_t>(0xF0 | cp >> 18), static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F)),
                         static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)), static_cast<std::uint8_t>(0x80 | (cp & 0x3F))});
    }
  }
  void Char(Form form, unsigned cp, Bytes& t) {
    if (form == Form::Utf8) Utf8(cp, t);
    else if (cp < 0x10000) Unit(form, cp, t);
    else Unit(form, 0xD800 + ((cp - 0x10000) >> 10), t), Unit(form, 0xDC00 + ((cp - 0x10000) & 0x3FF), t);
  }

  void Ascii(Form form, Bytes& t) {
    static const char kSome[] = "abcdefghijklmnopqrstuvwxyz ABCXYZ0123456789 .,;:/()[]{}<>=+-*&%$#\"'!?~^_`|\\@\t";
    const int r = Pick(0, 99);
    const unsigned b = r < 96 ? static_cast<unsigned char>(kSome[Pick(0, sizeof kSome - 2)])
                       : r < 98 ? static_cast<unsigned>(Pick(0, 31))  // controls, CR and LF among them
                                : 0x7F;
    Byte(form, b, t);
  }
  void LineEnd(Form form, Bytes& t) {
    const int r = Pick(0, 9);
    if (r < 6) Byte(form, '\r', t), Byte(form, '\n', t);
    else if (r < 8) Byte(form, '\n', t);
    else Byte(form, '\r', t);
  }
  // Kanji, kana and full-width forms: what Japanese text is made of.
  void Common(Form form, Bytes& t) {
    const int r = Pick(0, 99);
    unsigned lead, trail;  // a Shift-JIS code of JIS X 0208
    if (r < 40) lead = static_cast<unsigned>(Pick(0x88, 0x9F)), trail = static_cast<unsigned>(Pick(0x40, 0xFC));
    else if (r < 55) lead = static_cast<unsigned>(Pick(0xE0, 0xEA)), trail = static_cast<unsigned>(Pick(0x40, 0xFC));
    else if (r < 80) lead = 0x82, trail = static_cast<unsigned>(Pick(0x9F, 0xF1));
    else if (r < 95) lead = 0x83, trail = static_cast<unsigned>(Pick(0x40, 0x96));
    else lead = 0x81, trail = static_cast<unsigned>(Pick(0x40, 0xAC));
    if (trail == 0x7F) trail = 0x80;
    switch (form) {
      case Form::Sjis:
        t.insert(t.end(), {static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)});
        break;
      case Form::Euc: {  // the same row and cell
        unsigned row = (lead < 0xA0 ? lead - 0x81 : lead - 0xC1) * 2 + 1, cell;
        if (trail >= 0x9F) ++row, cell = trail - 0x9F + 1;
        else cell = trail - 0x40 + 1 - (trail > 0x7F ? 1 : 0);
        t.insert(t.end(), {static_cast<std::uint8_t>(row + 0xA0), static_cast<std::uint8_t>(cell + 0xA0)});
        break;
      }
      default:  // any BMP character of the ranges kana and kanji live in
        Char(form, static_cast<unsigned>(r < 60 ? Pick(0x4E00, 0x9FFF) : r < 90 ? Pick(0x3000, 0x30FF) : Pick(0xFF00, 0xFFEF)), t);
        break;
    }
  }
  // What text seldom has: half-width katakana, undefined and user-defined
  // codes, characters without an equivalent, broken and cut sequences.
  void Rare(Form form, Bytes& t) {
    const int r = Pick(0, 9);
    switch (form) {
      case Form::Sjis: {
        const std::uint8_t b[] = {static_cast<std::uint8_t>(Pick(0x80, 0xFF)), static_cast<std::uint8_t>(Pick(0, 0xFF))};
        if (r < 4) t.push_back(static_cast<std::uint8_t>(Pick(0xA1, 0xDF)));  // half-width katakana
        else if (r < 6) t.insert(t.end(), {static_cast<std::uint8_t>(Pick(0xF0, 0xFC)), static_cast<std::uint8_t>(Pick(0x40, 0xFC))});
        else if (r < 8) t.insert(t.end(), b, b + 2);  // anything, a lead byte before ASCII among it
        else t.push_back(b[0]);
        break;
      }
      case Form::Euc:
        if (r < 4) t.insert(t.end(), {0x8E, static_cast<std::uint8_t>(Pick(0xA1, 0xDF))});
        else if (r < 5) t.insert(t.end(), {0x8E, static_cast<std::uint8_t>(Pick(0, 0xFF))});
        else if (r < 6) t.insert(t.end(), {0x8F, static_cast<std::uint8_t>(Pick(0xA1, 0xFE)), static_cast<std::uint8_t>(Pick(0xA1, 0xFE))});
        else if (r < 8) t.insert(t.end(), {static_cast<std::uint8_t>(Pick(0xA1, 0xFE)), static_cast<std::uint8_t>(Pick(0, 0xFF))});
        else t.push_back(static_cast<std::uint8_t>(Pick(0x80, 0xFF)));
        break;
      case Form::Utf8:
        if (r < 3) Char(form, static_cast<unsigned>(Pick(0xFF61, 0xFF9F)), t);
        else if (r < 4) Char(form, static_cast<unsigned>(Pick(0x80, 0x7FF)), t);
        else if (r < 5) Char(form, static_cast<unsigned>(Pick(0x10000, 0x10FFFF)), t);
        else if (r < 6) t.insert(t.end(), {0xED, static_cast<std::uint8_t>(Pick(0x80, 0xBF)), static_cast<std::uint8_t>(Pick(0x80, 0xBF))});
        else if (r < 7) t.insert(t.end(), {0xE0, static_cast<std::uint8_t>(Pick(0x80, 0xBF)), static_cast<std::uint8_t>(Pick(0x80, 0xBF))});
        else if (r < 8) t.insert(t.end(), {static_cast<std::uint8_t>(Pick(0xE1, 0xEF)), static_cast<std::uint8_t>(Pick(0x80, 0xBF))});
        else t.push_back(static_cast<std::uint8_t>(Pick(0x80, 0xFF)));
        break;
      default:
        if (r < 3) Char(form, static_cast<unsigned>(Pick(0xFF61, 0xFF9F)), t);
        else if (r < 5) Char(form, static_cast<unsigned>(Pick(0x80, 0x2FFF)), t);
        else if (r < 6) Char(form, static_cast<unsigned>(Pick(0x10000, 0x10FFFF)), t);
        else if (r < 7) Unit(form, static_cast<unsigned>(Pick(0xD800, 0xDFFF)), t);  // a lone surrogate
        else if (r < 8) t.push_back(static_cast<std::uint8_t>(Pick(0, 0xFF)));      // an odd byte: every unit after it shifts
        else Unit(form, static_cast<unsigned>(Pick(0x0100, 0xFFFF)), t);
        break;
    }
  }

  std::mt19937_64 rng_;
};

// ---- digests --------------------------------------------------------------------------

class Digest {
 public:
  explicit Digest(bool show) : show_(show) {}
  void Add(const char* what, std::uint64_t v) {
    Mix(&v, sizeof v);
    if (show_) std::printf("  %s %llu\n", what, static_cast<unsigned long long>(v));
  }
  void Add(const char* what, const std::uint8_t* p, std::size_t n) {
    Add(what, n);
    Mix(p, n);
    if (show_) {
      std::printf("  %s:", what);
      for (std::size_t k = 0; k < n; ++k) std::printf(" %02x", p[k]);
      std::printf("\n");
    }
  }
  void Label(const std::string& what) {
    Mix(what.data(), what.size());
    if (show_) std::printf(" %s\n", what.c_str());
  }
  std::uint64_t value() const { return h_; }

 private:
  void Mix(const void* p, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) h_ = (h_ ^ static_cast<const std::uint8_t*>(p)[k]) * 0x100000001B3ull;
  }
  std::uint64_t h_ = 0xCBF29CE484222325ull;
  bool show_;
};

// An output buffer of the size asked for, filled with 0xCC: a heap block of
// that size (so that AddressSanitizer sees its end) unless it is large, then
// one kept from call to call (mapping fresh pages each time costs more than
// the calls).
class Out {
 public:
  explicit Out(std::size_t n) : n_(n) {
    if (n > kKept) {
      static Bytes kept(3 * cc::kPieceSize);
      if (kept.size() < n) kept.resize(n);
      p_ = kept.data();
    } else {
      own_.resize(n);
      p_ = own_.data();
    }
    if (n != 0) std::memset(p_, 0xCC, n);
  }
  operator cc::MutBytes() { return {p_, n_}; }
  const std::uint8_t* data() const { return p_; }

 private:
  static constexpr std::size_t kKept = 65536;
  Bytes own_;
  std::uint8_t* p_;
  std::size_t n_;
};

void AddConverted(Digest& g, const Out& dst, const cc::Converted& c) {
  g.Add("consumed", c.consumed);
  g.Add("replaced", c.replaced);
  g.Add("complete", c.complete);
  g.Add("out", dst.data(), c.written);
}

// ---- the calls --------------------------------------------------------------------------

const std::uint8_t* CrlfOf(int code, int kind) {
  static std::uint8_t forms[8][4][cc::kCrlfBytesSize];
  cc::SetCrlfChar(code, kind, forms[code][kind]);
  return forms[code][kind];
}

// Room for the whole output, and less.
std::vector<std::size_t> Rooms(TextMaker& m, std::size_t n) {
  return {3 * n + 32, static_cast<std::size_t>(m.Pick(0, static_cast<int>(n) + 8)),
          static_cast<std::size_t>(m.Pick(0, 40))};
}

// Into Shift-JIS: the converter of the form over the whole text and parts of
// it, with every room.
void IntoSjis(Form form, const Bytes& text, TextMaker& m, Digest& g) {
  // A copy of our EUC-JP table (taken as ours) and one that differs.
  static const auto copy = cc::kEucClass;
  static const auto other = [] {
    auto t = cc::kEucClass;
    t[0xB0] = 0;  // a row without lead and trail bytes
    return t;
  }();
  const std::size_t cut = static_cast<std::size_t>(m.Pick(0, static_cast<int>(text.size())));
  for (const std::size_t end : {text.size(), cut}) {
    const cc::Bytes src(text.data(), end);
    for (const std::size_t room : Rooms(m, end)) {
      for (const bool srcEnds : {true, false}) {
        Out dst(room);
        g.Label("into " + std::to_string(end) + " " + std::to_string(room) + (srcEnds ? " ends" : ""));
        switch (form) {
          case Form::Sjis: AddConverted(g, dst, cc::SjisToSjis(src, dst, srcEnds)); break;
          case Form::Euc:
            AddConverted(g, dst, cc::EucToSjis(src, dst, cc::kEucClass.data(), srcEnds));
            AddConverted(g, dst, cc::EucToSjis(src, dst, copy.data(), srcEnds));
            AddConverted(g, dst, cc::EucToSjis(src, dst, other.data(), srcEnds));
            break;
          case Form::Utf8: AddConverted(g, dst, cc::Utf8ToSjis(src, dst, srcEnds)); break;
          case Form::Utf16LE: AddConverted(g, dst, cc::Utf16ToSjis(src, dst, false, srcEnds)); break;
          case Form::Utf16BE: AddConverted(g, dst, cc::Utf16ToSjis(src, dst, true, srcEnds)); break;
        }
      }
    }
  }
}

// From Shift-JIS: each form's line and text converters with each line end.
void FromSjis(const Bytes& text, TextMaker& m, Digest& g) {
  const std::size_t cut = static_cast<std::size_t>(m.Pick(0, static_cast<int>(text.size())));
  for (const std::size_t end : {text.size(), cut}) {
    const cc::Bytes src(text.data(), end);
    for (const std::size_t room : Rooms(m, end)) {
      Out dst(room);
      for (const int kind : {cc::kCrlfCrLf, cc::kCrlfLf}) {
        g.Label("from " + std::to_string(end) + " " + std::to_string(room) + " kind " + std::to_string(kind));
        for (const bool whole : {false, true}) {
          for (const int code : {cc::kCodeSjis, cc::kCodeEuc, cc::kCodeUtf8, cc::kCodeUtf16LE, cc::kCodeUtf16BE}) {
            const std::uint8_t* crlf = m.Chance(10) ? nullptr : CrlfOf(code, kind);
            if (code == cc::kCodeSjis && crlf == nullptr) crlf = CrlfOf(code, kind);  // required there
            if (!whole) {
              cc::Converted c;
              if (code == cc::kCodeSjis) c = cc::SjisLineEnd(src, dst, crlf);
              if (code == cc::kCodeEuc) c = cc::SjisToEuc(src, dst, crlf);
              if (code == cc::kCodeUtf8) c = cc::SjisToUtf8(src, dst, crlf);
              if (code == cc::kCodeUtf16LE || code == cc::kCodeUtf16BE) c = cc::SjisToUtf16(src, dst, code == cc::kCodeUtf16BE, crlf);
              AddConverted(g, dst, c);
              continue;
            }
            cc::TextConverted c;
            if (code == cc::kCodeSjis) c = cc::SjisTextLineEnds(src, dst, crlf);
            if (code == cc::kCodeEuc) c = cc::SjisTextToEuc(src, dst, crlf);
            if (code == cc::kCodeUtf8) c = cc::SjisTextToUtf8(src, dst, crlf);
            if (code == cc::kCodeUtf16LE || code == cc::kCodeUtf16BE) c = cc::SjisTextToUtf16(src, dst, code == cc::kCodeUtf16BE, crlf);
            AddConverted(g, dst, c);
            g.Add("lines", c.lines);
            g.Add("firstLossyLine", static_cast<std::uint64_t>(c.firstLossyLine));
          }
        }
      }
    }
  }
}

cc::Reader ReaderOf(Form form) {
  constexpr cc::Reader kReaders[] = {cc::Reader::Sjis, cc::Reader::Euc, cc::Reader::Utf8, cc::Reader::Utf16LE,
                                     cc::Reader::Utf16BE};
  return kReaders[static_cast<int>(form)];
}

void AddPiece(Digest& g, const Out& dst, const cc::PieceResult& r) {
  g.Add("status", static_cast<std::uint64_t>(r.status));
  g.Add("consumed", r.consumed);
  g.Add("lineEnds", r.lineEnds);
  g.Add("firstLossyLine", static_cast<std::uint64_t>(r.firstLossyLine));
  g.Add("out", dst.data(), r.outBytes);
}

// The reader of the form: one call on the text with every room, and the text
// read as a file, a piece at a time from where each call stopped (pieces end
// anywhere in a line).
void Read(Form form, const Bytes& text, TextMaker& m, Digest& g) {
  const cc::Reader reader = ReaderOf(form);
  const std::size_t n = std::min(text.size(), cc::kPieceSize);
  for (const std::size_t room : {cc::kPieceSize, static_cast<std::size_t>(m.Pick(0, 40000)), static_cast<std::size_t>(m.Pick(0, 64))}) {
    for (const bool final : {true, false}) {
      Out dst(room);
      g.Label("piece " + std::to_string(room) + (final ? " final" : ""));
      AddPiece(g, dst, cc::ReadPiece(reader, cc::Bytes(text.data(), n), final, dst));
    }
  }
  Out dst(cc::kPieceSize);
  g.Label("file");
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t len = std::min(cc::kPieceSize, text.size() - pos);
    const cc::PieceResult r = cc::ReadPiece(reader, cc::Bytes(text.data() + pos, len), pos + len == text.size(), dst);
    AddPiece(g, dst, r);
    if (r.consumed == 0) break;
    pos += r.consumed;
  }
}

std::uint64_t RunCase(int index, bool show) {
  TextMaker m(0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(index + 1));
  const Form form = static_cast<Form>(index % 5);
  // Mostly short texts; every 60th is a few pieces long.
  const std::size_t size = index % 60 == 59 ? static_cast<std::size_t>(m.Pick(300000, 800000))
                                            : static_cast<std::size_t>(m.Pick(0, m.Chance(20) ? 4000 : 300));
  const Bytes text = m.Make(form, size);
  Digest g(show);
  if (show) std::printf("case %d: %s, %zu bytes\n", index, kFormNames[index % 5], text.size());
  if (text.size() < 100000) {
    IntoSjis(form, text, m, g);
    if (form == Form::Sjis) FromSjis(text, m, g);
  }
  Read(form, text, m, g);
  return g.value();
}

}  // namespace

int main(int argc, char** argv) {
  constexpr int kCases = 1500;
  if (argc == 3 && std::strcmp(argv[1], "--show") == 0) {
    RunCase(std::atoi(argv[2]), true);
    return 0;
  }
  for (int i = 0; i < kCases; ++i) std::printf("%d %016llx\n", i, static_cast<unsigned long long>(RunCase(i, false)));
  return 0;
}
