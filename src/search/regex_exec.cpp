// Running a compiled pattern over lines. For each line the search first asks
// the cheap questions (does it hold the required literal? can the lazy DFA
// reach a match in it?) and runs the Pike VM, which gives positions and
// groups, only on lines that may hold a match. The Pike VM runs on across
// line ends while threads wait for the next line (a pattern with \n), so every
// byte is looked at a bounded number of times: the time is linear in the text.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "base/host.h"
#include "charcode/class_tables.h"
#include "charcode/cp932_tables.h"
#include "document/caret_moves.h"
#include "search/regex.h"
#include "search/regex_program.h"
#include "search/word_edge.h"

namespace gorvane::search {

namespace {

using charcode::cp932::IsTrail;

constexpr int kLineShift = 32;  // a position is line << 32 | column
std::int64_t Pos(std::int32_t line, std::size_t col) {
  return (static_cast<std::int64_t>(line) << kLineShift) | static_cast<std::int64_t>(col);
}
TextPoint PointOf(std::int64_t pos) {
  return {document::LineNo(static_cast<std::int32_t>(pos >> kLineShift)),
          static_cast<std::int32_t>(pos & ((std::int64_t(1) << kLineShift) - 1))};
}

// Where the machine stands, for the empty-width tests.
struct Place {
  std::string_view line;  // the line's bytes with its line end
  std::size_t textLen;    // without the line end
  std::size_t pos;
  std::size_t prevStart;  // where the character before pos begins (pos inside the text, pos > 0)
  const std::uint8_t* delimiters;
};

bool Holds(std::uint8_t assertion, const Place& at) {
  switch (assertion) {
    case kLineStart: return at.pos == 0;
    case kLineEnd: return at.pos == at.textLen;
    case kWordEdge: return at.pos <= at.textLen && WordEdge(at.line.substr(0, at.textLen), at.prevStart, at.pos, at.delimiters);
    case kNotWordEdge:
      return at.pos <= at.textLen && !WordEdge(at.line.substr(0, at.textLen), at.prevStart, at.pos, at.delimiters);
    case kNotTrailNext: return at.pos >= at.textLen || !IsTrail(static_cast<std::uint8_t>(at.line[at.pos]));
    default: return false;
  }
}

// Gives up a search when its time is over; the clock is read every few
// thousand steps.
class Deadline {
 public:
  Deadline(const base::Clock* clock, std::int64_t at) : clock_(clock), at_(at) {}
  // False once the time is over.
  bool Step(std::int64_t work) {
    if (clock_ == nullptr) return true;
    budget_ -= work;
    if (budget_ > 0) return true;
    budget_ = 4096;
    over_ = over_ || clock_->NowMs() >= at_;
    return !over_;
  }
  bool over() const { return over_; }

 private:
  const base::Clock* clock_;
  std::int64_t at_;
  std::int64_t budget_ = 0;
  bool over_ = false;
};

// The Pike VM: threads in priority order, each with its capture slots; one
// thread per instruction and position, so its work is bounded by the program
// size for each byte.
class Pike {
 public:
  Pike(const Program& prog, const std::uint8_t* delimiters, Deadline& deadline, RegexStats& stats)
      : prog_(prog),
        slots_(2 * (prog.groups + 1)),
        delimiters_(delimiters),
        deadline_(deadline),
        stats_(stats),
        mark_(prog.insts.size(), 0),
        pendingMark_(prog.insts.size(), 0),
        cur_(static_cast<std::size_t>(slots_)),
        stack_(prog.insts.size() + 2) {}

  bool matched() const { return matched_; }
  bool pending() const { return !pendingPcs_.empty(); }
  const std::vector<std::int64_t>& best() const { return best_; }
  bool gaveUp() const { return deadline_.over(); }
  // Ready for a new search: no match, no threads waiting.
  void Reset() {
    matched_ = false;
    pendingPcs_.clear();
    pendingCaps_.clear();
    noEmptyAt_ = -1;
  }

