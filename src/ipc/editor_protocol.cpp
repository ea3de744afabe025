#include "ipc/editor_protocol.h"

#include <memory>

namespace gorvane::ipc {

namespace {

constexpr std::u8string_view kAttachFailed =
    u8"エラーが発生しました。タグジャンプ等でウィンドウをアクティブにすることができない場合があります。";

}  // namespace

EditorProtocol::EditorProtocol(Messenger& messenger, InstanceGroup& group, WindowActivator& activator,
                               EditorCallbacks callbacks, std::uint32_t replyMs)
    : messenger_(messenger), group_(group), activator_(activator), callbacks_(std::move(callbacks)), replyMs_(replyMs) {
  messenger_.On("@INSTACTIVE@", [this](std::string_view m) {
    if (auto p = Parse(m); p && p->id == MessageId::kInstanceActive) {
      Pending request;
      request.kind = Kind::kInstanceActive;
      request.sender = static_cast<int>(p->Number(1));
      Activate(request, static_cast<std::uint32_t>(p->Number(0)));
    }
  });
  messenger_.On("@ACTIVE@", [this](std::string_view m) {
    if (auto p = Parse(m); p && p->id == MessageId::kActiveToEditor) {
      TagJump jump;
      jump.line = static_cast<int>(p->Number(0));
      jump.column = static_cast<int>(p->Number(1));
      jump.length = static_cast<int>(p->Number(2));
      jump.threadId = static_cast<std::uint32_t>(p->Number(3));
      jump.infoWindow = static_cast<int>(p->Number(4));
      jump.text = std::string(p->Text(5));
      Pending request;
      request.kind = Kind::kTagJump;
      request.sender = jump.infoWindow;
      request.jump = jump;
      Activate(request, jump.threadId);
    }
  });
  messenger_.On("@EXECMJRET@", [this](std::string_view m) {
    if (auto p = Parse(m); p && p->id == MessageId::kExecMarkJump) {
      Pending request;
      request.kind = Kind::kMarkJump;
      request.sender = static_cast<int>(p->Number(2));
      request.mark = static_cast<int>(p->Number(0));
      Activate(request, static_cast<std::uint32_t>(p->Number(1)));
    }
  });
  // The partner could not attach to us: we attach to it and say so.
  messenger_.On("@TIDINST@", [this](std::string_view m) {
    auto p = Parse(m);
    if (!p || p->id != MessageId::kTidInstance) return;
    if (!activator_.AttachTo(static_cast<std::uint32_t>(p->Number(1)))) {
      base::Tell(group_.host(), kAttachFailed, base::BoxIcon::Error);
      return;
    }
    messenger_.SendToEditor(static_cast<int>(p->Number(0)), BuildTidSetOkToOtherEditor());
  });
  messenger_.On("@TID@", [this](std::string_view m) {
    auto p = Parse(m);
    if (!p || p->id != MessageId::kTidToEditor) return;
    if (!activator_.AttachTo(static_cast<std::uint32_t>(p->Number(1)))) {
      base::Tell(group_.host(), kAttachFailed, base::BoxIcon::Error);
      return;
    }
    if (auto ok = BuildTidSetOkToInfoWindow(static_cast<int>(p->Number(0)))) messenger_.QueueToInfoWindow(*ok);
  });
  messenger_.On("@CLOSED@", [this](std::string_view m) {
    // Only the modes 0 to 3 pass the parser: anything else never closes a
    // modified document without asking.
    if (auto p = Parse(m); p && p->id == MessageId::kClosedToEditor && callbacks_.closeRequested)
      callbacks_.closeRequested(static_cast<int>(p->Number(0)));
  });
  messenger_.On("@SAVE@", [this](std::string_view m) {
    if (auto p = Parse(m); p && p->id == MessageId::kSave && callbacks_.saveRequested) callbacks_.saveRequested();
  });
  messenger_.On("@BULKCRLF@", [this](std::string_view m) {
    auto p = Parse(m);
    if (!p || p->id != MessageId::kBulkCrlf) return;
    bool saved = false;
    {
      const files::GroupTurn turn(group_, /*wait=*/true);
      saved = turn.ok() && callbacks_.saveInCode &&
              callbacks_.saveInCode(static_cast<int>(p->Number(1)), static_cast<int>(p->Number(2)));
    }
    messenger_.SendToOtherInfoWindow(static_cast<int>(p->Number(0)), BuildBulkCrlfReturn(saved));
  });
  messenger_.On("@AUTOSAVE@", [this](std::string_view m) {
    auto p = Parse(m);
    if (!p || p->id != MessageId::kAutoSave) return;
    const files::GroupTurn turn(group_, /*wait=*/true);
    const bool saved = turn.ok() && (!callbacks_.saveQuietly || callbacks_.saveQuietly());
    messenger_.SendToEditor(static_cast<int>(p->Number(0)), BuildAutoSaveAnswer(saved));
  });
}

std::optional<ParsedMessage> EditorProtocol::Parse(std::string_view message) {
  auto p = ParseForEditor(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(message.data()),
                                                        message.size()));
  if (!p) ++malformed_;
  return p;
}

// ---- the activation handshake ----

