#include "document/text_edit.h"

#include <algorithm>
#include <vector>

#include "document/caret_moves.h"
#include "document/text_shape.h"

namespace gorvane::document {

namespace {

// Byte index of a caret column in a line, at most the end of its text.
std::size_t Index(std::string_view line, CaretCol column) {
  const std::size_t text = LineText(line).size();
  return std::min<std::size_t>(static_cast<std::size_t>(std::max(column.value, 1) - 1), text);
}

}  // namespace

std::string TextEdit::Line(LineNo line) {
  std::string out;
  if (!store_.ReadLine(line, &out)) out.clear();
  return out;
}

TextPos TextEdit::After(TextPos at, std::string_view text) {
  TextShape shape;
  shape.ends = CrLfEnds(text);
  shape.size = static_cast<std::uint32_t>(text.size());
  return shape.After(at);
}

bool TextEdit::SetLine(LineNo line, std::string_view bytes) {
  LINEDATA_STRC* r = Held(line);
  return r != nullptr && store_.SetLineText(r, bytes);
}

bool TextEdit::Insert(TextPos at, std::string_view text) { return Insert(at, text, CrLfEnds(text)); }

bool TextEdit::Insert(TextPos at, std::string_view text, std::span<const std::uint32_t> ends) {
  if (text.empty()) return true;
  LINEDATA_STRC* r = Held(at.line);
  if (r == nullptr) return false;
  const std::string old(reinterpret_cast<const char*>(r->text), r->length);
  const std::size_t c = Index(old, at.column);
  if (ends.empty()) {
    if (old.size() + text.size() > kMaxLineBytes) return false;
    std::string joined = old.substr(0, c);
    joined.append(text).append(old, c);
    return store_.SetLineText(r, joined);
  }
  // The first piece ends the upper line, the last one starts the lower line,
  // the complete lines between them go in as lines of their own.
  std::string upper = old.substr(0, c);
  upper.append(text.substr(0, ends.front()));
  std::string lower(text.substr(ends.back()));
  lower.append(old, c);
  std::vector<std::string_view> middle;
  middle.reserve(ends.size() - 1);
  for (std::size_t k = 1; k < ends.size(); ++k) middle.push_back(text.substr(ends[k - 1], ends[k] - ends[k - 1]));
  if (upper.size() > kMaxLineBytes || lower.size() > kMaxLineBytes ||
      std::any_of(middle.begin(), middle.end(), [](std::string_view l) { return l.size() > kMaxLineBytes; }))
    return false;
  // Text put in at the line's start pushes its marks down with its text.
  const std::string_view upperView(upper);
  LINEDATA_STRC* below =
      store_.SplitLine(r, CaretCol(static_cast<std::int32_t>(upper.size()) + 1), &upperView, c == 0);
  if (below == nullptr) return false;
  Shifted(at.line + 1, 1);
  if (!store_.SetLineText(below, lower)) return false;
  if (middle.empty()) return true;
  const std::uint32_t count = store_.lineCount();
  const bool ok = store_.InsertLines(at.line + 1, middle);
  Shifted(at.line + 1, static_cast<std::int32_t>(store_.lineCount() - count));
  return ok;
}

bool TextEdit::InsertLine(LineNo before, std::string_view bytes) {
  if (!store_.InsertLines(before, std::span(&bytes, 1))) return false;
  Shifted(before, 1);
  return true;
}

bool TextEdit::RemoveLine(LineNo line) {
  if (!store_.RemoveLines(line, 1)) return false;
  Shifted(line + 1, -1);
  return true;
}

bool TextEdit::Read(TextPos from, TextPos to, std::string* out) {
  out->clear();
  if (to <= from) return true;
  return store_.WalkLines(from.line, 1, [&](LineNo line, std::string_view text) {
    const std::size_t a = line == from.line ? Index(text, from.column) : 0;
    if (line == to.line) {
      const std::size_t b = std::max(a, Index(text, to.column));
      out->append(text.substr(a, b - a));
      return false;
    }
    out->append(text.substr(a));
    return true;
  });
}

bool TextEdit::Erase(TextPos from, TextPos to) {
  if (to <= from) return true;
  LINEDATA_STRC* r = Held(from.line);
  if (r == nullptr) return false;
  const std::string first(reinterpret_cast<const char*>(r->text), r->length);
  const std::size_t a = Index(first, from.column);
  if (to.line == from.line) {
    const std::size_t b = std::max(a, Index(first, to.column));
    std::string joined = first.substr(0, a);
    joined.append(first, b);
    return store_.SetLineText(r, joined);
  }
  const std::string last = Line(to.line);
  std::string joined = first.substr(0, a);
  joined.append(last, Index(last, to.column));
  if (joined.size() > kMaxLineBytes) return false;
  if (!store_.SetLineText(r, joined)) return false;
  if (!store_.RemoveLines(from.line + 1, to.line - from.line)) return false;
  Shifted(to.line + 1, -(to.line - from.line));
  return true;
}

}  // namespace gorvane::document
