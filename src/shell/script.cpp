#include "shell/script.h"

#include "charcode/sjis_case.h"

#include <charconv>
#include <cstdio>

namespace gorvane::shell {

namespace cm = gorvane::commands;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Words separated by blanks; "..." keeps blanks and may be empty.
bool Words(std::string_view s, std::vector<std::string>* out) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    std::string w;
    if (s[i] == '"') {
      const std::size_t end = s.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      w = std::string(s.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      const std::size_t end = s.find_first_of(" \t", i);
      w = std::string(s.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
      i = end == std::string_view::npos ? s.size() : end;
    }
    out->push_back(std::move(w));
  }
  return true;
}

bool Number(std::string_view s, std::int32_t* v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool KeyName(std::string_view name, std::uint8_t* vk) {
  struct Named {
    std::string_view name;
    std::uint8_t vk;
  };
  static constexpr Named kNames[] = {
      {"Left", 0x25},   {"Right", 0x27},    {"Up", 0x26},        {"Down", 0x28},   {"Home", 0x24},
      {"End", 0x23},    {"PageUp", 0x21},   {"PageDown", 0x22},  {"Enter", 0x0d},  {"Tab", 0x09},
      {"Backspace", 0x08}, {"Delete", 0x2e}, {"Escape", 0x1b},   {"Insert", 0x2d},
  };
  for (const Named& n : kNames)
    if (n.name == name) return *vk = n.vk, true;
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
    std::int32_t f = 0;
    if (Number(name.substr(1), &f) && f >= 1 && f <= 12) return *vk = static_cast<std::uint8_t>(0x70 + f - 1), true;
  }
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'a' && c <= 'z') return *vk = static_cast<std::uint8_t>(c - 'a' + 'A'), true;
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return *vk = static_cast<std::uint8_t>(c), true;
  }
  return false;
}

bool ParseKey(std::string_view spec, ScriptStep* step) {
  while (true) {
    const std::size_t plus = spec.find('+');
    if (plus == std::string_view::npos || plus + 1 >= spec.size()) break;
    const std::string_view mod = spec.substr(0, plus);
    if (mod == "Ctrl") step->key.ctrl = true;
    else if (mod == "Shift") step->key.shift = true;
    else if (mod == "Alt") step->alt = true;
    else return false;
    spec.remove_prefix(plus + 1);
  }
  return KeyName(spec, &step->key.vk);
}

std::string Printable(std::string_view utf8) {
  std::string s;
  for (char c : utf8) {
    if (c == '\r') s += "\\r";
    else if (c == '\n') s += "\\n";
    else s += c;
  }
  return s;
}

