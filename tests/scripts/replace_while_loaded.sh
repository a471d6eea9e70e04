#!/bin/bash
# A host keeps the plug-in loaded and busy while the library is replaced twice with the same
# step `make dist` uses: the host must run on and close cleanly, and the file must end up
# being the new build (a new file, not the old one rewritten).
# usage: replace_while_loaded.sh INSTALL_SCRIPT BUSY_HOST PLUGIN OTHER_BUILD
set -u
install=$1 host=$2 plugin=$3 other=$4
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

work=$(mktemp -d)
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill -9 "$host_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The two builds must differ in their code, or an in-place copy would not show anything.
check "the other build differs from the plug-in" bash -c "! cmp -s '$plugin' '$other'"

installed=$work/dist/Tarnwell.so
"$install" "$plugin" "$installed"
first_inode=$(stat -c %i "$installed")

mkfifo "$work/control"
"$host" "$installed" <"$work/control" >"$work/host.out" 2>"$work/host.err" &
host_pid=$!
exec 3>"$work/control"   # the host runs until this end closes
for _ in $(seq 100); do
  grep -q ready "$work/host.out" 2>/dev/null && break
  sleep 0.1
done
check "the host started processing" grep -q ready "$work/host.out"

for build in "$other" "$plugin"; do
  "$install" "$build" "$installed"
  check "install of $(basename "$build") succeeded" test $? -eq 0
  sleep 0.5
  check "the host runs on after installing $(basename "$build")" kill -0 "$host_pid"
  check "the installed file is $(basename "$build")" cmp -s "$build" "$installed"
done

exec 3>&-
wait "$host_pid"
status=$?
host_pid=""
check "the host closed cleanly (status $status)" test "$status" -eq 0
check "the host processed blocks and unloaded" grep -qE '^blocks [0-9]+$' "$work/host.out"
check "the installed file is a new file" test "$(stat -c %i "$installed")" != "$first_inode"
check "the installed file keeps the build's mode" \
  test "$(stat -c %a "$installed")" = "$(stat -c %a "$plugin")"
check "no temporary file is left beside it" \
  test "$(find "$work/dist" -mindepth 1 | wc -l)" -eq 1

# A destination that cannot be replaced (here a folder in the way; on Windows a loaded DLL) is
# refused with a message naming it, what was there stays, and no temporary is left.
mkdir -p "$work/blocked/Tarnwell.so/inside"
"$install" "$plugin" "$work/blocked/Tarnwell.so" 2>"$work/refused.err"
check "a refused install fails" test $? -ne 0
check "the message names the file" grep -q "blocked/Tarnwell.so" "$work/refused.err"
check "what was there stays" test -d "$work/blocked/Tarnwell.so/inside"
check "no temporary is left after a refusal" test "$(find "$work/blocked" -maxdepth 1 -mindepth 1 | wc -l)" -eq 1

[ -s "$work/host.err" ] && cat "$work/host.err"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
