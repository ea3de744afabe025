// The shared input-support data of one file extension: a 116-byte header
// beginning with the ident, a 4,108-byte directory, then the blocks that hold
// the word lists. The directory is 1,024 u32 block offsets (4224 + k × 16,367
// for k = 0 .. 256, the last, 4,194,176, marking the end; the remaining
// entries 0) followed by six u16 parameters 2, 75, 0, 2000, 0, 1.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace gorvane::ipc {

inline constexpr std::uint32_t kExtensionFileBytes = 4194304;
inline constexpr std::uint32_t kExtensionHeaderBytes = 116;
inline constexpr std::uint32_t kExtensionDirectoryBytes = 4108;
inline constexpr std::uint32_t kExtensionFirstBlock = 4224;
inline constexpr std::uint32_t kExtensionBlockStride = 16367;
inline constexpr std::uint32_t kExtensionBlocksEnd = 4194176;
inline constexpr std::uint16_t kExtensionParameters[6] = {2, 75, 0, 2000, 0, 1};
inline constexpr std::string_view kExtensionIdent = "$QORV$ExtMMFileIdentStr$V1.74";

// Writes the header and the directory of a new extension file.
void InitialiseExtensionFile(std::span<std::uint8_t> file);
// The file starts with our header and directory.
bool ValidExtensionFile(std::span<std::uint8_t> file);

}  // namespace gorvane::ipc