  // Runs over one line: from byte `from` (threads that wait from the line
  // before go first), with new threads started at each character boundary
  // of its text when mayStart and no match is found yet. When the line ends
  // in a line end and more follows (final false), the threads that are left
  // wait for the next line; otherwise the run ends at the line's end.
  // noEmptyAt: the position where an empty match is refused, or -1.
  void RunLine(std::int32_t lineNo, std::string_view line, std::size_t from, bool mayStart, bool final,
               std::int64_t noEmptyAt) {
    ++stats_.pikeLines;
    const std::size_t textLen = document::LineText(line).size();
    // Character boundaries up to from.
    std::size_t next = 0, prevStart = 0;
    while (next < from && next < textLen) {
      prevStart = next;
      next += charcode::SjisCharBytes(line, next, textLen);
    }
    noEmptyAt_ = noEmptyAt;
    std::size_t p = from;
    for (;; ++p) {
      if (gaveUp()) return;
      const bool boundary = p == next && p <= textLen;
      std::size_t before = prevStart;
      if (boundary && p < textLen) {
        prevStart = p;
        next = p + charcode::SjisCharBytes(line, p, textLen);
      }
      if (p == line.size() && line.size() > textLen && !final) return;  // the threads wait for the next line
      Place at{line, textLen, p, before, delimiters_};
      if (p == line.size() && line.size() > textLen) at = Place{{}, 0, 0, 0, delimiters_};  // after the scope's last line end
      const std::int64_t here = Pos(lineNo, p);
      const int nextByte = p < line.size() ? static_cast<std::uint8_t>(line[p]) : -1;
      Begin();
      for (std::size_t t = 0; t < pendingPcs_.size(); ++t)
        Closure(pendingPcs_[t], &pendingCaps_[t * slots_], at, here, nextByte);
      if (mayStart && boundary && !matched_) {
        std::fill(fresh_.begin(), fresh_.end(), -1);
        fresh_.resize(static_cast<std::size_t>(slots_), -1);
        Closure(prog_.start, fresh_.data(), at, here, nextByte);
      }
      pendingPcs_.clear();
      pendingCaps_.clear();
      // Nothing runs and nothing can start on this line any more.
      if (runPcs_.empty() && (matched_ || p >= textLen || !mayStart)) return;
      const bool atEnd = p >= line.size();
      const int b = atEnd ? -1 : static_cast<std::uint8_t>(line[p]);
      stats_.pikeSteps += static_cast<std::int64_t>(runPcs_.size());
      if (!deadline_.Step(static_cast<std::int64_t>(runPcs_.size()))) return;
      for (std::size_t t = 0; t < runPcs_.size(); ++t) {
        const Inst& in = prog_.insts[static_cast<std::size_t>(runPcs_[t])];
        const std::int64_t* caps = &runCaps_[t * slots_];
        if (in.op == Op::kMatch) {
          if (noEmptyAt_ >= 0 && caps[0] == noEmptyAt_ && caps[1] == noEmptyAt_) continue;
          matched_ = true;
          best_.assign(caps, caps + slots_);
          break;  // the threads after it come later in priority
        }
        if (b >= 0 && prog_.sets[static_cast<std::size_t>(in.y)].Has(static_cast<std::uint8_t>(b))) {
          if (pendingMark_[static_cast<std::size_t>(in.x)] == pendingGen_) continue;
          pendingMark_[static_cast<std::size_t>(in.x)] = pendingGen_;
          pendingPcs_.push_back(in.x);
          pendingCaps_.insert(pendingCaps_.end(), caps, caps + slots_);
        }
      }
      ++pendingGen_;
      if (atEnd) {
        pendingPcs_.clear();
        pendingCaps_.clear();
        return;
      }
    }
  }

 private:
  void Begin() {
    ++gen_;
    runPcs_.clear();
    runCaps_.clear();
  }

