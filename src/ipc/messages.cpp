#include "ipc/messages.h"

#include <initializer_list>
#include <limits>

#include "base/host.h"
#include "ipc/instance_group.h"

namespace gorvane::ipc {
namespace {

using D = Direction;
using Id = MessageId;

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kAnyLength = kInt32Max;  // bounded by the message size only

constexpr std::int64_t kPathBytes = 260;      // a file's full path
constexpr std::int64_t kExpandedBytes = 519;  // a command text after its codes were expanded
constexpr std::int64_t kNoteBytes = 256;      // a bookmark's note
constexpr std::int64_t kSearchBytes = 256;    // search and replace texts
constexpr std::int64_t kFileTypesBytes = 48;  // the file-type filter of a search in files
constexpr std::int64_t kTelnetBytes = 256;    // a line typed for a remote build
constexpr std::int64_t kCompileTextBytes = 259;
constexpr std::int64_t kExtensionsBytes = 99;
constexpr std::int64_t kCompileFlagsMax = (1 << 11) - 1;
constexpr std::size_t kSearchLineLimit = 0x8000;  // a "@SCHLINE@" stays below this
constexpr std::size_t kSearchLineReserve = 523;

constexpr FieldSpec Num(std::string_view name, std::int64_t min, std::int64_t max, std::string_view before = " ") {
  return FieldSpec{name, before, FieldKind::kDecimal, min, max, 0};
}
constexpr FieldSpec Flag(std::string_view name) { return Num(name, 0, 1); }
constexpr FieldSpec Instance(std::string_view name = "instance") {
  return FieldSpec{name, " ", FieldKind::kInstance, 1, kTransientInstance, 0};
}
constexpr FieldSpec Hex(std::string_view name, int width, std::string_view before) {
  return FieldSpec{name, before, FieldKind::kHex, 0, (std::int64_t{1} << (4 * width)) - 1, width};
}
constexpr FieldSpec HexLead(std::string_view name) { return FieldSpec{name, " ", FieldKind::kHexLead, 0, 0xFFFF, 4}; }
constexpr FieldSpec Token(std::string_view name, std::int64_t minBytes, std::int64_t maxBytes) {
  return FieldSpec{name, " ", FieldKind::kToken, minBytes, maxBytes, 0};
}
constexpr FieldSpec Quoted(std::string_view name, std::int64_t minBytes, std::int64_t maxBytes) {
  return FieldSpec{name, " ", FieldKind::kQuoted, minBytes, maxBytes, 0};
}
constexpr FieldSpec Text(std::string_view name, std::int64_t minBytes, std::int64_t maxBytes,
                         std::string_view before = " ") {
  return FieldSpec{name, before, FieldKind::kText, minBytes, maxBytes, 0};
}

constexpr FieldSpec kFileNumber = Num("fileNumber", 0, kInt32Max);
constexpr FieldSpec kCharCode = Num("charCode", -6, 6);
constexpr FieldSpec kThreadId = Num("threadId", 0, kUint32Max);
constexpr FieldSpec kInfoWindow = Num("infoWindow", 0, 65535);
constexpr FieldSpec kMark = Num("mark", 0, 255);
constexpr FieldSpec kCount = Num("count", kInt32Min, kInt32Max);
constexpr FieldSpec kPath = Text("path", 0, kPathBytes);
constexpr FieldSpec kScope = Num("scope", 0, 2);
constexpr FieldSpec kOptions = Num("options", 0, 255);
constexpr FieldSpec kFileTypes = Token("fileTypes", 0, kFileTypesBytes);
constexpr FieldSpec kSearchText = Text("search", 1, kSearchBytes);
constexpr FieldSpec kReplaceText = Text("replace", 0, kSearchBytes, "\x01");

constexpr MessageSpec M(Id id, std::string_view tag, D direction, std::initializer_list<FieldSpec> fields = {},
                        MessageRule rule = MessageRule::kNone) {
  MessageSpec s;
  s.id = id;
  s.tag = tag;
  s.direction = direction;
  std::size_t i = 0;
  for (const FieldSpec& f : fields) s.fieldArray[i++] = f;  // more than kMaxFields does not compile
  s.fieldCount = static_cast<std::uint8_t>(fields.size());
  s.rule = rule;
  return s;
}

constexpr MessageSpec Rect(Id id, D direction) {
  return M(id, "@MOVEWINDOW@", direction,
           {Num("left", kInt32Min, kInt32Max), Num("top", kInt32Min, kInt32Max), Num("right", kInt32Min, kInt32Max),
            Num("bottom", kInt32Min, kInt32Max), Num("side", 1, 2)});
}
constexpr MessageSpec MarkNote(Id id, std::string_view tag) {
  return M(id, tag, D::kEditorToInfoWindow,
           {Instance(), kFileNumber, kMark, Num("noteLength", 0, kNoteBytes), Text("note", 0, kNoteBytes)},
           MessageRule::kNoteLength);
}
constexpr MessageSpec SearchData(Id id, D direction) {
  return M(id, "@SETSCHDATA@", direction,
           {kScope, kOptions, Flag("fileFilter"), Flag("share"), kFileTypes, Text("text", 1, kSearchBytes)});
}

constexpr std::array<MessageSpec, static_cast<std::size_t>(Id::kCount)> kCatalogue = {
    // ---- editor to info window ----
    M(Id::kTestToInfoWindow, "@TEST@", D::kEditorToInfoWindow),
    M(Id::kCantOpen, "@CANTOPEN@", D::kEditorToInfoWindow),
    M(Id::kClosedToInfoWindow, "@CLOSED@", D::kEditorToInfoWindow, {kFileNumber}),
    M(Id::kCloseOk, "@CLOSEOK@", D::kEditorToInfoWindow),
    M(Id::kActiveToInfoWindow, "@ACTIVE@", D::kEditorToInfoWindow, {Instance(), kThreadId}),
    Rect(Id::kMoveWindowToInfoWindow, D::kEditorToInfoWindow),
    M(Id::kHideInfoWindow, "@HIDEINFOWIN@", D::kEditorToInfoWindow),
    M(Id::kMarkJumpFile, "@MJMMFILE@", D::kEditorToInfoWindow, {kFileNumber, kPath}),
    M(Id::kChangeEditFile, "@CHANGEEDITFILE@", D::kEditorToInfoWindow, {kCharCode, kFileNumber, kPath}),
    M(Id::kAddFileItemToInfoWindow, "@ADDFILEITEM@", D::kEditorToInfoWindow,
      {kCharCode, Instance(), Quoted("path", 0, kPathBytes), Quoted("second", 0, kPathBytes)}),
    M(Id::kCheckProjectOptions, "@CHECKPROJOPT@", D::kEditorToInfoWindow, {kCharCode, Instance(), kPath}),
    M(Id::kEditPos, "@EDITPOS@", D::kEditorToInfoWindow),
    MarkNote(Id::kSetMarkJumpToInfoWindow, "@SETMARKJUMP@"),
    MarkNote(Id::kCheckMarkJumpToInfoWindow, "@CHECKMARKJUMP@"),
    M(Id::kCheckEndMarkJump, "@CHECKENDMARKJUMP@", D::kEditorToInfoWindow, {kFileNumber}),
    M(Id::kDeleteMarkJumpToInfoWindow, "@DELETEMARKJUMP@", D::kEditorToInfoWindow, {kFileNumber, kMark}),
    M(Id::kSaveMarkJumpData, "@SAVEMARKJUMPDATA@", D::kEditorToInfoWindow, {Instance(), kFileNumber, kPath}),
    SearchData(Id::kSetSearchDataToInfoWindow, D::kEditorToInfoWindow),
    M(Id::kSetReplaceDataToInfoWindow, "@SETREPDATA@", D::kEditorToInfoWindow,
      {kScope, kOptions, Flag("fileFilter"), kFileTypes, kSearchText, kReplaceText}),
    M(Id::kProjectSearchToInfoWindow, "@PROJECTSCH@", D::kEditorToInfoWindow, {Instance()}),
    M(Id::kProjectReplaceToInfoWindow, "@PROJECTREP@", D::kEditorToInfoWindow, {Instance()}),
    M(Id::kSearchCancel, "@SCHCANCEL@", D::kEditorToInfoWindow),
    M(Id::kReplaceCancel, "@REPCANCEL@", D::kEditorToInfoWindow),
    M(Id::kDisplaySearch, "@DISPSEARCH@", D::kEditorToInfoWindow),
    M(Id::kSearchFile, "@SCHFILE@", D::kEditorToInfoWindow, {Flag("range"), kPath}),
    M(Id::kSearchLine, "@SCHLINE@", D::kEditorToInfoWindow,
      {Hex("column", 4, " "), Hex("lines", 8, ""), Hex("length", 4, ""), Num("line", 1, kInt32Max, " ("),
       Text("text", 2, kAnyLength, "): ")},
      MessageRule::kLineText),
    M(Id::kSearchEnd, "@SEARCHEND@", D::kEditorToInfoWindow, {kCount}),
    M(Id::kReplaceEnd, "@REPLACEEND@", D::kEditorToInfoWindow, {kCount}),
    M(Id::kReplaceStop, "@REPLACESTOP@", D::kEditorToInfoWindow, {kCount}),
    M(Id::kReplaceError, "@REPLACEERROR", D::kEditorToInfoWindow, {kCount}),
    M(Id::kTelnetText, "@CONNTELNETSTR@", D::kEditorToInfoWindow, {Flag("flag"), Text("text", 0, kTelnetBytes)}),
    M(Id::kDisplayCompile, "@DISPCOMPILE@", D::kEditorToInfoWindow),
    M(Id::kCompileEnd, "@COMPILEEND@", D::kEditorToInfoWindow),
    M(Id::kReadTagFile, "@READTAGFILE@", D::kEditorToInfoWindow, {Text("path", 0, kExpandedBytes)}),
    M(Id::kRemoteReadTagFile, "@TREADTAGFILE@", D::kEditorToInfoWindow,
      {Flag("hasPath"), Text("path", 0, kExpandedBytes)}, MessageRule::kTextAfterOne),
    M(Id::kRemoteCompileStart, "@TELNETCOMPILESTART@", D::kEditorToInfoWindow,
      {Instance(), Token("command", 1, kExpandedBytes), Text("arguments", 0, kExpandedBytes)}),
    M(Id::kTidToInfoWindow, "@TID@", D::kEditorToInfoWindow, {kInfoWindow, kThreadId}),
    M(Id::kTidSetOkToInfoWindow, "@TIDSETOK@", D::kEditorToInfoWindow, {kInfoWindow}),
    M(Id::kActiveOkToInfoWindow, "@ACTIVEOK@", D::kEditorToInfoWindow, {Instance()}),
    M(Id::kBulkCrlfReturn, "@BULKCRLFRETURN@", D::kEditorToInfoWindow, {Flag("saved")}),
    M(Id::kInfoDestroy, "@INFODESTROY@", D::kEditorToInfoWindow),
    // ---- info window to editor ----
    M(Id::kTestToEditor, "@TEST@", D::kInfoWindowToEditor),
    M(Id::kDeadUnlock, "@DEADUNLOCK@", D::kInfoWindowToEditor),
    M(Id::kClosedToEditor, "@CLOSED@", D::kInfoWindowToEditor, {Num("mode", 0, 3)}),
    M(Id::kSave, "@SAVE@", D::kInfoWindowToEditor),
    M(Id::kActiveToEditor, "@ACTIVE@", D::kInfoWindowToEditor,
      {Num("line", 1, kInt32Max), HexLead("column"), HexLead("length"), kThreadId, kInfoWindow,
       Text("text", 0, kAnyLength)}),
    M(Id::kExecMarkJump, "@EXECMJRET@", D::kInfoWindowToEditor, {kMark, kThreadId, kInfoWindow}),
    M(Id::kTidToEditor, "@TID@", D::kInfoWindowToEditor, {kInfoWindow, kThreadId}),
    M(Id::kTidSetOkToEditor, "@TIDSETOK@", D::kInfoWindowToEditor),
    M(Id::kActiveOkToEditor, "@ACTIVEOK@", D::kInfoWindowToEditor),
    M(Id::kSetMarkJumpResult, "@SETMARKJUMP@", D::kInfoWindowToEditor, {Flag("ok")}),
    M(Id::kCheckMarkJumpResult, "@CHECKMARKJUMP@", D::kInfoWindowToEditor, {Flag("ok")}),
    M(Id::kSaveMarkJumpDataOk, "@SAVEMJDATA_OK@", D::kInfoWindowToEditor),
    M(Id::kDeleteMarkJumpToEditor, "@DELETEMARKJUMP@", D::kInfoWindowToEditor, {kMark}),
    M(Id::kAddFileItemReturn, "@ADDFIRET@", D::kInfoWindowToEditor, {kFileNumber}),
    M(Id::kDeleteFileItem, "@DELFILEITEM@", D::kInfoWindowToEditor),
    M(Id::kAddFileItemToEditor, "@ADDFILEITEM@", D::kInfoWindowToEditor, {kInfoWindow}),
    Rect(Id::kMoveWindowToEditor, D::kInfoWindowToEditor),
    M(Id::kProjectSearchToEditor, "@PROJECTSCH@", D::kInfoWindowToEditor,
      {kInfoWindow, kOptions, Text("searchData", 0, kAnyLength)}),
    M(Id::kProjectReplaceToEditor, "@PROJECTREP@", D::kInfoWindowToEditor,
      {kInfoWindow, Num("flags", 0, 255), kSearchText, kReplaceText}),
    M(Id::kProjectSearchEnd, "@PROJSCHEND@", D::kInfoWindowToEditor),
    M(Id::kProjectReplaceEnd, "@PROJREPEND@", D::kInfoWindowToEditor),
    M(Id::kRemoteCompileEnd, "@TELNETCOMPILEEND@", D::kInfoWindowToEditor, {Num("code", kInt32Min, kInt32Max)}),
    M(Id::kBackgroundViewEnter, "@BULKHAIKEIENJOY@", D::kInfoWindowToEditor),
    M(Id::kBackgroundViewLeave, "@BULKHAIKEIEND@", D::kInfoWindowToEditor),
    M(Id::kBulkCrlf, "@BULKCRLF@", D::kInfoWindowToEditor,
      {Num("replyTo", 0, 65535), kCharCode, Num("lineEnd", 0, 3)}),
    // ---- editor to editor ----
    M(Id::kTestToOtherEditor, "@TEST@", D::kEditorToEditor),
    M(Id::kInstanceActive, "@INSTACTIVE@", D::kEditorToEditor, {kThreadId, Instance("senderInstance")}),
    M(Id::kTidInstance, "@TIDINST@", D::kEditorToEditor, {Instance(), kThreadId}),
    M(Id::kTidSetOkToOtherEditor, "@TIDSETOK@", D::kEditorToEditor),
    M(Id::kActiveOkToOtherEditor, "@ACTIVEOK@", D::kEditorToEditor),
    M(Id::kAutoSave, "@AUTOSAVE@", D::kEditorToEditor, {Instance()}),
    M(Id::kAutoSaveAnswer, "@ANSAUTOSAVE@", D::kEditorToEditor, {Flag("ok")}),
    M(Id::kRedraw, "@REDRAW@", D::kEditorToEditor, {Flag("reload")}),
    M(Id::kAutoSetAreaSel, "@AUTOSETAREASEL@", D::kEditorToEditor),
    M(Id::kKeyCustom, "@KEYCUSTOM@", D::kEditorToEditor),
    M(Id::kWindowMenu, "@WINDOWMENU@", D::kEditorToEditor),
    M(Id::kCreateIsData, "@CREATEISDATA@", D::kEditorToEditor),
    M(Id::kCompileData, "@COMPILEDATA@", D::kEditorToEditor,
      {Num("flags", 0, kCompileFlagsMax), Text("environment", 0, kCompileTextBytes),
       Text("compiler", 0, kCompileTextBytes, "\x08"), Text("arguments", 0, kCompileTextBytes, "\x08"),
       Text("tagFile", 0, kCompileTextBytes, "\x08"), Text("extensions", 0, kExtensionsBytes, "\x08")}),
    SearchData(Id::kSetSearchDataToOtherEditor, D::kEditorToEditor),
    M(Id::kSetReplaceDataToOtherEditor, "@SETREPDATA@", D::kEditorToEditor,
      {Flag("confirm"), kScope, kOptions, Flag("fileFilter"), kFileTypes, kSearchText, kReplaceText}),
};

constexpr bool InIdOrder() {
  for (std::size_t i = 0; i < kCatalogue.size(); ++i)
    if (static_cast<std::size_t>(kCatalogue[i].id) != i) return false;
  return true;
}
static_assert(InIdOrder(), "the catalogue must list the messages in MessageId order");

bool IsTagChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The text of a received message: up to its first NUL.
std::string_view TextOf(std::span<const std::uint8_t> received) {
  std::string_view text(reinterpret_cast<const char*>(received.data()), received.size());
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool At(std::string_view text, std::size_t pos, std::string_view literal) {
  return pos <= text.size() && text.size() - pos >= literal.size() && text.substr(pos, literal.size()) == literal;
}

bool NumberFits(const FieldSpec& f, std::int64_t v) {
  if (v < f.min || v > f.max) return false;
  return f.kind != FieldKind::kInstance || v <= kMaxInstances || v == kTransientInstance;
}

bool IsNumberKind(FieldKind k) {
  return k == FieldKind::kDecimal || k == FieldKind::kInstance || k == FieldKind::kHex || k == FieldKind::kHexLead;
}

// Whether a text can stand in the field and be read back as it is. `stop`
// is the separator that ends a text followed by another field ('\0': none).
bool TextFits(const FieldSpec& f, std::string_view s, char stop) {
  if (static_cast<std::int64_t>(s.size()) < f.min || static_cast<std::int64_t>(s.size()) > f.max) return false;
  if (s.find('\0') != std::string_view::npos) return false;
  switch (f.kind) {
    case FieldKind::kToken:
      return s.find(' ') == std::string_view::npos;
    case FieldKind::kQuoted:
      return s.find('"') == std::string_view::npos;
    default:
      return stop == '\0' || s.find(stop) == std::string_view::npos;
  }
}

// The separator that ends field i (a text or a token followed by another field).
char StopAfter(std::span<const FieldSpec> fields, std::size_t i) {
  return i + 1 < fields.size() && !fields[i + 1].before.empty() ? fields[i + 1].before.front() : '\0';
}

// A decimal number as "%d" writes it: an optional '-', digits without
// leading zeros, no "-0".
bool ReadDecimal(std::string_view text, std::size_t& pos, bool negativeAllowed, std::int64_t& out) {
  bool negative = false;
  if (pos < text.size() && text[pos] == '-') {
    if (!negativeAllowed) return false;
    negative = true;
    ++pos;
  }
  const std::size_t start = pos;
  std::int64_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (pos - start >= 10) return false;  // every range fits ten digits
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  const std::size_t digits = pos - start;
  if (digits == 0 || (digits > 1 && text[start] == '0') || (negative && value == 0)) return false;
  out = negative ? -value : value;
  return true;
}

std::optional<ParsedMessage> ParseFields(std::string_view text, const MessageSpec& spec) {
  ParsedMessage out;
  out.id = spec.id;
  const std::span<const FieldSpec> fields = spec.fields();
  std::size_t pos = spec.tag.size();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldSpec& f = fields[i];
    const bool last = i + 1 == fields.size();
    if (last && spec.rule == MessageRule::kTextAfterOne && out.Number(i - 1) != 1) break;
    if (!At(text, pos, f.before)) return std::nullopt;
    pos += f.before.size();
    switch (f.kind) {
      case FieldKind::kDecimal:
      case FieldKind::kInstance: {
        std::int64_t v = 0;
        if (!ReadDecimal(text, pos, f.min < 0, v) || !NumberFits(f, v)) return std::nullopt;
        out.fields.emplace_back(v);
        break;
      }
      case FieldKind::kHex: {
        const auto width = static_cast<std::size_t>(f.width);
        if (text.size() - pos < width) return std::nullopt;
        std::int64_t v = 0;
        for (std::size_t k = 0; k < width; ++k) {
          if (!IsLowerHex(text[pos + k])) return std::nullopt;
          v = v * 16 + HexDigit(text[pos + k]);
        }
        pos += width;
        out.fields.emplace_back(v);
        break;
      }
      case FieldKind::kHexLead: {
        std::size_t end = pos;
        while (end < text.size() && HexDigit(text[end]) >= 0) ++end;
        if (end - pos < 4 || end - pos > 16) return std::nullopt;
        std::int64_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = v * 16 + HexDigit(text[pos + k]);
        pos = end;
        out.fields.emplace_back(v);
        break;
      }
      case FieldKind::kToken: {
        std::size_t end = text.find(' ', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view value = text.substr(pos, end - pos);
        if (!TextFits(f, value, StopAfter(fields, i))) return std::nullopt;
        out.fields.emplace_back(std::string(value));
        pos = end;
        break;
      }
      case FieldKind::kQuoted: {
        if (!At(text, pos, "\"")) return std::nullopt;
        const std::size_t close = text.find('"', pos + 1);
        if (close == std::string_view::npos) return std::nullopt;
        const std::string_view value = text.substr(pos + 1, close - pos - 1);
        if (!TextFits(f, value, '\0')) return std::nullopt;
        out.fields.emplace_back(std::string(value));
        pos = close + 1;
        break;
      }
      case FieldKind::kText: {
        const char stop = StopAfter(fields, i);
        std::size_t end = text.size();
        if (!last) {
          end = text.find(stop, pos);
          if (end == std::string_view::npos) return std::nullopt;
        }
        const std::string_view value = text.substr(pos, end - pos);
        if (!TextFits(f, value, stop)) return std::nullopt;
        out.fields.emplace_back(std::string(value));
        pos = end;
        break;
      }
    }
  }
  if (pos != text.size()) return std::nullopt;
  const std::size_t n = out.fields.size();
  switch (spec.rule) {
    case MessageRule::kNoteLength:
      if (out.Number(n - 2) != static_cast<std::int64_t>(out.Text(n - 1).size())) return std::nullopt;
      break;
    case MessageRule::kLineText:
      if (!out.Text(n - 1).ends_with("\r\n")) return std::nullopt;
      break;
    default:
      break;
  }
  return out;
}

void AppendHex(std::string& out, std::int64_t v, int width) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (int shift = 4 * (width - 1); shift >= 0; shift -= 4) out.push_back(kDigits[(v >> shift) & 0xF]);
}

FieldValue N(std::int64_t v) { return FieldValue{v}; }
FieldValue T(std::string_view s) { return FieldValue{std::string(s)}; }

std::optional<std::string> Build(Id id, std::initializer_list<FieldValue> fields, Nul nul = Nul::kAppend) {
  return BuildMessage(id, std::span<const FieldValue>(fields.begin(), fields.size()), nul);
}

// A message without fields.
std::string Plain(Id id) {
  std::string out(SpecOf(id).tag);
  out.push_back('\0');
  return out;
}

std::int64_t Bit(bool b) { return b ? 1 : 0; }

}  // namespace

std::span<const MessageSpec> Catalogue() { return kCatalogue; }

const MessageSpec& SpecOf(MessageId id) {
  const auto i = static_cast<std::size_t>(id);
  return kCatalogue[i < kCatalogue.size() ? i : 0];
}

const MessageSpec* FindMessage(std::string_view tag, Direction direction) {
  for (const MessageSpec& s : kCatalogue)
    if (s.direction == direction && s.tag == tag) return &s;
  return nullptr;
}

std::int64_t ParsedMessage::Number(std::size_t index) const {
  if (index >= fields.size()) return 0;
  const auto* v = std::get_if<std::int64_t>(&fields[index]);
  return v ? *v : 0;
}

std::string_view ParsedMessage::Text(std::size_t index) const {
  if (index >= fields.size()) return {};
  const auto* v = std::get_if<std::string>(&fields[index]);
  return v ? std::string_view(*v) : std::string_view();
}

std::string_view TagOf(std::string_view received) {
  const std::size_t nul = received.find('\0');
  const std::string_view text = nul == std::string_view::npos ? received : received.substr(0, nul);
  if (text.empty() || text.front() != '@') return {};
  std::size_t i = 1;
  while (i < text.size() && IsTagChar(text[i])) ++i;
  if (i == 1) return {};
  if (i < text.size() && text[i] == '@') return text.substr(0, i + 1);
  // The one tag without a closing "@".
  if (text.substr(1, i - 1) == "REPLACEERROR" && (i == text.size() || text[i] == ' ')) return text.substr(0, i);
  return {};
}

std::string_view TagOf(std::span<const std::uint8_t> received) {
  return TagOf(std::string_view(reinterpret_cast<const char*>(received.data()), received.size()));
}

std::optional<ParsedMessage> ParseMessage(std::span<const std::uint8_t> received, Direction direction) {
  const std::size_t limit = MaxMessageBytes(direction);
  if (received.size() > limit) return std::nullopt;
  const std::string_view text = TextOf(received);
  if (text.size() + 1 > limit) return std::nullopt;  // with its NUL it would not fit
  const std::string_view tag = TagOf(text);
  if (tag.empty()) return std::nullopt;
  const MessageSpec* spec = FindMessage(tag, direction);
  if (!spec) return std::nullopt;
  return ParseFields(text, *spec);
}

std::optional<ParsedMessage> ParseMessage(std::string_view received, Direction direction) {
  return ParseMessage(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(received.data()),
                                                    received.size()),
                      direction);
}

