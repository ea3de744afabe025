// Line conversions between Shift-JIS (code page 932) and EUC-JP, UTF-8,
// UTF-16LE/BE. Every character without an equivalent becomes "?" and is
// counted in Converted::replaced; nothing is written past dst.
#include <cstring>

#include "charcode/charcode.h"
#include "charcode/cp932_tables.h"
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

// The from-Shift-JIS walk shared by the UTF-8 and UTF-16 writers: Emit(unit,
// dst, cap, o) writes one UTF-16 unit in the target form.
template <typename Emit>
Converted FromSjisUnits(Bytes src, MutBytes dst, const std::uint8_t* crlf, std::size_t crlfLen, Emit emit) {
  Converted r;
  const Bytes body = LineBody(src, crlf);
  const std::uint8_t* s = body.data();
  const std::size_t n = body.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  std::size_t i = 0, o = 0;
  while (i < n) {
    const SjisChar c = DecodeSjis(s + i, n - i);
    if (!emit(c.unit, d, cap, o)) {
      r.complete = false;
      break;
    }
    i += c.len;
    r.replaced += c.replaced;
  }
  r.consumed = i;
  if (r.complete && body.size() != src.size()) {
    if (AppendCrlf(crlf, crlfLen, dst, o)) r.consumed = src.size();
    else r.complete = false;
  }
  r.written = o;
  return r;
}

}  // namespace

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
  if (cls == nullptr) cls = kEucClass.data();
  Converted r;
  const std::uint8_t* s = src.data();
  const std::size_t n = src.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  std::size_t i = 0, o = 0;
  while (i < n) {
    const std::uint8_t b = s[i];
    if (b < 0x80) {
      if (o >= cap) break;
      d[o++] = b;
      ++i;
      continue;
    }
    const std::uint8_t c = cls[b];
    const std::size_t need = (c & kEucSs3) ? 2 : (c & (kEucLead | kEucSs2)) ? 1 : 0;
    std::size_t have = 0;
    while (have < need && i + 1 + have < n && (cls[s[i + 1 + have]] & kEucTrail)) ++have;
    if (need && have < need && i + 1 + have == n && !srcEnds) break;  // cut by the end of src
    std::uint16_t code = '?';
    std::size_t len = 1;
    bool replaced = true;
    if (need && have == need) {
      const std::uint8_t t = s[i + 1];
      if (c & kEucSs3) {  // JIS X 0212: no Shift-JIS equivalent
        len = 3;
      } else if (c & kEucSs2) {  // half-width katakana
        if (t >= 0xA1 && t <= 0xDF) code = t, replaced = false, len = 2;
      } else {  // JIS X 0208 row and cell
        const std::uint8_t s1 = static_cast<std::uint8_t>(b <= 0xDE ? ((b - 0xA1) >> 1) + 0x81 : ((b - 0xDF) >> 1) + 0xE0);
        std::uint8_t s2;
        if (b & 1) {
          s2 = static_cast<std::uint8_t>(t - 0x61);
          if (s2 >= 0x7F) ++s2;
        } else {
          s2 = static_cast<std::uint8_t>(t - 2);
        }
        code = static_cast<std::uint16_t>(s1 << 8 | s2), replaced = false, len = 2;
      }
    }
    if (!PutCode(code, d, cap, o)) break;
    i += len;
    r.replaced += replaced;
  }
  r.consumed = i;
  r.written = o;
  r.complete = i == n;
  return r;
}

