// Win32 only: the main frame's menus, the rebar with its tool bar and control
// bands, and the dispatch of menu, button and key commands to the handlers
// that exist. The layouts and the enable rules are the portable command
// layer's; this file builds the controls from them.
#include "shell/editor_win32.h"

#include "commands/command_table.h"
#include "commands/menu_layout.h"
#include "commands/menu_rules.h"
#include "document/caret_moves.h"
#include "search/search_strings.h"

namespace gorvane::shell::win32 {

namespace cm = gorvane::commands;

namespace {

// The menu ids the frame carries out itself (the others with a command code
// go to the editor): one table, "carried out" is "has a handler here or there".
struct MenuHandler {
  int first, last;
  void (*run)(EditorWindow& e, int id);
};
const MenuHandler* FindMenuHandler(int id);

// Ids that only hold others (sub-menus) and the band controls with their own messages.
bool Container(int id) {
  for (const int c : {15, 46, 61, 118, cm::kFontNameComboId, cm::kFontSizeComboId, cm::kFunctionComboId,
                      cm::kSearchComboId})
    if (id == c) return true;
  return false;
}

bool Implemented(const EditorWindow& e, int id) {
  return Container(id) || FindMenuHandler(id) != nullptr || e.editor.Implemented(cm::MenuIdToCode(id));
}

std::wstring Label(const EditorWindow& e, const cm::MenuItem& item) { return Wide(cm::MenuLabel(item, e.keys, e.oemKeys)); }

HMENU BuildPopup(const EditorWindow& e, std::span<const cm::MenuItem> items) {
  HMENU menu = CreatePopupMenu();
  for (const cm::MenuItem& item : items) {
    if (item.separator) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else if (!item.subMenu.empty()) {
      AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(e, item.subMenu)), Label(e, item).c_str());
    } else {
      AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), Label(e, item).c_str());
    }
  }
  return menu;
}

// 16 × 16 pictures for the tool bar, drawn once: the system's standard
// pictures where there is one, our own letters and arrows elsewhere.
HIMAGELIST ToolImages() {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, cm::kToolButtonCount, 0);
  // Our own: a short symbol on a plain face.
  // Characters every Japanese font has.
  static const wchar_t* const kSymbols[cm::kToolButtonCount] = {
      L"\u25a1", L"\u958b", L"\u4fdd", L"\u5207", L"\u5199", L"\u8cbc", L"\u623b", L"\u9032", L"\u691c", L"\u2191",
      L"\u2193", L"\u7f6e", L"\u25b3", L"\u25bd", L"\u25b2", L"\u25bc", L"\u5b9f", L"\u518d", L"\u5206", L">_",
      L"\u25ce"};
  static const COLORREF kInk[cm::kToolButtonCount] = {
      RGB(0, 0, 0),     RGB(0, 0, 160),   RGB(0, 0, 160),   RGB(0, 0, 0),     RGB(0, 0, 0),     RGB(0, 0, 0),
      RGB(0, 96, 0),    RGB(0, 96, 0),    RGB(0, 0, 160),   RGB(0, 0, 160),   RGB(0, 0, 160),   RGB(0, 0, 160),
      RGB(160, 96, 0),  RGB(160, 96, 0),  RGB(160, 0, 0),   RGB(160, 0, 0),   RGB(0, 128, 0),   RGB(160, 0, 0),
      RGB(0, 0, 0),     RGB(0, 0, 0),     RGB(96, 0, 128)};
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HFONT font = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_DONTCARE, L"MS UI Gothic");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  for (int i = 0; i < cm::kToolButtonCount; ++i) {
    HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT r{0, 0, 16, 16};
    HBRUSH back = CreateSolidBrush(RGB(255, 0, 255));
    ::FillRect(dc, &r, back);
    DeleteObject(back);
    SetTextColor(dc, kInk[i]);
    DrawTextW(dc, kSymbols[i], -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ImageList_AddMasked(list, bmp, RGB(255, 0, 255));
    DeleteObject(bmp);
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return list;
}

HWND MakeToolBar(EditorWindow& e, HWND parent, int id, DWORD extraStyle) {
  HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                 CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN | extraStyle,
                             0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), e.instance, nullptr);
  SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  return bar;
}

