// The parser (pattern -> tree of nodes) and the compiler (tree -> byte
// program). Both walk the tree with the nesting bounded by kMaxNesting.
#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "base/host.h"
#include "charcode/class_tables.h"
#include "charcode/cp932_tables.h"
#include "search/regex.h"
#include "search/regex_program.h"

namespace gorvane::search {

namespace {

using charcode::cp932::IsLead;
using charcode::cp932::IsTrail;

// The texts of the pattern's errors, each with the place it was found.
enum class Fault {
  kMissingParen, kUnmatchedParen, kUnclosedClass, kBadRange, kNothingToRepeat,
  kRepeatRepeat, kCountTooLarge, kCountOrder, kBackReference, kLookAround, kGroupForm, kUnknownEscape,
  kTrailingBackslash, kLineEndByte, kLineBreakInClass, kTooDeep, kTooLarge,
};

std::string FaultText(Fault f) {
  switch (f) {
    case Fault::kMissingParen: return base::Sjis(u8"「)」がありません");
    case Fault::kUnmatchedParen: return base::Sjis(u8"対応する「(」がない「)」があります");
    case Fault::kUnclosedClass: return base::Sjis(u8"文字クラスを閉じる「]」がありません");
    case Fault::kBadRange: return base::Sjis(u8"文字クラスの範囲の指定が正しくありません");
    case Fault::kNothingToRepeat: return base::Sjis(u8"繰り返す対象がありません");
    case Fault::kRepeatRepeat: return base::Sjis(u8"繰り返しの指定が重なっています");
    case Fault::kCountTooLarge: return base::Sjis(u8"繰り返し回数が大きすぎます (1000 まで)");
    case Fault::kCountOrder: return base::Sjis(u8"繰り返し回数の最小が最大より大きくなっています");
    case Fault::kBackReference: return base::Sjis(u8"後方参照は使えません");
    case Fault::kLookAround: return base::Sjis(u8"先読み・後読みは使えません");
    case Fault::kGroupForm: return base::Sjis(u8"使えない「(?」の形です");
    case Fault::kUnknownEscape: return base::Sjis(u8"使えないエスケープです");
    case Fault::kTrailingBackslash: return base::Sjis(u8"末尾の「\\」の後に文字がありません");
    case Fault::kLineEndByte: return base::Sjis(u8"改行は \\n と書いてください");
    case Fault::kLineBreakInClass: return base::Sjis(u8"文字クラスの中に \\n は書けません");
    case Fault::kTooDeep: return base::Sjis(u8"括弧の入れ子が深すぎます");
    case Fault::kTooLarge: return base::Sjis(u8"正規表現が大きすぎます");
  }
  return {};
}

// A set of characters: single bytes (a lead byte here is a lead byte that
// stands alone, not followed by a trail byte) and double-byte codes.
struct CharSet {
  ByteSet singles;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> doubles;  // inclusive ranges of lead * 256 + trail

  void AddDouble(std::uint16_t lo, std::uint16_t hi) { doubles.emplace_back(lo, hi); }
  void Normalise() {
    std::sort(doubles.begin(), doubles.end());
    std::vector<std::pair<std::uint16_t, std::uint16_t>> merged;
    for (const auto& r : doubles) {
      if (!merged.empty() && r.first <= merged.back().second + 1)
        merged.back().second = std::max(merged.back().second, r.second);
      else
        merged.push_back(r);
    }
    doubles = std::move(merged);
  }
  bool Empty() const {
    return doubles.empty() && std::all_of(singles.bits.begin(), singles.bits.end(), [](auto w) { return w == 0; });
  }
};

// Every character but the line ends.
CharSet Universe() {
  CharSet s;
  s.singles.AddRange(0, 255);
  s.singles.bits[0] &= ~((std::uint64_t(1) << '\r') | (std::uint64_t(1) << '\n'));
  s.AddDouble(0x8140, 0xFCFC);
  return s;
}

// The set's complement within Universe() (double-byte codes with an invalid
// trail byte count as nothing, so the complement need not be exact there).
CharSet Complement(CharSet s) {
  s.Normalise();
  CharSet out = Universe();
  for (int w = 0; w < 4; ++w) out.singles.bits[static_cast<std::size_t>(w)] &= ~s.singles.bits[static_cast<std::size_t>(w)];
  out.doubles.clear();
  std::uint32_t next = 0x8140;
  for (const auto& r : s.doubles) {
    if (r.first > next) out.AddDouble(static_cast<std::uint16_t>(next), static_cast<std::uint16_t>(r.first - 1));
    next = std::max<std::uint32_t>(next, r.second + 1u);
  }
  if (next <= 0xFCFC) out.AddDouble(static_cast<std::uint16_t>(next), 0xFCFC);
  return out;
}

void FoldCase(CharSet& s) {
  for (int c = 'A'; c <= 'Z'; ++c) {
    const auto u = static_cast<std::uint8_t>(c), l = static_cast<std::uint8_t>(c + 32);
    if (s.singles.Has(u) || s.singles.Has(l)) {
      s.singles.Add(u);
      s.singles.Add(l);
    }
  }
}

enum class Kind : std::uint8_t { kEmpty, kSet, kConcat, kAlt, kRepeat, kGroup, kAssert, kLineBreak };

struct Node {
  Kind kind = Kind::kEmpty;
  int set = -1;          // kSet: index into sets
  int min = 0, max = 0;  // kRepeat: max -1 = no bound
  bool greedy = true;
  int capture = -1;      // kGroup: the group number, -1 none
  Assertion assertion = kLineStart;
  std::vector<int> kids;
};

class Parser {
 public:
  Parser(std::string_view p, bool distinguishCase) : p_(p), fold_(!distinguishCase) {}

