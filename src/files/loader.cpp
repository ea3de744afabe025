#include "loader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "base/scope_guard.h"
#include "charcode/charcode.h"
#include "charcode/sjis_case.h"
#include "companions/qorvetc/records.h"
#include "files/paths.h"

namespace gorvane::files {

namespace cc = gorvane::charcode;
using base::BoxAnswer;
using base::BoxButtons;
using base::BoxIcon;

namespace {

// ---- the texts the user sees ----
constexpr std::u8string_view kAlreadyOpenHere = u8"既に開いています。";
constexpr std::u8string_view kOpenElsewhere = u8"このファイルは既にオープンされています。";
constexpr std::u8string_view kReadOnlyFile = u8"読み取り専用ﾌｧｲﾙです。";
constexpr std::u8string_view kNoWritePermission = u8"書き込みが許可されていないファイルです。";
constexpr std::u8string_view kOpenFailed = u8"ファイルのオープンに失敗しました。";
constexpr std::u8string_view kSizeFailed = u8"ファイルサイズの取得に失敗しました。";
constexpr std::u8string_view kTooLarge = u8"ファイルサイズが大きすぎます。";
constexpr std::u8string_view kWorkAreaFailed = u8"ファイル入出力ワークエリアの確保に失敗しました。";
constexpr std::u8string_view kWorkAreaStop = u8"ワークエリアの確保に失敗しました。\nファイル読み込みを中止します。";
constexpr std::u8string_view kLoadFailed = u8"何らかの理由でファイルの読み込みに失敗しました。";
constexpr std::u8string_view kCloseFailed = u8"編集中のファイルのクローズに失敗しました。";
constexpr std::u8string_view kLoaded = u8"ファイルを読み込みました。";
constexpr std::u8string_view kDefaultMemory =
    u8"デフォルトメモリの確保に失敗しました。\n著しくパフォーマンスが低下する可能性がありますがこのまま続けることも可能です。\nどうしますか？（OK = 続行、CANCEL = 中止)";
constexpr std::u8string_view kOddUtf16Load =
    u8"UTF16ﾌｧｲﾙとして指定(認識)されていますがﾌｧｲﾙｻｲｽﾞが偶数ではありません。\n\n最後の１バイトを破棄して読み込みます。";
constexpr std::u8string_view kOddUtf16Insert =
    u8"UTF16ﾌｧｲﾙとして指定(認識)されていますがﾌｧｲﾙｻｲｽﾞが偶数ではありません。\n\n挿入処理を中止します。";
constexpr std::u8string_view kLineTooLong = u8"１行が長すぎます。\n読み込み処理を中断します。";
constexpr std::u8string_view kLinesCut =
    u8"このファイルにはカラム数制限値を超えている行がありました。\n制限値を超えた行は範囲内に収まるように切り詰められました。";
constexpr std::u8string_view kCharsReplaced =
    u8"シフトＪＩＳコードに変換できなかった文字があります。\n変換できなかった文字は ? に置き換えられました。";
constexpr std::u8string_view kLineLimit = u8"編集可能行数(160万行)を超えました。処理を中止します。";
constexpr std::u8string_view kPartialProtected =
    u8"ファイルを最後まで読み込めませんでした。\n元のファイルを失わないよう、書き込み禁止にしました。";
constexpr std::u8string_view kNewFileName = u8"新規ﾌｧｲﾙ";
constexpr std::u8string_view kInitializeOk = u8"Initialize OK";
constexpr std::u8string_view kInsertEmpty = u8"ファイルサイズが０バイトです。";
constexpr std::u8string_view kInsertOnlyEof = u8"このファイルにはEOFコードしか含まれていません。";
constexpr std::u8string_view kInsertCut =
    u8"挿入したファイルに１行あたりの文字数が制限値を超えるものがあり、その行は制限値内に切り詰められました。";
constexpr std::u8string_view kInsertReplaced =
    u8"シフトＪＩＳコードに変換できなかった文字があります。\n変換できなかった文字は'?'に置き換えられました。";
constexpr std::u8string_view kInserted = u8"ファイルを挿入しました。";
constexpr std::u8string_view kConfirm = u8"確認";
constexpr std::u8string_view kConfirmGorvane = u8"Gorvane確認";
constexpr std::u8string_view kWatchFailed = u8"ファイル情報の取得に失敗しました。\nファイル監視できません。";
constexpr std::u8string_view kChangedOnDisk = u8"ファイルが変更されています。読み込みますか?";

constexpr std::uint32_t kMaxLine = document::kMaxLineBytes;  // 15,360 with the line end

// A file that holds nothing but an end-of-file code: 1A, 1A 00 or 00 1A.
bool OnlyEofCode(const std::uint8_t* b, std::uint64_t size) {
  return (size == 1 && b[0] == 0x1A) || (size == 2 && ((b[0] == 0x1A && b[1] == 0) || (b[0] == 0 && b[1] == 0x1A)));
}

// The line end kind of a detected line end in the file's own encoding.
int CrlfKindOf(const std::uint8_t* crlf) {
  bool cr = false, lf = false;
  for (int i = 0; i < 6; ++i) {
    cr = cr || crlf[i] == '\r';
    lf = lf || crlf[i] == '\n';
  }
  if (cr && !lf) return cc::kCrlfCr;
  if (lf && !cr) return cc::kCrlfLf;
  return cc::kCrlfCrLf;
}

}  // namespace

std::uint32_t CutLength(const std::uint8_t* bytes, std::uint32_t length) {
  constexpr std::uint32_t kKeep = kMaxLine - 2;  // 15,358 text bytes and CR LF
  std::uint32_t i = 0;
  while (i < kKeep && i < length) {
    const std::uint32_t w = cc::IsSjisLead(bytes[i]) && i + 1 < length ? 2 : 1;
    if (i + w > kKeep) break;
    i += w;
  }
  return i;
}

Loader::Loader(FileContext& ctx) : ctx_(ctx) {}
Loader::~Loader() = default;

void Loader::Message(std::u8string_view text, BoxIcon icon, std::u8string_view caption) {
  base::Tell(ctx_.host, text, icon, BoxButtons::Ok, caption.empty() ? base::kCaption : caption);
}

bool Loader::EnsureWorkArea() {
  if (work_ && staging_) return true;
  work_.reset(new (std::nothrow) std::uint8_t[kWorkBufferBytes]);
  staging_.reset(new (std::nothrow) std::uint8_t[kWorkBufferBytes]);
  if (work_ && staging_) return true;
  work_.reset();
  staging_.reset();
  Message(kWorkAreaFailed, BoxIcon::Error);
  Message(kWorkAreaStop, BoxIcon::Error);
  return false;
}

bool Loader::ReadFully(File& file, std::uint8_t* dst, std::uint32_t n, std::uint32_t* got) {
  *got = 0;
  while (*got < n) {
    std::uint32_t k = 0;
    if (!file.Read(dst + *got, n - *got, &k)) return false;
    if (k == 0) break;
    *got += k;
  }
  return true;
}

// ---- the pipeline: pieces through the reader, cut into lines ----

namespace {

// Reads [start, size) of a file in pieces through a reader and hands every
// line (CR LF included, at most 15,360 bytes) to a sink; the last line of the
// file may come without line end. Lines too long are cut at a character
// boundary and the rest of them skipped.
class Pipeline {
  // The file as the character-code readers read it.
  struct PieceSource final : cc::PieceFile {
    explicit PieceSource(File& f) : file(f) {}
    bool Read(void* dst, std::uint32_t n, std::uint32_t* got) override { return file.Read(dst, n, got); }
    void* SystemHandle() override { return file.SystemHandle(); }
    File& file;
  };

