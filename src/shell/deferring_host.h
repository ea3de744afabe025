// A host that never shows a modal box while the window paints: a box asked
// for during painting is kept and shown once the paint is over (the shell
// posts itself a message to call ShowDeferred), and counts as answered OK.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shell/host.h"

namespace gorvane::shell {

class DeferringHost final : public Host {
 public:
  // inner: the real host; wake: asks the shell to call ShowDeferred soon.
  DeferringHost(Host& inner, std::function<void()> wake) : inner_(inner), wake_(std::move(wake)) {}

  BoxAnswer ShowMessageBox(const MessageBoxRequest& box) override {
    if (!painting_) return inner_.ShowMessageBox(box);
    const bool first = deferred_.empty();
    deferred_.push_back({std::string(box.text), std::string(box.caption), box.icon, box.buttons, box.topMost});
    if (first && wake_) wake_();
    return BoxAnswer::Ok;
  }
  void ShowStatus(std::string_view text) override { inner_.ShowStatus(text); }
  void Beep() override { inner_.Beep(); }

  // Scoped: while a Painting lives, boxes wait.
  class Painting {
   public:
    explicit Painting(DeferringHost& host) : host_(host) { host_.painting_ = true; }
    ~Painting() { host_.painting_ = false; }
    Painting(const Painting&) = delete;
    Painting& operator=(const Painting&) = delete;

   private:
    DeferringHost& host_;
  };

  void ShowDeferred() {
    std::vector<Kept> boxes;
    boxes.swap(deferred_);
    for (const Kept& k : boxes) inner_.ShowMessageBox({k.text, k.caption, k.icon, k.buttons, k.topMost});
  }
  std::size_t waiting() const { return deferred_.size(); }

 private:
  struct Kept {
    std::string text, caption;
    BoxIcon icon;
    BoxButtons buttons;
    bool topMost;
  };
  Host& inner_;
  std::function<void()> wake_;
  bool painting_ = false;
  std::vector<Kept> deferred_;
};

}  // namespace gorvane::shell