  bool Parse(int* root, RegexError* error) {
    const int r = Alternation(0);
    if (failed_) {
      *error = error_;
      return false;
    }
    if (i_ < p_.size()) {  // only a ")" stops the top level early
      Fail(Fault::kUnmatchedParen, i_);
      *error = error_;
      return false;
    }
    *root = r;
    return true;
  }

  std::vector<Node> nodes;
  std::vector<CharSet> sets;
  int captures = 0;

 private:
  int Add(Node n) {
    nodes.push_back(std::move(n));
    return static_cast<int>(nodes.size() - 1);
  }
  int AddSet(CharSet s) {
    if (fold_) FoldCase(s);
    s.Normalise();
    sets.push_back(std::move(s));
    Node n;
    n.kind = Kind::kSet;
    n.set = static_cast<int>(sets.size() - 1);
    return Add(std::move(n));
  }
  void Fail(Fault f, std::size_t at) {
    if (failed_) return;
    failed_ = true;
    int chars = 1;
    for (std::size_t k = 0; k < at && k < p_.size(); k += charcode::SjisCharBytes(p_, k, p_.size())) ++chars;
    error_.kind = kRegexSyntax;
    error_.position = chars;
    char head[48];
    std::snprintf(head, sizeof head, " (%d ", chars);
    error_.message = base::Sjis(u8"正規表現の誤り") + head + base::Sjis(u8"文字目): ") + FaultText(f);
  }
  std::uint8_t Byte(std::size_t k) const { return static_cast<std::uint8_t>(p_[k]); }
  std::size_t CharLen(std::size_t k) const { return charcode::SjisCharBytes(p_, k, p_.size()); }

  int Alternation(int depth) {
    std::vector<int> alts{Concatenation(depth)};
    while (!failed_ && i_ < p_.size() && p_[i_] == '|') {
      ++i_;
      alts.push_back(Concatenation(depth));
    }
    if (alts.size() == 1) return alts[0];
    Node n;
    n.kind = Kind::kAlt;
    n.kids = std::move(alts);
    return Add(std::move(n));
  }

  int Concatenation(int depth) {
    Node n;
    n.kind = Kind::kConcat;
    while (!failed_ && i_ < p_.size() && p_[i_] != '|' && p_[i_] != ')') {
      const int atom = Repetition(depth);
      if (atom >= 0) n.kids.push_back(atom);
    }
    if (n.kids.size() == 1) return n.kids[0];
    return Add(std::move(n));
  }

  // Reads {n}, {n,} or {n,m} at i_; false (nothing read) when it is not one.
  bool Count(int* min, int* max) {
    std::size_t k = i_ + 1;
    auto number = [&](int* v) {
      const std::size_t from = k;
      long value = 0;
      while (k < p_.size() && p_[k] >= '0' && p_[k] <= '9') {
        value = std::min(value * 10 + (p_[k] - '0'), 100000L);
        ++k;
      }
      *v = static_cast<int>(value);
      return k > from;
    };
    if (!number(min)) return false;
    *max = *min;
    if (k < p_.size() && p_[k] == ',') {
      ++k;
      if (!number(max)) *max = -1;
    }
    if (k >= p_.size() || p_[k] != '}') return false;
    if (*min > kMaxCount || *max > kMaxCount) {
      Fail(Fault::kCountTooLarge, i_);
    } else if (*max >= 0 && *min > *max) {
      Fail(Fault::kCountOrder, i_);
    }
    i_ = k + 1;
    return true;
  }

