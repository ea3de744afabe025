// The Win32 kernel objects between real processes. The program runs itself
// as the other process: with "--child MODE NAME READY" main() does one thing
// (hold a lock, fill a mapping, own an inbox, write a message), signals the
// named event READY and waits to be terminated. Every wait is bounded.
#include "ipc/kernel.h"
#include "ipc/object_names.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

namespace ipc = gorvane::ipc;

namespace {

constexpr DWORD kWaitMs = 10000;                // for anything another process has to do
constexpr std::uint32_t kMappingSize = 100000;  // not a whole number of pages

std::string Unique(const std::string& stem) { return "gvtest-" + stem + "-" + std::to_string(GetCurrentProcessId()); }
std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::uint8_t Pattern(std::size_t i) { return static_cast<std::uint8_t>(i * 7 % 251 + 1); }
// What waits at the head of an inbox: "none", "failed" or its size.
std::string Head(ipc::Mailslot& slot) {
  const ipc::NextMessage next = slot.Next();
  if (next.failed()) return "failed";
  return next.waiting() ? std::to_string(next.size) : "none";
}

// ---- the child ------------------------------------------------------------------

int ChildMain(const std::string& mode, const std::string& name, const std::string& ready) {
  auto kernel = ipc::CreateSystemKernel();
  std::unique_ptr<ipc::NamedMutex> mutex;
  std::unique_ptr<ipc::SharedMapping> mapping;
  std::unique_ptr<ipc::MappedView> view;
  std::unique_ptr<ipc::Mailslot> inbox;
  if (mode == "hold") {
    mutex = kernel->CreateMutex(name, true, nullptr);
    if (!mutex) return 2;
  } else if (mode == "map") {
    mapping = kernel->CreateMapping(name, kMappingSize, nullptr);
    if (!mapping || !(view = mapping->Map(0, kMappingSize))) return 2;
    for (std::size_t i = 0; i < kMappingSize; ++i) view->bytes()[i] = Pattern(i);
  } else if (mode == "inbox") {
    if (!(inbox = kernel->CreateMailslot(name, 0))) return 2;
  } else if (mode == "write") {
    return kernel->WriteMailslot(name, Bytes("@TEST@ from child")) ? 0 : 3;
  } else {
    return 4;
  }
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(ready).c_str());
  if (event == nullptr || !SetEvent(event)) return 5;
  Sleep(30000);  // the parent terminates us long before
  return 0;
}

// ---- the parent's side ------------------------------------------------------------

