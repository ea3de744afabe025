// The real Vantrel.exe: started with its test log, spoken to through its
// inbox by this program acting as an editor (with an inbox of its own and a
// forwarder's), its lists read from its window, closed with WM_CLOSE. Every
// wait is bounded.
#include "companions/vantrel/vantrel_model.h"
#include "ipc/kernel.h"
#include "ipc/object_names.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

namespace ipc = gorvane::ipc;
namespace vt = gorvane::vantrel;

namespace {

constexpr DWORD kWaitMs = 5000;
constexpr int kEditor = 7690;  // our fake editor's instance number
constexpr int kHitListId = 101, kOutputListId = 102;

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
std::string Narrow(const std::wstring& ascii) {
  std::string s;
  for (wchar_t c : ascii) s.push_back(static_cast<char>(c));
  return s;
}
std::string Msg(const std::string& text) { return text + std::string(1, '\0'); }
std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::wstring Folder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.rfind(L'\\') + 1);
}

// Polls `done` every 10 ms for at most kWaitMs.
template <class F>
bool WaitFor(F done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > kWaitMs) return false;
    Sleep(10);
  }
  return true;
}

// Vantrel.exe with the given arguments; terminated (at the latest) when this goes.
class Program {
 public:
  explicit Program(const std::wstring& arguments) {
    const std::wstring exe = Folder() + L"Vantrel.exe";
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, kWaitMs);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  bool started() const { return started_; }
  // Its exit code once it ended by itself, -1 when it still runs after kWaitMs.
  int ExitCode() {
    DWORD code = 0;
    if (WaitForSingleObject(pi_.hProcess, kWaitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(pi_.hProcess, &code))
      return -1;
    return static_cast<int>(code);
  }
  // Its top-level window of our class; null when there is none (yet).
  HWND Window() const {
    Search search{pi_.dwProcessId, nullptr};
    EnumWindows(FindOurs, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  struct Search {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK FindOurs(HWND hwnd, LPARAM p) {
    auto* s = reinterpret_cast<Search*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid != s->pid || std::wstring(cls) != L"VantrelInfoWindow") return TRUE;
    s->found = hwnd;
    return FALSE;
  }

  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

// Reads what arrives in an inbox until `count` messages came or the wait ends.
std::vector<std::string> Collect(ipc::Mailslot& inbox, std::size_t count) {
  std::vector<std::string> out;
  std::vector<std::uint8_t> buf(70000);
  WaitFor([&] {
    while (inbox.Next().waiting()) {
      const auto n = inbox.Read(buf);
      if (n < 0) break;
      out.emplace_back(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
    }
    return out.size() >= count;
  });
  return out;
}

std::string ReadAll(const std::wstring& path) {
  std::string out;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n != 0) out.append(buf, n);
  CloseHandle(h);
  return out;
}

LRESULT ItemCount(HWND window, int listId) {
  return SendMessageW(GetDlgItem(window, listId), LVM_GETITEMCOUNT, 0, 0);
}

TEST(VantrelWindows, EndsWithAnErrorCodeOnABadCommandLine) {
  for (const std::wstring& args : {std::wstring(L""), std::wstring(L"1 2 3 4 1 0 /MI 5"),
                                   std::wstring(L"1 2 3 4 1 0 /MI 5 C:\\a.txt"),
                                   std::wstring(L"1 2 3 4 1 0 /MI 70000 \"C:\\a.txt\"")}) {
    SCOPED_TRACE(Narrow(args));
    Program p(args);
    ASSERT_TRUE(p.started());
    EXPECT_EQ(p.ExitCode(), vt::kExitBadCommandLine);
  }
}

TEST(VantrelWindows, AnswersAnEditorShowsWhatItGotLogsItAndCloses) {
  auto kernel = ipc::CreateSystemKernel();
  std::string user;
  ASSERT_TRUE(kernel->UserName(&user));
  const ipc::ObjectNames names(user);
  const int number = 40000 + static_cast<int>(GetCurrentProcessId() % 20000);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring log = std::wstring(temp) + L"vantrel-" + std::to_wstring(GetCurrentProcessId()) + L".log";
  DeleteFileW(log.c_str());

  // Our editor's inbox, a forwarder's, and the mark-jump mapping of our file.
  const std::string file = "C:\\src\\main.c";
  auto inbox = kernel->CreateMailslot(names.EditorInbox(kEditor), 0);
  auto forwarder = kernel->CreateMailslot(names.EditorInbox(vt::kForwarderInstance), 0);
  auto marks = kernel->CreateMapping(ipc::ObjectNames::MarkJumpFile(file), 8192, nullptr);
  ASSERT_TRUE(inbox && forwarder && marks);
  auto markView = marks->Map(0, 8192);
  ASSERT_TRUE(markView);

  const std::wstring args =
      L"10 20 600 400 1 0 /MI " + std::to_wstring(number) + L" \"" + Wide(file) + L"\" /LOG \"" + log + L"\"";
  Program vantrel(args);
  ASSERT_TRUE(vantrel.started());
  const std::string ours = names.InfoWindowInbox(number);
  ASSERT_TRUE(WaitFor([&] { return kernel->MailslotExists(ours); }));

  const std::string tid = std::to_string(GetCurrentThreadId());
  const std::vector<std::string> sent = {
      Msg("@TEST@"),
      Msg("@MJMMFILE@ 1 " + file),
      Msg("@ADDFILEITEM@ 1 7690 \"" + file + "\" \"\""),
      Msg("@ACTIVE@ 7690 " + tid),
      Msg("@ACTIVE@ 7702 " + tid),
      Msg("@SETMARKJUMP@ 7690 1 3 4 memo"),
      Msg("@SAVEMARKJUMPDATA@ 7690 1 " + file),
      Msg("@DISPSEARCH@"),
      Msg("@SCHFILE@ 0 " + file),
      Msg("@SCHLINE@ 0001000000010003 (3): foo(x);\r\n"),
      Msg("@SCHLINE@ 0005000000010003 (20): abcdfoo @CLOSED@ 1\r\n"),
      "@SEARCHEND@ 2",  // sent from the timer without its NUL
      Msg("@DISPCOMPILE@"),
      Msg("gcc -c main.c\r\n"),
      Msg("@@CLOSED@ 1\r\n"),  // output that looks like a message
      Msg("@COMPILEEND@"),
      Msg("no tag here"),
      Msg("@FOO@ 1"),
      Msg("@ACTIVE@ 7701 1"),
      std::string("\x83\x65\x83\x58\x83\x67\0\x01\x02", 9),
      Msg("@PROJECTSCH@ 7690"),
  };
  for (const std::string& m : sent) ASSERT_TRUE(kernel->WriteMailslot(ours, Span(m))) << m;

  const std::vector<std::string> answers = {Msg("@ADDFIRET@ 1"), Msg("@ACTIVEOK@"), Msg("@SETMARKJUMP@ 1"),
                                            Msg("@SAVEMJDATA_OK@"), Msg("@PROJSCHEND@")};
  EXPECT_EQ(Collect(*inbox, answers.size()), answers);
  EXPECT_EQ(Collect(*forwarder, 1), std::vector<std::string>{Msg("@ACTIVEOK@")});
  EXPECT_EQ(markView->bytes()[0], 2);

  // The window lists the two hits and the two output lines.
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = vantrel.Window()) != nullptr; }));
  EXPECT_TRUE(WaitFor([&] { return ItemCount(window, kHitListId) == 2; })) << ItemCount(window, kHitListId);
  EXPECT_TRUE(WaitFor([&] { return ItemCount(window, kOutputListId) == 2; })) << ItemCount(window, kOutputListId);

  // A second info window of the same number cannot take the inbox.
  {
    Program second(L"10 20 600 400 1 0 /MI " + std::to_wstring(number) + L" \"C:\\b.txt\"");
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.ExitCode(), vt::kExitInboxTaken);
  }

  // Closed like any window: it ends by itself, and its inbox is gone.
  ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
  EXPECT_EQ(vantrel.ExitCode(), vt::kExitOk);
  EXPECT_FALSE(kernel->MailslotExists(ours));
  // Nothing more was written to the editor: the output line was not taken for "@CLOSED@".
  EXPECT_TRUE(Collect(*inbox, 0).empty());

  // The log holds every text written, byte for byte, in order.
  std::string want;
  for (const std::string& m : sent) want += vt::LogRecord(Span(m));
  EXPECT_EQ(ReadAll(log), want);
  DeleteFileW(log.c_str());
}

}  // namespace
