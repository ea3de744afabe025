// gvtool: the character-code library on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "gvtool_commands.h"

#ifdef _WIN32
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
    args.push_back(s);
  }
  return gorvane::cli::RunGvtool(args, stdin, stdout, stderr);
}
#else
int main(int argc, char** argv) {
  return gorvane::cli::RunGvtool(std::vector<std::string>(argv + 1, argv + argc), stdin, stdout, stderr);
}
#endif
