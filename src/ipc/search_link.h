// The search settings a person applies in the search dialog, as the other
// editors and the info window hear of them ("@SETSCHDATA@"): sent to this
// editor's info window whenever it takes them, and to the other editors
// attached to the same info window when sharing is asked for; received from
// another editor and handed to the editor.
//
// Malformed messages are counted and never acted on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "ipc/messages.h"
#include "ipc/messenger.h"

namespace gorvane::ipc {

// What was sent.
struct SearchShared {
  bool toInfoWindow = false;  // the info window took the message
  int editors = 0;            // how many other editors it was written to
};

class SearchLink {
 public:
  explicit SearchLink(Messenger& messenger);
  ~SearchLink();
  SearchLink(const SearchLink&) = delete;
  SearchLink& operator=(const SearchLink&) = delete;

  // Sends the settings; a text that cannot be carried (empty, too long, a
  // file-type list with a blank) is not sent at all.
  SearchShared Share(const SearchSettings& settings, bool toOtherEditors);

  // Settings another editor applied, as received.
  std::function<void(const SearchSettings&)> onReceived;

  std::uint64_t malformed() const { return malformed_; }

 private:
  Messenger& messenger_;
  std::uint64_t malformed_ = 0;
};

// The settings of a parsed "@SETSCHDATA@" (nullopt for any other message).
std::optional<SearchSettings> SearchSettingsOf(const ParsedMessage& message);

}  // namespace gorvane::ipc