std::optional<ParsedMessage> ParseForEditor(std::span<const std::uint8_t> received) {
  if (auto m = ParseMessage(received, Direction::kInfoWindowToEditor)) return m;
  return ParseMessage(received, Direction::kEditorToEditor);
}

std::optional<std::string> BuildMessage(MessageId id, std::span<const FieldValue> values, Nul nul) {
  if (static_cast<std::size_t>(id) >= kCatalogue.size()) return std::nullopt;
  const MessageSpec& spec = SpecOf(id);
  std::size_t expected = spec.fieldCount;
  if (spec.rule == MessageRule::kTextAfterOne && values.size() + 2 > spec.fieldCount) {
    // Without the final text unless the number in front of it is 1.
    const auto* flag = std::get_if<std::int64_t>(&values[spec.fieldCount - 2u]);
    if (flag && *flag != 1) expected = spec.fieldCount - 1u;
  }
  if (values.size() != expected) return std::nullopt;

  const std::span<const FieldSpec> fields = spec.fields();
  std::string out(spec.tag);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const FieldSpec& f = fields[i];
    out.append(f.before);
    if (IsNumberKind(f.kind)) {
      const auto* v = std::get_if<std::int64_t>(&values[i]);
      if (!v || !NumberFits(f, *v)) return std::nullopt;
      if (f.kind == FieldKind::kHex || f.kind == FieldKind::kHexLead)
        AppendHex(out, *v, f.width);
      else
        out.append(std::to_string(*v));
      continue;
    }
    const auto* s = std::get_if<std::string>(&values[i]);
    if (!s || !TextFits(f, *s, StopAfter(fields, i))) return std::nullopt;
    if (f.kind == FieldKind::kQuoted) out.push_back('"');
    out.append(*s);
    if (f.kind == FieldKind::kQuoted) out.push_back('"');
  }

  const std::size_t n = values.size();
  const auto number = [&](std::size_t i) { return std::get<std::int64_t>(values[i]); };
  const auto text = [&](std::size_t i) -> const std::string& { return std::get<std::string>(values[i]); };
  if (spec.rule == MessageRule::kNoteLength && number(n - 2) != static_cast<std::int64_t>(text(n - 1).size()))
    return std::nullopt;
  if (spec.rule == MessageRule::kLineText && !text(n - 1).ends_with("\r\n")) return std::nullopt;

  if (out.size() + 1 > MaxMessageBytes(spec.direction)) return std::nullopt;
  if (nul == Nul::kAppend) out.push_back('\0');
  return out;
}

