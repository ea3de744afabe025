#include "oniguruma_reference.h"

#include <oniguruma.h>

OnigurumaSession::OnigurumaSession() {
  OnigEncoding encodings[] = {ONIG_ENCODING_SJIS};
  onig_initialize(encodings, 1);
}

OnigurumaSession::~OnigurumaSession() { onig_end(); }

std::string OnigFind(const std::string& pattern, const std::string& text, bool distinguishCase) {
  regex_t* reg = nullptr;
  OnigErrorInfo info;
  const auto* p = reinterpret_cast<const OnigUChar*>(pattern.data());
  if (onig_new(&reg, p, p + pattern.size(), distinguishCase ? ONIG_OPTION_NONE : ONIG_OPTION_IGNORECASE,
               ONIG_ENCODING_SJIS, ONIG_SYNTAX_PERL, &info) != ONIG_NORMAL)
    return "refused";
  OnigRegion* region = onig_region_new();
  const auto* s = reinterpret_cast<const OnigUChar*>(text.data());
  const int r = onig_search(reg, s, s + text.size(), s, s + text.size(), region, ONIG_OPTION_NONE);
  std::string out = r >= 0 ? std::to_string(region->beg[0]) + "," + std::to_string(region->end[0]) : "-";
  onig_region_free(region, 1);
  onig_free(reg);
  return out;
}
