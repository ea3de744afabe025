#include "companions/vantrel/vantrel_model.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "base/host.h"
#include "ipc/instance_group.h"
#include "ipc/messages.h"
#include "ipc/object_names.h"

namespace gorvane::vantrel {

static_assert(kMaxInstance == ipc::kMaxInstances && kForwarderInstance == ipc::kTransientInstance);

namespace {

using ipc::MessageId;

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::string_view TextOf(std::span<const std::uint8_t> received) {
  std::string_view text(reinterpret_cast<const char*>(received.data()), received.size());
  const std::size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The words of a command line after the program's name. A word in double
// quotes keeps its blanks; a quote anywhere else, or a closing quote not
// followed by a blank, spoils the line.
struct Word {
  std::string_view text;
  bool quoted = false;
};

bool SplitWords(std::string_view line, std::vector<Word>* words) {
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
  };
  skipBlanks();
  // The program's name: up to its closing quote, or to the first blank.
  if (pos < line.size() && line[pos] == '"') {
    const std::size_t close = line.find('"', pos + 1);
    if (close == std::string_view::npos || close == pos + 1) return false;
    pos = close + 1;
  } else {
    const std::size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos])) {
      if (line[pos] == '"') return false;
      ++pos;
    }
    if (pos == start) return false;
  }
  while (true) {
    if (pos < line.size() && !IsBlank(line[pos])) return false;  // words are separated by blanks
    skipBlanks();
    if (pos == line.size()) return true;
    if (line[pos] == '"') {
      const std::size_t close = line.find('"', pos + 1);
      if (close == std::string_view::npos) return false;
      words->push_back({line.substr(pos + 1, close - pos - 1), true});
      pos = close + 1;
    } else {
      const std::size_t start = pos;
      while (pos < line.size() && !IsBlank(line[pos])) {
        if (line[pos] == '"') return false;
        ++pos;
      }
      words->push_back({line.substr(start, pos - start), false});
    }
  }
}

// A decimal number as the editor writes it ("%d"), within [min, max].
bool Number(const Word& w, std::int64_t min, std::int64_t max, int* out) {
  if (w.quoted || w.text.empty()) return false;
  std::string_view digits = w.text;
  const bool negative = digits.front() == '-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10) return false;
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  std::int64_t v = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (negative) v = -v;
  if (v < min || v > max) return false;
  *out = static_cast<int>(v);
  return true;
}

std::string Decimal(std::int64_t v) { return std::to_string(v); }

std::string Sjis(std::u8string_view utf8) { return base::Sjis(utf8); }

std::string SearchEndText(std::int64_t count) {
  switch (count) {
    case -12:
      return Sjis(u8"正規表現の検索でエラーが発生しました。");
    case -11:
      return Sjis(u8"正規表現の検索が時間切れになりました。");
    case -10:
      return Sjis(u8"正規表現の検索に失敗しました。");
    case -2:
      return Sjis(u8"検索に参加できないエディタがありました。");
    default:
      break;
  }
  std::string s;
  if (count < 0) {
    s = Sjis(u8"検索に失敗しました。 (");
    s.append(Decimal(count));
    s.append(")");
  } else {
    s = Sjis(u8"検索終了: ");
    s.append(Decimal(count));
    s.append(Sjis(u8" 件"));
  }
  return s;
}

}  // namespace

// ---- command line -------------------------------------------------------------

std::optional<StartArguments> ParseCommandLine(std::string_view line) {
  std::vector<Word> w;
  if (!SplitWords(line, &w)) return std::nullopt;
  if (w.size() != 9 && w.size() != 11) return std::nullopt;
  constexpr std::int64_t kMin = INT32_MIN, kMax = INT32_MAX;
  StartArguments a;
  int project = 0;
  if (!Number(w[0], kMin, kMax, &a.left) || !Number(w[1], kMin, kMax, &a.top) || !Number(w[2], kMin, kMax, &a.right) ||
      !Number(w[3], kMin, kMax, &a.bottom) || !Number(w[4], -6, 6, &a.charCode) || !Number(w[5], 0, 1, &project))
    return std::nullopt;
  a.project = project == 1;
  if (w[6].quoted || w[6].text != "/MI") return std::nullopt;
  if (!Number(w[7], 0, kMaxInfoWindow, &a.infoWindow)) return std::nullopt;
  if (!w[8].quoted) return std::nullopt;
  a.file = std::string(w[8].text);
  if (w.size() == 11) {
    if (w[9].quoted || w[9].text != "/LOG" || w[10].text.empty()) return std::nullopt;
    a.logPath = std::string(w[10].text);
  }
  return a;
}

