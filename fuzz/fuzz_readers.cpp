// libFuzzer target: The piece readers (ReadPiece), one call and whole files read piece by piece.
// The properties checked and the input layout are described in fuzz_checks.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string failure = gorvane::fuzz::CheckReaders(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "CheckReaders: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