 public:
  using Sink = std::function<bool(const std::uint8_t*, std::uint32_t, bool ended)>;
  enum Result { kDone = 1, kEmpty = -1, kFailed = 0, kStopped = 2 };

  Pipeline(std::uint8_t* staging, std::uint8_t* work, LoadReport& report, Sink sink)
      : staging_(staging), work_(work), report_(report), sink_(std::move(sink)) {}

  // Result: kDone, kFailed (read or reader failure), kEmpty (a line too long
  // for a piece: nothing could be made of it), kStopped (the sink refused).
  Result Run(File& file, std::uint64_t start, std::uint64_t size, int code, bool* tooLong) {
    std::uint64_t pos = start;
    *tooLong = false;
    if (!file.Seek(pos)) return kFailed;
    PieceSource source{file};
    while (pos < size) {
      const auto toRead = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - pos, kWorkBufferBytes));
      const bool final = size - pos <= kWorkBufferBytes;
      std::uint32_t got = 0;
      const cc::PieceResult r =
          cc::ReadFilePiece(code, source, toRead, final, cc::MutBytes(work_, kWorkBufferBytes), staging_, &got);
      if (got < toRead) size = pos + got;  // the file shrank meanwhile
      if (r.status == 0) return kFailed;
      if (r.status < 0 && !report_.replaced) {
        report_.replaced = true;
        report_.firstReplacedLine = static_cast<std::int64_t>(linesDone_) + 1 + std::max<std::int64_t>(0, r.firstLossyLine);
      }
      if (r.outBytes == 0 || (r.consumed == 0 && !final)) {
        *tooLong = true;
        return kEmpty;
      }
      std::uint32_t out = r.outBytes;
      const bool reachedEnd = pos + r.consumed >= size;
      if (reachedEnd && work_[out - 1] == 0x1A) --out;  // the end-of-file code
      if (!StoreLoadedLines(work_, out, reachedEnd ? 0 : size - pos - r.consumed)) return kStopped;
      pos += r.consumed;
      if (r.consumed != got && !file.Seek(pos)) return kFailed;
      if (reachedEnd) break;
    }
    if (!carry_.empty() || pending_) return Flush() ? kDone : kStopped;
    return kDone;
  }

