// The shared tables after another process wrote garbage into them (see
// shared_checks.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shared_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = gorvane::fuzz::CheckShared(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz_shared: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
