#include "document/conversions.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "charcode/class_tables.h"

namespace gorvane::document {

namespace {

// A character's code: a single byte as itself, a double-byte one as lead << 8 | trail.
using Code = std::uint16_t;

constexpr std::uint8_t kHalfVoiced = 0xDE, kHalfSemiVoiced = 0xDF;
constexpr Code kVoicedMark = 0x814A, kHiraganaU = 0x82A4, kKatakanaVu = 0x8394;

// The double-byte form of the ASCII punctuation, 0x21 to 0x7E without digits and letters.
constexpr struct {
  char single;
  Code full;
} kPunctuation[] = {
    {'!', 0x8149}, {'"', 0x8168}, {'#', 0x8194},  {'$', 0x8190}, {'%', 0x8193}, {'&', 0x8195}, {'\'', 0x8166},
    {'(', 0x8169}, {')', 0x816A}, {'*', 0x8196},  {'+', 0x817B}, {',', 0x8143}, {'-', 0x817C}, {'.', 0x8144},
    {'/', 0x815E}, {':', 0x8146}, {';', 0x8147},  {'<', 0x8183}, {'=', 0x8181}, {'>', 0x8184}, {'?', 0x8148},
    {'@', 0x8197}, {'[', 0x816D}, {'\\', 0x815F}, {']', 0x816E}, {'^', 0x814F}, {'_', 0x8151}, {'`', 0x814D},
    {'{', 0x816F}, {'|', 0x8162}, {'}', 0x8170},  {'~', 0x8160},
};

// The double-byte form of 0xA1 to 0xDF: the kana symbols, the katakana, the voicing marks.
constexpr Code kKana[0xE0 - 0xA1] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342,  // ｡｢｣､･ｦｧｨ
    0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362, 0x815B,  // ｩｪｫｬｭｮｯｰ
    0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E,  // ｱｲｳｴｵｶｷｸ
    0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E,  // ｹｺｻｼｽｾｿﾀ
    0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C,  // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E,  // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389, 0x838A,  // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,          // ﾙﾚﾛﾜﾝﾞﾟ
};

// The double-byte form of each printable single byte (0x20-0x7E, 0xA1-0xDF); 0 for the others.
constexpr std::array<Code, 256> kFullOfSingle = [] {
  std::array<Code, 256> t{};
  t[' '] = 0x8140;
  for (int d = 0; d < 10; ++d) t[static_cast<std::size_t>('0' + d)] = static_cast<Code>(0x824F + d);
  for (int l = 0; l < 26; ++l) {
    t[static_cast<std::size_t>('A' + l)] = static_cast<Code>(0x8260 + l);
    t[static_cast<std::size_t>('a' + l)] = static_cast<Code>(0x8281 + l);
  }
  for (const auto& p : kPunctuation) t[static_cast<std::uint8_t>(p.single)] = p.full;
  for (int b = 0xA1; b <= 0xDF; ++b) t[static_cast<std::size_t>(b)] = kKana[b - 0xA1];
  return t;
}();

// The voiced (mark "ﾞ") or semi-voiced ("ﾟ") katakana of a half-width one; 0 when it has none.
constexpr Code VoicedOf(std::uint8_t kana, std::uint8_t mark) {
  const Code base = kFullOfSingle[kana];
  if (mark == kHalfVoiced) {
    if (kana == 0xB3) return kKatakanaVu;                                                   // ｳ
    if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) return base + 1;  // ｶ-ﾄ, ﾊ-ﾎ
  } else if (mark == kHalfSemiVoiced && kana >= 0xCA && kana <= 0xCE) {
    return base + 2;
  }
  return 0;
}

// Double-byte codes of rows 1 to 5 (lead bytes 0x81 to 0x83), as an index.
constexpr std::size_t kLowRows = 3 * 192;
constexpr bool InLowRows(Code c) { return c >= 0x8140 && c < 0x8400 && (c & 0xFF) >= 0x40; }
constexpr std::size_t LowIndex(Code c) {
  return static_cast<std::size_t>(((c >> 8) - 0x81) * 192 + ((c & 0xFF) - 0x40));
}

