// Win32 only: the editor program. Start-up (the start-up mutex, the library
// checks, the command line, joining the group of editors), the main frame
// with its edit view, line-number column and status bar, opening the
// document, painting and scrolling it, the timers that poll the inbox, and
// the orderly shut-down. Everything that can be is decided by the portable
// core; this file only does the system calls.
#include "shell/editor_win32.h"

#include <array>

#include "base/scope_guard.h"
#include "commands/menu_layout.h"
#include "shell/libraries_win32.h"
#include "shell/view_settings.h"

namespace gorvane::shell::win32 {

EditorWindow* WindowOf(HWND hwnd) {
  for (HWND w = hwnd; w; w = GetParent(w)) {
    wchar_t name[32];
    if (GetClassNameW(w, name, 32) && lstrcmpW(name, L"Gorvane") == 0)
      return reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  }
  return nullptr;
}

void EditorWindow::SyncPaneWindows() {
  if (split() == 0 && pane[1].view) {
    DestroyWindow(pane[1].view);
    DestroyWindow(pane[1].lineNumbers);
    DestroyWindow(splitter);
    splitter = nullptr;
    pane[1] = Pane{};
    SetFocus(pane[0].view);
  } else if (split() != 0 && !pane[1].view) {
    pane[1].view = CreateWindowExW(WS_EX_ACCEPTFILES, L"QVChild", L"QVChildWindow2",
                                   WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0, 10, 10, frame,
                                   reinterpret_cast<HMENU>(2), instance, nullptr);
    pane[1].lineNumbers = CreateWindowExW(0, L"QVLineNum", L"QVLineNumWindow2", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                          frame, reinterpret_cast<HMENU>(5), instance, nullptr);
    splitter = CreateWindowExW(0, L"SeparateWindowClass", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame,
                               reinterpret_cast<HMENU>(6), instance, nullptr);
    splitShare = 0.5;
    SetWindowLongPtrW(pane[1].view, 0, 1);
    SetWindowLongPtrW(pane[1].lineNumbers, 0, 1);
  }
  if (toolBar) SendMessageW(toolBar, TB_CHECKBUTTON, 1018, MAKELONG(split() != 0 ? TRUE : FALSE, 0));
  Layout();
}

void EditorWindow::Refresh() {
  sh::Effects fx;
  if (loader.replacements() != seenReplacements) {
    seenReplacements = loader.replacements();
    widest = 0;
    fx = editor.DocumentReplaced(file.modified);
  } else {
    // Only the writer clears the file's modified flag: a save made this
    // state the file's.
    if (!file.modified && editor.modified()) editor.MarkSaved();
    fx = editor.DocumentChanged();
  }
  editor.SetWriteProtected(file.readOnly || file.writeProtectMode);
  fx.bits |= sh::Effects::kModified;
  Apply(fx);
  for (int p = 0; p < panes(); ++p) {
    UpdateScrollBar(p);
    Repaint(p);
  }
  // The line-number column grows and shrinks with the line count's digits.
  if (NumberColumnWidth() != numberWidth) Layout();
  for (int p = 0; p < panes(); ++p) PlaceSystemCaret(p);
  RefreshStatus();
}

void EditorWindow::UpdateUndoButtons() {
  if (!toolBar) return;
  SendMessageW(toolBar, TB_ENABLEBUTTON, kUndoButton, MAKELONG(editor.CanUndo() ? TRUE : FALSE, 0));
  SendMessageW(toolBar, TB_ENABLEBUTTON, kRedoButton, MAKELONG(editor.CanRedo() ? TRUE : FALSE, 0));
}

void EditorWindow::Apply(const sh::Effects& fx) {
  using E = sh::Effects;
  if (fx.Has(E::kModified)) {
    // The title, the open-file table's byte, the tool bar and the undo
    // field follow the text.
    file.modified = editor.modified();
    UpdateTitle();
    UpdateUndoButtons();
    if (statusModel) statusModel->RefreshUndoSpace(State());
  }
  if (fx.Has(E::kLayout)) SyncPaneWindows();
  for (int p = 0; p < panes(); ++p)
    if (fx.Has(p == 0 ? E::kRepaintPane0 : E::kRepaintPane1)) Repaint(p);
  if (fx.Has(E::kScrollBars))
    for (int p = 0; p < panes(); ++p) {
      UpdateScrollBar(p);
      UpdateHorizontalBar(p);
    }
  if (fx.Has(E::kFocus) && pane[active()].view) SetFocus(pane[active()].view);
  // The caret's place, or its shape when the insert mode changed.
  if (fx.Has(E::kCaret) || caretOverwrite == editor.insertMode()) PlaceSystemCaret(active());
  if (fx.Has(E::kStatus)) RefreshStatus();
  if (fx.Has(E::kFunctionList)) FillFunctionList(*this);
  if (fx.Has(E::kSearchBar)) RefreshSearchBar();
  if (fx.functionAt) SelectFunctionAt(*this, fx.functionAt->value);
  if (fx.bracketTimer == E::Timer::Start) SetTimer(frame, kBracketTimer, sh::kBracketDelayMs, nullptr);
  else if (fx.bracketTimer == E::Timer::Stop) KillTimer(frame, kBracketTimer);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  EditorWindow* e = reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_SIZE:
      if (!e) break;
      e->sizeState = wp == SIZE_MINIMIZED ? 1 : wp == SIZE_MAXIMIZED ? 2 : 0;
      if (e->sizeState == 0) GetWindowRect(hwnd, &e->restored);
      if (e->pane[0].view && e->sizeState != 1) e->Layout();
      return 0;
    case WM_SETFOCUS:
      if (e && e->pane[e->active()].view) SetFocus(e->pane[e->active()].view);
      return 0;
    case WM_TIMER:
      if (!e) break;
      if (wp == kPollTimer) {
        KillTimer(hwnd, kPollTimer);
        const std::uint64_t delivered = e->messenger.delivered();
        // Polled again whatever the inbox did, unless the editor is closing.
        if (e->messenger.Poll() == ipc::PollResult::kStopped) return 0;
        SetTimer(hwnd, kPollTimer, 2, nullptr);
        // A request may have saved or discarded the document.
        if (e->messenger.delivered() != delivered) e->UpdateTitle();
      } else if (wp == kQueueTimer) {
        e->messenger.Tick();
      } else if (wp == ipc::kMarkDeleteTimerId) {
        e->marks.RetryDeletes();
        if (e->marks.pendingDeletes() == 0) KillTimer(hwnd, ipc::kMarkDeleteTimerId);
      } else if (wp == kBracketTimer) {
        KillTimer(hwnd, kBracketTimer);
        e->Apply(e->editor.BracketTimerFired());
      } else if (wp == kStartupHoldTimer) {
        KillTimer(hwnd, kStartupHoldTimer);
        if (e->releaseStartup) e->releaseStartup();
      } else if (wp == static_cast<WPARAM>(sh::kStatusClearTimerId) && e->statusModel) {
        e->statusModel->Tick();
      }
      return 0;
    case WM_APP + 1:
      if (e) e->host.ShowDeferred();
      return 0;
    case kBuildBandsMessage:
      if (e && !CreateControlBands(*e)) DestroyWindow(hwnd);
      return 0;
    case kSearchItemChosenMessage:
      // A history item chosen in the search combo, once the combo is done
      // with its list.
      if (HWND combo = e ? e->SearchCombo() : nullptr; combo && !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) {
        const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (i >= 0) e->Apply(e->editor.ChooseSearchItem(static_cast<int>(i)));
      }
      return 0;
    case WM_COMMAND:
      if (!e) break;
      if (LOWORD(wp) == gorvane::commands::kFontNameComboId || LOWORD(wp) == gorvane::commands::kFontSizeComboId) {
        if (HIWORD(wp) == CBN_SELCHANGE) FontComboChanged(*e, LOWORD(wp));
        return 0;
      }
      if (LOWORD(wp) == gorvane::commands::kSearchComboId) {
        if (e->fillingSearchBar) return 0;
        if (HIWORD(wp) == CBN_EDITCHANGE) e->TakeSearchText();
        // The list is filled again from the history: not while the combo is
        // still at work on it.
        else if (HIWORD(wp) == CBN_SELENDOK ||
                 (HIWORD(wp) == CBN_SELCHANGE && !SendMessageW(reinterpret_cast<HWND>(lp), CB_GETDROPPEDSTATE, 0, 0)))
          PostMessageW(hwnd, kSearchItemChosenMessage, 0, 0);
        return 0;
      }
      if (LOWORD(wp) == gorvane::commands::kFunctionComboId) {
        // The chosen label's line.
        if (HIWORD(wp) == CBN_SELCHANGE) {
          const LRESULT i = SendMessageW(reinterpret_cast<HWND>(lp), CB_GETCURSEL, 0, 0);
          if (i >= 0 && static_cast<std::size_t>(i) < e->functionLines.size())
            e->Apply(e->editor.FunctionChosen(doc::LineNo(e->functionLines[static_cast<std::size_t>(i)])));
          SetFocus(e->pane[e->active()].view);
        }
        return 0;
      }
      if (ExecuteMenuCommand(*e, LOWORD(wp))) return 0;
      break;
    case WM_NOTIFY: {
      if (!e) break;
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (hdr->code == TTN_GETDISPINFOW) {
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lp);
        if (const wchar_t* text = ToolTipText(*e, static_cast<int>(hdr->idFrom))) tip->lpszText = const_cast<wchar_t*>(text);
        return 0;
      }
      if (hdr->hwndFrom == e->rebar && hdr->code == RBN_HEIGHTCHANGE) {
        e->Layout();
        return 0;
      }
      break;
    }
    case WM_INITMENUPOPUP:
      if (e && !HIWORD(lp)) UpdateMenuPopup(*e, reinterpret_cast<HMENU>(wp));
      return 0;
    case WM_MOUSEWHEEL:
      if (e) e->Wheel(e->active(), GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_ACTIVATE:
      if (e && LOWORD(wp) != WA_INACTIVE) e->CheckFileOnDisk();
      break;
    case WM_CLOSE: {
      if (!e) break;
      sh::CloseSituation situation;
      situation.groupLockFree = e->group.LockGroup(false);
      situation.activating = e->protocol && e->protocol->activationPending();
      situation.modified = e->file.modified;
      // Yes saves as the Save command does: a document without a file goes
      // through the Save As dialog first, and its Cancel keeps the editor.
      const sh::CloseOutcome out =
          sh::RequestClose(e->host, situation, [e] { return e->commands && e->commands->SaveCommand() == gf::kSaved; });
      if (situation.groupLockFree) e->group.UnlockGroup();
      if (out.close) DestroyWindow(hwnd);
      else e->Refresh();
      return 0;
    }
    case WM_DESTROY:
      if (e) {
        // A message being handled may have closed us: none after it is.
        e->messenger.StopDispatching();
        KillTimer(hwnd, kPollTimer);
        KillTimer(hwnd, kQueueTimer);
        e->cache.DestroyTmpHdMem();
        e->group.ReleaseSlot();
        if (e->messenger.connectedToInfoWindow()) {
          const auto m = e->closeOnRequest ? std::optional<std::string>(gorvane::ipc::BuildCloseOk())
                                           : gorvane::ipc::BuildClosedToInfoWindow(e->link.fileNumber());
          if (m && e->messenger.SendToInfoWindow(*m)) Sleep(200);
        }
      }
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterClasses(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpfnWndProc = FrameProc;
  wc.lpszClassName = L"Gorvane";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  if (!RegisterClassExW(&wc)) return false;
  return RegisterViewClasses(inst) && RegisterSplitterClass(inst);
}

// The registry values of this installation, written when they differ.
constexpr wchar_t kRegistryKey[] = L"SOFTWARE\\tolbane\\Gorvane ver1.74";

bool WriteRegistryValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  wchar_t current[1024];
  DWORD size = sizeof current, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(current), &size) == ERROR_SUCCESS &&
      type == REG_SZ && size >= sizeof(wchar_t) && std::wstring(current, size / sizeof(wchar_t) - 1) == value)
    return true;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) != ERROR_SUCCESS)
    return false;
  return RegFlushKey(key) == ERROR_SUCCESS;
}

