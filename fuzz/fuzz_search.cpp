// The search primitives on arbitrary bytes (see search_checks.h).
#include <cstddef>
#include <cstdint>

#include "search_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gorvane::fuzz::CheckSearch(data, size);
  return 0;
}
