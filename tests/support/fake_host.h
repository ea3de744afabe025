// A host that records every message and answers boxes as scripted.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shell/host.h"

namespace gvtest {

class FakeHost : public gorvane::shell::Host {
 public:
  struct Box {
    std::string text, caption;  // UTF-8
    gorvane::shell::BoxIcon icon;
    gorvane::shell::BoxButtons buttons;
  };
  gorvane::shell::BoxAnswer ShowMessageBox(const gorvane::shell::MessageBoxRequest& box) override {
    boxes.push_back({gorvane::shell::Utf8(box.text), gorvane::shell::Utf8(box.caption), box.icon, box.buttons});
    if (answers.empty()) return gorvane::shell::BoxAnswer::Ok;
    const auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void ShowStatus(std::string_view text) override { statuses.push_back(gorvane::shell::Utf8(text)); }
  void Beep() override { ++beeps; }

  std::vector<Box> boxes;
  std::vector<std::string> statuses;
  int beeps = 0;
  std::deque<gorvane::shell::BoxAnswer> answers;
};

}  // namespace gvtest
