// Loading and inserting arbitrary files (see load_checks.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "load_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = gorvane::fuzz::CheckLoad(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz_load: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
