// Scripts of editor steps on arbitrary documents (see script_checks.h).
#include <cstddef>
#include <cstdint>

#include "script_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gorvane::fuzz::CheckScript(data, size);
  return 0;
}
