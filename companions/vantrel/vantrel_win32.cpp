// Vantrel on Windows: one top-level window with three pages (search hits,
// build output, bookmarks) and a status line, over the portable model and session. A
// 2 ms timer polls the inbox. Texts are Shift-JIS inside and are shown
// through our own code page 932 tables.
//
// Exit codes: see vantrel_model.h (kExit...). A bad command line ends the
// program at once, without a window or a box.
#include "base/host.h"
#include "charcode/charcode.h"
#include "charcode/sjis_case.h"
#include "charcode/wide_text.h"
#include "companions/vantrel/vantrel_model.h"
#include "companions/vantrel/vantrel_session.h"
#include "files/settings_records.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// <windows.h> maps these names to its A/W functions; here they are methods.
#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

namespace {

namespace cc = gorvane::charcode;
namespace vt = gorvane::vantrel;

constexpr wchar_t kClassName[] = L"VantrelInfoWindow";
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 2;
constexpr UINT_PTR kDetachTimer = 2;
constexpr UINT kDetachMs = 1000;

// Control ids (the tests find the lists by them).
constexpr int kTabId = 100;
constexpr int kHitListId = 101;
constexpr int kOutputListId = 102;
constexpr int kStatusId = 103;
constexpr int kMarkListId = 104;
constexpr int kMenuClearHits = 200;
constexpr int kMenuClearOutput = 201;
constexpr int kMenuClose = 202;
constexpr int kMenuDeleteMark = 203;

constexpr int kHitsPage = 0, kBuildPage = 1, kMarksPage = 2;

// ---- text ----

std::wstring Wide(std::string_view sjis) { return cc::SjisToWide<wchar_t>(sjis); }
std::string Sjis(const wchar_t* text, std::size_t length) { return cc::WideToSjis(std::wstring_view(text, length)); }

// A text for one list cell: control characters shown as blanks.
std::wstring Cell(std::string_view sjis) {
  std::wstring w = Wide(sjis);
  for (wchar_t& c : w)
    if (c < 0x20) c = L' ';
  return w;
}

std::wstring Utf16Of(std::u8string_view utf8) { return Wide(gorvane::base::Sjis(utf8)); }

// ---- the window ----

struct App {
  std::unique_ptr<gorvane::ipc::Kernel> kernel;
  std::unique_ptr<vt::VantrelModel> model;
  std::unique_ptr<vt::VantrelSession> session;
  std::unique_ptr<gorvane::ipc::ProgramStarter> starter = gorvane::ipc::CreateSystemProgramStarter();
  HANDLE log = INVALID_HANDLE_VALUE;
  HWND window = nullptr, tab = nullptr, hits = nullptr, output = nullptr, marks = nullptr, status = nullptr;
  int page = 0;
  bool hitsDirty = false, outputDirty = false, marksDirty = false;
  bool inboxFailureShown = false;
  DWORD attachedThread = 0;
  std::wstring cell;  // the text handed to a list view for one cell
};

App* g_app = nullptr;

void SetStatus(App& app, std::string_view sjis) {
  const std::wstring w = Cell(sjis);
  SendMessageW(app.status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void ShowPage(App& app, int page) {
  app.page = page;
  SendMessageW(app.tab, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
  ShowWindow(app.hits, page == kHitsPage ? SW_SHOW : SW_HIDE);
  ShowWindow(app.output, page == kBuildPage ? SW_SHOW : SW_HIDE);
  ShowWindow(app.marks, page == kMarksPage ? SW_SHOW : SW_HIDE);
}

void Layout(App& app) {
  RECT client;
  GetClientRect(app.window, &client);
  SendMessageW(app.status, WM_SIZE, 0, 0);
  RECT bar;
  GetWindowRect(app.status, &bar);
  const int statusHeight = bar.bottom - bar.top;
  const int height = std::max(0, static_cast<int>(client.bottom) - statusHeight);
  MoveWindow(app.tab, 0, 0, client.right, height, TRUE);
  RECT inner{0, 0, client.right, height};
  SendMessageW(app.tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&inner));
  for (HWND list : {app.hits, app.output, app.marks})
    MoveWindow(list, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top, TRUE);
}

void BringToFront(App& app, DWORD thread) {
  const DWORD mine = GetCurrentThreadId();
  const bool attached = thread != 0 && thread != mine && AttachThreadInput(mine, thread, TRUE);
  ShowWindow(app.window, IsIconic(app.window) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(app.window);
  BringWindowToTop(app.window);
  if (attached) AttachThreadInput(mine, thread, FALSE);
}

// An editor asked us to attach to its input so that it can come to the
// front; we let go again after a while.
void AttachInput(App& app, DWORD thread) {
  const DWORD mine = GetCurrentThreadId();
  if (app.attachedThread != 0) AttachThreadInput(mine, app.attachedThread, FALSE);
  app.attachedThread = thread != mine && AttachThreadInput(mine, thread, TRUE) ? thread : 0;
  if (app.attachedThread != 0) SetTimer(app.window, kDetachTimer, kDetachMs, nullptr);
}

void OnEvent(App& app, const vt::Event& e) {
  switch (e.kind) {
    case vt::EventKind::kBringToFront:
      BringToFront(app, e.thread);
      break;
    case vt::EventKind::kAttachInput:
      AttachInput(app, e.thread);
      break;
    case vt::EventKind::kHide:
      ShowWindow(app.window, SW_HIDE);
      break;
    case vt::EventKind::kShowSearchPage:
    case vt::EventKind::kShowBuildPage:
      if (!IsWindowVisible(app.window)) ShowWindow(app.window, SW_SHOWNOACTIVATE);
      ShowPage(app, e.kind == vt::EventKind::kShowSearchPage ? kHitsPage : kBuildPage);
      break;
    case vt::EventKind::kHitsChanged:
      app.hitsDirty = true;
      break;
    case vt::EventKind::kOutputChanged:
      app.outputDirty = true;
      break;
    case vt::EventKind::kFilesChanged:  // the bookmarks show their files' names, and go with them
    case vt::EventKind::kMarksChanged:
      app.marksDirty = true;
      break;
    case vt::EventKind::kStatus:
      SetStatus(app, e.text);
      break;
  }
}

// The lists are virtual: only their item counts are kept up to date.
void RefreshLists(App& app) {
  if (app.hitsDirty) {
    app.hitsDirty = false;
    SendMessageW(app.hits, LVM_SETITEMCOUNT, app.model->hits().size(), LVSICF_NOSCROLL);
    InvalidateRect(app.hits, nullptr, FALSE);
  }
  if (app.outputDirty) {
    app.outputDirty = false;
    const std::size_t n = app.model->outputLines().size() + (app.model->partialOutputLine().empty() ? 0 : 1);
    SendMessageW(app.output, LVM_SETITEMCOUNT, n, LVSICF_NOSCROLL);
    if (n != 0) SendMessageW(app.output, LVM_ENSUREVISIBLE, n - 1, FALSE);
    InvalidateRect(app.output, nullptr, FALSE);
  }
  if (app.marksDirty) {
    app.marksDirty = false;
    SendMessageW(app.marks, LVM_SETITEMCOUNT, app.model->marks().size(), LVSICF_NOSCROLL);
    InvalidateRect(app.marks, nullptr, FALSE);
  }
}

// The inbox is polled again whatever happened; a failing one is reported
// once in the status line.
void Poll(App& app) {
  const int read = app.session->Poll([&app](const vt::Event& e) { OnEvent(app, e); });
  if (read < 0 && !app.inboxFailureShown) {
    app.inboxFailureShown = true;
    SetStatus(app, gorvane::base::Sjis(u8"メールスロットを読めなくなりました。"));
  }
  RefreshLists(app);
}

// The selected bookmark goes, and its editor is told.
void DeleteSelectedMark(App& app) {
  const auto selected = static_cast<int>(SendMessageW(app.marks, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (selected < 0) return;
  app.session->DeleteMark(static_cast<std::size_t>(selected), [&app](const vt::Event& e) { OnEvent(app, e); });
  RefreshLists(app);
}

// The text of one cell of a virtual list.
void FillCell(App& app, NMLVDISPINFOW& info) {
  if ((info.item.mask & LVIF_TEXT) == 0 || info.item.iItem < 0) return;
  const auto index = static_cast<std::size_t>(info.item.iItem);
  app.cell.clear();
  if (info.hdr.idFrom == static_cast<UINT_PTR>(kHitListId)) {
    const auto& hits = app.model->hits();
    if (index >= hits.size()) return;
    const vt::Hit& hit = hits[index];
    const vt::Listing& listing = app.model->listings()[hit.listing];
    switch (info.item.iSubItem) {
      case 0:
        app.cell = listing.path.empty() ? Utf16Of(u8"(置換)") : Cell(listing.path);
        break;
      case 1:
        app.cell = std::to_wstring(hit.line);
        break;
      default:
        app.cell = Cell(hit.text);
        break;
    }
  } else if (info.hdr.idFrom == static_cast<UINT_PTR>(kMarkListId)) {
    const auto& marks = app.model->marks();
    if (index >= marks.size()) return;
    const vt::MarkEntry& mark = marks[index];
    switch (info.item.iSubItem) {
      case 0:
        if (const vt::FileEntry* f = app.model->FindFile(mark.file)) app.cell = Cell(f->path);
        break;
      case 1:
        app.cell = std::to_wstring(mark.mark);
        break;
      default:
        app.cell = Cell(mark.note);
        break;
    }
  } else if (info.hdr.idFrom == static_cast<UINT_PTR>(kOutputListId)) {
    const auto& lines = app.model->outputLines();
    if (index < lines.size())
      app.cell = Cell(lines[index]);
    else if (index == lines.size())
      app.cell = Cell(app.model->partialOutputLine());
  }
  info.item.pszText = app.cell.data();
}

LRESULT OnNotify(App& app, NMHDR& hdr) {
  if (hdr.code == LVN_GETDISPINFOW) {
    FillCell(app, reinterpret_cast<NMLVDISPINFOW&>(hdr));
    return 0;
  }
  // A double click or Enter on a hit.
  if (hdr.idFrom == static_cast<UINT_PTR>(kHitListId) && hdr.code == LVN_ITEMACTIVATE) {
    const auto& activate = reinterpret_cast<NMITEMACTIVATE&>(hdr);
    if (activate.iItem >= 0) {
      const std::string text = app.session->Jump(static_cast<std::size_t>(activate.iItem), *app.starter);
      if (!text.empty()) SetStatus(app, text);
    }
    return 0;
  }
  // A double click or Enter on a bookmark: its editor jumps to it; Delete
  // deletes it.
  if (hdr.idFrom == static_cast<UINT_PTR>(kMarkListId) && hdr.code == LVN_ITEMACTIVATE) {
    const auto& activate = reinterpret_cast<NMITEMACTIVATE&>(hdr);
    if (activate.iItem >= 0) {
      const std::string text = app.session->JumpToMark(static_cast<std::size_t>(activate.iItem));
      if (!text.empty()) SetStatus(app, text);
      app.marksDirty = true;  // a gone editor's bookmarks went with it
      RefreshLists(app);
    }
    return 0;
  }
  if (hdr.idFrom == static_cast<UINT_PTR>(kMarkListId) && hdr.code == LVN_KEYDOWN &&
      reinterpret_cast<NMLVKEYDOWN&>(hdr).wVKey == VK_DELETE) {
    DeleteSelectedMark(app);
    return 0;
  }
  if (hdr.idFrom == static_cast<UINT_PTR>(kTabId) && hdr.code == TCN_SELCHANGE) {
    ShowPage(app, static_cast<int>(SendMessageW(app.tab, TCM_GETCURSEL, 0, 0)));
    return 0;
  }
  return 0;
}

void AddColumn(HWND list, int index, std::u8string_view title, int width) {
  std::wstring text = Utf16Of(title);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  column.cx = width;
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void AddTab(HWND tab, int index, std::u8string_view title) {
  std::wstring text = Utf16Of(title);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

HWND Child(HWND parent, const wchar_t* cls, DWORD style, int id) {
  return CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 0, 0, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

bool CreateChildren(App& app) {
  HWND w = app.window;
  app.tab = Child(w, WC_TABCONTROLW, WS_VISIBLE | WS_CLIPSIBLINGS, kTabId);
  const DWORD listStyle = WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
  app.hits = Child(w, WC_LISTVIEWW, listStyle, kHitListId);
  app.output = Child(w, WC_LISTVIEWW, listStyle | LVS_NOCOLUMNHEADER, kOutputListId);
  app.marks = Child(w, WC_LISTVIEWW, listStyle, kMarkListId);
  app.status = Child(w, STATUSCLASSNAMEW, WS_VISIBLE, kStatusId);
  if (!app.tab || !app.hits || !app.output || !app.marks || !app.status) return false;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (HWND c : {app.tab, app.hits, app.output, app.marks, app.status})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  AddTab(app.tab, 0, u8"検索結果");
  AddTab(app.tab, 1, u8"ビルド出力");
  AddTab(app.tab, 2, u8"ブックマーク");
  for (HWND list : {app.hits, app.output, app.marks})
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  AddColumn(app.hits, 0, u8"ファイル", 220);
  AddColumn(app.hits, 1, u8"行", 60);
  AddColumn(app.hits, 2, u8"テキスト", 600);
  AddColumn(app.output, 0, u8"", 2000);
  AddColumn(app.marks, 0, u8"ファイル", 220);
  AddColumn(app.marks, 1, u8"番号", 60);
  AddColumn(app.marks, 2, u8"名前", 600);
  Layout(app);
  ShowPage(app, kHitsPage);
  return true;
}

HMENU CreateMainMenu() {
  HMENU menu = CreateMenu();
  HMENU view = CreatePopupMenu();
  if (!menu || !view) return nullptr;
  AppendMenuW(view, MF_STRING, kMenuClearHits, Utf16Of(u8"検索結果をクリア(&S)").c_str());
  AppendMenuW(view, MF_STRING, kMenuClearOutput, Utf16Of(u8"ビルド出力をクリア(&B)").c_str());
  AppendMenuW(view, MF_STRING, kMenuDeleteMark, Utf16Of(u8"ブックマークを削除(&D)").c_str());
  AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(view, MF_STRING, kMenuClose, Utf16Of(u8"閉じる(&X)").c_str());
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(view), Utf16Of(u8"表示(&V)").c_str());
  return menu;
}

void RememberPlace(App& app);

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  App* app = g_app;
  if (app == nullptr || app->window == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_TIMER:
      if (wParam == kPollTimer) {
        Poll(*app);
      } else if (wParam == kDetachTimer) {
        KillTimer(hwnd, kDetachTimer);
        if (app->attachedThread != 0) AttachThreadInput(GetCurrentThreadId(), app->attachedThread, FALSE);
        app->attachedThread = 0;
      }
      return 0;
    case WM_SIZE:
      Layout(*app);
      return 0;
    case WM_EXITSIZEMOVE:
      RememberPlace(*app);
      return 0;
    case WM_NOTIFY:
      return OnNotify(*app, *reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kMenuClearHits:
          app->model->ClearHits();
          app->hitsDirty = true;
          RefreshLists(*app);
          break;
        case kMenuClearOutput:
          app->model->ClearOutput();
          app->outputDirty = true;
          RefreshLists(*app);
          break;
        case kMenuDeleteMark:
          DeleteSelectedMark(*app);
          break;
        case kMenuClose:
          PostMessageW(hwnd, WM_CLOSE, 0, 0);
          break;
        default:
          break;
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      RememberPlace(*app);
      KillTimer(hwnd, kPollTimer);
      PostQuitMessage(vt::kExitOk);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// The command line as Shift-JIS.
std::string CommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? Sjis(line, wcslen(line)) : std::string();
}

// Our folder with its final "\" (Shift-JIS).
std::string ProgramFolder() {
  std::vector<wchar_t> path(32768);
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::string s = Sjis(path.data(), n);
  // The last "\" that is a character of its own, not the second byte of a double-byte one.
  std::size_t cut = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;
      continue;
    }
    if (c == '\\') cut = i + 1;
  }
  return s.substr(0, cut);
}

// The editors' shared settings keep where the window stood last; they are
// read and written under the group's main lock. Boxes about the lock are
// shown as any box of ours.
class BoxHost final : public gorvane::base::Host {
 public:
  gorvane::base::BoxAnswer ShowMessageBox(const gorvane::base::MessageBoxRequest& box) override {
    MessageBoxW(nullptr, Wide(box.text).c_str(), Wide(box.caption).c_str(), MB_OK | MB_ICONWARNING | MB_TOPMOST);
    return gorvane::base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override {}
  void Beep() override {}
};

vt::ScreenRect WorkArea() {
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return {work.left, work.top, work.right, work.bottom};
}

// Where the window first stands: where it stood last, else the screen's
// centre (never over the editor that started it).
RECT StartRect(gorvane::ipc::Kernel& kernel) {
  vt::ScreenRect remembered;
  BoxHost host;
  gorvane::ipc::InstanceGroup group(kernel, host);
  if (group.Observe())
    group.WithSettings([&](gorvane::files::SettingsArea& area) {
      const auto r = area.InfoWindowRect();
      remembered = {r.left, r.top, r.right, r.bottom};
    });
  const vt::ScreenRect at = vt::InfoWindowPlace(remembered, WorkArea());
  return RECT{at.left, at.top, at.width(), at.height()};  // left, top, width, height
}

// The editor's frame that started this window: the one standing where the
// command line says, else an editor in front; null when there is none.
HWND StartingEditor(const vt::StartArguments& a) {
  HWND front = GetForegroundWindow();
  HWND found = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"Gorvane", nullptr); w && !found;
       w = FindWindowExW(nullptr, w, L"Gorvane", nullptr)) {
    RECT r;
    if (IsWindowVisible(w) && GetWindowRect(w, &r) && r.left == a.left && r.top == a.top && r.right == a.right &&
        r.bottom == a.bottom)
      found = w;
  }
  if (found || a.project) return found;
  wchar_t frontClass[16] = {};
  return front && GetClassNameW(front, frontClass, 16) > 0 && wcscmp(frontClass, L"Gorvane") == 0 ? front : nullptr;
}

// The editor that started this window hears from it first ("@TEST@" in its
// inbox): it lets the next editor start only then, so that editors started
// at the same moment come to this one window.
void ProbeStartingEditor(App& app, const vt::StartArguments& a) {
  if (a.project || a.file.empty()) return;
  const std::wstring given = Wide(a.file);
  std::vector<wchar_t> longName(32768);
  const DWORD n = GetLongPathNameW(given.c_str(), longName.data(), static_cast<DWORD>(longName.size()));
  const std::string path = n > 0 && n < longName.size() ? Sjis(longName.data(), n) : a.file;
  const std::string lower = cc::SjisToLower(path);
  BoxHost host;
  gorvane::ipc::InstanceGroup group(*app.kernel, host);
  if (!group.Observe()) return;
  static constexpr std::uint8_t kTest[] = {'@', 'T', 'E', 'S', 'T', '@', 0};
  for (const gorvane::ipc::OpenFileEntry& e : group.OpenFiles())
    if (e.path == lower && e.infoWindow == a.infoWindow)
      app.kernel->WriteMailslot(group.names().EditorInbox(e.instance), kTest);
}

// The place the window stands now, for the next start.
void RememberPlace(App& app) {
  if (IsIconic(app.window) || IsZoomed(app.window)) return;
  RECT r;
  if (!GetWindowRect(app.window, &r)) return;
  BoxHost host;
  gorvane::ipc::InstanceGroup group(*app.kernel, host);
  if (group.Observe())
    group.WithSettings([&](gorvane::files::SettingsArea& area) {
      area.SetInfoWindowRect({r.left, r.top, r.right, r.bottom});
    });
}

bool OpenLog(App& app, const std::string& path) {
  const std::wstring wide = Wide(path);
  app.log = CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (app.log == INVALID_HANDLE_VALUE) return false;
  app.session->SetLog([&app](std::string_view record) {
    DWORD written = 0;
    WriteFile(app.log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  });
  return true;
}

int Run(HINSTANCE instance, int show) {
  const std::optional<vt::StartArguments> args = vt::ParseCommandLine(CommandLine());
  if (!args) return vt::kExitBadCommandLine;

  App app;
  app.kernel = gorvane::ipc::CreateSystemKernel();
  std::string user;
  if (!app.kernel || !app.kernel->UserName(&user)) return vt::kExitNoUser;
  app.model = std::make_unique<vt::VantrelModel>(
      vt::ModelConfig{args->infoWindow, user, GetCurrentThreadId(), ProgramFolder()});
  app.session = std::make_unique<vt::VantrelSession>(*app.kernel, *app.model);
  if (!app.session->Open()) return vt::kExitInboxTaken;
  if (!args->logPath.empty() && !OpenLog(app, args->logPath)) return vt::kExitNoLog;

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // the application icon
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return vt::kExitNoWindow;

  std::wstring title = L"Vantrel [";
  title.append(std::to_wstring(args->infoWindow));
  title.append(L"] ");
  title.append(Cell(args->file));
  const RECT at = StartRect(*app.kernel);
  g_app = &app;
  HWND w = CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, at.left, at.top,
                           at.right, at.bottom, nullptr, CreateMainMenu(), instance, nullptr);
  if (!w) return vt::kExitNoWindow;
  app.window = w;
  if (!CreateChildren(app)) {
    DestroyWindow(w);
    return vt::kExitNoWindow;
  }
  // Started by an editor: shown without taking the focus from it, and
  // behind it, so that the editor's text stays in sight.
  const bool minimised = show == SW_SHOWMINIMIZED || show == SW_MINIMIZE || show == SW_SHOWMINNOACTIVE;
  HWND editor = StartingEditor(*args);
  if (editor && !minimised && show != SW_HIDE)
    SetWindowPos(w, editor, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  else
    ShowWindow(w, show == SW_HIDE ? SW_HIDE : minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
  SetTimer(w, kPollTimer, kPollMs, nullptr);
  ProbeStartingEditor(app, *args);

  MSG msg;
  int code = vt::kExitOk;
  while (true) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(msg.wParam);
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_app = nullptr;
  if (app.attachedThread != 0) AttachThreadInput(GetCurrentThreadId(), app.attachedThread, FALSE);
  if (app.log != INVALID_HANDLE_VALUE) CloseHandle(app.log);
  return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) { return Run(instance, show); }
