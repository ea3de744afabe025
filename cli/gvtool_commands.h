// gvtool's commands over the portable core; main() only gathers the
// arguments. Exit codes: 0 done, 2 error, 3 a character was replaced; grep:
// 0 something matched, 1 nothing did, 2 an error.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace gorvane::cli {

inline constexpr int kExitOk = 0, kExitNoMatch = 1, kExitError = 2, kExitLossy = 3;

// in, out, err: the tool's standard streams; a file named "-" is in or out.
int RunGvtool(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
inline int RunGvtool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  return RunGvtool(args, stdin, out, err);
}

// The document commands (gvtool_documents.cpp).
int LoadCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
// gvtool edit: a script of editor steps on a loaded document.
int EditCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
int RoundtripCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
// gvtool grep: the editor's search over files (gvtool_grep.cpp).
int GrepCommand(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err);
// The shared tables of the running editors (gvtool_ipc.cpp).
int IpcCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
// A command-line text (UTF-8: a path, a pattern) in Shift-JIS, as the editor
// holds it; false when a character has no equivalent.
bool SjisOfUtf8(const std::string& utf8, std::string* sjis);
// A FORM name: its code and whether it carries a byte-order mark.
bool LookUpForm(const std::string& name, int* code, bool* bom);

}  // namespace gorvane::cli
