#include "ui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace gvdrive {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::wstring TempFile(const std::wstring& name, const std::string& bytes) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring path = std::wstring(temp) + name;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD k = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &k, nullptr);
  CloseHandle(h);
  return path;
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<none>";
  std::string bytes(1 << 16, '\0');
  DWORD got = 0;
  ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(h);
  bytes.resize(got);
  return bytes;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD step) {
  for (DWORD waited = 0;; waited += step) {
    if (condition()) return true;
    if (waited >= ms) return false;
    Sleep(step);
  }
}

bool EditorProcess::Start(const std::wstring& file, const std::wstring& more) {
  return StartIn(ProgramFolder(), file, more);
}

bool EditorProcess::StartIn(const std::wstring& folder, const std::wstring& file, const std::wstring& more) {
  std::wstring line = L"\"" + folder + L"Gorvane_0174.exe\"";
  if (!file.empty()) line += L" \"" + file + L"\"";
  line += more;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
}

int EditorProcess::Wait(DWORD ms) {
  DWORD code = 0;
  if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0 || !GetExitCodeProcess(pi_.hProcess, &code)) return -1;
  return static_cast<int>(code);
}

EditorProcess::~EditorProcess() {
  if (!pi_.hProcess) return;
  if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 9);
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
}

namespace {

struct Search {
  DWORD pid;
  const wchar_t* cls;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  wchar_t cls[64];
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (GetClassNameW(w, cls, 64) && std::wstring(cls) == s->cls && (s->pid == 0 || owner == s->pid))
    s->found.push_back(w);
  return TRUE;
}

BOOL CALLBACK CollectText(HWND w, LPARAM lp) {
  auto* texts = reinterpret_cast<std::vector<std::wstring>*>(lp);
  texts->push_back(WindowText(w));
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid, const wchar_t* cls) {
  Search s{pid, cls, {}};
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitForFrame(DWORD pid, DWORD ms) {
  HWND frame = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(pid, L"Gorvane"))
          if (IsWindowVisible(w)) frame = w;
        return frame != nullptr;
      },
      ms);
  return frame;
}

HWND WaitForDialog(DWORD pid, const wchar_t* title, DWORD ms) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(pid, L"#32770"))
          if (IsWindowVisible(w) && (!title || WindowText(w) == title)) box = w;
        return box != nullptr;
      },
      ms);
  return box;
}

