// Win32 only: the search primitives (search_text.h, fold_text.h, wildcard.h)
// over QORVetc.dll's exports, for the editor program, which links this
// instead of their code. DllTmpCache::Bind binds them with the cache's calls.
#pragma once

#include <windows.h>

namespace gorvane::qorvetc {

// False (nothing bound) when one of the exports is missing. Until bound,
// every search finds nothing and every conversion leaves its text alone.
bool BindSearchExports(HMODULE library);

}  // namespace gorvane::qorvetc