Converted Utf8ToSjis(Bytes src, MutBytes dst, bool srcEnds) {
  Converted r;
  const std::uint8_t* s = src.data();
  const std::size_t n = src.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  std::size_t i = 0, o = 0;
  while (i < n) {
    if (s[i] < 0x80) {
      if (o >= cap) break;
      d[o++] = s[i++];
      continue;
    }
    const Utf8Seq q = DecodeUtf8(s + i, n - i);
    if (q.cut && !srcEnds) break;
    std::uint16_t code = q.valid && q.cp <= 0xFFFF ? cp932::Encode(static_cast<std::uint16_t>(q.cp)) : 0;
    const bool replaced = code == 0;
    if (replaced) code = '?';
    if (!PutCode(code, d, cap, o)) break;
    i += q.len;
    r.replaced += replaced;
  }
  r.consumed = i;
  r.written = o;
  r.complete = i == n;
  return r;
}

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
  Converted r;
  const Bytes body = LineBody(src, crlf);
  const std::uint8_t* s = body.data();
  const std::size_t n = body.size(), cap = dst.size();
  std::uint8_t* d = dst.data();
  std::size_t i = 0, o = 0;
  while (i < n) {
    const std::uint8_t b = s[i];
    std::uint8_t out[2];
    std::size_t len = 1, outLen = 1;
    bool replaced = false;
    out[0] = b;
    if (b < 0x80) {
      // copied
    } else if (cp932::IsLead(b) && i + 1 < n && cp932::IsTrail(s[i + 1])) {
      len = 2;
      std::uint16_t code = static_cast<std::uint16_t>(b << 8 | s[i + 1]);
      if (b >= 0xFA) code = cp932::IbmToNec(b, s[i + 1]);  // EUC-JP only has the NEC forms
      else if (b >= 0xF0) code = 0;                         // user-defined characters
      if (code == 0) {
        out[0] = '?', replaced = true;
      } else {
        const unsigned l = code >> 8, t = code & 0xFF;
        unsigned e1 = l <= 0x9F ? 2 * l - 0x61 : 2 * l + 0x1F;
        if (t >= 0x9F) ++e1;
        const unsigned e2 = t <= 0x7F ? t + 0x61 : t <= 0x9E ? t + 0x60 : t + 2;
        out[0] = static_cast<std::uint8_t>(e1), out[1] = static_cast<std::uint8_t>(e2), outLen = 2;
      }
    } else if (kSjisClass[b] & kSjisKana) {
      out[0] = 0x8E, out[1] = b, outLen = 2;
    } else {  // 0x80, 0xA0, 0xFD-0xFF, or a lead byte without its trail byte
      out[0] = '?', replaced = true;
    }
    if (cap - o < outLen) {
      r.complete = false;
      break;
    }
    d[o] = out[0];
    if (outLen == 2) d[o + 1] = out[1];
    o += outLen;
    i += len;
    r.replaced += replaced;
  }
  r.consumed = i;
  if (r.complete && body.size() != src.size()) {
    if (AppendCrlf(crlf, CrlfLength(kCodeEuc, crlf), dst, o)) r.consumed = src.size();
    else r.complete = false;
  }
  r.written = o;
  return r;
}

Converted SjisToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return FromSjisUnits(src, dst, crlf, CrlfLength(kCodeUtf8, crlf),
                       [](std::uint16_t u, std::uint8_t* d, std::size_t cap, std::size_t& o) {
                         if (u < 0x80) {
                           if (o >= cap) return false;
                           d[o++] = static_cast<std::uint8_t>(u);
                         } else if (u < 0x800) {
                           if (cap - o < 2) return false;
                           d[o++] = static_cast<std::uint8_t>(0xC0 | u >> 6);
                           d[o++] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
                         } else {
                           if (cap - o < 3) return false;
                           d[o++] = static_cast<std::uint8_t>(0xE0 | u >> 12);
                           d[o++] = static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F));
                           d[o++] = static_cast<std::uint8_t>(0x80 | (u & 0x3F));
                         }
                         return true;
                       });
}

Converted SjisToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf) {
  const std::size_t crlfLen = CrlfLength(bigEndian ? kCodeUtf16BE : kCodeUtf16LE, crlf);
  auto put = [bigEndian](std::uint16_t u, std::uint8_t* d, std::size_t cap, std::size_t& o) {
    if (cap - o < 2) return false;
    const auto hi = static_cast<std::uint8_t>(u >> 8), lo = static_cast<std::uint8_t>(u);
    d[o++] = bigEndian ? hi : lo;
    d[o++] = bigEndian ? lo : hi;
    return true;
  };
  return FromSjisUnits(src, dst, crlf, crlfLen, put);
}

Converted SjisLineEnd(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  Converted r;
  const std::size_t n = src.size();
  const std::size_t crlfLen = CrlfLength(kCodeSjis, crlf);
  std::size_t keep = n;
  if (crlf != nullptr && n >= crlfLen) {
    if (n >= 2 && src[n - 2] == '\r' && src[n - 1] == '\n') keep = n - 2;
    else if (n >= 1 && src[n - 1] == '\n') keep = n - 1;
  }
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

}  // namespace gorvane::charcode
