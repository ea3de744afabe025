// Win32 only: the search dialog "SCHDLG" from the resource library. It is
// modeless: the search text with the editor's history, the seven options
// enabled by the same rules as the search bar, the scope, sharing; the
// controls of a search in files are there but not in use yet. Apply-and-close
// and OK answer the fields, Cancel answers nothing; an empty text is told and
// the dialog stays.
#include <cstdlib>

#include "companions/qvres/qvres_ids.h"
#include "search/search_strings.h"
#include "shell/editor_win32.h"

namespace gorvane::shell::win32 {

namespace {

namespace se = gorvane::search;

constexpr UINT kChosenMessage = WM_APP + 20;  // a history item chosen, taken after the combo's own work
// The check boxes of the option bits 0x01 to 0x40 in order.
constexpr int kOptionBoxes[se::kOptionButtons] = {IDC_SCH_CASE,     IDC_SCH_LEFTWORD, IDC_SCH_RIGHTWORD, IDC_SCH_FUZZY,
                                                  IDC_SCH_WILDCARD, IDC_SCH_SHORTEST, IDC_SCH_REGEX};
constexpr int kScopeButtons[3] = {IDC_SCH_INFILE, IDC_SCH_INRANGE, IDC_SCH_INFILES};
constexpr int kFilesControls[] = {IDC_SCH_TYPEFILTER, IDC_SCH_TYPES, IDC_SCH_TYPESDROP, IDC_SCH_FILESOPTION};

struct SearchDialogState {
  LineDialogsWin32* dialogs;
  std::vector<std::string> fields;  // text, options, scope, share
  sh::EditorDialogs::Done done;
};

int Number(const std::vector<std::string>& fields, std::size_t i) {
  return i < fields.size() ? std::atoi(fields[i].c_str()) : 0;
}

SearchDialogState* StateOf(HWND dlg) { return reinterpret_cast<SearchDialogState*>(GetWindowLongPtrW(dlg, DWLP_USER)); }

std::uint8_t CheckedOptions(HWND dlg) {
  std::uint8_t options = 0;
  for (int i = 0; i < se::kOptionButtons; ++i)
    if (IsDlgButtonChecked(dlg, kOptionBoxes[i]) == BST_CHECKED) options |= static_cast<std::uint8_t>(1u << i);
  return options;
}

// Checks the boxes (when asked) and enables them by the options.
void ShowOptions(HWND dlg, std::uint8_t options, bool check) {
  const se::OptionButtons b = se::ButtonsFor(options);
  for (int i = 0; i < se::kOptionButtons; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (check) CheckDlgButton(dlg, kOptionBoxes[i], b.checked[k] ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(dlg, kOptionBoxes[i]), b.enabled[k] ? TRUE : FALSE);
  }
}

// The combo's list from the editor's history; the entry with the text
// selected, or the text in the edit field.
void FillHistory(HWND dlg, const sh::Editor& editor, std::string_view text) {
  HWND combo = GetDlgItem(dlg, IDC_SCH_TEXT);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const se::SEARCHSTR& strings = editor.searchStrings();
  int selected = -1;
  for (int i = 0; i < se::HistoryCount(strings); ++i) {
    const std::string_view item = se::TextOf(strings.history[static_cast<std::size_t>(i)]);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    if (selected < 0 && item == text) selected = i;
  }
  if (selected >= 0) SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  else SetWindowTextW(combo, Wide(text).c_str());
}

std::string ComboText(HWND combo) {
  std::wstring text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(combo))) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(combo, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

// The dialog goes first, then the answer, so that the answer may open it again.
void CloseSearch(HWND dlg, bool ok, std::vector<std::string> fields) {
  SearchDialogState* st = StateOf(dlg);
  sh::EditorDialogs::Done done = st ? std::move(st->done) : nullptr;
  DestroyWindow(dlg);
  if (done) done(ok, std::move(fields));
}

void Apply(HWND dlg) {
  SearchDialogState* st = StateOf(dlg);
  HWND combo = GetDlgItem(dlg, IDC_SCH_TEXT);
  const std::string text = ComboText(combo);
  if (text.empty()) {
    // The person is told, and goes on in the dialog.
    if (st->dialogs->host) Tell(*st->dialogs->host, u8"検索文字列が設定されていません。", sh::BoxIcon::Warning);
    SetFocus(combo);
    return;
  }
  int scope = 0;
  for (int i = 0; i < 3; ++i)
    if (IsDlgButtonChecked(dlg, kScopeButtons[i]) == BST_CHECKED) scope = i;
  const bool share = IsDlgButtonChecked(dlg, IDC_SCH_SHARE) == BST_CHECKED;
  CloseSearch(dlg, true, {text, std::to_string(CheckedOptions(dlg)), std::to_string(scope), share ? "1" : "0"});
}

INT_PTR CALLBACK SearchProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      const auto* st = reinterpret_cast<SearchDialogState*>(lp);
      HWND combo = GetDlgItem(dlg, IDC_SCH_TEXT);
      SendMessageW(combo, CB_LIMITTEXT, se::kMaxSetText, 0);
      const std::string text = st->fields.empty() ? std::string() : st->fields[0];
      if (st->dialogs->editor) FillHistory(dlg, *st->dialogs->editor, text);
      else SetWindowTextW(combo, Wide(text).c_str());
      ShowOptions(dlg, static_cast<std::uint8_t>(Number(st->fields, 1) & 0x7F), true);
      const bool files = st->dialogs->infoWindowAvailable && st->dialogs->infoWindowAvailable();
      int scope = std::clamp(Number(st->fields, 2), 0, 2);
      if (scope == 2 && !files) scope = 0;
      CheckRadioButton(dlg, IDC_SCH_INFILE, IDC_SCH_INFILES, kScopeButtons[scope]);
      EnableWindow(GetDlgItem(dlg, IDC_SCH_INFILES), files ? TRUE : FALSE);
      for (const int id : kFilesControls) EnableWindow(GetDlgItem(dlg, id), FALSE);
      CheckDlgButton(dlg, IDC_SCH_SHARE, Number(st->fields, 3) != 0 ? BST_CHECKED : BST_UNCHECKED);
      SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
      SetFocus(combo);
      return FALSE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id == IDOK || id == IDC_SCH_APPLY) {
        Apply(dlg);
        return TRUE;
      }
      if (id == IDCANCEL) {
        CloseSearch(dlg, false, {});
        return TRUE;
      }
      if (id == IDC_SCH_TEXT) {
        HWND combo = reinterpret_cast<HWND>(lp);
        if (HIWORD(wp) == CBN_SELENDOK ||
            (HIWORD(wp) == CBN_SELCHANGE && !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)))
          PostMessageW(dlg, kChosenMessage, 0, 0);
        return TRUE;
      }
      for (const int box : kOptionBoxes)
        if (id == box && HIWORD(wp) == BN_CLICKED) {
          ShowOptions(dlg, CheckedOptions(dlg), false);
          return TRUE;
        }
      break;
    }
    case kChosenMessage: {
      // A history item chosen: it goes to the front of the history (and of
      // the list), and the boxes take its options.
      SearchDialogState* st = StateOf(dlg);
      HWND combo = GetDlgItem(dlg, IDC_SCH_TEXT);
      const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
      if (!st || i < 0 || SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) return TRUE;
      if (st->dialogs->chooseSearchItem) st->dialogs->chooseSearchItem(static_cast<int>(i));
      if (const sh::Editor* editor = st->dialogs->editor) {
        const se::SearchEntry& first = editor->searchStrings().history[0];
        FillHistory(dlg, *editor, se::TextOf(first));
        ShowOptions(dlg, first.options, true);
      }
      return TRUE;
    }
    case WM_DESTROY:
      // The state goes with the window (without an answer when its owner
      // closes it).
      if (SearchDialogState* st = StateOf(dlg)) {
        HWND& slot = st->dialogs->open[static_cast<std::size_t>(sh::DialogKind::Search)];
        if (slot == dlg) slot = nullptr;
        SetWindowLongPtrW(dlg, DWLP_USER, 0);
        delete st;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

HWND OpenSearchDialog(LineDialogsWin32& dialogs, std::vector<std::string> fields, sh::EditorDialogs::Done done) {
  HWND& slot = dialogs.open[static_cast<std::size_t>(sh::DialogKind::Search)];
  if (slot) CloseSearch(slot, false, {});  // one at a time: the open one counts as cancelled
  auto* state = new SearchDialogState{&dialogs, std::move(fields), std::move(done)};
  HWND dlg = dialogs.resources && *dialogs.resources
                 ? CreateDialogParamW(*dialogs.resources, L"SCHDLG", dialogs.owner ? *dialogs.owner : nullptr,
                                      SearchProc, reinterpret_cast<LPARAM>(state))
                 : nullptr;
  if (!dlg) {
    sh::EditorDialogs::Done failed = std::move(state->done);
    delete state;
    if (failed) failed(false, {});
    return nullptr;
  }
  slot = dlg;
  ShowWindow(dlg, SW_SHOW);
  return dlg;
}

}  // namespace gorvane::shell::win32
