#include <vector>

#include "base/host.h"
#include "charcode/charcode.h"

namespace gorvane::base {

namespace cc = gorvane::charcode;

std::string Sjis(std::u8string_view utf8) {
  std::string out(utf8.size(), '\0');
  const cc::Converted c = cc::Utf8ToSjis(cc::Bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()),
                                         cc::MutBytes(reinterpret_cast<std::uint8_t*>(out.data()), out.size()));
  out.resize(c.written);
  return out;
}

std::string Utf8(std::string_view sjis) {
  std::string out(sjis.size() * 3 + 8, '\0');
  const cc::Converted c =
      cc::SjisToUtf8(cc::Bytes(reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size()),
                     cc::MutBytes(reinterpret_cast<std::uint8_t*>(out.data()), out.size()), nullptr);
  out.resize(c.written);
  return out;
}

BoxAnswer Tell(Host& host, std::u8string_view text, BoxIcon icon, BoxButtons buttons, std::u8string_view caption) {
  const std::string t = Sjis(text), c = Sjis(caption);
  return host.ShowMessageBox(MessageBoxRequest{t, c, icon, buttons, true});
}

void Status(Host& host, std::u8string_view text) { host.ShowStatus(Sjis(text)); }

}  // namespace gorvane::base