  bool AtQuantifier() {
    if (i_ >= p_.size()) return false;
    const char c = p_[i_];
    if (c == '*' || c == '+' || c == '?') return true;
    if (c != '{') return false;
    const std::size_t keep = i_;
    int a, b;
    const bool failedBefore = failed_;
    const bool is = Count(&a, &b);
    i_ = keep;
    if (!failedBefore) failed_ = false;  // only looking
    return is;
  }

  int Repetition(int depth) {
    const std::size_t at = i_;
    const char c0 = p_[i_];
    if (c0 == '*' || c0 == '+' || c0 == '?' || (c0 == '{' && AtQuantifier())) {
      Fail(Fault::kNothingToRepeat, at);
      return -1;
    }
    int atom = Atom(depth);
    if (failed_ || atom < 0) return -1;
    if (AtQuantifier()) {
      if (nodes[static_cast<std::size_t>(atom)].kind == Kind::kAssert) {
        Fail(Fault::kNothingToRepeat, i_);
        return -1;
      }
      const std::size_t qat = i_;
      Node n;
      n.kind = Kind::kRepeat;
      const char c = p_[i_];
      if (c == '*') {
        n.min = 0, n.max = -1, ++i_;
      } else if (c == '+') {
        n.min = 1, n.max = -1, ++i_;
      } else if (c == '?') {
        n.min = 0, n.max = 1, ++i_;
      } else if (!Count(&n.min, &n.max)) {
        return atom;
      }
      if (failed_) return -1;
      if (i_ < p_.size() && p_[i_] == '?') {
        n.greedy = false;
        ++i_;
      }
      if (AtQuantifier()) {
        Fail(Fault::kRepeatRepeat, i_);
        return -1;
      }
      (void)qat;
      n.kids.push_back(atom);
      atom = Add(std::move(n));
    }
    return atom;
  }

  int Atom(int depth) {
    const std::size_t at = i_;
    const std::uint8_t b = Byte(i_);
    switch (b) {
      case '(': {
        if (depth + 1 > kMaxNesting) {
          Fail(Fault::kTooDeep, at);
          return -1;
        }
        ++i_;
        int capture = -1;
        if (i_ < p_.size() && p_[i_] == '?') {
          const std::string_view rest = p_.substr(i_);
          if (rest.starts_with("?:")) {
            i_ += 2;
          } else if (rest.starts_with("?=") || rest.starts_with("?!") || rest.starts_with("?<=") ||
                     rest.starts_with("?<!")) {
            Fail(Fault::kLookAround, at);
            return -1;
          } else {
            Fail(Fault::kGroupForm, at);
            return -1;
          }
        } else {
          ++captures;
          if (captures < kGroups) capture = captures;
        }
        const int inner = Alternation(depth + 1);
        if (failed_) return -1;
        if (i_ >= p_.size() || p_[i_] != ')') {
          Fail(Fault::kMissingParen, at);
          return -1;
        }
        ++i_;
        Node n;
        n.kind = Kind::kGroup;
        n.capture = capture;
        n.kids.push_back(inner);
        return Add(std::move(n));
      }
      case '.':
        ++i_;
        return AddSet(Universe());
      case '^':
      case '$': {
        ++i_;
        Node n;
        n.kind = Kind::kAssert;
        n.assertion = b == '^' ? kLineStart : kLineEnd;
        return Add(std::move(n));
      }
      case '[':
        return Class();
      case '\\':
        return Escape(depth);
      case '\r':
      case '\n':
        Fail(Fault::kLineEndByte, at);
        return -1;
      default: {
        const std::size_t len = CharLen(i_);
        CharSet s;
        if (len == 2)
          s.AddDouble(static_cast<std::uint16_t>(b * 256 + Byte(i_ + 1)), static_cast<std::uint16_t>(b * 256 + Byte(i_ + 1)));
        else
          s.singles.Add(b);
        i_ += len;
        return AddSet(std::move(s));
      }
    }
  }

