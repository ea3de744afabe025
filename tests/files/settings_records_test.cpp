#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/settings_records.h"
#include "support/fake_host.h"

namespace gf = gorvane::files;
namespace gs = gorvane::base;

namespace {

constexpr std::size_t kBlock = 9160;
constexpr std::size_t kRec = 2892;
constexpr std::uint32_t kPage = 0x40000;
constexpr std::size_t SizeFor(std::size_t records) { return kBlock + records * kRec; }

const char kNoRoom[] =
    "拡張子名に対するデータ格納領域が不足しています。\n"
    "一部の拡張子に対して設定データを登録することができません。";

// Memory of exactly `size` bytes (so that ASan sees every access past it)
// with a settings area over it.
struct Area {
  explicit Area(std::size_t size, bool initialise = true) : bytes(size), area(bytes) {
    if (initialise) {
      EXPECT_TRUE(area.Initialise(kPage));
    }
  }
  Area(const Area&) = delete;
  Area& operator=(const Area&) = delete;

  // Appends a record whose every byte is a pattern of `seed`, with `name`.
  void AddPatterned(const std::string& name, std::uint8_t seed) {
    const int n = area.StoredCount();
    std::uint8_t* r = bytes.data() + SizeFor(static_cast<std::size_t>(n) + 1);
    for (std::size_t j = 0; j < kRec; ++j) r[j] = static_cast<std::uint8_t>(seed + j * 31);
    std::memset(r, 0, 16);
    std::memcpy(r, name.data(), name.size());
    SetCount(n + 1);
  }
  void SetCount(int n) { area.Global().Put<std::int16_t>(50, static_cast<std::int16_t>(n)); }
  std::uint8_t* RecordBytes(int i) { return bytes.data() + SizeFor(static_cast<std::size_t>(i)); }

  std::vector<std::uint8_t> bytes;
  gf::SettingsArea area;
};

gf::SettingsGroupValues Patterned(std::uint8_t seed) {
  gf::SettingsGroupValues v;
  for (std::size_t j = 0; j < kRec; ++j) v.record[j] = static_cast<std::uint8_t>(seed ^ (j * 7));
  return v;
}

// The bytes each settings group covers, inclusive, as the dialogs own them.
struct Inclusive {
  std::size_t first, last;
};
const std::vector<Inclusive> kGroupBytes[4] = {
    {{23, 343}, {366, 370}},
    {{344, 365}, {372, 573}},
    {{574, 1219}},
    {{1220, 2891}},
};

void CopyGroupBytes(std::uint8_t* to, const gf::SettingsGroupValues& from, int group) {
  for (const Inclusive& r : kGroupBytes[group])
    std::memcpy(to + r.first, from.record.data() + r.first, r.last - r.first + 1);
}

// What a new record for `name` holds: the name, every group's bytes, zeros elsewhere.
std::vector<std::uint8_t> NewRecord(const std::string& name, const gf::SettingsGroupValues& v) {
  std::vector<std::uint8_t> r(kRec, 0);
  for (int g = 0; g < 4; ++g) CopyGroupBytes(r.data(), v, g);
  std::memcpy(r.data(), name.data(), name.size());
  return r;
}

std::vector<std::uint8_t> RecordCopy(Area& a, int i) {
  return std::vector<std::uint8_t>(a.RecordBytes(i), a.RecordBytes(i) + kRec);
}

}  // namespace

