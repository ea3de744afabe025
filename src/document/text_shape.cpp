#include "document/text_shape.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "charcode/cp932_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gorvane::document {

namespace {

using charcode::cp932::IsLead;
using charcode::cp932::IsTrail;

// Per byte: a lead byte; a byte that cannot be a second byte; CR, LF or NUL.
constexpr std::uint8_t kLead = 1, kNotTrail = 2, kLineByte = 4;

#if defined(__SSE2__)
// The two 64-bit lanes of a register added.
std::uint64_t Lanes(__m128i v) {
  std::uint64_t lanes[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), v);
  return lanes[0] + lanes[1];
}
#endif

constexpr std::array<std::uint8_t, 256> kKinds = [] {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const auto u = static_cast<std::uint8_t>(b);
    t[u] = static_cast<std::uint8_t>((IsLead(u) ? kLead : 0) | (IsTrail(u) ? 0 : kNotTrail));
  }
  t['\r'] |= kLineByte;
  t['\n'] |= kLineByte;
  t[0] |= kLineByte;
  return t;
}();

// The checking pass. Character starts are not followed byte by byte: a byte
// that cannot be a second byte, preceded by a lead byte, is the only place
// where a lead byte may lack its second one, and whether that lead byte
// starts a character follows from the run of lead bytes before it (every
// lead byte is a valid second byte, so the run alternates first and second
// bytes from its start: an odd run ends in a first byte). So the text is
// read in blocks, and only such places and the line bytes are looked at.
class Checker {
 public:
  explicit Checker(std::string_view text)
      : s_(reinterpret_cast<const std::uint8_t*>(text.data())), n_(text.size()) {}

  // False at the first place that needs mending.
  bool Run(TextShape* shape) {
    shape->ends.clear();
    shape->size = static_cast<std::uint32_t>(n_);
    ends_ = &shape->ends;
    std::uint64_t sum = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    unsigned carry = 0;  // the byte before the block is a lead byte
    auto ge = [](__m128i v, int k) { return _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(k))), v); };
    auto le = [](__m128i v, int k) { return _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(static_cast<char>(k))), v); };
    for (; i + 16 <= n_; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s_ + i));
      sums = _mm_add_epi64(sums, _mm_sad_epu8(v, zero));
      const __m128i lead = _mm_or_si128(_mm_and_si128(ge(v, 0x81), le(v, 0x9F)), _mm_and_si128(ge(v, 0xE0), le(v, 0xFC)));
      const __m128i trail = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)), _mm_and_si128(ge(v, 0x40), le(v, 0xFC)));
      const __m128i line = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                        _mm_cmpeq_epi8(v, zero));
      const auto leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
      const auto notTrail = static_cast<unsigned>(_mm_movemask_epi8(trail)) ^ 0xFFFFu;
      unsigned look = static_cast<unsigned>(_mm_movemask_epi8(line)) | (notTrail & ((leads << 1 | carry) & 0xFFFFu));
      carry = leads >> 15;
      for (; look != 0; look &= look - 1)
        if (!At(i + static_cast<std::size_t>(__builtin_ctz(look)))) return false;
    }
    sum = Lanes(sums);
#endif
    for (; i < n_; ++i) {
      sum += s_[i];
      const std::uint8_t k = kKinds[s_[i]];
      if (((k & kLineByte) || ((k & kNotTrail) && i > 0 && (kKinds[s_[i - 1]] & kLead))) && !At(i)) return false;
    }
    shape->sum = static_cast<std::uint32_t>(sum);
    // A lead byte that starts a character at the very end lacks its second.
    return n_ == 0 || !(kKinds[s_[n_ - 1]] & kLead) || !OddLeadRunBefore(n_);
  }

 private:
  // Whether the lead bytes just before i are an odd run (the last of them then
  // starts a character).
  bool OddLeadRunBefore(std::size_t i) const {
    std::size_t j = i;
    while (j > 0 && (kKinds[s_[j - 1]] & kLead)) --j;
    return ((i - j) & 1) != 0;
  }

  // A byte that cannot be a second byte, or a line byte.
  bool At(std::size_t i) {
    if (i > 0 && (kKinds[s_[i - 1]] & kLead) && OddLeadRunBefore(i)) return false;
    const std::uint8_t b = s_[i];
    if (b == '\r') {
      if (i + 1 >= n_ || s_[i + 1] != '\n') return false;
      ends_->push_back(static_cast<std::uint32_t>(i + 2));
    } else if (b == '\n') {
      if (i == 0 || s_[i - 1] != '\r') return false;
    } else if (b == 0) {
      return false;
    }
    return true;
  }

  const std::uint8_t* s_;
  std::size_t n_;
  std::vector<std::uint32_t>* ends_ = nullptr;
};

// The slow mending, byte by byte, for text that the checker refused.
std::string Mended(std::string_view in) {
  in = in.substr(0, in.find('\0'));
  std::string out;
  out.reserve(in.size() + 16);
  const auto* s = reinterpret_cast<const std::uint8_t*>(in.data());
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t b = s[i];
    if (IsLead(b)) {
      if (i + 1 < n && IsTrail(s[i + 1])) {
        out.append(in.substr(i, 2));
        i += 2;
      } else {
        out.push_back('?');
        ++i;
      }
    } else if (b == '\r' || b == '\n') {
      out.append("\r\n");
      i += b == '\r' && i + 1 < n && s[i + 1] == '\n' ? 2 : 1;
    } else {
      out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  return out;
}

}  // namespace

std::int32_t TextShape::LongestPiece() const {
  std::uint32_t longest = 0, from = 0;
  for (const std::uint32_t e : ends) {
    longest = std::max(longest, e - from);
    from = e;
  }
  return static_cast<std::int32_t>(std::max(longest, size - from));
}

TextPos TextShape::After(TextPos at) const {
  if (ends.empty()) return {at.line, at.column + static_cast<std::int32_t>(size)};
  return {at.line + breaks(), CaretCol(LastPiece() + 1)};
}

std::uint32_t ByteSum(std::string_view text) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i sums = zero;
  for (; i + 16 <= text.size(); i += 16)
    sums = _mm_add_epi64(sums, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)), zero));
  sum = Lanes(sums);
#endif
  for (; i < text.size(); ++i) sum += static_cast<std::uint8_t>(text[i]);
  return static_cast<std::uint32_t>(sum);
}

std::vector<std::uint32_t> CrLfEnds(std::string_view text) {
  std::vector<std::uint32_t> ends;
  const char* base = text.data();
  const char* end = base + text.size();
  for (const char* p = base; p < end;) {
    const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (hit == nullptr) break;
    const char* lf = static_cast<const char*>(hit);
    if (lf > base && lf[-1] == '\r') ends.push_back(static_cast<std::uint32_t>(lf + 1 - base));
    p = lf + 1;
  }
  return ends;
}

TextShape ShapeOf(std::string_view text) {
  TextShape shape;
  shape.ends = CrLfEnds(text);
  shape.sum = ByteSum(text);
  shape.size = static_cast<std::uint32_t>(text.size());
  return shape;
}

TextShape MakeWhole(std::string& text) {
  TextShape shape;
  if (Checker(text).Run(&shape)) return shape;
  text = Mended(text);
  Checker(text).Run(&shape);
  return shape;
}

}  // namespace gorvane::document
