// An editor over a small document for behaviour tests: a text in (lines
// written with "\n" between them, each then ending in CR LF, the last
// without; Shift-JIS from UTF-8), script steps played, the transcript and the
// final line out, and the document's text back as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "shell/editor.h"
#include "shell/script.h"
#include "support/fake_host.h"
#include "support/memory_page_file.h"

namespace gvtest {

namespace doc = gorvane::document;
namespace sh = gorvane::shell;
namespace qv = gorvane::qorvetc;

inline std::string SjisOf(std::string_view utf8) {
  return sh::Sjis(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

// A document of lines written with "\n" between them (each line then ends
// in CR LF, the last without), Shift-JIS from UTF-8.
class Session {
 public:
  // Small pages and few of them in memory, so that the cache works.
  explicit Session(std::string_view text, std::uint32_t pageSize = 4096) {
    doc::LineStoreSettings settings;
    settings.cache = qv::CacheSettings{pageSize, 8};
    EXPECT_TRUE(store.Start(settings, gvtest::MemoryPageFiles()));
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (true) {
      const std::size_t nl = text.find('\n', at);
      std::string line = SjisOf(text.substr(at, nl == std::string_view::npos ? std::string_view::npos : nl - at));
      if (nl == std::string_view::npos) {
        lines.push_back(line);
        break;
      }
      lines.push_back(line + "\r\n");
      at = nl + 1;
    }
    Load(lines);
  }
  explicit Session(const std::vector<std::string>& sjisLines) {
    doc::LineStoreSettings settings;
    settings.cache = qv::CacheSettings{4096, 8};
    EXPECT_TRUE(store.Start(settings, gvtest::MemoryPageFiles()));
    Load(sjisLines);
  }
  void Load(const std::vector<std::string>& lines) {
    EXPECT_TRUE(store.BeginLoad());
    for (std::size_t i = 0; i < lines.size(); ++i)
      EXPECT_TRUE(store.CreateOneLineTmpCache(reinterpret_cast<const std::uint8_t*>(lines[i].data()),
                                              static_cast<std::uint32_t>(lines[i].size()), static_cast<std::uint32_t>(i + 1)));
    EXPECT_TRUE(store.EndLoad(static_cast<std::uint32_t>(lines.size())));
    editor.SetBookmarkRegistry(&world);
    sh::SetScriptView(editor);
    editor.DocumentReplaced();
  }
  // The transcript and the final line, one per line.
  std::string Play(std::string_view script) {
    std::vector<sh::ScriptStep> steps;
    sh::ScriptError error;
    EXPECT_TRUE(sh::ParseScript(script, &steps, &error)) << error.line << ": " << error.message;
    world.transcript.clear();
    sh::PlayScript(editor, world, steps);
    std::string out;
    for (const std::string& line : world.transcript) out += line + "\n";
    return out + sh::Summary(editor, editor.modified());
  }

  gvtest::FakeHost storeHost;
  qv::TmpCache cache;
  doc::LineStore store{storeHost, cache};
  sh::ScriptWorld world;
  sh::Editor editor{world, store, world};
};

// The document's text, UTF-8, with "\n" for CR LF (a bare CR or LF shows as
// "<CR>" or "<LF>").
inline std::string TextOf(doc::LineStore& store) {
  std::string out;
  for (std::uint32_t l = 1; l <= store.lineCount(); ++l) {
    std::string line;
    EXPECT_TRUE(store.ReadLine(doc::LineNo(static_cast<std::int32_t>(l)), &line));
    const bool crlf = line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
    if (crlf) line.resize(line.size() - 2);
    std::string u = sh::Utf8(line);
    for (std::size_t p; (p = u.find('\r')) != std::string::npos;) u.replace(p, 1, "<CR>");
    for (std::size_t p; (p = u.find('\n')) != std::string::npos;) u.replace(p, 1, "<LF>");
    out += u;
    if (crlf) out += "\n";
  }
  return out;
}

}  // namespace gvtest
