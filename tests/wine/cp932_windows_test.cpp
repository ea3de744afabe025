// Our code page 932 tables against the system's own conversions: every 1- and
// 2-byte code through MultiByteToWideChar(932) and every UTF-16 unit through
// WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, "?").
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "charcode/cp932_tables.h"

namespace cp = gorvane::charcode::cp932;

namespace {

// Collects mismatches so that one failure line reports them all.
struct Mismatches {
  int count = 0;
  std::string first;
  void Add(const char* fmt, unsigned a, unsigned b, unsigned c) {
    if (count++ < 20) {
      char line[128];
      std::snprintf(line, sizeof line, fmt, a, b, c);
      first += line;
      first += '\n';
    }
  }
};

TEST(Cp932AgainstWindows, EverySingleByte) {
  Mismatches m;
  for (unsigned b = 0; b < 256; ++b) {
    if (cp::IsLead(static_cast<std::uint8_t>(b))) continue;
    const char c = static_cast<char>(b);
    WCHAR w[4] = {};
    const int n = MultiByteToWideChar(932, 0, &c, 1, w, 4);
    if (n != 1 || w[0] != cp::kSingle[b]) m.Add("byte %02x: system %04x, ours %04x\n", b, w[0], cp::kSingle[b]);
  }
  EXPECT_EQ(m.count, 0) << m.first;
}

TEST(Cp932AgainstWindows, EveryDoubleByteCode) {
  Mismatches m;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!cp::IsLead(static_cast<std::uint8_t>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!cp::IsTrail(static_cast<std::uint8_t>(trail))) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      WCHAR w[4] = {};
      const int n = MultiByteToWideChar(932, 0, pair, 2, w, 4);
      const std::uint16_t ours = cp::DecodePair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
      // An undefined code is the system's default character; ours reports it as undefined (0).
      const unsigned want = ours != 0 ? ours : 0x30FB;
      if (n != 1 || w[0] != want) m.Add("code %02x%02x: system %04x, ours", lead, trail, w[0]), m.first += std::to_string(ours) + "\n";
    }
  }
  EXPECT_EQ(m.count, 0) << m.first;
}

TEST(Cp932AgainstWindows, EveryUtf16Unit) {
  Mismatches m;
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const WCHAR wc = static_cast<WCHAR>(u);
    char out[4] = {};
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, out, 4, "?", &usedDefault);
    const std::uint16_t ours = cp::Encode(static_cast<std::uint16_t>(u));
    unsigned system = 0;
    if (usedDefault) system = 0xFFFF;  // not encodable
    else if (n == 1) system = static_cast<unsigned char>(out[0]);
    else if (n == 2) system = static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]);
    const unsigned want = (u == 0 || ours != 0) ? ours : 0xFFFF;
    if (system != want) m.Add("U+%04X: system %04x, ours %04x\n", u, system, want);
  }
  EXPECT_EQ(m.count, 0) << m.first;
}

}  // namespace
