#include "shell/cmdline.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/sjis_case.h"

namespace gorvane::shell {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}
std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits after an option and its blanks, up to the next blank.
std::string ValueAfter(std::string_view line, std::size_t at, std::size_t optionLength) {
  std::string_view rest = TrimLeft(line.substr(at + optionLength));
  std::size_t end = 0;
  while (end < rest.size() && !Blank(rest[end])) ++end;
  return std::string(rest.substr(0, end));
}

// "/MS" and "/FN" count where they stand as options: at the start or after a
// blank (a file name may contain the letters).
std::size_t FindOption(std::string_view line, std::string_view option) {
  for (std::size_t at = line.find(option); at != std::string_view::npos; at = line.find(option, at + 1))
    if (at == 0 || Blank(line[at - 1])) return at;
  return std::string_view::npos;
}

std::uint32_t Decimal(std::string_view digits) {
  std::uint64_t v = 0;
  for (char c : digits) {
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
    if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return static_cast<std::uint32_t>(v);
}

}  // namespace

StartupArguments ParseCommandLine(std::string_view line) {
  StartupArguments a;
  // Leading options, word by word.
  std::size_t pos = 0;
  for (;;) {
    while (pos < line.size() && Blank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '/') break;
    std::size_t end = pos;
    while (end < line.size() && !Blank(line[end])) ++end;
    const std::string_view word = line.substr(pos, end - pos);
    const std::string lower = charcode::SjisToLower(word);
    if (word == "/MS" || word == "/FN") break;  // these end the file name, handled below
    if (lower == "/e") a.codeOverride = charcode::kCodeEuc, a.lineEndOverride = 3;
    else if (lower == "/s") a.codeOverride = charcode::kCodeSjis, a.lineEndOverride = 1;
    else if (lower == "/u8") a.codeOverride = charcode::kCodeUtf8, a.lineEndOverride = 3;
    else if (lower == "/ub") a.codeOverride = charcode::kCodeUtf16BE, a.lineEndOverride = 1;
    else if (lower == "/ul") a.codeOverride = charcode::kCodeUtf16LE, a.lineEndOverride = 1;
    else if (lower == "/p") a.plainOption = true;
    else if (lower.size() >= 2 && lower[1] == 'j') {
      // The number comes from this word only, never from a file name after it.
      std::size_t d = 2;
      while (d < word.size() && !std::isdigit(static_cast<unsigned char>(word[d]))) ++d;
      std::size_t e = d;
      while (e < word.size() && std::isdigit(static_cast<unsigned char>(word[e]))) ++e;
      if (e > d) a.jumpLine = Decimal(word.substr(d, e - d));
    } else if (word.size() > 4 && word.substr(0, 3) == "/PA") {
      std::uint64_t handle = 0;
      bool ok = true;
      for (char c : word.substr(4)) {
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (v < 0 || handle > (~0ull >> 4)) {
          ok = false;
          break;
        }
        handle = handle << 4 | static_cast<std::uint64_t>(v);
      }
      if (ok) a.ownerWindow = handle;
    }
    pos = end;
  }

  // The file name: up to "/MS" or "/FN" when given, else to the last
  // non-blank character.
  const std::string_view rest = line.substr(std::min(pos, line.size()));
  const std::size_t ms = FindOption(rest, "/MS"), fn = FindOption(rest, "/FN");
  std::string_view name = TrimRight(rest.substr(0, std::min(ms, fn)));
  if (ms != std::string_view::npos) {
    a.startedByInfoWindow = true;
    a.infoMailslotText = ValueAfter(rest, ms, 3);
    if (!AllDigits(*a.infoMailslotText)) a.error = CommandLineError::kBadInfoWindowNumber;
    else a.infoWindow = static_cast<int>(std::min<std::uint32_t>(Decimal(*a.infoMailslotText), 65535));
  }
  if (fn != std::string_view::npos) {
    a.fileNumberText = ValueAfter(rest, fn, 3);
    if (!AllDigits(*a.fileNumberText)) {
      if (a.error == CommandLineError::kNone) a.error = CommandLineError::kBadFileNumber;
    } else {
      const std::uint32_t n = Decimal(*a.fileNumberText);
      a.fileNumber = static_cast<std::uint16_t>(n == 0 || n > 65535 ? 1 : n);
    }
  }
  // Quotes: an even number are all removed; an odd number leaves no name.
  const auto quotes = std::count(name.begin(), name.end(), '"');
  std::string file;
  if (quotes % 2 == 0) {
    for (char c : name)
      if (c != '"') file += c;
  }
  a.fileName = file;
  a.isNewFile = a.fileName.empty();
  if (!a.isNewFile) {
    const std::string lowerName = charcode::SjisToLower(a.fileName);
    a.isProject = lowerName.size() >= 4 && lowerName.compare(lowerName.size() - 4, 4, ".qvp") == 0 &&
                  !a.plainOption && !a.startedByInfoWindow;
  }
  return a;
}

std::string ProgramFolderOf(std::string_view full) {
  full = TrimLeft(full);
  std::string_view first;
  if (!full.empty() && full[0] == '"') {
    const std::size_t close = full.find('"', 1);
    first = full.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  } else {
    std::size_t end = 0;
    while (end < full.size() && !Blank(full[end])) ++end;
    first = full.substr(0, end);
  }
  std::size_t cut = 0;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (charcode::IsSjisLead(static_cast<std::uint8_t>(first[i])) && i + 1 < first.size()) {
      ++i;
      continue;
    }
    if (first[i] == '\\' || first[i] == '/') cut = i + 1;
  }
  return std::string(first.substr(0, cut));
}

std::string_view ArgumentsOf(std::string_view full) {
  full = TrimLeft(full);
  std::size_t end = 0;
  if (!full.empty() && full[0] == '"') {
    const std::size_t close = full.find('"', 1);
    end = close == std::string_view::npos ? full.size() : close + 1;
  } else {
    while (end < full.size() && !Blank(full[end])) ++end;
  }
  return TrimLeft(full.substr(end));
}

std::string FrameTitle(std::string_view fileName, std::string_view folder, bool modified) {
  std::string title(fileName);
  if (!folder.empty()) {
    title.append(" [ ");
    title.append(folder);
    title.append(" ]");
  }
  if (modified) title.append(" *");
  return title;
}

int SizeValueForScreen(int screenHeight) {
  if (screenHeight <= 600) return 9;
  if (screenHeight <= 800) return 10;
  if (screenHeight <= 1024) return 11;
  return 12;
}

}  // namespace gorvane::shell
