// Properties of the character-code core that must hold for any input. The
// libFuzzer targets (fuzz_*.cpp) run them on generated inputs; charcode_tests
// runs them on the seeds (fuzz/corpus/<target>/) and on every input fuzzing
// has caught (fuzz/regressions/<target>/).
//
// Each check copies what it hands to the library into heap buffers of exactly
// the size passed, so that AddressSanitizer catches a read or write past an
// end. It returns "" when every property holds, else a description of the
// first one that does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace gorvane::fuzz {

// Input layout: [mode] [sample...].
//   mode bit 0: the sample is put at the end of a buffer of exactly kSampleSize
//               bytes (a sample cut by its end), after filler of kind mode bits 1-2
//               (ASCII, Shift-JIS, UTF-8, EUC-JP text).
// JudgmentCode: the code is one of the detection results, a byte-order mark
// and only a mark gives a negative code, and crlf holds the sample's first
// line end in the detected form (CR LF when there is none), NUL-filled to 6
// bytes; CrlfLength and SetCrlfChar agree with it. CheckStrCode on the sample.
std::string CheckDetect(const std::uint8_t* data, std::size_t size);

// Input layout: [mode] [dst hi] [dst lo] [at hi] [at lo] [class] [text...]
// (missing header bytes count as 0).
//   mode bits 0-2: the reader (value % 5: Sjis, Euc, Utf8, Utf16BE, Utf16LE)
//   mode bit 3:    final, for the calls over the text alone
//   mode bits 4-5: filler put before the text for the whole-file reads: none,
//                  one long line, short ASCII lines, short lines of characters
//                  that shrink in Shift-JIS
//   mode bits 6-7: dst size: a piece, up to 15 bytes, up to 65535 bytes, more
//                  than a piece
//   at:            where the first piece ends within the text, counted back
//                  from its end (so the filler is about one piece long)
//   class bits 0-1: the EUC-JP class table: ours, null, ours with CR and LF
//                  as trail bytes, one made of the text
// ReadPiece: on every call consumed <= the data, outBytes <= dst (and a piece),
// the output's line ends are CR LF pairs and number lineEnds, status is 1 or
// -1 in step with firstLossyLine. Read call after call as a file (pieces of
// kPieceSize from where the last call stopped, final on the last), the file
// is read to its end and the text is that of converting it line by line,
// wherever the pieces end; a replacement is reported for exactly the lines
// that have one. With final and dst >= 4 bytes the text alone, read call
// after call as the rest of it, also reads to its end with the chosen dst.
std::string CheckReaders(const std::uint8_t* data, std::size_t size);

// Input layout: [mode] [cap hi] [cap lo] [split hi] [split lo] [src...].
//   mode bits 0-1: the crlf argument: null, the target form's line end of
//                  kind mode bits 2-3, the first 6 bytes of src, null
//   mode bits 4-5: the EUC class table: ours, null, one made of src, ours
//   cap:           the capacity given to the converters that take one
//   split:         where src is cut for the streaming conversions
// Every converter of library_api.h over exactly the documented or chosen
// sizes: results follow the library's sign convention, an output that fits
// does not depend on the capacity, converters without a capacity always
// succeed, a final CR LF is replaced by crlf. Round trips: into Shift-JIS and
// back gives the source again (UTF-8, UTF-16) whenever nothing was replaced;
// from Shift-JIS and back is lossless and, once canonical, the identity.
// The streaming converters of charcode.h (EUC-JP with the chosen class table)
// give the same text when src arrives in two parts or the output is too small.
std::string CheckConvert(const std::uint8_t* data, std::size_t size);

}  // namespace gorvane::fuzz
