#include "shared_checks.h"

#include <algorithm>
#include <memory>

#include "commands/key_tables.h"
#include "commands/menu_layout.h"
#include "ipc/instance_group.h"
#include "support/fake_host.h"
#include "support/fake_kernel.h"

namespace gorvane::fuzz {

std::string CheckShared(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return "";
  const int where = data[0] % 4;
  const std::size_t at = (static_cast<std::size_t>(data[1]) << 8 | data[2]) * 61;
  const std::uint8_t* bytes = data + 3;
  const std::size_t n = size - 3;

  gvtest::FakeWorld world;
  auto firstProcess = world.NewProcess();
  gvtest::FakeHost firstHost;
  ipc::InstanceGroup first(*firstProcess, firstHost);
  ipc::JoinRequest request;
  request.path = "C:\\first.txt";
  if (first.Join(request).code != 1) return "the first editor could not join";

  // Another process scribbles over one of the shared areas.
  {
    auto writer = world.NewProcess();
    const ipc::ObjectNames names("tester");
    const std::string name = where <= 1 ? names.MainFile() : where == 2 ? names.FileNameFile() : names.SettingsFile();
    auto mapping = writer->OpenMapping(name);
    if (!mapping) return "a shared area is missing";
    const std::uint64_t base = where == 1 ? 2 * std::uint64_t{first.pageSize()} : 0;
    const std::uint32_t length = where <= 1 ? first.pageSize() : ipc::kSharedFileBytes;
    auto view = mapping->Map(base, length);
    if (!view) return "a shared area cannot be mapped";
    auto target = view->bytes();
    if (at < target.size()) std::copy_n(bytes, std::min(n, target.size() - at), target.begin() + static_cast<std::ptrdiff_t>(at));
  }

  auto secondProcess = world.NewProcess();
  gvtest::FakeHost secondHost;
  ipc::InstanceGroup second(*secondProcess, secondHost);
  request.path = "C:\\second.txt";
  const ipc::JoinResult joined = second.Join(request);
  if (joined.code != 0 && (joined.instance < 1 || joined.instance > ipc::kMaxInstances))
    return "instance number out of range: " + std::to_string(joined.instance);
  const int owner = second.FindOpenFile("C:\\first.txt");
  if (owner < 0 || owner > ipc::kMaxInstances) return "owner out of range";
  for (const ipc::OpenFileEntry& e : second.OpenFiles())
    if (e.path.size() >= ipc::kPathField) return "a path longer than its field";
  for (const ipc::InfoWindowEntry& e : second.InfoWindows())
    if (e.projectPath.size() >= ipc::kPathField) return "a project path longer than its field";
  // The key tables it copies drive its keys and menu labels: any bytes are
  // harmless there.
  commands::KeyTables keys;
  commands::OemKeyTable oemKeys{};
  if (second.ReadKeyTables(&oemKeys, &keys)) {
    for (int code = 0; code < 256; ++code) {
      const std::string label = commands::KeyLabel(keys, oemKeys, static_cast<commands::CommandCode>(code));
      if (label.size() > 64) return "a key label of " + std::to_string(label.size()) + " bytes";
    }
    for (const commands::MenuBarEntry& menu : commands::MainMenu())
      for (const commands::MenuItem& item : menu.items) commands::MenuLabel(item, keys, oemKeys);
    for (int state = 0; state < commands::kModifierStateCount; ++state)
      for (int vk = 0; vk < 256; ++vk) {
        const commands::KeyDecision d = commands::DecideKey(keys, static_cast<commands::ModifierState>(state),
                                                            static_cast<std::uint8_t>(vk), (vk & 1) != 0, (vk & 2) != 0);
        if (d.action == commands::KeyAction::Command && d.command == commands::kNoCommand)
          return "a command decision without a command";
      }
  }
  second.FreeInfoWindowNumber();
  second.RegisterFile("C:\\third.txt");
  second.WithSettings([&](files::SettingsArea& s) {
    files::SettingsGroupValues values{};
    s.RecordCount();
    s.RecordFor("x.txt");
    s.StoreSettingsGroup(0, ".txt.cpp", values, secondHost);
  });
  second.ReleaseSlot();
  first.ReleaseSlot();
  return "";
}

}  // namespace gorvane::fuzz
