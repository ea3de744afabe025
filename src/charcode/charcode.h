// The character-code core: encoding detection, conversions between Shift-JIS
// (code page 932, the editor's working text) and the file encodings, and the
// piece readers that turn a file's bytes into working lines.
//
// Everything here is portable and allocation-free; nothing writes past the
// capacity of the span it is given (a converter may use all of it as scratch
// before the end of what it reports). The Windows library exports
// (qorvchar_win32.cpp) are thin wrappers over these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "charcode/class_tables.h"

namespace gorvane::charcode {

using Bytes = std::span<const std::uint8_t>;
using MutBytes = std::span<std::uint8_t>;

// CharCode values of detection.
enum CharCode : int {
  kCodeUnknown = 0,
  kCodeSjis = 1,
  kCodeEuc = 2,
  kCodeUtf8 = 4,
  kCodeUtf16BE = 5,
  kCodeUtf16LE = 6,
};

// CrlfKind: which line end a writer uses.
enum CrlfKind : int { kCrlfKeep = 0, kCrlfCrLf = 1, kCrlfCr = 2, kCrlfLf = 3 };

inline constexpr std::size_t kSampleSize = 262144;   // detection sample and reader piece
inline constexpr std::size_t kPieceSize = 262144;
inline constexpr std::size_t kReaderHoldBack = 30720;  // a reader stops once room is this or less
inline constexpr std::size_t kCrlfBytesSize = 6;
inline constexpr int kLibraryVersion = 372;


// ---- detection --------------------------------------------------------------

// Classifies the first count bytes of a file; crlf (6 bytes) receives the
// file's first line end in its own encoding, NUL-terminated (two NULs for UTF-16).
int JudgmentCode(const std::uint8_t* data, int count, std::uint8_t* crlf);
// 0 for len <= 0, 1 when str ends in a bare LF, else -1.
int CheckStrCode(const std::uint8_t* str, int len);
// Writes the CrlfBytes of a CharCode and CrlfKind into dst (6 bytes).
void SetCrlfChar(int code, int kind, std::uint8_t* dst);
// Length of a CrlfBytes value: up to its NUL (byte forms) or 00 00 unit (UTF-16).
inline std::size_t CrlfLength(int code, const std::uint8_t* crlf) {
  if (crlf == nullptr) return 0;
  std::size_t n = 0;
  if (code == kCodeUtf16BE || code == kCodeUtf16LE || code == -kCodeUtf16BE || code == -kCodeUtf16LE) {
    while (n + 1 < kCrlfBytesSize && (crlf[n] != 0 || crlf[n + 1] != 0)) n += 2;
  } else {
    while (n < kCrlfBytesSize && crlf[n] != 0) ++n;
  }
  return n;
}

// ---- line conversions --------------------------------------------------------

struct Converted {
  std::size_t consumed = 0;  // input bytes turned into output
  std::size_t written = 0;   // output bytes
  std::size_t replaced = 0;  // characters written as "?" (or dropped) for want of an equivalent
  bool complete = true;      // false: the output did not fit; consumed/written cover whole characters only
};

// Into Shift-JIS. Each converts whole characters while they fit in dst.
// srcEnds = false: more text follows src, so a character cut by the end of
// src is left unconsumed (complete = false) instead of being replaced.
Converted EucToSjis(Bytes src, MutBytes dst, const std::uint8_t* eucClass = kEucClass.data(), bool srcEnds = true);
Converted Utf8ToSjis(Bytes src, MutBytes dst, bool srcEnds = true);
Converted Utf16ToSjis(Bytes src, MutBytes dst, bool bigEndian, bool srcEnds = true);
Converted Utf7ToSjis(Bytes src, MutBytes dst);
// Copies Shift-JIS text as it is, stopping only at a character boundary.
Converted SjisToSjis(Bytes src, MutBytes dst, bool srcEnds = true);

// From Shift-JIS. The whole of src is converted (complete = false when dst is
// too small). With a crlf (CrlfBytes of the target form), a final CR LF of src
// is replaced by it; with null the line is converted unchanged.
Converted SjisToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf);
Converted SjisToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf);
Converted SjisToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf);
Converted SjisToUtf7(Bytes src, MutBytes dst);
Converted SjisLineEnd(Bytes src, MutBytes dst, const std::uint8_t* crlf);  // ShiftJis2ShiftJis