// A control band: a tool bar holding a caption, combo boxes and buttons.
HWND MakeBand(EditorWindow& e, HWND rebar, const cm::Band& band, int* width, int* height) {
  HWND bar = MakeToolBar(e, rebar, band.id, 0);
  HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  int x = 4;
  const int h = 24;
  for (const cm::BandControl& c : band.controls) {
    const std::wstring text = Wide(Sjis(c.text));
    HWND w = nullptr;
    const auto menuId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id));
    switch (c.kind) {
      case cm::ControlKind::Static: {
        const int cw = 8 + 12 * static_cast<int>(text.size());
        w = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, x, 0, cw, h, bar, menuId,
                            e.instance, nullptr);
        x += cw + 2;
        break;
      }
      case cm::ControlKind::ComboBox: {
        const int cw = c.width > 0 ? c.width : 160;
        const bool editable = c.id == cm::kSearchComboId || c.id == cm::kFontSizeComboId;
        w = CreateWindowExW(0, L"COMBOBOX", Wide(std::string(c.windowName)).c_str(),
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_AUTOHSCROLL |
                                (editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST),
                            x, 1, cw, 300, bar, menuId, e.instance, nullptr);
        x += cw + 4;
        break;
      }
      case cm::ControlKind::Button:
      case cm::ControlKind::CheckButton: {
        const int cw = c.width > 0 ? c.width : 40;
        const DWORD style = c.kind == cm::ControlKind::CheckButton ? (BS_AUTOCHECKBOX | BS_PUSHLIKE) : BS_PUSHBUTTON;
        w = CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | style, x, 1, cw, h - 2, bar, menuId,
                            e.instance, nullptr);
        x += cw + 1;
        break;
      }
    }
    if (w) {
      SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(gui), FALSE);
      if (!Implemented(e, c.id) && c.kind != cm::ControlKind::Static) EnableWindow(w, FALSE);
    }
  }
  *width = x + 4;
  *height = h;
  return bar;
}

void AddBand(HWND rebar, HWND child, int width, int height, bool breakBefore) {
  REBARBANDINFOW band{};
  band.cbSize = sizeof band;
  band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_STYLE;
  band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS | (breakBefore ? RBBS_BREAK : 0);
  band.hwndChild = child;
  band.cxMinChild = std::min(width, 120);
  band.cyMinChild = height;
  band.cx = width + 16;
  SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}

// Fills the font combo boxes: the Shift-JIS faces of the system, and the sizes.
int CALLBACK AddFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM lp) {
  HWND combo = reinterpret_cast<HWND>(lp);
  if (lf->lfFaceName[0] != L'@' &&
      SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(lf->lfFaceName)) == CB_ERR)
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lf->lfFaceName));
  return 1;
}

