// Inboxes that never go deaf, between real processes: this program writes
// thousands of empty, malformed and 60-70 KB messages into a running
// editor's inbox and into its info window's (Vantrel, started by the editor);
// afterwards both still answer requests, and the editor's document is as it
// was. A close request followed in the same batch by requests that would act
// on the closing editor: it ends cleanly and handles none of them. Every wait
// is bounded; a writer that stays blocked (an inbox nobody reads any more)
// fails the test.
#include "ipc/instance_group.h"
#include "ipc/kernel.h"
#include "ipc/messages.h"
#include "ipc/object_names.h"
#include "support/fake_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ui_driver.h"

#undef CreateMutex
#undef OpenMutex
#undef CreateMailslot

namespace ipc = gorvane::ipc;

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr int kBurst = 2400;  // messages into each inbox

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
std::string Msg(const std::string& text) { return text + std::string(1, '\0'); }
std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The garbage of the flood, the same every run: empty messages, random
// bytes, near misses of real requests (none of them valid) and 60-70 KB texts.
std::vector<std::string> Flood() {
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  std::vector<std::string> out;
  for (int i = 0; i < kBurst; ++i) {
    std::string m;
    switch (i % 8) {
      case 0:
        break;  // empty
      case 1:
        for (std::uint32_t n = 1 + next() % 300; n > 0; --n) m.push_back(static_cast<char>(next()));
        break;
      case 2:
        m = Msg("@AUTOSAVE@ x");
        break;
      case 3:
        m = Msg("@CLOSED@ 9");
        break;
      case 4:
        m = Msg("@SAVE@ junk");
        break;
      case 5:
        m = Msg("@ACTIVE@ 1");
        break;
      case 6:
        m = Msg("no tag\r\n");
        break;
      default:
        m = std::string(1, '@');
        break;
    }
    if (i % 20 == 7) {  // large: a search setting with a long text, or bytes
      const std::size_t size = 60000 + next() % 10001;
      m = i % 40 == 7 ? "@SETSCHDATA@ 0 1 2 3 t " : "@";
      while (m.size() < size) m.push_back(static_cast<char>(0x20 + next() % 0x5F));
    }
    out.push_back(std::move(m));
  }
  return out;
}

// Writes the messages through one handle (as a sender keeping its handle
// does) on a thread of its own, so that a write blocked by an inbox nobody
// reads cannot hang the test.
class Writer {
 public:
  Writer(const std::string& inbox, std::vector<std::string> messages) : messages_(std::move(messages)) {
    handle_ = CreateFileW(Wide(inbox).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() {
    if (thread_) {
      if (WaitForSingleObject(thread_, 0) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
      CloseHandle(thread_);
    }
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  // Whether every message was written within ms.
  bool Done(DWORD ms) { return thread_ && WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0 && written_ == messages_.size(); }
  std::size_t written() const { return written_; }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* w = static_cast<Writer*>(self);
    for (const std::string& m : w->messages_) {
      DWORD n = 0;
      if (!WriteFile(w->handle_, m.data(), static_cast<DWORD>(m.size()), &n, nullptr) || n != m.size()) break;
      ++w->written_;
    }
    return 0;
  }
  std::vector<std::string> messages_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HANDLE thread_ = nullptr;
  std::atomic<std::size_t> written_ = 0;
};

bool WriteOne(const std::string& inbox, const std::string& message) {
  auto kernel = ipc::CreateSystemKernel();
  return kernel->WriteMailslot(
      inbox, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()));
}

class InboxFlood : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kernel_->UserName(&user_));
    names_ = std::make_unique<ipc::ObjectNames>(user_);
    // Our own inbox, as another editor's: answers come here.
    me_ = 7000 + static_cast<int>(GetCurrentProcessId() % 600);
    inbox_ = kernel_->CreateMailslot(names_->EditorInbox(me_), 0);
    ASSERT_TRUE(inbox_);
  }
  void TearDown() override {
    for (HWND w : gvdrive::TopWindows(0, L"VantrelInfoWindow")) PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(200);
    for (const std::wstring& f : files_) DeleteFileW(f.c_str());
  }

  // Starts an editor on a new file and finds its instance and info window in
  // the group's table of open files.
  bool StartEditor(gvdrive::EditorProcess& editor, const std::string& name, const std::string& bytes) {
    files_.push_back(gvdrive::TempFile(Wide(name), bytes));
    if (!editor.Start(files_.back())) return false;
    frame_ = gvdrive::WaitForFrame(editor.pid());
    if (!frame_) return false;
    return gvdrive::WaitUntil([&] {
      gvtest::FakeHost host;
      ipc::InstanceGroup group(*kernel_, host);
      if (!group.Observe()) return false;
      for (const ipc::OpenFileEntry& e : group.OpenFiles())
        if (e.path.ends_with(Lower(name))) {
          instance_ = e.instance;
          infoWindow_ = e.infoWindow;
          return true;
        }
      return false;
    });
  }

  // The messages that came to our inbox within ms, "@TEST@" probes left out,
  // until one with the tag arrived (empty tag: for the whole time).
  std::vector<std::string> Received(const std::string& tag, DWORD ms) {
    std::vector<std::string> got;
    std::vector<std::uint8_t> buffer(70000);
    gvdrive::WaitUntil(
        [&] {
          while (inbox_->Next().waiting()) {
            const std::int64_t n = inbox_->Read(buffer);
            if (n < 0) break;
            const std::string m(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
            if (m != Msg("@TEST@")) got.push_back(m);
          }
          for (const std::string& m : got)
            if (!tag.empty() && ipc::TagOf(m) == tag) return true;
          return false;
        },
        ms, 20);
    return got;
  }

  std::unique_ptr<ipc::Kernel> kernel_ = ipc::CreateSystemKernel();
  std::string user_;
  std::unique_ptr<ipc::ObjectNames> names_;
  int me_ = 0;
  std::unique_ptr<ipc::Mailslot> inbox_;
  std::vector<std::wstring> files_;
  HWND frame_ = nullptr;
  int instance_ = 0, infoWindow_ = -1;
};

