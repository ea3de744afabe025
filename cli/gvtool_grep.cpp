// gvtool grep: the editor's search over files, line by line. A file is read a
// piece at a time through the reader of its detected code into working lines
// (Shift-JIS, CR LF); each piece of whole lines is searched where it lies, and
// only a line longer than a piece is gathered on its own.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/host.h"
#include "charcode/charcode.h"
#include "companions/qorvetc/search_text.h"
#include "document/caret_moves.h"
#include "document/delimiters.h"
#include "file_io.h"
#include "gvtool_commands.h"
#include "search/finder.h"
#include "search/regex.h"

namespace gorvane::cli {

namespace cc = gorvane::charcode;
namespace qv = gorvane::qorvetc;

namespace {

constexpr const char* kGrepUsage =
    "usage: gvtool grep [-c] [-i] [-w] [--fuzzy] [--wild] [-E] [--] PATTERN FILE...\n";

struct GrepOptions {
  bool count = false, foldCase = false, words = false, fuzzy = false, wild = false, regex = false;
  std::string pattern;  // UTF-8, as given
  std::vector<std::string> files;
};

// false with the usage on err when the arguments are wrong.
bool ParseGrep(const std::vector<std::string>& args, GrepOptions* o, std::FILE* err) {
  bool options = true, havePattern = false;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--fuzzy") {
      o->fuzzy = true;
    } else if (options && a == "--wild") {
      o->wild = true;
    } else if (options && a.size() >= 2 && a[0] == '-' && a[1] != '-') {
      for (std::size_t i = 1; i < a.size(); ++i) {
        switch (a[i]) {
          case 'c': o->count = true; break;
          case 'i': o->foldCase = true; break;
          case 'w': o->words = true; break;
          case 'E': o->regex = true; break;
          default:
            std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kGrepUsage);
            return false;
        }
      }
    } else if (options && a.size() > 2 && a[0] == '-' && a[1] == '-') {
      std::fprintf(err, "gvtool: unknown option '%s'\n%s", a.c_str(), kGrepUsage);
      return false;
    } else if (!havePattern) {
      o->pattern = a;
      havePattern = true;
    } else {
      o->files.push_back(a);
    }
  }
  if (!havePattern || o->files.empty()) {
    std::fputs(kGrepUsage, err);
    return false;
  }
  return true;
}

// The search of one run: how lines are tested, and what is written of those
// that match.
class Grep {
 public:
  Grep(const GrepOptions& o, std::FILE* out) : o_(o), out_(out) {
    std::copy_n(document::DelimiterTable::Default().data(), qv::kDelimiterTableSize, delimiters_->data());
    qv::BuildSearchDelimiters(*delimiters_, "", "");
  }
  ~Grep() { Flush(); }
  Grep(const Grep&) = delete;
  Grep& operator=(const Grep&) = delete;

  // false with a message on err (the pattern cannot be used).
  bool Prepare(const std::string& sjis, std::FILE* err) {
    if (o_.regex) {
      search::RegexError e;
      regex_ = search::Regex::Compile(sjis, !o_.foldCase, &e);
      if (!regex_) {
        std::fprintf(err, "gvtool: %s\n", base::Utf8(e.message).c_str());
        return false;
      }
      matcher_ = std::make_unique<search::LineMatcher>(*regex_, delimiters_->data());
      return true;
    }
    options_ = static_cast<std::uint8_t>((o_.foldCase ? 0 : qv::kSearchCase) |
                                         (o_.words ? qv::kSearchLeftWord | qv::kSearchRightWord : 0) |
                                         (o_.fuzzy ? qv::kSearchFuzzy : 0) | (o_.wild ? qv::kSearchWildcard : 0));
    finder_ = std::make_unique<search::Finder>(sjis, options_, delimiters_->data(), false);
    if (finder_->empty()) {
      std::fprintf(err, "gvtool: the search string is empty\n");
      return false;
    }
    // Plain and whole-word searches go through the pieces at once; a line
    // never holds CR or LF, so a pattern with one matches nothing.
    if (!o_.fuzzy && !o_.wild) {
      bm_ = sjis;
      if (o_.foldCase) qv::StrCnvUpperToLower(bm_);
      never_ = bm_.find_first_of("\r\n") != std::string::npos;
    }
    return true;
  }

  void BeginFile(const std::string& name) {
    name_ = name;
    line_ = 1;
    matches_ = 0;
    pending_.clear();
  }
  std::int64_t matches() const { return matches_; }

