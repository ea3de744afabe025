// A host that records every message and answers boxes as scripted.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/host.h"

namespace gvtest {

class FakeHost : public gorvane::base::Host {
 public:
  struct Box {
    std::string text, caption;  // UTF-8
    gorvane::base::BoxIcon icon;
    gorvane::base::BoxButtons buttons;
  };
  gorvane::base::BoxAnswer ShowMessageBox(const gorvane::base::MessageBoxRequest& box) override {
    boxes.push_back({gorvane::base::Utf8(box.text), gorvane::base::Utf8(box.caption), box.icon, box.buttons});
    if (answers.empty()) return gorvane::base::BoxAnswer::Ok;
    const auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void ShowStatus(std::string_view text) override { statuses.push_back(gorvane::base::Utf8(text)); }
  void Beep() override { ++beeps; }

  std::vector<Box> boxes;
  std::vector<std::string> statuses;
  int beeps = 0;
  std::deque<gorvane::base::BoxAnswer> answers;
};

}  // namespace gvtest
