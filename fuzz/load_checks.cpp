#include "load_checks.h"

#include <string_view>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "files/loader.h"
#include "support/fake_host.h"
#include "support/memory_file_system.h"
#include "support/memory_page_file.h"

namespace gorvane::fuzz {

namespace {

std::string CheckLines(document::LineStore& store) {
  std::string fault;
  const std::uint32_t count = store.lineCount();
  store.WalkLines(document::LineNo(1), 1, [&](document::LineNo line, std::string_view text) {
    const bool last = static_cast<std::uint32_t>(line.value) == count;
    const std::size_t lf = text.find('\n');
    if (text.size() > document::kMaxLineBytes) fault = "line longer than 15,360 bytes";
    else if (last && lf != std::string_view::npos) fault = "last line has a line end";
    else if (!last && (text.size() < 2 || text.substr(text.size() - 2) != "\r\n" || lf != text.size() - 1))
      fault = "line " + std::to_string(line.value) + " does not end in its only CR LF";
    return fault.empty();
  });
  return fault;
}

}  // namespace

std::string CheckLoad(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return "";
  static constexpr int kForced[] = {0, 1, 2, 4, 5, 6};
  const int forced = kForced[data[0] % 6];
  const int insertAt = 1 + data[0] / 6;

  gvtest::FakeHost host;
  qorvetc::TmpCache cache;
  document::LineStore store(host, cache);
  document::LineStoreSettings settings;
  settings.cache = qorvetc::CacheSettings{document::SanePageSize(0), 2};
  if (!store.Start(settings, gvtest::MemoryPageFiles())) return "the line store did not start";
  gvtest::MemoryFileSystem fs;
  fs.Put("/f.txt", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  files::SoleEditor registry;
  files::DocumentFile file;
  file.path = "NO FolderName\\x";
  files::WriteSettings writeSettings;
  files::FileContext ctx{host, store, fs, registry, file, writeSettings};
  files::Loader loader(ctx);

  const int opened = loader.OpenPath(0, files::OpenEntry{"/f.txt", forced, false});
  if (opened != 0 && opened != 1) return "open returned " + std::to_string(opened);
  if (opened == 0 && !file.readOnly) return "a failed load left the document writable";
  std::string fault = store.CheckInvariants();
  if (fault.empty()) fault = CheckLines(store);
  if (!fault.empty()) return "after loading: " + fault;
  if (fs.openHandles() != 0) return "a file was left open after loading";

  const std::uint32_t before = store.lineCount();
  const int at = std::min<int>(insertAt, static_cast<int>(before));
  const int inserted = loader.InsertFile("/f.txt", forced, document::LineNo(at));
  fault = store.CheckInvariants();
  if (fault.empty()) fault = CheckLines(store);
  if (!fault.empty()) return "after inserting: " + fault;
  if (inserted == 0 && store.lineCount() != before) return "a refused insert changed the line count";
  if (fs.openHandles() != 0) return "a file was left open after inserting";
  return "";
}

}  // namespace gorvane::fuzz
