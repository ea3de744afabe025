// How a file's extension record says its text is shown: the tab width, the
// line spacing, the edit and line-number fonts and the colours of the 18
// slots (each slot names a colour of the record's 16-colour palette).
#pragma once

#include <optional>

#include "files/settings_records.h"
#include "shell/edit_render.h"
#include "shell/metrics.h"

namespace gorvane::shell {

struct ViewLook {
  int tabSize = 8;      // columns, 1 to 32
  int lineSpacing = 2;  // pixels between rows, 0 to 100
  // The fonts as the record describes them (height in logical units,
  // negative for a character height); none when the record names no face.
  std::optional<FontSpec> editFont, lineNumberFont;
  DrawColours colours;
};

// The look of a record. Out-of-range values (another process may have
// written anything) fall back to the built-in ones.
ViewLook ViewLookOf(const files::SettingsGroupValues& record);

}  // namespace gorvane::shell
