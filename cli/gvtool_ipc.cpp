// gvtool ipc: looks at the shared tables of the running editors of this user
// and holds their locks, for tests and for diagnosing a stuck group. The
// shared objects exist on Windows only.
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gvtool_commands.h"
#include "base/host.h"
#include "ipc/instance_group.h"
#include "ipc/kernel.h"

namespace gorvane::cli {

#ifdef _WIN32
namespace {

constexpr const char* kIpcUsage =
    "usage: gvtool ipc list\n"
    "       gvtool ipc hold main|startup|group|macro SECONDS\n"
    "       gvtool ipc dump main|files|settings OFFSET LENGTH\n"
    "       gvtool ipc record EXTENSION\n";

// Messages go to stderr.
class ToolHost final : public base::Host {
 public:
  explicit ToolHost(std::FILE* err) : err_(err) {}
  base::BoxAnswer ShowMessageBox(const base::MessageBoxRequest& box) override {
    std::fprintf(err_, "gvtool: %s\n", base::Utf8(box.text).c_str());
    return base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override {}
  void Beep() override {}

 private:
  std::FILE* err_;
};

void HexDump(std::FILE* out, const std::vector<std::uint8_t>& bytes, std::uint64_t base) {
  for (std::size_t i = 0; i < bytes.size(); i += 16) {
    std::fprintf(out, "%08llx ", static_cast<unsigned long long>(base + i));
    for (std::size_t k = i; k < i + 16; ++k) {
      if (k < bytes.size()) std::fprintf(out, " %02x", bytes[k]);
      else std::fputs("   ", out);
    }
    std::fputs("  ", out);
    for (std::size_t k = i; k < i + 16 && k < bytes.size(); ++k)
      std::fputc(bytes[k] >= 0x20 && bytes[k] < 0x7F ? bytes[k] : '.', out);
    std::fputc('\n', out);
  }
}

bool Number(const std::string& s, std::uint64_t* value) {
  if (s.empty()) return false;
  char* end = nullptr;
  *value = std::strtoull(s.c_str(), &end, 0);
  return end != nullptr && *end == '\0';
}

}  // namespace
#endif

int IpcCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
#ifndef _WIN32
  (void)args;
  (void)out;
  std::fputs("gvtool: ipc works on the editors' shared objects, which exist in the Windows build only\n", err);
  return kExitError;
#else
  if (args.empty()) {
    std::fputs(kIpcUsage, err);
    return kExitError;
  }
  std::unique_ptr<ipc::Kernel> kernel = ipc::CreateSystemKernel();
  ToolHost host(err);
  ipc::InstanceGroup group(*kernel, host);
  const std::string& what = args[0];

  if (what == "hold" && args.size() == 3) {
    std::uint64_t seconds = 0;
    if (!Number(args[2], &seconds)) {
      std::fputs(kIpcUsage, err);
      return kExitError;
    }
    std::string user;
    if (!kernel->UserName(&user)) {
      std::fputs("gvtool: the user name cannot be had\n", err);
      return kExitError;
    }
    const ipc::ObjectNames names(user);
    const std::string name = args[1] == "main"      ? names.MainLock()
                             : args[1] == "startup" ? ipc::ObjectNames::StartupMutex()
                             : args[1] == "group"   ? names.GroupLock("")
                             : args[1] == "macro"   ? names.MacroLock()
                                                    : std::string();
    if (name.empty()) {
      std::fputs(kIpcUsage, err);
      return kExitError;
    }
    ipc::SharedLock lock(kernel.get(), name);
    if (!lock.Take(10000)) {
      std::fprintf(err, "gvtool: %s is held by another process\n", args[1].c_str());
      return kExitError;
    }
    std::fprintf(out, "holding %s\n", args[1].c_str());
    std::fflush(out);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    lock.Drop();
    return kExitOk;
  }

  if (!group.Observe()) {
    std::fputs("gvtool: no editor of this user is running\n", err);
    return kExitError;
  }
  if (what == "list" && args.size() == 1) {
    std::fputs("instance info modified path\n", out);
    for (const ipc::OpenFileEntry& e : group.OpenFiles())
      std::fprintf(out, "%8d %4d %8d %s\n", e.instance, e.infoWindow, e.modified ? 1 : 0, base::Utf8(e.path).c_str());
    std::fputs("info project path\n", out);
    for (const ipc::InfoWindowEntry& e : group.InfoWindows())
      std::fprintf(out, "%4d %7d %s\n", e.number, e.holdsProject ? 1 : 0, base::Utf8(e.projectPath).c_str());
    return kExitOk;
  }
  if (what == "dump" && args.size() == 4) {
    const int file = args[1] == "main" ? 0 : args[1] == "files" ? 1 : args[1] == "settings" ? 2 : -1;
    std::uint64_t offset = 0, length = 0;
    if (file < 0 || !Number(args[2], &offset) || !Number(args[3], &length) || length > 16 * 1024 * 1024) {
      std::fputs(kIpcUsage, err);
      return kExitError;
    }
    const auto bytes = group.Dump(file, offset, static_cast<std::uint32_t>(length));
    if (bytes.empty()) {
      std::fputs("gvtool: nothing there\n", err);
      return kExitError;
    }
    HexDump(out, bytes, offset);
    return kExitOk;
  }
  if (what == "record" && args.size() == 2) {
    std::vector<std::uint8_t> record;
    group.WithSettings([&](files::SettingsArea& s) {
      const int i = s.FindRecord(base::Sjis(std::u8string(args[1].begin(), args[1].end())));
      if (i < 0) return;
      const auto bytes = s.Record(i).Bytes(0, files::kSettingsRecordBytes);
      record.assign(bytes.begin(), bytes.end());
    });
    if (record.empty()) {
      std::fprintf(err, "gvtool: no settings record for %s\n", args[1].c_str());
      return kExitError;
    }
    HexDump(out, record, 0);
    return kExitOk;
  }
  std::fputs(kIpcUsage, err);
  return kExitError;
#endif
}

}  // namespace gorvane::cli
