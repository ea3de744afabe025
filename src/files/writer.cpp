#include "files/writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "charcode/charcode.h"
#include "files/paths.h"

namespace gorvane::files {

namespace {

// ---- the texts the user sees ------------------------------------------------------------

constexpr std::u8string_view kTextConfirmCaption = u8"Gorvane確認";
constexpr std::u8string_view kTextSaving = u8"保存中です...";
constexpr std::u8string_view kTextSaved = u8"上書き保存しました。";
constexpr std::u8string_view kTextSavedAs = u8"ファイル名を指定して保存しました。";
constexpr std::u8string_view kTextSaveFailed = u8"ファイルの保存に失敗しました。ディスク容量が不足しているものと思われます。";
constexpr std::u8string_view kTextSaveFailedStatus = u8"ファイルの保存に失敗しました。";
constexpr std::u8string_view kTextOpenFailed = u8"ファイルのオープンに失敗しました。";
constexpr std::u8string_view kTextOpenFailedStatus = u8"ﾌｧｲﾙのｵｰﾌﾟﾝに失敗しました。";
constexpr std::u8string_view kTextHeldElsewhere = u8"その名前で編集されているファイルがあります。\n保存できません。";
constexpr std::u8string_view kTextReadOnlyFile = u8"読み取り専用ファイルです。";
constexpr std::u8string_view kTextOverwrite = u8"指定のファイルは既に存在します。上書きしますか？";
constexpr std::u8string_view kTextWriteProtected = u8"書き込み禁止です。";
constexpr std::u8string_view kTextPathTooLong = u8"ファイル名が長すぎてバックアップファイルを作成できません。";
constexpr std::u8string_view kTextBackupFolderFailed = u8"バックアップフォルダの作成に失敗しました。";
constexpr std::u8string_view kTextBackupFileFailed = u8"バックアップファイルの作成に失敗しました。";
// The line number goes between the two halves.
constexpr std::u8string_view kTextLossyAsk1 = u8"保存先の文字コードに変換できない文字があります。（";
constexpr std::u8string_view kTextLossyAsk2 = u8"行目）\n変換できない文字は ? に置き換えられます。このまま保存しますか？";
constexpr std::u8string_view kTextLossySaved1 = u8"変換できない文字を ? に置き換えて保存しました。（";
constexpr std::u8string_view kTextLossySaved2 = u8"行目）";
constexpr std::u8string_view kTextCloseFailed = u8"編集中のファイルのクローズに失敗しました。";
constexpr std::u8string_view kTextBusy = u8"何らかの処理中です。";
constexpr std::u8string_view kTextProjectCheckFailed = u8"プロジェクトファイルのオプションチェックに失敗しました。";
constexpr std::u8string_view kTextWatchFailed = u8"ファイル情報の取得に失敗しました。\nファイル監視できません。";

// ---- limits and names -------------------------------------------------------------------

constexpr std::size_t kBackupPathLimit = 238;  // paths this long or longer get no backup
constexpr std::string_view kBackupFolder = "backup_Gorvane";
constexpr int kBackupNumbers = 99;
constexpr int kTempNames = 20;
constexpr std::size_t kOutBytes = 768 * 1024;  // converted text gathered per write

using Crlf = std::array<std::uint8_t, charcode::kCrlfBytesSize>;

bool IsUtf16(int code) { return code == charcode::kCodeUtf16BE || code == charcode::kCodeUtf16LE; }

std::u8string WithLine(std::u8string_view before, std::uint32_t line, std::u8string_view after) {
  const std::string digits = std::to_string(line);
  std::u8string text(before);
  text.append(digits.begin(), digits.end());
  text.append(after);
  return text;
}

base::BoxAnswer Box(FileContext& ctx, std::u8string_view text, base::BoxIcon icon = base::BoxIcon::None,
                     base::BoxButtons buttons = base::BoxButtons::Ok,
                     std::u8string_view caption = base::kCaption) {
  return base::Tell(ctx.host, text, icon, buttons, caption);
}

void Status(FileContext& ctx, std::u8string_view text) { base::Status(ctx.host, text); }

void TellSaveFailed(FileContext& ctx, bool quiet) {
  if (quiet) Status(ctx, kTextSaveFailedStatus);
  else Box(ctx, kTextSaveFailed);
}

void TellOpenFailed(FileContext& ctx, bool quiet) {
  if (quiet) Status(ctx, kTextOpenFailedStatus);
  else Box(ctx, kTextOpenFailed);
}

// ---- the line end ---------------------------------------------------------------------------

// The line end a save writes, in the target's form.
Crlf ChooseLineEnd(const DocumentFile& doc, const SaveOptions& options) {
  Crlf out{};
  if (options.crlfKind != charcode::kCrlfKeep) {
    charcode::SetCrlfChar(options.code, options.crlfKind, out.data());
    return out;
  }
  if (options.code == doc.code) {
    out = doc.crlf;
    // A document must not lose its line ends for want of a known one.
    if (charcode::CrlfLength(options.code, out.data()) == 0)
      charcode::SetCrlfChar(options.code, charcode::kCrlfCrLf, out.data());
    return out;
  }
  // The document's own line end, carried from its code into the target's:
  // at most two characters, through Shift-JIS.
  const bool fromUtf16 = IsUtf16(doc.code);
  std::size_t len = 0;
  if (fromUtf16) {
    while (len < 4 && (doc.crlf[len] != 0 || doc.crlf[len + 1] != 0)) len += 2;
  } else {
    while (len < 2 && doc.crlf[len] != 0) ++len;
  }
  std::array<std::uint8_t, 8> sjis{};
  std::size_t sjisLen = 0;
  if (len == 0) {
    sjis[0] = '\r', sjis[1] = '\n';
    sjisLen = 2;
  } else if (fromUtf16) {
    sjisLen = charcode::Utf16ToSjis(charcode::Bytes(doc.crlf.data(), len), sjis,
                                    doc.code == charcode::kCodeUtf16BE)
                  .written;
  } else {
    std::memcpy(sjis.data(), doc.crlf.data(), len);
    sjisLen = len;
  }
  if (IsUtf16(options.code)) {
    // Two characters make at most 4 bytes: the last unit of the 6 stays 00 00.
    charcode::SjisToUtf16(charcode::Bytes(sjis.data(), sjisLen), charcode::MutBytes(out.data(), 4),
                          options.code == charcode::kCodeUtf16BE, nullptr);
  } else {
    std::memcpy(out.data(), sjis.data(), std::min(sjisLen, out.size() - 1));
  }
  return out;
}

// ---- the writer -----------------------------------------------------------------------------

charcode::TextConverted ConvertText(int code, charcode::Bytes src, charcode::MutBytes dst,
                                    const std::uint8_t* crlf) {
  switch (code) {
    case charcode::kCodeEuc:
      return charcode::SjisTextToEuc(src, dst, crlf);
    case charcode::kCodeUtf8:
      return charcode::SjisTextToUtf8(src, dst, crlf);
    case charcode::kCodeUtf16BE:
      return charcode::SjisTextToUtf16(src, dst, true, crlf);
    case charcode::kCodeUtf16LE:
      return charcode::SjisTextToUtf16(src, dst, false, crlf);
    default:
      return charcode::SjisTextLineEnds(src, dst, crlf);
  }
}

// Converts each line straight from the document into a large block and
// writes the block whenever it is full.
class BlockWriter {
 public:
  BlockWriter(File& file, int code, const std::uint8_t* crlf, WriteReport& report)
      : file_(file), code_(code), crlf_(crlf), report_(report), out_(kOutBytes) {}

