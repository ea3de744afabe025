#include "files/file_commands.h"

#include "charcode/charcode.h"

namespace gorvane::files {

using base::BoxAnswer;
using base::BoxButtons;
using base::BoxIcon;

namespace {

constexpr std::u8string_view kSaveFirst = u8"データが変更されています。保存しますか？";
constexpr std::u8string_view kInsertAboveSelection = u8"選択されている範囲の先頭行の上にファイルを挿入します。よろしいですか？";
constexpr std::u8string_view kInsertAboveLine = u8"現在の編集行の上にファイルが挿入されます。よろしいですか？";
constexpr std::u8string_view kWriteProtected = u8"書き込み禁止です。";
constexpr std::u8string_view kMacroNoProtect = u8"キーボードマクロ記録・再生中は書き込み禁止にできません。";
constexpr std::u8string_view kProtectNeedsSave =
    u8"書き込み禁止モードに移行するには編集中のファイルを保存する必要があります。\n保存しますか？";
constexpr std::u8string_view kNoChange = u8"ﾃﾞｰﾀに変更はありません。";
constexpr std::u8string_view kDiscarding = u8"ﾃﾞｰﾀを破棄します。";
constexpr std::u8string_view kBusy = u8"何らかの処理中です。";

BoxAnswer Ask(FileContext& ctx, std::u8string_view text, BoxIcon icon, BoxButtons buttons) {
  return base::Tell(ctx.host, text, icon, buttons);
}

}  // namespace

// A user command takes the group lock without waiting for it: while another
// editor of the group does document-changing work, the command is refused.
class FileCommands::Turn {
 public:
  explicit Turn(FileContext& ctx) : turn_(ctx.registry, /*wait=*/false) {
    if (!turn_.ok()) base::Status(ctx.host, kBusy);
  }
  bool ok() const { return turn_.ok(); }

 private:
  GroupTurn turn_;
};

CloseDecision CloseOnRequest(FileContext& ctx, int mode) {
  CloseDecision d;
  if (mode < 0 || mode > 3) {
    d.close = false;
    return d;
  }
  const bool saving = mode == 1 || mode == 3;
  bool saved = false;
  if (saving && ctx.file.modified && !ctx.file.readOnly) {
    // A save that fails keeps the document open: closing would lose it.
    const int r = SaveFile(ctx, false, 0, nullptr);
    if (r != kSaved) {
      d.close = false;
      return d;
    }
    saved = true;
  } else if (!saving && ctx.file.modified) {
    base::Status(ctx.host, kDiscarding);
    ctx.file.modified = false;
  } else {
    base::Status(ctx.host, kNoChange);
  }
  if (!(mode == 1 && saved)) d.statusFlag = mode <= 1 ? 1 : 0;
  return d;
}

bool FileCommands::SaveBeforeReplacing() {
  if (!ctx_.file.modified) return true;
  const BoxAnswer a = Ask(ctx_, kSaveFirst, BoxIcon::Question, BoxButtons::YesNoCancel);
  if (a == BoxAnswer::Cancel) return false;
  if (a == BoxAnswer::No) return true;
  // A failed save has told the user already.
  const int saved = SaveFile(ctx_, false, 0, nullptr);
  if (saved == kSaveNeedsName) return SaveAsCommand() == kSaved;
  return saved == kSaved;
}

int FileCommands::OpenFileCommand(int mode, const OpenEntry* entry) {
  const Turn turn(ctx_);
  if (!turn.ok()) return 0;
  if (mode != 0) return loader_.OpenPath(mode, OpenEntry{});
  if (!SaveBeforeReplacing()) return 0;
  OpenEntry chosen;
  if (entry != nullptr) chosen = *entry;
  else if (!dialogs_.ChooseFileToOpen(ctx_.file.code, &chosen)) return 0;
  return loader_.OpenPath(0, chosen);
}

bool FileCommands::NewFileCommand() {
  const Turn turn(ctx_);
  if (!turn.ok()) return false;
  if (!SaveBeforeReplacing()) return false;
  return loader_.NewDocument();
}

int FileCommands::InsertFileCommand(LineNo currentLine, bool hasSelection, LineNo selectionFirst) {
  const Turn turn(ctx_);
  if (!turn.ok()) return 0;
  if (Ask(ctx_, hasSelection ? kInsertAboveSelection : kInsertAboveLine, BoxIcon::Question, BoxButtons::YesNo) !=
      BoxAnswer::Yes)
    return 0;
  OpenEntry chosen;
  if (!dialogs_.ChooseFileToInsert(&chosen)) return 0;
  return loader_.InsertFile(chosen.path, chosen.forcedCode, hasSelection ? selectionFirst : currentLine);
}

int FileCommands::SaveCommand() {
  const Turn turn(ctx_);
  if (!turn.ok()) return kSaveFailed;
  const int saved = files::SaveCommand(ctx_);
  return saved == kSaveNeedsName ? SaveAsCommand() : saved;
}

int FileCommands::SaveAsCommand() {
  const Turn turn(ctx_);
  if (!turn.ok()) return kSaveFailed;
  std::string path;
  SaveOptions options = DefaultSaveOptions(ctx_.file);
  // The box that adds the file to the info window's list is offered (and
  // ticked) only while this editor is connected to it.
  const bool allowAdd = ctx_.registry.connectedToInfoWindow();
  options.allowAddBox = allowAdd ? 1 : 0;
  if (!dialogs_.ChooseSaveAsName(ctx_.file, allowAdd, &path, &options)) return kSaveFailed;
  return SaveAsPath(ctx_, path, options);
}

int FileCommands::SaveWithCodeCommand() {
  const Turn turn(ctx_);
  if (!turn.ok()) return kSaveFailed;
  if (ctx_.file.readOnly) {
    base::Status(ctx_.host, kWriteProtected);
    return kSaveFailed;
  }
  SaveOptions options = DefaultSaveOptions(ctx_.file);
  if (!dialogs_.ChooseCodeAndLineEnd(ctx_.file, &options)) return kSaveFailed;
  const int saved = SaveFile(ctx_, false, 0, &options);
  return saved == kSaveNeedsName ? SaveAsCommand() : saved;
}

void FileCommands::ToggleWriteProtect(bool busyWithMacro) {
  DocumentFile& doc = ctx_.file;
  const Turn turn(ctx_);
  if (!turn.ok()) return;
  if (busyWithMacro) {
    Ask(ctx_, kMacroNoProtect, BoxIcon::Warning, BoxButtons::Ok);
    return;
  }
  if (doc.writeProtectMode) {
    doc.writeProtectMode = false;
    doc.readOnly = false;
    return;
  }
  if (doc.readOnly) return;  // the file itself is read-only
  if (doc.modified) {
    if (Ask(ctx_, kProtectNeedsSave, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) return;
    const int saved = SaveFile(ctx_, false, 0, nullptr);
    if ((saved == kSaveNeedsName ? SaveAsCommand() : saved) != kSaved) return;
  } else {
    base::Status(ctx_.host, kNoChange);
  }
  doc.readOnly = true;
  doc.writeProtectMode = true;
}

}  // namespace gorvane::files