std::string Unescaped(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string SjisOf(std::string_view utf8) {
  return Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string_view Unquoted(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// The character a translated key-down gives, or 0.
std::uint8_t CharOfKey(const KeyPress& k) {
  switch (k.vk) {
    case 0x0d: return k.ctrl ? 10 : 13;
    case 0x09: return k.ctrl ? 0 : 9;
    case 0x08: return 8;
    case 0x1b: return 27;
    default: break;
  }
  if (k.ctrl) return 0;
  if (k.vk >= 'A' && k.vk <= 'Z') return static_cast<std::uint8_t>(k.shift ? k.vk : k.vk - 'A' + 'a');
  if (k.vk >= '0' && k.vk <= '9' && !k.shift) return k.vk;
  return 0;
}

std::string_view AnswerName(BoxAnswer a) {
  switch (a) {
    case BoxAnswer::Ok: return "ok";
    case BoxAnswer::Cancel: return "cancel";
    case BoxAnswer::Yes: return "yes";
    case BoxAnswer::No: return "no";
  }
  return "ok";
}

}  // namespace

bool ParseScript(std::string_view text, std::vector<ScriptStep>* steps, ScriptError* error, int firstLine) {
  int number = firstLine - 1;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++number;
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t space = line.find_first_of(" \t");
    const std::string_view word = line.substr(0, space);
    std::string_view rest = space == std::string_view::npos ? std::string_view() : Trim(line.substr(space));
    ScriptStep step;
    step.line = number;
    auto fail = [&](std::string message) {
      *error = ScriptError{number, std::move(message)};
      return false;
    };
    auto positions = [&](int wanted) {
      std::vector<std::string> w;
      if (!Words(rest, &w) || static_cast<int>(w.size()) != wanted) return false;
      if (!Number(w[0], &step.a)) return false;
      return wanted < 2 || Number(w[1], &step.b);
    };
    // A trailing comment after a step that takes no free text.
    if (word != "input" && word != "type" && word != "ime" && word != "clipboard" && word != "searchtext") {
      if (const std::size_t hash = rest.find(" #"); hash != std::string_view::npos) rest = Trim(rest.substr(0, hash));
      if (!rest.empty() && rest.front() == '#') rest = {};
    }
    if (word == "key") {
      step.kind = ScriptStep::Kind::Key;
      if (!ParseKey(rest, &step)) return fail("unknown key '" + std::string(rest) + "'");
    } else if (word == "type" || word == "ime") {
      step.kind = word == "type" ? ScriptStep::Kind::Type : ScriptStep::Kind::Ime;
      if (rest.empty()) return fail(std::string(word) + " needs a text");
      step.fields.push_back(SjisOf(Unquoted(rest)));
    } else if (word == "searchtext") {
      step.kind = ScriptStep::Kind::SearchText;
      step.fields.push_back(SjisOf(Unquoted(rest)));
    } else if (word == "searchitem") {
      step.kind = ScriptStep::Kind::SearchItem;
      if (!positions(1)) return fail("searchitem needs an item number");
    } else if (word == "searchreport") {
      step.kind = ScriptStep::Kind::SearchReport;
      if (!rest.empty()) return fail("searchreport takes nothing");
    } else if (word == "clipboard") {
      step.kind = ScriptStep::Kind::Clipboard;
      step.on = rest != "none" && rest != "fail";
      if (rest == "fail") step.a = 1;
      if (step.on) step.fields.push_back(SjisOf(Unescaped(Unquoted(rest))));
    } else if (word == "clearundo" || word == "save" || word == "report") {
      step.kind = word == "clearundo" ? ScriptStep::Kind::ClearUndo
                  : word == "save"    ? ScriptStep::Kind::Save
                                      : ScriptStep::Kind::Report;
      if (!rest.empty()) return fail(std::string(word) + " takes nothing");
    } else if (word == "writeprotect" || word == "autoindent") {
      step.kind = word == "writeprotect" ? ScriptStep::Kind::WriteProtect : ScriptStep::Kind::AutoIndent;
      if (rest != "on" && rest != "off") return fail(std::string(word) + " needs on or off");
      step.on = rest == "on";
    } else if (word == "undobuffer") {
      step.kind = ScriptStep::Kind::UndoBuffer;
      if (!positions(1) || step.a < 1) return fail("undobuffer needs a size in bytes");
    } else if (word == "caret" || word == "drag" || word == "shiftclick" || word == "dblclick") {
      step.kind = word == "caret" ? ScriptStep::Kind::Click
                  : word == "drag" ? ScriptStep::Kind::Drag
                  : word == "shiftclick" ? ScriptStep::Kind::ShiftClick
                                         : ScriptStep::Kind::DoubleClick;
      if (!positions(2)) return fail(std::string(word) + " needs LINE COLUMN");
    } else if (word == "lineclick" || word == "linedrag" || word == "pane") {
      step.kind = word == "lineclick" ? ScriptStep::Kind::LineClick
                  : word == "linedrag" ? ScriptStep::Kind::LineDrag
                                       : ScriptStep::Kind::Pane;
      if (!positions(1)) return fail(std::string(word) + (word == "pane" ? " needs 0 or 1" : " needs LINE"));
      if (step.kind == ScriptStep::Kind::Pane && step.a != 0 && step.a != 1) return fail("pane needs 0 or 1");
    } else if (word == "input") {
      step.kind = ScriptStep::Kind::Input;
      std::vector<std::string> w;
      if (!Words(rest, &w)) return fail("input: a quote is not closed");
      for (const std::string& f : w) step.fields.push_back(Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(f.data()), f.size())));
    } else if (word == "answer") {
      step.kind = ScriptStep::Kind::Answer;
      if (rest == "ok") step.answer = BoxAnswer::Ok;
      else if (rest == "cancel") step.answer = BoxAnswer::Cancel;
      else if (rest == "yes") step.answer = BoxAnswer::Yes;
      else if (rest == "no") step.answer = BoxAnswer::No;
      else return fail("answer needs ok, cancel, yes or no");
    } else {
      step.kind = ScriptStep::Kind::Command;
      step.code = cm::FindCommand(word);
      if (step.code == cm::kNoCommand || !rest.empty()) return fail("unknown step '" + std::string(line) + "'");
    }
    steps->push_back(std::move(step));
  }
  return true;
}

