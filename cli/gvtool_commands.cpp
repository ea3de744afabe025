#include "gvtool_commands.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "charcode/charcode.h"
#include "file_io.h"

namespace gorvane::cli {
namespace cc = gorvane::charcode;
namespace {

constexpr const char* kUsage =
    "usage: gvtool detect [--names] FILE...\n"
    "       gvtool convert --to FORM [--from FORM] [-o OUT] FILE\n"
    "       gvtool load FILE\n"
    "       gvtool roundtrip IN OUT [--to FORM] [--crlf cr|lf|crlf]\n"
    "       gvtool edit [--script FILE]... [-e STEP]... IN [OUT]\n"
    "       gvtool grep [-c] [-i] [-w] [--fuzzy] [--wild] [-E] [--] PATTERN FILE...\n"
    "       gvtool ipc list|hold|dump|record ...   (Windows build)\n"
    "       gvtool help | --help\n"
    "FORM: sjis eucjp utf8 utf8bom utf16le utf16lebom utf16be utf16bebom\n"
    "A FILE, IN or OUT of - is standard input or output.\n";

struct Form {
  const char* name;
  int code;
  bool bom;
};
constexpr Form kForms[] = {
    {"sjis", cc::kCodeSjis, false},        {"eucjp", cc::kCodeEuc, false},         {"utf8", cc::kCodeUtf8, false},
    {"utf8bom", cc::kCodeUtf8, true},      {"utf16le", cc::kCodeUtf16LE, false},   {"utf16lebom", cc::kCodeUtf16LE, true},
    {"utf16be", cc::kCodeUtf16BE, false},  {"utf16bebom", cc::kCodeUtf16BE, true},
};

const Form* FindForm(const std::string& name) {
  for (const Form& f : kForms)
    if (name == f.name) return &f;
  return nullptr;
}

std::size_t BomLength(int code) { return code == cc::kCodeUtf8 ? 3 : (code == cc::kCodeUtf16BE || code == cc::kCodeUtf16LE) ? 2 : 0; }

bool HasBom(int code, const std::uint8_t* d, std::size_t n) {
  switch (code) {
    case cc::kCodeUtf8: return n >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF;
    case cc::kCodeUtf16BE: return n >= 2 && d[0] == 0xFE && d[1] == 0xFF;
    case cc::kCodeUtf16LE: return n >= 2 && d[0] == 0xFF && d[1] == 0xFE;
    default: return false;
  }
}

void WriteBom(int code, std::uint8_t* d) {
  static const std::uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF}, kBe[] = {0xFE, 0xFF}, kLe[] = {0xFF, 0xFE};
  std::memcpy(d, code == cc::kCodeUtf8 ? kUtf8 : code == cc::kCodeUtf16BE ? kBe : kLe, BomLength(code));
}

// The CrlfKind of the file's first line end, read in its own form: the same
// rule as detection's (a CR that ends the sample counts as a bare CR).
int LineEndKind(int code, const std::uint8_t* d, std::size_t n) {
  const bool units = code == cc::kCodeUtf16BE || code == cc::kCodeUtf16LE;
  const std::size_t step = units ? 2 : 1;
  auto at = [&](std::size_t i) -> int {
    if (!units) return d[i];
    return code == cc::kCodeUtf16BE ? (d[i] << 8 | d[i + 1]) : (d[i + 1] << 8 | d[i]);
  };
  for (std::size_t i = 0; i + step <= n; i += step) {
    const int c = at(i);
    if (c == '\n') return cc::kCrlfLf;
    if (c == '\r') return i + 2 * step <= n && at(i + step) == '\n' ? cc::kCrlfCrLf : cc::kCrlfCr;
  }
  return cc::kCrlfCrLf;
}

struct Closer {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, Closer>;

// The name of a detection result: its form, "-bom" when a byte-order mark was found.
const char* CodeName(int code) {
  switch (code) {
    case cc::kCodeSjis: return "sjis";
    case cc::kCodeEuc: return "eucjp";
    case cc::kCodeUtf8: return "utf8";
    case -cc::kCodeUtf8: return "utf8-bom";
    case cc::kCodeUtf16BE: return "utf16be";
    case -cc::kCodeUtf16BE: return "utf16be-bom";
    case cc::kCodeUtf16LE: return "utf16le";
    case -cc::kCodeUtf16LE: return "utf16le-bom";
    default: return "unknown";
  }
}

int Detect(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  bool names = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--names") {
      names = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kUsage);
      return kExitError;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::fputs(kUsage, err);
    return kExitError;
  }
  std::vector<std::uint8_t> sample(cc::kSampleSize);
  int rc = kExitOk;
  for (const std::string& path : files) {
    File opened(path == "-" ? nullptr : OpenForRead(path));
    std::FILE* f = path == "-" ? in : opened.get();
    if (f == nullptr) {
      std::fprintf(err, "gvtool: %s: cannot open: %s\n", path.c_str(), std::strerror(errno));
      rc = kExitError;
      continue;
    }
    if (path == "-") SetBinary(f);
    std::size_t n = 0;
    for (std::size_t k = 1; k != 0 && n < sample.size();) {  // a pipe may deliver the sample in parts
      k = std::fread(sample.data() + n, 1, sample.size() - n, f);
      n += k;
    }
    if (std::ferror(f)) {
      std::fprintf(err, "gvtool: %s: read failed\n", path.c_str());
      rc = kExitError;
      continue;
    }
    std::uint8_t crlf[cc::kCrlfBytesSize];
    const int code = cc::JudgmentCode(sample.data(), static_cast<int>(n), crlf);
    const bool units = code == 5 || code == 6 || code == -5 || code == -6;
    const std::size_t len = cc::CrlfLength(code, crlf) + (units ? 2 : 1);
    if (names) std::fprintf(out, "%s ", CodeName(code));
    else std::fprintf(out, "%d ", code);
    for (std::size_t i = 0; i < len; ++i) std::fprintf(out, "%02x", crlf[i]);
    std::fprintf(out, " %s\n", path.c_str());
  }
  return rc;
}

