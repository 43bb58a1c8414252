#!/usr/bin/env bash
# Builds the benchmarks and prints the performance table.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc)" --target bench_archive bench_music bench_timeline music > /dev/null
build/bench/bench_archive 50 nonsolid
build/bench/bench_archive 50 solid
build/bench/bench_music 60
build/bench/bench_timeline
