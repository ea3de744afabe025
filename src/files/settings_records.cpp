#include "files/settings_records.h"

#include <algorithm>
#include <cstring>

#include "charcode/sjis_case.h"
#include "files/paths.h"

namespace gorvane::files {
namespace {

using base::RecordView;

constexpr std::size_t kHeaderCheckBytes = kGlobalCapacity + 4;  // kind, ident, count, capacity

// Built-in values of a fresh installation.
constexpr std::uint8_t kDefaultTabWidth = 8;
constexpr std::uint8_t kDefaultLineSpacing = 2;
constexpr std::int32_t kDefaultMargin = 2000;  // 20 mm
constexpr std::u8string_view kDefaultFontFace = u8"ＭＳ ゴシック";
constexpr std::u8string_view kDefaultPrintHeader = u8"&L&F";
constexpr std::u8string_view kDefaultPrintFooter = u8"&C&P/&A";

// The sixteen basic colours.
constexpr std::uint8_t kDefaultPalette[kPaletteColours][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},     {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
enum : std::uint8_t { kBlack = 0, kMaroon = 1, kGreen = 2, kNavy = 4, kPurple = 5, kTeal = 6, kSilver = 7,
                      kGray = 8, kRed = 9, kYellow = 11, kBlue = 12, kWhite = 15 };
// Text and background palette index of each colour slot.
constexpr std::uint8_t kDefaultSlots[kColourSlotCount][2] = {
    {kBlack, kWhite},   // window background
    {kBlack, kWhite},   // text
    {kWhite, kNavy},    // selection
    {kGreen, kWhite},   // comment
    {kBlue, kWhite},    // keyword 1
    {kMaroon, kWhite},  // keyword 2
    {kPurple, kWhite},  // keyword 3
    {kTeal, kWhite},    // keyword 4
    {kBlack, kSilver},  // range-setting line
    {kBlack, kWhite},   // (unused)
    {kRed, kWhite},     // abnormal comment
    {kGray, kWhite},    // marks
    {kBlack, kYellow},  // bookmark
    {kBlue, kWhite},    // end of file
    {kNavy, kWhite},    // tag
    {kMaroon, kWhite},  // string
    {kBlue, kWhite},    // edit-line underline
    {kBlack, kYellow},  // search string
};

void PutFont(RecordView& r, std::size_t at, std::int32_t height) {
  r.Fill(at, kFontBytes, 0);
  r.Put<std::int32_t>(at + kFontHeight, height);
  r.Put<std::int32_t>(at + kFontWeight, 400);
  r.Put<std::uint8_t>(at + kFontCharSet, 128);          // Shift-JIS
  r.Put<std::uint8_t>(at + kFontPitchAndFamily, 0x31);  // fixed pitch, modern
  r.PutText(at + kFontFace, kFontFaceBytes, base::Sjis(kDefaultFontFace));
}

void PutDefaultRecord(RecordView r) {
  r.Fill(0, kSettingsRecordBytes, 0);
  r.PutText(kRecName, kRecNameBytes, kDefaultsRecordName);
  r.Put<std::uint8_t>(kRecTabWidth, kDefaultTabWidth);
  r.Put<std::uint8_t>(kRecLineSpacing, kDefaultLineSpacing);
  for (std::size_t k = 0; k < kColourSlotCount; ++k) {
    r.Put<std::uint8_t>(kRecColourSlots + 2 * k, kDefaultSlots[k][0]);
    r.Put<std::uint8_t>(kRecColourSlots + 2 * k + 1, kDefaultSlots[k][1]);
  }
  for (std::size_t c = 0; c < kPaletteColours; ++c)
    for (std::size_t i = 0; i < 3; ++i) r.Put<std::uint8_t>(kRecPalette + 3 * c + i, kDefaultPalette[c][i]);
  PutFont(r, kRecLineNumberFont, -12);
  PutFont(r, kRecEditFont, -16);

  r.Put<std::int32_t>(kRecPrintCharHeight, 26);
  r.Put<std::int32_t>(kRecPrintCharWidth, 26);
  r.Put<std::int32_t>(kRecPrintWeight, 1);
  for (std::size_t i = 4; i <= 8; ++i) r.Put<std::uint8_t>(kRecPrintFlags + i, 1);  // marks hidden
  r.PutText(kRecPrintFontFace, kRecPrintFontFaceBytes, base::Sjis(kDefaultFontFace));
  r.PutText(kRecPrintHeader, kPrintFormatBytes, base::Sjis(kDefaultPrintHeader));
  r.PutText(kRecPrintFooter, kPrintFormatBytes, base::Sjis(kDefaultPrintFooter));

  r.Put<std::uint8_t>(kRecIntervalUnit, 2);  // seconds
  r.Put<std::int16_t>(kRecSlideInterval, 60);
}

// The kind, the ident and the count of a global block; the record count
// (with the defaults record) when they are right and the records fit in
// maxRecords, else -1.
int CheckedRecordCount(RecordView header, int maxRecords) {
  if (maxRecords < 1) return -1;
  if (header.Get<std::uint16_t>(kGlobalFileKind) != kSettingsFileKind) return -1;
  if (header.Text(kGlobalIdent, kGlobalIdentBytes) != kSettingsIdent) return -1;
  const int n = header.Get<std::int16_t>(kGlobalRecordCount);
  if (header.faulted() || n < 0 || n + 1 > maxRecords) return -1;
  return n + 1;
}

void CopyRange(RecordView& to, const SettingsGroupValues& from, ByteRange range) {
  std::span<std::uint8_t> dst = to.Bytes(range.begin, range.end - range.begin);
  if (dst.size() == range.end - range.begin) std::memcpy(dst.data(), from.record.data() + range.begin, dst.size());
}

void CopyGroup(RecordView& to, const SettingsGroupValues& from, int group) {
  for (const ByteRange& range : kSettingsGroupRanges[static_cast<std::size_t>(group)])
    if (range.end > range.begin) CopyRange(to, from, range);
}

}  // namespace

std::string RecordName(std::string_view extension) {
  const std::string lower = charcode::SjisToLower(extension);
  // At most 15 bytes (a NUL follows in the field), never half a character.
  std::size_t keep = 0;
  for (std::size_t i = 0; i < lower.size();) {
    const std::size_t width =
        charcode::IsSjisLead(static_cast<std::uint8_t>(lower[i])) && i + 1 < lower.size() ? 2 : 1;
    if (i + width > kRecNameBytes - 1) break;
    i += width;
    keep = i;
  }
  return lower.substr(0, keep);
}

std::vector<std::string> SplitExtensionList(std::string_view list) {
  list = list.substr(0, std::min(list.size(), list.find('\0')));
  std::vector<std::string> pieces;
  std::string cur;
  for (std::size_t i = 0; i < list.size();) {
    const auto b = static_cast<std::uint8_t>(list[i]);
    if (charcode::IsSjisLead(b) && i + 1 < list.size()) {
      cur.append(list.substr(i, 2));
      i += 2;
      continue;
    }
    if (b == '.' && !cur.empty()) {
      pieces.push_back(cur);
      cur.clear();
    }
    cur.push_back(static_cast<char>(b));
    ++i;
  }
  // The text before the first period counts as a name too; an empty list
  // names the record without a name.
  if (!cur.empty() || pieces.empty()) pieces.push_back(cur);

  std::vector<std::string> names;
  for (const std::string& piece : pieces) {
    std::string name = RecordName(piece);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  return names;
}

std::size_t SettingsArea::Limit() const { return std::min(memory_.size(), kSettingsMemoryBytes); }

int SettingsArea::MaxRecords() const {
  const std::size_t limit = Limit();
  if (limit < kSettingsGlobalBytes) return 0;
  return static_cast<int>((limit - kSettingsGlobalBytes) / kSettingsRecordBytes);
}

base::RecordView SettingsArea::Global() {
  return RecordView(memory_.first(std::min(memory_.size(), kSettingsGlobalBytes)));
}

bool SettingsArea::Initialise(std::uint32_t pageSize) {
  const int max = MaxRecords();
  if (max < 1 || pageSize < kSettingsGlobalBytes + kSettingsRecordBytes) return false;
  const auto perPage = static_cast<int>((pageSize - kSettingsGlobalBytes) / kSettingsRecordBytes);

  RecordView g = Global();
  g.Fill(0, kSettingsGlobalBytes, 0);
  g.Put<std::uint16_t>(kGlobalFileKind, kSettingsFileKind);
  g.PutText(kGlobalIdent, kGlobalIdentBytes, kSettingsIdent);
  g.Put<std::int16_t>(kGlobalRecordCount, 0);
  g.Put<std::int32_t>(kGlobalCapacity, std::min(perPage, max));
  SetMargins({kDefaultMargin, kDefaultMargin, kDefaultMargin, kDefaultMargin});
  g.PutText(kGlobalPrintHeader, kPrintFormatBytes, base::Sjis(kDefaultPrintHeader));
  g.PutText(kGlobalPrintFooter, kPrintFormatBytes, base::Sjis(kDefaultPrintFooter));
  g.Put<std::int32_t>(kGlobalSearchHitLimit, kDefaultSearchHitLimit);
  g.Put<std::int32_t>(kGlobalSettingsLimit, kDefaultSettingsLimit);

  PutDefaultRecord(Record(0));
  return true;
}

bool SettingsArea::Valid() {
  const int max = MaxRecords();
  if (CheckedRecordCount(Global(), max) < 0) return false;
  const int capacity = Capacity();
  return capacity >= 1 && capacity <= max;
}

int SettingsArea::StoredCount() { return Global().Get<std::int16_t>(kGlobalRecordCount); }

int SettingsArea::Capacity() { return Global().Get<std::int32_t>(kGlobalCapacity); }

namespace {

// Four i32 (left, top, right, bottom) at an offset of the global block.
template <typename Rect>
Rect GetRect(RecordView g, std::size_t at) {
  return {g.Get<std::int32_t>(at), g.Get<std::int32_t>(at + 4), g.Get<std::int32_t>(at + 8),
          g.Get<std::int32_t>(at + 12)};
}
template <typename Rect>
void PutRect(RecordView g, std::size_t at, const Rect& r) {
  g.Put<std::int32_t>(at, r.left);
  g.Put<std::int32_t>(at + 4, r.top);
  g.Put<std::int32_t>(at + 8, r.right);
  g.Put<std::int32_t>(at + 12, r.bottom);
}

}  // namespace

PrintMargins SettingsArea::Margins() { return GetRect<PrintMargins>(Global(), kGlobalPrintMargins); }

void SettingsArea::SetMargins(const PrintMargins& m) { PutRect(Global(), kGlobalPrintMargins, m); }

void SettingsArea::SetFolders(std::string_view programFolder) {
  RecordView g = Global();
  auto put = [&](std::size_t at, std::string_view leaf) {
    std::string folder(programFolder);
    folder.append(leaf);
    g.PutText(at, kGlobalFolderBytes, folder.size() < kGlobalFolderBytes ? folder : std::string());
  };
  put(kGlobalSettingsFolder, "settingfile");
  put(kGlobalMacroFolder, "kbdmacrofile");
}

std::string SettingsArea::SettingsFolder() { return Global().Text(kGlobalSettingsFolder, kGlobalFolderBytes); }
std::string SettingsArea::MacroFolder() { return Global().Text(kGlobalMacroFolder, kGlobalFolderBytes); }
std::int32_t SettingsArea::SearchHitLimit() { return Global().Get<std::int32_t>(kGlobalSearchHitLimit); }

SettingsArea::WindowRect SettingsArea::InfoWindowRect() { return GetRect<WindowRect>(Global(), kGlobalInfoWindowRect); }

void SettingsArea::SetInfoWindowRect(const WindowRect& r) { PutRect(Global(), kGlobalInfoWindowRect, r); }

int SettingsArea::RecordCount() {
  const int max = MaxRecords();
  if (max < 1) return 0;
  const int n = StoredCount();
  if (n < 0) return 1;
  return std::min(n + 1, max);
}

base::RecordView SettingsArea::Record(int i) {
  if (i < 0 || i >= RecordCount()) return RecordView({});
  return RecordView(memory_.subspan(kSettingsGlobalBytes + static_cast<std::size_t>(i) * kSettingsRecordBytes,
                                    kSettingsRecordBytes));
}

SettingsGroupValues SettingsArea::Values(int i) {
  SettingsGroupValues v;
  RecordView r = Record(i);
  if (r.size() == kSettingsRecordBytes) std::memcpy(v.record.data(), r.data(), kSettingsRecordBytes);
  return v;
}

int SettingsArea::FindRecord(std::string_view extension) {
  const std::string key = RecordName(extension);
  const int count = RecordCount();
  for (int i = 0; i < count; ++i)
    if (charcode::SjisToLower(Record(i).Text(kRecName, kRecNameBytes)) == key) return i;
  return -1;
}

int SettingsArea::RecordFor(std::string_view fileName) {
  const std::string name = FileNameOf(fileName);
  if (name.empty()) return 0;
  std::size_t period = std::string::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (charcode::IsSjisLead(static_cast<std::uint8_t>(name[i]))) {
      ++i;
    } else if (name[i] == '.') {
      period = i;
    }
  }
  const int found = FindRecord(period == std::string::npos ? std::string_view() : std::string_view(name).substr(period));
  return found >= 0 ? found : 0;
}

StoreResult SettingsArea::StoreSettingsGroup(int group, std::string_view extensionList,
                                             const SettingsGroupValues& current, base::Host& host) {
  // The caller holds the settings lock for the whole change.
  StoreResult result;
  if (group < 0 || group >= kSettingsGroupCount || !Valid()) return result;
  result.done = true;

  std::vector<std::string> missing;
  for (const std::string& name : SplitExtensionList(extensionList)) {
    const int i = FindRecord(name);
    if (i < 0) {
      missing.push_back(name);
      continue;
    }
    RecordView r = Record(i);
    CopyGroup(r, current, group);
    ++result.updated;
  }

  for (const std::string& name : missing) {
    const int n = StoredCount();  // Valid() above: 0 <= n and n + 1 <= MaxRecords()
    if (n + 2 > MaxRecords()) {
      base::Tell(host,
                  u8"拡張子名に対するデータ格納領域が不足しています。\n"
                  u8"一部の拡張子に対して設定データを登録することができません。",
                  base::BoxIcon::Warning);
      result.outOfRoom = true;
      break;
    }
    RecordView r(memory_.subspan(kSettingsGlobalBytes + static_cast<std::size_t>(n + 1) * kSettingsRecordBytes,
                                 kSettingsRecordBytes));
    r.Fill(0, kSettingsRecordBytes, 0);
    r.PutText(kRecName, kRecNameBytes, name);
    for (int g = 0; g < kSettingsGroupCount; ++g) CopyGroup(r, current, g);
    Global().Put<std::int16_t>(kGlobalRecordCount, static_cast<std::int16_t>(n + 1));
    ++result.appended;
  }
  return result;
}

std::span<const std::uint8_t> SettingsArea::Image() {
  if (!Valid()) return {};
  return memory_.first(kSettingsGlobalBytes + static_cast<std::size_t>(RecordCount()) * kSettingsRecordBytes);
}

bool SettingsArea::Load(std::span<const std::uint8_t> image, std::uint32_t pageSize) {
  const int max = MaxRecords();
  if (max < 1 || pageSize < kSettingsGlobalBytes + kSettingsRecordBytes) return false;
  // Check the header on a copy: the memory stays as it is on failure.
  std::array<std::uint8_t, kHeaderCheckBytes> header{};
  if (image.size() < header.size()) return false;
  std::memcpy(header.data(), image.data(), header.size());
  const int count = CheckedRecordCount(RecordView(header), max);
  if (count < 0) return false;
  const std::size_t used = kSettingsGlobalBytes + static_cast<std::size_t>(count) * kSettingsRecordBytes;
  if (image.size() < used) return false;

  std::memcpy(memory_.data(), image.data(), used);
  const auto perPage = static_cast<int>((pageSize - kSettingsGlobalBytes) / kSettingsRecordBytes);
  Global().Put<std::int32_t>(kGlobalCapacity, std::min(perPage, max));
  return true;
}

}  // namespace gorvane::files
