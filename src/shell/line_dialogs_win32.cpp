// Win32 only: the editor's line dialogs (jump, lines to select, a bookmark's
// name, a range label) from the resource library's templates.
#include "companions/qvres/qvres_ids.h"
#include "shell/editor_win32.h"

namespace gorvane::shell::win32 {

namespace {

struct DialogState {
  std::vector<std::string>* fields;
  std::size_t limit;  // characters a field takes
};

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
        EndDialog(dlg, 1);
        return TRUE;
      }
      if (LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
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
  const wchar_t* name = L"JUMP";
  std::size_t limit = 10;
  switch (kind) {
    case sh::DialogKind::Jump: break;
    case sh::DialogKind::SelectLines: name = L"SELECTLNUM", limit = 7; break;
    case sh::DialogKind::BookmarkName: name = L"MARKJUMP", limit = 255; break;
    case sh::DialogKind::RangeLabel: name = L"SETAREASEL", limit = 255; break;
    case sh::DialogKind::EditRangeLabel: name = L"EDITAREASEL", limit = 255; break;
  }
  DialogState state{&fields, limit};
  const INT_PTR r = DialogBoxParamW(*resources, name, owner ? *owner : nullptr, FieldsProc, reinterpret_cast<LPARAM>(&state));
  return r == 1;
}

}  // namespace gorvane::shell::win32
