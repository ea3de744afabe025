// Win32 only: loading, checking and binding the editor's libraries.
#include "shell/libraries_win32.h"

#include "charcode/qorvchar_binding_win32.h"

namespace gorvane::shell::win32 {

namespace {

constexpr int kOldestRefused = 371;

// UTF-8 text of our own (well-formed) as UTF-16.
std::wstring WideOfUtf8(std::u8string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? b : n == 2 ? b & 0x1Fu : n == 3 ? b & 0x0Fu : b & 0x07u;
    for (std::size_t k = 1; k < n && i + k < text.size(); ++k) cp = cp << 6 | (static_cast<std::uint8_t>(text[i + k]) & 0x3Fu);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}

// A library's version: 0 when it cannot be loaded or has no version export.
int VersionOf(HMODULE m, const char* function) {
  if (m == nullptr) return 0;
  using Version = int(WINAPI*)();
  auto f = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(m, function)));
  return f != nullptr ? f() : 0;
}

}  // namespace

std::wstring ProgramFolderOfCommandLine(const wchar_t* commandLine) {
  std::wstring_view full = commandLine != nullptr ? commandLine : L"";
  while (!full.empty() && (full.front() == L' ' || full.front() == L'\t')) full.remove_prefix(1);
  std::wstring_view first;
  if (!full.empty() && full.front() == L'"') {
    const std::size_t close = full.find(L'"', 1);
    first = full.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1);
  } else {
    first = full.substr(0, full.find_first_of(L" \t"));
  }
  const std::size_t cut = first.find_last_of(L"\\/");
  return std::wstring(cut == std::wstring_view::npos ? std::wstring_view() : first.substr(0, cut + 1));
}

void ShowStartupError(std::u8string_view text) {
  MessageBoxW(nullptr, WideOfUtf8(text).c_str(), L"Gorvane", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

bool LoadLibraries(const std::wstring& folder, qorvetc::DllTmpCache& cache) {
  struct Library {
    const wchar_t* file;
    const char* version;
    std::u8string_view tooOld;
  } const libraries[] = {
      {L"QORVchar.dll", "GetQORVchar_version", u8"QORVchar.dllのバージョンが古いです。\n起動できません。"},
      {L"QORVetc.dll", "GetQORVetc_version", u8"QORVetc.dllのバージョンが古いです。\n起動できません。"},
      {L"QORVimage.dll", "GetQORVimage_version", u8"QORVimage.dllのバージョンが古いです。\n起動できません。"},
  };
  // A library that cannot be loaded gives our box, never one of the system's.
  const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  bool ok = true;
  for (std::size_t i = 0; i < std::size(libraries) && ok; ++i) {
    const Library& l = libraries[i];
    const std::wstring path = folder + l.file;
    // By its path, its own imports searched from its folder (a bare name, when
    // the command line names no folder, goes the system's search).
    HMODULE m = LoadLibraryExW(path.c_str(), nullptr, folder.empty() ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
    bool current = VersionOf(m, l.version) > kOldestRefused;
    if (current && i == 0) current = charcode::BindQORVchar(m);
    if (current && i == 1) current = cache.Bind(m);
    if (!current) {
      if (m != nullptr) FreeLibrary(m);
      ShowStartupError(l.tooOld);
      ok = false;
    }
  }
  SetErrorMode(errorMode);
  return ok;
}

}  // namespace gorvane::shell::win32
