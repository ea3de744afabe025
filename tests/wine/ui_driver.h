// A driver for the editor's windows in tests: starts editor processes, finds
// their windows, sends keys (SendInput) and commands (WM_COMMAND), reads
// titles and status-bar fields across processes, and takes screenshots.
// Every wait is bounded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace gvdrive {

inline constexpr DWORD kWaitMs = 20000;

// The folder of the running test program (where the editor is installed).
std::wstring ProgramFolder();
// A file in the temporary folder with the given bytes; its full path.
std::wstring TempFile(const std::wstring& name, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);

// Waits until the condition holds or the time is up; whether it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms = kWaitMs, DWORD step = 50);

class EditorProcess {
 public:
  // Starts Gorvane_0174.exe with "file" (quoted) and further arguments.
  bool Start(const std::wstring& file, const std::wstring& more = L"");
  // The same, with the editor installed in another folder (ending in "\\").
  bool StartIn(const std::wstring& folder, const std::wstring& file, const std::wstring& more = L"");
  // The exit code, or -1 when it has not ended in time.
  int Wait(DWORD ms = kWaitMs);
  DWORD pid() const { return pi_.dwProcessId; }
  HANDLE handle() const { return pi_.hProcess; }
  ~EditorProcess();

 private:
  PROCESS_INFORMATION pi_{};
};

// Top-level windows of a process (pid 0: any process) with a class name.
std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls);
// The visible editor frame (class "Gorvane") of a process.
HWND WaitForFrame(DWORD pid, DWORD ms = kWaitMs);
// A visible dialog box ("#32770") of a process with the title, or any title.
HWND WaitForDialog(DWORD pid, const wchar_t* title = nullptr, DWORD ms = kWaitMs);

std::wstring WindowText(HWND w);
HWND ChildByClass(HWND parent, const wchar_t* cls, const wchar_t* title = nullptr);
// Every text of the window's dialog-like children (static texts of a box).
std::vector<std::wstring> ChildTexts(HWND parent);
// The top-level windows of a process as "class 'title'" lines (for failure messages).
std::wstring DescribeWindows(DWORD pid);

// The texts of all fields of a status bar in another process.
std::vector<std::wstring> StatusFields(HWND statusBar);

// Makes the window the foreground window (so that keys reach it).
bool BringToFront(HWND w);
// An editor's frame in front and settled for keys and screenshots: the info
// window it starts (waited for until it shows, at most ms) is moved off the
// screen first, since screenshots are taken from the screen.
void BringEditorForward(HWND frame, DWORD ms = 5000);
// Presses and releases a key with modifiers held (VK_CONTROL, VK_SHIFT, ...)
// through SendInput, then lets the target process handle it.
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
// The same, first bringing the window to the front when another window has
// taken it (keys go to the foreground window).
void PressKeyIn(HWND w, WORD vk, std::initializer_list<WORD> modifiers = {});
// Waits until the process has handled everything posted so far.
void Settle(HWND w);

// The Windows user name (as the editors build their object names with it).
std::wstring UserName();

// Inserts a file into the editor's document through the insert command, its
// question and its dialog ("ファイル挿入"); whether the title then shows the
// change (" *").
bool InsertFileThroughDialog(DWORD pid, HWND frame, const std::wstring& file);

// An info window played by the test: its inbox under the number's name, what
// editors wrote there, and messages written into an editor's inbox.
class InfoInbox {
 public:
  explicit InfoInbox(int number);
  ~InfoInbox();
  bool ok() const { return slot_ != INVALID_HANDLE_VALUE; }
  // Every message waiting now, "@TEST@" probes left out.
  std::vector<std::string> Take();
  // Waits (at most ms) until a message beginning with prefix has come;
  // it is returned whole ("" when none came), and the messages before it
  // are dropped.
  std::string WaitFor(const std::string& prefix, DWORD ms = kWaitMs);
  // Writes one message (with its NUL) into the editor's inbox.
  static bool SendToEditor(int instance, const std::string& message);

 private:
  HANDLE slot_;
  std::vector<std::string> early_;  // taken while waiting for another
};

// A screenshot of a window as it is on screen: 32-bit pixels, top row first.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // How many pixels of the rectangle differ from the colour.
  int CountOtherThan(std::uint32_t colour, int left, int top, int right, int bottom) const;
  // Saved as a 24-bit BMP; whether it was written.
  bool SaveBmp(const std::wstring& path) const;
};
Image Screenshot(HWND w);
// Only the client area (without scroll bars and borders).
Image ClientScreenshot(HWND w);
// The screenshot folder: GV_SCREENSHOTS when set, else the temporary folder.
std::wstring ScreenshotPath(const std::wstring& name);

}  // namespace gvdrive