  // Follows the empty steps from pc in priority order, adding the threads
  // that match or take the next byte to the run list (the others would die).
  void Closure(std::int32_t pc0, const std::int64_t* caps0, const Place& at, std::int64_t here, int nextByte) {
    std::int64_t* cur = cur_.data();
    std::copy(caps0, caps0 + slots_, cur);
    // Each instruction is entered once a position and pushes at most one
    // frame, so the stack never outgrows the program.
    Frame* stack = stack_.data();
    std::size_t top = 0;
    stack[top++] = {pc0, -1, 0};
    const Inst* insts = prog_.insts.data();
    std::uint32_t* mark = mark_.data();
    const std::uint32_t gen = gen_;
    while (top != 0) {
      const Frame f = stack[--top];
      if (f.slot >= 0) {
        cur[f.slot] = f.old;
        continue;
      }
      std::int32_t pc = f.pc;
      // Follow the first way in place; only the second ways are pushed.
      while (mark[pc] != gen) {
        mark[pc] = gen;
        const Inst& in = insts[pc];
        if (in.op == Op::kJump) {
          pc = in.x;
        } else if (in.op == Op::kSplit) {
          if (mark[in.y] != gen) stack[top++] = {in.y, -1, 0};
          pc = in.x;
        } else if (in.op == Op::kSave) {
          if (in.arg < slots_) {
            stack[top++] = {0, in.arg, cur[in.arg]};
            cur[in.arg] = here;
          }
          pc = in.x;
        } else if (in.op == Op::kAssert) {
          if (!Holds(in.arg, at)) break;
          pc = in.x;
        } else {
          if (in.op == Op::kBytes &&
              (nextByte < 0 || !prog_.sets[static_cast<std::size_t>(in.y)].Has(static_cast<std::uint8_t>(nextByte))))
            break;
          runPcs_.push_back(pc);
          runCaps_.insert(runCaps_.end(), cur, cur + slots_);
          break;
        }
      }
    }
  }

  struct Frame {
    std::int32_t pc;
    int slot;  // >= 0: put old back into this slot
    std::int64_t old;
  };

  const Program& prog_;
  const int slots_;
  const std::uint8_t* delimiters_;
  Deadline& deadline_;
  RegexStats& stats_;
  std::vector<std::uint32_t> mark_;
  std::uint32_t gen_ = 0;
  std::vector<std::uint32_t> pendingMark_;
  std::uint32_t pendingGen_ = 1;
  std::vector<std::int32_t> runPcs_, pendingPcs_;
  std::vector<std::int64_t> runCaps_, pendingCaps_, cur_, fresh_, best_;
  std::vector<Frame> stack_;
  std::int64_t noEmptyAt_ = -1;
  bool matched_ = false;
};

// The lazy DFA: states are sets of instructions, made as the text needs them
// and kept with their transitions over classes of bytes that the program does
// not tell apart. It answers for one line whether a match may begin in it; the
// word tests count as passed, so it may say yes where the Pike VM finds
// nothing, never the other way round.
class Dfa {
 public:
  enum Verdict { kNo, kYes, kMaybe, kUnknown };

  explicit Dfa(const Program& prog, RegexStats& stats) : prog_(prog), stats_(stats), mark_(prog.insts.size(), 0) {
    // Byte classes: bytes that every set, CR, LF and the trail test treat alike.
    std::vector<std::pair<std::vector<std::uint8_t>, int>> sigs;
    std::unordered_map<std::string, int> seen;
    for (int b = 0; b < 256; ++b) {
      std::string sig;
      const auto u = static_cast<std::uint8_t>(b);
      sig += static_cast<char>((b == '\r') | (b == '\n') << 1 | IsTrail(u) << 2);
      for (std::size_t s = 0; s < prog.sets.size(); s += 8) {
        char bits = 0;
        for (std::size_t k = s; k < std::min(prog.sets.size(), s + 8); ++k)
          bits = static_cast<char>(bits | prog.sets[k].Has(u) << (k - s));
        sig += bits;
      }
      auto [it, added] = seen.emplace(sig, static_cast<int>(seen.size()));
      class_[static_cast<std::size_t>(b)] = static_cast<std::uint16_t>(it->second);
      if (added) representative_.push_back(u);
    }
    classes_ = static_cast<int>(representative_.size());
    Reset();
  }

