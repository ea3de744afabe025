// Loads a file of CR LF lines into a line store as the loader would, line by
// line through the load path, without converting: the benchmarks' documents
// are Shift-JIS already.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "document/line_store.h"

namespace gvbench {

namespace doc = gorvane::document;

inline bool LoadLines(doc::LineStore& store, const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr || !store.BeginLoad()) return false;
  std::vector<char> piece(262144);
  std::string carry;
  std::uint32_t n = 0;
  std::size_t got;
  auto put = [&](const char* p, std::size_t len) {
    return store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(p), static_cast<std::uint32_t>(len), ++n);
  };
  while ((got = std::fread(piece.data(), 1, piece.size(), f)) > 0) {
    std::size_t start = 0;
    for (const char* hit; (hit = static_cast<const char*>(std::memchr(piece.data() + start, '\n', got - start)));) {
      const std::size_t i = static_cast<std::size_t>(hit - piece.data());
      if (!carry.empty()) {
        carry.append(piece.data() + start, i + 1 - start);
        if (!put(carry.data(), carry.size())) return false;
        carry.clear();
      } else if (!put(piece.data() + start, i + 1 - start)) {
        return false;
      }
      start = i + 1;
    }
    carry.append(piece.data() + start, got - start);
  }
  std::fclose(f);
  if (!carry.empty() && !put(carry.data(), carry.size())) return false;
  return store.EndLoad(n);
}

}  // namespace gvbench
