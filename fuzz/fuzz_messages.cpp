// Received mailslot messages from garbage (see message_checks.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "message_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string fault = gorvane::fuzz::CheckMessage(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz_messages: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