void FillFontCombos(EditorWindow& e) {
  HWND names = GetDlgItem(e.fontBand, cm::kFontNameComboId), sizes = GetDlgItem(e.fontBand, cm::kFontSizeComboId);
  LOGFONTW lf{};
  lf.lfCharSet = SHIFTJIS_CHARSET;
  HDC dc = GetDC(e.frame);
  EnumFontFamiliesExW(dc, &lf, AddFace, reinterpret_cast<LPARAM>(names), 0);
  ReleaseDC(e.frame, dc);
  const std::wstring face = Wide(e.fontFace.empty() ? sh::DefaultEditFace() : e.fontFace);
  LRESULT at = SendMessageW(names, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(face.c_str()));
  if (at == CB_ERR) at = SendMessageW(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(face.c_str()));
  SendMessageW(names, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
  for (int points = sh::kMinFontPoints; points <= sh::kMaxFontPoints; ++points) {
    const std::wstring text = Wide(cm::FontSizeText(points));
    const LRESULT i = SendMessageW(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (points == e.fontPoints) SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
  }
}

// Applies the font chosen in the font band.
void ApplyChosenFont(EditorWindow& e, int id) {
  HWND combo = GetDlgItem(e.fontBand, id);
  const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (i == CB_ERR) return;
  wchar_t text[LF_FACESIZE + 8] = {};
  if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(std::size(text))) return;
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
  if (id == cm::kFontNameComboId) e.fontFace = Narrow(text);
  else e.fontPoints = sh::ClampFontPoints(_wtoi(text));
  e.SetUpFonts();
  e.Layout();
  for (int p = 0; p < e.panes(); ++p) {
    e.Repaint(p);
    if (p == e.active() && GetFocus() == e.pane[p].view) {
      DestroyCaret();
      e.MakeCaret(p);
    }
    e.PlaceSystemCaret(p);
  }
  SetFocus(e.pane[e.active()].view);
}

cm::MenuState CurrentMenuState(EditorWindow& e) {
  cm::MenuState s;
  s.writeProtected = e.editor.writeProtected();
  s.undoData = e.editor.CanUndo();
  s.redoData = e.editor.CanRedo();
  s.deletedLineBufferEmpty = e.editor.deletedLines() == 0;
  const doc::TextPos caret = e.editor.pane(e.active()).caret;
  const std::string line = e.Line(caret.line.value);
  s.caretLineEmpty = doc::LineText(line).empty();
  s.caretLineHasSuccessor = caret.line.value < static_cast<int>(e.store.lineCount());
  s.caretLineEndsWithCrLf = line.size() >= 2 && line.substr(line.size() - 2) == "\r\n";
  s.caretColumn = caret.column.value;
  s.caretAtLineEnd = caret.column >= doc::EndColumn(line);
  s.documentIsOneEmptyLine = e.store.lineCount() <= 1 && doc::LineText(e.Line(1)).empty();
  s.hasSelection = e.editor.hasSelection();
  s.selectionSpansLines = s.hasSelection && e.editor.selection().Normalised().SpansLines();
  s.clipboardHasText = e.clipboard.HasText();
  s.infoWindowInUse = e.messenger.connectedToInfoWindow();
  s.caretLineIsRangeLine = e.store.RangeIndex(caret.line) != 0;
  s.topMost = e.topMost;
  s.split = e.split() == 47 ? cm::SplitState::Vertical : e.split() == 48 ? cm::SplitState::Horizontal : cm::SplitState::None;
  return s;
}

void ApplyStates(const EditorWindow& e, HMENU menu, const std::vector<cm::ItemState>& states) {
  for (const cm::ItemState& st : states) {
    if (st.id == 0) continue;
    const bool enabled = st.enabled && Implemented(e, st.id);
    EnableMenuItem(menu, static_cast<UINT>(st.id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    if (st.radio && st.checked)
      CheckMenuRadioItem(menu, static_cast<UINT>(st.id), static_cast<UINT>(st.id), static_cast<UINT>(st.id), MF_BYCOMMAND);
    else
      CheckMenuItem(menu, static_cast<UINT>(st.id), MF_BYCOMMAND | (st.checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void ToggleTopMost(EditorWindow& e) {
  e.topMost = !e.topMost;
  SetWindowPos(e.frame, e.topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SendMessageW(e.toolBar, TB_CHECKBUTTON, cm::kToolButtonTopMost, MAKELONG(e.topMost ? TRUE : FALSE, 0));
}

void ScrollMenu(EditorWindow& e, int id) {
  const int p = e.active();
  Pane& pn = e.pane[p];
  const sh::PaneState& view = e.editor.pane(p);
  const int page = view.rows;
  switch (id) {
    case 102: e.ScrollTo(p, view.caret.line.value); break;
    case 103: e.ScrollTo(p, 1); break;
    case 104: e.ScrollTo(p, static_cast<int>(e.store.lineCount())); break;
    case 105: e.ScrollTo(p, view.first.value - page); break;
    case 106: e.ScrollTo(p, view.first.value + page); break;
    case 107: e.ScrollTo(p, view.first.value - 1); break;
    case 108: e.ScrollTo(p, view.first.value + 1); break;
    case 109: SendMessageW(pn.view, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0); break;
    case 110: SendMessageW(pn.view, WM_HSCROLL, SB_LEFT, 0); break;
    case 111: SendMessageW(pn.view, WM_HSCROLL, SB_RIGHT, 0); break;
    case 112: SendMessageW(pn.view, WM_HSCROLL, SB_PAGELEFT, 0); break;
    case 113: SendMessageW(pn.view, WM_HSCROLL, SB_PAGERIGHT, 0); break;
    case 114: SendMessageW(pn.view, WM_HSCROLL, SB_LINELEFT, 0); break;
    case 115: SendMessageW(pn.view, WM_HSCROLL, SB_LINERIGHT, 0); break;
    default: break;
  }
}

// The search combo's edit field: Enter searches down (Shift+Enter up), a key
// the key tables bind runs its command, as in the edit views.
LRESULT CALLBACK SearchEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  EditorWindow* e = WindowOf(hwnd);
  if (!e || !e->searchEditProc) return DefWindowProcW(hwnd, msg, wp, lp);
  // While its list is down, the combo has the keys.
  const auto dropped = [hwnd] { return SendMessageW(GetParent(hwnd), CB_GETDROPPEDSTATE, 0, 0) != 0; };
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (msg == WM_SYSKEYDOWN && wp != VK_F10) break;
      const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
      if (wp == VK_RETURN && !ctrl && !dropped()) {
        e->TakeSearchText();
        e->Apply(e->editor.Run(shift ? cm::kSearchUp : cm::kSearchDown, sh::CommandSource::Key));
        return 0;
      }
      const cm::KeyDecision d = DecideKeyNow(*e, wp);
      if (d.action == cm::KeyAction::Command && d.command != cm::kNoCommand) {
        e->TakeSearchText();
        e->Apply(e->editor.Run(d.command, sh::CommandSource::Key));
        return 0;
      }
      break;
    }
    case WM_CHAR:
      // The Enter that searched types nothing (and rings no bell).
      if ((wp == L'\r' || wp == L'\n') && !dropped()) return 0;
      break;
    default:
      break;
  }
  return CallWindowProcW(e->searchEditProc, hwnd, msg, wp, lp);
}

}  // namespace

void EditorWindow::TakeSearchText() {
  HWND combo = SearchCombo();
  if (!combo || fillingSearchBar) return;
  std::wstring text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(combo))) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(combo, text.data(), static_cast<int>(text.size()))));
  Apply(editor.EditSearchText(Narrow(text)));
}

