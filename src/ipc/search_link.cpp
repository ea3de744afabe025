#include "ipc/search_link.h"

#include <span>
#include <string>

namespace gorvane::ipc {

namespace {
constexpr std::string_view kTag = "@SETSCHDATA@";
}

SearchLink::SearchLink(Messenger& messenger) : messenger_(messenger) {
  messenger_.On(kTag, [this](std::string_view m) {
    const auto parsed =
        ParseForEditor(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()));
    const auto settings = parsed ? SearchSettingsOf(*parsed) : std::nullopt;
    if (!settings) {
      ++malformed_;
      return;
    }
    if (onReceived) onReceived(*settings);
  });
}

SearchLink::~SearchLink() { messenger_.On(kTag, nullptr); }

SearchShared SearchLink::Share(const SearchSettings& settings, bool toOtherEditors) {
  SearchShared sent;
  const auto toInfo = BuildSetSearchDataToInfoWindow(settings);
  const auto toEditors = BuildSetSearchDataToOtherEditor(settings);
  if (!toInfo || !toEditors) return sent;
  sent.toInfoWindow = messenger_.SendToInfoWindow(*toInfo);
  if (toOtherEditors) sent.editors = messenger_.BroadcastToEditors(*toEditors, /*sameInfoWindowOnly=*/true);
  return sent;
}

std::optional<SearchSettings> SearchSettingsOf(const ParsedMessage& message) {
  if (message.id != MessageId::kSetSearchDataToOtherEditor && message.id != MessageId::kSetSearchDataToInfoWindow)
    return std::nullopt;
  SearchSettings s;
  s.scope = static_cast<int>(message.Number(0));
  s.options = static_cast<int>(message.Number(1));
  s.fileFilter = message.Number(2) != 0;
  s.share = message.Number(3) != 0;
  s.fileTypes = std::string(message.Text(4));
  s.text = std::string(message.Text(5));
  return s;
}

}  // namespace gorvane::ipc