// ---- editor to info window ----

std::string BuildTestToInfoWindow() { return Plain(Id::kTestToInfoWindow); }
std::string BuildCantOpen() { return Plain(Id::kCantOpen); }
std::optional<std::string> BuildClosedToInfoWindow(int fileNumber) {
  return Build(Id::kClosedToInfoWindow, {N(fileNumber)});
}
std::string BuildCloseOk() { return Plain(Id::kCloseOk); }
std::optional<std::string> BuildActiveToInfoWindow(int instance, std::uint32_t threadId) {
  return Build(Id::kActiveToInfoWindow, {N(instance), N(threadId)});
}
std::optional<std::string> BuildMoveWindowToInfoWindow(const FrameRect& frame, DockSide side) {
  return Build(Id::kMoveWindowToInfoWindow,
               {N(frame.left), N(frame.top), N(frame.right), N(frame.bottom), N(static_cast<int>(side))});
}
std::string BuildHideInfoWindow() { return Plain(Id::kHideInfoWindow); }
std::optional<std::string> BuildMarkJumpFile(int fileNumber, std::string_view path) {
  return Build(Id::kMarkJumpFile, {N(fileNumber), T(path)});
}
std::optional<std::string> BuildChangeEditFile(int charCode, int fileNumber, std::string_view path) {
  return Build(Id::kChangeEditFile, {N(charCode), N(fileNumber), T(path)});
}
std::optional<std::string> BuildAddFileItemToInfoWindow(int charCode, int instance, std::string_view path,
                                                        std::string_view second) {
  return Build(Id::kAddFileItemToInfoWindow, {N(charCode), N(instance), T(path), T(second)});
}
std::optional<std::string> BuildCheckProjectOptions(int charCode, int instance, std::string_view path) {
  return Build(Id::kCheckProjectOptions, {N(charCode), N(instance), T(path)});
}
std::string BuildEditPos() { return Plain(Id::kEditPos); }
std::optional<std::string> BuildSetMarkJumpToInfoWindow(int instance, int fileNumber, int mark,
                                                        std::string_view note) {
  return Build(Id::kSetMarkJumpToInfoWindow,
               {N(instance), N(fileNumber), N(mark), N(static_cast<std::int64_t>(note.size())), T(note)});
}
std::optional<std::string> BuildCheckMarkJumpToInfoWindow(int instance, int fileNumber, int mark,
                                                          std::string_view note) {
  return Build(Id::kCheckMarkJumpToInfoWindow,
               {N(instance), N(fileNumber), N(mark), N(static_cast<std::int64_t>(note.size())), T(note)});
}
std::optional<std::string> BuildCheckEndMarkJump(int fileNumber) {
  return Build(Id::kCheckEndMarkJump, {N(fileNumber)});
}
std::optional<std::string> BuildDeleteMarkJumpToInfoWindow(int fileNumber, int mark) {
  return Build(Id::kDeleteMarkJumpToInfoWindow, {N(fileNumber), N(mark)});
}
std::optional<std::string> BuildSaveMarkJumpData(int instance, int fileNumber, std::string_view path) {
  return Build(Id::kSaveMarkJumpData, {N(instance), N(fileNumber), T(path)});
}
std::optional<std::string> BuildSetSearchDataToInfoWindow(const SearchSettings& s) {
  return Build(Id::kSetSearchDataToInfoWindow,
               {N(s.scope), N(s.options), N(Bit(s.fileFilter)), N(Bit(s.share)), T(s.fileTypes), T(s.text)});
}
std::optional<std::string> BuildSetReplaceDataToInfoWindow(const ReplaceSettings& s) {
  return Build(Id::kSetReplaceDataToInfoWindow,
               {N(s.scope), N(s.options), N(Bit(s.fileFilter)), T(s.fileTypes), T(s.search), T(s.replace)});
}
std::optional<std::string> BuildProjectSearchToInfoWindow(int instance) {
  return Build(Id::kProjectSearchToInfoWindow, {N(instance)});
}
std::optional<std::string> BuildProjectReplaceToInfoWindow(int instance) {
  return Build(Id::kProjectReplaceToInfoWindow, {N(instance)});
}
std::string BuildSearchCancel() { return Plain(Id::kSearchCancel); }
std::string BuildReplaceCancel() { return Plain(Id::kReplaceCancel); }
std::string BuildDisplaySearch() { return Plain(Id::kDisplaySearch); }
std::optional<std::string> BuildSearchFile(bool range, std::string_view path) {
  return Build(Id::kSearchFile, {N(Bit(range)), T(path)});
}
std::optional<std::string> BuildSearchLine(const MatchPlace& match, std::string_view text) {
  static const std::string kTooLong = base::Sjis(u8"マッチデータが長すぎます。\r\n");
  MatchPlace m = match;
  std::string line;
  if (text.size() + kSearchLineReserve >= kSearchLineLimit) {
    line = kTooLong;
    m.lines = 1;
    m.length = 0;
  } else {
    line.assign(text);
    if (!line.ends_with("\r\n")) line.append("\r\n");
  }
  return Build(Id::kSearchLine, {N(m.column), N(m.lines), N(m.length), N(m.line), T(line)});
}
std::optional<std::string> BuildSearchEnd(int count, Nul nul) { return Build(Id::kSearchEnd, {N(count)}, nul); }
std::optional<std::string> BuildReplaceEnd(int count, Nul nul) { return Build(Id::kReplaceEnd, {N(count)}, nul); }
std::optional<std::string> BuildReplaceStop(int count) { return Build(Id::kReplaceStop, {N(count)}); }
std::optional<std::string> BuildReplaceError(int count) { return Build(Id::kReplaceError, {N(count)}); }
std::optional<std::string> BuildTelnetText(int flag, std::string_view text) {
  return Build(Id::kTelnetText, {N(flag), T(text)});
}
std::string BuildDisplayCompile() { return Plain(Id::kDisplayCompile); }
std::string BuildCompileEnd() { return Plain(Id::kCompileEnd); }
std::optional<std::string> BuildReadTagFile(std::string_view path) { return Build(Id::kReadTagFile, {T(path)}); }
std::optional<std::string> BuildRemoteReadTagFile(std::optional<std::string_view> path) {
  if (!path) return Build(Id::kRemoteReadTagFile, {N(0)});
  return Build(Id::kRemoteReadTagFile, {N(1), T(*path)});
}
std::optional<std::string> BuildRemoteCompileStart(int instance, std::string_view command,
                                                   std::string_view arguments) {
  return Build(Id::kRemoteCompileStart, {N(instance), T(command), T(arguments)});
}
std::optional<std::string> BuildTidToInfoWindow(int infoWindow, std::uint32_t threadId) {
  return Build(Id::kTidToInfoWindow, {N(infoWindow), N(threadId)});
}
std::optional<std::string> BuildTidSetOkToInfoWindow(int infoWindow) {
  return Build(Id::kTidSetOkToInfoWindow, {N(infoWindow)});
}
std::optional<std::string> BuildActiveOkToInfoWindow(int instance) {
  return Build(Id::kActiveOkToInfoWindow, {N(instance)});
}
std::string BuildBulkCrlfReturn(bool saved) { return *Build(Id::kBulkCrlfReturn, {N(Bit(saved))}); }
std::string BuildInfoDestroy() { return Plain(Id::kInfoDestroy); }

