#include "document/line_source.h"

#include "document/line_store.h"

namespace gorvane::document {

std::int32_t StoreLines::LineCount() { return static_cast<std::int32_t>(store_.lineCount()); }

std::string StoreLines::Line(LineNo line) {
  std::string text;
  if (!store_.ReadLine(line, &text)) text.clear();
  return text;
}

}  // namespace gorvane::document
