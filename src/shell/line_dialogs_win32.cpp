// Win32 only: the editor's line dialogs (jump, lines to select, a bookmark's
// name, a range label) from the resource library's templates.
#include "companions/qvres/qvres_ids.h"
#include "shell/editor_win32.h"

namespace gorvane::shell::win32 {

namespace {

struct DialogState {
  std::vector<std::string>* fields;
  std::size_t limit;  // characters a field takes
  // Modeless: the answer goes here, and the state owns its fields.
  sh::EditorDialogs::Done done;
  std::vector<std::string> own;
  HWND* slot = nullptr;
};

const wchar_t* TemplateOf(sh::DialogKind kind, std::size_t* limit) {
  switch (kind) {
    case sh::DialogKind::Jump: *limit = 10; return L"JUMP";
    case sh::DialogKind::SelectLines: *limit = 7; return L"SELECTLNUM";
    case sh::DialogKind::BookmarkName: *limit = 255; return L"MARKJUMP";
    case sh::DialogKind::RangeLabel: *limit = 255; return L"SETAREASEL";
    case sh::DialogKind::EditRangeLabel: *limit = 255; return L"EDITAREASEL";
    case sh::DialogKind::Search: *limit = 256; return L"SCHDLG";  // opened by OpenSearchDialog
  }
  *limit = 10;
  return L"JUMP";
}

// A modeless dialog closed: OK hands the fields on, Cancel nothing; its
// window goes first, so that a new one may be opened from the answer.
void CloseModeless(HWND dlg, bool ok) {
  auto* st = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
  sh::EditorDialogs::Done done = std::move(st->done);
  std::vector<std::string> fields = std::move(st->own);
  DestroyWindow(dlg);
  if (done) done(ok, std::move(fields));
}

INT_PTR CALLBACK FieldsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      const auto* st = reinterpret_cast<DialogState*>(lp);
      for (std::size_t i = 0; i < st->fields->size() && i < 2; ++i) {
        HWND edit = GetDlgItem(dlg, IDC_FIELD1 + static_cast<int>(i));
        if (!edit) continue;
        SendMessageW(edit, EM_LIMITTEXT, st->limit, 0);
        SetWindowTextW(edit, Wide((*st->fields)[i]).c_str());
      }
      // The first field, its text selected.
      HWND first = GetDlgItem(dlg, IDC_FIELD1);
      SendMessageW(first, EM_SETSEL, 0, -1);
      SetFocus(first);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) {
        auto* st = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
        for (std::size_t i = 0; i < st->fields->size() && i < 2; ++i) {
          HWND edit = GetDlgItem(dlg, IDC_FIELD1 + static_cast<int>(i));
          std::wstring text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(edit))) + 1, L'\0');
          text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
          (*st->fields)[i] = Narrow(text);
        }
        if (st->slot) CloseModeless(dlg, true);
        else EndDialog(dlg, 1);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        auto* st = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
        if (st && st->slot) CloseModeless(dlg, false);
        else EndDialog(dlg, 0);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      // A modeless dialog's state goes with it (without an answer when its
      // owner closes it).
      if (auto* st = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dlg, DWLP_USER)); st && st->slot) {
        if (*st->slot == dlg) *st->slot = nullptr;
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

bool LineDialogsWin32::Ask(sh::DialogKind kind, std::vector<std::string>& fields) {
  if (!resources || !*resources) return false;
  std::size_t limit = 10;
  const wchar_t* name = TemplateOf(kind, &limit);
  DialogState state{&fields, limit, {}, {}, nullptr};
  const INT_PTR r = DialogBoxParamW(*resources, name, owner ? *owner : nullptr, FieldsProc, reinterpret_cast<LPARAM>(&state));
  return r == 1;
}

void LineDialogsWin32::Open(sh::DialogKind kind, std::vector<std::string> fields, Done done) {
  if (kind == sh::DialogKind::Search) {
    OpenSearchDialog(*this, std::move(fields), std::move(done));
    return;
  }
  HWND& slot = open[static_cast<std::size_t>(kind)];
  if (slot) CloseModeless(slot, false);  // one of a kind: the open one counts as cancelled
  std::size_t limit = 10;
  const wchar_t* name = TemplateOf(kind, &limit);
  auto* state = new DialogState{nullptr, limit, std::move(done), std::move(fields), &slot};
  state->fields = &state->own;
  HWND dlg = resources && *resources ? CreateDialogParamW(*resources, name, owner ? *owner : nullptr, FieldsProc,
                                                          reinterpret_cast<LPARAM>(state))
                                     : nullptr;
  if (!dlg) {
    Done failed = std::move(state->done);
    delete state;
    if (failed) failed(false, {});
    return;
  }
  slot = dlg;
  ShowWindow(dlg, SW_SHOW);
}

bool LineDialogsWin32::Offer(MSG* msg) {
  for (HWND dlg : open)
    if (dlg && ::IsDialogMessageW(dlg, msg)) return true;
  return false;
}

LineDialogsWin32::~LineDialogsWin32() {
  for (HWND& dlg : open)
    if (dlg) DestroyWindow(dlg);
}

}  // namespace gorvane::shell::win32