std::optional<std::string> BuildCompileOutput(std::string_view output) {
  std::string out;
  out.reserve(output.size() + 2);
  for (char c : output)
    if (c != '\0') out.push_back(c);
  if (out.empty()) return std::nullopt;
  if (out.front() == '@') out.insert(out.begin(), '@');
  if (out.size() + 1 > kMaxMessageBytes) return std::nullopt;
  out.push_back('\0');
  return out;
}

std::optional<std::string> ParseCompileOutput(std::span<const std::uint8_t> received) {
  if (received.size() > kMaxMessageBytes) return std::nullopt;
  const std::string_view text = TextOf(received);
  if (text.empty() || text.size() + 1 > kMaxMessageBytes) return std::nullopt;
  if (text.front() != '@') return std::string(text);
  if (text.starts_with("@@")) return std::string(text.substr(1));
  return std::nullopt;  // a message
}

std::optional<std::string> ParseCompileOutput(std::string_view received) {
  return ParseCompileOutput(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(received.data()), received.size()));
}

// ---- info window to editor ----

std::string BuildTestToEditor() { return Plain(Id::kTestToEditor); }
std::string BuildDeadUnlock() { return Plain(Id::kDeadUnlock); }
std::optional<std::string> BuildClosedToEditor(int mode) { return Build(Id::kClosedToEditor, {N(mode)}); }
std::string BuildSave() { return Plain(Id::kSave); }
std::optional<std::string> BuildActiveToEditor(const TagJump& j) {
  return Build(Id::kActiveToEditor,
               {N(j.line), N(j.column), N(j.length), N(j.threadId), N(j.infoWindow), T(j.text)});
}
std::optional<std::string> BuildExecMarkJump(int mark, std::uint32_t threadId, int infoWindow) {
  return Build(Id::kExecMarkJump, {N(mark), N(threadId), N(infoWindow)});
}
std::optional<std::string> BuildTidToEditor(int infoWindow, std::uint32_t threadId) {
  return Build(Id::kTidToEditor, {N(infoWindow), N(threadId)});
}
std::string BuildTidSetOkToEditor() { return Plain(Id::kTidSetOkToEditor); }
std::string BuildActiveOkToEditor() { return Plain(Id::kActiveOkToEditor); }
std::string BuildSetMarkJumpResult(bool ok) { return *Build(Id::kSetMarkJumpResult, {N(Bit(ok))}); }
std::string BuildCheckMarkJumpResult(bool ok) { return *Build(Id::kCheckMarkJumpResult, {N(Bit(ok))}); }
std::string BuildSaveMarkJumpDataOk() { return Plain(Id::kSaveMarkJumpDataOk); }
std::optional<std::string> BuildDeleteMarkJumpToEditor(int mark) {
  return Build(Id::kDeleteMarkJumpToEditor, {N(mark)});
}
std::optional<std::string> BuildAddFileItemReturn(int fileNumber) {
  return Build(Id::kAddFileItemReturn, {N(fileNumber)});
}
std::string BuildDeleteFileItem() { return Plain(Id::kDeleteFileItem); }
std::optional<std::string> BuildAddFileItemToEditor(int infoWindow) {
  return Build(Id::kAddFileItemToEditor, {N(infoWindow)});
}
std::optional<std::string> BuildMoveWindowToEditor(const FrameRect& frame, DockSide side) {
  return Build(Id::kMoveWindowToEditor,
               {N(frame.left), N(frame.top), N(frame.right), N(frame.bottom), N(static_cast<int>(side))});
}
std::optional<std::string> BuildProjectSearchToEditor(int infoWindow, int options, std::string_view searchData) {
  return Build(Id::kProjectSearchToEditor, {N(infoWindow), N(options), T(searchData)});
}
std::optional<std::string> BuildProjectReplaceToEditor(int infoWindow, int flags, std::string_view search,
                                                       std::string_view replace) {
  return Build(Id::kProjectReplaceToEditor, {N(infoWindow), N(flags), T(search), T(replace)});
}
std::string BuildProjectSearchEnd() { return Plain(Id::kProjectSearchEnd); }
std::string BuildProjectReplaceEnd() { return Plain(Id::kProjectReplaceEnd); }
std::optional<std::string> BuildRemoteCompileEnd(int code) { return Build(Id::kRemoteCompileEnd, {N(code)}); }
std::string BuildBackgroundViewEnter() { return Plain(Id::kBackgroundViewEnter); }
std::string BuildBackgroundViewLeave() { return Plain(Id::kBackgroundViewLeave); }
std::optional<std::string> BuildBulkCrlf(int replyTo, int charCode, int lineEnd) {
  return Build(Id::kBulkCrlf, {N(replyTo), N(charCode), N(lineEnd)});
}