bool WriteInstallation(sh::Host& host, const std::string& programFolder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    sh::Tell(host, u8"処理に失敗しました。\nWindows2000,XPで動作させるときにはコンピュータの管理者権限で実行して下さい。",
             sh::BoxIcon::Error);
    return false;
  }
  const bool ok = WriteRegistryValue(key, L"INSTALL", Wide(programFolder)) && WriteRegistryValue(key, L"VERSION", L"0174");
  RegCloseKey(key);
  return ok;
}

// The encoding a file is read in: the forced one, else what its first
// 256 KiB show (as the loader decides it).
int FileCode(gf::FileSystem& fs, const std::string& path, int forced) {
  if (forced != 0) return forced;
  int code = cc::kCodeSjis;
  if (path.empty()) return code;
  if (auto f = fs.Open(path, gf::Access::Read, gf::Share::ReadWrite, gf::Disposition::OpenExisting, true)) {
    std::vector<std::uint8_t> sample(262144);
    std::uint32_t sampled = 0;
    f->Read(sample.data(), static_cast<std::uint32_t>(sample.size()), &sampled);
    f->Close();
    std::uint8_t crlf[6];
    const int detected = cc::JudgmentCode(sample.data(), static_cast<int>(sampled), crlf);
    code = detected < 0 ? -detected : detected == 0 ? cc::kCodeSjis : detected;
  }
  return code;
}