// The single-byte form of each double-byte character that has one: the byte,
// and in the high byte "ﾞ" or "ﾟ" after it (0 for none). 0 for no form.
constexpr std::array<std::uint16_t, kLowRows> kHalfOfDouble = [] {
  std::array<std::uint16_t, kLowRows> t{};
  for (int b = 0x20; b <= 0xDF; ++b)
    if (const Code full = kFullOfSingle[static_cast<std::size_t>(b)]) t[LowIndex(full)] = static_cast<std::uint16_t>(b);
  for (int b = 0xA6; b <= 0xDD; ++b)
    for (const std::uint8_t mark : {kHalfVoiced, kHalfSemiVoiced})
      if (const Code voiced = VoicedOf(static_cast<std::uint8_t>(b), mark))
        t[LowIndex(voiced)] = static_cast<std::uint16_t>(mark << 8 | b);
  return t;
}();

constexpr bool IsHiragana(Code c) { return c >= 0x829F && c <= 0x82F1; }
constexpr bool IsKatakana(Code c) { return c >= 0x8340 && c <= 0x8396 && c != 0x837F; }

constexpr Code HiraganaToKatakana(Code c) {
  if (!IsHiragana(c)) return c;
  return static_cast<Code>(c <= 0x82DD ? c + 0xA1 : c + 0xA2);
}
constexpr Code KatakanaToHiragana(Code c) {
  if (c < 0x8340 || c > 0x8393 || c == 0x837F) return c;  // VU, small KA and small KE have none
  return static_cast<Code>(c < 0x8380 ? c - 0xA1 : c - 0xA2);
}

// The six symbols that FullKanaToHalf converts besides the katakana: 、。・ー「」.
constexpr bool IsKanaSymbol(Code c) {
  return c == 0x8141 || c == 0x8142 || c == 0x8145 || c == 0x815B || c == 0x8175 || c == 0x8176;
}

constexpr Code CaseOf(Code c, bool upper) {
  if (c < 0x80) {
    if (upper && c >= 'a' && c <= 'z') return static_cast<Code>(c - ('a' - 'A'));
    if (!upper && c >= 'A' && c <= 'Z') return static_cast<Code>(c + ('a' - 'A'));
    return c;
  }
  if (upper) {
    if (c >= 0x8281 && c <= 0x829A) return static_cast<Code>(c - 0x21);  // Latin
    if (c >= 0x83BF && c <= 0x83D6) return static_cast<Code>(c - 0x20);  // Greek
    if (c >= 0x8470 && c <= 0x8491 && c != 0x847F) return static_cast<Code>(c < 0x847F ? c - 0x30 : c - 0x31);
  } else {
    if (c >= 0x8260 && c <= 0x8279) return static_cast<Code>(c + 0x21);
    if (c >= 0x839F && c <= 0x83B6) return static_cast<Code>(c + 0x20);
    if (c >= 0x8440 && c <= 0x8460) return static_cast<Code>(c <= 0x844E ? c + 0x30 : c + 0x31);  // 0x847F skipped
  }
  return c;
}

void Append(std::string& out, Code c) {
  if (c > 0xFF) out += static_cast<char>(c >> 8);
  out += static_cast<char>(c & 0xFF);
}

// The code of the character at text[at] and its byte count (within end).
struct Char {
  Code code;
  std::size_t bytes;
};
Char CharAt(std::string_view text, std::size_t at, std::size_t end) {
  const auto b = static_cast<std::uint8_t>(text[at]);
  if (charcode::SjisCharBytes(text, at, end) == 1) return {b, 1};
  return {static_cast<Code>(b << 8 | static_cast<std::uint8_t>(text[at + 1])), 2};
}

// The single-byte form of a double-byte character into out; false when it has none.
bool AppendHalf(std::string& out, Code c) {
  if (!InLowRows(c)) return false;
  const std::uint16_t half = kHalfOfDouble[LowIndex(c)];
  if (half == 0) return false;
  out += static_cast<char>(half & 0xFF);
  if (half >> 8) out += static_cast<char>(half >> 8);
  return true;
}