std::wstring WindowText(HWND w) {
  wchar_t buf[2048];
  const int n = GetWindowTextW(w, buf, 2048);
  return std::wstring(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

HWND ChildByClass(HWND parent, const wchar_t* cls, const wchar_t* title) {
  return FindWindowExW(parent, nullptr, cls, title);
}

std::vector<std::wstring> ChildTexts(HWND parent) {
  std::vector<std::wstring> texts;
  EnumChildWindows(parent, CollectText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

namespace {

struct Description {
  DWORD pid;
  std::wstring text;
};

BOOL CALLBACK Describe(HWND w, LPARAM lp) {
  auto* d = reinterpret_cast<Description*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner != d->pid) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(w, cls, 64);
  d->text += std::wstring(cls) + L" '" + WindowText(w) + L"'" + (IsWindowVisible(w) ? L"" : L" (hidden)") + L"\n";
  if (std::wstring(cls) == L"#32770")
    for (const std::wstring& t : ChildTexts(w)) d->text += L"  '" + t + L"'\n";
  return TRUE;
}

}  // namespace

std::wstring DescribeWindows(DWORD pid) {
  Description d{pid, {}};
  EnumWindows(Describe, reinterpret_cast<LPARAM>(&d));
  return d.text;
}

std::vector<std::wstring> StatusFields(HWND bar) {
  std::vector<std::wstring> fields;
  DWORD pid = 0;
  GetWindowThreadProcessId(bar, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return fields;
  constexpr SIZE_T kBytes = 4096;
  void* remote = VirtualAllocEx(process, nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote) {
    const auto parts = static_cast<int>(SendMessageW(bar, SB_GETPARTS, 0, 0));
    for (int i = 0; i < parts; ++i) {
      const auto length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(i), 0));
      std::wstring text;
      if (length > 0 && (length + 1u) * sizeof(wchar_t) <= kBytes) {
        SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
        text.resize(length);
        SIZE_T got = 0;
        if (!ReadProcessMemory(process, remote, text.data(), length * sizeof(wchar_t), &got)) text.clear();
      }
      fields.push_back(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return fields;
}

bool BringToFront(HWND w) {
  return WaitUntil(
      [&] {
        ShowWindow(w, SW_RESTORE);
        SetForegroundWindow(w);
        // Already the foreground window, it may still lie under a window
        // shown without activation.
        SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return GetForegroundWindow() == w;
      },
      5000, 100);
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
  std::vector<INPUT> inputs;
  auto key = [&inputs](WORD k, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = k;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(k, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (k == VK_PRIOR || k == VK_NEXT || k == VK_END || k == VK_HOME || k == VK_LEFT || k == VK_UP || k == VK_RIGHT ||
        k == VK_DOWN || k == VK_INSERT || k == VK_DELETE)
      in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    inputs.push_back(in);
  };
  for (WORD m : modifiers) key(m, false);
  key(vk, false);
  key(vk, true);
  for (auto it = modifiers.end(); it != modifiers.begin();) key(*--it, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(100);
}

void BringEditorForward(HWND frame, DWORD ms) {
  WaitUntil(
      [] {
        for (HWND w : TopWindows(0, L"VantrelInfoWindow"))
          if (IsWindowVisible(w)) return true;
        return false;
      },
      ms);
  Sleep(300);
  for (HWND w : TopWindows(0, L"VantrelInfoWindow"))
    SetWindowPos(w, HWND_BOTTOM, 3000, 3000, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  BringToFront(frame);
  Settle(frame);
}

std::wstring UserName() {
  wchar_t user[257];
  DWORD length = 257;
  return GetUserNameW(user, &length) && length > 0 ? std::wstring(user, length - 1) : std::wstring();
}

bool InsertFileThroughDialog(DWORD pid, HWND frame, const std::wstring& file) {
  PostMessageW(frame, WM_COMMAND, 4, 0);
  // "現在の編集行の上にファイルが挿入されます。よろしいですか？"
  HWND ask = WaitForDialog(pid, L"Gorvane");
  if (!ask) return false;
  PostMessageW(ask, WM_COMMAND, IDYES, 0);
  HWND dialog = WaitForDialog(pid, L"\u30d5\u30a1\u30a4\u30eb\u633f\u5165");
  if (!dialog) return false;
  Sleep(300);
  if (!SetDlgItemTextW(dialog, 0x47c, file.c_str()) && !SetDlgItemTextW(dialog, 0x480, file.c_str())) return false;
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  return WaitUntil([&] {
    const std::wstring t = WindowText(frame);
    return t.size() > 2 && t.substr(t.size() - 2) == L" *";
  });
}

InfoInbox::InfoInbox(int number) {
  const std::wstring name = L"\\\\.\\mailslot\\QV174i" + std::to_wstring(number) + UserName();
  slot_ = CreateMailslotW(name.c_str(), 0, 0, nullptr);
}

InfoInbox::~InfoInbox() {
  if (ok()) CloseHandle(slot_);
}

std::vector<std::string> InfoInbox::Take() {
  std::vector<std::string> out;
  out.swap(early_);
  for (;;) {
    DWORD next = 0;
    if (!ok() || !GetMailslotInfo(slot_, nullptr, &next, nullptr, nullptr) || next == MAILSLOT_NO_MESSAGE) break;
    // An empty message is only taken off by a read that asks for a byte.
    std::string m(std::max<DWORD>(next, 1), '\0');
    DWORD got = 0;
    if (!ReadFile(slot_, m.data(), static_cast<DWORD>(m.size()), &got, nullptr) && next != 0) break;
    m.resize(next == 0 ? 0 : got);
    if (m != std::string("@TEST@", 7)) out.push_back(m);
  }
  return out;
}

std::string InfoInbox::WaitFor(const std::string& prefix, DWORD ms) {
  std::string found;
  WaitUntil([&] {
    std::vector<std::string> now = Take();
    for (std::size_t i = 0; i < now.size(); ++i)
      if (now[i].rfind(prefix, 0) == 0) {
        found = now[i];
        early_.assign(now.begin() + static_cast<std::ptrdiff_t>(i) + 1, now.end());
        return true;
      }
    return false;
  }, ms, 20);
  return found;
}

bool InfoInbox::SendToEditor(int instance, const std::string& message) {
  const std::wstring name = L"\\\\.\\mailslot\\QV174w" + std::to_wstring(instance) + UserName();
  HANDLE slot = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (slot == INVALID_HANDLE_VALUE) return false;
  const std::string bytes = message + std::string(1, '\0');
  DWORD written = 0;
  const bool ok = WriteFile(slot, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(slot);
  return ok;
}

void PressKeyIn(HWND w, WORD vk, std::initializer_list<WORD> modifiers) {
  if (GetForegroundWindow() != w) BringToFront(w);
  PressKey(vk, modifiers);
  Settle(w);
}

void Settle(HWND w) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
}

int Image::CountOtherThan(std::uint32_t colour, int left, int top, int right, int bottom) const {
  int n = 0;
  for (int y = std::max(0, top); y < std::min(height, bottom); ++y)
    for (int x = std::max(0, left); x < std::min(width, right); ++x)
      if (At(x, y) != colour) ++n;
  return n;
}

bool Image::SaveBmp(const std::wstring& path) const {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::vector<std::uint8_t> rows(info.biSizeImage);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = At(x, height - 1 - y);
      std::uint8_t* d = &rows[static_cast<std::size_t>(y) * stride + x * 3];
      d[0] = static_cast<std::uint8_t>(p);
      d[1] = static_cast<std::uint8_t>(p >> 8);
      d[2] = static_cast<std::uint8_t>(p >> 16);
    }
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD k = 0;
  const bool ok = WriteFile(h, &file, sizeof file, &k, nullptr) && WriteFile(h, &info, sizeof info, &k, nullptr) &&
                  WriteFile(h, rows.data(), static_cast<DWORD>(rows.size()), &k, nullptr);
  CloseHandle(h);
  return ok;
}

namespace {

Image Capture(const RECT& r);

}  // namespace

Image Screenshot(HWND w) {
  RECT r{};
  if (!GetWindowRect(w, &r)) return {};
  return Capture(r);
}

Image ClientScreenshot(HWND w) {
  RECT r{};
  if (!GetClientRect(w, &r)) return {};
  MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return Capture(r);
}

namespace {

Image Capture(const RECT& r) {
  Image image;
  image.width = r.right - r.left;
  image.height = r.bottom - r.top;
  if (image.width <= 0 || image.height <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = image.width;
  bi.bmiHeader.biHeight = -image.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, image.width, image.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  std::memcpy(image.pixels.data(), bits, image.pixels.size() * 4);
  for (auto& p : image.pixels) p &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return image;
}

}  // namespace

std::wstring ScreenshotPath(const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"GV_SCREENSHOTS", folder, MAX_PATH);
  std::wstring f;
  if (n > 0 && n < MAX_PATH) {
    f.assign(folder, n);
  } else {
    n = GetTempPathW(MAX_PATH, folder);
    f.assign(folder, n);
  }
  if (!f.empty() && f.back() != L'\\' && f.back() != L'/') f += L'\\';
  CreateDirectoryW(f.c_str(), nullptr);
  return f + name;
}

}  // namespace gvdrive