void EditorWindow::RefreshSearchBar() {
  namespace se = gorvane::search;
  HWND combo = SearchCombo();
  if (!combo) return;
  fillingSearchBar = true;
  const se::SEARCHSTR& strings = editor.searchStrings();
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  const int count = std::min(se::HistoryCount(strings), se::kHistoryEntries);
  for (int i = 0; i < count; ++i)
    SendMessageW(combo, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(se::TextOf(strings.history[static_cast<std::size_t>(i)])).c_str()));
  const std::wstring text = Wide(editor.searchText());
  if (count > 0 && editor.searchText() == se::TextOf(strings.history[0])) SendMessageW(combo, CB_SETCURSEL, 0, 0);
  SetWindowTextW(combo, text.c_str());
  const auto end = static_cast<WORD>(std::min<std::size_t>(text.size(), 0xFFFF));
  SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(end, end));
  fillingSearchBar = false;
  const se::OptionButtons buttons = se::ButtonsFor(editor.searchButtons());
  for (int i = 0; i < se::kOptionButtons; ++i) {
    HWND button = GetDlgItem(searchBand, cm::kFirstSearchFlagButtonId + i);
    if (!button) continue;
    SendMessageW(button, BM_SETCHECK, buttons.checked[static_cast<std::size_t>(i)] ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(button, buttons.enabled[static_cast<std::size_t>(i)] ? TRUE : FALSE);
  }
}

bool CreateBars(EditorWindow& e) {
  e.rebar = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, L"MainRebar",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT | RBS_BANDBORDERS |
                                CCS_NODIVIDER | CCS_TOP,
                            0, 0, 0, 0, e.frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(cm::kRebarId)), e.instance,
                            nullptr);
  if (!e.rebar) return false;
  REBARINFO info{};
  info.cbSize = sizeof info;
  SendMessageW(e.rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));

  // The tool bar: 21 buttons.
  e.toolBar = MakeToolBar(e, e.rebar, cm::kToolBarId, 0);
  if (!e.toolBar) return false;
  e.toolImages = ToolImages();
  SendMessageW(e.toolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(e.toolImages));
  std::vector<TBBUTTON> buttons;
  std::vector<std::wstring> tips;
  tips.reserve(cm::kToolButtonCount);
  int index = 0;
  for (const cm::ToolButton& b : cm::ToolBarButtons()) {
    TBBUTTON tb{};
    tb.iBitmap = index++;
    tb.idCommand = b.id;
    tb.fsState = Implemented(e, b.id) ? TBSTATE_ENABLED : 0;
    tb.fsStyle = b.check ? BTNS_CHECK : BTNS_BUTTON;
    buttons.push_back(tb);
  }
  SendMessageW(e.toolBar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(e.toolBar, TB_AUTOSIZE, 0, 0);
  SIZE size{};
  SendMessageW(e.toolBar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
  AddBand(e.rebar, e.toolBar, size.cx, std::max<LONG>(22, size.cy), false);
  return true;
}

bool CreateControlBands(EditorWindow& e) {
  if (!e.rebar || e.functionBand) return e.rebar != nullptr;

  // The control bands: the function list and the fonts on one row, the
  // search box with its buttons on the next.
  for (const int id : {cm::kFunctionBandId, cm::kFontBandId, cm::kSearchBandId}) {
    for (const cm::Band& band : cm::ControlBands()) {
      if (band.id != id) continue;
      int width = 0, height = 0;
      HWND bar = MakeBand(e, e.rebar, band, &width, &height);
      if (!bar) return false;
      if (id == cm::kFunctionBandId) e.functionBand = bar;
      else if (id == cm::kSearchBandId) e.searchBand = bar;
      else e.fontBand = bar;
      AddBand(e.rebar, bar, width, height, id != cm::kFontBandId);
    }
  }
  if (e.fontBand) FillFontCombos(e);
  if (HWND combo = e.SearchCombo()) {
    SendMessageW(combo, CB_LIMITTEXT, gorvane::search::kMaxEntryText, 0);
    if (HWND edit = GetWindow(combo, GW_CHILD)) {
      e.searchEditProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SearchEditProc)));
    }
    e.RefreshSearchBar();
  }
  e.Layout();
  return true;
}

