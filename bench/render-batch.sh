#!/bin/bash
# The batch's speed-up: eight ten-minute 24-bit stereo files through tarnwell-render with every
# band compressing, one after another (eight processes in turn) and then as one batch with a
# worker per core, in the same run. Each way runs twice and the faster time counts, so passing
# load on the machine stays mostly out of the figures; the processor time of each way is shown
# too (on otherwise idle cores a batch cannot take less than its processor time over the cores). Usage: bench/render-batch.sh [BUILD_DIR]
# (default build/linux; the plug-in is BUILD_DIR/src/Tarnwell.so).
set -euo pipefail
build=${1:-build/linux}
render=$build/tools/render/tarnwell-render
plugin=$build/src/Tarnwell.so
files=8
minutes=10
settings=(--plugin "$plugin"
          --set 1-Thresh=-30 --set 2-Thresh=-30 --set 3-Thresh=-30 --set 4-Thresh=-30
          --set 1-Ratio=4 --set 2-Ratio=4 --set 3-Ratio=4 --set 4-Ratio=4
          --set 1-MakeUp=off --set 2-MakeUp=off --set 3-MakeUp=off --set 4-MakeUp=off --quiet)

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwell-render-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/alone" "$work/batch"

# One demo file, its first 64 seconds repeated (synthesising all ten minutes takes far longer
# than rendering them), copied so that every input is a file of its own.
"$build/tools/render/tarnwell-demo-signal" "$work/in/piece-1.wav" --seconds $((minutes * 60)) --loop 64
inputs=("$work/in/piece-1.wav")
for ((i = 2; i <= files; ++i)); do
    cp "$work/in/piece-1.wav" "$work/in/piece-$i.wav"
    inputs+=("$work/in/piece-$i.wav")
done

# Arithmetic on decimal seconds; awk is part of every Debian system.
calc() { awk "BEGIN { print $1 }"; }
# Runs a command and prints its wall, user and system seconds; the command's own errors still
# reach the terminal.
timed() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>&3; } 3>&2 2>&1
}
alone_all() {
    for input in "${inputs[@]}"; do
        "$render" "$input" "$work/alone/$(basename "$input")" "${settings[@]}"
    done
}
batch_all() {
    "$render" "${settings[@]}" --out-dir "$work/batch" "${inputs[@]}"
}

best_alone=1e9
best_batch=1e9
for round in 1 2; do
    rm -f "$work"/alone/* "$work"/batch/*
    read -r alone alone_user alone_system < <(timed alone_all)
    rm -f "$work"/alone/*
    read -r batch batch_user batch_system < <(timed batch_all)
    printf 'round %d: one after another %.2f s (%.2f s of processor time), batch %.2f s (%.2f s)\n' "$round" \
        "$alone" "$(calc "$alone_user + $alone_system")" "$batch" "$(calc "$batch_user + $batch_system")"
    best_alone=$(calc "$alone < $best_alone ? $alone : $best_alone")
    best_batch=$(calc "$batch < $best_batch ? $batch : $best_batch")
done

printf '%d files of %d minutes, %d cores: one after another %.2f s, batch %.2f s, ratio %.2f (target at most 0.60)\n' \
    "$files" "$minutes" "$(nproc)" "$best_alone" "$best_batch" "$(calc "$best_batch / $best_alone")"
# Elapsed times depend on what else runs: the load shows how busy the machine was.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