  // Whether a match may begin in the line at or after byte from: kYes, kNo,
  // kMaybe (threads are left at the line end: the Pike VM must go on into
  // the next line), kUnknown (the cache was full: ask the Pike VM).
  Verdict Scan(std::string_view line, std::size_t from) {
    const std::size_t textLen = document::LineText(line).size();
    // The table holds the next state's row (state * classes), or a negative
    // mark: not made yet, a match, no thread left.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.data());
    int row = Start(from == 0) * classes_;  // may add a state: the table after it
    const int* table = trans_.data();
    for (std::size_t i = from; i < line.size(); ++i) {
      int t = table[row + class_[bytes[i]]];
      if (t < 0) {
        if (t == kUnset) {
          t = Step(row / classes_, bytes[i]);
          if (t == kFull) return kUnknown;
          table = trans_.data();
        }
        if (t == kMatchFound) return kYes;
        if (t == kDeadRow) return kNo;
      }
      row = t;
    }
    if (line.size() == textLen) return EndMatches(row / classes_) ? kYes : kNo;
    return kMaybe;
  }

 private:
  static constexpr int kDead = 0, kUnset = -1, kMatchFound = -2, kFull = -3, kDeadRow = -4;
  static constexpr std::size_t kMaxStates = 4096;

  struct State {
    std::vector<std::int32_t> pcs;
    bool lineStart;
  };

  void Reset() {
    states_.clear();
    index_.clear();
    trans_.clear();
    ends_.clear();
    starts_[0] = starts_[1] = -1;
    Intern({}, false);  // kDead
  }

  int Intern(std::vector<std::int32_t> pcs, bool lineStart) {
    std::string key(reinterpret_cast<const char*>(pcs.data()), pcs.size() * sizeof(std::int32_t));
    key += lineStart ? '1' : '0';
    if (pcs.empty()) key = "dead";
    auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    if (states_.size() >= kMaxStates) return kFull;
    states_.push_back({std::move(pcs), lineStart});
    trans_.resize(states_.size() * static_cast<std::size_t>(classes_), kUnset);
    ends_.push_back(-1);
    ++stats_.dfaStates;
    const int id = static_cast<int>(states_.size() - 1);
    index_.emplace(std::move(key), id);
    return id;
  }

  int Start(bool lineStart) {
    int& s = starts_[lineStart ? 1 : 0];
    if (s < 0) s = Intern({prog_.unanchored}, lineStart);
    return s;
  }

  // The empty steps from a state before a byte (next: -1 at the end of the
  // text): whether a match is reached, and the instructions that take `next`.
  bool Closure(int state, int next, std::vector<std::int32_t>* out) {
    ++gen_;
    const State& st = states_[static_cast<std::size_t>(state)];
    stack_.assign(st.pcs.begin(), st.pcs.end());
    bool match = false;
    while (!stack_.empty()) {
      const auto pc = static_cast<std::size_t>(stack_.back());
      stack_.pop_back();
      if (mark_[pc] == gen_) continue;
      mark_[pc] = gen_;
      const Inst& in = prog_.insts[pc];
      switch (in.op) {
        case Op::kJump:
        case Op::kSave: stack_.push_back(in.x); break;
        case Op::kSplit:
          stack_.push_back(in.y);
          stack_.push_back(in.x);
          break;
        case Op::kAssert: {
          bool holds = true;
          if (in.arg == kLineStart) holds = st.lineStart;
          if (in.arg == kLineEnd) holds = next < 0 || next == '\r' || next == '\n';  // a line end may be a lone LF
          if (in.arg == kNotTrailNext) holds = next < 0 || !IsTrail(static_cast<std::uint8_t>(next));
          if (holds) stack_.push_back(in.x);
          break;
        }
        case Op::kMatch: match = true; break;
        case Op::kBytes:
          if (next >= 0 && prog_.sets[static_cast<std::size_t>(in.y)].Has(static_cast<std::uint8_t>(next)))
            out->push_back(in.x);
          break;
      }
    }
    return match;
  }

  int Step(int s, std::uint8_t b) {
    std::vector<std::int32_t> next;
    int t;
    if (Closure(s, b, &next)) {
      t = kMatchFound;
    } else {
      std::sort(next.begin(), next.end());
      next.erase(std::unique(next.begin(), next.end()), next.end());
      t = Intern(std::move(next), b == '\n');
      if (t == kFull) {
        Reset();
        return kFull;
      }
      t = t == kDead ? kDeadRow : t * classes_;
    }
    trans_[static_cast<std::size_t>(s) * static_cast<std::size_t>(classes_) + class_[b]] = t;
    return t;
  }