  std::uint64_t linesDone() const { return linesDone_; }

 private:
  // Cuts count bytes of reader output into lines; a line begun at the end of
  // one piece is carried into the next (unread: bytes of the file after it).
  bool StoreLoadedLines(const std::uint8_t* p, std::uint32_t count, std::uint64_t unread) {
    const std::uint8_t* end = p + count;
    while (p < end) {
      const auto* lf = static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const std::uint8_t* segEnd = lf != nullptr ? lf + 1 : end;
      if (!Segment(p, static_cast<std::uint32_t>(segEnd - p), lf != nullptr, unread == 0 && lf == nullptr)) return false;
      p = segEnd;
    }
    return true;
  }

  // One run of bytes of a line; ended: it includes the line's LF; last: it is
  // the end of the file's text.
  bool Segment(const std::uint8_t* seg, std::uint32_t n, bool ended, bool last) {
    if (skipping_) {
      if (ended) skipping_ = false;
      return true;
    }
    const std::size_t total = carry_.size() + n;
    if (total > kMaxLine) {
      // Too long: cut at a character boundary, the rest of the line skipped.
      carry_.append(reinterpret_cast<const char*>(seg), std::min<std::size_t>(n, kMaxLine + 1 - carry_.size()));
      auto* line = reinterpret_cast<std::uint8_t*>(carry_.data());
      const std::uint32_t keep = CutLength(line, static_cast<std::uint32_t>(carry_.size()));
      carry_.resize(keep);
      carry_ += "\r\n";
      if (!report_.cut) {
        report_.cut = true;
        report_.firstCutLine = static_cast<std::int64_t>(linesDone_) + 1;
      }
      skipping_ = !ended;
      pending_ = false;
      return Emit(true);
    }
    if (ended) {
      if (carry_.empty()) return Deliver(seg, n, true);
      carry_.append(reinterpret_cast<const char*>(seg), n);
      return Emit(true);
    }
    carry_.append(reinterpret_cast<const char*>(seg), n);
    pending_ = true;
    if (last) return Flush();
    return true;
  }

