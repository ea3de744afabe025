// Positions as gtest prints them in failures: numbers, not bytes.
#pragma once

#include <ostream>

#include "document/types.h"

namespace gorvane::document {

template <typename Tag>
void PrintTo(const Position<Tag>& p, std::ostream* os) {
  *os << p.value;
}
inline void PrintTo(const TextPos& p, std::ostream* os) { *os << "line " << p.line.value << " col " << p.column.value; }

}  // namespace gorvane::document