TEST(SettingsArea, InitialiseWritesHeaderGlobalsAndDefaults) {
  Area a(gf::kSettingsMemoryBytes);
  EXPECT_TRUE(a.area.Valid());
  EXPECT_EQ(a.area.RecordCount(), 1);
  EXPECT_EQ(a.area.StoredCount(), 0);
  EXPECT_EQ(a.area.Capacity(), 87);  // (0x40000 - 9160) / 2892

  // The block starts with the file header: kind 3 and the ident padded to 48 bytes.
  EXPECT_EQ(a.bytes[0], 3);
  EXPECT_EQ(a.bytes[1], 0);
  const std::string ident = "$QORV$SettingDataMMFileIdentStr$V1.74";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a.bytes[2]), ident.size()), ident);
  for (std::size_t i = 2 + ident.size(); i < 50; ++i) EXPECT_EQ(a.bytes[i], 0) << i;

  const gf::PrintMargins m = a.area.Margins();
  EXPECT_EQ(std::vector<int>({m.left, m.top, m.right, m.bottom}), std::vector<int>({2000, 2000, 2000, 2000}));
  EXPECT_EQ(a.area.Global().Text(gf::kGlobalPrintHeader, 33), "&L&F");
  EXPECT_EQ(a.area.Global().Text(gf::kGlobalPrintFooter, 33), "&C&P/&A");
  EXPECT_EQ(a.area.SearchHitLimit(), 30000);
  EXPECT_EQ(a.area.Global().Get<std::int32_t>(gf::kGlobalSettingsLimit), 1048576);
  EXPECT_TRUE(a.area.InfoWindowRect().empty());  // the screen's centre

  gorvane::base::RecordView d = a.area.Record(0);
  EXPECT_EQ(d.Text(0, 16), ".???");
  EXPECT_EQ(d.Get<std::uint8_t>(gf::kRecTabWidth), 8);
  EXPECT_EQ(d.Get<std::int32_t>(gf::kRecPrintCharHeight), 26);
  EXPECT_EQ(d.Text(gf::kRecPrintHeader, 33), "&L&F");
  EXPECT_EQ(d.Text(gf::kRecPrintFooter, 33), "&C&P/&A");
  EXPECT_EQ(gs::Utf8(d.Text(gf::kRecEditFont + gf::kFontFace, 32)), "ＭＳ ゴシック");
  EXPECT_EQ(gs::Utf8(d.Text(gf::kRecPrintFontFace, 34)), "ＭＳ ゴシック");
  // Palette entry 15 white, and the text slot draws palette 0 on 15.
  EXPECT_EQ(d.Get<std::uint8_t>(gf::kRecPalette + 45), 255);
  EXPECT_EQ(d.Get<std::uint8_t>(gf::kRecColourSlots + 2), 0);
  EXPECT_EQ(d.Get<std::uint8_t>(gf::kRecColourSlots + 3), 15);
  EXPECT_FALSE(d.faulted());
}

TEST(SettingsArea, CapacityAndTooSmallMemory) {
  {
    Area a(SizeFor(3));  // the page would hold more: the capacity is what the memory holds
    EXPECT_EQ(a.area.Capacity(), 3);
    EXPECT_TRUE(a.area.Valid());
  }
  {
    Area a(gf::kSettingsMemoryBytes, false);
    EXPECT_FALSE(a.area.Initialise(static_cast<std::uint32_t>(SizeFor(1) - 1)));
    EXPECT_TRUE(a.area.Initialise(static_cast<std::uint32_t>(SizeFor(1))));
    EXPECT_EQ(a.area.Capacity(), 1);
  }
  for (std::size_t size : {std::size_t{0}, std::size_t{60}, kBlock, SizeFor(1) - 1}) {
    Area a(size, false);
    EXPECT_FALSE(a.area.Initialise(kPage)) << size;
    EXPECT_FALSE(a.area.Valid()) << size;
    EXPECT_EQ(a.area.RecordCount(), 0) << size;
    EXPECT_EQ(a.area.Record(0).size(), 0u) << size;
    EXPECT_EQ(a.area.RecordFor("a.txt"), 0) << size;
  }
}

TEST(SettingsArea, ForeignOrDamagedHeadersAreInvalid) {
  struct Case {
    const char* what;
    void (*damage)(Area&);
  } cases[] = {
      {"kind 1", [](Area& a) { a.bytes[0] = 1; }},
      {"file-name ident", [](Area& a) { a.area.Global().PutText(2, 48, "$QORV$FileNameMMFileIdentStr$V1.74"); }},
      {"other version", [](Area& a) { a.bytes[2 + 35] = '3'; }},
      {"ident runs on", [](Area& a) { a.bytes[2 + 37] = 'X'; }},
      {"negative count", [](Area& a) { a.SetCount(-1); }},
      {"count past the memory", [](Area& a) { a.SetCount(3); }},
      {"capacity 0", [](Area& a) { a.area.Global().Put<std::int32_t>(52, 0); }},
      {"capacity past the memory", [](Area& a) { a.area.Global().Put<std::int32_t>(52, 4); }},
  };
  for (const Case& c : cases) {
    Area a(SizeFor(3));
    a.SetCount(2);
    ASSERT_TRUE(a.area.Valid()) << c.what;
    c.damage(a);
    EXPECT_FALSE(a.area.Valid()) << c.what;
    EXPECT_TRUE(a.area.Image().empty()) << c.what;
    gvtest::FakeHost host;
    EXPECT_FALSE(a.area.StoreSettingsGroup(0, ".txt", Patterned(1), host).done) << c.what;
  }
}