// Writes working lines (Shift-JIS, CR LF) in the target form, a piece of text
// at a time.
class LineWriter {
 public:
  LineWriter(const Form& to, int kind, AtomicWriter& sink) : to_(to), sink_(sink) {
    cc::SetCrlfChar(to.code, kind, crlf_);
  }
  // text: whole working lines, the last one possibly without its CR LF.
  bool Put(const std::uint8_t* text, std::size_t n) {
    // The readers' lines end in CR LF and hold no other CR or LF: in Shift-JIS
    // with CR LF they are written as they are.
    if (to_.code == cc::kCodeSjis && crlf_[0] == '\r' && crlf_[1] == '\n' && crlf_[2] == 0) return sink_.Write(text, n);
    cc::Bytes src(text, n);
    while (!src.empty()) {
      // A few lines at a time, so that the text and its conversion stay in the
      // processor's caches; a line longer than that on its own.
      cc::TextConverted c = Convert(src, std::min(kChunk, 3 * src.size()));
      if (c.consumed == 0 && !c.complete) c = Convert(src, 3 * src.size());  // room for any conversion of src
      if (c.firstLossyLine >= 0 && firstLossy_ < 0) firstLossy_ = line_ + c.firstLossyLine;
      line_ += static_cast<std::int64_t>(c.lines);
      if (c.consumed == 0 || !sink_.Write(buf_.get(), c.written)) return false;
      src = src.subspan(c.consumed);
    }
    return true;
  }
  std::int64_t firstLossyLine() const { return firstLossy_; }

 private:
  static constexpr std::size_t kChunk = 96 * 1024;

  cc::TextConverted Convert(cc::Bytes src, std::size_t room) {
    if (bufSize_ < room) {
      bufSize_ = room;
      buf_ = std::make_unique_for_overwrite<std::uint8_t[]>(bufSize_);
    }
    const cc::MutBytes dst(buf_.get(), room);
    switch (to_.code) {
      case cc::kCodeEuc: return cc::SjisTextToEuc(src, dst, crlf_);
      case cc::kCodeUtf8: return cc::SjisTextToUtf8(src, dst, crlf_);
      case cc::kCodeUtf16BE: return cc::SjisTextToUtf16(src, dst, true, crlf_);
      case cc::kCodeUtf16LE: return cc::SjisTextToUtf16(src, dst, false, crlf_);
      default: return cc::SjisTextLineEnds(src, dst, crlf_);
    }
  }

  const Form& to_;
  AtomicWriter& sink_;
  std::uint8_t crlf_[cc::kCrlfBytesSize];
  std::unique_ptr<std::uint8_t[]> buf_;  // not cleared first: only what a conversion wrote is read
  std::size_t bufSize_ = 0;
  std::int64_t line_ = 0, firstLossy_ = -1;
};

