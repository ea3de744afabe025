// Win32 only: charcode.h's functions over QORVchar.dll's exports, for the
// editor program (which links this instead of the character-code code). Only
// what the library's exports serve exactly is here: a function missing from
// this file fails the program's link instead of bringing in a second copy.
//
// The exports' argument lists and result convention are mapped in
// export_calls.h (tested natively against library_api's functions).
#include "charcode/qorvchar_binding_win32.h"

#include <cstring>

#include "charcode/charcode.h"
#include "charcode/export_calls.h"
#include "charcode/qorvchar_win32.h"

namespace gorvane::charcode {
namespace {

struct Exports {
  JudgmentCode_t judgmentCode = nullptr;
  SetCrlfChar_t setCrlfChar = nullptr;
  ToSjis_t utf8ToSjis = nullptr, utf16LeToSjis = nullptr, utf16BeToSjis = nullptr;
  SjisLine_t sjisToSjis = nullptr, sjisToEuc = nullptr;
  FromSjis_t sjisToUtf8 = nullptr, sjisToUtf16Le = nullptr, sjisToUtf16Be = nullptr;
  ReadFileToWork_t readSjis = nullptr, readUtf8 = nullptr, readUtf16Le = nullptr, readUtf16Be = nullptr;
  ReadFileToWorkEUC_t readEuc = nullptr;
};

Exports g_exports;  // all null until bound
bool g_bound = false;

template <typename F>
bool Take(HMODULE m, const char* name, F* to) {
  *to = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  return *to != nullptr;
}

}  // namespace

bool BindQORVchar(HMODULE m) {
  Exports e;
  const bool all = m != nullptr && Take(m, "JudgmentCode", &e.judgmentCode) && Take(m, "SetCrlfChar", &e.setCrlfChar) &&
                   Take(m, "UTF8toSJis", &e.utf8ToSjis) && Take(m, "UTF16LEtoSJis", &e.utf16LeToSjis) &&
                   Take(m, "UTF16BEtoSJis", &e.utf16BeToSjis) && Take(m, "ShiftJis2ShiftJis", &e.sjisToSjis) &&
                   Take(m, "ShiftJis2EUC", &e.sjisToEuc) && Take(m, "SJistoUTF8", &e.sjisToUtf8) &&
                   Take(m, "SJistoUTF16LE", &e.sjisToUtf16Le) && Take(m, "SJistoUTF16BE", &e.sjisToUtf16Be) &&
                   Take(m, "ReadFileToWorkSJIS", &e.readSjis) && Take(m, "ReadFileToWorkEUC", &e.readEuc) &&
                   Take(m, "ReadFileToWorkUTF8", &e.readUtf8) && Take(m, "ReadFileToWorkUTF16LE", &e.readUtf16Le) &&
                   Take(m, "ReadFileToWorkUTF16BE", &e.readUtf16Be);
  if (!all) return false;
  g_exports = e;
  g_bound = true;
  return true;
}

// ---- detection and line ends ----

int JudgmentCode(const std::uint8_t* data, int count, std::uint8_t* crlf) {
  if (g_exports.judgmentCode == nullptr) {
    if (crlf != nullptr) std::memset(crlf, 0, kCrlfBytesSize);
    return kCodeUnknown;
  }
  return g_exports.judgmentCode(data, count, crlf);
}

void SetCrlfChar(int code, int kind, std::uint8_t* dst) {
  if (g_exports.setCrlfChar != nullptr) g_exports.setCrlfChar(code, kind, dst);
  else std::memset(dst, 0, kCrlfBytesSize);
}

// ---- line conversions ----

Converted Utf8ToSjis(Bytes src, MutBytes dst, bool) { return exports::IntoSjis(g_exports.utf8ToSjis, src, dst); }

Converted Utf16ToSjis(Bytes src, MutBytes dst, bool bigEndian, bool) {
  return exports::IntoSjis(bigEndian ? g_exports.utf16BeToSjis : g_exports.utf16LeToSjis, src, dst);
}

Converted SjisToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::FromSjis(g_exports.sjisToUtf8, src, dst, crlf);
}

Converted SjisToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf) {
  return exports::FromSjis(bigEndian ? g_exports.sjisToUtf16Be : g_exports.sjisToUtf16Le, src, dst, crlf);
}

Converted SjisToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::FromSjisUncapped(g_exports.sjisToEuc, src, dst, crlf, exports::EucRoom(src.size()));
}

Converted SjisLineEnd(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::FromSjisUncapped(g_exports.sjisToSjis, src, dst, crlf, exports::SjisRoom(src.size()));
}

TextConverted SjisTextToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::PerLine(src, dst, [crlf](Bytes line, MutBytes out) { return SjisToEuc(line, out, crlf); });
}

TextConverted SjisTextToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::PerLine(src, dst, [crlf](Bytes line, MutBytes out) { return SjisToUtf8(line, out, crlf); });
}

TextConverted SjisTextToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf) {
  return exports::PerLine(src, dst,
                          [crlf, bigEndian](Bytes line, MutBytes out) { return SjisToUtf16(line, out, bigEndian, crlf); });
}

TextConverted SjisTextLineEnds(Bytes src, MutBytes dst, const std::uint8_t* crlf) {
  return exports::PerLine(src, dst, [crlf](Bytes line, MutBytes out) { return SjisLineEnd(line, out, crlf); });
}

// ---- the readers ----

PieceResult ReadFilePiece(int charCode, PieceFile& file, std::uint32_t toRead, bool final, MutBytes dst,
                          std::uint8_t*, std::uint32_t* got) {
  *got = 0;
  PieceResult r{0};
  HANDLE h = static_cast<HANDLE>(file.SystemHandle());
  if (!g_bound || h == nullptr || h == INVALID_HANDLE_VALUE || dst.size() < kPieceSize) return r;
  LARGE_INTEGER zero{}, before{}, after{};
  if (!SetFilePointerEx(h, zero, &before, FILE_CURRENT)) return r;
  toRead = toRead < kPieceSize ? toRead : static_cast<std::uint32_t>(kPieceSize);
  DWORD out = 0, consumed = 0;
  const int last = final ? 1 : 0;
  int status = 0;
  switch (charCode < 0 ? -charCode : charCode) {  // the readers as ReaderFor chooses them
    case kCodeEuc:
      status = g_exports.readEuc(h, dst.data(), toRead, &out, &consumed, last, kEucClass.data());
      break;
    case kCodeUtf8: status = g_exports.readUtf8(h, dst.data(), toRead, &out, &consumed, last); break;
    case kCodeUtf16BE: status = g_exports.readUtf16Be(h, dst.data(), toRead, &out, &consumed, last); break;
    case kCodeUtf16LE: status = g_exports.readUtf16Le(h, dst.data(), toRead, &out, &consumed, last); break;
    default: status = g_exports.readSjis(h, dst.data(), toRead, &out, &consumed, last); break;
  }
  if (!SetFilePointerEx(h, zero, &after, FILE_CURRENT) || after.QuadPart < before.QuadPart) return r;
  *got = static_cast<std::uint32_t>(after.QuadPart - before.QuadPart);
  if (status == 0 || out > kPieceSize || consumed > *got) return r;
  r.status = status;
  r.outBytes = out;
  r.consumed = consumed;
  // Every LF of the output ends one of its lines; where a replacement was,
  // the library does not say: the first line of the piece stands for it.
  for (DWORD k = 0; k < out; ++k) r.lineEnds += dst[k] == '\n' ? 1 : 0;
  r.firstLossyLine = status < 0 ? 0 : -1;
  return r;
}

}  // namespace gorvane::charcode
