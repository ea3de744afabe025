#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: when nothing is
# missing it only checks (no package-index refresh), so it is cheap to run before
# every build.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  clang llvm libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 xvfb xauth x11-utils fonts-ipafont-gothic imagemagick
  locales python3 nkf
  libonig-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # A refresh that fails for one architecture or mirror must not stop us: the
  # lists that did refresh are enough for what we install.
  $SUDO apt-get update -q || echo "setup: apt-get update reported errors; going on with the lists we have"
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# mingw: the posix thread model (needed for std::thread and std::mutex).
for arch in x86_64 i686; do
  for tool in g++ gcc; do
    alt="/usr/bin/${arch}-w64-mingw32-${tool}-posix"
    if [ -x "$alt" ] && [ "$(readlink -f /usr/bin/${arch}-w64-mingw32-${tool})" != "$(readlink -f "$alt")" ]; then
      $SUDO update-alternatives --set "${arch}-w64-mingw32-${tool}" "$alt" >/dev/null
    fi
  done
done

# The Japanese locale Wine runs under.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  # Only what is missing: a full run removes every locale for a while, and
  # shells started meanwhile with one of them set warn that it cannot be set.
  $SUDO locale-gen --keep-existing >/dev/null
fi
echo "setup: all packages present"
