// Oniguruma in its Shift-JIS mode, for the differential test: its header
// stays in oniguruma_reference.cpp (it clashes with the system's regex.h).
#pragma once

#include <string>

// The library set up for Shift-JIS while it lives.
struct OnigurumaSession {
  OnigurumaSession();
  ~OnigurumaSession();
};

// The leftmost match of the pattern (Perl syntax) as "start,end", "-" for
// none, "refused" when the library does not take the pattern.
std::string OnigFind(const std::string& pattern, const std::string& text, bool distinguishCase);
