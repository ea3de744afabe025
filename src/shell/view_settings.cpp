#include "shell/view_settings.h"

#include <string>

namespace gorvane::shell {

using namespace files;  // the record's offsets and sizes

namespace {

std::optional<FontSpec> FontAt(const SettingsGroupValues& values, std::size_t at) {
  SettingsGroupValues copy = values;
  base::RecordView r(copy.record);
  FontSpec f;
  f.face = r.Text(at + kFontFace, kFontFaceBytes);
  if (f.face.empty()) return std::nullopt;
  f.height = r.Get<std::int32_t>(at + kFontHeight);
  f.weight = r.Get<std::int32_t>(at + kFontWeight);
  f.charset = r.Get<std::uint8_t>(at + kFontCharSet);
  // A height or weight beyond what a font can have reads as the default.
  if (f.height < -400 || f.height > 400) f.height = 0;
  if (f.weight < 0 || f.weight > 1000) f.weight = kNormalWeight;
  return f;
}

}  // namespace

ViewLook ViewLookOf(const SettingsGroupValues& values) {
  ViewLook look;
  const auto& rec = values.record;
  const int tab = rec[kRecTabWidth];
  if (tab >= 1 && tab <= 32) look.tabSize = tab;
  const int spacing = rec[kRecLineSpacing];
  if (spacing <= 100) look.lineSpacing = spacing;
  look.editFont = FontAt(values, kRecEditFont);
  look.lineNumberFont = FontAt(values, kRecLineNumberFont);
  for (std::size_t k = 0; k < kColourSlotCount; ++k) {
    for (std::size_t which = 0; which < 2; ++which) {
      const std::size_t index = rec[kRecColourSlots + 2 * k + which];
      if (index >= kPaletteColours) continue;  // keeps the built-in colour
      const std::size_t at = kRecPalette + 3 * index;
      look.colours.entry[2 * k + which] = Rgb(rec[at], rec[at + 1], rec[at + 2]);
    }
  }
  return look;
}

}  // namespace gorvane::shell