TEST_F(InboxFlood, EditorAndInfoWindowAnswerAfterAFlood) {
  const std::string name = "flood-" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::string bytes = "first line\r\nsecond line\r\n";
  gvdrive::EditorProcess editor;
  ASSERT_TRUE(StartEditor(editor, name, bytes));
  const std::string editorInbox = names_->EditorInbox(instance_);
  const std::string infoInbox = names_->InfoWindowInbox(infoWindow_);
  ASSERT_TRUE(gvdrive::WaitUntil([&] { return kernel_->MailslotExists(infoInbox); }));
  const std::wstring title = gvdrive::WindowText(frame_);
  ASSERT_EQ(title.find(L" *"), std::wstring::npos);

  const DWORD start = GetTickCount();
  {
    Writer toEditor(editorInbox, Flood());
    Writer toInfoWindow(infoInbox, Flood());
    const bool editorTook = toEditor.Done(kWaitMs), infoWindowTook = toInfoWindow.Done(kWaitMs);
    EXPECT_TRUE(editorTook) << "the editor took " << toEditor.written() << " of " << kBurst;
    EXPECT_TRUE(infoWindowTook) << "the info window took " << toInfoWindow.written() << " of " << kBurst;
    ASSERT_TRUE(editorTook && infoWindowTook);  // a deaf inbox would block every later write
  }
  // Both still answer.
  ASSERT_TRUE(WriteOne(editorInbox, Msg("@AUTOSAVE@ " + std::to_string(me_))));
  EXPECT_EQ(Received("@ANSAUTOSAVE@", kWaitMs), std::vector<std::string>{Msg("@ANSAUTOSAVE@ 1")});
  ASSERT_TRUE(WriteOne(infoInbox, Msg("@PROJECTSCH@ " + std::to_string(me_))));
  EXPECT_EQ(Received("@PROJSCHEND@", kWaitMs), std::vector<std::string>{Msg("@PROJSCHEND@")});
  const DWORD took = GetTickCount() - start;
  std::printf("flood of 2 x %d messages read and answered after %lu ms\n", kBurst, static_cast<unsigned long>(took));

  // The document is as it was.
  EXPECT_EQ(gvdrive::WindowText(frame_), title);
  EXPECT_EQ(gvdrive::ReadFileBytes(files_.back()), bytes);
  PostMessageW(frame_, WM_CLOSE, 0, 0);
  EXPECT_EQ(editor.Wait(), 0);
}

TEST_F(InboxFlood, NothingAfterACloseRequestIsHandled) {
  const std::string name = "close-" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::string bytes = "text\r\n";
  gvdrive::EditorProcess editor;
  ASSERT_TRUE(StartEditor(editor, name, bytes));
  ipc::TagJump jump;
  jump.line = 1;
  jump.column = 1;
  jump.length = 1;
  jump.threadId = GetCurrentThreadId();
  jump.infoWindow = infoWindow_;
  jump.text = "t";
  const std::vector<std::string> batch = {Msg("@CLOSED@ 0"), ipc::BuildSave(), *ipc::BuildActiveToEditor(jump),
                                          *ipc::BuildAutoSave(me_)};
  // Written while the editor's thread stands still, so that its next poll
  // finds them all.
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(frame_, &pid);
  HANDLE ui = OpenThread(THREAD_SUSPEND_RESUME, FALSE, thread);
  ASSERT_NE(ui, nullptr);
  ASSERT_NE(SuspendThread(ui), static_cast<DWORD>(-1));
  bool written = true;
  for (const std::string& m : batch) written = WriteOne(names_->EditorInbox(instance_), m) && written;
  ResumeThread(ui);
  CloseHandle(ui);
  ASSERT_TRUE(written);

  EXPECT_EQ(editor.Wait(), 0);
  EXPECT_EQ(Received("", 300), std::vector<std::string>{});  // no "@ANSAUTOSAVE@"
  EXPECT_EQ(gvdrive::ReadFileBytes(files_.back()), bytes);
}

}  // namespace