  // The class escapes \d \w \s and their negations; false when c is none.
  static bool ClassEscape(char c, CharSet* s) {
    CharSet base;
    switch (c) {
      case 'd': case 'D':
        base.singles.AddRange('0', '9');
        break;
      case 'w': case 'W':
        base.singles.AddRange('0', '9');
        base.singles.AddRange('A', 'Z');
        base.singles.AddRange('a', 'z');
        base.singles.Add('_');
        break;
      case 's': case 'S':
        base.singles.Add(' ');
        base.singles.Add('\t');
        base.singles.Add('\f');
        base.singles.Add('\v');
        break;
      default:
        return false;
    }
    *s = (c >= 'A' && c <= 'Z') ? Complement(base) : base;
    return true;
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // One character written with a backslash at i_ (the backslash included):
  // its code (a byte, or lead * 256 + trail), or -1 after an error. Class
  // escapes, \b, \B, \n and back-references are the callers'.
  int EscapedChar() {
    const std::size_t at = i_;
    ++i_;
    const std::uint8_t c = Byte(i_);
    if (CharLen(i_) == 2) {
      const int code = c * 256 + Byte(i_ + 1);
      i_ += 2;
      return code;
    }
    ++i_;
    switch (c) {
      case 't': return '\t';
      case 'f': return '\f';
      case 'v': return '\v';
      case 'x': {
        if (i_ + 1 < p_.size() && Hex(p_[i_]) >= 0 && Hex(p_[i_ + 1]) >= 0) {
          const int v = Hex(p_[i_]) * 16 + Hex(p_[i_ + 1]);
          i_ += 2;
          if (v == '\r' || v == '\n') {
            Fail(Fault::kLineEndByte, at);
            return -1;
          }
          return v;
        }
        Fail(Fault::kUnknownEscape, at);
        return -1;
      }
      case '\r':
      case '\n':
        Fail(Fault::kLineEndByte, at);
        return -1;
      default:
        if (c < 0x80 && !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return c;
        if (c >= 0x80) return c;  // half-width kana and lone bytes
        Fail(Fault::kUnknownEscape, at);
        return -1;
    }
  }

  static void AddChar(CharSet& s, int code) {
    if (code < 0x100)
      s.singles.Add(static_cast<std::uint8_t>(code));
    else
      s.AddDouble(static_cast<std::uint16_t>(code), static_cast<std::uint16_t>(code));
  }

  int Escape(int /*depth*/) {
    const std::size_t at = i_;
    if (i_ + 1 >= p_.size()) {
      Fail(Fault::kTrailingBackslash, at);
      return -1;
    }
    const char c = p_[i_ + 1];
    CharSet s;
    if (ClassEscape(c, &s)) {
      i_ += 2;
      return AddSet(std::move(s));
    }
    if (c == 'b' || c == 'B') {
      i_ += 2;
      Node n;
      n.kind = Kind::kAssert;
      n.assertion = c == 'b' ? kWordEdge : kNotWordEdge;
      return Add(std::move(n));
    }
    if (c == 'n') {
      i_ += 2;
      Node n;
      n.kind = Kind::kLineBreak;
      return Add(std::move(n));
    }
    if (c >= '0' && c <= '9') {
      Fail(Fault::kBackReference, at);
      return -1;
    }
    const int code = EscapedChar();
    if (code < 0) return -1;
    AddChar(s, code);
    return AddSet(std::move(s));
  }

  // One member of a class at i_ (a character or a class escape): its code, or
  // -2 when it was a class escape added to *s, -1 after an error.
  int ClassMember(CharSet* s) {
    const std::size_t at = i_;
    if (p_[i_] == '\\') {
      if (i_ + 1 >= p_.size()) {
        Fail(Fault::kUnclosedClass, at);
        return -1;
      }
      const char c = p_[i_ + 1];
      CharSet e;
      if (ClassEscape(c, &e)) {
        i_ += 2;
        for (int w = 0; w < 4; ++w) s->singles.bits[static_cast<std::size_t>(w)] |= e.singles.bits[static_cast<std::size_t>(w)];
        s->doubles.insert(s->doubles.end(), e.doubles.begin(), e.doubles.end());
        return -2;
      }
      if (c == 'n') {
        Fail(Fault::kLineBreakInClass, at);
        return -1;
      }
      if (c == 'b') {  // backspace, as in other engines
        i_ += 2;
        return 0x08;
      }
      if (c >= '0' && c <= '9') {
        Fail(Fault::kBackReference, at);
        return -1;
      }
      return EscapedChar();
    }
    const std::uint8_t b = Byte(i_);
    if (b == '\r' || b == '\n') {
      Fail(Fault::kLineEndByte, at);
      return -1;
    }
    const std::size_t len = CharLen(i_);
    const int code = len == 2 ? b * 256 + Byte(i_ + 1) : b;
    i_ += len;
    return code;
  }

  int Class() {
    const std::size_t at = i_;
    ++i_;
    bool negated = false;
    if (i_ < p_.size() && p_[i_] == '^') {
      negated = true;
      ++i_;
    }
    CharSet s;
    bool first = true;
    for (;;) {
      if (i_ >= p_.size()) {
        Fail(Fault::kUnclosedClass, at);
        return -1;
      }
      if (p_[i_] == ']' && !first) {
        ++i_;
        break;
      }
      first = false;
      const std::size_t memberAt = i_;
      const int lo = ClassMember(&s);
      if (lo == -1) return -1;
      if (lo == -2) continue;
      if (i_ + 1 < p_.size() && p_[i_] == '-' && p_[i_ + 1] != ']') {
        ++i_;
        const int hi = ClassMember(&s);
        if (hi == -1) return -1;
        if (hi == -2 || (lo < 0x100) != (hi < 0x100) || hi < lo) {
          Fail(Fault::kBadRange, memberAt);
          return -1;
        }
        if (lo < 0x100)
          s.singles.AddRange(lo, hi);
        else
          s.AddDouble(static_cast<std::uint16_t>(lo), static_cast<std::uint16_t>(hi));
      } else {
        AddChar(s, lo);
      }
    }
    if (fold_) FoldCase(s);  // before negating: [^a] without case is neither a nor A
    if (negated) s = Complement(std::move(s));
    return AddSet(std::move(s));  // an empty class matches nothing
  }

  std::string_view p_;
  bool fold_;
  std::size_t i_ = 0;
  bool failed_ = false;
  RegexError error_;
};

// Tree -> instructions. Each piece is compiled with its exits left open as a
// list of (instruction, which branch) to patch, as in Thompson's construction.
class Compiler {
 public:
  Compiler(const std::vector<Node>& nodes, const std::vector<CharSet>& sets, Program& prog)
      : nodes_(nodes), sets_(sets), prog_(prog) {}

  struct Frag {
    int start = -1;
    std::vector<std::pair<int, bool>> outs;  // (instruction, true: y) to point at what follows
  };

  bool tooLarge = false;

  Frag Compile(int node) {
    const Node& n = nodes_[static_cast<std::size_t>(node)];
    switch (n.kind) {
      case Kind::kEmpty: return Nop();
      case Kind::kSet: return Set(sets_[static_cast<std::size_t>(n.set)]);
      case Kind::kLineBreak: {
        prog_.spansLines = true;
        ByteSet cr, lf;
        cr.Add('\r');
        lf.Add('\n');
        Frag a = Bytes(cr), b = Bytes(lf);
        Patch(a, b.start);
        a.outs = b.outs;
        return a;
      }
      case Kind::kAssert: {
        if (n.assertion == kWordEdge || n.assertion == kNotWordEdge) prog_.hasWordAssertions = true;
        const int i = Emit({Op::kAssert, n.assertion});
        return {i, {{i, false}}};
      }
      case Kind::kGroup: {
        if (n.capture < 0) return Compile(n.kids[0]);
        const int open = Emit({Op::kSave, static_cast<std::uint8_t>(2 * n.capture)});
        Frag inner = Compile(n.kids[0]);
        const int close = Emit({Op::kSave, static_cast<std::uint8_t>(2 * n.capture + 1)});
        At(open).x = inner.start;
        Patch(inner, close);
        return {open, {{close, false}}};
      }
      case Kind::kConcat: {
        if (n.kids.empty()) return Nop();
        Frag f = Compile(n.kids[0]);
        for (std::size_t k = 1; k < n.kids.size() && !tooLarge; ++k) {
          Frag next = Compile(n.kids[k]);
          Patch(f, next.start);
          f.outs = std::move(next.outs);
        }
        return f;
      }
      case Kind::kAlt: {
        std::vector<Frag> alts;
        for (int k : n.kids) alts.push_back(Compile(k));
        return Alternatives(std::move(alts));
      }
      case Kind::kRepeat: return Repeat(n);
    }
    return Nop();
  }

  void Patch(const Frag& f, int to) {
    for (const auto& [i, y] : f.outs) (y ? At(i).y : At(i).x) = to;
  }

  int Emit(Inst inst) {
    if (static_cast<int>(prog_.insts.size()) >= kMaxProgram) {
      tooLarge = true;
      prog_.insts.resize(1);  // keep going cheaply; the result is thrown away
    }
    prog_.insts.push_back(inst);
    return static_cast<int>(prog_.insts.size() - 1);
  }

 private:
  Inst& At(int i) { return prog_.insts[static_cast<std::size_t>(i)]; }

  Frag Nop() {
    const int i = Emit({Op::kJump});
    return {i, {{i, false}}};
  }

  int SetIndex(const ByteSet& b) {
    auto it = setIndex_.find(b.bits);
    if (it != setIndex_.end()) return it->second;
    prog_.sets.push_back(b);
    const int i = static_cast<int>(prog_.sets.size() - 1);
    setIndex_.emplace(b.bits, i);
    return i;
  }

  Frag Bytes(const ByteSet& b) {
    const int i = Emit({Op::kBytes, 0});
    // Sets are numbered beyond 255 too: the index lives in y for the VM.
    At(i).y = SetIndex(b);
    return {i, {{i, false}}};
  }

  Frag Alternatives(std::vector<Frag> alts) {
    if (alts.size() == 1) return alts[0];
    // split(a0, split(a1, ... a_n))
    Frag result;
    Frag tail = std::move(alts.back());
    for (std::size_t k = alts.size() - 1; k-- > 0;) {
      const int s = Emit({Op::kSplit});
      At(s).x = alts[k].start;
      At(s).y = tail.start;
      Frag f{s, std::move(alts[k].outs)};
      f.outs.insert(f.outs.end(), tail.outs.begin(), tail.outs.end());
      tail = std::move(f);
    }
    return tail;
  }

  // A set as byte alternatives: single bytes; lone lead bytes followed by
  // the test that no trail byte follows; lead ranges with the trail bytes
  // they share.
  Frag Set(const CharSet& s) {
    std::vector<Frag> alts;
    ByteSet plain, lone;
    for (int b = 0; b < 256; ++b) {
      if (!s.singles.Has(static_cast<std::uint8_t>(b))) continue;
      (IsLead(static_cast<std::uint8_t>(b)) ? lone : plain).Add(static_cast<std::uint8_t>(b));
    }
    if (!(plain == ByteSet{})) alts.push_back(Bytes(plain));
    // Trail sets by lead byte.
    std::array<ByteSet, 256> trails{};
    for (const auto& [lo, hi] : s.doubles) {
      for (std::uint32_t c = lo; c <= hi;) {
        const std::uint32_t lead = c >> 8;
        const std::uint32_t last = std::min<std::uint32_t>(hi, lead * 256 + 255);
        if (IsLead(static_cast<std::uint8_t>(lead)))
          for (std::uint32_t t = c & 255; t <= (last & 255); ++t)
            if (IsTrail(static_cast<std::uint8_t>(t))) trails[lead].Add(static_cast<std::uint8_t>(t));
        c = last + 1;
      }
    }
    // Leads with equal trail sets share one pair of instructions, in order of
    // their first lead.
    std::vector<std::pair<ByteSet, ByteSet>> groups;  // (leads, trails)
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      const ByteSet& t = trails[static_cast<std::size_t>(lead)];
      if (t == ByteSet{}) continue;
      auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.second == t; });
      if (it == groups.end()) {
        groups.push_back({ByteSet{}, t});
        it = groups.end() - 1;
      }
      it->first.Add(static_cast<std::uint8_t>(lead));
    }
    for (const auto& [leads, ts] : groups) {
      Frag a = Bytes(leads), b = Bytes(ts);
      if (leads == lone) {
        // These leads also stand alone: leads, then a trail byte or none.
        const int t = Emit({Op::kAssert, kNotTrailNext});
        const int either = Emit({Op::kSplit});
        At(either).x = b.start;
        At(either).y = t;
        Patch(a, either);
        a.outs = std::move(b.outs);
        a.outs.push_back({t, false});
        lone = ByteSet{};
      } else {
        Patch(a, b.start);
        a.outs = std::move(b.outs);
      }
      alts.push_back(std::move(a));
    }
    if (!(lone == ByteSet{})) {
      Frag a = Bytes(lone);
      const int t = Emit({Op::kAssert, kNotTrailNext});
      Patch(a, t);
      a.outs = {{t, false}};
      alts.push_back(std::move(a));
    }
    if (alts.empty()) {  // cannot happen for a parsed set; match nothing
      ByteSet none;
      return Bytes(none);
    }
    return Alternatives(std::move(alts));
  }