  bool Add(std::int32_t lineNo, std::string_view line) {
    // Room for any conversion of the line.
    if (out_.size() - used_ < 3 * line.size() + charcode::kCrlfBytesSize && !Flush()) return false;
    const charcode::Bytes src(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    const auto r = ConvertText(code_, src, charcode::MutBytes(out_).subspan(used_), crlf_);
    if (r.consumed != line.size()) return false;  // a line longer than any block: cannot happen with lines of 15,360 bytes
    if (r.replaced > 0) {
      report_.replaced += r.replaced;
      if (report_.firstLossyLine == 0) report_.firstLossyLine = static_cast<std::uint32_t>(lineNo);
    }
    used_ += r.written;
    return true;
  }

  bool Flush() {
    if (used_ > 0 && !file_.Write(out_.data(), static_cast<std::uint32_t>(used_))) return false;
    used_ = 0;
    return true;
  }

 private:
  File& file_;
  int code_;
  const std::uint8_t* crlf_;
  WriteReport& report_;
  std::vector<std::uint8_t> out_;
  std::size_t used_ = 0;
};

// Everything WriteDocument writes; the document's state is not touched.
bool WriteBody(FileContext& ctx, File& file, const SaveOptions& options, WriteReport& report, Crlf* used) {
  const int code = options.code;
  if (ctx.settings.saveWithBom) {
    static constexpr std::uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF}, kBeMark[] = {0xFE, 0xFF}, kLeMark[] = {0xFF, 0xFE};
    bool ok = true;
    if (code == charcode::kCodeUtf8) ok = file.Write(kUtf8Mark, sizeof kUtf8Mark);
    else if (code == charcode::kCodeUtf16BE) ok = file.Write(kBeMark, sizeof kBeMark);
    else if (code == charcode::kCodeUtf16LE) ok = file.Write(kLeMark, sizeof kLeMark);
    if (!ok) return false;
  }