int Convert(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  const Form* to = nullptr;
  const Form* from = nullptr;
  std::string outPath, inPath;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if ((a == "--to" || a == "--from") && hasValue) {
      const Form* f = FindForm(args[++i]);
      if (f == nullptr) {
        std::fprintf(err, "gvtool: unknown form '%s'\n%s", args[i].c_str(), kUsage);
        return kExitError;
      }
      (a == "--to" ? to : from) = f;
    } else if (a == "-o" && hasValue) {
      outPath = args[++i];
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kUsage);
      return kExitError;
    } else if (inPath.empty()) {
      inPath = a;
    } else {
      std::fprintf(err, "gvtool: convert takes one file\n%s", kUsage);
      return kExitError;
    }
  }
  if (to == nullptr || inPath.empty()) {
    std::fputs(kUsage, err);
    return kExitError;
  }
  PieceReader input(inPath, in, cc::kPieceSize);
  if (!input.ok()) {
    std::fprintf(err, "gvtool: %s: cannot open: %s\n", inPath.c_str(), std::strerror(errno));
    return kExitError;
  }
  if (!input.Fill()) {
    std::fprintf(err, "gvtool: %s: read failed\n", inPath.c_str());
    return kExitError;
  }
  // Detection on the first piece.
  int code;
  if (from != nullptr) {
    code = from->code;
  } else {
    std::uint8_t crlf[cc::kCrlfBytesSize];
    code = cc::JudgmentCode(input.data(), static_cast<int>(input.size()), crlf);
    if (code < 0) code = -code;
    if (code == cc::kCodeUnknown) code = cc::kCodeSjis;
  }
  const std::size_t skip = HasBom(code, input.data(), input.size()) ? BomLength(code) : 0;
  const int kind = LineEndKind(code, input.data() + skip, input.size() - skip);
  input.Consume(skip);

  const auto work = std::make_unique_for_overwrite<std::uint8_t[]>(cc::kPieceSize);  // only what a reader wrote is read
  AtomicWriter sink(outPath, out);
  if (!sink.ok()) {
    std::fprintf(err, "gvtool: %s\n", sink.error().c_str());
    return kExitError;
  }
  if (to->bom) {
    std::uint8_t bom[3];
    WriteBom(to->code, bom);
    sink.Write(bom, BomLength(to->code));
  }
  LineWriter writer(*to, kind, sink);
  const cc::Reader reader = cc::ReaderFor(code);
  std::int64_t linesRead = 0, firstLossyRead = -1, offset = static_cast<std::int64_t>(skip);
  while (true) {
    // The unconsumed tail, topped up to a whole piece.
    if (!input.Fill()) {
      std::fprintf(err, "gvtool: %s: read failed\n", inPath.c_str());
      return kExitError;
    }
    const bool final = input.atEnd();
    const std::size_t have = input.size();
    if (have == 0) break;
    const cc::PieceResult r =
        cc::ReadPiece(reader, cc::Bytes(input.data(), have), final, cc::MutBytes(work.get(), cc::kPieceSize));
    if (r.firstLossyLine >= 0 && firstLossyRead < 0) firstLossyRead = linesRead + r.firstLossyLine;
    linesRead += r.lineEnds;
    if (!writer.Put(work.get(), r.outBytes)) {
      std::fprintf(err, "gvtool: %s\n", sink.error().empty() ? "conversion failed" : sink.error().c_str());
      return kExitError;
    }
    if (r.consumed == 0) {
      std::fprintf(err, "gvtool: %s: cannot read on at byte %lld\n", inPath.c_str(), static_cast<long long>(offset));
      return kExitError;
    }
    input.Consume(r.consumed);
    offset += r.consumed;
    if (final && r.consumed == have) break;
  }
  if (!sink.Commit()) {
    std::fprintf(err, "gvtool: %s\n", sink.error().c_str());
    return kExitError;
  }
  if (firstLossyRead >= 0 || writer.firstLossyLine() >= 0) {
    if (firstLossyRead >= 0)
      std::fprintf(err, "gvtool: %s: line %lld: characters without a Shift-JIS equivalent were replaced by \"?\"\n",
                   inPath.c_str(), static_cast<long long>(firstLossyRead + 1));
    if (writer.firstLossyLine() >= 0)
      std::fprintf(err, "gvtool: %s: line %lld: characters without an equivalent in %s were replaced by \"?\"\n",
                   inPath.c_str(), static_cast<long long>(writer.firstLossyLine() + 1), to->name);
    return kExitLossy;
  }
  return kExitOk;
}

}  // namespace

bool LookUpForm(const std::string& name, int* code, bool* bom) {
  const Form* f = FindForm(name);
  if (f == nullptr) return false;
  *code = f->code;
  *bom = f->bom;
  return true;
}

int RunGvtool(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  if (args.empty()) {
    std::fputs(kUsage, err);
    return kExitError;
  }
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "detect") return Detect(rest, in, out, err);
  if (args[0] == "convert") return Convert(rest, in, out, err);
  if (args[0] == "load") return LoadCommand(rest, in, out, err);
  if (args[0] == "roundtrip") return RoundtripCommand(rest, in, out, err);
  if (args[0] == "edit") return EditCommand(rest, in, out, err);
  if (args[0] == "grep") return GrepCommand(rest, in, out, err);
  if (args[0] == "ipc") return IpcCommand(rest, out, err);
  std::fprintf(err, "gvtool: unknown command '%s'\n%s", args[0].c_str(), kUsage);
  return kExitError;
}

}  // namespace gorvane::cli
