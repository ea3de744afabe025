// Win32 only: the exports of QORVchar.dll. Everything but the file access of
// ReadCheckStrCode and the readers lives in the portable core.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/library_api.h"

namespace cc = gorvane::charcode;
namespace api = gorvane::charcode::api;

namespace {

// One staging block per reader, kept for the life of the process and freed
// only when a call fails (the next call then allocates a fresh one).
HGLOBAL g_staging[5];

int ReadToWork(cc::Reader reader, HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final,
               const BYTE* eucClass) {
  if (outBytes != nullptr) *outBytes = 0;
  if (consumed != nullptr) *consumed = 0;
  if (dst == nullptr || outBytes == nullptr || consumed == nullptr) return 0;
  HGLOBAL& block = g_staging[static_cast<int>(reader)];
  if (block == nullptr) block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, cc::kPieceSize);
  if (block == nullptr) return 0;
  auto* data = static_cast<BYTE*>(GlobalLock(block));
  if (data == nullptr) {
    GlobalFree(block);
    block = nullptr;
    return 0;
  }
  DWORD got = 0;
  if (!ReadFile(file, data, toRead < cc::kPieceSize ? toRead : static_cast<DWORD>(cc::kPieceSize), &got, nullptr)) {
    GlobalUnlock(block);
    GlobalFree(block);
    block = nullptr;
    return 0;
  }
  const cc::PieceResult r = cc::ReadPiece(reader, cc::Bytes(data, got), final != 0, cc::MutBytes(dst, cc::kPieceSize),
                                          eucClass != nullptr ? eucClass : cc::kEucClass.data());
  GlobalUnlock(block);
  *outBytes = r.outBytes;
  *consumed = r.consumed;
  return r.status;
}

// A Shift-JIS path as a NUL-terminated UTF-16 string.
std::vector<wchar_t> WidePath(const char* sjis) {
  const std::size_t n = std::strlen(sjis);
  std::vector<std::uint8_t> units(2 * n + 2, 0);
  const cc::Converted c = cc::SjisToUtf16(cc::Bytes(reinterpret_cast<const std::uint8_t*>(sjis), n),
                                          cc::MutBytes(units.data(), 2 * n), false, nullptr);
  std::vector<wchar_t> wide(c.written / 2 + 1, L'\0');
  for (std::size_t i = 0; i < c.written / 2; ++i) wide[i] = static_cast<wchar_t>(units[2 * i] | units[2 * i + 1] << 8);
  return wide;
}

}  // namespace

