// libFuzzer target: The converters of library_api.h and the streaming conversions of charcode.h.
// The properties checked and the input layout are described in fuzz_checks.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = gorvane::fuzz::CheckConvert(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "CheckConvert: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
