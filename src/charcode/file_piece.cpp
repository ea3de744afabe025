#include <algorithm>

#include "charcode/charcode.h"

namespace gorvane::charcode {

PieceResult ReadFilePiece(int charCode, PieceFile& file, std::uint32_t toRead, bool final, MutBytes dst,
                          std::uint8_t* staging, std::uint32_t* got) {
  *got = 0;
  toRead = std::min<std::uint32_t>(toRead, static_cast<std::uint32_t>(kPieceSize));
  while (*got < toRead) {
    std::uint32_t k = 0;
    if (!file.Read(staging + *got, toRead - *got, &k)) return PieceResult{0};
    if (k == 0) break;
    *got += k;
  }
  return ReadPiece(ReaderFor(charCode), Bytes(staging, *got), final, dst);
}

}  // namespace gorvane::charcode
