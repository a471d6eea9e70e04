#!/bin/sh
# Runs a Windows program under Wine in the build tree's private prefix.
#   wine-run.sh PROGRAM [ARGS...]   run a program
#   wine-run.sh --start             create the prefix if needed and keep one wineserver alive
#   wine-run.sh --stop              stop that wineserver
# The prefix lives next to the CMake cache of the calling build (TARNWELL_WINEPREFIX overrides).
set -e
if [ -n "$TARNWELL_WINEPREFIX" ]; then
  prefix="$TARNWELL_WINEPREFIX"
else
  dir=$(pwd)
  while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = "/" ] && dir=$(pwd)
  prefix="$dir/wineprefix"
fi
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
case "$1" in
  --start)
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    # Boot the prefix (and start Wine's own services) with no terminal or pipe inherited, so
    # that the long-lived service processes hold none of a caller's output streams.
    wine wineboot --init </dev/null >/dev/null 2>&1 || true
    exit 0 ;;
  --stop)
    wineserver -k 2>/dev/null || true
    exit 0 ;;
esac
exec wine "$@"
