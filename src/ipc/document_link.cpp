#include "ipc/document_link.h"

#include <algorithm>
#include <memory>

namespace gorvane::ipc {

namespace {

constexpr std::u8string_view kNotAdded =
    u8"情報ウィンドウのファイル一覧に登録できませんでした。\nエディタを終了します。";

}  // namespace

bool DocumentLink::CheckProjectOptions(int code, std::string_view path) {
  const auto m = BuildCheckProjectOptions(code, group_.instance(), path);
  return m && messenger_.SendToInfoWindow(*m);
}

void DocumentLink::FileRenamed(int code, std::string_view path, bool addToInfoWindow) {
  if (!addToInfoWindow) {
    // The info window fills the new name's mark-jump mapping, then renames
    // the document in its list.
    ShareMarkJumpFile(path);
    if (const auto m = BuildChangeEditFile(code, fileNumber_, path)) messenger_.SendToInfoWindow(*m);
    return;
  }
  // Renamed first, so that the list's entry for this document is the one
  // the request finds; the frame waits for the answer.
  if (const auto m = BuildChangeEditFile(code, fileNumber_, path)) messenger_.SendToInfoWindow(*m);
  if (!protocol_) return;
  adding_ = true;
  if (hooks_.enableFrame) hooks_.enableFrame(false);
  protocol_->AddFileToInfoWindow(code, path, "", [this](int number) {
    adding_ = false;
    if (hooks_.enableFrame) hooks_.enableFrame(true);
    if (number > 0) {
      fileNumber_ = number;
    } else if (number == 0) {
      base::Tell(host_, kNotAdded, base::BoxIcon::Error);
      if (hooks_.close) hooks_.close();
    }
    // No answer in time: the document stays as it is.
  });
}

bool DocumentLink::ShareMarkJumpFile(std::string_view path) {
  markJump_.reset();
  const std::uint32_t bytes = 2 * group_.pageSize();
  if (bytes == 0) return false;  // not in a group
  Created created;
  auto mapping = kernel_.CreateMapping(ObjectNames::MarkJumpFile(path), bytes, &created);
  if (!mapping) return false;
  auto view = mapping->Map(0, bytes);
  if (!view || view->bytes().empty()) return false;
  // Left over from an earlier editor of the file: the info window fills it anew.
  std::fill(view->bytes().begin(), view->bytes().end(), std::uint8_t{0});
  const auto m = BuildMarkJumpFile(fileNumber_, path);
  if (!m || !messenger_.SendToInfoWindow(*m)) return false;
  for (std::uint32_t waited = 0; waited <= kMarkJumpWaitMs; waited += kMarkJumpPollMs) {
    const std::uint8_t answer = view->bytes()[0];
    if (answer != 0) {
      if (answer != 2) markJump_ = std::move(mapping);
      return true;
    }
    if (!hooks_.sleep) break;
    hooks_.sleep(kMarkJumpPollMs);
  }
  return false;
}

}  // namespace gorvane::ipc
