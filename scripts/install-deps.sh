#!/bin/sh
# Installs the Debian packages the build and the tests need, and only those that are missing.
set -e
PACKAGES="cmake ninja-build g++ gcc make ccache pkg-config
g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth xdotool fonts-liberation
libgtest-dev googletest libbenchmark-dev
clang libclang-rt-14-dev libfuzzer-14-dev
libsndfile1-dev libstb-dev libfreetype-dev libeigen3-dev python3
libx11-dev libxext-dev libxfixes-dev libxres-dev libfontconfig-dev libxkbcommon-dev"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

echo "install-deps: installing missing Debian packages:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