const wchar_t* ToolTipText(EditorWindow& e, int id) {
  for (const cm::ToolButton& b : cm::ToolBarButtons())
    if (b.id == id) {
      e.tipText = Wide(Sjis(b.tip));
      return e.tipText.c_str();
    }
  return nullptr;
}

bool BuildMainMenu(EditorWindow& e) {
  HMENU bar = CreateMenu();
  if (!bar) return false;
  for (const cm::MenuBarEntry& entry : cm::MainMenu())
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(e, entry.items)), Wide(Sjis(entry.title)).c_str());
  HMENU old = GetMenu(e.frame);
  if (!SetMenu(e.frame, bar)) return false;
  if (old) DestroyMenu(old);
  return true;
}

void UpdateMenuPopup(EditorWindow& e, HMENU popup) {
  // Only the main menu's own pop-ups (and their sub-menus) are ruled here.
  HMENU bar = GetMenu(e.frame);
  const auto menus = cm::MainMenu();
  for (int i = 0; i < static_cast<int>(menus.size()); ++i) {
    if (GetSubMenu(bar, i) != popup) continue;
    const cm::MenuState state = CurrentMenuState(e);
    std::vector<cm::ItemState> states = i < cm::kRuledMenuCount ? cm::EvaluateMainMenu(state, i)
                                                                 : cm::EvaluateMenu(state, cm::MenuPlace::MainMenu, menus[static_cast<std::size_t>(i)].items);
    ApplyStates(e, popup, states);
    return;
  }
  // A sub-menu: every item by its own rule.
  const cm::MenuState state = CurrentMenuState(e);
  const int n = GetMenuItemCount(popup);
  for (int k = 0; k < n; ++k) {
    const UINT id = GetMenuItemID(popup, k);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;
    ApplyStates(e, popup, {cm::EvaluateItem(state, cm::MenuPlace::MainMenu, static_cast<int>(id))});
  }
}

void ShowPopupMenu(EditorWindow& e, bool lineNumbers, int x, int y) {
  const auto items = lineNumbers ? cm::LineNumberPopupMenu() : cm::EditViewPopupMenu();
  HMENU menu = BuildPopup(e, items);
  ApplyStates(e, menu, cm::EvaluateMenu(CurrentMenuState(e),
                                     lineNumbers ? cm::MenuPlace::LineNumberPopup : cm::MenuPlace::EditViewPopup, items));
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, e.frame, nullptr);
  DestroyMenu(menu);
}

void ShowScrollMenu(EditorWindow& e, bool vertical, int x, int y) {
  HMENU menu = BuildPopup(e, vertical ? cm::VerticalScrollMenu() : cm::HorizontalScrollMenu());
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, e.frame, nullptr);
  DestroyMenu(menu);
}