BoxAnswer ScriptWorld::ShowMessageBox(const MessageBoxRequest& box) {
  BoxAnswer a = box.buttons == BoxButtons::YesNo || box.buttons == BoxButtons::YesNoCancel ? BoxAnswer::Yes : BoxAnswer::Ok;
  if (!answers.empty()) {
    a = answers.front();
    answers.pop_front();
  }
  transcript.push_back("box: " + Printable(Utf8(box.caption)) + " | " + Printable(Utf8(box.text)) + " -> " +
                       std::string(AnswerName(a)));
  return a;
}

void ScriptWorld::ShowStatus(std::string_view text) { transcript.push_back("status: " + Printable(Utf8(text))); }

void ScriptWorld::Beep() { transcript.push_back("beep"); }

Clipboard::Result ScriptWorld::Write(std::string_view sjis) {
  if (clipboardFails) return Result::Failed;
  clipboardText = std::string(sjis);
  transcript.push_back("clipboard: " + Printable(Utf8(sjis)));
  return Result::Ok;
}

bool ScriptWorld::Empty() {
  if (clipboardFails) return false;
  clipboardText.reset();
  transcript.push_back("clipboard: (empty)");
  return true;
}

std::optional<Clipboard::Text> ScriptWorld::Read() {
  if (!clipboardText) return std::nullopt;
  return Text{*clipboardText, clipboardLossy};
}

bool ScriptWorld::Ask(DialogKind, std::vector<std::string>& fields) {
  if (inputs.empty()) return false;  // nobody fills it in: Cancel
  std::vector<std::string> given = std::move(inputs.front());
  inputs.pop_front();
  for (std::size_t i = 0; i < fields.size() && i < given.size(); ++i) fields[i] = given[i];
  return true;
}

void ScriptWorld::Register(std::uint8_t mark, std::string_view name, std::function<void(bool)> done) {
  if (acceptBookmarks) registered.emplace_back(mark, std::string(name));
  done(acceptBookmarks);
}

void ScriptWorld::Unregister(std::uint8_t mark) {
  std::erase_if(registered, [mark](const auto& r) { return r.first == mark; });
}

void SetScriptView(Editor& editor) {
  const int width = editor.leftMargin() + 120 * std::max(1, editor.metrics().columnWidth);
  editor.Resize(0, 40, width);
  editor.Resize(1, 40, width);
}

