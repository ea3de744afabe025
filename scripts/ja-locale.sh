# Sourced by the scripts that run Wine. gv_ja_locale sets the Japanese locale
# Wine runs under, but only once it exists (scripts/setup.sh generates it):
# named before, it makes every shell started from then on warn "setlocale:
# LC_ALL: cannot change locale (ja_JP.UTF-8)". Returns 1 when it is missing.
gv_ja_locale() {
  if locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
    return 0
  fi
  echo "${0##*/}: the ja_JP.UTF-8 locale is missing (scripts/setup.sh generates it)" >&2
  return 1
}
