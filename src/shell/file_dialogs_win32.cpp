// Win32 only: the open, insert, save-as and save-in-another-code dialogs,
// the system's file dialogs with our templates from qvres.dll (an encoding
// list, a line-end list, the read-only and info-window boxes).
#include "shell/file_dialogs_win32.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/wide_text.h"
#include "companions/qvres/qvres_ids.h"
#include "files/paths.h"

namespace gorvane::shell {

namespace {

namespace cc = gorvane::charcode;

std::wstring Wide(std::string_view sjis) { return cc::SjisToWide<wchar_t>(sjis); }
std::string Narrow(const std::wstring& wide) { return cc::WideToSjis(std::wstring_view(wide)); }

// The lists: their texts and the codes they give.
struct Choice {
  const wchar_t* text;
  int value;
};
constexpr Choice kOpenCodes[] = {{L"\u81ea\u52d5\u8a8d\u8b58", 0}, {L"\uff7c\uff8c\uff84JIS", 1}, {L"EUC", 2},
                                 {L"UTF8", 4}, {L"UTF16BE", 5}, {L"UTF16LE", 6}};
constexpr Choice kSaveCodes[] = {{L"\uff7c\uff8c\uff84JIS", 1}, {L"EUC", 2}, {L"UTF8", 4}, {L"UTF16BE", 5}, {L"UTF16LE", 6}};
constexpr Choice kLineEnds[] = {{L"\u5909\u66f4\u3057\u306a\u3044", 0}, {L"CR+LF(Windows)", 1}, {L"CR(Mac)", 2},
                                {L"LF(Linux)", 3}};

template <std::size_t N>
void Fill(HWND dialog, int id, const Choice (&choices)[N], int selected) {
  HWND combo = GetDlgItem(dialog, id);
  if (!combo) return;
  int pick = 0;
  for (std::size_t i = 0; i < N; ++i) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].text));
    if (choices[i].value == selected) pick = static_cast<int>(i);
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(pick), 0);
}

template <std::size_t N>
int Read(HWND dialog, int id, const Choice (&choices)[N]) {
  const LRESULT i = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  return i >= 0 && static_cast<std::size_t>(i) < N ? choices[i].value : choices[0].value;
}

// What a dialog starts with and gives back.
struct State {
  enum Kind { kOpen, kInsert, kSaveAs, kCode } kind;
  int code = 0, lineEnd = 0;
  bool readOnly = false, addToInfo = false, allowAdd = false;
};

UINT_PTR CALLBACK Hook(HWND child, UINT msg, WPARAM, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lp);
    auto* s = reinterpret_cast<State*>(ofn->lCustData);
    SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
    if (s->kind == State::kSaveAs) {
      Fill(child, IDC_ENCODING, kSaveCodes, s->code == 0 ? 1 : s->code);
      Fill(child, IDC_LINEEND, kLineEnds, 0);
      CheckDlgButton(child, IDC_ADDTOINFO, s->allowAdd && s->addToInfo ? BST_CHECKED : BST_UNCHECKED);
      EnableWindow(GetDlgItem(child, IDC_ADDTOINFO), s->allowAdd);
    } else {
      Fill(child, IDC_ENCODING, kOpenCodes, s->kind == State::kOpen ? s->code : 0);
    }
    return 0;
  }
  if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == CDN_FILEOK) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrW(child, GWLP_USERDATA));
    if (!s) return 0;
    if (s->kind == State::kSaveAs) {
      s->code = Read(child, IDC_ENCODING, kSaveCodes);
      s->lineEnd = Read(child, IDC_LINEEND, kLineEnds);
      s->addToInfo = IsDlgButtonChecked(child, IDC_ADDTOINFO) == BST_CHECKED;
    } else {
      s->code = Read(child, IDC_ENCODING, kOpenCodes);
      s->readOnly = IsDlgButtonChecked(child, IDC_READONLY) == BST_CHECKED;
    }
  }
  return 0;
}