  // A reader's output: whole lines, but for a line longer than a piece (in
  // parts without a line end) and the file's last line. final: nothing follows.
  void Piece(std::string_view v, bool final) {
    if (!pending_.empty()) {
      const std::size_t lf = v.find('\n');
      if (lf == std::string_view::npos) {
        pending_.append(v);
        if (final) EndPending();
        return;
      }
      pending_.append(v.substr(0, lf + 1));
      EndPending();
      v.remove_prefix(lf + 1);
    }
    const std::size_t last = v.rfind('\n');
    const std::size_t whole = last == std::string_view::npos ? 0 : last + 1;
    Lines(v.substr(0, whole));
    const std::string_view tail = v.substr(whole);
    if (tail.empty()) return;
    if (final) Lines(tail);
    else pending_.assign(tail);
  }

  void EndFile() {
    if (!pending_.empty()) EndPending();
    if (o_.count) Put(name_ + ":" + std::to_string(matches_) + "\n");
  }

  void Flush() {
    if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), out_);
    buf_.clear();
  }

 private:
  void EndPending() {
    std::string line;
    line.swap(pending_);
    Lines(line);
  }

  void Put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= kOutBlock) Flush();
  }

  // A matching line: counted, and written unless only counts are asked for.
  // at: the line's start in the block; counted moves the line number there.
  void Report(std::string_view block, std::size_t at, std::string_view text, std::size_t* counted) {
    ++matches_;
    if (o_.count) return;
    line_ += std::count(block.begin() + static_cast<std::ptrdiff_t>(*counted), block.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    *counted = at;
    utf8_.resize(3 * text.size() + 4);
    const cc::Converted c = cc::SjisToUtf8(cc::Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                                           cc::MutBytes(utf8_.data(), utf8_.size()), nullptr);
    buf_.append(name_).append(":").append(std::to_string(line_)).append(":");
    buf_.append(reinterpret_cast<const char*>(utf8_.data()), c.written).append("\n");
    if (buf_.size() >= kOutBlock) Flush();
  }

  // Whole lines, each ending in CR LF but perhaps the last.
  void Lines(std::string_view block) {
    if (block.empty()) return;
    std::size_t counted = 0;
    if (!bm_.empty()) {
      if (!never_) Plain(block, &counted);
    } else {
      EachLine(block, &counted);
    }
    if (!o_.count) {
      line_ += std::count(block.begin() + static_cast<std::ptrdiff_t>(counted), block.end(), '\n');
      if (block.back() != '\n') ++line_;
    }
  }

  // The plain search over the whole block: each hit's line, its word edges
  // tested on the line itself, then on after that line.
  void Plain(std::string_view block, std::size_t* counted) {
    std::string_view hay = block;
    if (o_.foldCase) {
      lower_.assign(block);
      qv::StrCnvUpperToLower(lower_);
      hay = lower_;
    }
    const bool words = o_.words;
    std::size_t from = 0;
    while (from < hay.size()) {
      const std::size_t hit = qv::BmStrSearch(bm_, from, hay, true);
      if (hit == qv::kNoHit) return;
      std::size_t start = hit;
      while (start > 0 && block[start - 1] != '\n') --start;
      const void* lf = std::memchr(block.data() + hit, '\n', block.size() - hit);
      const std::size_t end = lf == nullptr ? block.size() : static_cast<std::size_t>(static_cast<const char*>(lf) - block.data()) + 1;
      const std::string_view line = block.substr(start, end - start);
      if (words && !qv::IsWordMatch(line, hit - start, bm_.size(), options_, delimiters_->data())) {
        from = hit + 1;
        continue;
      }
      Report(block, start, document::LineText(line), counted);
      from = end;
    }
  }

  // Every line on its own: fuzzy and wildcard searches, regular expressions.
  void EachLine(std::string_view block, std::size_t* counted) {
    std::size_t at = 0;
    const std::string* literal = matcher_ ? &matcher_->literal() : nullptr;
    const bool skip = literal != nullptr && !literal->empty() && !matcher_->literalFolded();
    while (at < block.size()) {
      if (skip) {
        // On to the line that holds the next occurrence of the literal.
        const std::size_t hit = block.find(*literal, at);
        if (hit == std::string_view::npos) return;
        std::size_t start = hit;
        while (start > at && block[start - 1] != '\n') --start;
        at = start;
      }
      const void* lf = std::memchr(block.data() + at, '\n', block.size() - at);
      const std::size_t end = lf == nullptr ? block.size() : static_cast<std::size_t>(static_cast<const char*>(lf) - block.data()) + 1;
      const std::string_view text = document::LineText(block.substr(at, end - at));
      const bool hit = matcher_ ? matcher_->Matches(text) : finder_->InLine(text, 0).has_value();
      if (hit) Report(block, at, text, counted);
      at = end;
    }
  }

  static constexpr std::size_t kOutBlock = 64 * 1024;

  const GrepOptions& o_;
  std::FILE* out_;
  std::unique_ptr<std::array<std::uint8_t, qv::kDelimiterTableSize>> delimiters_ =
      std::make_unique<std::array<std::uint8_t, qv::kDelimiterTableSize>>();
  std::uint8_t options_ = 0;
  std::unique_ptr<search::Finder> finder_;
  std::unique_ptr<search::Regex> regex_;
  std::unique_ptr<search::LineMatcher> matcher_;
  std::string bm_;      // the plain pattern, lower-cased without case distinction
  bool never_ = false;  // the plain pattern holds CR or LF
  std::string name_, pending_, lower_, buf_;
  std::vector<std::uint8_t> utf8_;
  std::int64_t line_ = 1, matches_ = 0;
};