// Converts the unit at text[at] (the range ending at end), appending its
// converted form to out; gives the unit's byte count.
std::size_t ConvertUnit(Conversion kind, std::string_view text, std::size_t at, std::size_t end, std::string& out) {
  const Char ch = CharAt(text, at, end);
  const std::size_t before = out.size();
  switch (kind) {
    case Conversion::Upper:
    case Conversion::Lower:
      Append(out, CaseOf(ch.code, kind == Conversion::Upper));
      return ch.bytes;
    case Conversion::Half:
      if (ch.bytes == 2 && AppendHalf(out, HiraganaToKatakana(ch.code))) return 2;
      break;
    case Conversion::FullKanaToHalf:
      if (ch.bytes == 2 && (IsKatakana(ch.code) || IsKanaSymbol(ch.code)) && AppendHalf(out, ch.code)) return 2;
      break;
    case Conversion::FullHiragana:
    case Conversion::FullKatakana:
    case Conversion::HalfKanaToFull: {
      if (ch.bytes == 2) {
        if (kind == Conversion::FullHiragana) {
          Append(out, KatakanaToHiragana(ch.code));
          return 2;
        }
        if (kind == Conversion::FullKatakana) {
          if (ch.code == kHiraganaU && at + 4 <= end && CharAt(text, at + 2, end).code == kVoicedMark) {
            Append(out, kKatakanaVu);
            return 4;
          }
          Append(out, HiraganaToKatakana(ch.code));
          return 2;
        }
        break;
      }
      const auto b = static_cast<std::uint8_t>(ch.code);
      if (kind == Conversion::HalfKanaToFull && (b < 0xA1 || b > 0xDF)) break;
      Code full = kFullOfSingle[b];
      if (full == 0) break;
      std::size_t bytes = 1;
      if (at + 1 < end) {
        if (const Code voiced = VoicedOf(b, static_cast<std::uint8_t>(text[at + 1]))) full = voiced, bytes = 2;
      }
      Append(out, kind == Conversion::FullHiragana ? KatakanaToHiragana(full) : full);
      return bytes;
    }
  }
  out.resize(before);
  out.append(text.substr(at, ch.bytes));
  return ch.bytes;
}

// The start of the character that holds byte at (at most text.size()).
std::size_t CharStart(std::string_view text, std::size_t at) {
  std::size_t i = 0;
  while (i < at) {
    const std::size_t n = charcode::SjisCharBytes(text, i, text.size());
    if (i + n > at) break;
    i += n;
  }
  return i;
}

}  // namespace

std::vector<ConvertedRun> ConvertRuns(Conversion kind, std::string_view text, std::int32_t from, std::int32_t to) {
  const auto size = static_cast<std::int32_t>(text.size());
  const auto first = CharStart(text, static_cast<std::size_t>(std::clamp(from, 0, size)));
  std::size_t end = static_cast<std::size_t>(std::clamp(to, 0, size));
  if (const std::size_t start = CharStart(text, end); start < end)
    end = start + charcode::SjisCharBytes(text, start, text.size());  // widened over a character cut by to

  std::vector<ConvertedRun> runs;
  bool inRun = false;
  std::string converted;
  for (std::size_t at = first; at < end;) {
    converted.clear();
    const std::size_t bytes = ConvertUnit(kind, text, at, end, converted);
    if (converted != text.substr(at, bytes)) {
      if (!inRun) runs.push_back({static_cast<std::int32_t>(at), 0, {}});
      runs.back().length += static_cast<std::int32_t>(bytes);
      runs.back().replacement += converted;
      inRun = true;
    } else {
      inRun = false;
    }
    at += bytes;
  }
  return runs;
}

std::string ApplyRuns(std::string_view text, const std::vector<ConvertedRun>& runs) {
  std::string out;
  std::size_t copied = 0;
  for (const ConvertedRun& r : runs) {
    const auto start = static_cast<std::size_t>(r.start);
    out.append(text.substr(copied, start - copied));
    out += r.replacement;
    copied = start + static_cast<std::size_t>(r.length);
  }
  out.append(text.substr(std::min(copied, text.size())));
  return out;
}

std::string ChangeCase(std::string_view run, bool upper) {
  std::string out;
  out.reserve(run.size());
  for (std::size_t at = 0; at < run.size();) {
    const Char ch = CharAt(run, at, run.size());
    Append(out, CaseOf(ch.code, upper));
    at += ch.bytes;
  }
  return out;
}

}  // namespace gorvane::document
