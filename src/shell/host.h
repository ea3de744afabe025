// The shell's names for the host and its text helpers (base/host.h).
#pragma once

#include "base/host.h"

namespace gorvane::shell {

using base::BoxAnswer;
using base::BoxButtons;
using base::BoxIcon;
using base::Host;
using base::kCaption;
using base::MessageBoxRequest;
using base::Sjis;
using base::Status;
using base::Tell;
using base::Utf8;

}  // namespace gorvane::shell
