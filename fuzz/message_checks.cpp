#include "message_checks.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "ipc/messages.h"

namespace gorvane::fuzz {
namespace {

using ipc::Direction;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Name(Direction d) {
  switch (d) {
    case Direction::kEditorToInfoWindow:
      return "editor to info window";
    case Direction::kInfoWindowToEditor:
      return "info window to editor";
    case Direction::kEditorToEditor:
      return "editor to editor";
  }
  return "?";
}

// The values fit the catalogue entry: count, kinds and ranges.
std::string CheckValues(const ipc::ParsedMessage& m) {
  const ipc::MessageSpec& spec = m.spec();
  const auto fields = spec.fields();
  std::size_t expected = fields.size();
  if (spec.rule == ipc::MessageRule::kTextAfterOne && m.Number(fields.size() - 2) != 1) --expected;
  if (m.fields.size() != expected) return "wrong number of values";
  for (std::size_t i = 0; i < m.fields.size(); ++i) {
    const ipc::FieldSpec& f = fields[i];
    const bool number = f.kind == ipc::FieldKind::kDecimal || f.kind == ipc::FieldKind::kInstance ||
                        f.kind == ipc::FieldKind::kHex || f.kind == ipc::FieldKind::kHexLead;
    if (number != std::holds_alternative<std::int64_t>(m.fields[i])) return "a value of the wrong kind";
    if (number) {
      const std::int64_t v = m.Number(i);
      if (v < f.min || v > f.max) return "a number out of its range: " + std::string(f.name);
    } else {
      const auto n = static_cast<std::int64_t>(m.Text(i).size());
      if (n < f.min || n > f.max) return "a text of the wrong length: " + std::string(f.name);
      if (m.Text(i).find('\0') != std::string_view::npos) return "a NUL inside a text";
    }
  }
  return "";
}

std::string CheckDirection(std::span<const std::uint8_t> bytes, std::string_view text, Direction d) {
  const auto parsed = ipc::ParseMessage(bytes, d);
  if (!parsed) return "";
  const std::string where = " (" + Name(d) + ")";
  if (bytes.size() > ipc::MaxMessageBytes(d)) return "an over-long read parsed" + where;
  const ipc::MessageSpec& spec = parsed->spec();
  if (spec.direction != d) return "parsed as a message of another direction" + where;
  if (spec.tag != ipc::TagOf(bytes)) return "parsed under another tag" + where;
  if (std::string fault = CheckValues(*parsed); !fault.empty()) return fault + where;
  if (ipc::ParseCompileOutput(bytes)) return "a message taken for build output" + where;

  const auto rebuilt = ipc::BuildMessage(parsed->id, parsed->fields);
  if (!rebuilt) return "a parsed message does not build again: " + std::string(spec.tag) + where;
  if (rebuilt->empty() || rebuilt->back() != '\0') return "a built message without its NUL" + where;
  if (rebuilt->size() > ipc::MaxMessageBytes(d)) return "a built message too long" + where;
  const auto again = ipc::ParseMessage(*rebuilt, d);
  if (!again) return "a rebuilt message does not parse: " + std::string(spec.tag) + where;
  if (*again != *parsed) return "a rebuilt message parses to other values: " + std::string(spec.tag) + where;
  const bool lenient = std::any_of(spec.fields().begin(), spec.fields().end(),
                                   [](const ipc::FieldSpec& f) { return f.kind == ipc::FieldKind::kHexLead; });
  if (!lenient && std::string_view(*rebuilt).substr(0, rebuilt->size() - 1) != text)
    return "a rebuilt message differs from the text received: " + std::string(spec.tag) + where;
  return "";
}

std::string CheckBuildOutput(std::span<const std::uint8_t> bytes, std::string_view raw) {
  // What was received, if build output, goes on unchanged.
  if (const auto output = ipc::ParseCompileOutput(bytes)) {
    if (output->empty()) return "empty build output";
    const auto sent = ipc::BuildCompileOutput(*output);
    if (!sent) return "build output that cannot be sent again";
    if (ipc::ParseCompileOutput(Bytes(*sent)) != output) return "build output changed on its way";
  }
  // The input itself as a piece of build output: never a message.
  if (const auto sent = ipc::BuildCompileOutput(raw)) {
    if (sent->size() > ipc::kMaxMessageBytes) return "build output too long";
    if (!ipc::TagOf(*sent).empty()) return "build output with a tag";
    for (Direction d : {Direction::kEditorToInfoWindow, Direction::kInfoWindowToEditor, Direction::kEditorToEditor})
      if (ipc::ParseMessage(Bytes(*sent), d)) return "build output parsed as a message (" + Name(d) + ")";
    std::string expected(raw);
    std::erase(expected, '\0');
    if (ipc::ParseCompileOutput(Bytes(*sent)) != expected) return "build output does not read back";
  }
  return "";
}

}  // namespace

std::string CheckMessage(const std::uint8_t* data, std::size_t size) {
  // A buffer of exactly the input's size: a read beyond it is caught.
  const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  const std::span<const std::uint8_t> bytes(copy.get(), size);
  const std::string_view raw(reinterpret_cast<const char*>(copy.get()), size);
  const std::string_view text = raw.substr(0, raw.find('\0'));

  const std::string_view tag = ipc::TagOf(bytes);
  if (!tag.empty() && (tag.data() != text.data() || tag.size() > text.size() || tag.front() != '@'))
    return "a tag that is not where the text begins";

  for (Direction d : {Direction::kEditorToInfoWindow, Direction::kInfoWindowToEditor, Direction::kEditorToEditor})
    if (std::string fault = CheckDirection(bytes, text, d); !fault.empty()) return fault;

  const auto forEditor = ipc::ParseForEditor(bytes);
  auto expected = ipc::ParseMessage(bytes, Direction::kInfoWindowToEditor);
  if (!expected) expected = ipc::ParseMessage(bytes, Direction::kEditorToEditor);
  if (forEditor != expected) return "an editor's inbox reads it otherwise";

  return CheckBuildOutput(bytes, raw);
}

}  // namespace gorvane::fuzz