// ---- log -----------------------------------------------------------------------

ScreenRect InfoWindowPlace(const ScreenRect& remembered, const ScreenRect& workArea) {
  // The remembered rectangle comes from memory other processes write: any
  // four numbers, so the sums are taken wide.
  using Wide = long long;
  const Wide areaWidth = std::max<Wide>(1, Wide{workArea.right} - workArea.left);
  const Wide areaHeight = std::max<Wide>(1, Wide{workArea.bottom} - workArea.top);
  Wide width = kDefaultWidth, height = kDefaultHeight, left = 0, top = 0;
  const bool centred = remembered.empty();
  if (!centred) {
    width = Wide{remembered.right} - remembered.left;
    height = Wide{remembered.bottom} - remembered.top;
  }
  width = std::min(width, areaWidth);
  height = std::min(height, areaHeight);
  if (centred) {
    left = workArea.left + (areaWidth - width) / 2;
    top = workArea.top + (areaHeight - height) / 2;
  } else {
    left = std::clamp<Wide>(remembered.left, workArea.left, workArea.left + areaWidth - width);
    top = std::clamp<Wide>(remembered.top, workArea.top, workArea.top + areaHeight - height);
  }
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width), static_cast<int>(top + height)};
}

std::string LogRecord(std::span<const std::uint8_t> message) {
  std::string out = Decimal(static_cast<std::int64_t>(message.size()));
  out.push_back(':');
  out.append(reinterpret_cast<const char*>(message.data()), message.size());
  out.push_back('\n');
  return out;
}

bool ReadLog(std::string_view log, std::vector<std::string>* messages) {
  std::size_t pos = 0;
  while (pos < log.size()) {
    const std::size_t colon = log.find(':', pos);
    if (colon == std::string_view::npos || colon == pos || colon - pos > 10) return false;
    std::size_t n = 0;
    for (std::size_t i = pos; i < colon; ++i) {
      if (log[i] < '0' || log[i] > '9') return false;
      n = n * 10 + static_cast<std::size_t>(log[i] - '0');
    }
    const std::size_t start = colon + 1;
    if (log.size() - start < n + 1 || log[start + n] != '\n') return false;
    messages->emplace_back(log.substr(start, n));
    pos = start + n + 1;
  }
  return true;
}

// ---- helpers -----------------------------------------------------------------

bool SamePath(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(ca)) {
      // A double-byte character: both bytes as they are.
      if (ca != cb || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
    if (lower(ca) != lower(cb)) return false;
  }
  return true;
}

std::string EditorCommandLine(std::string_view programFolder, std::string_view file, int infoWindow, int fileNumber) {
  std::string out;
  out.append("\"");
  out.append(programFolder);
  out.append(kEditorProgram);
  out.append("\" \"");
  out.append(file);
  out.append("\" /MS ");
  out.append(Decimal(infoWindow));
  out.append(" /FN ");
  out.append(Decimal(fileNumber));
  return out;
}

// ---- the model -------------------------------------------------------------------

VantrelModel::VantrelModel(ModelConfig config) : config_(std::move(config)) {}

std::string VantrelModel::InboxName() const { return ipc::ObjectNames(config_.user).InfoWindowInbox(config_.infoWindow); }

std::string VantrelModel::EditorInboxName(int instance) const {
  return ipc::ObjectNames(config_.user).EditorInbox(instance);
}

