// Encoding detection: which of the five encodings a file sample is written in,
// and the file's first line end.
#include <cstring>

#include "charcode/charcode.h"

namespace gorvane::charcode {
namespace {

enum class Utf8Verdict { Ascii, MultiByte, Invalid };

enum class LineEnd { None, CrLf, CrLast, CrOther, Lf };

// The first CR or LF byte decides the line end of byte text; none leaves CR LF.
LineEnd FirstByteLineEnd(const std::uint8_t* d, int n, std::uint8_t* crlf) {
  for (int i = 0; i < n; ++i) {
    if (d[i] == '\r') {
      if (i + 1 < n && d[i + 1] == '\n') {
        crlf[0] = '\r', crlf[1] = '\n', crlf[2] = 0;
        return LineEnd::CrLf;
      }
      crlf[0] = '\r', crlf[1] = 0;
      return i + 1 == n ? LineEnd::CrLast : LineEnd::CrOther;
    }
    if (d[i] == '\n') {
      crlf[0] = '\n', crlf[1] = 0;
      return LineEnd::Lf;
    }
  }
  return LineEnd::None;
}

void Utf16LineEnd(const std::uint8_t* d, int n, bool bigEndian, std::uint8_t* crlf) {
  auto unit = [&](int i) { return bigEndian ? (d[i] << 8 | d[i + 1]) : (d[i + 1] << 8 | d[i]); };
  for (int i = 0; i + 1 < n; i += 2) {
    int u = unit(i);
    if (u != '\r' && u != '\n') continue;
    int len = 2;
    crlf[0] = d[i], crlf[1] = d[i + 1];
    if (u == '\r' && i + 3 < n && unit(i + 2) == '\n') {
      crlf[2] = d[i + 2], crlf[3] = d[i + 3];
      len = 4;
    }
    crlf[len] = 0, crlf[len + 1] = 0;
    return;
  }
  static const std::uint8_t kBe[] = {0, '\r', 0, '\n', 0, 0}, kLe[] = {'\r', 0, '\n', 0, 0, 0};
  std::memcpy(crlf, bigEndian ? kBe : kLe, 6);
}

bool Continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

Utf8Verdict ScanUtf8(const std::uint8_t* d, int n) {
  Utf8Verdict v = Utf8Verdict::Ascii;
  const bool fullSample = n == static_cast<int>(kSampleSize);
  for (int i = 0; i < n;) {
    if (fullSample && i >= n - 3) break;
    const std::uint8_t b = d[i];
    if ((b & 0xF8) == 0xF0 && i < n - 3 && Continuation(d[i + 1]) && Continuation(d[i + 2]) &&
        Continuation(d[i + 3])) {
      v = Utf8Verdict::MultiByte, i += 4;
    } else if ((b & 0xF0) == 0xE0 && i < n - 2 && Continuation(d[i + 1]) && Continuation(d[i + 2])) {
      v = Utf8Verdict::MultiByte, i += 3;
    } else if ((b & 0xE0) == 0xC0 && i < n - 1 && Continuation(d[i + 1])) {
      v = Utf8Verdict::MultiByte, i += 2;
    } else if (b < 0x80) {
      ++i;
    } else {
      return Utf8Verdict::Invalid;
    }
  }
  return v;
}

// EUC-JP: two-byte characters, 0x8E + one byte, 0x8F + two bytes (JIS X 0212).
bool ScanEuc(const std::uint8_t* d, int n) {
  const bool cut = n >= static_cast<int>(kSampleSize);
  for (int i = 0; i < n;) {
    const std::uint8_t c = kEucClass[d[i]];
    if (c & kEucNever) return false;
    if (d[i] < 0x80) {
      ++i;
      continue;
    }
    const int need = (c & kEucSs3) ? 2 : (c & (kEucLead | kEucSs2)) ? 1 : 0;
    if (need == 0) return false;
    int have = 0;
    while (have < need && i + 1 + have < n && (kEucClass[d[i + 1 + have]] & kEucTrail)) ++have;
    if (have == need) {
      i += 1 + need;
      continue;
    }
    // A character cut by the end of a full sample still counts as valid.
    return cut && i + 1 + have == n;
  }
  return true;
}

bool ScanSjis(const std::uint8_t* d, int n) {
  const bool cut = n >= static_cast<int>(kSampleSize);
  for (int i = 0; i < n;) {
    const std::uint16_t w = kSjisClass[d[i]];
    if (i + 1 < n) {
      if ((w & kSjisLead) && (kSjisClass[d[i + 1]] & kSjisTrail)) {
        i += 2;
        continue;
      }
    } else if (cut && (w & kSjisLead)) {
      return true;
    }
    if (d[i] <= 0xFC && (w & (kSjisControl | kSjisPrintable))) {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

int JudgmentCode(const std::uint8_t* data, int count, std::uint8_t* crlf) {
  std::memset(crlf, 0, kCrlfBytesSize);
  crlf[0] = '\r', crlf[1] = '\n';
  if (count <= 0 || data == nullptr) return kCodeUnknown;
  const std::uint8_t* d = data;
  const int n = count;

  if (n >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF) {
    FirstByteLineEnd(d + 3, n - 3, crlf);
    return -kCodeUtf8;
  }
  if (n >= 2 && d[0] == 0xFE && d[1] == 0xFF) {
    Utf16LineEnd(d, n, true, crlf);
    return -kCodeUtf16BE;
  }
  if (n >= 2 && d[0] == 0xFF && d[1] == 0xFE) {
    Utf16LineEnd(d, n, false, crlf);
    return -kCodeUtf16LE;
  }
  if (n % 2 == 0) {
    long score = 0;
    for (int i = 0; i < n; i += 2) {
      const std::uint8_t b0 = d[i], b1 = d[i + 1];
      if (b0 != 0 && b0 <= 0x7F && b1 == 0) ++score;
      else if (b0 == 0 && b1 >= 1 && b1 <= 0x7F) --score;
    }
    if (score > 0) {
      Utf16LineEnd(d, n, false, crlf);
      return kCodeUtf16LE;
    }
    if (score < 0) {
      Utf16LineEnd(d, n, true, crlf);
      return kCodeUtf16BE;
    }
  }

  const LineEnd first = FirstByteLineEnd(d, n, crlf);
  const Utf8Verdict u = ScanUtf8(d, n);
  const bool e = ScanEuc(d, n);
  const bool s = ScanSjis(d, n);

  if (u != Utf8Verdict::Invalid && !e && !s) return kCodeUtf8;
  if (u == Utf8Verdict::Invalid && e && !s) return kCodeEuc;
  if (u == Utf8Verdict::Invalid && !e && s) return kCodeSjis;

  // A tie, settled by the first line end.
  switch (first) {
    case LineEnd::None:
    case LineEnd::CrLf:
    case LineEnd::CrLast:
      return u == Utf8Verdict::MultiByte ? kCodeUtf8 : u == Utf8Verdict::Ascii ? kCodeSjis : kCodeUnknown;
    case LineEnd::CrOther:
      return u != Utf8Verdict::Invalid ? kCodeUtf8 : kCodeUnknown;
    case LineEnd::Lf:
      break;
  }
  if (u != Utf8Verdict::Invalid) return kCodeUtf8;
  return e ? kCodeEuc : kCodeUnknown;
}

int CheckStrCode(const std::uint8_t* str, int len) {
  if (len <= 0 || str == nullptr) return 0;
  if (str[len - 1] == '\n' && (len < 2 || str[len - 2] != '\r')) return 1;
  return -1;
}

void SetCrlfChar(int code, int kind, std::uint8_t* dst) {
  std::memset(dst, 0, kCrlfBytesSize);
  const bool lf = kind == kCrlfLf, cr = kind == kCrlfCr;
  if (code == kCodeUtf16BE) {
    if (lf) dst[1] = '\n';
    else if (cr) dst[1] = '\r';
    else dst[1] = '\r', dst[3] = '\n';
  } else if (code == kCodeUtf16LE) {
    if (lf) dst[0] = '\n';
    else if (cr) dst[0] = '\r';
    else dst[0] = '\r', dst[2] = '\n';
  } else {
    if (lf) dst[0] = '\n';
    else if (cr) dst[0] = '\r';
    else dst[0] = '\r', dst[1] = '\n';
  }
}

}  // namespace gorvane::charcode