  *used = ChooseLineEnd(ctx.file, options);
  BlockWriter writer(file, code, used->data(), report);
  const std::uint32_t lines = ctx.store.lineCount();
  std::uint32_t visited = 0;
  bool ok = true;
  const bool walked = ctx.store.WalkLines(document::LineNo(1), 1, [&](document::LineNo line, std::string_view text) {
    // Only the last line can be empty: nothing follows it.
    if (text.empty()) return false;
    if (!writer.Add(line.value, text)) {
      ok = false;
      return false;
    }
    return ++visited < lines;
  });
  if (!walked || !ok || !writer.Flush()) return false;

  if (ctx.settings.appendEofCode) {
    static constexpr std::uint8_t kEofByte[] = {0x1A}, kEofBe[] = {0x00, 0x1A}, kEofLe[] = {0x1A, 0x00};
    bool eofOk;
    if (code == charcode::kCodeUtf16BE) eofOk = file.Write(kEofBe, sizeof kEofBe);
    else if (code == charcode::kCodeUtf16LE) eofOk = file.Write(kEofLe, sizeof kEofLe);
    else eofOk = file.Write(kEofByte, sizeof kEofByte);
    if (!eofOk) return false;
  }
  return file.SetEndOfFile();
}

// The document now is what was written.
void Adopt(DocumentFile& doc, const SaveOptions& options, const Crlf& crlf) {
  doc.modified = false;
  doc.crlf = crlf;
  doc.code = options.code;
  doc.forcedCode = options.code;
  doc.forcedLineEnd = 0;  // the line end is the one written now
}

// The watch on the saved file starts again from its new last-write time, so
// that the editor's own write does not count as a change made by another
// program (a new name is watched from now on too).
void ArmWatchAfterSave(FileContext& ctx, const std::string& path, bool quiet) {
  FileInfo info;
  if (ctx.fs.Info(path, &info) && info.exists) {
    ctx.file.lastWriteTime = info.lastWrite;
    ctx.file.watchArmed = true;
    return;
  }
  ctx.file.watchArmed = false;
  if (!quiet) Box(ctx, kTextWatchFailed, base::BoxIcon::Warning);
}

// The user is told of a close that failed, in a box or (quiet) on the status bar.
void TellCloseFailed(FileContext& ctx, bool quiet) {
  if (quiet) Status(ctx, kTextCloseFailed);
  else Box(ctx, kTextCloseFailed, base::BoxIcon::Error);
}

// ---- saving through a temporary file ---------------------------------------------------------

// A new file beside target that no one else uses.
std::unique_ptr<File> OpenTempFile(FileSystem& fs, const std::string& target, std::string* tempPath) {
  const std::string folder = FolderOf(target), name = FileNameOf(target);
  for (int n = 1; n <= kTempNames; ++n) {
    const std::string number = std::to_string(n);
    std::string candidate = folder;
    candidate.append(name).append(".gv").append(number).append(".tmp");
    if (candidate.size() > kMaxPathBytes) candidate.assign(folder).append("~gv").append(number).append(".tmp");
    FileInfo info;
    if (fs.Info(candidate, &info) && info.exists) continue;
    auto file = fs.Open(candidate, Access::ReadWrite, Share::Read, Disposition::CreateNew, true);
    if (file) {
      *tempPath = candidate;
      return file;
    }
    // Created by someone else just now: try the next name; else the folder
    // takes no new file.
    if (!fs.Info(candidate, &info) || !info.exists) return nullptr;
  }
  return nullptr;
}

enum class Staged { Ready, OpenFailed, WriteFailed, CloseFailed, Cancelled };

struct StagedSave {
  std::string tempPath;
  Crlf crlf{};
  WriteReport report;
};

// Writes the whole document into a temporary file beside target, ready to
// replace it. A lossy conversion is put to the user unless quiet. Anything but
// Ready leaves no temporary file behind.
Staged StageDocument(FileContext& ctx, const std::string& target, const SaveOptions& options, bool quiet,
                     StagedSave* staged) {
  if (!ctx.store.WriteBack()) return Staged::WriteFailed;
  auto file = OpenTempFile(ctx.fs, target, &staged->tempPath);
  if (!file) return Staged::OpenFailed;
  const bool written = WriteBody(ctx, *file, options, staged->report, &staged->crlf) && file->Flush();
  const bool closed = file->Close();
  file.reset();
  if (!written || !closed) {
    // What could not be closed may not be on disk whole: it never replaces the file.
    ctx.fs.DeleteFile(staged->tempPath);
    return written ? Staged::CloseFailed : Staged::WriteFailed;
  }
  if (staged->report.replaced > 0 && !quiet) {
    const auto answer = Box(ctx, WithLine(kTextLossyAsk1, staged->report.firstLossyLine, kTextLossyAsk2),
                            base::BoxIcon::Warning, base::BoxButtons::OkCancel, kTextConfirmCaption);
    if (answer != base::BoxAnswer::Ok) {
      ctx.fs.DeleteFile(staged->tempPath);
      return Staged::Cancelled;
    }
  }
  return Staged::Ready;
}

// A usable backup folder: an existing writable folder, or one made now.
bool UsableBackupFolder(FileSystem& fs, const std::string& folder) {
  FileInfo info;
  if (fs.Info(folder, &info) && info.exists && info.isFolder && !info.readOnly) return true;
  return fs.CreateFolder(folder);
}

}  // namespace

SaveOptions DefaultSaveOptions(const DocumentFile& file) {
  SaveOptions options;
  options.code = file.code;
  return options;
}

int WriteDocument(FileContext& ctx, File& file, const SaveOptions& options, WriteReport* report) {
  WriteReport local;
  WriteReport& r = report != nullptr ? *report : local;
  r = {};
  Crlf used{};
  if (!WriteBody(ctx, file, options, r, &used)) return 0;
  Adopt(ctx.file, options, used);
  return 1;
}

int MakeBackup(FileContext& ctx, const std::string& path, bool quiet) {
  if (!ctx.settings.makeBackup) return 1;
  if (path.size() >= kBackupPathLimit) {
    if (!quiet) Box(ctx, kTextPathTooLong);
    return 0;
  }
  const std::string folder = FolderOf(path);
  std::string backupFolder;
  for (int n = 0; n <= kBackupNumbers && backupFolder.empty(); ++n) {
    std::string candidate = folder;
    candidate.append(kBackupFolder);
    if (n > 0) candidate.append("(").append(std::to_string(n)).append(")");
    if (UsableBackupFolder(ctx.fs, candidate)) backupFolder = candidate;
  }
  if (backupFolder.empty()) {
    if (!quiet) Box(ctx, kTextBackupFolderFailed);
    return 0;
  }
  backupFolder.push_back(SeparatorOf(path));
  if (!ctx.fs.CopyFile(path, backupFolder.append(FileNameOf(path)))) {
    if (!quiet) Box(ctx, kTextBackupFileFailed);
    return 0;
  }
  return 1;
}

int SaveFile(FileContext& ctx, bool quiet, int statusFlag, const SaveOptions* options) {
  static_cast<void>(statusFlag);  // for the status-file update, below
  const SaveOptions opts = options != nullptr ? *options : DefaultSaveOptions(ctx.file);
  const std::string path = ctx.file.path;

  FileInfo info;
  const bool known = ctx.fs.Info(path, &info);
  if (ctx.file.isNew() || FileNameOf(path).empty() || (known && info.isFolder))
    return quiet ? kSaveFailed : kSaveNeedsName;
  // A file that could not be looked at is taken to be there: its backup tells.
  const bool exists = !known || info.exists;
  if (exists) {
    if (!MakeBackup(ctx, path, quiet)) return kSaveFailed;
    if (info.readOnly) {
      TellOpenFailed(ctx, quiet);
      return kSaveFailed;
    }
  }

  // The group's editors take turns at document-changing work; a command
  // that took the lock already keeps it (requests from other processes wait).
  const GroupTurn turn(ctx.registry, /*wait=*/true);
  if (!turn.ok()) {
    Status(ctx, kTextBusy);
    return kSaveFailed;
  }
  Status(ctx, kTextSaving);
  StagedSave staged;
  switch (StageDocument(ctx, path, opts, quiet, &staged)) {
    case Staged::Ready:
      break;
    case Staged::OpenFailed:
      // A file whose folder is gone is saved under a new name.
      if (!exists) return quiet ? kSaveFailed : kSaveNeedsName;
      TellOpenFailed(ctx, quiet);
      return kSaveFailed;
    case Staged::WriteFailed:
      TellSaveFailed(ctx, quiet);
      return kSaveFailed;
    case Staged::CloseFailed:
      TellCloseFailed(ctx, quiet);
      return kSaveFailed;
    case Staged::Cancelled:
      return kSaveFailed;
  }
  if (!ctx.fs.ReplaceFile(staged.tempPath, path)) {
    ctx.fs.DeleteFile(staged.tempPath);
    TellSaveFailed(ctx, quiet);
    return kSaveFailed;
  }

  Adopt(ctx.file, opts, staged.crlf);
  ArmWatchAfterSave(ctx, path, quiet);
  // The info window checks the project's options for the file.
  if (ctx.registry.connectedToInfoWindow() && !ctx.registry.CheckProjectOptions(ctx.file.code, path)) {
    if (quiet) Status(ctx, kTextProjectCheckFailed);
    else Box(ctx, kTextProjectCheckFailed, base::BoxIcon::Warning);
  }
  // Later: update the status files with statusFlag, mark the undo position as saved.
  Status(ctx, kTextSaved);
  if (quiet && staged.report.replaced > 0)
    Status(ctx, WithLine(kTextLossySaved1, staged.report.firstLossyLine, kTextLossySaved2));
  return kSaved;
}

int SaveAsPath(FileContext& ctx, const std::string& newPath, const SaveOptions& options) {
  if (SamePath(newPath, ctx.file.path)) return SaveFile(ctx, false, 0, &options);
  if (ctx.registry.HeldElsewhere(newPath)) {
    Box(ctx, kTextHeldElsewhere, base::BoxIcon::Error);
    return kSaveFailed;
  }
  FileInfo info;
  if (ctx.fs.Info(newPath, &info) && info.exists) {
    if (info.isFolder) {
      Box(ctx, kTextOpenFailed);
      return kSaveFailed;
    }
    if (info.readOnly) {
      Box(ctx, kTextReadOnlyFile);
      return kSaveFailed;
    }
    if (Box(ctx, kTextOverwrite, base::BoxIcon::Question, base::BoxButtons::YesNo) != base::BoxAnswer::Yes)
      return kSaveFailed;
    if (!MakeBackup(ctx, newPath, false)) return kSaveFailed;
  }

  const GroupTurn turn(ctx.registry, /*wait=*/true);
  if (!turn.ok()) {
    Status(ctx, kTextBusy);
    return kSaveFailed;
  }
  Status(ctx, kTextSaving);
  StagedSave staged;
  switch (StageDocument(ctx, newPath, options, false, &staged)) {
    case Staged::Ready:
      break;
    case Staged::OpenFailed:
      Box(ctx, kTextOpenFailed);
      return kSaveFailed;
    case Staged::WriteFailed:
      Box(ctx, kTextSaveFailed);
      return kSaveFailed;
    case Staged::CloseFailed:
      TellCloseFailed(ctx, false);
      return kSaveFailed;
    case Staged::Cancelled:
      return kSaveFailed;
  }
  // The name is taken before the file is put in place: another editor that
  // opened it meanwhile keeps it.
  const std::string oldPath = ctx.file.path;
  if (!ctx.registry.Claim(newPath)) {
    ctx.fs.DeleteFile(staged.tempPath);
    Box(ctx, kTextHeldElsewhere, base::BoxIcon::Error);
    return kSaveFailed;
  }
  if (!ctx.fs.ReplaceFile(staged.tempPath, newPath)) {
    ctx.fs.DeleteFile(staged.tempPath);
    ctx.registry.Claim(oldPath);
    Box(ctx, kTextSaveFailed);
    return kSaveFailed;
  }

  ctx.file.path = newPath;
  ctx.file.readOnly = false;
  ctx.file.writeProtectMode = false;
  Adopt(ctx.file, options, staged.crlf);
  ArmWatchAfterSave(ctx, newPath, false);
  // The info window hears of the new name (and adds the file to its list
  // when the dialog's box asked for it).
  if (ctx.registry.connectedToInfoWindow())
    ctx.registry.FileRenamed(ctx.file.code, newPath, options.addToInfoWindow != 0);
  // Later: update the edit-position memory and the status files for the new
  // name, mark the undo position as saved.
  Status(ctx, kTextSavedAs);
  return kSaved;
}

int SaveCommand(FileContext& ctx) {
  if (ctx.file.readOnly) {
    Status(ctx, kTextWriteProtected);
    return kSaveFailed;
  }
  return SaveFile(ctx, false, 0, nullptr);
}

}  // namespace gorvane::files
