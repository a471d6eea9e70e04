#!/bin/bash
# The batch's speed-up: eight ten-minute 24-bit stereo files through tarnwell-render with every
# band compressing, one after another (eight processes in turn) and then as one batch with a
# worker per core, in the same run. Each way runs twice and the faster time counts, so other
# load on the machine stays mostly out of the figures. Usage: bench/render-batch.sh [BUILD_DIR]
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

now() { date +%s.%N; }
# Arithmetic on decimal seconds; awk is part of every Debian system.
calc() { awk "BEGIN { print $1 }"; }
best_alone=1e9
best_batch=1e9
for round in 1 2; do
    rm -f "$work"/alone/* "$work"/batch/*
    start=$(now)
    for input in "${inputs[@]}"; do
        "$render" "$input" "$work/alone/$(basename "$input")" "${settings[@]}" >/dev/null
    done
    alone=$(calc "$(now) - $start")
    rm -f "$work"/alone/*
    start=$(now)
    "$render" "${settings[@]}" --out-dir "$work/batch" "${inputs[@]}" >/dev/null
    batch=$(calc "$(now) - $start")
    printf 'round %d: one after another %.2f s, batch %.2f s\n' "$round" "$alone" "$batch"
    best_alone=$(calc "$alone < $best_alone ? $alone : $best_alone")
    best_batch=$(calc "$batch < $best_batch ? $batch : $best_batch")
done

cores=$(nproc)
ratio=$(calc "$best_batch / $best_alone")
printf '%d files of %d minutes, %d cores: one after another %.2f s, batch %.2f s, ratio %.2f (target at most 0.60)\n' \
    "$files" "$minutes" "$cores" "$best_alone" "$best_batch" "$ratio"
