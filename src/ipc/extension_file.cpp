#include "ipc/extension_file.h"

#include "base/record_codec.h"

namespace gorvane::ipc {

using base::RecordView;

namespace {

constexpr std::size_t kOffsets = 1024;
constexpr std::size_t kParametersAt = kExtensionHeaderBytes + 4 * kOffsets;
static_assert(kParametersAt + sizeof kExtensionParameters == kExtensionHeaderBytes + kExtensionDirectoryBytes);
static_assert(kExtensionHeaderBytes + kExtensionDirectoryBytes == kExtensionFirstBlock);
static_assert((kExtensionBlocksEnd - kExtensionFirstBlock) % kExtensionBlockStride == 0);

}  // namespace

void InitialiseExtensionFile(std::span<std::uint8_t> file) {
  RecordView v(file);
  v.Fill(0, kExtensionFirstBlock, 0);
  v.PutText(0, kExtensionHeaderBytes, kExtensionIdent);
  std::size_t k = 0;
  for (std::uint32_t at = kExtensionFirstBlock; at <= kExtensionBlocksEnd; at += kExtensionBlockStride, ++k)
    v.Put<std::uint32_t>(kExtensionHeaderBytes + 4 * k, at);
  for (std::size_t i = 0; i < std::size(kExtensionParameters); ++i)
    v.Put<std::uint16_t>(kParametersAt + 2 * i, kExtensionParameters[i]);
}

bool ValidExtensionFile(std::span<std::uint8_t> file) {
  RecordView v(file);
  if (v.Text(0, kExtensionHeaderBytes) != kExtensionIdent) return false;
  if (v.Get<std::uint32_t>(kExtensionHeaderBytes) != kExtensionFirstBlock) return false;
  for (std::size_t i = 0; i < std::size(kExtensionParameters); ++i)
    if (v.Get<std::uint16_t>(kParametersAt + 2 * i) != kExtensionParameters[i]) return false;
  return !v.faulted();
}

}  // namespace gorvane::ipc