INT_PTR CALLBACK CodeDialog(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* s = reinterpret_cast<State*>(lp);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, lp);
    Fill(dialog, IDC_ENCODING, kSaveCodes, s->code == 0 ? 1 : s->code);
    Fill(dialog, IDC_LINEEND, kLineEnds, 0);
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (LOWORD(wp) == IDOK && s) {
      s->code = Read(dialog, IDC_ENCODING, kSaveCodes);
      s->lineEnd = Read(dialog, IDC_LINEEND, kLineEnds);
    }
    EndDialog(dialog, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

class Win32FileDialogs final : public files::FileDialogs {
 public:
  Win32FileDialogs(HWND* owner, HMODULE resources) : owner_(owner), resources_(resources) {}

  bool ChooseFileToOpen(int presetCode, files::OpenEntry* chosen) override {
    State s{State::kOpen};
    s.code = presetCode;
    std::wstring path;
    if (!Run(false, L"RDFILE", L"\u30d5\u30a1\u30a4\u30eb\u3092\u958b\u304f", &s, &path)) return false;
    *chosen = files::OpenEntry{Narrow(path), s.code, s.readOnly};
    return true;
  }
  bool ChooseFileToInsert(files::OpenEntry* chosen) override {
    State s{State::kInsert};
    std::wstring path;
    if (!Run(false, L"INSFILE", L"\u30d5\u30a1\u30a4\u30eb\u633f\u5165", &s, &path)) return false;
    *chosen = files::OpenEntry{Narrow(path), s.code, false};
    return true;
  }
  bool ChooseSaveAsName(const files::DocumentFile& file, bool allowAddBox, std::string* path,
                        files::SaveOptions* options) override {
    State s{State::kSaveAs};
    s.code = file.code;
    s.allowAdd = allowAddBox;
    s.addToInfo = allowAddBox;  // ticked unless it cannot be used
    std::wstring chosen = Wide(files::FileNameOf(file.path));
    if (!Run(true, L"NSAVEFILE", L"\u540d\u524d\u3092\u4ed8\u3051\u3066\u4fdd\u5b58", &s, &chosen)) return false;
    *path = Narrow(chosen);
    options->code = s.code;
    options->crlfKind = s.lineEnd;
    options->addToInfoWindow = s.addToInfo ? 1 : 0;
    options->allowAddBox = allowAddBox ? 1 : 0;
    return true;
  }
  bool ChooseCodeAndLineEnd(const files::DocumentFile& file, files::SaveOptions* options) override {
    State s{State::kCode};
    s.code = file.code;
    if (DialogBoxParamW(resources_, L"CHARSAVE", *owner_, CodeDialog, reinterpret_cast<LPARAM>(&s)) != IDOK)
      return false;
    options->code = s.code;
    options->crlfKind = s.lineEnd;
    return true;
  }

 private:
  bool Run(bool save, const wchar_t* templateName, const wchar_t* title, State* s, std::wstring* path) {
    std::vector<wchar_t> buffer(1024, L'\0');
    if (path && !path->empty() && path->size() < buffer.size()) std::copy(path->begin(), path->end(), buffer.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = *owner_;
    ofn.hInstance = resources_;
    ofn.lpstrFilter = L"\u3059\u3079\u3066\u306e\u30d5\u30a1\u30a4\u30eb(*.*)\0*.*\0";
    ofn.nFilterIndex = filterIndex_;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = L"txt";
    ofn.Flags = OFN_EXPLORER | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK | OFN_HIDEREADONLY |
                (save ? OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    ofn.lpTemplateName = templateName;
    ofn.lpfnHook = Hook;
    ofn.lCustData = reinterpret_cast<LPARAM>(s);
    // The dialog library is loaded with the first dialog.
    using Dialog = BOOL(WINAPI*)(OPENFILENAMEW*);
    const HMODULE library = LoadLibraryW(L"comdlg32.dll");
    const auto run = library ? reinterpret_cast<Dialog>(reinterpret_cast<void*>(
                                   GetProcAddress(library, save ? "GetSaveFileNameW" : "GetOpenFileNameW")))
                             : nullptr;
    const BOOL ok = run ? run(&ofn) : FALSE;
    if (!ok) return false;
    filterIndex_ = ofn.nFilterIndex;  // remembered
    *path = buffer.data();
    return true;
  }

  HWND* owner_;
  HMODULE resources_;
  DWORD filterIndex_ = 1;
};

}  // namespace

std::unique_ptr<files::FileDialogs> CreateWin32FileDialogs(HWND* owner, HMODULE resources) {
  return std::make_unique<Win32FileDialogs>(owner, resources);
}

}  // namespace gorvane::shell
