#include "charcode/library_api.h"

#include <cstring>

namespace gorvane::charcode::api {
namespace {

bool Usable(const void* a, const void* b, int len) { return a != nullptr && b != nullptr && len > 0; }

Bytes In(const Byte* p, int len) { return Bytes(p, static_cast<std::size_t>(len)); }
MutBytes Out(Byte* p, int cap) { return MutBytes(p, static_cast<std::size_t>(cap)); }

}  // namespace

int GetQORVchar_version() { return kLibraryVersion; }

void CopyMemoryNew(void* dst, const void* src, int len) {
  if (Usable(dst, src, len)) std::memcpy(dst, src, static_cast<std::size_t>(len));
}

void FillMemoryNew(void* dst, int value, int len) {
  if (dst != nullptr && len > 0) std::memset(dst, static_cast<Byte>(value), static_cast<std::size_t>(len));
}

void MoveMemoryNew(void* dst, const void* src, int len) {
  if (Usable(dst, src, len) && dst != src) std::memmove(dst, src, static_cast<std::size_t>(len));
}

void UTF16BEexUTF16LE(void* dst, const void* src, int len) {
  if (!Usable(dst, src, len)) return;
  auto* d = static_cast<Byte*>(dst);
  const auto* s = static_cast<const Byte*>(src);
  for (int i = 0; i + 1 < len; i += 2) {
    const Byte a = s[i], b = s[i + 1];
    d[i] = b, d[i + 1] = a;
  }
}

int EUC2ShiftJis(const Byte* src, int len, Byte* dst, const Byte* eucClass) {
  if (len <= 0 || src == nullptr || dst == nullptr) return len;
  const Converted c = EucToSjis(In(src, len), Out(dst, len), eucClass);
  std::size_t n = c.written;
  // A line end at the end of the output becomes CR LF.
  if (n == 1 && (dst[0] == '\r' || dst[0] == '\n')) {
    dst[0] = '\r', dst[1] = '\n', n = 2;
  } else if (n >= 1 && (dst[n - 1] == '\r' || (dst[n - 1] == '\n' && (n < 2 || dst[n - 2] != '\r')))) {
    dst[n - 1] = '\r', dst[n] = '\n', ++n;
  }
  const int count = static_cast<int>(n);
  return c.replaced ? -count : count;
}

int UTF8toSJis(Byte* dst, int cap, const Byte* src, int len) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(Utf8ToSjis(In(src, len), Out(dst, cap)));
}

int UTF7toSJis(Byte* dst, int cap, const Byte* src, int len) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(Utf7ToSjis(In(src, len), Out(dst, cap)));
}

int UTF16LEtoSJis(Byte* dst, int cap, const Byte* src, int len) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(Utf16ToSjis(In(src, len), Out(dst, cap), false));
}

int UTF16BEtoSJis(Byte* dst, int cap, const Byte* src, int len) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(Utf16ToSjis(In(src, len), Out(dst, cap), true));
}

int ShiftJis2ShiftJis(const Byte* src, int len, Byte* dst, const Byte* crlf) {
  if (!Usable(dst, src, len)) return 0;
  return ResultOf(SjisLineEnd(In(src, len), Out(dst, len + static_cast<int>(kCrlfBytesSize)), crlf));
}

int ShiftJis2EUC(const Byte* src, int len, Byte* dst, const Byte* crlf) {
  if (!Usable(dst, src, len)) return 0;
  return ResultOf(SjisToEuc(In(src, len), Out(dst, 2 * len + static_cast<int>(kCrlfBytesSize)), crlf));
}

int SJistoUTF8(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(SjisToUtf8(In(src, len), Out(dst, cap), crlf));
}

int SJistoUTF16LE(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(SjisToUtf16(In(src, len), Out(dst, cap), false, crlf));
}

int SJistoUTF16BE(Byte* dst, int cap, const Byte* src, int len, const Byte* crlf) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(SjisToUtf16(In(src, len), Out(dst, cap), true, crlf));
}

int SJistoUTF7(Byte* dst, int cap, const Byte* src, int len) {
  if (!Usable(dst, src, len) || cap <= 0) return 0;
  return ResultOf(SjisToUtf7(In(src, len), Out(dst, cap)));
}

}  // namespace gorvane::charcode::api