extern "C" {

int WINAPI GetQORVchar_version(void) { return api::GetQORVchar_version(); }

int WINAPI JudgmentCode(const BYTE* data, int count, BYTE* crlf) { return cc::JudgmentCode(data, count, crlf); }
int WINAPI CheckStrCode(const BYTE* str, int len) { return cc::CheckStrCode(str, len); }
void WINAPI SetCrlfChar(int code, int kind, BYTE* dst) { cc::SetCrlfChar(code, kind, dst); }

int WINAPI ReadCheckStrCode(const char* fileName) {
  if (fileName == nullptr) return 0;
  const std::vector<wchar_t> path = WidePath(fileName);
  HANDLE h = CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER size{};
  int result = 0;
  void* buffer = nullptr;
  if (GetFileSizeEx(h, &size) && size.QuadPart > 0) {
    const DWORD want = size.QuadPart < static_cast<LONGLONG>(cc::kSampleSize) ? static_cast<DWORD>(size.QuadPart)
                                                                               : static_cast<DWORD>(cc::kSampleSize);
    buffer = HeapAlloc(GetProcessHeap(), 0, cc::kSampleSize);
    DWORD got = 0;
    if (buffer == nullptr || !ReadFile(h, buffer, want, &got, nullptr)) {
      result = -1;
    } else {
      BYTE crlf[cc::kCrlfBytesSize];
      result = std::abs(cc::JudgmentCode(static_cast<const BYTE*>(buffer), static_cast<int>(got), crlf));
    }
  }
  if (buffer != nullptr) HeapFree(GetProcessHeap(), 0, buffer);
  CloseHandle(h);
  return result;
}

void WINAPI CopyMemoryNew(void* dst, const void* src, int len) { api::CopyMemoryNew(dst, src, len); }
void WINAPI FillMemoryNew(void* dst, int value, int len) { api::FillMemoryNew(dst, value, len); }
void WINAPI MoveMemoryNew(void* dst, const void* src, int len) { api::MoveMemoryNew(dst, src, len); }
void WINAPI UTF16BEexUTF16LE(void* dst, const void* src, int len) { api::UTF16BEexUTF16LE(dst, src, len); }

int WINAPI EUC2ShiftJis(const BYTE* src, int len, BYTE* dst, const BYTE* eucClass) {
  return api::EUC2ShiftJis(src, len, dst, eucClass);
}
int WINAPI UTF8toSJis(BYTE* dst, int cap, const BYTE* src, int len) { return api::UTF8toSJis(dst, cap, src, len); }
int WINAPI UTF7toSJis(BYTE* dst, int cap, const BYTE* src, int len) { return api::UTF7toSJis(dst, cap, src, len); }
int WINAPI UTF16LEtoSJis(BYTE* dst, int cap, const BYTE* src, int len) { return api::UTF16LEtoSJis(dst, cap, src, len); }
int WINAPI UTF16BEtoSJis(BYTE* dst, int cap, const BYTE* src, int len) { return api::UTF16BEtoSJis(dst, cap, src, len); }
int WINAPI ShiftJis2ShiftJis(const BYTE* src, int len, BYTE* dst, const BYTE* crlf) {
  return api::ShiftJis2ShiftJis(src, len, dst, crlf);
}
int WINAPI ShiftJis2EUC(const BYTE* src, int len, BYTE* dst, const BYTE* crlf) { return api::ShiftJis2EUC(src, len, dst, crlf); }
int WINAPI SJistoUTF8(BYTE* dst, int cap, const BYTE* src, int len, const BYTE* crlf) {
  return api::SJistoUTF8(dst, cap, src, len, crlf);
}
int WINAPI SJistoUTF16LE(BYTE* dst, int cap, const BYTE* src, int len, const BYTE* crlf) {
  return api::SJistoUTF16LE(dst, cap, src, len, crlf);
}
int WINAPI SJistoUTF16BE(BYTE* dst, int cap, const BYTE* src, int len, const BYTE* crlf) {
  return api::SJistoUTF16BE(dst, cap, src, len, crlf);
}
int WINAPI SJistoUTF7(BYTE* dst, int cap, const BYTE* src, int len) { return api::SJistoUTF7(dst, cap, src, len); }

int WINAPI ReadFileToWorkSJIS(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final) {
  return ReadToWork(cc::Reader::Sjis, file, dst, toRead, outBytes, consumed, final, nullptr);
}
int WINAPI ReadFileToWorkEUC(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final,
                             const BYTE* eucClass) {
  return ReadToWork(cc::Reader::Euc, file, dst, toRead, outBytes, consumed, final, eucClass);
}
int WINAPI ReadFileToWorkUTF8(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final) {
  return ReadToWork(cc::Reader::Utf8, file, dst, toRead, outBytes, consumed, final, nullptr);
}
int WINAPI ReadFileToWorkUTF16LE(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final) {
  return ReadToWork(cc::Reader::Utf16LE, file, dst, toRead, outBytes, consumed, final, nullptr);
}
int WINAPI ReadFileToWorkUTF16BE(HANDLE file, BYTE* dst, DWORD toRead, DWORD* outBytes, DWORD* consumed, int final) {
  return ReadToWork(cc::Reader::Utf16BE, file, dst, toRead, outBytes, consumed, final, nullptr);
}

}  // extern "C"