  bool Emit(bool ended) {
    const bool ok = Deliver(reinterpret_cast<const std::uint8_t*>(carry_.data()), static_cast<std::uint32_t>(carry_.size()), ended);
    carry_.clear();
    pending_ = false;
    return ok;
  }

  bool Flush() {
    if (!pending_ && carry_.empty()) return true;
    return Emit(false);
  }

  bool Deliver(const std::uint8_t* bytes, std::uint32_t n, bool ended) {
    ++linesDone_;
    return sink_(bytes, n, ended);
  }

  std::uint8_t* staging_;
  std::uint8_t* work_;
  LoadReport& report_;
  Sink sink_;
  std::string carry_;
  bool pending_ = false;
  bool skipping_ = false;
  std::uint64_t linesDone_ = 0;
};

}  // namespace

int Loader::LoadFile(File& file, std::uint64_t size, bool* modified) {
  report_ = LoadReport{};
  limitReached_ = false;
  lastEndedWithCrlf_ = false;
  if (modified != nullptr) *modified = false;
  if (!EnsureWorkArea()) return 0;

  // A fresh chain in the cache's default page.
  if (!ctx_.store.BeginLoad()) {
    if (base::Tell(ctx_.host, kDefaultMemory, BoxIcon::Warning, BoxButtons::OkCancel) != BoxAnswer::Ok) return 0;
    if (!ctx_.store.BeginLoad()) return 0;  // a second try: there is no page to go on with
  }

  // Detection on the first 256 KiB.
  std::uint32_t sampled = 0;
  if (!file.Seek(0) ||
      !ReadFully(file, staging_.get(), static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kWorkBufferBytes)), &sampled))
    return 0;
  std::array<std::uint8_t, 6> crlf{};
  int code = cc::JudgmentCode(staging_.get(), static_cast<int>(sampled), crlf.data());
  std::uint32_t mark = 0;
  if (code < 0) {
    mark = code == -cc::kCodeUtf8 ? 3 : 2;
    code = -code;
  }
  report_.markBytes = mark;
  if (ctx_.file.forcedCode != 0 && ctx_.file.forcedCode != code) {
    // The line end found is in the detected encoding: say it again in the forced one.
    const int kind = CrlfKindOf(crlf.data());
    code = ctx_.file.forcedCode;
    cc::SetCrlfChar(code, kind, crlf.data());
  }
  if (code == 0) code = cc::kCodeSjis;
  // A code forced on the command line comes with its own line end.
  if (ctx_.file.forcedCode != 0 && ctx_.file.forcedLineEnd != 0) cc::SetCrlfChar(code, ctx_.file.forcedLineEnd, crlf.data());
  ctx_.file.code = code;
  ctx_.file.crlf = crlf;

  if ((code == cc::kCodeUtf16BE || code == cc::kCodeUtf16LE) && size % 2 != 0) {
    Message(kOddUtf16Load, BoxIcon::Error);
    --size;
  }
  if (size <= mark) return -1;

  auto sink = [this](const std::uint8_t* bytes, std::uint32_t n, bool ended) {
    // The limit counts the document's last line, which has no line end: a line
    // that ends at the limit would need one more after it. It is kept without
    // its CR LF (the readers end every line in one), and the load stops there.
    const bool cutShort = ended && report_.lines + 1 == document::kMaxLines;
    if (report_.lines < document::kMaxLines) {
      if (!ctx_.store.CreateOneLineTmpCache(bytes, cutShort ? n - 2 : n, report_.lines + 1)) return false;
      ++report_.lines;
      lastEndedWithCrlf_ = ended && !cutShort;
      if (!cutShort) return true;
    }
    Message(kLineLimit, BoxIcon::Warning);
    limitReached_ = true;
    report_.partial = true;
    return false;
  };
  Pipeline pipe(staging_.get(), work_.get(), report_, sink);
  bool tooLong = false;
  const Pipeline::Result r = pipe.Run(file, mark, size, code, &tooLong);
  if (r == Pipeline::kFailed || (r == Pipeline::kStopped && !limitReached_)) {
    report_.partial = true;
    return 0;
  }
  if (tooLong) {
    Message(kLineTooLong, BoxIcon::Warning);
    report_.partial = true;
    if (report_.lines == 0) return -1;
  }
  if (report_.lines == 0) return -1;

  if (lastEndedWithCrlf_) {
    // The document's last line never has a line end.
    if (!ctx_.store.CreateOneLineTmpCache(nullptr, 0, report_.lines + 1)) return 0;
    ++report_.lines;
  }
  if (!ctx_.store.EndLoad(report_.lines)) return 0;

  if (report_.cut) Message(kLinesCut, BoxIcon::Warning);
  if (report_.replaced) Message(kCharsReplaced, BoxIcon::Warning, kConfirmGorvane);
  if (modified != nullptr) *modified = report_.cut || report_.replaced;
  return 1;
}