// 1 searched, 0 failed (reported).
int GrepFile(Grep& grep, const std::string& path, std::FILE* in, std::FILE* err) {
  PieceReader input(path, in, cc::kPieceSize);
  if (!input.ok()) {
    std::fprintf(err, "gvtool: %s: cannot open: %s\n", path.c_str(), std::strerror(errno));
    return 0;
  }
  if (!input.Fill()) {
    std::fprintf(err, "gvtool: %s: read failed\n", path.c_str());
    return 0;
  }
  // Detection on the first piece, as the editor's loader does it.
  std::uint8_t crlf[cc::kCrlfBytesSize];
  int code = cc::JudgmentCode(input.data(), static_cast<int>(input.size()), crlf);
  std::size_t mark = 0;
  if (code < 0) {
    code = -code;
    mark = std::min<std::size_t>(code == cc::kCodeUtf8 ? 3 : 2, input.size());
  }
  if (code == cc::kCodeUnknown) code = cc::kCodeSjis;
  input.Consume(mark);
  grep.BeginFile(path);
  const auto work = std::make_unique_for_overwrite<std::uint8_t[]>(cc::kPieceSize);  // only what a reader wrote is read
  const cc::Reader reader = cc::ReaderFor(code);
  std::int64_t offset = static_cast<std::int64_t>(mark);
  while (true) {
    if (!input.Fill()) {
      std::fprintf(err, "gvtool: %s: read failed\n", path.c_str());
      return 0;
    }
    const bool atEnd = input.atEnd();
    const std::size_t have = input.size();
    if (have == 0) break;
    const cc::PieceResult r =
        cc::ReadPiece(reader, cc::Bytes(input.data(), have), atEnd, cc::MutBytes(work.get(), cc::kPieceSize));
    if (r.consumed == 0) {
      std::fprintf(err, "gvtool: %s: cannot read on at byte %lld\n", path.c_str(), static_cast<long long>(offset));
      return 0;
    }
    const bool final = atEnd && r.consumed == have;
    grep.Piece(std::string_view(reinterpret_cast<const char*>(work.get()), r.outBytes), final);
    input.Consume(r.consumed);
    offset += r.consumed;
    if (final) break;
  }
  grep.EndFile();
  return 1;
}

}  // namespace

int GrepCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err) {
  GrepOptions o;
  if (!ParseGrep(args, &o, err)) return kExitError;
  std::string sjis;
  if (!SjisOfUtf8(o.pattern, &sjis)) {
    std::fprintf(err, "gvtool: the pattern '%s' cannot be written in Shift-JIS\n", o.pattern.c_str());
    return kExitError;
  }
  Grep grep(o, out);
  if (!grep.Prepare(sjis, err)) return kExitError;
  bool failed = false, found = false;
  for (const std::string& path : o.files) {
    if (GrepFile(grep, path, in, err) == 0) {
      failed = true;
      continue;
    }
    found = found || grep.matches() != 0;
  }
  grep.Flush();
  return failed ? kExitError : found ? kExitOk : kExitNoMatch;
}

}  // namespace gorvane::cli
