#!/bin/sh
# run-fuzz.sh [SECONDS]: builds the state block fuzz target with clang 14 (libFuzzer, ASan,
# UBSan) in build/fuzz and runs it over the seed corpus for SECONDS seconds (default 30).
# New inputs go to build/fuzz/corpus, crash inputs to build/fuzz/; a crash, a sanitizer
# report or a broken invariant exits non-zero.
set -e
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link $sanitizers" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $sanitizers" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  >/dev/null
cmake --build "$build" --target state_block_fuzz -j2

mkdir -p "$build/corpus"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$build/state_block_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/" \
  "$build/corpus" "$root/tests/fuzz/corpus"