Effects VantrelModel::Receive(std::span<const std::uint8_t> received) {
  ++counters_.received;
  Effects fx = Dispatch(received);
  switch (fx.disposition) {
    case Disposition::kHandled:
      ++counters_.handled;
      break;
    case Disposition::kOutput:
      ++counters_.outputPieces;
      break;
    case Disposition::kNotTagged:
      ++counters_.notTagged;
      break;
    case Disposition::kUnknown:
      ++counters_.unknown;
      break;
    case Disposition::kMalformed:
      ++counters_.malformed;
      break;
    case Disposition::kOutOfRange:
      ++counters_.outOfRange;
      break;
    case Disposition::kOutOfSequence:
      ++counters_.outOfSequence;
      break;
  }
  return fx;
}

void VantrelModel::Send(Effects& fx, int instance, const std::optional<std::string>& message) {
  if (message) fx.send.push_back({EditorInboxName(instance), Bytes(*message)});
}

FileEntry* VantrelModel::FileByNumber(std::int64_t number) {
  for (FileEntry& f : files_)
    if (f.number == number) return &f;
  return nullptr;
}

const FileEntry* VantrelModel::FindFile(int number) const {
  for (const FileEntry& f : files_)
    if (f.number == number) return &f;
  return nullptr;
}

FileEntry* VantrelModel::FileByPath(std::string_view path) {
  for (FileEntry& f : files_)
    if (SamePath(f.path, path)) return &f;
  return nullptr;
}

FileEntry* VantrelModel::AddFile(std::string_view path, int charCode) {
  if (files_.size() >= kMaxFiles) {
    // Make room by forgetting the oldest file no editor has.
    const auto idle = std::find_if(files_.begin(), files_.end(), [](const FileEntry& f) { return f.instance == 0; });
    if (idle == files_.end()) return nullptr;
    std::erase_if(marks_, [n = idle->number](const MarkEntry& m) { return m.file == n; });
    files_.erase(idle);
  }
  if (nextFileNumber_ == INT32_MAX) return nullptr;
  files_.push_back({nextFileNumber_++, std::string(path), charCode, 0});
  return &files_.back();
}

void VantrelModel::ForgetInstance(int instance) {
  editors_.erase(instance);
  std::erase_if(marks_, [instance](const MarkEntry& m) { return m.instance == instance; });
  for (FileEntry& f : files_)
    if (f.instance == instance) f.instance = 0;
  for (Listing& l : listings_)
    if (l.owner == instance) l.owner = 0;
  if (pendingJump_ == instance) pendingJump_ = 0;
  if (lastAnnounced_ == instance) lastAnnounced_ = 0;
}

bool VantrelModel::PutMark(int instance, std::int64_t file, std::int64_t mark, std::string_view note,
                           Disposition* d) {
  // Only the editor that has the file sets its marks.
  const FileEntry* f = FindFile(static_cast<int>(file));
  if (f == nullptr || f->instance != instance || instance == kForwarderInstance) {
    *d = Disposition::kOutOfRange;
    return false;
  }
  const auto key = [](const MarkEntry& m) { return std::pair(m.file, m.mark); };
  const std::pair<int, int> wanted(f->number, static_cast<int>(mark));
  const auto at = std::lower_bound(marks_.begin(), marks_.end(), wanted,
                                   [&key](const MarkEntry& m, const std::pair<int, int>& k) { return key(m) < k; });
  if (at != marks_.end() && key(*at) == wanted) {
    at->note = std::string(note);
    return true;
  }
  const auto inFile = std::count_if(marks_.begin(), marks_.end(), [&](const MarkEntry& m) { return m.file == f->number; });
  if (static_cast<std::size_t>(inFile) >= kMaxMarksPerFile || marks_.size() >= kMaxMarks) return false;
  marks_.insert(at, MarkEntry{instance, f->number, static_cast<int>(mark), std::string(note)});
  return true;
}

int VantrelModel::OwnerFor(std::string_view path) const {
  for (const FileEntry& f : files_)
    if (f.instance != 0 && SamePath(f.path, path)) return f.instance;
  // An editor announces itself with "@ACTIVE@" just before its first listing.
  return editors_.count(lastAnnounced_) != 0 ? lastAnnounced_ : 0;
}

void VantrelModel::CloseListing() {
  if (listingOpen_ && !listings_.empty()) listings_.back().ended = true;
  listingOpen_ = false;
}

