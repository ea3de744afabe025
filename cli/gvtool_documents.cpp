// gvtool load and roundtrip: a file through the editor's own loading pipeline
// into a line store, and from there through the writer.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "companions/qorvetc/tmpcache.h"
#include "document/line_store.h"
#include "file_io.h"
#include "files/loader.h"
#include "files/writer.h"
#include "gvtool_commands.h"
#include "shell/editor.h"
#include "shell/script.h"

namespace gorvane::cli {

namespace cc = gorvane::charcode;

namespace {

// The editor's messages, kept for the error report; questions are answered
// yes (the command line has asked already).
class ToolHost final : public base::Host {
 public:
  base::BoxAnswer ShowMessageBox(const base::MessageBoxRequest& box) override {
    last = base::Utf8(box.text);
    return box.buttons == base::BoxButtons::YesNo || box.buttons == base::BoxButtons::YesNoCancel
               ? base::BoxAnswer::Yes
               : base::BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view) override {}
  void Beep() override {}
  std::string last;
};

// A line store and a document over the system's files.
struct Session {
  ToolHost host;
  qorvetc::TmpCache cache;
  document::LineStore store{host, cache};
  std::unique_ptr<files::FileSystem> fs = files::CreateSystemFileSystem();
  files::SoleEditor registry;
  files::DocumentFile file;
  files::WriteSettings settings;
  files::FileContext ctx{host, store, *fs, registry, file, settings};
  files::Loader loader{ctx};

  bool Start(std::FILE* err) {
    document::LineStoreSettings s;
    s.cache.pageSize = document::SanePageSize(s.cache.pageSize);
    if (!store.Start(s)) {
      std::fprintf(err, "gvtool: the temporary cache cannot be made: %s\n", host.last.c_str());
      return false;
    }
    file.path = "NO FolderName\\gvtool";
    return true;
  }

  // 1 loaded, 0 failed (reported).
  int Load(const std::string& path, std::FILE* err) {
    std::string sjis;
    if (!SjisOfUtf8(path, &sjis)) {
      std::fprintf(err, "gvtool: %s: the name cannot be written in Shift-JIS\n", path.c_str());
      return 0;
    }
    if (loader.OpenPath(0, files::OpenEntry{sjis, 0, false}) != 1) {
      std::fprintf(err, "gvtool: %s: %s\n", path.c_str(), host.last.c_str());
      return 0;
    }
    return 1;
  }
};

// The file to load for a command-line name: standard input ("-") is first
// copied into a temporary file, removed again when this goes.
class InputFile {
 public:
  bool Open(const std::string& name, std::FILE* in, std::FILE* err) {
    if (name != "-") {
      path_ = name;
      return true;
    }
    std::string error;
    if (!SpoolToTemporaryFile(in, &path_, &error)) {
      std::fprintf(err, "gvtool: %s\n", error.c_str());
      return false;
    }
    temporary_ = true;
    return true;
  }
  ~InputFile() {
    if (temporary_) RemoveFile(path_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool temporary_ = false;
};

// The writer's output file over an AtomicWriter: written in order, nothing read.
class WriterFile final : public files::File {
 public:
  explicit WriterFile(AtomicWriter& sink) : sink_(sink) {}
  bool Read(void*, std::uint32_t, std::uint32_t* got) override {
    *got = 0;
    return false;
  }
  bool Write(const void* src, std::uint32_t n) override { return sink_.Write(src, n); }
  bool Seek(std::uint64_t) override { return false; }
  bool Size(std::uint64_t*) override { return false; }
  bool LastWriteTime(files::FileTime*) override { return false; }
  bool SetEndOfFile() override { return sink_.ok(); }
  bool Flush() override { return sink_.ok(); }
  bool Close() override { return sink_.ok(); }

 private:
  AtomicWriter& sink_;
};

// A script file's text.
bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::FILE* f = OpenForRead(path);
  if (!f) {
    *error = path + ": cannot be opened";
    return false;
  }
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  if (!ok) *error = path + ": cannot be read";
  return ok;
}

// The document through the writer, as convert writes: beside the target and
// put in its place when complete, or to standard output ("-").
bool Save(Session& s, const std::string& path, const files::SaveOptions& options, std::FILE* out, std::FILE* err,
          files::WriteReport* written) {
  AtomicWriter sink(path, out);
  if (!sink.ok()) {
    std::fprintf(err, "gvtool: %s\n", sink.error().c_str());
    return false;
  }
  WriterFile f(sink);
  s.store.WriteBack();
  if (files::WriteDocument(s.ctx, f, options, written) != 1 || !sink.Commit()) {
    if (sink.error().empty()) std::fprintf(err, "gvtool: %s: writing failed\n", path.c_str());
    else std::fprintf(err, "gvtool: %s\n", sink.error().c_str());
    return false;
  }
  return true;
}

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 15];
  }
  return s;
}

}  // namespace

bool SjisOfUtf8(const std::string& utf8, std::string* sjis) {
  std::vector<std::uint8_t> out(utf8.size() * 2 + 4);
  const cc::Converted c = cc::Utf8ToSjis(cc::Bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()),
                                         cc::MutBytes(out.data(), out.size()));
  if (c.replaced != 0 || !c.complete) return false;
  sjis->assign(reinterpret_cast<const char*>(out.data()), c.written);
  return true;
}

int LoadCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  if (args.size() != 1) {
    std::fputs("usage: gvtool load FILE\n", err);
    return kExitError;
  }
  InputFile input;
  Session s;
  if (!input.Open(args[0], in, err) || !s.Start(err) || !s.Load(input.path(), err)) return kExitError;
  const files::DocumentFile& f = s.file;
  std::fprintf(out, "lines=%u code=%d crlf=%s modified=%d readonly=%d\n", s.store.lineCount(), f.code,
               Hex(f.crlf.data(), cc::CrlfLength(f.code, f.crlf.data())).c_str(), f.modified ? 1 : 0,
               f.readOnly ? 1 : 0);
  return kExitOk;
}

int RoundtripCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  static const char* kRoundtripUsage = "usage: gvtool roundtrip IN OUT [--to FORM] [--crlf cr|lf|crlf]\n";
  std::vector<std::string> paths;
  int toCode = 0, crlfKind = cc::kCrlfKeep;
  bool toBom = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--to" && i + 1 < args.size()) {
      if (!LookUpForm(args[++i], &toCode, &toBom)) {
        std::fprintf(err, "gvtool: unknown form '%s'\n%s", args[i].c_str(), kRoundtripUsage);
        return kExitError;
      }
    } else if (a == "--crlf" && i + 1 < args.size()) {
      const std::string& k = args[++i];
      crlfKind = k == "crlf" ? cc::kCrlfCrLf : k == "cr" ? cc::kCrlfCr : k == "lf" ? cc::kCrlfLf : -1;
      if (crlfKind < 0) {
        std::fprintf(err, "gvtool: unknown line end '%s'\n%s", k.c_str(), kRoundtripUsage);
        return kExitError;
      }
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kRoundtripUsage);
      return kExitError;
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) {
    std::fputs(kRoundtripUsage, err);
    return kExitError;
  }
  InputFile input;
  Session s;
  if (!input.Open(paths[0], in, err) || !s.Start(err) || !s.Load(input.path(), err)) return kExitError;
  const files::LoadReport loaded = s.loader.report();
  if (loaded.partial) {
    std::fprintf(err, "gvtool: %s: the file could not be read to its end; nothing written\n", paths[0].c_str());
    return kExitError;
  }

  files::SaveOptions options = files::DefaultSaveOptions(s.file);
  if (toCode != 0) options.code = toCode;
  options.crlfKind = crlfKind;
  s.settings.saveWithBom = toCode != 0 ? toBom : loaded.markBytes > 0;
  files::WriteReport written;
  if (!Save(s, paths[1], options, out, err, &written)) return kExitError;

  int status = kExitOk;
  if (loaded.cut) {
    std::fprintf(err, "gvtool: %s: line %lld: longer than 15,360 bytes, cut\n", paths[0].c_str(),
                 static_cast<long long>(loaded.firstCutLine));
    status = kExitLossy;
  }
  if (loaded.replaced) {
    std::fprintf(err, "gvtool: %s: line %lld: a character without a Shift-JIS code was read as \"?\"\n",
                 paths[0].c_str(), static_cast<long long>(loaded.firstReplacedLine));
    status = kExitLossy;
  }
  if (written.replaced != 0) {
    std::fprintf(err, "gvtool: %s: line %u: %zu character(s) without an equivalent written as \"?\"\n",
                 paths[1].c_str(), written.firstLossyLine, written.replaced);
    status = kExitLossy;
  }
  return status;
}

int EditCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  static const char* kEditUsage = "usage: gvtool edit [--script FILE]... [-e STEP]... IN [OUT]\n";
  std::vector<shell::ScriptStep> steps;
  std::vector<std::string> paths;
  int expression = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--script" || a == "-e") && i + 1 < args.size()) {
      const std::string& value = args[++i];
      std::string text = value, name = "-e " + std::to_string(++expression);
      if (a == "--script") {
        name = value;
        text.clear();
        std::string error;
        if (!ReadWholeFile(value, &text, &error)) {
          std::fprintf(err, "gvtool: %s\n", error.c_str());
          return kExitError;
        }
      }
      shell::ScriptError e;
      if (!shell::ParseScript(text, &steps, &e)) {
        std::fprintf(err, "gvtool: %s:%d: %s\n", name.c_str(), e.line, e.message.c_str());
        return kExitError;
      }
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kEditUsage);
      return kExitError;
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty() || paths.size() > 2) {
    std::fputs(kEditUsage, err);
    return kExitError;
  }
  InputFile input;
  Session s;
  if (!input.Open(paths[0], in, err) || !s.Start(err) || !s.Load(input.path(), err)) return kExitError;

  shell::ScriptWorld world;
  shell::Editor editor(world, s.store, world);
  editor.SetBookmarkRegistry(&world);
  shell::SetScriptView(editor);
  editor.DocumentReplaced(s.file.modified);
  shell::PlayScript(editor, world, steps);
  for (const std::string& line : world.transcript) std::fprintf(out, "%s\n", line.c_str());
  std::fprintf(out, "%s\n", shell::Summary(editor, editor.modified()).c_str());

  if (paths.size() == 2) {
    s.settings.saveWithBom = s.loader.report().markBytes > 0;
    files::WriteReport written;
    if (!Save(s, paths[1], files::DefaultSaveOptions(s.file), out, err, &written)) return kExitError;
  }
  return kExitOk;
}

}  // namespace gorvane::cli
