// The companion DLLs as the editor uses them: qvres.dll's dialog templates
// found by name (in the loaded library and in the library mapped as data),
// instantiated and their controls checked, and taken by the real file
// dialogs as child templates; QORVimage.dll's version.
#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "companions/qorvimage/qorvimage_win32.h"
#include "companions/qvres/qvres_ids.h"

namespace {

enum class Kind { Label, List, Check, Button, DefaultButton };

struct Control {
  int id;
  Kind kind;
  const wchar_t* text;                // labels, check boxes and buttons
  std::vector<const wchar_t*> items;  // what the program puts in a list
};

struct Template {
  const wchar_t* name;
  bool child;  // a child template of a file dialog, else a modal dialog
  bool save;   // used with the save dialog
  const wchar_t* caption;
  std::vector<Control> controls;
};

const std::vector<const wchar_t*> kReadEncodings = {L"自動認識", L"ｼﾌﾄJIS", L"EUC", L"UTF8", L"UTF16BE", L"UTF16LE"};
const std::vector<const wchar_t*> kWriteEncodings = {L"ｼﾌﾄJIS", L"EUC", L"UTF8", L"UTF16BE", L"UTF16LE"};
const std::vector<const wchar_t*> kLineEnds = {L"変更しない", L"CR+LF(Windows)", L"CR(Mac)", L"LF(Linux)"};

const Control kEncodingLabel{IDC_ENCODING_LABEL, Kind::Label, L"文字コード(&C):", {}};
const Control kLineEndLabel{IDC_LINEEND_LABEL, Kind::Label, L"改行コード(&L):", {}};

const std::vector<Template>& Templates() {
  static const std::vector<Template> templates = {
      {L"RDFILE",
       true,
       false,
       nullptr,
       {kEncodingLabel,
        {IDC_ENCODING, Kind::List, nullptr, kReadEncodings},
        {IDC_READONLY, Kind::Check, L"読み取り専用で開く(&R)", {}}}},
      {L"INSFILE", true, false, nullptr, {kEncodingLabel, {IDC_ENCODING, Kind::List, nullptr, kReadEncodings}}},
      {L"NSAVEFILE",
       true,
       true,
       nullptr,
       {kEncodingLabel,
        {IDC_ENCODING, Kind::List, nullptr, kWriteEncodings},
        kLineEndLabel,
        {IDC_LINEEND, Kind::List, nullptr, kLineEnds},
        {IDC_ADDTOINFO, Kind::Check, L"情報ウィンドウに登録する(&I)", {}}}},
      {L"CHARSAVE",
       false,
       false,
       L"文字コードを指定して保存",
       {kEncodingLabel,
        {IDC_ENCODING, Kind::List, nullptr, kWriteEncodings},
        kLineEndLabel,
        {IDC_LINEEND, Kind::List, nullptr, kLineEnds},
        {IDOK, Kind::DefaultButton, L"OK", {}},
        {IDCANCEL, Kind::Button, L"キャンセル", {}}}},
  };
  return templates;
}

std::wstring Text(HWND w) {
  wchar_t buf[256] = {};
  GetWindowTextW(w, buf, 256);
  return buf;
}

std::wstring Class(HWND w) {
  wchar_t buf[64] = {};
  GetClassNameW(w, buf, 64);
  return buf;
}

// The width of `s` in the font of control `w`.
int TextWidth(HWND w, const std::wstring& s) {
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  return size.cx;
}

// The width of a control's own text, without the '&' of the mnemonic.
int TextWidth(HWND w) {
  std::wstring s = Text(w);
  std::erase(s, L'&');
  return TextWidth(w, s);
}

// A control's rectangle in its dialog's client coordinates.
RECT RectIn(HWND dialog, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The header of a DIALOGEX template.
struct TemplateHeader {
  WORD version;
  WORD signature;
  DWORD helpId;
  DWORD exStyle;
  DWORD style;
};

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Checks the controls of a dialog made from `t`, inside `dialog`. Lists get
// their items first, as the program fills them.
void CheckControls(HWND dialog, const Template& t) {
  RECT client{};
  GetClientRect(dialog, &client);
  std::vector<RECT> rects;
  for (const Control& c : t.controls) {
    SCOPED_TRACE(testing::Message() << "control " << c.id);
    HWND w = GetDlgItem(dialog, c.id);
    ASSERT_NE(w, nullptr);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    const RECT r = RectIn(dialog, w);
    rects.push_back(r);
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
        << "outside the dialog: " << r.left << "," << r.top << "," << r.right << "," << r.bottom << " in "
        << client.right << "x" << client.bottom;
    if (c.text != nullptr) {
      EXPECT_EQ(Text(w), c.text);
    }
    switch (c.kind) {
      case Kind::Label:
        EXPECT_EQ(Class(w), L"Static");
        EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
        EXPECT_LE(TextWidth(w), r.right - r.left) << "label cut off";
        break;
      case Kind::Check:
        EXPECT_EQ(Class(w), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
        EXPECT_TRUE(style & WS_TABSTOP);
        EXPECT_LE(TextWidth(w) + GetSystemMetrics(SM_CXMENUCHECK) + 4, r.right - r.left) << "text cut off";
        break;
      case Kind::Button:
      case Kind::DefaultButton:
        EXPECT_EQ(Class(w), L"Button");
        EXPECT_EQ(style & BS_TYPEMASK, c.kind == Kind::Button ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON);
        EXPECT_TRUE(style & WS_TABSTOP);
        break;
      case Kind::List: {
        EXPECT_EQ(Class(w), L"ComboBox");
        EXPECT_EQ(style & 3, CBS_DROPDOWNLIST) << "the user must pick, not type";
        EXPECT_TRUE(style & WS_TABSTOP);
        // Every item fits beside the arrow button.
        for (const wchar_t* item : c.items) {
          SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
          EXPECT_LE(TextWidth(w, item) + GetSystemMetrics(SM_CXVSCROLL) + 6, r.right - r.left)
              << "item cut off: " << testing::PrintToString(std::wstring(item));
        }
        ASSERT_EQ(SendMessageW(w, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(c.items.size()));
        // The dropped-down list shows every item without scrolling.
        RECT dropped{};
        SendMessageW(w, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        const LRESULT field = SendMessageW(w, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        const LRESULT item = SendMessageW(w, CB_GETITEMHEIGHT, 0, 0);
        EXPECT_GE(dropped.bottom - dropped.top - field, static_cast<LRESULT>(c.items.size()) * item)
            << "list of " << dropped.bottom - dropped.top << " px, field " << field << ", items " << item;
        break;
      }
    }
  }
  for (std::size_t i = 0; i < rects.size(); ++i) {
    for (std::size_t j = i + 1; j < rects.size(); ++j) {
      RECT both{};
      EXPECT_FALSE(IntersectRect(&both, &rects[i], &rects[j]))
          << "controls " << t.controls[i].id << " and " << t.controls[j].id << " overlap";
    }
  }
}

class QvresDll : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = LoadLibraryW(L"qvres.dll");
    data_ = LoadLibraryExW(L"qvres.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  static void TearDownTestSuite() {
    if (module_) FreeLibrary(module_);
    if (data_) FreeLibrary(data_);
    module_ = data_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(module_, nullptr);
    ASSERT_NE(data_, nullptr);
  }

  // The template's bytes, from the library mapped as data.
  static const void* Bytes(const wchar_t* name) {
    HRSRC res = FindResourceW(data_, name, RT_DIALOG);
    if (res == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(data_, res);
    return loaded != nullptr ? LockResource(loaded) : nullptr;
  }

  static HMODULE module_;
  static HMODULE data_;
};

HMODULE QvresDll::module_ = nullptr;
HMODULE QvresDll::data_ = nullptr;

TEST_F(QvresDll, EveryTemplateFoundByNameInTheLibraryAndInItsData) {
  for (const Template& t : Templates()) {
    SCOPED_TRACE(testing::Message() << t.name);
    EXPECT_NE(FindResourceW(module_, t.name, RT_DIALOG), nullptr);
    const void* bytes = Bytes(t.name);
    ASSERT_NE(bytes, nullptr);
    TemplateHeader h{};
    std::memcpy(&h, bytes, sizeof h);
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.signature, 0xFFFF);
    if (t.child) {
      // Explorer-style file dialogs take only child templates.
      EXPECT_EQ(h.style & (WS_CHILD | DS_CONTROL), static_cast<DWORD>(WS_CHILD | DS_CONTROL));
      EXPECT_EQ(h.style & (WS_POPUP | WS_CAPTION), 0u);
    } else {
      EXPECT_EQ(h.style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME),
                static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_MODALFRAME));
      EXPECT_EQ(h.style & WS_CHILD, 0u);
    }
  }
}

TEST_F(QvresDll, EveryTemplateMakesADialogWithItsControls) {
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 900, 700, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  for (const Template& t : Templates()) {
    SCOPED_TRACE(testing::Message() << t.name);
    const auto* bytes = static_cast<const DLGTEMPLATE*>(Bytes(t.name));
    ASSERT_NE(bytes, nullptr);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), bytes, t.child ? host : nullptr, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr) << GetLastError();
    CheckControls(dialog, t);
    if (t.caption != nullptr) {
      EXPECT_EQ(Text(dialog), t.caption);
    }
    if (!t.child) {
      // Enter presses OK.
      const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
      EXPECT_EQ(HIWORD(def), DC_HASDEFID);
      EXPECT_EQ(LOWORD(def), IDOK);
    }
    DestroyWindow(dialog);
  }
  DestroyWindow(host);
}

// What the hook of a file dialog saw of its child template.
struct Probe {
  const Template* t = nullptr;
  bool initDone = false;
  std::vector<std::string> faults;
};
Probe* g_probe = nullptr;

void Fault(const std::string& what) { g_probe->faults.push_back(what); }

UINT_PTR CALLBACK FileDialogHook(HWND child, UINT msg, WPARAM, LPARAM lp) {
  HWND dialog = GetParent(child);
  if (msg == WM_INITDIALOG) {
    SetTimer(child, 1, 15000, nullptr);
  } else if (msg == WM_TIMER) {
    KillTimer(child, 1);
    Fault("no CDN_INITDONE");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  } else if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == CDN_INITDONE) {
    KillTimer(child, 1);
    g_probe->initDone = true;
    if ((GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) == 0) Fault("template hidden");
    RECT client{};
    GetClientRect(dialog, &client);
    for (const Control& c : g_probe->t->controls) {
      HWND w = GetDlgItem(child, c.id);
      if (w == nullptr) {
        Fault("control " + std::to_string(c.id) + " missing");
        continue;
      }
      if ((GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) == 0) Fault("control " + std::to_string(c.id) + " hidden");
      const RECT r = RectIn(dialog, w);
      if (r.left < 0 || r.top < 0 || r.right > client.right || r.bottom > client.bottom) {
        Fault("control " + std::to_string(c.id) + " outside the file dialog");
      }
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

TEST_F(QvresDll, FileDialogsTakeTheChildTemplates) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  for (const Template& t : Templates()) {
    if (!t.child) continue;
    SCOPED_TRACE(testing::Message() << t.name);
    Probe probe;
    probe.t = &t;
    g_probe = &probe;
    wchar_t file[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hInstance = module_;
    ofn.lpstrFilter = L"テキスト (*.txt)\0*.txt\0すべてのファイル (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    ofn.lpTemplateName = t.name;
    ofn.lpfnHook = FileDialogHook;
    const BOOL chosen = t.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    g_probe = nullptr;
    EXPECT_FALSE(chosen);
    EXPECT_EQ(CommDlgExtendedError(), 0u) << "the dialog refused the template";
    EXPECT_TRUE(probe.initDone);
    for (const std::string& f : probe.faults) ADD_FAILURE() << f;
  }
}

TEST(QorvimageDll, ReportsItsVersion) {
  HMODULE dll = LoadLibraryW(L"QORVimage.dll");
  ASSERT_NE(dll, nullptr);
  FARPROC p = GetProcAddress(dll, "GetQORVimage_version");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<GetQORVimage_version_t>(reinterpret_cast<void*>(p))(), 372);
  FreeLibrary(dll);
}

}  // namespace