  // x* as (x+)?: split(L, out) with L: x, split(L, out) (lazy: each split
  // the other way round). Unlike a loop back to one split, an iteration of x
  // that matched nothing leads out of the loop before another try of x, as
  // leftmost-first engines do.
  Frag Star(int kid, bool greedy) {
    const int enter = Emit({Op::kSplit});
    Frag body = Compile(kid);
    const int again = Emit({Op::kSplit});
    Patch(body, again);
    for (int s : {enter, again}) {
      (greedy ? At(s).x : At(s).y) = body.start;
    }
    return {enter, {{enter, greedy}, {again, greedy}}};
  }

  // x? as split(x, out).
  Frag Optional(int kid, bool greedy) {
    const int s = Emit({Op::kSplit});
    Frag body = Compile(kid);
    Frag f;
    f.start = s;
    if (greedy) {
      At(s).x = body.start;
      f.outs = {{s, true}};
    } else {
      At(s).y = body.start;
      f.outs = {{s, false}};
    }
    f.outs.insert(f.outs.end(), body.outs.begin(), body.outs.end());
    return f;
  }

  Frag Repeat(const Node& n) {
    const int kid = n.kids[0];
    std::vector<Frag> parts;
    for (int k = 0; k < n.min && !tooLarge; ++k) parts.push_back(Compile(kid));
    if (n.max < 0) {
      parts.push_back(Star(kid, n.greedy));
    } else if (n.max > n.min) {
      // x{0,k} nested: (x(x(x)?)?)? so that later copies run only after earlier ones.
      std::vector<int> splits;
      Frag first;
      std::vector<std::pair<int, bool>> outs;
      for (int k = n.min; k < n.max && !tooLarge; ++k) {
        const int s = Emit({Op::kSplit});
        Frag body = Compile(kid);
        if (n.greedy) {
          At(s).x = body.start;
          outs.push_back({s, true});
        } else {
          At(s).y = body.start;
          outs.push_back({s, false});
        }
        if (first.start < 0) {
          first.start = s;
        } else {
          Patch(first, s);  // the previous copy's exits lead to this split
        }
        first.outs = std::move(body.outs);
      }
      first.outs.insert(first.outs.end(), outs.begin(), outs.end());
      parts.push_back(std::move(first));
    }
    if (parts.empty()) return Nop();
    Frag f = std::move(parts[0]);
    for (std::size_t k = 1; k < parts.size(); ++k) {
      Patch(f, parts[k].start);
      f.outs = std::move(parts[k].outs);
    }
    return f;
  }

