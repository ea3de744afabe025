// The library's memory routines and argument conventions.
#include <gtest/gtest.h>

#include <cstring>

#include "charcode/library_api.h"

namespace api = gorvane::charcode::api;

namespace {

TEST(LibraryApi, Version) { EXPECT_EQ(api::GetQORVchar_version(), 372); }

TEST(LibraryApi, MemoryRoutines) {
  char buf[16] = "abcdefghij";
  api::MoveMemoryNew(buf + 2, buf, 5);  // overlapping, backward
  EXPECT_STREQ(buf, "ababcdehij");
  api::MoveMemoryNew(buf, buf + 2, 5);  // overlapping, forward
  EXPECT_STREQ(buf, "abcdedehij");
  api::FillMemoryNew(buf, 'z', 3);
  api::FillMemoryNew(buf, 'y', -1);
  EXPECT_STREQ(buf, "zzzdedehij");
  api::CopyMemoryNew(buf + 3, "XY", 2);
  api::CopyMemoryNew(buf, "Q", 0);
  EXPECT_STREQ(buf, "zzzXYdehij");
  std::uint8_t units[] = {0x30, 0x42, 0x00, 0x61};
  api::UTF16BEexUTF16LE(units, units, 4);
  EXPECT_EQ(units[0], 0x42);
  EXPECT_EQ(units[3], 0x00);
}

TEST(LibraryApi, EmptyOrNegativeLengthsConvertNothing) {
  std::uint8_t src[4] = {'a', 'b', '\r', '\n'}, dst[16];
  EXPECT_EQ(api::EUC2ShiftJis(src, 0, dst, nullptr), 0);
  EXPECT_EQ(api::EUC2ShiftJis(src, -3, dst, nullptr), -3);
  EXPECT_EQ(api::UTF8toSJis(dst, 0, src, 2), 0);
  EXPECT_EQ(api::UTF8toSJis(dst, 16, src, 0), 0);
  EXPECT_EQ(api::SJistoUTF8(dst, 16, src, -1, nullptr), 0);
  EXPECT_EQ(api::ShiftJis2ShiftJis(src, 0, dst, src), 0);
  EXPECT_EQ(api::ShiftJis2EUC(src, 0, dst, nullptr), 0);
  EXPECT_EQ(api::SJistoUTF16LE(dst, 16, nullptr, 2, nullptr), 0);
}

}  // namespace