// A child process, terminated (at the latest) when this goes.
class Child {
 public:
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pi_.hProcess == nullptr) return;
    Kill();
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }

  // Starts "--child mode name ready"; with waitReady, returns once the child
  // signalled (false when it ended first or took too long).
  bool Start(const std::string& mode, const std::string& name, bool waitReady) {
    static int started = 0;
    const std::string ready = Unique("ready" + std::to_string(++started));
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, Wide(ready).c_str());
    if (event == nullptr) return false;
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(path) + L"\" --child " + Wide(mode + " " + name + " " + ready);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    bool ok = CreateProcessW(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_) != 0;
    if (ok && waitReady) {
      HANDLE both[2] = {event, pi_.hProcess};
      ok = WaitForMultipleObjects(2, both, FALSE, kWaitMs) == WAIT_OBJECT_0;
    }
    CloseHandle(event);
    return ok;
  }
  // Kills the child and waits until it is gone.
  bool Kill() {
    TerminateProcess(pi_.hProcess, 9);
    return WaitForSingleObject(pi_.hProcess, kWaitMs) == WAIT_OBJECT_0;
  }
  // Waits for the child to end by itself; its exit code, or -1.
  int ExitCode() {
    DWORD code = 0;
    if (WaitForSingleObject(pi_.hProcess, kWaitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(pi_.hProcess, &code))
      return -1;
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION pi_{};
};

class KernelWindows : public ::testing::Test {
 protected:
  std::unique_ptr<ipc::Kernel> kernel = ipc::CreateSystemKernel();
};

TEST_F(KernelWindows, TellsAboutTheSystem) {
  std::string user;
  ASSERT_TRUE(kernel->UserName(&user));
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(user.find('\0'), std::string::npos);
  EXPECT_EQ(kernel->ProcessId(), GetCurrentProcessId());
  const std::uint32_t granularity = kernel->AllocationGranularity();
  EXPECT_GE(granularity, 4096u);
  EXPECT_EQ(granularity & (granularity - 1), 0u);
  EXPECT_EQ(kernel->OpenMutex(Unique("nothing")), nullptr);
  const std::string text = kernel->LastErrorText();
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // asking keeps the code
}

TEST_F(KernelWindows, MutexIsRecursiveAndSaysWhenItExisted) {
  const std::string name = Unique("mutex");
  ipc::Created first, second;
  auto owned = kernel->CreateMutex(name, true, &first);
  auto opened = kernel->CreateMutex(name, true, &second);
  ASSERT_TRUE(owned && opened);
  EXPECT_FALSE(first.existed);
  EXPECT_TRUE(second.existed);
  EXPECT_EQ(opened->Wait(0), ipc::WaitResult::Acquired);  // the same process owns it already
  EXPECT_TRUE(owned->Release());
  EXPECT_TRUE(opened->Release());
  EXPECT_FALSE(owned->Release());
  owned.reset(), opened.reset();
  EXPECT_EQ(kernel->OpenMutex(name), nullptr);  // gone with its last handle
}

TEST_F(KernelWindows, LockOfAnotherProcessTimesOutAndIsAbandonedWhenItIsKilled) {
  const std::string name = Unique("held");
  Child child;
  ASSERT_TRUE(child.Start("hold", name, true));
  auto mutex = kernel->OpenMutex(name);
  ASSERT_TRUE(mutex);
  const DWORD start = GetTickCount();
  EXPECT_EQ(mutex->Wait(300), ipc::WaitResult::TimedOut);
  EXPECT_GE(GetTickCount() - start, 250u);
  ASSERT_TRUE(child.Kill());
  EXPECT_EQ(mutex->Wait(kWaitMs), ipc::WaitResult::Abandoned);
  EXPECT_EQ(mutex->Wait(0), ipc::WaitResult::Acquired);
  EXPECT_TRUE(mutex->Release());
  EXPECT_TRUE(mutex->Release());
}

TEST_F(KernelWindows, MappingFilledByAnotherProcessIsSeenWithItsPageRoundedSize) {
  const std::string name = Unique("mapping");
  Child child;
  ASSERT_TRUE(child.Start("map", name, true));
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::uint64_t pages = (kMappingSize + info.dwPageSize - 1) / info.dwPageSize * info.dwPageSize;
  ipc::Created created;
  auto opened = kernel->OpenMapping(name);
  auto again = kernel->CreateMapping(name, 4096, &created);  // opens it: its own size stands
  ASSERT_TRUE(opened && again);
  EXPECT_TRUE(created.existed);
  EXPECT_EQ(opened->size(), pages);
  EXPECT_EQ(again->size(), pages);
  ASSERT_TRUE(child.Kill());  // our handles keep the bytes

  const std::uint32_t g = kernel->AllocationGranularity();
  ASSERT_LT(g, kMappingSize);
  auto whole = opened->Map(0, 0);
  auto tail = again->Map(g, kMappingSize - g);
  ASSERT_TRUE(whole && tail);
  EXPECT_EQ(whole->bytes().size(), pages);
  bool same = true;
  for (std::size_t i = 0; i < kMappingSize; ++i) same = same && whole->bytes()[i] == Pattern(i);
  EXPECT_TRUE(same);
  EXPECT_EQ(tail->bytes()[0], Pattern(g));
  tail->bytes()[1] = 0;
  EXPECT_EQ(whole->bytes()[g + 1], 0);
  EXPECT_EQ(opened->Map(1, 10), nullptr);                                     // not on the granularity
  EXPECT_EQ(opened->Map(0, static_cast<std::uint32_t>(pages) + 1), nullptr);  // past the end

  opened.reset(), again.reset(), whole.reset(), tail.reset();
  EXPECT_EQ(kernel->OpenMapping(name), nullptr);
  auto fresh = kernel->CreateMapping(name, 4096, &created);
  ASSERT_TRUE(fresh);
  EXPECT_FALSE(created.existed);
  EXPECT_EQ(fresh->size(), 4096u);
  EXPECT_EQ(fresh->Map(0, 4096)->bytes()[1], 0);
}

TEST_F(KernelWindows, MailslotReceivesWholeMessagesFromAnotherProcess) {
  const std::string name = "\\\\.\\mailslot\\" + Unique("inbox");
  EXPECT_FALSE(kernel->MailslotExists(name));
  EXPECT_FALSE(kernel->WriteMailslot(name, Bytes("x")));
  auto inbox = kernel->CreateMailslot(name, 0);
  ASSERT_TRUE(inbox);
  EXPECT_EQ(kernel->CreateMailslot(name, 0), nullptr);
  EXPECT_TRUE(kernel->MailslotExists(name));
  EXPECT_EQ(Head(*inbox), "none");
  std::vector<std::uint8_t> buffer(64);
  EXPECT_EQ(inbox->Read(buffer), -1);

  Child child;
  ASSERT_TRUE(child.Start("write", name, false));
  ASSERT_EQ(child.ExitCode(), 0);
  ASSERT_TRUE(kernel->WriteMailslot(name, {}));  // empty: a message all the same
  ASSERT_TRUE(kernel->WriteMailslot(name, {}));
  ASSERT_TRUE(kernel->WriteMailslot(name, Bytes("@CLOSED@ 2")));
  const std::string fromChild = "@TEST@ from child";
  EXPECT_EQ(Head(*inbox), std::to_string(fromChild.size()));
  std::vector<std::uint8_t> small(fromChild.size() - 1);
  EXPECT_EQ(inbox->Read(small), -1);  // stays waiting
  EXPECT_EQ(Head(*inbox), std::to_string(fromChild.size()));
  ASSERT_EQ(inbox->Read(buffer), static_cast<std::int64_t>(fromChild.size()));
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 17), fromChild);
  // The empty messages are there, and each read takes one off, into a
  // buffer of any size.
  EXPECT_EQ(Head(*inbox), "0");
  EXPECT_EQ(inbox->Read(std::span<std::uint8_t>()), 0);
  EXPECT_EQ(Head(*inbox), "0");
  EXPECT_EQ(inbox->Read(buffer), 0);
  ASSERT_EQ(inbox->Read(buffer), 10);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 10), "@CLOSED@ 2");
  EXPECT_EQ(Head(*inbox), "none");

  // A sender that keeps its own handle open (shared write) shuts nobody out.
  HANDLE kept = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(kernel->WriteMailslot(name, Bytes("@TEST@")));
  EXPECT_TRUE(kernel->MailslotExists(name));
  CloseHandle(kept);

  inbox.reset();
  EXPECT_FALSE(kernel->MailslotExists(name));
  EXPECT_FALSE(kernel->WriteMailslot(name, Bytes("x")));
  EXPECT_NE(kernel->CreateMailslot(name, 0), nullptr);  // the name is free again
}

