// A LineSource over a list of lines, for tests of the code that walks text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/line_source.h"

namespace gvtest {

class TextLines final : public gorvane::document::LineSource {
 public:
  // Lines without their line ends: each but the last gets CR LF.
  explicit TextLines(std::vector<std::string> texts) : lines_(std::move(texts)) {
    for (std::size_t i = 0; i + 1 < lines_.size(); ++i) lines_[i] += "\r\n";
  }
  std::int32_t LineCount() override { return static_cast<std::int32_t>(lines_.size()); }
  std::string Line(gorvane::document::LineNo line) override {
    ++reads;
    if (line.value < 1 || line.value > LineCount()) return {};
    return lines_[static_cast<std::size_t>(line.value - 1)];
  }

  int reads = 0;

 private:
  std::vector<std::string> lines_;
};

}  // namespace gvtest