void EditorProtocol::Activate(const Pending& request, std::uint32_t threadId) {
  // While starting up or already waiting for a partner: answer at once and
  // move nothing.
  if ((callbacks_.startingUp && callbacks_.startingUp()) || waiting_) {
    Answer(request);
    return;
  }
  if (activator_.AttachTo(threadId)) {
    Finish(request);
    activator_.Detach();
    return;
  }
  // We cannot attach: the partner attaches to us and says so.
  waiting_ = request;
  const std::uint32_t mine = activator_.ThreadId();
  bool asked = false;
  if (request.kind == Kind::kInstanceActive) {
    if (auto m = BuildTidInstance(group_.instance(), mine)) asked = messenger_.SendToEditor(request.sender, *m);
  } else if (auto m = BuildTidToInfoWindow(group_.infoWindow() < 0 ? 0 : group_.infoWindow(), mine)) {
    asked = request.sender == group_.infoWindow() ? messenger_.QueueToInfoWindow(*m)
                                                  : messenger_.QueueToOtherInfoWindow(request.sender, *m);
  }
  if (!asked) {
    waiting_.reset();
    Answer(request);
    return;
  }
  messenger_.ExpectReply(
      "@TIDSETOK@", replyMs_,
      [this](std::string_view) {
        if (!waiting_) return;
        const Pending pending = *waiting_;
        waiting_.reset();
        Finish(pending);
        activator_.Detach();
      },
      [this] {
        // No partner: the requester is not left waiting.
        if (!waiting_) return;
        const Pending pending = *waiting_;
        waiting_.reset();
        Answer(pending);
      });
}

void EditorProtocol::Finish(const Pending& request) {
  activator_.BringToFront();
  if (request.kind == Kind::kTagJump && callbacks_.jumpTo) callbacks_.jumpTo(request.jump);
  if (request.kind == Kind::kMarkJump && callbacks_.jumpToMark) callbacks_.jumpToMark(request.mark);
  Answer(request);
}

void EditorProtocol::Answer(const Pending& request) {
  if (request.kind == Kind::kInstanceActive) {
    messenger_.SendToEditor(request.sender, BuildActiveOkToOtherEditor());
    return;
  }
  const int instance = group_.instance() == 0 ? kTransientInstance : group_.instance();
  if (auto ok = BuildActiveOkToInfoWindow(instance)) {
    if (request.sender == group_.infoWindow()) messenger_.QueueToInfoWindow(*ok);
    else messenger_.QueueToOtherInfoWindow(request.sender, *ok);
  }
}

bool EditorProtocol::AskEditorForward(int owner, std::function<void(bool)> done) {
  const int me = group_.instance() == 0 ? kTransientInstance : group_.instance();
  auto m = BuildInstanceActive(activator_.ThreadId(), me);
  if (!m || !messenger_.SendToEditor(owner, *m)) {
    if (done) done(false);
    return false;
  }
  auto shared = std::make_shared<std::function<void(bool)>>(std::move(done));
  messenger_.ExpectReply(
      "@ACTIVEOK@", replyMs_, [shared](std::string_view) { if (*shared) (*shared)(true); },
      [shared] { if (*shared) (*shared)(false); });
  return true;
}

bool EditorProtocol::AskInfoWindowForward(std::function<void(bool)> done) {
  const int me = group_.instance() == 0 ? kTransientInstance : group_.instance();
  auto m = BuildActiveToInfoWindow(me, activator_.ThreadId());
  if (!m || !messenger_.SendToInfoWindow(*m)) {
    if (done) done(false);
    return false;
  }
  activationPending_ = true;
  auto shared = std::make_shared<std::function<void(bool)>>(std::move(done));
  messenger_.ExpectReply(
      "@ACTIVEOK@", replyMs_,
      [this, shared](std::string_view) {
        activationPending_ = false;
        if (*shared) (*shared)(true);
      },
      [this, shared] {
        activationPending_ = false;
        if (*shared) (*shared)(false);
      });
  return true;
}

bool EditorProtocol::AddFileToInfoWindow(int charCode, std::string_view path, std::string_view second,
                                         std::function<void(int)> done) {
  auto m = BuildAddFileItemToInfoWindow(charCode, group_.instance(), path, second);
  if (!m || !messenger_.SendToInfoWindow(*m)) {
    if (done) done(-1);
    return false;
  }
  auto shared = std::make_shared<std::function<void(int)>>(std::move(done));
  messenger_.ExpectReply(
      "@ADDFIRET@", replyMs_,
      [this, shared](std::string_view reply) {
        auto p = Parse(reply);
        const int number = p && p->id == MessageId::kAddFileItemReturn ? static_cast<int>(p->Number(0)) : 0;
        if (*shared) (*shared)(number > 0 ? number : 0);
      },
      [shared] {
        if (*shared) (*shared)(-1);
      });
  return true;
}

// ---- the autosave round ----

int EditorProtocol::StartAutosave(std::function<void(bool, int)> done) {
  auto m = BuildAutoSave(group_.instance());
  const int asked = m ? messenger_.BroadcastToEditors(*m, /*sameInfoWindowOnly=*/true) : 0;
  if (asked == 0) {
    if (done) done(true, 0);
    return 0;
  }
  struct Round {
    int left;
    int asked;
    bool allSaved = true;
    std::function<void(bool, int)> done;
  };
  auto round = std::make_shared<Round>(Round{asked, asked, true, std::move(done)});
  auto settle = [round](bool saved) {
    round->allSaved = round->allSaved && saved;
    if (--round->left == 0 && round->done) round->done(round->allSaved, round->asked);
  };
  for (int i = 0; i < asked; ++i)
    messenger_.ExpectReply(
        "@ANSAUTOSAVE@", replyMs_,
        [settle](std::string_view reply) {
          auto p = ParseMessage(reply, Direction::kEditorToEditor);
          settle(p && p->id == MessageId::kAutoSaveAnswer && p->Number(0) == 1);
        },
        [settle] { settle(false); });
  return asked;
}

}  // namespace gorvane::ipc
