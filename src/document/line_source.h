// Lines to read, one at a time, for the code that walks text across lines
// (word moves, bracket matching): the line store, or a plain list in tests.
#pragma once

#include <cstdint>
#include <string>

#include "document/types.h"

namespace gorvane::document {

class LineStore;

class LineSource {
 public:
  virtual ~LineSource() = default;
  virtual std::int32_t LineCount() = 0;
  // The line's bytes with its CR LF; empty past the end.
  virtual std::string Line(LineNo line) = 0;
};

// The document's current text through the line store.
class StoreLines final : public LineSource {
 public:
  explicit StoreLines(LineStore& store) : store_(store) {}
  std::int32_t LineCount() override;
  std::string Line(LineNo line) override;

 private:
  LineStore& store_;
};

}  // namespace gorvane::document
