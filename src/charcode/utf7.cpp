// UTF-7 (RFC 2152) to and from Shift-JIS. Directly written: the letters,
// digits, ' ( ) , - . / : ? and space, tab, CR, LF; everything else goes in
// base64 runs, which are always closed with "-"; "+" itself is "+-".
#include <cstring>

#include "charcode/charcode.h"
#include "charcode/text_units.h"

namespace gorvane::charcode {
namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(std::uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool Direct(std::uint16_t u) {
  if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) return true;
  return u != 0 && u < 0x80 && std::strchr("'(),-./:? \t\r\n", static_cast<char>(u)) != nullptr;
}

}  // namespace

Converted Utf7ToSjis(Bytes src, MutBytes dst) {
  Converted r;
  const std::size_t n = src.size(), cap = dst.size();
  std::size_t i = 0, o = 0;
  auto put = [&](std::uint16_t u) {
    std::uint16_t code = u < 0x80 ? u : cp932::Encode(u);
    if (u >= 0x80 && code == 0) code = '?', ++r.replaced;
    const std::size_t len = code >= 0x100 ? 2 : 1;
    if (cap - o < len) return false;
    if (len == 2) dst[o++] = static_cast<std::uint8_t>(code >> 8);
    dst[o++] = static_cast<std::uint8_t>(code);
    return true;
  };
  while (i < n) {
    const std::uint8_t c = src[i];
    if (c != '+') {
      if (c >= 0x80) {  // not UTF-7
        if (!put(0xFFFD)) break;
      } else if (!put(c)) {
        break;
      }
      ++i;
      continue;
    }
    if (i + 1 < n && src[i + 1] == '-') {
      if (!put('+')) break;
      i += 2;
      continue;
    }
    // A base64 run: 16-bit units, most significant bit first.
    std::size_t j = i + 1;
    std::uint32_t bits = 0;
    int nbits = 0;
    bool fits = true;
    std::uint16_t high = 0;  // a pending high surrogate
    while (j < n && Base64Value(src[j]) >= 0) {
      bits = (bits << 6) | static_cast<std::uint32_t>(Base64Value(src[j]));
      nbits += 6;
      ++j;
      if (nbits >= 16) {
        nbits -= 16;
        const auto u = static_cast<std::uint16_t>(bits >> nbits);
        bits &= (1u << nbits) - 1;
        if (high) {
          const bool pair = u >= 0xDC00 && u <= 0xDFFF;
          high = 0;
          if (!(fits = put(0xFFFD))) break;
          if (pair) continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
          high = u;
          continue;
        }
        if (!(fits = put(u))) break;
      }
    }
    if (!fits) break;
    if (high && !put(0xFFFD)) break;
    if (j < n && src[j] == '-') ++j;
    i = j;
  }
  r.consumed = i;
  r.written = o;
  r.complete = i == n;
  return r;
}

Converted SjisToUtf7(Bytes src, MutBytes dst) {
  Converted r;
  const std::size_t n = src.size(), cap = dst.size();
  std::size_t i = 0, o = 0;
  bool inRun = false;
  std::uint32_t bits = 0;
  int nbits = 0;
  auto emit = [&](std::uint8_t c) {
    if (o >= cap) return false;
    dst[o++] = c;
    return true;
  };
  auto closeRun = [&]() {
    if (nbits > 0 && !emit(static_cast<std::uint8_t>(kBase64[(bits << (6 - nbits)) & 0x3F]))) return false;
    bits = 0, nbits = 0, inRun = false;
    return emit('-');
  };
  bool ok = true;
  while (i < n && ok) {
    const SjisChar c = DecodeSjis(src.data() + i, n - i);
    if (Direct(c.unit)) {
      ok = (!inRun || closeRun()) && emit(static_cast<std::uint8_t>(c.unit));
    } else if (c.unit == '+' && !inRun) {
      ok = emit('+') && emit('-');
    } else {
      if (!inRun) ok = emit('+'), inRun = true;
      bits = (bits << 16) | c.unit;
      nbits += 16;
      while (ok && nbits >= 6) {
        nbits -= 6;
        ok = emit(static_cast<std::uint8_t>(kBase64[(bits >> nbits) & 0x3F]));
      }
      bits &= (1u << nbits) - 1;
    }
    if (ok) {
      i += c.len;
      r.replaced += c.replaced;
    }
  }
  if (ok && inRun) ok = closeRun();
  r.consumed = ok ? i : 0;
  r.written = o;
  r.complete = ok && i == n;
  return r;
}

}  // namespace gorvane::charcode
