// Regular expressions: arbitrary patterns on arbitrary text (see regex_checks.h).
#include <cstddef>
#include <cstdint>

#include "regex_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gorvane::fuzz::CheckRegex(data, size);
  return 0;
}
