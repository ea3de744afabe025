// The editor's search: the search string and its history, the option
// buttons, the searches down and up from the caret in every way of matching,
// the search string taken from the text, the search dialog and the settings
// shared with the other editors.
#include <algorithm>
#include <cstdio>

#include "charcode/class_tables.h"
#include "companions/qorvetc/search_text.h"
#include "document/caret_moves.h"
#include "document/delimiters.h"
#include "search/automaton.h"
#include "search/finder.h"
#include "shell/editor.h"

namespace gorvane::shell {

namespace cm = gorvane::commands;
namespace qv = gorvane::qorvetc;
namespace se = gorvane::search;
using doc::CaretCol;
using doc::LineNo;
using doc::SelCol;
using doc::TextPos;

namespace {

constexpr std::u8string_view kNotFound = u8"検索文字列が見つかりませんでした。";
constexpr std::u8string_view kNoSearchString = u8"検索文字列が設定されていません。";
constexpr std::u8string_view kNoRegexMatch = u8"マッチする文字列は見つかりませんでした。";
constexpr std::u8string_view kRegexUpward = u8"正規表現検索は上方向検索できません。";
constexpr std::u8string_view kRegexFailed = u8"正規表現検索でエラーが発生しました。";
constexpr std::u8string_view kRegexTimeout = u8"正規表現検索タイムアウトエラー";
constexpr std::u8string_view kFileMode = u8"ﾌｧｲﾙ内検索ﾓｰﾄﾞに変更しました";
constexpr std::u8string_view kRangeMode = u8"範内検索ﾓｰﾄﾞに変更しました";
constexpr std::u8string_view kSearchStringIs = u8"検索文字列 = ";
constexpr std::u8string_view kNoSelection = u8"選択されている文字列がありません";
constexpr std::u8string_view kCannotSet = u8"検索文字列として設定できません。";
constexpr std::u8string_view kNoWord = u8"検索文字列に設定できる文字列がありません。";

std::int32_t Size(std::string_view s) { return static_cast<std::int32_t>(s.size()); }

constexpr std::size_t kMaxFileTypes = 48;  // bytes of the file-type list of a search in files

std::int32_t TextSize(std::string_view line) { return Size(doc::LineText(line)); }

// The bytes of the character at i, and its code (a byte, or lead * 256 + trail).
std::pair<std::size_t, std::uint16_t> CharAt(std::string_view text, std::size_t i) {
  const auto b = static_cast<std::uint8_t>(text[i]);
  if (charcode::SjisCharBytes(text, i, text.size()) == 2)
    return {2, static_cast<std::uint16_t>(b << 8 | static_cast<std::uint8_t>(text[i + 1]))};
  return {1, b};
}

}  // namespace

// ---- the search string ------------------------------------------------------------------------

void Editor::PutSearchFirst(const se::SearchEntry& entry) {
  se::PutFirst(strings_, entry);
  strings_.committed = 1;
  barText_.assign(se::TextOf(strings_.history[0]));
  buttons_ = strings_.history[0].options;
}

// Before every search: the pending entry, or what the combo holds, goes to
// the front of the history. False when there is no search string.
bool Editor::CommitSearch() {
  const std::string_view first = se::TextOf(strings_.history[0]);
  if (strings_.committed == 0 && barText_ == first) {
    se::SearchEntry e = strings_.pending;
    e.options = buttons_;
    PutSearchFirst(e);
  } else if (!barText_.empty()) {
    PutSearchFirst(se::MakeEntry(barText_, buttons_));
  }
  strings_.history[0].options = buttons_;
  return strings_.history[0].length != 0;
}

Effects Editor::EditSearchText(std::string_view sjis) {
  barText_.assign(se::CutAtCharacter(sjis, se::kMaxEntryText));
  return {};
}

Effects Editor::ChooseSearchItem(int index) {
  if (index < 0 || index >= se::HistoryCount(strings_)) return {};
  const se::SearchEntry chosen = strings_.history[static_cast<std::size_t>(index)];  // a copy: the history moves
  PutSearchFirst(chosen);
  return Effects{Effects::kSearchBar};
}

void Editor::RebuildDelimiters() {
  if (!delimiters_) {
    delimiters_ = std::make_unique<std::array<std::uint8_t, 65536>>();
    std::copy_n(doc::DelimiterTable::Default().data(), 65536, delimiters_->data());
  }
  const SearchPrefs prefs = searchPrefs_ ? searchPrefs_() : SearchPrefs{};
  qv::BuildSearchDelimiters(*delimiters_, prefs.halfWidthDelimiters, prefs.fullWidthDelimiters);
}

// The lines a search from a line may look at: the whole document, or in
// range mode the range that holds the line (its range-setting line down to
// the line before the next one).
std::pair<LineNo, LineNo> Editor::SearchSpan(LineNo from) {
  LineNo first(1), last(lineCount());
  if (searchMode_ == 1) {
    if (store_.RangeIndex(from) == 0) {
      if (const auto above = store_.NextMarkedLine(from, -1, doc::MarkKind::Range)) first = *above;
    } else {
      first = from;
    }
    if (const auto below = store_.NextMarkedLine(from, 1, doc::MarkKind::Range)) last = *below - 1;
  }
  return {first, last};
}

Effects Editor::ShowHit(LineNo line, std::int32_t offset, std::int32_t length, bool upward) {
  Effects fx = CancelSelection();
  // The hit's far end first, then its start, so that the whole hit is in view.
  const CaretCol start(offset + 1), end(offset + length + 1);
  fx |= SetCaret(active_, line, upward ? start : end);
  fx |= SetCaret(active_, line, upward ? end : start);
  fx |= SelectBytes(line, SelCol(offset), line, SelCol(offset + length - 1));
  fx.bits |= Effects::kModified;  // the tool bar's enable state
  return fx;
}

// ---- searching ----------------------------------------------------------------------------------

Effects Editor::SearchDown() {
  host_.ShowStatus("");
  Effects fx = ClampPane(active_);
  const bool hadSelection = selection_.exists;
  if (selection_.exists) {
    auto [from, to] = SelectionRange();
    // A selection that runs into the line end leaves the caret before the CR LF.
    if (to.line > from.line && to.column == CaretCol(1))
      to = {to.line - 1, CaretCol(TextSize(Line(to.line - 1)) + 1)};
    fx |= CancelSelection();
    fx |= SetCaret(active_, to.line, to.column);
  }
  const bool committed = CommitSearch();
  fx.bits |= Effects::kSearchBar;
  if (!committed) return fx |= Beeped(kNoSearchString);
  RebuildDelimiters();
  const se::SearchEntry& entry = strings_.history[0];
  const std::uint8_t options = se::Effective(entry.options);
  if (options & se::kRegex) return fx |= RegexDown(hadSelection);
  const TextPos caret = panes_[active_].caret;
  se::Finder finder(se::TextOf(entry), options, delimiters_->data(), false);
  const auto hit = finder.Down(lines_, caret, SearchSpan(caret.line).second);
  if (!hit) {
    fx |= Beeped(kNotFound);
    return fx |= Effects::RepaintAll();
  }
  return fx |= ShowHit(hit->line, hit->offset, hit->length, false);
}

Effects Editor::SearchUp() {
  host_.ShowStatus("");
  Effects fx = ClampPane(active_);
  const TextPos before = panes_[active_].caret;
  const bool hadSelection = selection_.exists;
  if (selection_.exists) {
    const auto [from, to] = SelectionRange();
    fx |= CancelSelection();
    fx |= SetCaret(active_, from.line, from.column);
  }
  const bool committed = CommitSearch();
  fx.bits |= Effects::kSearchBar;
  if (!committed) return fx |= Beeped(kNoSearchString);
  const se::SearchEntry& entry = strings_.history[0];
  const std::uint8_t options = se::Effective(entry.options);
  if (options & se::kRegex) return fx |= Beeped(kRegexUpward);
  RebuildDelimiters();
  const TextPos caret = panes_[active_].caret;
  se::Finder finder(se::TextOf(entry), options, delimiters_->data(), true);
  const auto hit = finder.Up(lines_, caret, SearchSpan(caret.line).first);
  if (!hit) {
    fx |= Beeped(kNotFound);
    if (hadSelection) fx |= SetCaret(active_, before.line, before.column);
    return fx |= Effects::RepaintAll();
  }
  return fx |= ShowHit(hit->line, hit->offset, hit->length, true);
}

Effects Editor::RegexDown(bool hadSelection) {
  Effects fx;
  const se::SearchEntry& entry = strings_.history[0];
  const SearchPrefs prefs = searchPrefs_ ? searchPrefs_() : SearchPrefs{};
  se::AutomatonSettings settings;
  settings.timeoutSeconds = prefs.regexTimeoutSeconds;
  settings.delimiters = delimiters_->data();
  se::RegexError error;
  auto automaton = se::InitAndCreateAutomaton(se::TextOf(entry), (entry.options & se::kCase) ? -1 : 0, settings, &error);
  if (!automaton) {
    host_.ShowStatus(error.message);
    host_.Beep();
    return fx;
  }
  const TextPos caret = panes_[active_].caret;
  // A search without a selection may match at the caret, unless the last one
  // matched empty right there: then it moves on.
  if (!hadSelection) regexStartInclusive_ = !(emptyMatchAt_ && *emptyMatchAt_ == caret);
  se::RegexSelection found;
  const int r = se::RegularExpression(
      *automaton, lines_, caret.column, caret.line, regexStartInclusive_, searchMode_ == 1,
      [this](LineNo l) { return store_.RangeIndex(l) != 0; }, &found, &error);
  se::FreeAutomaton(automaton);
  emptyMatchAt_.reset();
  // After a non-empty match the next search may begin at its end; after an
  // empty one it must not match empty at the same place again.
  regexStartInclusive_ = (found.flags & se::kRegexGoesOn) != 0;
  if (r <= 0) {
    Status(host_, error.kind == se::kRegexTimeout ? kRegexTimeout : kRegexFailed);
    host_.Beep();
    return fx;
  }
  const doc::Selection& s = found.selection;
  if (found.flags & se::kRegexEmpty) {
    fx |= SetCaret(active_, s.anchorLine, CaretCol(s.anchorCol.value + 1));
    emptyMatchAt_ = panes_[active_].caret;
    return fx;
  }
  if (found.flags & se::kRegexFound) {
    const std::string first = Line(s.anchorLine);
    const std::int32_t endOnFirst =
        s.otherLine == s.anchorLine ? s.otherCol.value + 2 : TextSize(first) + 1;
    fx |= SetCaret(active_, s.anchorLine, CaretCol(std::min(endOnFirst, kMaxCaretColumn)));
    fx |= SetCaret(active_, s.anchorLine, CaretCol(s.anchorCol.value + 1));
    fx |= SelectBytes(s.anchorLine, s.anchorCol, s.otherLine, s.otherCol);
    fx.bits |= Effects::kModified;
    return fx;
  }
  return fx |= Beeped(kNoRegexMatch);
}

Effects Editor::SearchModeToggle() {
  searchMode_ = searchMode_ == 0 ? 1 : 0;
  Status(host_, searchMode_ == 0 ? kFileMode : kRangeMode);
  return {};
}

Effects Editor::Toggle(int bit) {
  buttons_ ^= static_cast<std::uint8_t>(1u << bit);
  strings_.history[0].options = buttons_;
  return Effects{Effects::kSearchBar};
}

// ---- the search string from the text ---------------------------------------------------------

Effects Editor::SetPending(std::string_view text, Effects fx) {
  se::SearchEntry e = se::MakeEntry(text, buttons_);
  strings_.pending = e;
  strings_.committed = 0;
  // The combo shows its first item again, so that the next search takes the
  // pending string.
  barText_.assign(se::TextOf(strings_.history[0]));
  std::string shown(text);
  std::replace(shown.begin(), shown.end(), '\t', ' ');
  host_.ShowStatus(base::Sjis(kSearchStringIs) + shown);
  fx.bits |= Effects::kSearchBar;
  return fx;
}

// The selection's first line from its start column to its end column (one
// line) or to the line end, without the line end, at most 256 bytes.
std::string Editor::SelectedSearchText() {
  const doc::Selection s = selection_.Normalised();
  const std::string line = Line(s.anchorLine);
  const std::string_view text = doc::LineText(line);
  const auto from = static_cast<std::size_t>(std::clamp(s.anchorCol.value, 0, Size(text)));
  const std::size_t to = s.otherLine == s.anchorLine
                             ? static_cast<std::size_t>(std::clamp(s.otherCol.value + 1, 0, Size(text)))
                             : text.size();
  return std::string(se::CutAtCharacter(text.substr(from, std::max(to, from) - from), se::kMaxSetText));
}

Effects Editor::SearchSelectionSet() {
  if (!selection_.exists) return Beeped(kNoSelection);
  const std::string taken = SelectedSearchText();
  if (taken.empty()) return Beeped(kCannotSet);
  wordSetEnd_.reset();
  return SetPending(taken, {});
}

Effects Editor::SearchWordSet() {
  Effects fx;
  if (selection_.exists) {
    const auto [from, to] = SelectionRange();
    fx |= CancelSelection();
    wordSetEnd_.reset();
    return fx |= SetCaret(active_, from.line, from.column);
  }
  // Again while its word is still pending: the next word is added to it.
  const bool grow = wordSetEnd_ && strings_.committed == 0;
  const TextPos at = grow ? *wordSetEnd_ : panes_[active_].caret;
  const std::string line = Line(at.line);
  const std::string_view text = doc::LineText(line);
  const auto start = static_cast<std::size_t>(at.column.value - 1);
  if (start >= text.size()) return Beeped(kNoWord);
  const std::uint8_t* table = [this] {
    RebuildDelimiters();
    return delimiters_->data();
  }();
  auto delimiter = [&](std::size_t bytes, std::uint16_t c) {
    return bytes == 1 ? (table[c] & qv::kHalfWidthDelimiter) != 0 : (table[c] & qv::kFullWidthDelimiter) != 0;
  };
  const auto [firstBytes, firstChar] = CharAt(text, start);
  std::size_t end = start + firstBytes;
  if (!delimiter(firstBytes, firstChar)) {
    const int cls = qv::WordClass(firstChar);
    while (end < text.size()) {
      const auto [bytes, c] = CharAt(text, end);
      if (bytes != firstBytes || delimiter(bytes, c) || qv::WordClass(c) != cls) break;
      end += bytes;
    }
  }
  std::string word = grow ? std::string(se::TextOf(strings_.pending)) : std::string();
  const std::size_t room = se::kMaxSetText > word.size() ? se::kMaxSetText - word.size() : 0;
  const std::string_view added = se::CutAtCharacter(text.substr(start, end - start), room);
  if (added.empty() && word.empty()) return Beeped(kNoWord);
  word.append(added);
  wordSetEnd_ = TextPos{at.line, CaretCol(static_cast<std::int32_t>(start + added.size()) + 1)};
  return SetPending(word, fx);
}

// ---- the dialog and the other editors --------------------------------------------------------

Effects Editor::SearchDialog() {
  if (searchDialogOpen_) return {};
  std::string text = barText_;
  if (selection_.exists) text = SelectedSearchText();
  // A text of the history takes the options of the front entry, any other the
  // buttons' state.
  std::uint8_t options = buttons_;
  for (int i = 0; i < se::HistoryCount(strings_); ++i)
    if (se::TextOf(strings_.history[static_cast<std::size_t>(i)]) == text) options = strings_.history[0].options;
  searchDialogOpen_ = true;
  std::vector<std::string> fields{text, std::to_string(options), std::to_string(dialogScope_),
                                  shareSearch_ ? "1" : "0"};
  dialogs_.Open(DialogKind::Search, std::move(fields), [this](bool ok, std::vector<std::string> got) {
    searchDialogOpen_ = false;
    if (ok) Late(ApplySearchDialog(std::move(got)));
  });
  return {};
}

Effects Editor::ApplySearchDialog(std::vector<std::string> fields) {
  fields.resize(4);
  const std::string_view text = se::CutAtCharacter(fields[0], se::kMaxSetText);
  if (text.empty()) {
    Tell(host_, kNoSearchString, BoxIcon::Warning);
    // The dialog stays with the person.
    SearchDialog();
    return {};
  }
  auto number = [](const std::string& f, int fallback) {
    int v = fallback;
    if (std::sscanf(f.c_str(), "%d", &v) != 1) return fallback;
    return v;
  };
  const auto options = static_cast<std::uint8_t>(number(fields[1], buttons_) & 0x7F);
  dialogScope_ = std::clamp(number(fields[2], 0), 0, 2);
  shareSearch_ = number(fields[3], 0) != 0;
  searchMode_ = dialogScope_ == 1 ? 1 : 0;
  buttons_ = options;
  PutSearchFirst(se::MakeEntry(text, options));
  host_.ShowStatus(base::Sjis(kSearchStringIs) + std::string(text));
  if (sharing_ != nullptr) {
    ipc::SearchSettings out;
    out.scope = dialogScope_;
    out.options = options;
    out.share = shareSearch_;
    out.text.assign(text);
    out.fileTypes = searchFileTypes_;
    sharing_->ShareSearch(out, shareSearch_);
  }
  return Effects{Effects::kSearchBar};
}

Effects Editor::SearchSettingsReceived(const ipc::SearchSettings& settings) {
  // What another process sends is held to the limits before use.
  const std::string_view text = se::CutAtCharacter(settings.text, se::kMaxEntryText);
  if (text.empty()) return {};
  dialogScope_ = std::clamp(settings.scope, 0, 2);
  searchMode_ = dialogScope_ == 1 ? 1 : 0;
  shareSearch_ = settings.share;
  searchFileTypes_.assign(se::CutAtCharacter(settings.fileTypes, kMaxFileTypes));
  buttons_ = static_cast<std::uint8_t>(settings.options & 0x7F);
  PutSearchFirst(se::MakeEntry(text, buttons_));
  return Effects{Effects::kSearchBar};
}

}  // namespace gorvane::shell