// Wine accepts a message over an inbox's limit (and cuts it); Windows refuses it.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

TEST_F(KernelWindows, MailslotMessageSizes) {
  const std::string open = "\\\\.\\mailslot\\" + Unique("open");
  auto any = kernel->CreateMailslot(open, 0);
  ASSERT_TRUE(any);
  std::vector<std::uint8_t> large(20000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = Pattern(i);
  ASSERT_TRUE(kernel->WriteMailslot(open, large));
  std::vector<std::uint8_t> buffer(large.size() + 520);
  ASSERT_EQ(any->Read(buffer), 20000);
  EXPECT_TRUE(std::equal(large.begin(), large.end(), buffer.begin()));
  // Over 64 KiB (Wine reports no larger size): read whole into a buffer that
  // has room for it.
  large.resize(70000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = Pattern(i);
  ASSERT_TRUE(kernel->WriteMailslot(open, large));
  ASSERT_TRUE(any->Next().waiting());
  EXPECT_GE(any->Next().size, 65536u);
  buffer.assign(large.size() + 520, 0);
  ASSERT_EQ(any->Read(buffer), 70000);
  EXPECT_TRUE(std::equal(large.begin(), large.end(), buffer.begin()));
  EXPECT_EQ(Head(*any), "none");

  const std::string limited = "\\\\.\\mailslot\\" + Unique("limited");
  auto small = kernel->CreateMailslot(limited, 8);
  ASSERT_TRUE(small);
  EXPECT_TRUE(kernel->WriteMailslot(limited, Bytes("12345678")));
  EXPECT_EQ(Head(*small), "8");
  if (!UnderWine()) {
    EXPECT_FALSE(kernel->WriteMailslot(limited, Bytes("123456789")));
  }
}

TEST_F(KernelWindows, InboxVanishesWithItsKilledOwner) {
  const std::string name = "\\\\.\\mailslot\\" + Unique("owner");
  Child child;
  ASSERT_TRUE(child.Start("inbox", name, true));
  EXPECT_TRUE(kernel->MailslotExists(name));
  EXPECT_TRUE(kernel->WriteMailslot(name, Bytes("@TEST@")));
  ASSERT_TRUE(child.Kill());
  EXPECT_FALSE(kernel->MailslotExists(name));
  EXPECT_FALSE(kernel->WriteMailslot(name, Bytes("@TEST@")));
}

// 表 is 95 5C in Shift-JIS: a byte-wise name would carry a backslash, which
// the object namespace takes for a separator.
TEST_F(KernelWindows, JapaneseNamesReachTheSystemAsTheirCharacters) {
  const std::string suffix = std::to_string(GetCurrentProcessId());
  const std::string name = "gvtest\x95\x5c" + suffix;
  const std::wstring wide = L"gvtest\u8868" + Wide(suffix);
  ipc::Created created;
  auto mutex = kernel->CreateMutex(name, true, &created);
  ASSERT_TRUE(mutex);
  EXPECT_FALSE(created.existed);
  HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str());
  EXPECT_NE(h, nullptr);
  if (h != nullptr) CloseHandle(h);
  mutex.reset();

  auto mapping = kernel->CreateMapping(name, 4096, &created);
  ASSERT_TRUE(mapping);
  EXPECT_FALSE(created.existed);
  h = OpenFileMappingW(FILE_MAP_READ, FALSE, wide.c_str());
  EXPECT_NE(h, nullptr);
  if (h != nullptr) CloseHandle(h);
  EXPECT_NE(kernel->OpenMapping(name), nullptr);

  const std::string slot = "\\\\.\\mailslot\\gvtest\x95\x5c" + suffix;
  auto inbox = kernel->CreateMailslot(slot, 0);
  ASSERT_TRUE(inbox);
  h = CreateFileW((L"\\\\.\\mailslot\\" + wide).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  EXPECT_TRUE(kernel->MailslotExists(slot));
}

// The per-file mutex of a deeply nested file: the plain name is longer than
// Windows takes for an object (MAX_PATH; Wine is more lenient), the name the
// editors use is not, and every editor makes the same one.
TEST_F(KernelWindows, AFileMutexNameTooLongForTheSystemIsShortenedAlike) {
  const std::string path = "C:\\" + std::string(200, 'd') + "\\" + std::string(120, 'e') + "\\file" +
                           std::to_string(GetCurrentProcessId()) + ".txt";
  ASSERT_GT(path.size() + std::string("_tester0174").size(), static_cast<std::size_t>(MAX_PATH));
  const ipc::ObjectNames names("tester");
  const std::string fitted = names.FileMutex(path);
  EXPECT_LE(fitted.size(), 250u);
  ipc::Created first, second;
  auto a = kernel->CreateMutex(fitted, false, &first);
  auto b = kernel->CreateMutex(names.FileMutex(path), false, &second);
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(first.existed);
  EXPECT_TRUE(second.existed);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) return ChildMain(argv[2], argv[3], argv[4]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