void Loader::ProtectPartialLoad() {
  ctx_.file.readOnly = true;
  ctx_.file.writeProtectMode = true;
  Message(kPartialProtected, BoxIcon::Warning);
}

// ---- opening ----

int Loader::OpenPath(int mode, const OpenEntry& entry) {
  DocumentFile& doc = ctx_.file;
  const std::string path = mode == 0 ? entry.path : doc.path;
  const int forced = mode == 0 ? entry.forcedCode : doc.forcedCode;
  if (mode == 0 && SamePath(path, doc.path)) {
    Message(kAlreadyOpenHere, BoxIcon::Information);
    return 1;
  }
  // Another editor's file is refused before anything is touched; the
  // open-file table itself changes only once the file is open (below).
  if (mode >= 0 && ctx_.registry.HeldElsewhere(path)) {
    Message(kOpenElsewhere, BoxIcon::Error);
    return 0;
  }

  // Until the document is replaced, a refusal leaves it watched as before.
  const bool wasArmed = doc.watchArmed;
  DisarmFileWatch();
  auto refuse = [&](std::unique_ptr<File>& f) {
    if (f) f->Close();
    doc.watchArmed = wasArmed;
    return 0;
  };
  bool readOnly = mode == 0 ? entry.readOnly : mode > 0 && doc.readOnly;
  const bool writeProtect = mode < 0 && doc.writeProtectMode;
  FileInfo info;
  std::unique_ptr<File> file;
  if (ctx_.fs.Info(path, &info) && info.exists && info.readOnly) {
    file = ctx_.fs.Open(path, Access::Read, Share::Read, Disposition::OpenExisting, true);
    if (file) {
      base::Status(ctx_.host, kReadOnlyFile);
      readOnly = true;
    }
  } else {
    file = ctx_.fs.Open(path, Access::ReadWrite, Share::Read, Disposition::OpenExisting, true);
    if (!file) {
      file = ctx_.fs.Open(path, Access::Read, Share::Read, Disposition::OpenExisting, true);
      if (file) {
        base::Status(ctx_.host, kNoWritePermission);
        readOnly = true;
      }
    }
  }
  if (!file) {
    Message(kOpenFailed, BoxIcon::Error);
    if (mode >= 0) return refuse(file);
    ArmFileWatch(false);  // a re-read that failed: the file as it is now is the reference
    return 0;
  }
  std::uint64_t size = 0;
  if (!file->Size(&size)) {
    Message(kSizeFailed, BoxIcon::Error);
    return refuse(file);
  }
  if (size >= kMaxFileSize) {
    Message(kTooLarge, BoxIcon::Error);
    return refuse(file);
  }
  if (!EnsureWorkArea()) return refuse(file);
  // The file is open: now it becomes this editor's in the open-file table.
  // Another editor that took it meanwhile keeps it, and this document stays.
  if (mode >= 0 && !ctx_.registry.Claim(path)) {
    Message(kOpenElsewhere, BoxIcon::Error);
    return refuse(file);
  }

  // From here on the document is replaced. A re-read keeps the marks of the
  // lines that still exist.
  ++replacements_;
  std::vector<std::pair<std::uint32_t, std::uint8_t>> bookmarks;
  std::vector<std::pair<std::uint32_t, std::uint16_t>> labels;
  if (mode < 0) {
    const document::TMPOFFSET_MNG& idx = ctx_.store.index();
    for (std::uint32_t i = 0; i < idx.used; ++i) {
      if (idx.entries[i].bookmarkMark != 0) bookmarks.emplace_back(idx.entries[i].line, idx.entries[i].bookmarkMark);
      if (idx.entries[i].rangeIndex != 0) labels.emplace_back(idx.entries[i].line, idx.entries[i].rangeIndex);
    }
  }
  doc.path = path;
  doc.forcedCode = forced;
  if (mode == 0) doc.forcedLineEnd = 0;  // a code chosen in the dialog keeps the file's line end
  doc.code = forced != 0 ? forced : cc::kCodeSjis;
  cc::SetCrlfChar(doc.code, cc::kCrlfCrLf, doc.crlf.data());
  doc.readOnly = false;
  doc.writeProtectMode = false;

  int result = -1;
  bool modified = false;
  std::uint8_t head[2] = {0, 0};
  std::uint32_t got = 0;
  if (size <= 2 && (!file->Seek(0) || !ReadFully(*file, head, static_cast<std::uint32_t>(size), &got))) result = 0;
  else if (!(size <= 2 && OnlyEofCode(head, size))) result = LoadFile(*file, size, &modified);
  else report_ = LoadReport{};
  if (result <= 0) {
    ctx_.store.NewDocument();
    if (result == 0) Message(kLoadFailed, BoxIcon::Warning);
  }
  if (!file->Close()) Message(kCloseFailed, BoxIcon::Error);

  doc.readOnly = readOnly || writeProtect;
  doc.writeProtectMode = writeProtect;
  doc.modified = modified;
  doc.changedOnDisk = 0;
  if (result == 0 || report_.partial) ProtectPartialLoad();
  ArmFileWatch(false);
  if (mode < 0) {
    for (const auto& [line, mark] : bookmarks)
      if (line <= ctx_.store.lineCount()) ctx_.store.SetBookmark(LineNo(static_cast<std::int32_t>(line)), mark);
    for (const auto& [line, label] : labels)
      if (line <= ctx_.store.lineCount()) ctx_.store.SetRangeIndex(LineNo(static_cast<std::int32_t>(line)), label);
  }
  base::Status(ctx_.host, kLoaded);
  return result == 0 ? 0 : 1;
}