// The short form of a path (the long one when it has none).
std::string ShortPathOf(const std::string& path) {
  wchar_t shortName[MAX_PATH * 2];
  const std::wstring longName = Wide(path);
  const DWORD n = GetShortPathNameW(longName.c_str(), shortName, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? Narrow(std::wstring(shortName, n)) : path;
}

// Where a new frame goes: where the system puts it, moved down and to the
// right past every other editor's frame that stands exactly there (one
// started just before would otherwise be hidden under it).
void Cascade(HWND frame) {
  RECT r;
  if (!GetWindowRect(frame, &r)) return;
  const int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYSIZEFRAME);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = r.right - r.left, height = r.bottom - r.top;
  int x = r.left, y = r.top;
  for (int tries = 0; tries < 64; ++tries) {
    bool taken = false;
    for (HWND other = FindWindowExW(nullptr, nullptr, L"Gorvane", nullptr); other && !taken;
         other = FindWindowExW(nullptr, other, L"Gorvane", nullptr)) {
      RECT o;
      taken = other != frame && IsWindowVisible(other) && GetWindowRect(other, &o) && o.left == x && o.top == y;
    }
    if (!taken) break;
    x += step;
    y += step;
    // Past the work area's corner: back to its top left.
    if (x + width > work.right || y + height > work.bottom) x = work.left, y = work.top;
  }
  if (x != r.left || y != r.top) SetWindowPos(frame, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Run(HINSTANCE inst, int show) {
  // The start-up mutex: start-ups take turns, but a crashed editor never
  // stops the next one for good.
  HANDLE startup = CreateMutexW(nullptr, FALSE, L"GorvaneStartErrorMutex");
  const DWORD got = startup ? WaitForSingleObject(startup, kStartupWaitMs) : WAIT_FAILED;
  bool holdsStartup = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  const auto releaseStartup = [startup, &holdsStartup] {
    if (startup && holdsStartup) ReleaseMutex(startup);
    holdsStartup = false;
  };
  const gorvane::base::ScopeGuard startupDone([startup, &releaseStartup] {
    releaseStartup();
    if (startup) CloseHandle(startup);
  });

  auto editor = std::make_unique<EditorWindow>();
  EditorWindow& e = *editor;
  e.instance = inst;
  // The program folder and the libraries in it: text conversions work only
  // once QORVchar.dll is bound.
  const std::wstring programFolder = ProgramFolderOfCommandLine(GetCommandLineW());
  const DWORD resources = GetFileAttributesW((programFolder + L"qvres.dll").c_str());
  if (resources == INVALID_FILE_ATTRIBUTES || (resources & FILE_ATTRIBUTE_DIRECTORY)) {
    ShowStartupError(u8"qvres.dllが見つかりません。\n終了します。");
    return 0;
  }
  if (!LoadLibraries(programFolder, e.cache)) return 0;
  const std::string full = Narrow(GetCommandLineW());
  e.programFolder = sh::ProgramFolderOf(full);

  sh::StartupArguments args = sh::ParseCommandLine(sh::ArgumentsOf(full));  // adjusted below
  if (args.error == sh::CommandLineError::kBadInfoWindowNumber) {
    const std::string text = sh::Sjis(u8"引数の情報ウィンドウメールスロット番号に誤りがあります。\n　引数 = ") + full +
                             sh::Sjis(u8"\nインスタンスを終了します。");
    e.host.ShowMessageBox({text, sh::Sjis(sh::kCaption), sh::BoxIcon::Error, sh::BoxButtons::Ok, true});
    return 0;
  }
  // A start by the info window that cannot open its file tells it so.
  auto cantOpen = [&e, &args] {
    std::string user;
    if (!args.startedByInfoWindow || args.infoWindow < 0 || !e.kernel->UserName(&user)) return;
    const std::string m = ipc::BuildCantOpen();
    e.kernel->WriteMailslot(ipc::ObjectNames(user).InfoWindowInbox(args.infoWindow),
                            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()));
  };
  if (args.error == sh::CommandLineError::kBadFileNumber) {
    cantOpen();  // ends quietly, but the info window that started it is not left waiting
    return 0;
  }

  // The document's path: long and absolute; a missing file is made empty.
  std::string path;
  if (!args.isNewFile && gf::FolderOf(args.fileName).empty()) {
    sh::Tell(e.host, u8"指定されたファイル名は絶対パスで指定されていません。\n新規ファイルとして起動します。",
             sh::BoxIcon::Warning);
    args.fileName.clear();
    args.isNewFile = true;
  }
  if (!args.isNewFile) {
    // The long name of the file, or of its folder when the file is new.
    const std::wstring given = Wide(args.fileName);
    wchar_t absolute[MAX_PATH * 2], longName[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(given.c_str(), MAX_PATH * 2, absolute, nullptr);
    std::wstring resolved;
    if (n > 0 && n < MAX_PATH * 2) {
      const DWORD attributes = GetFileAttributesW(absolute);
      if (attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD m = GetLongPathNameW(absolute, longName, MAX_PATH * 2);
        if (m > 0 && m < MAX_PATH * 2) resolved.assign(longName, m);
      } else {
        const std::wstring whole(absolute, n);
        const std::size_t cut = whole.find_last_of(L"\\/");
        const std::wstring folder = whole.substr(0, cut + 1), name = whole.substr(cut + 1);
        const DWORD m = cut == std::wstring::npos ? 0 : GetLongPathNameW(folder.c_str(), longName, MAX_PATH * 2);
        if (m > 0 && m < MAX_PATH * 2) {
          resolved.assign(longName, m);
          if (resolved.back() != L'\\') resolved += L'\\';
          resolved += name;
        }
      }
    }
    if (resolved.empty()) {
      const std::string text = sh::Sjis(u8"ファイルが見つからないかファイル名が異常です。\nファイル名 = \"") + args.fileName +
                               sh::Sjis(u8"\"\n\nインスタンスを終了します。");
      e.host.ShowMessageBox({text, sh::Sjis(sh::kCaption), sh::BoxIcon::Warning, sh::BoxButtons::Ok, true});
      cantOpen();
      return 0;
    }
    path = Narrow(resolved);
    if (path.size() >= gf::kMaxPathBytes) {
      sh::Tell(e.host, u8"引数のファイル名の長さが 260 バイトを超えています。\n処理できませんのでインスタンスを終了します。",
               sh::BoxIcon::Warning);
      cantOpen();
      return 0;
    }
    gf::FileInfo info;
    e.fs->Info(path, &info);
    if (info.isFolder) {
      sh::Tell(e.host, u8"指定された名前はフォルダ名です。\n起動できません。", sh::BoxIcon::Warning);
      cantOpen();
      return 0;
    }
    if (!info.exists) {
      if (auto created = e.fs->Open(path, gf::Access::ReadWrite, gf::Share::ReadWrite, gf::Disposition::CreateNew, false))
        created->Close();
    }
  }

  // Join the group: a file another editor has is handed to it.
  ipc::JoinRequest request;
  request.path = path.empty() ? std::string(gf::kNewFileFolder) + sh::Sjis(u8"新規ﾌｧｲﾙ1") : path;
  request.newDocument = path.empty();
  request.infoWindow = args.startedByInfoWindow ? args.infoWindow : -1;
  request.projectFile = args.isProject;
  request.projectOption = args.plainOption;
  // A forwarder asks the editor that has the file to come forward and
  // waits (at most about a second) for its answer.
  ipc::Handover handover;
  handover.bringEditorForward = [&e](int owner) {
    auto inbox = e.kernel->CreateMailslot(e.group.names().EditorInbox(ipc::kTransientInstance), 0);
    if (!inbox) return false;
    e.messenger.TakeInbox(std::move(inbox));
    e.protocol = std::make_unique<ipc::EditorProtocol>(e.messenger, e.group, e.activator, ipc::EditorCallbacks{});
    bool done = false, answered = false;
    if (!e.protocol->AskEditorForward(owner, [&](bool ok) {
          done = true;
          answered = ok;
        }))
      return false;
    for (int i = 0; i < 101 && !done; ++i) {
      e.messenger.Poll();
      e.messenger.Tick();
      Sleep(10);
    }
    return answered;
  };
  // A project already open in an info window: that window comes forward.
  handover.activateInfoWindow = [&e](int number) {
    const auto m = ipc::BuildActiveToInfoWindow(ipc::kTransientInstance, GetCurrentThreadId());
    return m && e.messenger.SendToOtherInfoWindow(number, *m);
  };
  e.group.SetSleep([](std::uint32_t ms) { Sleep(ms); });  // between tries of the inbox
  const ipc::JoinResult joined = e.group.Join(request, handover);
  if (joined.code == 0) return 0;
  e.messenger.TakeInbox(e.group.TakeInbox());
  e.link.SetFileNumber(args.fileNumber);
  // The first editor of the user sets the folders every editor uses.
  if (joined.code == 1) e.group.WithSettings([&e](gf::SettingsArea& area) { area.SetFolders(e.programFolder); });

  // A project is not opened here: the info window is started with it, and
  // this editor has nothing to show.
  if (args.isProject) {
    const int code = FileCode(*e.fs, path, 0);
    const std::string shortPath = ShortPathOf(path);
    const auto starter = ipc::CreateSystemProgramStarter();
    if (!starter->Start(ipc::ProjectInfoWindowCommandLine(e.programFolder, code, e.group.infoWindow(), shortPath)))
      sh::Tell(e.host, u8"情報ウィンドウを起動できませんでした。", sh::BoxIcon::Error);
    e.group.ReleaseSlot();
    return 0;
  }

  // The per-file mutex, held (not owned) while the file is open; a name too
  // long for Windows is shortened the same way by every editor.
  ipc::Created fileMutexCreated;
  const auto fileMutex = e.kernel->CreateMutex(e.group.names().FileMutex(request.path), false, &fileMutexCreated);
  (void)fileMutex;

  // The windows.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterClasses(inst)) return 0;
  // The look the settings keep for the file's extension: tab width, line
  // spacing, colours and the edit font. Where they name no font, its size
  // follows the screen. "/PA" names an owner window.
  e.fontPoints = sh::SizeValueForScreen(GetSystemMetrics(SM_CYSCREEN));
  {
    gf::SettingsGroupValues record;
    bool found = false;
    e.group.WithSettings([&](gf::SettingsArea& area) {
      const int i = area.RecordFor(request.path);
      if (i < 0) return;
      record = area.Values(i);
      found = true;
    });
    if (found) {
      const sh::ViewLook look = sh::ViewLookOf(record);
      e.tabSize = e.render.tabSize = look.tabSize;
      e.lineSpacing = look.lineSpacing;
      e.colours = look.colours;
      if (look.editFont) {
        e.fontFace = look.editFont->face;
        if (look.editFont->height < 0) {
          HDC screen = GetDC(nullptr);
          const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
          ReleaseDC(nullptr, screen);
          e.fontPoints = sh::ClampFontPoints(sh::MulDivRounded(-look.editFont->height, 72, dpi));
        }
      }
    }
  }
  HWND owner = nullptr;
  if (args.ownerWindow) {
    const auto handle = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*args.ownerWindow));
    if (IsWindow(handle)) owner = handle;
  }
  e.frame = CreateWindowExW(0, L"Gorvane", L"\u65b0\u898f\u30d5\u30a1\u30a4\u30eb", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, inst, &e);
  if (!e.frame) return 0;
  Cascade(e.frame);
  GetWindowRect(e.frame, &e.restored);
  e.rawHost.owner = e.frame;
  e.activator.frame = e.frame;
  e.resources = LoadLibraryExW((Wide(e.programFolder) + L"qvres.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  e.dialogs = sh::CreateWin32FileDialogs(&e.frame, e.resources);
  e.lineDialogs.owner = &e.frame;
  e.lineDialogs.resources = &e.resources;
  e.lineDialogs.editor = &e.editor;
  e.lineDialogs.host = &e.host;
  e.lineDialogs.chooseSearchItem = [&e](int index) { e.Apply(e.editor.ChooseSearchItem(index)); };
  e.lineDialogs.infoWindowAvailable = [&e] { return e.messenger.connectedToInfoWindow(); };
  e.commands = std::make_unique<gf::FileCommands>(e.ctx, e.loader, *e.dialogs);
  e.pane[0].view = CreateWindowExW(WS_EX_ACCEPTFILES, L"QVChild", L"QVChildWindow1", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL,
                                   0, 0, 10, 10, e.frame, reinterpret_cast<HMENU>(1), inst, nullptr);
  e.pane[0].lineNumbers = CreateWindowExW(0, L"QVLineNum", L"QVLineNumWindow1", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                          e.frame, reinterpret_cast<HMENU>(4), inst, nullptr);
  e.statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                e.frame, reinterpret_cast<HMENU>(kStatusBarId), inst, nullptr);
  e.rawHost.statusBar = e.statusBar;
  e.statusView.bar = e.statusBar;
  e.statusView.frame = e.frame;
  e.statusModel = std::make_unique<sh::StatusBar>(e.statusView, e.clock);
  e.SetUpFonts();
  // The key tables the group publishes (empty when there are none).
  e.group.ReadKeyTables(&e.oemKeys, &e.keys);
  if (!CreateBars(e) || !BuildMainMenu(e)) return 0;

  // The document.
  {
    RECT fr;
    GetClientRect(e.frame, &fr);
    e.statusModel->Layout(fr.right - fr.left, GetSystemMetrics(SM_CXVSCROLL));
    e.statusModel->Start(e.State());
    e.rawHost.model = e.statusModel.get();
  }
  doc::LineStoreSettings settings;
  settings.cache.pageSize = doc::SanePageSize(settings.cache.pageSize);
  if (!e.store.Start(settings)) return 0;
  // The undo buffer and the deleted-line ring (the settings keep no sizes
  // of their own for them: the defaults).
  if (!e.editor.StartUndo(doc::kDefaultUndoBufferSize, doc::kDefaultDeletedLineSlots)) return 0;
  e.file.path = request.path;
  if (!path.empty()) {
    e.file.forcedCode = args.codeOverride;
    e.file.forcedLineEnd = args.lineEndOverride;
    e.file.path = path;
    e.loader.OpenPath(1, gf::OpenEntry{});
  } else {
    e.loader.NewDocument();
  }
  {
    ipc::EditorCallbacks cb;
    EditorWindow* ed = &e;
    cb.startingUp = [ed] { return !IsWindowVisible(ed->frame); };
    cb.jumpTo = [ed](const ipc::TagJump& jump) {
      ed->Refresh();
      ed->Apply(ed->editor.JumpTo(doc::LineNo(jump.line), doc::CaretCol(std::max(1, jump.column)), jump.text));
    };
    cb.jumpToMark = [ed](int mark) {
      if (mark > 0 && mark < 256) ed->Apply(ed->editor.GoToBookmark(static_cast<std::uint8_t>(mark)));
    };
    cb.saveQuietly = [ed] {
      if (!ed->file.modified) {
        sh::Status(ed->host, u8"ﾃﾞｰﾀに変更はありません。");
        return true;
      }
      const bool saved = gf::SaveFile(ed->ctx, true, 1, nullptr) == gf::kSaved;
      ed->Refresh();
      return saved;
    };
    cb.saveRequested = [ed] {
      if (ed->file.readOnly) {
        sh::Status(ed->host, u8"書き込み禁止です。保存できません。");
      } else if (!ed->file.modified) {
        sh::Status(ed->host, u8"ﾃﾞｰﾀに変更はありません。");
      } else {
        // A request from another process waits for the group; a document
        // without a file is named through the Save As dialog.
        const gf::GroupTurn turn(ed->link, /*wait=*/true);
        if (turn.ok()) ed->commands->SaveCommand();
        else sh::Status(ed->host, u8"何らかの処理中です。");
      }
      ed->Refresh();
    };
    cb.saveInCode = [ed](int code, int lineEnd) {
      if (ed->file.readOnly) return false;
      gf::SaveOptions options = gf::DefaultSaveOptions(ed->file);
      options.code = code;
      options.crlfKind = lineEnd;
      const bool saved = gf::SaveFile(ed->ctx, true, 0, &options) == gf::kSaved;
      ed->Refresh();
      return saved;
    };
    cb.closeRequested = [ed](int mode) {
      const gf::CloseDecision d = gf::CloseOnRequest(ed->ctx, mode);
      if (!d.close) return;
      ed->closeOnRequest = true;
      DestroyWindow(ed->frame);
    };
    e.protocol = std::make_unique<ipc::EditorProtocol>(e.messenger, e.group, e.activator, cb);
    e.link.SetProtocol(e.protocol.get());
    ipc::DocumentLinkHooks hooks;
    hooks.enableFrame = [ed](bool enabled) { EnableWindow(ed->frame, enabled ? TRUE : FALSE); };
    hooks.close = [ed] { PostMessageW(ed->frame, WM_CLOSE, 0, 0); };
    hooks.sleep = [](std::uint32_t ms) { Sleep(ms); };
    e.link.SetHooks(std::move(hooks));
  }
  // The info window that started this editor is connected to at once (the
  // Save As box and the project check need to know).
  if (args.startedByInfoWindow) e.messenger.OpenInfoWindow();
  WriteInstallation(e.host, e.programFolder);
  // Started by the info window: no other editor waits to join it.
  if (args.startedByInfoWindow) releaseStartup();

  e.editor.SetMetrics(e.metrics, e.tabSize, e.leftMargin);
  e.editor.SetKeyTables(e.keys);
  e.editor.SetLateEffects([&e](const sh::Effects& fx) { e.Apply(fx); });
  e.editor.SetClipboard(&e.clipboard);
  RegisterFrameCommands(e);
  e.bookmarks.frame = e.frame;
  e.editor.SetBookmarkRegistry(&e.bookmarks);
  e.marks.onMarkDeleted = [&e](std::uint8_t mark) { e.Apply(e.editor.BookmarkDeleted(mark)); };
  // The search dialog's settings go to the info window and, when shared, to
  // the other editors; theirs come in here.
  e.editor.SetSearchSharing(&e.searchSharing);
  e.searchLink.onReceived = [&e](const ipc::SearchSettings& s) { e.Apply(e.editor.SearchSettingsReceived(s)); };
  // The shared settings hold no delimiter lists and no regular-expression
  // time-out yet: the search uses the defaults (only the fixed delimiters,
  // 3 seconds) until the settings records carry them.
  e.editor.SetSearchPrefs([] { return sh::SearchPrefs{}; });
  // The document as loaded: its undo history starts here.
  e.seenReplacements = e.loader.replacements();
  e.editor.SetWriteProtected(e.file.readOnly || e.file.writeProtectMode);
  e.Apply(e.editor.DocumentReplaced(e.file.modified));
  e.UpdateTitle();
  e.Layout();
  // "/j": the caret to that line.
  if (args.jumpLine && *args.jumpLine > 0)
    e.Apply(e.editor.JumpTo(doc::LineNo(static_cast<std::int32_t>(std::min<std::uint32_t>(*args.jumpLine, 0x7fffffff)))));
  e.RefreshStatus();
  ShowWindow(e.frame, show);
  UpdateWindow(e.frame);
  SetFocus(e.pane[0].view);
  // The bands' controls come right after the first page.
  PostMessageW(e.frame, kBuildBandsMessage, 0, 0);
  {
    // Whoever waits for the first page hears of it now.
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }

  // The info window (unless it started us): started with this editor's frame
  // and file, and waited for (bounded; messages sent to this window meanwhile
  // are answered), else the user is told.
  if (!args.startedByInfoWindow) {
    const auto starter = ipc::CreateSystemProgramStarter();
    RECT r;
    GetWindowRect(e.frame, &r);
    const ipc::FrameRect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const ipc::FrameRect told = ipc::InfoWindowFrame(
        {r.left, r.top, r.right, r.bottom}, {e.restored.left, e.restored.top, e.restored.right, e.restored.bottom},
        screen);
    const std::string line = ipc::InfoWindowCommandLine(e.programFolder, told, e.file.code, false,
                                                        e.group.infoWindow(), ShortPathOf(e.file.path));
    const auto answerWhileWaiting = [](std::uint32_t ms) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_SENDMESSAGE);
      MSG m;
      PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    };
    if (!e.messenger.LaunchInfoWindow(*starter, line) || !e.messenger.WaitForInfoWindow(answerWhileWaiting, 3000, 10))
      sh::Tell(e.host,
               u8"情報ウィンドウのオープンに失敗しました。\n情報ウィンドウを利用する機能を利用することができません。",
               sh::BoxIcon::Warning);
    // The editor stays in front of the info window it started.
    if (IsWindowVisible(e.frame) && !IsIconic(e.frame)) {
      SetWindowPos(e.frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetForegroundWindow(e.frame);
    }
  }
  SetTimer(e.frame, kPollTimer, 2, nullptr);
  SetTimer(e.frame, kQueueTimer, 5, nullptr);
  // The start-up mutex is let go when the first message reaches this
  // editor's inbox (its info window's first probe), so that editors started
  // at the same moment join one info window; never later than a few seconds.
  if (holdsStartup) {
    e.releaseStartup = [&releaseStartup, &e] {
      releaseStartup();
      KillTimer(e.frame, kStartupHoldTimer);
    };
    e.messenger.OnFirstMessage([&e] {
      // The info window is up now: this editor stays in front of it.
      if (IsWindowVisible(e.frame) && !IsIconic(e.frame) && GetForegroundWindow() == e.frame)
        SetWindowPos(e.frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      e.releaseStartup();
    });
    SetTimer(e.frame, kStartupHoldTimer, kStartupHoldMs, nullptr);
  }
  if (RegisterWindowMessageW(L"MSWHEEL_ROLLMSG") == 0) {
    sh::Tell(e.host, u8"RegisterWindowMessage 失敗", sh::BoxIcon::Error);
    return 0;
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The modeless dialogs (a bookmark's name, a range label) first.
    if (e.lineDialogs.Offer(&msg)) continue;
    // Keys to the edit views and the search box: with Ctrl (or Shift on a
    // key flagged for it) a bound key is a command, not a character.
    const bool keyMessage = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                            (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F10);
    if (keyMessage && e.IsKeyTarget(msg.hwnd)) {
      const gorvane::commands::KeyDecision d = DecideKeyNow(e, msg.wParam);
      if (msg.message == WM_SYSKEYDOWN || !d.translate) {
        DispatchMessageW(&msg);
        continue;
      }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}


}  // namespace gorvane::shell::win32

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR, int show) {
  if (previous != nullptr) {
    MessageBoxW(nullptr, L"Win32,64\u4e0a\u3067\u8d77\u52d5\u3057\u3066\u304f\u3060\u3055\u3044\u3002", L"Gorvane",
                MB_OK | MB_ICONERROR | MB_TOPMOST);
    return 0;
  }
  return gorvane::shell::win32::Run(instance, show);
}