  bool EndMatches(int s) {
    if (ends_[static_cast<std::size_t>(s)] < 0) {
      std::vector<std::int32_t> none;
      ends_[static_cast<std::size_t>(s)] = Closure(s, -1, &none) ? 1 : 0;
    }
    return ends_[static_cast<std::size_t>(s)] == 1;
  }

  const Program& prog_;
  RegexStats& stats_;
  std::array<std::uint16_t, 256> class_{};
  std::vector<std::uint8_t> representative_;
  int classes_ = 0;
  std::vector<State> states_;
  std::unordered_map<std::string, int> index_;
  std::vector<int> trans_;
  std::vector<int> ends_;
  int starts_[2] = {-1, -1};
  std::vector<std::uint32_t> mark_;
  std::uint32_t gen_ = 0;
  std::vector<std::int32_t> stack_;
};

// Whether the text holds the literal (ASCII letters folded when asked).
bool HoldsLiteral(std::string_view text, const std::string& literal, bool folded) {
  if (!folded) return text.find(literal) != std::string_view::npos;
  const std::size_t n = literal.size();
  if (text.size() < n) return false;
  const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  const char first = literal[0];
  for (std::size_t i = 0; i + n <= text.size(); ++i) {
    if (fold(text[i]) != first) continue;
    std::size_t k = 1;
    while (k < n && fold(text[i + k]) == literal[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

// Lines of one text cut after each CR LF.
class TextAsLines final : public document::LineSource {
 public:
  explicit TextAsLines(std::string_view text) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string_view::npos) break;
      lines_.emplace_back(text.substr(start, end + 2 - start));
      start = end + 2;
    }
    lines_.emplace_back(text.substr(start));
  }
  std::int32_t LineCount() override { return static_cast<std::int32_t>(lines_.size()); }
  std::string Line(document::LineNo line) override {
    if (line.value < 1 || line.value > LineCount()) return {};
    return lines_[static_cast<std::size_t>(line.value - 1)];
  }

 private:
  std::vector<std::string> lines_;
};

bool Search(const Regex& regex, document::LineSource& lines, const RegexSearch& search, RegexMatch* out,
            RegexError* error, RegexStats* statsOut, bool filters) {
  *out = RegexMatch{};
  *error = RegexError{};
  RegexStats local;
  RegexStats& stats = statsOut != nullptr ? *statsOut : local;
  const Program& prog = regex.program();
  const std::int32_t count = lines.LineCount();
  std::int32_t last = search.last.value;
  if (last <= 0 || last > count) last = count;
  std::int32_t lineNo = std::max(1, search.from.line.value);
  if (lineNo > last) return true;

  Deadline deadline(search.clock, search.deadlineMs);
  Pike pike(prog, search.delimiters, deadline, stats);
  Dfa dfa(prog, stats);
  // Whether a line after the first belongs to the scope; asked once a line.
  std::int32_t askedLine = 0;
  bool askedAnswer = false;
  auto inScope = [&](std::int32_t n) {
    if (n > last) return false;
    if (n == search.from.line.value || !search.endsScopeAt) return true;
    if (askedLine != n) {
      askedLine = n;
      askedAnswer = !search.endsScopeAt(document::LineNo(n));
    }
    return askedAnswer;
  };

  std::int64_t noEmptyAt = -1;
  std::string line;
  for (; inScope(lineNo); ++lineNo) {
    if ((lineNo & 255) == 0 && !deadline.Step(4096)) break;
    line = lines.Line(document::LineNo(lineNo));
    ++stats.linesRead;
    std::size_t from = 0;
    if (lineNo == search.from.line.value) {
      const std::size_t textLen = document::LineText(line).size();
      from = static_cast<std::size_t>(std::clamp<std::int32_t>(search.from.col, 0, static_cast<std::int32_t>(textLen)));
      // On a character boundary: the first one at or after from.
      std::size_t b = 0;
      while (b < from) b += charcode::SjisCharBytes(line, b, textLen);
      from = b;
      if (!search.startInclusive) noEmptyAt = Pos(lineNo, from);
    }
    if (!pike.pending() && filters) {
      const std::string_view rest = std::string_view(line).substr(from);
      if (!prog.literal.empty() && !HoldsLiteral(rest, prog.literal, prog.literalFolded)) {
        ++stats.prefilterSkips;
        continue;
      }
      // The DFA takes a line's text to hold no CR or LF (the line store's
      // lines never do); for a line that does, the Pike VM decides.
      const Dfa::Verdict v = dfa.Scan(line, from);
      const std::string_view text = document::LineText(line);
      if (v == Dfa::kNo && std::memchr(text.data(), '\n', text.size()) == nullptr &&
          std::memchr(text.data(), '\r', text.size()) == nullptr) {
        ++stats.dfaSkips;
        continue;
      }
    }
    const bool final = !(lineNo < count && inScope(lineNo + 1));
    pike.RunLine(lineNo, line, from, !pike.matched(), final, noEmptyAt);
    if (pike.gaveUp()) break;
    if (pike.matched() && !pike.pending()) break;
  }
  if (deadline.over()) {
    error->kind = kRegexTimeout;
    error->message = base::Sjis(u8"正規表現検索タイムアウトエラー");
    return false;
  }
  if (!pike.matched()) return true;
  const std::vector<std::int64_t>& caps = pike.best();
  out->found = true;
  out->start = PointOf(caps[0]);
  out->end = PointOf(caps[1]);
  for (int g = 0; g <= prog.groups; ++g) {
    const std::int64_t a = caps[static_cast<std::size_t>(2 * g)], b = caps[static_cast<std::size_t>(2 * g + 1)];
    if (a < 0 || b < 0) continue;
    out->groups[static_cast<std::size_t>(g)] = Capture{true, PointOf(a), PointOf(b)};
  }
  return true;
}

}  // namespace

struct LineMatcher::State {
  State(const Program& program, const std::uint8_t* delimiters)
      : prog(program), pike(program, delimiters, deadline, stats), dfa(program, stats) {
    for (const Inst& in : program.insts)
      if (in.op == Op::kAssert && (in.arg == kWordEdge || in.arg == kNotWordEdge)) wordTests = true;
  }
  const Program& prog;
  RegexStats stats;
  Deadline deadline{nullptr, 0};
  Pike pike;
  Dfa dfa;
  bool wordTests = false;  // the DFA passes word tests: its yes needs the Pike VM's word
};

LineMatcher::LineMatcher(const Regex& regex, const std::uint8_t* delimiters)
    : s_(std::make_unique<State>(regex.program(), delimiters)) {}
LineMatcher::~LineMatcher() = default;

const std::string& LineMatcher::literal() const { return s_->prog.literal; }
bool LineMatcher::literalFolded() const { return s_->prog.literalFolded; }

bool LineMatcher::Matches(std::string_view text) {
  State& s = *s_;
  if (!s.prog.literal.empty() && !HoldsLiteral(text, s.prog.literal, s.prog.literalFolded)) return false;
  // The DFA is exact on a text without CR or LF but for the word tests.
  const bool plain = std::memchr(text.data(), '\n', text.size()) == nullptr &&
                     std::memchr(text.data(), '\r', text.size()) == nullptr;
  if (plain) {
    const Dfa::Verdict v = s.dfa.Scan(text, 0);
    if (v == Dfa::kNo) return false;
    if (v == Dfa::kYes && !s.wordTests) return true;
  }
  s.pike.Reset();
  s.pike.RunLine(1, text, 0, true, true, -1);
  return s.pike.matched();
}

bool SearchLines(const Regex& regex, document::LineSource& lines, const RegexSearch& search, RegexMatch* out,
                 RegexError* error) {
  return Search(regex, lines, search, out, error, nullptr, true);
}

bool SearchLines(const Regex& regex, document::LineSource& lines, const RegexSearch& search, RegexMatch* out,
                 RegexError* error, RegexStats* stats) {
  return Search(regex, lines, search, out, error, stats, true);
}

bool SearchText(const Regex& regex, std::string_view text, std::int32_t from, bool startInclusive, RegexMatch* out,
                RegexError* error, bool pikeOnly, RegexStats* stats) {
  TextAsLines lines(text);
  RegexSearch search;
  search.from = {document::LineNo(1), from};
  search.startInclusive = startInclusive;
  return Search(regex, lines, search, out, error, stats, !pikeOnly);
}

}  // namespace gorvane::search