// The memory ends right after the last record: any read past it is an ASan error.
TEST(SettingsArea, GarbageCountsStayInsideTheMemory) {
  struct Case {
    int stored, records;
  } cases[] = {{-32768, 1}, {-1, 1}, {0, 1}, {1, 2}, {2, 3}, {3, 3}, {700, 3}, {32767, 3}};
  for (const Case& c : cases) {
    Area a(SizeFor(3));
    a.SetCount(c.stored);
    EXPECT_EQ(a.area.RecordCount(), c.records) << c.stored;
    EXPECT_EQ(a.area.Record(c.records).size(), 0u) << c.stored;
    EXPECT_EQ(a.area.Record(c.records - 1).size(), kRec) << c.stored;
    EXPECT_EQ(a.area.FindRecord(".none"), -1) << c.stored;
    EXPECT_EQ(a.area.RecordFor("x.none"), 0) << c.stored;
    EXPECT_EQ(a.area.Record(-1).size(), 0u);
  }
}

// A change for two extensions touches exactly their records' bytes of that
// group: every other byte of the memory stays as it was.
TEST(SettingsArea, StoreUpdatesOnlyTheListedRecordsGroup) {
  for (int group = 0; group < 4; ++group) {
    Area a(SizeFor(6));
    a.AddPatterned(".txt", 10);
    a.AddPatterned(".c", 20);
    a.AddPatterned(".h", 30);
    a.AddPatterned(".cpp", 40);
    const gf::SettingsGroupValues current = Patterned(0xE5);
    std::vector<std::uint8_t> expected = a.bytes;
    CopyGroupBytes(expected.data() + SizeFor(2), current, group);  // .c
    CopyGroupBytes(expected.data() + SizeFor(4), current, group);  // .cpp

    gvtest::FakeHost host;
    const gf::StoreResult r = a.area.StoreSettingsGroup(group, ".C.cpp", current, host);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(r.updated, 2);
    EXPECT_EQ(r.appended, 0);
    EXPECT_TRUE(a.bytes == expected) << "group " << group;
    EXPECT_TRUE(host.boxes.empty());
  }
  Area a(SizeFor(2));
  gvtest::FakeHost host;
  const std::vector<std::uint8_t> before = a.bytes;
  for (int group : {-1, 4}) EXPECT_FALSE(a.area.StoreSettingsGroup(group, ".???", Patterned(1), host).done);
  EXPECT_TRUE(a.bytes == before);
}

TEST(SettingsArea, MissingExtensionsGetNewRecordsWithAllGroups) {
  Area a(gf::kSettingsMemoryBytes);
  a.AddPatterned(".txt", 10);
  const std::vector<std::uint8_t> defaults = RecordCopy(a, 0), txt = RecordCopy(a, 1);
  gf::SettingsGroupValues current = a.area.Values(0);  // the defaults record being edited
  current.record[gf::kRecTabWidth] = 4;
  current.record[371] = 0x77;  // outside every group: not copied
  current.record[20] = 0x77;

  gvtest::FakeHost host;
  const gf::StoreResult r = a.area.StoreSettingsGroup(1, ".MD.txt.Log", current, host);
  EXPECT_EQ(r.updated, 1);
  EXPECT_EQ(r.appended, 2);
  EXPECT_FALSE(r.outOfRoom);
  EXPECT_EQ(a.area.StoredCount(), 3);
  ASSERT_EQ(a.area.RecordCount(), 4);
  EXPECT_TRUE(RecordCopy(a, 0) == defaults);
  std::vector<std::uint8_t> txtNow = txt;
  CopyGroupBytes(txtNow.data(), current, 1);
  EXPECT_TRUE(RecordCopy(a, 1) == txtNow);
  EXPECT_TRUE(RecordCopy(a, 2) == NewRecord(".md", current));
  EXPECT_TRUE(RecordCopy(a, 3) == NewRecord(".log", current));
  EXPECT_EQ(a.area.Record(2).Get<std::uint8_t>(gf::kRecTabWidth), 4);
  EXPECT_EQ(a.area.RecordFor("notes.md"), 2);
  EXPECT_TRUE(a.area.Valid());
  EXPECT_TRUE(host.boxes.empty());
}

