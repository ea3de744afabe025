// Win32 only: the editor program's windows and state, shared by the files of
// the program (start-up and frame, edit views, bars and menus).
#pragma once

#include "files/file_system.h"
#include "ipc/kernel.h"

#include <windows.h>
#include <imm.h>
#include <commctrl.h>
#include <windowsx.h>

#undef CopyFile
#undef DeleteFile
#undef ReplaceFile
#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "charcode/charcode.h"
#include "charcode/sjis_case.h"
#include "charcode/wide_text.h"
#include "commands/key_tables.h"
#include "commands/menu_layout.h"
#include "companions/qorvetc/qorvetc_binding_win32.h"
#include "document/line_store.h"
#include "files/document_file.h"
#include "files/file_commands.h"
#include "files/loader.h"
#include "files/paths.h"
#include "files/writer.h"
#include "ipc/bookmark_link.h"
#include "ipc/document_link.h"
#include "ipc/editor_protocol.h"
#include "ipc/instance_group.h"
#include "ipc/messages.h"
#include "ipc/messenger.h"
#include "ipc/search_link.h"
#include "shell/close_request.h"
#include "shell/clipboard_win32.h"
#include "shell/cmdline.h"
#include "shell/deferring_host.h"
#include "shell/edit_render.h"
#include "shell/file_dialogs_win32.h"
#include "shell/host.h"
#include "shell/editor.h"
#include "shell/metrics.h"
#include "shell/status_bar.h"

namespace cc = gorvane::charcode;
namespace doc = gorvane::document;
namespace gf = gorvane::files;
namespace ipc = gorvane::ipc;
namespace sh = gorvane::shell;

