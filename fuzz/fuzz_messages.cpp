// Received mailslot messages from garbage (see message_checks.h), and the
// same bytes as a script of messages into the inboxes (inbox_checks.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "inbox_checks.h"
#include "message_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string fault = gorvane::fuzz::CheckMessage(data, size);
  if (fault.empty()) fault = gorvane::fuzz::CheckInboxes(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz_messages: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