// Many working lines at once. src holds lines each ending in LF, the last one
// possibly without; the output is what converting each line on its own with the
// line converter of the same target and crlf gives, one after the other.
// Converts whole lines while they fit: consumed and written cover those lines
// (the last line of src, with or without its LF, counting as one), and complete
// is false when a line was left over for want of room. 3 * src.size() bytes of
// dst always take the whole of src.
struct TextConverted : Converted {
  std::size_t lines = 0;             // LF bytes consumed
  std::int64_t firstLossyLine = -1;  // 0-based line of the first replacement among those converted
};
TextConverted SjisTextToEuc(Bytes src, MutBytes dst, const std::uint8_t* crlf);
TextConverted SjisTextToUtf8(Bytes src, MutBytes dst, const std::uint8_t* crlf);
TextConverted SjisTextToUtf16(Bytes src, MutBytes dst, bool bigEndian, const std::uint8_t* crlf);
TextConverted SjisTextLineEnds(Bytes src, MutBytes dst, const std::uint8_t* crlf);

// Converter result convention of the library: bytes written, negated when
// anything was replaced, 0 when nothing was converted or the output did not fit.
int ResultOf(const Converted& c);

// ---- piece readers ------------------------------------------------------------

enum class Reader { Sjis, Euc, Utf8, Utf16BE, Utf16LE };
Reader ReaderFor(int charCode);

struct PieceResult {
  int status = 1;                 // 1 ok, -1 ok with replacements, 0 failure
  std::uint32_t outBytes = 0;     // bytes written to dst
  std::uint32_t consumed = 0;     // input bytes fully turned into output
  std::uint32_t lineEnds = 0;     // CR LF pairs written
  std::int64_t firstLossyLine = -1;  // 0-based, counted from the first line of the call
};

// Turns one piece of a file (normally kPieceSize bytes, fewer at the end) into
// working lines ending in CR LF. dst normally has kPieceSize bytes of room.
// final: the piece reaches the end of the file. A line whose conversion does
// not fit is left for the next call; a line that cannot fit into an empty
// output, or that fills a whole piece without a line end, is delivered in
// character-aligned chunks without a line end.
PieceResult ReadPiece(Reader reader, Bytes data, bool final, MutBytes dst,
                      const std::uint8_t* eucClass = kEucClass.data());

// ---- the readers over an open file ------------------------------------------------

// The file a reader reads from.
class PieceFile {
 public:
  virtual ~PieceFile() = default;
  // Reads up to n bytes at the file's position, which moves on by *got (0 at the end).
  virtual bool Read(void* dst, std::uint32_t n, std::uint32_t* got) = 0;
  // The system's handle of the open file (a Windows HANDLE), or null.
  virtual void* SystemHandle() { return nullptr; }
};

// The reader of a CharCode (as ReaderFor chooses it) on the next toRead bytes
// of a file (at most kPieceSize): what ReadPiece makes of them. *got: the bytes
// read; the file's position is then past them, and the caller moves it to the
// piece's start + consumed before the next call. dst has kPieceSize bytes of
// room; staging (kPieceSize bytes) may receive the file's bytes. The program
// that takes its character-code work from QORVchar.dll reads through the
// library's exported reader of the code, which needs the file's SystemHandle.
PieceResult ReadFilePiece(int charCode, PieceFile& file, std::uint32_t toRead, bool final, MutBytes dst,
                          std::uint8_t* staging, std::uint32_t* got);

}  // namespace gorvane::charcode