std::string Loader::NewFileName() {
  const std::string stem = std::string(kNewFileFolder) + base::Sjis(kNewFileName);
  for (int n = 1;; ++n) {
    std::string name = stem + std::to_string(n);
    if (!ctx_.registry.HeldElsewhere(name)) return name;
  }
}

bool Loader::NewDocument() {
  DisarmFileWatch();
  const std::string name = NewFileName();
  const bool made = ctx_.store.NewDocument();
  ++replacements_;  // a store that failed to start afresh holds no old text either
  if (!made) return false;
  ctx_.registry.Claim(name);
  DocumentFile& doc = ctx_.file;
  doc = DocumentFile{};
  doc.path = name;
  base::Status(ctx_.host, kInitializeOk);
  return true;
}

// ---- inserting a file ----

int Loader::InsertFile(const std::string& path, int forcedCode, LineNo above) {
  inserted_ = Inserted{{above, document::CaretCol(1)}, {above, document::CaretCol(1)}};
  std::unique_ptr<File> file = ctx_.fs.Open(path, Access::Read, Share::Read, Disposition::OpenExisting, false);
  if (!file) {
    Message(kOpenFailed, BoxIcon::Error);
    return 0;
  }
  const base::ScopeGuard closer([&file] { file->Close(); });
  std::uint64_t size = 0;
  if (!file->Size(&size)) {
    Message(kSizeFailed, BoxIcon::Error);
    return 0;
  }
  if (size == 0) {
    Message(kInsertEmpty, BoxIcon::Warning);
    return 0;
  }
  if (size >= kMaxFileSize) {
    Message(kTooLarge, BoxIcon::Error);
    return 0;
  }
  if (!EnsureWorkArea()) return 0;
  // The end: an end-of-file code is left out.
  std::uint8_t tail[2] = {0, 0};
  std::uint32_t got = 0;
  const std::uint64_t tailAt = size >= 2 ? size - 2 : 0;
  if (!file->Seek(tailAt) || !ReadFully(*file, tail, static_cast<std::uint32_t>(size - tailAt), &got)) {
    Message(kOpenFailed, BoxIcon::Error);
    return 0;
  }
  if (size <= 2 && OnlyEofCode(tail, size)) {
    Message(kInsertOnlyEof, BoxIcon::Warning);
    return 0;
  }
  if (size >= 2 && ((tail[0] == 0x1A && tail[1] == 0) || (tail[0] == 0 && tail[1] == 0x1A))) size -= 2;
  else if (tail[size >= 2 ? 1 : 0] == 0x1A) size -= 1;

  // Detection (the mark is skipped; the user's choice overrides the code).
  std::uint32_t sampled = 0;
  if (!file->Seek(0) ||
      !ReadFully(*file, staging_.get(), static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kWorkBufferBytes)), &sampled)) {
    Message(kOpenFailed, BoxIcon::Error);
    return 0;
  }
  std::uint8_t crlf[6] = {};
  int code = cc::JudgmentCode(staging_.get(), static_cast<int>(sampled), crlf);
  std::uint32_t mark = 0;
  if (code < 0) {
    mark = code == -cc::kCodeUtf8 ? 3 : 2;
    code = -code;
  }
  if (forcedCode != 0) code = forcedCode;
  if (code == 0) code = cc::kCodeSjis;
  if ((code == cc::kCodeUtf16BE || code == cc::kCodeUtf16LE) && (size - mark) % 2 != 0) {
    Message(kOddUtf16Insert, BoxIcon::Error);
    return 0;
  }
  if (size <= mark) return 0;

  // First count the lines, so that a file that would pass the line limit is
  // refused before anything is inserted.
  LoadReport counting;
  std::uint64_t complete = 0;
  std::uint32_t lastPiece = 0;
  {
    Pipeline pipe(staging_.get(), work_.get(), counting,
                  [&](const std::uint8_t*, std::uint32_t n, bool ended) {
                    if (ended) ++complete;
                    else lastPiece = n;
                    return true;
                  });
    bool tooLong = false;
    if (pipe.Run(*file, mark, size, code, &tooLong) != Pipeline::kDone || tooLong) {
      Message(kLoadFailed, BoxIcon::Warning);
      return 0;
    }
  }
  LINEDATA_STRC* current = ctx_.store.BringIntoWindow(ctx_.store.activePane(), above);
  if (current == nullptr) return 0;
  const bool joins = lastPiece != 0 && lastPiece + current->length <= kMaxLine;
  const std::uint64_t adding = complete + (lastPiece != 0 && !joins ? 1 : 0);
  if (ctx_.store.lineCount() + adding > document::kMaxLines) {
    Message(kLineLimit, BoxIcon::Warning, kConfirm);
    return 0;
  }

  // Then insert, each line above the line that was current.
  report_ = LoadReport{};
  LineNo at = above;
  bool failed = false;
  std::string last;
  auto insertAbove = [&](std::string_view text) {
    LINEDATA_STRC* r = ctx_.store.BringIntoWindow(ctx_.store.activePane(), at);
    if (r == nullptr || ctx_.store.SplitLine(r, document::CaretCol(static_cast<std::int32_t>(text.size()) + 1), &text, true) == nullptr) return false;
    at += 1;
    inserted_.to = {at, document::CaretCol(1)};
    return true;
  };
  Pipeline pipe(staging_.get(), work_.get(), report_, [&](const std::uint8_t* bytes, std::uint32_t n, bool ended) {
    if (!ended) {
      last.assign(reinterpret_cast<const char*>(bytes), n);
      return true;
    }
    failed = !insertAbove(std::string_view(reinterpret_cast<const char*>(bytes), n));
    return !failed;
  });
  bool tooLong = false;
  const Pipeline::Result r = pipe.Run(*file, mark, size, code, &tooLong);
  if (r == Pipeline::kDone && !last.empty()) {
    LINEDATA_STRC* target = ctx_.store.BringIntoWindow(ctx_.store.activePane(), at);
    if (target == nullptr) {
      failed = true;
    } else if (last.size() + target->length <= kMaxLine) {
      std::string joined = last;
      joined.append(reinterpret_cast<const char*>(target->text), target->length);
      failed = !ctx_.store.SetLineText(target, joined);
      if (!failed) inserted_.to = {at, document::CaretCol(static_cast<std::int32_t>(last.size()) + 1)};
    } else {
      if (last.size() + 2 > kMaxLine) last.resize(CutLength(reinterpret_cast<const std::uint8_t*>(last.data()), static_cast<std::uint32_t>(last.size())));
      failed = !insertAbove(last + "\r\n");
    }
  }
  if (!inserted_.empty()) ctx_.file.modified = true;
  if (r != Pipeline::kDone || failed) {
    Message(kLoadFailed, BoxIcon::Warning);
    return 0;
  }
  if (report_.cut) Message(kInsertCut, BoxIcon::Warning);
  if (report_.replaced) Message(kInsertReplaced, BoxIcon::Warning, kConfirm);
  base::Status(ctx_.host, kInserted);
  return 1;
}