void VantrelModel::AddHit(std::uint32_t column, std::uint32_t span, std::uint32_t length, std::int64_t line,
                          std::string_view text) {
  if (text.ends_with("\r\n")) text.remove_suffix(2);
  if (hits_.size() >= kMaxHits || hitTextBytes_ + text.size() > kMaxHitTextBytes) {
    ++counters_.droppedHits;
    return;
  }
  hitTextBytes_ += text.size();
  hits_.push_back({listings_.size() - 1, line, column, span, length, std::string(text)});
  ++listings_.back().hitCount;
}

void VantrelModel::PushOutputLine(std::string line) {
  outputLines_.push_back(std::move(line));
  while (outputLines_.size() > kMaxOutputLines) {
    outputLines_.pop_front();
    ++counters_.droppedOutputLines;
  }
}

void VantrelModel::AppendOutput(std::string_view text) {
  for (char c : text) {
    if (c == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      PushOutputLine(std::exchange(partial_, std::string()));
      continue;
    }
    partial_.push_back(c);
    if (partial_.size() >= kMaxOutputLineBytes) PushOutputLine(std::exchange(partial_, std::string()));
  }
}

void VantrelModel::FlushPartial() {
  if (!partial_.empty()) PushOutputLine(std::exchange(partial_, std::string()));
}