void RegisterFrameCommands(EditorWindow& e) {
  EditorWindow* w = &e;
  // A file command, then the editor hears what became of the document.
  const auto files = [w](auto command) {
    return [w, command] {
      if (w->commands) {
        command(*w->commands);
        w->Refresh();
      }
      return sh::Effects{};
    };
  };
  e.editor.SetWindowHandler(cm::kFileOpen, files([](gf::FileCommands& c) { c.OpenFileCommand(0); }));
  e.editor.SetWindowHandler(cm::kFileClose, [w] {
    PostMessageW(w->frame, WM_CLOSE, 0, 0);
    return sh::Effects{};
  });
  e.editor.SetWindowHandler(cm::kFileSaveAs, files([](gf::FileCommands& c) { c.SaveAsCommand(); }));
  e.editor.SetWindowHandler(cm::kFileSave, files([](gf::FileCommands& c) { c.SaveCommand(); }));
  e.editor.SetWindowHandler(cm::kFileSaveWithCode, files([](gf::FileCommands& c) { c.SaveWithCodeCommand(); }));
  e.editor.SetWindowHandler(cm::kFileNew, files([](gf::FileCommands& c) { c.NewFileCommand(); }));
  // The keyboard to the search combo, its text selected.
  e.editor.SetWindowHandler(cm::kFocusSearchCombo, [w] {
    if (HWND combo = w->SearchCombo()) {
      SetFocus(combo);
      SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    }
    return sh::Effects{};
  });
  e.editor.SetWindowHandler(cm::kInfoWindowFront, [w] {
    if (!w->protocol || !w->messenger.connectedToInfoWindow() ||
        !w->protocol->AskInfoWindowForward([w](bool answered) {
          if (!answered) Tell(w->host, u8"情報ｳｨﾝﾄﾞｳを手前に表示できませんでした。", sh::BoxIcon::Warning);
        }))
      Tell(w->host, u8"情報ｳｨﾝﾄﾞｳを手前に表示できませんでした。", sh::BoxIcon::Warning);
    return sh::Effects{};
  });
}

void FillFunctionList(EditorWindow& e) {
  HWND combo = e.functionBand ? GetDlgItem(e.functionBand, cm::kFunctionComboId) : nullptr;
  if (!combo) return;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  e.functionLines.clear();
  for (const auto& [line, label] : e.editor.RangeLabels()) {
    // "label:line", as the info window lists functions.
    const std::string item = label + ":" + std::to_string(line.value);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    e.functionLines.push_back(line.value);
  }
}

void SelectFunctionAt(EditorWindow& e, int line) {
  HWND combo = e.functionBand ? GetDlgItem(e.functionBand, cm::kFunctionComboId) : nullptr;
  if (!combo) return;
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(e.editor.LabelIndexAt(doc::LineNo(line))), 0);
}

namespace {

// A file goes in above the caret line, or above the selection's first line.
void InsertFile(EditorWindow& e, int) {
  if (!e.commands) return;
  const doc::LineNo line = e.editor.pane(e.active()).caret.line;
  const bool selected = e.editor.hasSelection();
  const doc::LineNo first = selected ? e.editor.selection().Normalised().anchorLine : line;
  e.commands->InsertFileCommand(line, selected, first);
  // What went in (all of it, or what did before a failure) is one change to undo.
  const gf::Loader::Inserted in = e.loader.TakeInserted();
  if (!in.empty()) e.Apply(e.editor.FileInserted(in.from, in.to));
  e.Refresh();
}

void WriteProtect(EditorWindow& e, int) {
  if (!e.commands) return;
  e.commands->ToggleWriteProtect(false);
  e.Refresh();
}

void ClearUndo(EditorWindow& e, int) { e.Apply(e.editor.ClearUndoCommand()); }
void SplitMenu(EditorWindow& e, int id) { e.Split(id); }
void TopMost(EditorWindow& e, int) { ToggleTopMost(e); }

constexpr MenuHandler kMenuHandlers[] = {
    {4, 4, InsertFile},     {12, 12, WriteProtect}, {47, 49, SplitMenu},
    {54, 54, TopMost},      {1020, 1020, TopMost},  {102, 115, ScrollMenu},
    {101, 101, ClearUndo},
};

const MenuHandler* FindMenuHandler(int id) {
  for (const MenuHandler& h : kMenuHandlers)
    if (id >= h.first && id <= h.last) return &h;
  return nullptr;
}

}  // namespace

bool ExecuteMenuCommand(EditorWindow& e, int id) {
  if (const MenuHandler* h = FindMenuHandler(id)) {
    h->run(e, id);
    return true;
  }
  if (Container(id)) return true;
  // Every other id with a code runs that code's handler.
  const cm::CommandCode code = cm::MenuIdToCode(id);
  if (code == cm::kNoCommand || !e.editor.Implemented(code)) return false;
  e.Apply(e.editor.Run(code, sh::CommandSource::Menu));
  return true;
}

void FontComboChanged(EditorWindow& e, int id) { ApplyChosenFont(e, id); }

}  // namespace gorvane::shell::win32