// ---- the file watch ----

void Loader::ArmFileWatch(bool skipTime) {
  DocumentFile& doc = ctx_.file;
  if (doc.watchArmed || doc.isNew()) return;
  if (!skipTime) {
    std::unique_ptr<File> f = ctx_.fs.Open(doc.path, Access::Read, Share::ReadWrite, Disposition::OpenExisting, false);
    FileTime t = 0;
    const bool ok = f && f->LastWriteTime(&t);
    if (f) f->Close();
    if (!ok) {
      Message(kWatchFailed, BoxIcon::Warning);
      return;
    }
    doc.lastWriteTime = t;
  }
  doc.watchArmed = true;
}

void Loader::PollFileWatch() {
  DocumentFile& doc = ctx_.file;
  if (!doc.watchArmed) return;
  std::unique_ptr<File> f = ctx_.fs.Open(doc.path, Access::Read, Share::ReadWrite, Disposition::OpenExisting, false);
  if (!f) return;
  FileTime t = 0;
  const bool ok = f->LastWriteTime(&t);
  f->Close();
  if (ok && t != doc.lastWriteTime && doc.changedOnDisk == 0) doc.changedOnDisk = 1;
}

bool Loader::CheckFileChanged(bool busy) {
  DocumentFile& doc = ctx_.file;
  PollFileWatch();
  if (doc.changedOnDisk != 1 || busy) return false;
  DisarmFileWatch();
  doc.changedOnDisk = -1;
  const BoxAnswer a = base::Tell(ctx_.host, kChangedOnDisk, BoxIcon::Question, BoxButtons::YesNo);
  doc.changedOnDisk = 0;
  bool reread = false;
  if (a == BoxAnswer::Yes) reread = OpenPath(-1, OpenEntry{}) == 1;
  DisarmFileWatch();
  ArmFileWatch(false);
  return reread;
}

}  // namespace gorvane::files