Effects VantrelModel::Dispatch(std::span<const std::uint8_t> received) {
  Effects fx;
  const auto status = [&fx](std::string text) { fx.events.push_back({EventKind::kStatus, 0, std::move(text)}); };

  // Build output: raw text, or "@@..." for a line that begins with "@".
  if (std::optional<std::string> output = ipc::ParseCompileOutput(received)) {
    if (builds_ == 0) {
      fx.disposition = Disposition::kNotTagged;
      return fx;
    }
    AppendOutput(*output);
    fx.disposition = Disposition::kOutput;
    fx.events.push_back({EventKind::kOutputChanged, 0, {}});
    return fx;
  }
  const std::string_view text = TextOf(received);
  const std::string_view tag = ipc::TagOf(text);
  if (tag.empty()) {
    fx.disposition = Disposition::kNotTagged;
    return fx;
  }
  const std::optional<ipc::ParsedMessage> m = ipc::ParseMessage(received, ipc::Direction::kEditorToInfoWindow);
  if (!m) {
    fx.disposition = ipc::FindMessage(tag, ipc::Direction::kEditorToInfoWindow) != nullptr ? Disposition::kMalformed
                                                                                            : Disposition::kUnknown;
    return fx;
  }
  const auto num = [&m](std::size_t i) { return m->Number(i); };
  const auto txt = [&m](std::size_t i) { return m->Text(i); };

  switch (m->id) {
    case MessageId::kTestToInfoWindow:
    case MessageId::kCloseOk:  // we never ask an editor to close
    case MessageId::kMoveWindowToInfoWindow:
    case MessageId::kCheckProjectOptions:
    case MessageId::kEditPos:
    case MessageId::kCheckEndMarkJump:
    case MessageId::kSetSearchDataToInfoWindow:
    case MessageId::kSetReplaceDataToInfoWindow:
    case MessageId::kSearchCancel:
    case MessageId::kReplaceCancel:
    case MessageId::kTelnetText:
    case MessageId::kReadTagFile:
    case MessageId::kRemoteReadTagFile:
    case MessageId::kTidSetOkToInfoWindow:  // we never ask an editor to attach
    case MessageId::kBulkCrlfReturn:
    case MessageId::kInfoDestroy:
      return fx;

    case MessageId::kCantOpen:
      // Only an editor we started says this (it names nothing).
      if (pendingStart_.empty()) {
        fx.disposition = Disposition::kOutOfSequence;
        return fx;
      }
      {
        std::string s = Sjis(u8"エディタがファイルを開けませんでした: ");
        s.append(pendingStart_);
        status(std::move(s));
      }
      pendingStart_.clear();
      return fx;

    case MessageId::kClosedToInfoWindow: {
      FileEntry* f = FileByNumber(num(0));
      if (f == nullptr || f->instance == 0) {
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      ForgetInstance(f->instance);
      fx.events.push_back({EventKind::kFilesChanged, 0, {}});
      return fx;
    }

    case MessageId::kActiveToInfoWindow: {
      const int instance = static_cast<int>(num(0));
      const auto thread = static_cast<std::uint32_t>(num(1));
      if (instance != kForwarderInstance) {
        editors_[instance].thread = thread;
        lastAnnounced_ = instance;
      }
      fx.events.push_back({EventKind::kBringToFront, thread, {}});
      Send(fx, instance, ipc::BuildActiveOkToEditor());
      return fx;
    }

    case MessageId::kHideInfoWindow:
      fx.events.push_back({EventKind::kHide, 0, {}});
      return fx;

    case MessageId::kMarkJumpFile:
      // We fill no mapping (marks come by message): 2 tells the editor to close it again.
      fx.markFiles.push_back({ipc::ObjectNames::MarkJumpFile(txt(1)), 2});
      return fx;

    case MessageId::kChangeEditFile: {
      FileEntry* f = FileByNumber(num(1));
      if (f == nullptr) {
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      f->path = std::string(txt(2));
      f->charCode = static_cast<int>(num(0));
      fx.events.push_back({EventKind::kFilesChanged, 0, {}});
      return fx;
    }

    case MessageId::kAddFileItemToInfoWindow: {
      const int instance = static_cast<int>(num(1));
      if (instance == kForwarderInstance) {
        // A forwarder never edits a file; still answer so that nobody waits.
        Send(fx, instance, ipc::BuildAddFileItemReturn(0));
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      const std::string_view path = txt(2);
      FileEntry* f = FileByPath(path);
      if (f == nullptr) f = AddFile(path, static_cast<int>(num(0)));
      if (f == nullptr) {
        Send(fx, instance, ipc::BuildAddFileItemReturn(0));  // the editor reports it and closes
        status(Sjis(u8"ファイル一覧がいっぱいです。"));
        return fx;
      }
      const int number = f->number;
      // An instance number seen before belonged to an editor that is gone.
      if (const auto e = editors_.find(instance); e != editors_.end() && e->second.file != 0 && e->second.file != number)
        ForgetInstance(instance);
      if (f->instance != 0 && f->instance != instance) ForgetInstance(f->instance);
      f = FileByNumber(number);
      f->instance = instance;
      f->charCode = static_cast<int>(num(0));
      editors_[instance].file = number;
      if (!pendingStart_.empty() && SamePath(pendingStart_, path)) pendingStart_.clear();
      fx.events.push_back({EventKind::kFilesChanged, 0, {}});
      Send(fx, instance, ipc::BuildAddFileItemReturn(number));
      return fx;
    }

    case MessageId::kSetMarkJumpToInfoWindow:
    case MessageId::kCheckMarkJumpToInfoWindow: {
      // Answered whatever becomes of it, so that the editor does not wait.
      const int instance = static_cast<int>(num(0));
      const bool set = PutMark(instance, num(1), num(2), txt(4), &fx.disposition);
      if (set) fx.events.push_back({EventKind::kMarksChanged, 0, {}});
      Send(fx, instance,
           m->id == MessageId::kSetMarkJumpToInfoWindow ? ipc::BuildSetMarkJumpResult(set)
                                                        : ipc::BuildCheckMarkJumpResult(set));
      return fx;
    }
    case MessageId::kDeleteMarkJumpToInfoWindow: {
      const auto gone = std::erase_if(marks_, [&](const MarkEntry& e) { return e.file == num(0) && e.mark == num(1); });
      if (gone == 0) {
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      fx.events.push_back({EventKind::kMarksChanged, 0, {}});
      return fx;
    }
    case MessageId::kSaveMarkJumpData:
      Send(fx, static_cast<int>(num(0)), ipc::BuildSaveMarkJumpDataOk());
      return fx;

    case MessageId::kProjectSearchToInfoWindow:
      // Searching across files is not offered here: end it at once so that the editor is free again.
      Send(fx, static_cast<int>(num(0)), ipc::BuildProjectSearchEnd());
      status(Sjis(u8"この情報ウィンドウではファイル検索を行えません。"));
      return fx;
    case MessageId::kProjectReplaceToInfoWindow:
      Send(fx, static_cast<int>(num(0)), ipc::BuildProjectReplaceEnd());
      status(Sjis(u8"この情報ウィンドウではファイル置換を行えません。"));
      return fx;

    case MessageId::kRemoteCompileStart:
      // No remote connection is set up here (code 4); the editor releases its build lock.
      Send(fx, static_cast<int>(num(0)), ipc::BuildRemoteCompileEnd(4));
      status(Sjis(u8"リモートコンパイルの接続設定がありません。"));
      return fx;

    case MessageId::kDisplaySearch:
      fx.events.push_back({EventKind::kShowSearchPage, 0, {}});
      return fx;

    case MessageId::kSearchFile: {
      CloseListing();
      Listing l;
      l.path = std::string(txt(1));
      l.range = num(0) == 1;
      l.owner = OwnerFor(l.path);
      l.firstHit = hits_.size();
      listings_.push_back(std::move(l));
      listingOpen_ = true;
      fx.events.push_back({EventKind::kHitsChanged, 0, {}});
      return fx;
    }

    case MessageId::kSearchLine:
      if (!listingOpen_) {
        // A replace-all reports its lines without naming the file first.
        Listing l;
        l.firstHit = hits_.size();
        listings_.push_back(std::move(l));
        listingOpen_ = true;
      }
      AddHit(static_cast<std::uint32_t>(num(0)), static_cast<std::uint32_t>(num(1)), static_cast<std::uint32_t>(num(2)),
             num(3), txt(4));
      fx.events.push_back({EventKind::kHitsChanged, 0, {}});
      return fx;

    case MessageId::kSearchEnd:
      if (!listingOpen_) {
        fx.disposition = Disposition::kOutOfSequence;
        return fx;
      }
      listings_.back().count = num(0);
      CloseListing();
      status(SearchEndText(num(0)));
      fx.events.push_back({EventKind::kHitsChanged, 0, {}});
      return fx;

    case MessageId::kReplaceEnd:
    case MessageId::kReplaceStop:
    case MessageId::kReplaceError: {
      if (listingOpen_) {
        listings_.back().count = num(0);
        CloseListing();
        fx.events.push_back({EventKind::kHitsChanged, 0, {}});
      }
      std::string s;
      if (m->id == MessageId::kReplaceEnd && num(0) >= 0) {
        s = Sjis(u8"置換終了: ");
        s.append(Decimal(num(0)));
        s.append(Sjis(u8" 件"));
      } else if (m->id == MessageId::kReplaceStop) {
        s = Sjis(u8"置換を中止しました。");
      } else {
        s = Sjis(u8"置換できませんでした。");
      }
      status(std::move(s));
      return fx;
    }

    case MessageId::kDisplayCompile:
      if (builds_ == 0) ClearOutput();
      if (builds_ < 100) ++builds_;
      fx.events.push_back({EventKind::kShowBuildPage, 0, {}});
      fx.events.push_back({EventKind::kOutputChanged, 0, {}});
      return fx;

    case MessageId::kCompileEnd:
      if (builds_ == 0) {
        fx.disposition = Disposition::kOutOfSequence;
        return fx;
      }
      if (--builds_ == 0) FlushPartial();
      fx.events.push_back({EventKind::kOutputChanged, 0, {}});
      status(Sjis(u8"ビルドが終了しました。"));
      return fx;

    case MessageId::kTidToInfoWindow: {
      // An editor could not attach to our input for a tag jump: we attach to its.
      const auto thread = static_cast<std::uint32_t>(num(1));
      if (num(0) != config_.infoWindow || thread == 0) {
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      int instance = 0;
      for (const auto& [n, e] : editors_)
        if (e.thread == thread) instance = n;
      if (instance == 0 && editors_.count(pendingJump_) != 0) instance = pendingJump_;
      if (instance == 0) {
        fx.disposition = Disposition::kOutOfRange;
        return fx;
      }
      editors_[instance].thread = thread;
      fx.events.push_back({EventKind::kAttachInput, thread, {}});
      Send(fx, instance, ipc::BuildTidSetOkToEditor());
      return fx;
    }

    case MessageId::kActiveOkToInfoWindow:
      if (num(0) == pendingJump_) pendingJump_ = 0;
      return fx;

    default:
      fx.disposition = Disposition::kUnknown;
      return fx;
  }
}

JumpAction VantrelModel::DoubleClickHit(std::size_t index) {
  JumpAction a;
  if (index >= hits_.size()) {
    ++counters_.badClicks;
    return a;
  }
  const Hit& hit = hits_[index];
  const Listing& listing = listings_[hit.listing];
  if (listing.owner != 0 && editors_.count(listing.owner) != 0) {
    ipc::TagJump jump;
    jump.line = static_cast<int>(hit.line);
    jump.column = static_cast<int>(std::min<std::uint32_t>(hit.column, 0xFFFF));
    jump.length = static_cast<int>(std::min<std::uint32_t>(hit.length, 0xFFFF));
    jump.threadId = config_.threadId;
    jump.infoWindow = config_.infoWindow;
    // The text expected at the column, when the match lies on its first line.
    const std::size_t start = hit.column - 1;
    if (hit.span == 1 && start <= hit.text.size() && hit.text.size() - start >= hit.length)
      jump.text = hit.text.substr(start, hit.length);
    std::optional<std::string> message = ipc::BuildActiveToEditor(jump);
    if (!message) {
      jump.text.clear();
      message = ipc::BuildActiveToEditor(jump);
    }
    if (message) {
      a.kind = JumpAction::Kind::kSend;
      a.instance = listing.owner;
      a.message = {EditorInboxName(listing.owner), Bytes(*message)};
      pendingJump_ = listing.owner;
      return a;
    }
  }
  if (listing.path.empty()) {
    a.status = Sjis(u8"このヒットのファイルが分かりません。");
    return a;
  }
  FileEntry* f = FileByPath(listing.path);
  if (f == nullptr) f = AddFile(listing.path, 0);
  if (f == nullptr) {
    a.status = Sjis(u8"ファイル一覧がいっぱいです。");
    return a;
  }
  a.kind = JumpAction::Kind::kStart;
  a.file = listing.path;
  a.commandLine = EditorCommandLine(config_.programFolder, listing.path, config_.infoWindow, f->number);
  pendingStart_ = listing.path;
  return a;
}

JumpAction VantrelModel::DoubleClickMark(std::size_t index) {
  JumpAction a;
  if (index >= marks_.size()) {
    ++counters_.badClicks;
    return a;
  }
  const MarkEntry& m = marks_[index];
  if (const auto message = ipc::BuildExecMarkJump(m.mark, config_.threadId, config_.infoWindow)) {
    a.kind = JumpAction::Kind::kSend;
    a.instance = m.instance;
    a.message = {EditorInboxName(m.instance), Bytes(*message)};
    pendingJump_ = m.instance;
  }
  return a;
}

Effects VantrelModel::DeleteMark(std::size_t index) {
  Effects fx;
  if (index >= marks_.size()) {
    ++counters_.badClicks;
    fx.disposition = Disposition::kOutOfRange;
    return fx;
  }
  const MarkEntry m = marks_[index];
  marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(index));
  fx.events.push_back({EventKind::kMarksChanged, 0, {}});
  Send(fx, m.instance, ipc::BuildDeleteMarkJumpToEditor(m.mark));
  return fx;
}

void VantrelModel::EditorGone(int instance) {
  if (instance != 0) ForgetInstance(instance);
}

std::string VantrelModel::StartFailed(std::string_view file) {
  if (SamePath(pendingStart_, file)) pendingStart_.clear();
  std::string s = Sjis(u8"エディタを起動できませんでした: ");
  s.append(file);
  return s;
}

void VantrelModel::ClearHits() {
  hits_.clear();
  hitTextBytes_ = 0;
  if (listingOpen_) {
    Listing open = std::move(listings_.back());
    open.firstHit = 0;
    open.hitCount = 0;
    listings_.clear();
    listings_.push_back(std::move(open));
  } else {
    listings_.clear();
  }
}

void VantrelModel::ClearOutput() {
  outputLines_.clear();
  partial_.clear();
}

}  // namespace gorvane::vantrel
