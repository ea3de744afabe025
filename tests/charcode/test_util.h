#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace gvtest {

using ByteVec = std::vector<std::uint8_t>;

inline ByteVec B(std::initializer_list<int> v) {
  ByteVec out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  return out;
}
inline ByteVec S(const std::string& s) { return ByteVec(s.begin(), s.end()); }

inline std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}
inline std::string Hex(const ByteVec& v) { return Hex(v.data(), v.size()); }

}  // namespace gvtest