// ---- editor to editor ----

std::string BuildTestToOtherEditor() { return Plain(Id::kTestToOtherEditor); }
std::optional<std::string> BuildInstanceActive(std::uint32_t threadId, int senderInstance) {
  return Build(Id::kInstanceActive, {N(threadId), N(senderInstance)});
}
std::optional<std::string> BuildTidInstance(int instance, std::uint32_t threadId) {
  return Build(Id::kTidInstance, {N(instance), N(threadId)});
}
std::string BuildTidSetOkToOtherEditor() { return Plain(Id::kTidSetOkToOtherEditor); }
std::string BuildActiveOkToOtherEditor() { return Plain(Id::kActiveOkToOtherEditor); }
std::optional<std::string> BuildAutoSave(int instance) { return Build(Id::kAutoSave, {N(instance)}); }
std::string BuildAutoSaveAnswer(bool ok) { return *Build(Id::kAutoSaveAnswer, {N(Bit(ok))}); }
std::string BuildRedraw(bool reloadColouring) { return *Build(Id::kRedraw, {N(Bit(reloadColouring))}); }
std::string BuildAutoSetAreaSel() { return Plain(Id::kAutoSetAreaSel); }
std::string BuildKeyCustom() { return Plain(Id::kKeyCustom); }
std::string BuildWindowMenu() { return Plain(Id::kWindowMenu); }
std::string BuildCreateIsData() { return Plain(Id::kCreateIsData); }
std::optional<std::string> BuildCompileData(const CompileSettingsData& d) {
  return Build(Id::kCompileData,
               {N(d.flags), T(d.environment), T(d.compiler), T(d.arguments), T(d.tagFile), T(d.extensions)});
}
std::optional<std::string> BuildSetSearchDataToOtherEditor(const SearchSettings& s) {
  return Build(Id::kSetSearchDataToOtherEditor,
               {N(s.scope), N(s.options), N(Bit(s.fileFilter)), N(Bit(s.share)), T(s.fileTypes), T(s.text)});
}
std::optional<std::string> BuildSetReplaceDataToOtherEditor(const ReplaceSettings& s) {
  return Build(Id::kSetReplaceDataToOtherEditor, {N(Bit(s.confirm)), N(s.scope), N(s.options), N(Bit(s.fileFilter)),
                                                  T(s.fileTypes), T(s.search), T(s.replace)});
}

}  // namespace gorvane::ipc
