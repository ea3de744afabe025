// The piece readers: one piece of a file in its own encoding becomes working
// lines of Shift-JIS, each ending in CR LF.
#include <algorithm>
#include <bit>
#include <cstring>

#include "charcode/ascii_blocks.h"
#include "charcode/byte_scan.h"
#include "charcode/charcode.h"
#include "charcode/line_steps.h"

namespace gorvane::charcode {
namespace {

struct LineEndHit {
  std::size_t at;   // offset of the line end
  std::size_t len;  // its bytes (0: none found)
};

// The line end of byte text at d[i] (a CR or LF).
LineEndHit ByteLineEndAt(const std::uint8_t* d, std::size_t i, std::size_t n) {
  if (d[i] == '\n') return {i, 1};
  return {i, (i + 1 < n && d[i + 1] == '\n') ? 2u : 1u};
}

LineEndHit FindByteLineEnd(const std::uint8_t* d, std::size_t from, std::size_t n) {
  const std::size_t i = scan::FindLineEnd(d, from, n);
  if (i == n) return {n, 0};
  return ByteLineEndAt(d, i, n);
}

LineEndHit FindUnitLineEnd(const std::uint8_t* d, std::size_t from, std::size_t n, bool bigEndian) {
  auto unit = [&](std::size_t k) { return bigEndian ? (d[k] << 8 | d[k + 1]) : (d[k + 1] << 8 | d[k]); };
  std::size_t i = from;
  if constexpr (blocks::kEnabled) {
    while (n - i >= blocks::kBlock) {
      const std::size_t k = bigEndian ? blocks::UnitLineEnd<true>(d + i) : blocks::UnitLineEnd<false>(d + i);
      i += 2 * k;
      if (k != blocks::kUnits) break;
    }
  }
  for (; i + 1 < n; i += 2) {
    const int u = unit(i);
    if (u == '\n') return {i, 2};
    if (u == '\r') return {i, (i + 3 < n && unit(i + 2) == '\n') ? 4u : 2u};
  }
  return {n, 0};
}

// Shift-JIS lines that end in CR LF are the reader's output as they are.
// Copies those that come one after the other at s (n bytes) to out, as the
// reader would take them one by one with room bytes of room: they fit, and
// none but the last leaves the room down to the hold-back. Stops before any
// other line. Returns the bytes of the lines copied and their number. Stores
// up to room bytes.
struct CopiedLines {
  std::size_t bytes = 0, lines = 0;
};
CopiedLines CopyCrLfLines(const std::uint8_t* s, std::size_t n, std::uint8_t* out, std::size_t room) {
  CopiedLines c;
  if (room <= kReaderHoldBack) return c;
  // The lines that end before the room is down to the hold-back.
  c.bytes = blocks::CopyCrLfText(s, std::min(n, room - kReaderHoldBack), out, &c.lines);
  return c;
}

Converted ConvertLine(Reader reader, Bytes src, MutBytes dst, const std::uint8_t* eucClass, bool srcEnds) {
  switch (reader) {
    case Reader::Euc: return EucToSjis(src, dst, eucClass, srcEnds);
    case Reader::Utf8: return Utf8ToSjis(src, dst, srcEnds);
    case Reader::Utf16BE: return Utf16ToSjis(src, dst, true, srcEnds);
    case Reader::Utf16LE: return Utf16ToSjis(src, dst, false, srcEnds);
    case Reader::Sjis: break;
  }
  return SjisToSjis(src, dst, srcEnds);
}

}  // namespace

Reader ReaderFor(int charCode) {
  switch (charCode < 0 ? -charCode : charCode) {
    case kCodeEuc: return Reader::Euc;
    case kCodeUtf8: return Reader::Utf8;
    case kCodeUtf16BE: return Reader::Utf16BE;
    case kCodeUtf16LE: return Reader::Utf16LE;
    default: return Reader::Sjis;
  }
}

PieceResult ReadPiece(Reader reader, Bytes data, bool final, MutBytes dst, const std::uint8_t* eucClass) {
  PieceResult r;
  const bool units = reader == Reader::Utf16BE || reader == Reader::Utf16LE;
  const bool bigEndian = reader == Reader::Utf16BE;
  const std::uint8_t* d = data.data();
  std::size_t n = data.size();
  const bool fullPiece = n >= kPieceSize;

  // A CR LF pair cut by the end of a full piece is read whole by the next call.
  if (fullPiece) {
    if (!units && d[n - 1] == '\r') n -= 1;
    else if (units && n >= 2 && n % 2 == 0 && (bigEndian ? (d[n - 2] == 0 && d[n - 1] == '\r') : (d[n - 2] == '\r' && d[n - 1] == 0)))
      n -= 2;
  }

  eucClass = detail::OurEucClassIfSame(eucClass);
  // Byte-form lines are found and converted in one pass, as no CR or LF is part
  // of a character there (bytes below 0x80 are never EUC-JP trail bytes).
  detail::LineStepFn lineStep = nullptr;
  if (reader == Reader::Sjis) lineStep = detail::SjisLineToSjis;
  if (reader == Reader::Utf8) lineStep = detail::Utf8LineToSjis;
  if (reader == Reader::Euc) lineStep = detail::EucLineToSjis;

  std::size_t room = std::min(dst.size(), kPieceSize);
  std::size_t pos = 0, out = 0;
  auto noteLoss = [&](std::size_t replaced) {
    if (replaced && r.firstLossyLine < 0) r.firstLossyLine = r.lineEnds, r.status = -1;
  };
  // Converts text that may not fit: on an empty output a part that fits is
  // delivered without a line end (a line too long for one piece), otherwise the
  // text is left for the next call.
  auto deliverPart = [&](Bytes text, bool textEnds) {
    if (out != 0) return;
    const Converted c = ConvertLine(reader, text, dst.subspan(out, room), eucClass, textEnds);
    noteLoss(c.replaced);
    out += c.written;
    pos += c.consumed;
  };
  // Shift-JIS lines that need no change are copied many at once, tried again
  // after every line that ended in CR LF (in a file of other line ends a try
  // would only find the next line end).
  bool copyLines = blocks::kEnabled && reader == Reader::Sjis;
  // Ends a line whose conversion was written at out; false once the room left
  // is down to the hold-back.
  auto endLine = [&](std::size_t written, std::size_t replaced, LineEndHit hit) {
    copyLines = blocks::kEnabled && reader == Reader::Sjis && hit.len == 2;
    noteLoss(replaced);
    out += written;
    room -= written;
    dst[out++] = '\r';
    dst[out++] = '\n';
    room -= 2;
    ++r.lineEnds;
    pos = hit.at + hit.len;
    return room > kReaderHoldBack;
  };

  while (true) {
    if (copyLines) {
      const CopiedLines c = CopyCrLfLines(d + pos, n - pos, dst.data() + out, room);
      pos += c.bytes, out += c.bytes, room -= c.bytes;
      r.lineEnds += static_cast<std::uint32_t>(c.lines);
      if (c.lines != 0 && room <= kReaderHoldBack) break;
    }
    bool doesNotFit = false;  // the line at pos is known not to fit in room - 2
    if (lineStep != nullptr && room >= 2) {
      // The step may go on past CR LF pairs while the room after them stays above the hold-back.
      const std::size_t goOnBelow = blocks::kEnabled && room > kReaderHoldBack ? room - kReaderHoldBack : 0;
      const detail::LineStep step = lineStep(Bytes(d + pos, n - pos), dst.subspan(out, room - 2), eucClass, goOnBelow);
      if (step.lines != 0) {
        if (step.firstLossyLine >= 0 && r.firstLossyLine < 0)
          r.firstLossyLine = r.lineEnds + step.firstLossyLine, r.status = -1;
        out += step.linesWritten, room -= step.linesWritten, pos += step.linesConsumed;
        r.lineEnds += static_cast<std::uint32_t>(step.lines);
      }
      if (step.end == detail::StepEnd::LineEnd) {
        if (!endLine(step.written - step.linesWritten, step.replaced - step.linesReplaced,
                     ByteLineEndAt(d, pos + (step.consumed - step.linesConsumed), n)))
          break;
        continue;
      }
      // No line end in the rest, or a line that does not fit: as below.
      doesNotFit = step.end == detail::StepEnd::Full;
    }
    const LineEndHit hit = units ? FindUnitLineEnd(d, pos, n, bigEndian) : FindByteLineEnd(d, pos, n);
    if (hit.len == 0) {
      const Bytes rest(d + pos, n - pos);
      if (!rest.empty() && final) {
        const Converted c = ConvertLine(reader, rest, dst.subspan(out, room), eucClass, true);
        if (c.complete) {
          noteLoss(c.replaced);
          out += c.written;
          pos = n;
        } else {
          deliverPart(rest, true);
        }
      } else if (!rest.empty() && pos == 0 && fullPiece) {
        deliverPart(rest, false);
      }
      break;
    }
    const Bytes line(d + pos, hit.at - pos);
    if (room < 2) break;
    if (doesNotFit) {
      deliverPart(line, false);
      break;
    }
    const Converted c = ConvertLine(reader, line, dst.subspan(out, room - 2), eucClass, true);
    if (!c.complete) {
      deliverPart(line, false);
      break;
    }
    if (!endLine(c.written, c.replaced, hit)) break;
  }
  r.outBytes = static_cast<std::uint32_t>(out);
  r.consumed = static_cast<std::uint32_t>(pos);
  return r;
}

}  // namespace gorvane::charcode