TEST(SettingsArea, AppendingStopsWhenTheMemoryIsFull) {
  Area a(SizeFor(3));  // the defaults record and two more
  gvtest::FakeHost host;
  const gf::SettingsGroupValues current = Patterned(3);
  gf::StoreResult r = a.area.StoreSettingsGroup(0, ".a.b.c.d", current, host);
  EXPECT_EQ(r.appended, 2);
  EXPECT_TRUE(r.outOfRoom);
  EXPECT_EQ(a.area.StoredCount(), 2);
  EXPECT_EQ(a.area.FindRecord(".b"), 2);
  EXPECT_EQ(a.area.FindRecord(".c"), -1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, kNoRoom);
  EXPECT_EQ(host.boxes[0].caption, "Gorvane");
  EXPECT_EQ(host.boxes[0].icon, gs::BoxIcon::Warning);

  // Existing records are still updated; only the new name is refused.
  r = a.area.StoreSettingsGroup(2, ".c.A", Patterned(9), host);
  EXPECT_EQ(r.updated, 1);
  EXPECT_EQ(r.appended, 0);
  EXPECT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(a.area.Record(1).Get<std::uint8_t>(600), Patterned(9).record[600]);
}

// Records stay within the first 2,097,152 bytes even when the memory is larger.
TEST(SettingsArea, RecordsStayWithinTheSharedMemorySize) {
  Area a(gf::kSettingsMemoryBytes + 2 * kRec);
  std::fill(a.bytes.begin() + gf::kSettingsMemoryBytes, a.bytes.end(), std::uint8_t{0xAB});
  std::string list;
  for (int i = 0; i < 800; ++i) list += ".e" + std::to_string(i);
  gvtest::FakeHost host;
  const gf::StoreResult r = a.area.StoreSettingsGroup(3, list, Patterned(5), host);
  EXPECT_EQ(r.appended, 720);  // 721 records of 2,892 bytes fit after the block
  EXPECT_EQ(a.area.StoredCount(), 720);
  EXPECT_EQ(host.boxes.size(), 1u);
  EXPECT_LE(SizeFor(721), gf::kSettingsMemoryBytes);
  for (std::size_t i = gf::kSettingsMemoryBytes; i < a.bytes.size(); ++i) ASSERT_EQ(a.bytes[i], 0xAB) << i;
}

TEST(SettingsArea, EmptyListNamesTheRecordWithoutName) {
  Area a(SizeFor(4));
  gvtest::FakeHost host;
  EXPECT_EQ(a.area.RecordFor("Makefile"), 0);
  gf::StoreResult r = a.area.StoreSettingsGroup(0, "", Patterned(1), host);
  EXPECT_EQ(r.appended, 1);
  EXPECT_EQ(a.area.FindRecord(""), 1);
  EXPECT_EQ(a.area.Record(1).Text(0, 16), "");
  EXPECT_EQ(a.area.RecordFor("C:\\src\\Makefile"), 1);
  EXPECT_EQ(a.area.RecordFor(""), 0);  // an untitled document
  r = a.area.StoreSettingsGroup(0, "", Patterned(2), host);
  EXPECT_EQ(r.updated, 1);
  EXPECT_EQ(r.appended, 0);
  EXPECT_EQ(a.area.StoredCount(), 1);
}

