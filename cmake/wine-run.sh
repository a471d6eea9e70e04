#!/bin/sh
# Runs a Windows program under Wine in the build tree's private prefix, on a virtual X display.
#   wine-run.sh PROGRAM [ARGS...]   run a program
#   wine-run.sh --start             create the prefix if needed, keep one wineserver alive and
#                                   start an Xvfb display for the windows of the tests
#   wine-run.sh --stop              stop that wineserver and that Xvfb (by its PID)
# The prefix lives next to the CMake cache of the calling build (TARNWELL_WINEPREFIX overrides);
# the display's number and PID are kept in files beside the prefix.
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
display_file="$prefix.display"
pid_file="$prefix.xvfb-pid"

stop_display() {
  if [ -f "$pid_file" ]; then
    kill "$(cat "$pid_file")" 2>/dev/null || true
    rm -f "$pid_file"
  fi
  rm -f "$display_file"
}

case "$1" in
  --start)
    mkdir -p "$WINEPREFIX"
    stop_display
    # -displayfd picks a free display number and writes it once the server is ready.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file.new" </dev/null >/dev/null 2>&1 &
    echo $! >"$pid_file"
    tries=0
    while [ ! -s "$display_file.new" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    mv "$display_file.new" "$display_file"
    export DISPLAY=":$(cat "$display_file")"
    wineserver -p </dev/null >/dev/null 2>&1 || true  # already running: keep it
    # Boot the prefix (and start Wine's own services) with no terminal or pipe inherited, so
    # that the long-lived service processes hold none of a caller's output streams.
    wine wineboot --init </dev/null >/dev/null 2>&1 || true
    exit 0 ;;
  --stop)
    wineserver -k 2>/dev/null || true
    stop_display
    exit 0 ;;
esac
if [ -s "$display_file" ]; then
  export DISPLAY=":$(cat "$display_file")"
fi
exec wine "$@"