  const std::vector<Node>& nodes_;
  const std::vector<CharSet>& sets_;
  Program& prog_;
  std::map<std::array<std::uint64_t, 4>, int> setIndex_;
};

// The longest run of single characters that every match holds on its first
// line: the top-level sequence's factors up to the first one that may hold a
// line break, groups of one alternative looked into.
void FindLiteral(const std::vector<Node>& nodes, const std::vector<CharSet>& sets, int root, bool fold, Program& prog) {
  std::vector<int> factors;
  // Flatten the top-level sequence.
  std::vector<int> work{root};
  auto flatten = [&](auto&& self, int node, int depth) -> void {
    const Node& n = nodes[static_cast<std::size_t>(node)];
    if (depth < kMaxNesting && n.kind == Kind::kConcat) {
      for (int k : n.kids) self(self, k, depth + 1);
    } else if (depth < kMaxNesting && n.kind == Kind::kGroup) {
      self(self, n.kids[0], depth + 1);
    } else {
      factors.push_back(node);
    }
  };
  flatten(flatten, root, 0);
  std::string best, run;
  auto single = [&](const Node& n, std::string* bytes) {
    if (n.kind != Kind::kSet) return false;
    const CharSet& s = sets[static_cast<std::size_t>(n.set)];
    int count = 0, code = -1;
    for (int b = 0; b < 256; ++b)
      if (s.singles.Has(static_cast<std::uint8_t>(b))) {
        if (IsLead(static_cast<std::uint8_t>(b))) return false;
        ++count;
        code = b;
      }
    if (fold && count == 2 && code >= 'a' && code <= 'z' && s.singles.Has(static_cast<std::uint8_t>(code - 32)))
      count = 1;
    for (const auto& [lo, hi] : s.doubles) {
      count += hi - lo + 1;
      code = lo;
    }
    if (count != 1) return false;
    if (code < 0x100) {
      *bytes = std::string(1, static_cast<char>(code));
    } else {
      *bytes = {static_cast<char>(code >> 8), static_cast<char>(code & 255)};
    }
    return true;
  };
  for (int f : factors) {
    const Node& n = nodes[static_cast<std::size_t>(f)];
    std::string bytes;
    if (single(n, &bytes)) {
      run += bytes;
      if (run.size() > best.size()) best = run;
      continue;
    }
    run.clear();
    if (n.kind == Kind::kLineBreak) break;
    // Anything else that may hold a line break ends the search too.
    bool breaks = false;
    std::vector<int> stack{f};
    while (!stack.empty() && !breaks) {
      const Node& m = nodes[static_cast<std::size_t>(stack.back())];
      stack.pop_back();
      if (m.kind == Kind::kLineBreak) breaks = true;
      stack.insert(stack.end(), m.kids.begin(), m.kids.end());
    }
    if (breaks) break;
  }
  prog.literal = best;
  prog.literalFolded = fold;
  if (fold)
    for (char& c : prog.literal)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
}

}  // namespace