void PlayScript(Editor& editor, ScriptWorld& world, const std::vector<ScriptStep>& steps) {
  using K = ScriptStep::Kind;
  bool timer = false;
  auto apply = [&](const Effects& fx) {
    if (fx.bracketTimer == Effects::Timer::Start) timer = true;
    else if (fx.bracketTimer == Effects::Timer::Stop) timer = false;
  };
  editor.SetLateEffects(apply);
  editor.SetClipboard(&world);
  auto pos = [](const ScriptStep& s) { return document::TextPos{document::LineNo(s.a), document::CaretCol(s.b)}; };
  for (const ScriptStep& s : steps) {
    if (editor.dragging() && s.kind != K::Drag && s.kind != K::LineDrag) apply(editor.Release());
    const int p = editor.activePane();
    switch (s.kind) {
      case K::Command: apply(editor.Run(s.code, CommandSource::Menu)); break;
      case K::Key:
        if (s.alt) break;
        apply(editor.KeyDown(s.key));
        // An unbound key also gives its character, as the window's message loop translates it.
        if (editor.TranslatesKey(s.key))
          if (const std::uint8_t c = CharOfKey(s.key)) apply(editor.TypeChar(c));
        break;
      case K::Type: {
        // One character at a time, as a person types.
        const std::string& t = s.fields[0];
        for (std::size_t i = 0; i < t.size();) {
          const std::size_t n = charcode::IsSjisLead(static_cast<std::uint8_t>(t[i])) && i + 1 < t.size() ? 2 : 1;
          apply(editor.TypeText(std::string_view(t).substr(i, n)));
          i += n;
        }
        break;
      }
      case K::Ime: apply(editor.TypeText(s.fields[0])); break;
      case K::Clipboard:
        world.clipboardFails = s.a == 1;
        if (s.on) world.clipboardText = s.fields[0];
        else world.clipboardText.reset();
        break;
      case K::ClearUndo: apply(editor.ClearUndoCommand()); break;
      case K::Save: editor.MarkSaved(); break;
      case K::WriteProtect: editor.SetWriteProtected(s.on); break;
      case K::AutoIndent: editor.SetAutoIndent(s.on); break;
      case K::UndoBuffer: editor.StartUndo(static_cast<std::uint32_t>(s.a)); break;
      case K::Report: {
        const document::UndoBuffer& u = editor.undo();
        char buf[160];
        std::snprintf(buf, sizeof buf, "undo: %s undo=%u redo=%u used=%u ring=%zu %s", u.Indicator().c_str(),
                      u.undoCount(), u.redoCount(), u.used(), u.deletedLines(), editor.insertMode() ? "insert" : "overwrite");
        world.transcript.push_back(buf);
        break;
      }
      case K::SearchText: apply(editor.EditSearchText(s.fields[0])); break;
      case K::SearchItem: apply(editor.ChooseSearchItem(s.a)); break;
      case K::SearchReport: {
        const search::SEARCHSTR& st = editor.searchStrings();
        char buf[64];
        std::snprintf(buf, sizeof buf, " options=0x%02X mode=%d history=%d pending=", editor.searchButtons(),
                      editor.searchMode(), search::HistoryCount(st));
        const std::string pending = st.committed == 0 ? base::Utf8(search::TextOf(st.pending)) : "-";
        world.transcript.push_back("search: text=" + base::Utf8(editor.searchText()) + buf + pending);
        break;
      }
      case K::Click: apply(editor.Press(p, pos(s), false)); break;
      case K::ShiftClick: apply(editor.Press(p, pos(s), true)); break;
      case K::Drag:
        if (!editor.dragging()) apply(editor.Press(p, editor.pane(p).caret, true));
        apply(editor.DragTo(p, pos(s)));
        break;
      case K::DoubleClick: apply(editor.DoubleClick(p, pos(s))); break;
      case K::LineClick: apply(editor.LineNumberPress(p, document::LineNo(s.a), false)); break;
      case K::LineDrag:
        if (!editor.dragging()) apply(editor.LineNumberPress(p, editor.pane(p).caret.line, false));
        apply(editor.LineNumberDragTo(p, document::LineNo(s.a)));
        break;
      case K::Pane: apply(editor.Activate(s.a)); break;
      case K::Input: world.inputs.push_back(s.fields); break;
      case K::Answer: world.answers.push_back(s.answer); break;
    }
    // The person pauses between steps: a started bracket timer runs out.
    if (timer) {
      timer = false;
      apply(editor.BracketTimerFired());
    }
  }
  if (editor.dragging()) apply(editor.Release());
  editor.SetLateEffects({});
  editor.SetClipboard(nullptr);
}

std::string Summary(Editor& editor, bool modified) {
  const PaneState& p = editor.pane(editor.activePane());
  char buf[160];
  std::string sel = "none";
  if (editor.hasSelection()) {
    const document::Selection s = editor.selection().Normalised();
    std::snprintf(buf, sizeof buf, "%d:%d-%d:%d", s.anchorLine.value, s.anchorCol.value, s.otherLine.value, s.otherCol.value);
    sel = buf;
  }
  std::snprintf(buf, sizeof buf, "caret=%d:%d sel=%s lines=%d modified=%d", p.caret.line.value, p.caret.column.value,
                sel.c_str(), editor.lineCount(), modified ? 1 : 0);
  return buf;
}

}  // namespace gorvane::shell
