// What a close request does: refused while other work runs, ignored while
// the document loads, a question when it is modified. Portable; the shell
// supplies the situation and carries out the answer.
#pragma once

#include <functional>
#include <string>

#include "shell/host.h"

namespace gorvane::shell {

struct CloseSituation {
  bool groupLockFree = true;  // the group lock could be taken at once
  bool loading = false;
  bool searchingInFiles = false;
  bool compiling = false;
  bool activating = false;
  bool modified = false;
};

struct CloseOutcome {
  bool close = false;
  int statusFlag = -1;  // the flag for the file's status record ("No": 0), -1 none
};

// The refusal text for work still running (Shift-JIS), "" when none runs.
std::string BusyMessage(bool searchingInFiles, bool compiling, bool activating);

// Shows what the request needs (refusals, the question, the status text)
// and saves through save() when the user says so; a failed save keeps the
// editor open.
CloseOutcome RequestClose(Host& host, const CloseSituation& situation, const std::function<bool()>& save);

}  // namespace gorvane::shell