namespace gorvane::shell::win32 {

constexpr UINT_PTR kPollTimer = 4;       // the inbox, every 2 ms
constexpr UINT_PTR kQueueTimer = 14;     // the re-send queues, every 5 ms
constexpr DWORD kStartupWaitMs = 30000;  // the start-up mutex: never an unbounded wait
constexpr UINT_PTR kStartupHoldTimer = 30;  // lets go of the start-up mutex if no message came
constexpr UINT kStartupHoldMs = 5000;
constexpr int kStatusBarId = 2100;
constexpr UINT kBuildBandsMessage = WM_APP + 2;  // the control bands, after the first page
constexpr UINT kSearchItemChosenMessage = WM_APP + 3;  // the search combo's chosen item, taken after its own work
constexpr int kUndoButton = 1006, kRedoButton = 1007;  // the tool bar's
// WM_COPYDATA to an edit view with this tag: a text (UTF-16, no NUL) given
// to the input method as its composition and completed, so that it comes back
// as an input-method result. The tests use it; TRUE when the input method took it.
constexpr ULONG_PTR kCompositionResultData = 0x47565245;  // "GVRE"

// ---- text between Shift-JIS and UTF-16 (our own tables) ----

// A function of a system library loaded when it is first needed (the file
// dialogs' and the shell's libraries cost the start-up time otherwise).
template <typename F>
F LateBound(const wchar_t* library, const char* name) {
  HMODULE m = GetModuleHandleW(library);
  if (!m) m = LoadLibraryW(library);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

inline std::wstring Wide(std::string_view sjis) { return cc::SjisToWide<wchar_t>(sjis); }
inline std::string Narrow(const std::wstring& wide) { return cc::WideToSjis(std::wstring_view(wide)); }

// ---- the host: boxes and status texts ----

class Win32Host final : public sh::Host {
 public:
  sh::BoxAnswer ShowMessageBox(const sh::MessageBoxRequest& box) override {
    UINT flags = box.topMost ? MB_TOPMOST : 0;
    switch (box.icon) {
      case sh::BoxIcon::Error: flags |= MB_ICONERROR; break;
      case sh::BoxIcon::Warning: flags |= MB_ICONWARNING; break;
      case sh::BoxIcon::Information: flags |= MB_ICONINFORMATION; break;
      case sh::BoxIcon::Question: flags |= MB_ICONQUESTION; break;
      case sh::BoxIcon::None: break;
    }
    switch (box.buttons) {
      case sh::BoxButtons::Ok: flags |= MB_OK; break;
      case sh::BoxButtons::OkCancel: flags |= MB_OKCANCEL; break;
      case sh::BoxButtons::YesNo: flags |= MB_YESNO; break;
      case sh::BoxButtons::YesNoCancel: flags |= MB_YESNOCANCEL; break;
    }
    const int r = MessageBoxW(owner, Wide(box.text).c_str(), Wide(box.caption).c_str(), flags);
    return r == IDCANCEL ? sh::BoxAnswer::Cancel : r == IDYES ? sh::BoxAnswer::Yes : r == IDNO ? sh::BoxAnswer::No
                                                                                             : sh::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view text) override {
    status = std::string(text);
    if (model) model->ShowStatusMessage(text, true);
    else if (statusBar) SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  }
  void Beep() override { MessageBeep(MB_OK); }
  HWND owner = nullptr, statusBar = nullptr;
  sh::StatusBar* model = nullptr;  // the fields, once the bar is set up
  std::string status;
};

// ---- the status bar control under the portable model ----

class StatusView final : public sh::StatusBarView {
 public:
  HWND bar = nullptr, frame = nullptr;
  int TextWidth(std::string_view sjis) override {
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
    const std::wstring w = Wide(sjis);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    return size.cx;
  }
  void SetFieldEdges(std::span<const int, sh::kStatusFieldCount> edges) override {
    int parts[sh::kStatusFieldCount];
    std::copy(edges.begin(), edges.end(), parts);
    SendMessageW(bar, SB_SETPARTS, sh::kStatusFieldCount, reinterpret_cast<LPARAM>(parts));
  }
  void SetFieldText(int field, std::string_view sjis) override {
    SendMessageW(bar, SB_SETTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(Wide(sjis).c_str()));
  }
  void SetFieldTip(int field, std::string_view sjis) override {
    SendMessageW(bar, SB_SETTIPTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(Wide(sjis).c_str()));
  }
  void SetClearTimer(int ms) override {
    if (ms > 0) SetTimer(frame, sh::kStatusClearTimerId, static_cast<UINT>(ms), nullptr);
    else KillTimer(frame, sh::kStatusClearTimerId);
  }
};

// ---- the window activator for the activation handshake ----

class Activator final : public ipc::WindowActivator {
 public:
  std::uint32_t ThreadId() override { return GetCurrentThreadId(); }
  bool AttachTo(std::uint32_t thread) override {
    attached_ = thread;
    return AttachThreadInput(GetCurrentThreadId(), thread, TRUE) != 0;
  }
  void Detach() override {
    if (attached_) AttachThreadInput(GetCurrentThreadId(), attached_, FALSE);
    attached_ = 0;
    // The foreground came while the input was shared with the partner, whose
    // process may end now: it is taken again with this thread's own input.
    if (broughtForward_ && frame) SetForegroundWindow(frame);
    broughtForward_ = false;
  }
  void BringToFront() override {
    if (!frame) return;
    if (IsIconic(frame)) ShowWindow(frame, SW_RESTORE);
    SetForegroundWindow(frame);
    BringWindowToTop(frame);
    broughtForward_ = attached_ != 0;
  }
  HWND frame = nullptr;

 private:
  DWORD attached_ = 0;
  bool broughtForward_ = false;
};

// ---- the editor ----

// A pane's windows; its view state is the editor's.
struct Pane {
  HWND view = nullptr, lineNumbers = nullptr;
};

// The line dialogs from the resource library's templates ("JUMP",
// "SELECTLNUM", "MARKJUMP", "SETAREASEL", "EDITAREASEL").
// "JUMP" and "SELECTLNUM" are modal; "MARKJUMP", "SETAREASEL" and
// "EDITAREASEL" modeless, one of each kind at a time (a new one replaces an
// open one, which counts as cancelled).
class LineDialogsWin32 final : public sh::EditorDialogs {
 public:
  ~LineDialogsWin32() override;
  bool Ask(sh::DialogKind kind, std::vector<std::string>& fields) override;
  void Open(sh::DialogKind kind, std::vector<std::string> fields, Done done) override;
  // The message loop offers each message to the open modeless dialogs first.
  bool Offer(MSG* msg);
  HWND* owner = nullptr;
  HMODULE* resources = nullptr;
  std::array<HWND, 6> open{};  // by DialogKind
  // The search dialog ("SCHDLG", search_dialog_win32.cpp) lists the
  // editor's history, chooses from it through the editor, tells an empty
  // text through the host and offers search in files only while the info
  // window is there.
  const sh::Editor* editor = nullptr;
  sh::Host* host = nullptr;
  std::function<void(int index)> chooseSearchItem;
  std::function<bool()> infoWindowAvailable;
};

// "SCHDLG": a modeless dialog over the fields of DialogKind::Search; its
// window, or nullptr when the template cannot be made into one.
HWND OpenSearchDialog(LineDialogsWin32& dialogs, std::vector<std::string> fields, sh::EditorDialogs::Done done);

// The dialog's settings to the info window and the other editors.
class SearchSharingWin32 final : public sh::SearchSharing {
 public:
  explicit SearchSharingWin32(ipc::SearchLink& link) : link_(link) {}
  void ShareSearch(const ipc::SearchSettings& settings, bool toOtherEditors) override {
    link_.Share(settings, toOtherEditors);
  }

 private:
  ipc::SearchLink& link_;
};

// The info window's list of this file's bookmarks, over the bookmark messages.
class InfoWindowBookmarks final : public sh::BookmarkRegistry {
 public:
  InfoWindowBookmarks(ipc::BookmarkLink& link, ipc::DocumentLink& document) : link_(link), document_(document) {}
  bool Available() override { return link_.MarksAvailable(); }
  void Register(std::uint8_t mark, std::string_view name, std::function<void(bool)> done) override {
    link_.SetMark(document_.fileNumber(), mark, name, std::move(done));
  }
  void Unregister(std::uint8_t mark) override {
    link_.DeleteMark(document_.fileNumber(), mark);
    // A delete that could not be written yet goes out from the timer.
    if (link_.pendingDeletes() != 0 && frame) SetTimer(frame, ipc::kMarkDeleteTimerId, ipc::kMarkDeleteRetryMs, nullptr);
  }
  HWND frame = nullptr;

 private:
  ipc::BookmarkLink& link_;
  ipc::DocumentLink& document_;
};

constexpr UINT_PTR kBracketTimer = 31;  // the matching-bracket search, 250 ms after the caret stopped on a bracket

struct EditorWindow {
  HINSTANCE instance = nullptr;
  HWND frame = nullptr, statusBar = nullptr;
  Pane pane[2];
  HFONT font = nullptr, numberFont = nullptr;
  sh::EditMetrics metrics;
  int lineHeight = 16, numberWidth = 48;
  int tabSize = 8;
  int leftMargin = 2;   // pixels before the text
  int widest = 0;       // the widest line painted so far (pixels): the horizontal range
  int wheelDelta = 0;   // wheel units not yet scrolled
  std::string fontFace;  // empty: the default face
  int fontPoints = 12;
  int lineSpacing = 2;
  sh::RenderSettings render;
  sh::DrawColours colours;
  // The bars: the rebar with the tool bar and the function, search and font bands.
  HWND rebar = nullptr, toolBar = nullptr, functionBand = nullptr, searchBand = nullptr, fontBand = nullptr;
  HIMAGELIST toolImages = nullptr;
  std::wstring tipText;  // the tool tip shown last
  bool topMost = false;
  int sizeState = 0;  // 0 restored, 1 minimised, 2 maximised
  RECT restored{};    // the frame's rectangle when last restored
  // The key tables (copied from the group's header page) and the OEM keys.
  gorvane::commands::KeyTables keys;
  gorvane::commands::OemKeyTable oemKeys = gorvane::commands::DefaultOemKeys();
  std::string programFolder;

  gorvane::base::SystemClock clock;  // timers, deadlines, the status text's clearing
  std::unique_ptr<ipc::Kernel> kernel = ipc::CreateSystemKernel();
  Win32Host rawHost;
  // Boxes asked for while painting wait until the paint is over.
  sh::DeferringHost host{rawHost, [this] {
                           if (frame) PostMessageW(frame, WM_APP + 1, 0, 0);
                         }};
  gorvane::qorvetc::DllTmpCache cache;  // QORVetc.dll's, bound at start-up
  doc::LineStore store{host, cache};
  std::unique_ptr<gf::FileSystem> fs = gf::CreateSystemFileSystem();
  ipc::InstanceGroup group{*kernel, host};
  ipc::Messenger messenger{*kernel, host, group, [this] { return static_cast<std::uint64_t>(clock.NowMs()); }};
  // The group and the info window as the file commands see them.
  ipc::DocumentLink link{*kernel, group, messenger, host};
  gf::DocumentFile file;
  gf::WriteSettings writeSettings;
  gf::FileContext ctx{host, store, *fs, link, file, writeSettings};
  gf::Loader loader{ctx};
  Activator activator;
  std::unique_ptr<ipc::EditorProtocol> protocol;
  bool closeOnRequest = false;
  HMODULE resources = nullptr;  // qvres.dll
  std::unique_ptr<gf::FileDialogs> dialogs;
  std::unique_ptr<gf::FileCommands> commands;
  StatusView statusView;
  std::unique_ptr<sh::StatusBar> statusModel;
  std::string caretText;  // the line the status fields describe
  std::string shownTitle;
  bool sharedModified = false;  // the modified byte of this editor's entry in the open-file table
  std::function<void()> releaseStartup;  // lets go of the start-up mutex (once)
  LineDialogsWin32 lineDialogs;
  ipc::BookmarkLink marks{messenger, group};
  InfoWindowBookmarks bookmarks{marks, link};
  ipc::SearchLink searchLink{messenger};
  SearchSharingWin32 searchSharing{searchLink};
  // The document's editor: panes, caret, selection, commands.
  sh::Editor editor{host, store, lineDialogs};
  ClipboardWin32 clipboard{&frame};
  std::uint64_t seenReplacements = 0;  // the loader's replacements the editor has been told of
  // The system caret: shown or hidden (ShowCaret and HideCaret count), and
  // its shape (wider while overwriting).
  bool caretShown = false;
  bool caretOverwrite = false;
  bool composing = false;    // an input-method composition is under way
  wchar_t pendingHigh = 0;   // the first half of a surrogate pair typed
  std::vector<int> functionLines;  // the function box's items: their lines
  bool fillingSearchBar = false;   // the search combo is being filled: its notices are ours
  WNDPROC searchEditProc = nullptr;  // the search combo's edit field before it was subclassed

  int panes() const { return editor.paneCount(); }
  int active() const { return editor.activePane(); }
  int split() const { return editor.split(); }
  // Carries out what the editor answered.
  void Apply(const sh::Effects& fx);
  // The search band follows the editor: the combo's list from the history
  // and its text, the seven buttons checked and enabled by the options.
  void RefreshSearchBar();
  HWND SearchCombo() const { return searchBand ? GetDlgItem(searchBand, gorvane::commands::kSearchComboId) : nullptr; }
  // The search combo's edit text as the editor's search text.
  void TakeSearchText();
  // The windows of the second pane follow the editor's split.
  void SyncPaneWindows();
  // The windows whose keys go through the key tables: the edit views and
  // the search box.
  bool IsKeyTarget(HWND w) const {
    if (!w) return false;
    for (int p = 0; p < panes(); ++p)
      if (w == pane[p].view) return true;
    HWND search = SearchCombo();
    return search && (w == search || GetParent(w) == search);
  }
  int VisibleLines(int p) const {
    RECT r;
    GetClientRect(pane[p].view, &r);
    return std::max(1, static_cast<int>(r.bottom - r.top) / lineHeight);
  }
  // The title follows the document's name and modified state, and so does
  // the modified byte the other editors and the info window read.
  void UpdateTitle() {
    if (file.modified != sharedModified) {
      sharedModified = file.modified;
      group.SetModified(file.modified);
    }
    const std::string name = gf::FileNameOf(file.path), folder = gf::FolderOf(file.path);
    const std::string title = sh::FrameTitle(name, folder, file.modified);
    if (title == shownTitle) return;
    shownTitle = title;
    SetWindowTextW(frame, Wide(title).c_str());
  }
  void UpdateScrollBar(int p) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 1;
    // The last line can be scrolled up to the top row.
    si.nMax = static_cast<int>(std::max<std::uint32_t>(1, store.lineCount())) + VisibleLines(p) - 1;
    si.nPage = static_cast<UINT>(VisibleLines(p));
    si.nPos = editor.pane(p).first.value;
    SetScrollInfo(pane[p].view, SB_VERT, &si, TRUE);
  }
  void Repaint(int p) {
    InvalidateRect(pane[p].view, nullptr, FALSE);
    InvalidateRect(pane[p].lineNumbers, nullptr, FALSE);
  }
  // The first displayed line stays between 1 and the line count.
  void ScrollTo(int p, int line) { Apply(editor.ScrollTo(p, doc::LineNo(line))); }
  // Creates the edit and line-number fonts and measures them.
  void SetUpFonts();
  // Wheel units: every 120 scroll by the system's wheel line count.
  void Wheel(int p, int delta);
  void UpdateHorizontalBar(int p);
  // Puts the system caret where the pane's caret is (hidden when it is
  // scrolled out of the pane), in the shape of the insert mode.
  void PlaceSystemCaret(int p);
  // Creates the focused pane's caret (hidden).
  void MakeCaret(int p);
  // Moves the pane's caret (clamped to the document and to character
  // boundaries) and scrolls it into view.
  void SetCaret(int p, int line, int column) { Apply(editor.SetCaret(p, doc::LineNo(line), doc::CaretCol(column))); }
  // The text of a line (empty when it cannot be read).
  std::string Line(int line) {
    std::string text;
    if (!store.ReadLine(doc::LineNo(line), &text)) text.clear();
    return text;
  }
  // What the status fields show.
  sh::StatusState State() {
    sh::StatusState st;
    st.encoding = file.code == 0 ? cc::kCodeSjis : file.code;
    st.lineEnd = std::string_view(reinterpret_cast<const char*>(file.crlf.data()), cc::CrlfLength(st.encoding, file.crlf.data()));
    st.caretLine = editor.pane(active()).caret.line;
    st.caretColumn = editor.pane(active()).caret.column;
    if (store.ReadLine(st.caretLine, &caretText)) st.lineText = caretText;
    st.writeProtected = file.readOnly || file.writeProtectMode;
    st.insertMode = editor.insertMode();
    st.capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
    st.numLock = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    if (HIMC imc = ImmGetContext(pane[active()].view)) {
      st.inputMethodOpen = ImmGetOpenStatus(imc) != 0;
      ImmReleaseContext(pane[active()].view, imc);
    }
    st.undoAvailable = !editor.undo().disabled();
    st.undoUsed = editor.undo().used();
    st.undoTotal = editor.undo().size();
    return st;
  }
  void RefreshStatus() {
    if (!statusModel) return;
    const sh::StatusState st = State();
    statusModel->RefreshCaretPosition(st);
    statusModel->RefreshCharCode(st);
    statusModel->RefreshInsertMode(st);
    statusModel->RefreshCapsLock(st);
    statusModel->RefreshNumLock(st);
    statusModel->RefreshInputMode(st);
    statusModel->RefreshUndoSpace(st);
  }
  // After file work (a command, a request, a re-read) the editor hears what
  // became of the document: replaced (opened, read again, made new; its
  // undo history goes), saved (its saved point moves here), or changed, and
  // whether it is write-protected now.
  void Refresh();
  // Activation and clicks: a file changed on disk is read again when the
  // person wants it.
  void CheckFileOnDisk() {
    if (loader.CheckFileChanged(false) || loader.replacements() != seenReplacements) Refresh();
  }
  // The tool bar's undo and redo buttons follow the undo buffer.
  void UpdateUndoButtons();
  // The input method's composition window at the caret, in the edit font.
  void PlaceComposition(int p, bool withFont);
  // Typed UTF-16 units (a character message, or an input-method result
  // at once): converted through our code page 932 tables and typed.
  void TypeUnit(wchar_t unit);
  void TypeResult(std::wstring_view text);
  // As wide as the document's largest line number needs.
  int NumberColumnWidth() const {
    if (metrics.lineNumberDigitWidth <= 0) return numberWidth;
    return sh::LineNumberColumnWidth(static_cast<int>(std::max<std::uint32_t>(1, store.lineCount())),
                                     metrics.lineNumberDigitWidth);
  }
  void Layout() {
    numberWidth = NumberColumnWidth();
    RECT r;
    GetClientRect(frame, &r);
    SendMessageW(statusBar, WM_SIZE, 0, 0);
    if (statusModel) statusModel->Layout(r.right - r.left, GetSystemMetrics(SM_CXVSCROLL));
    RECT s;
    GetWindowRect(statusBar, &s);
    const int statusHeight = s.bottom - s.top;
    int top = 0;
    if (rebar) {
      SendMessageW(rebar, WM_SIZE, 0, 0);
      RECT b;
      GetWindowRect(rebar, &b);
      top = b.bottom - b.top;
    }
    const int height = std::max(0, static_cast<int>(r.bottom) - statusHeight - top);
    const int width = static_cast<int>(r.right);
    auto place = [&](int p, int x, int y, int w, int h) {
      MoveWindow(pane[p].lineNumbers, x, y, numberWidth, h, TRUE);
      MoveWindow(pane[p].view, x + numberWidth, y, std::max(0, w - numberWidth), h, TRUE);
      RECT c;
      GetClientRect(pane[p].view, &c);
      editor.Resize(p, std::max(1, static_cast<int>(c.bottom) / std::max(1, lineHeight)), static_cast<int>(c.right));
      UpdateScrollBar(p);
    };
    if (split() == 47) {
      const int first = FirstPaneSize(width);
      place(0, 0, top, first, height);
      MoveWindow(splitter, first, top, kSplitterBar, height, TRUE);
      place(1, first + kSplitterBar, top, width - first - kSplitterBar, height);
    } else if (split() == 48) {
      const int first = FirstPaneSize(height);
      place(0, 0, top, width, first);
      MoveWindow(splitter, 0, top + first, width, kSplitterBar, TRUE);
      place(1, 0, top + first + kSplitterBar, width, height - first - kSplitterBar);
    } else {
      place(0, 0, top, width, height);
    }
  }
  // The splitter bar between two panes, and where it is: the first pane's
  // share of the edit area (half until the bar is moved).
  static constexpr int kSplitterBar = 5;
  static constexpr int kLeastPane = 100;  // pixels each pane keeps when the bar moves
  HWND splitter = nullptr;
  int splitterGrab = 0;        // where on the bar the mouse took it
  bool toldNoBitmap = false;   // the warning that paints go straight to the screen
  double splitShare = 0.5;
  int FirstPaneSize(int total) const {
    const int room = std::max(0, total - kSplitterBar);
    return std::clamp(static_cast<int>(room * splitShare + 0.5), 0, room);
  }
  // Divides the edit area (47 side by side, 48 one above the other) or
  // makes it one pane again (49).
  void Split(int how) { Apply(editor.SetSplit(how == 49 ? 0 : how)); }
};

// The editor window a frame, view or line-number window belongs to.
EditorWindow* WindowOf(HWND hwnd);

// ---- edit_view_win32.cpp ----
// Registers the classes "QVChild" and "QVLineNum".
bool RegisterViewClasses(HINSTANCE inst);
// Registers "SeparateWindowClass", the bar between two panes.
bool RegisterSplitterClass(HINSTANCE inst);

// What a key-down to an edit view or the search box does, by the modifier
// keys held now and the key tables.
gorvane::commands::KeyDecision DecideKeyNow(const EditorWindow& e, WPARAM vk);

// ---- frame_bars_win32.cpp ----
// The rebar with the tool bar.
bool CreateBars(EditorWindow& e);
// The function, font and search bands in the rebar.
bool CreateControlBands(EditorWindow& e);
// The main menu, labels with their keys.
bool BuildMainMenu(EditorWindow& e);
// The enable and check marks of a pop-up menu that is about to open.
void UpdateMenuPopup(EditorWindow& e, HMENU popup);
// A menu, button or band command; false when the id is not ours.
bool ExecuteMenuCommand(EditorWindow& e, int id);
// The commands the frame carries out itself (files, the info window), given to the editor.
void RegisterFrameCommands(EditorWindow& e);
// The function box: the range labels, and the one at or above a line chosen.
void FillFunctionList(EditorWindow& e);
void SelectFunctionAt(EditorWindow& e, int line);
// The tool tip of a tool-bar button.
const wchar_t* ToolTipText(EditorWindow& e, int id);
void FontComboChanged(EditorWindow& e, int id);
void ShowScrollMenu(EditorWindow& e, bool vertical, int x, int y);
// The edit view's or the line-number column's right-click menu at a screen point.
void ShowPopupMenu(EditorWindow& e, bool lineNumbers, int x, int y);

}  // namespace gorvane::shell::win32
