// charcode.h's line conversions made of calls of the library's exported
// converters (library_api.h's argument lists and result convention), for a
// program that takes the character-code work from QORVchar.dll: the binding
// calls these with the DLL's functions, the tests with library_api's.
//
// A result r of a converter is the bytes written, negated when a character
// became "?", 0 when the output did not fit or the conversion failed. The
// Converted of such a call has the whole input consumed (or nothing, with
// complete = false, for 0); replaced counts 1 for a lossy call, since the
// library does not say how many characters it replaced.
#pragma once

#include <cstdlib>
#include <cstring>
#include <vector>

#include "charcode/charcode.h"

namespace gorvane::charcode::exports {

inline int Len(std::size_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }

inline Converted FromResult(int r, std::size_t len) {
  Converted c;
  if (len == 0) return c;
  if (r == 0) {
    c.complete = false;
    return c;
  }
  c.consumed = len;
  c.written = static_cast<std::size_t>(std::abs(r));
  c.replaced = r < 0 ? 1 : 0;
  return c;
}

inline Converted Failed() {
  Converted c;
  c.complete = false;
  return c;
}

// Into Shift-JIS, with a capacity: f(dst, cap, src, len).
template <typename F>
Converted IntoSjis(F f, Bytes src, MutBytes dst) {
  if (src.empty()) return Converted{};
  if (f == nullptr) return Failed();
  return FromResult(f(dst.data(), Len(dst.size()), src.data(), Len(src.size())), src.size());
}

// From Shift-JIS, with a capacity: f(dst, cap, src, len, crlf).
template <typename F>
Converted FromSjis(F f, Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  if (src.empty()) return Converted{};
  if (f == nullptr) return Failed();
  return FromResult(f(dst.data(), Len(dst.size()), src.data(), Len(src.size()), crlf), src.size());
}

// From Shift-JIS without a capacity, f(src, len, dst, crlf) needing `worst`
// bytes of room: straight into dst when it has them, else through a block of
// that size.
template <typename F>
Converted FromSjisUncapped(F f, Bytes src, MutBytes dst, const std::uint8_t* crlf, std::size_t worst) {
  if (src.empty()) return Converted{};
  if (f == nullptr) return Failed();
  if (dst.size() >= worst) return FromResult(f(src.data(), Len(src.size()), dst.data(), crlf), src.size());
  std::vector<std::uint8_t> block(worst);
  const Converted c = FromResult(f(src.data(), Len(src.size()), block.data(), crlf), src.size());
  if (!c.complete || c.written > dst.size()) return Failed();
  std::memcpy(dst.data(), block.data(), c.written);
  return c;
}

// ShiftJis2EUC writes at most 2 * len + 6 bytes, ShiftJis2ShiftJis len + 6.
inline std::size_t EucRoom(std::size_t len) { return 2 * len + kCrlfBytesSize; }
inline std::size_t SjisRoom(std::size_t len) { return len + kCrlfBytesSize; }

// Working text line by line (each ending in its LF) through a line converter,
// whole lines while they fit.
template <typename Line>
TextConverted PerLine(Bytes src, MutBytes dst, Line convert) {
  TextConverted r;
  std::size_t i = 0, o = 0;
  while (i < src.size()) {
    const void* lf = std::memchr(src.data() + i, '\n', src.size() - i);
    const std::size_t end =
        lf != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - src.data()) + 1 : src.size();
    const Converted c = convert(src.subspan(i, end - i), dst.subspan(o));
    if (!c.complete || c.consumed != end - i) {
      r.complete = false;
      break;
    }
    if (c.replaced != 0 && r.firstLossyLine < 0) r.firstLossyLine = static_cast<std::int64_t>(r.lines);
    r.replaced += c.replaced;
    o += c.written;
    i = end;
    if (lf != nullptr) ++r.lines;
  }
  r.consumed = i;
  r.written = o;
  return r;
}

}  // namespace gorvane::charcode::exports