// "ア" is 83 41 and "ャ" 83 61: the trail bytes look like 'A' and 'a' but
// must not be folded. "ＴＸＴ" is full-width and stays as it is.
TEST(SettingsArea, ExtensionsMatchWithoutCaseButDoubleByteAsTheyAre) {
  Area a(SizeFor(6));
  a.AddPatterned(".txt", 1);
  a.AddPatterned(".\x83\x61", 2);
  a.AddPatterned(".tar", 3);
  struct Case {
    const char* name;
    int find, recordFor;
  } cases[] = {
      {".TXT", 1, 1},          {".Txt", 1, 1},          {".\x83\x61", 2, 2},  {".\x83\x41", -1, 0},
      {".\x82\x73\x82\x77\x82\x73", -1, 0},             {"txt", -1, 0},       {".???", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(a.area.FindRecord(c.name), c.find) << c.name;
    EXPECT_EQ(a.area.RecordFor(std::string("file") + c.name), c.recordFor) << c.name;
  }
  struct FileCase {
    const char* file;
    int record;
  } files[] = {
      {"a.TXT", 1}, {"C:\\Docs\\archive.TAR.txt", 1}, {"C:\\\x95\x5c.txt", 1},  // 表.txt: 5C is a trail byte
      {"C:\\dir.txt\\readme", 0}, {"/home/u/x.tar", 3}, {"notes.", 0}, {"C:\\dir\\", 0},
  };
  for (const FileCase& f : files) EXPECT_EQ(a.area.RecordFor(f.file), f.record) << f.file;

  gvtest::FakeHost host;
  const gf::StoreResult r = a.area.StoreSettingsGroup(0, ".\x83\x41", Patterned(9), host);
  EXPECT_EQ(r.updated, 0);
  EXPECT_EQ(r.appended, 1);
  EXPECT_EQ(a.area.Record(4).Text(0, 16), ".\x83\x41");
}

TEST(SettingsArea, ExtensionListsSplitIntoRecordNames) {
  using V = std::vector<std::string>;
  struct Case {
    const char* list;
    V names;
  } cases[] = {
      {".txt.c", V{".txt", ".c"}},
      {".TXT.txt.Txt", V{".txt"}},
      {"", V{""}},
      {"txt.c", V{"txt", ".c"}},
      {".\x83\x41.H", V{".\x83\x41", ".h"}},
      {".abcdefghijklmnopqr", V{".abcdefghijklmn"}},         // 15 bytes and the field's NUL
      {".abcdefghijklm\x83\x41", V{".abcdefghijklm"}},      // never half a character
  };
  for (const Case& c : cases) EXPECT_EQ(gf::SplitExtensionList(c.list), c.names) << c.list;
  EXPECT_EQ(gf::SplitExtensionList(std::string_view(".a\0.b", 5)), V{".a"});  // the list ends at a NUL
}

// A .wi1 file holds the used bytes as they are; another editor loading them
// sees byte-identical records.
TEST(SettingsArea, ImageRoundTripIsByteIdentical) {
  Area a(gf::kSettingsMemoryBytes);
  gvtest::FakeHost host;
  a.area.StoreSettingsGroup(0, ".txt.c", Patterned(1), host);
  a.area.StoreSettingsGroup(2, ".c.html", Patterned(2), host);
  a.area.SetMargins({1000, 1500, 1200, 900});
  const std::span<const std::uint8_t> image = a.area.Image();
  ASSERT_EQ(image.size(), SizeFor(4));
  const std::vector<std::uint8_t> file(image.begin(), image.end());

  {  // the saved bytes themselves, read through an area
    std::vector<std::uint8_t> copy = file;
    gf::SettingsArea seen(copy);
    EXPECT_EQ(seen.RecordCount(), 4);
    EXPECT_EQ(seen.FindRecord(".html"), 3);
  }
  Area b(gf::kSettingsMemoryBytes, false);
  ASSERT_TRUE(b.area.Load(file, kPage));
  EXPECT_TRUE(b.area.Valid());
  ASSERT_EQ(b.area.RecordCount(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(RecordCopy(a, i) == RecordCopy(b, i)) << i;
  const std::span<const std::uint8_t> again = b.area.Image();
  EXPECT_TRUE(std::equal(again.begin(), again.end(), file.begin(), file.end()));
  EXPECT_EQ(b.area.Margins().top, 1500);

  // A cut or foreign image, or one with more records than the memory holds,
  // is refused and the memory left alone.
  Area c(gf::kSettingsMemoryBytes, false), small(SizeFor(3), false);
  std::vector<std::uint8_t> foreign = file;
  foreign[2] = '#';
  EXPECT_FALSE(c.area.Load(std::span(file).first(file.size() - 1), kPage));
  EXPECT_FALSE(c.area.Load(std::span(file).first(40), kPage));
  EXPECT_FALSE(c.area.Load(foreign, kPage));
  EXPECT_FALSE(small.area.Load(file, kPage));
  EXPECT_TRUE(std::all_of(c.bytes.begin(), c.bytes.end(), [](std::uint8_t x) { return x == 0; }));
  EXPECT_TRUE(std::all_of(small.bytes.begin(), small.bytes.end(), [](std::uint8_t x) { return x == 0; }));
}

// The first editor's folders below its program folder, and the info window's
// remembered place.
TEST(SettingsArea, FoldersAndTheInfoWindowsPlace) {
  Area a(gf::kSettingsMemoryBytes);
  a.area.SetFolders("C:\\Program Files\\Gorvane\\");
  EXPECT_EQ(a.area.SettingsFolder(), "C:\\Program Files\\Gorvane\\settingfile");
  EXPECT_EQ(a.area.MacroFolder(), "C:\\Program Files\\Gorvane\\kbdmacrofile");
  // A folder that would not fit its field is not cut into another folder's name.
  a.area.SetFolders("C:\\" + std::string(250, 'x') + "\\");
  EXPECT_EQ(a.area.SettingsFolder(), "");
  EXPECT_EQ(a.area.MacroFolder(), "");
  a.area.SetInfoWindowRect({10, 20, 570, 440});
  const auto r = a.area.InfoWindowRect();
  EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({10, 20, 570, 440}));
  EXPECT_FALSE(r.empty());
  EXPECT_EQ(a.area.SearchHitLimit(), 30000);  // the neighbours are untouched
}