Regex::Regex(std::unique_ptr<Program> program) : program_(std::move(program)) {}
Regex::~Regex() = default;
int Regex::groups() const { return program_->groups; }
bool Regex::spansLines() const { return program_->spansLines; }
int Regex::size() const { return static_cast<int>(program_->insts.size()); }

std::unique_ptr<Regex> Regex::Compile(std::string_view pattern, bool distinguishCase, RegexError* error) {
  Parser parser(pattern, distinguishCase);
  int root = -1;
  if (!parser.Parse(&root, error)) return nullptr;
  auto prog = std::make_unique<Program>();
  prog->groups = std::min(parser.captures, kGroups - 1);
  Compiler compiler(parser.nodes, parser.sets, *prog);
  // start: save 0, the pattern, save 1, match.
  const int save0 = compiler.Emit({Op::kSave, 0});
  Compiler::Frag body = compiler.Compile(root);
  const int save1 = compiler.Emit({Op::kSave, 1});
  const int match = compiler.Emit({Op::kMatch});
  prog->insts[static_cast<std::size_t>(save0)].x = body.start;
  compiler.Patch(body, save1);
  prog->insts[static_cast<std::size_t>(save1)].x = match;
  prog->start = save0;
  // The DFA's unanchored start: L: split(start, skip) where skip takes one
  // whole character of a line's text (not a line end) and goes back to L.
  {
    ByteSet plain, leads, trail;
    for (int b = 0; b < 256; ++b) {
      const auto u = static_cast<std::uint8_t>(b);
      if (IsLead(u))
        leads.Add(u);
      else if (u != '\r' && u != '\n')
        plain.Add(u);
      if (IsTrail(u)) trail.Add(u);
    }
    auto set = [&](const ByteSet& s) {
      prog->sets.push_back(s);
      return static_cast<int>(prog->sets.size() - 1);
    };
    const int loop = compiler.Emit({Op::kSplit});
    const int skip1 = compiler.Emit({Op::kBytes});
    const int skipSplit = compiler.Emit({Op::kSplit});
    const int lead = compiler.Emit({Op::kBytes});
    const int leadSplit = compiler.Emit({Op::kSplit});
    const int tail = compiler.Emit({Op::kBytes});
    const int lone = compiler.Emit({Op::kAssert, kNotTrailNext});
    auto& in = prog->insts;
    if (!compiler.tooLarge) {
      in[static_cast<std::size_t>(loop)].x = save0;
      in[static_cast<std::size_t>(loop)].y = skipSplit;
      in[static_cast<std::size_t>(skipSplit)].x = skip1;
      in[static_cast<std::size_t>(skipSplit)].y = lead;
      in[static_cast<std::size_t>(skip1)].y = set(plain);
      in[static_cast<std::size_t>(skip1)].x = loop;
      in[static_cast<std::size_t>(lead)].y = set(leads);
      in[static_cast<std::size_t>(lead)].x = leadSplit;
      in[static_cast<std::size_t>(leadSplit)].x = tail;
      in[static_cast<std::size_t>(leadSplit)].y = lone;
      in[static_cast<std::size_t>(tail)].y = set(trail);
      in[static_cast<std::size_t>(tail)].x = loop;
      in[static_cast<std::size_t>(lone)].x = loop;
    }
    prog->unanchored = loop;
  }
  if (compiler.tooLarge) {
    error->kind = kRegexSyntax;
    error->position = 1;
    error->message = base::Sjis(u8"正規表現の誤り (1 文字目): ") + FaultText(Fault::kTooLarge);
    return nullptr;
  }
  FindLiteral(parser.nodes, parser.sets, root, !distinguishCase, *prog);
  return std::unique_ptr<Regex>(new Regex(std::move(prog)));
}

}  // namespace gorvane::search
