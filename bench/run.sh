#!/usr/bin/env bash
# Runs every benchmark and prints each figure with its goal:
#   size       the release uninstall.exe and its largest sections
#   uninstall  10,000 files in 500 folders against an NSIS uninstaller and
#              the floor (bench/floor.cpp: the deletions and nothing else)
#   startup    process start to the visible Setup dialog against a minimal
#              program that shows one dialog
#   langfile   load and index of a 64 KB language file, 10,000 lookups
#              (native, Google Benchmark), once the language file exists
#   bash bench/run.sh [--quick]     (--quick: 1,000 files, 3 runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scale=(--files 10000 --folders 500 --runs 5)
startup=(--runs 11)
if [ "${1:-}" = --quick ]; then
  scale=(--files 1000 --folders 50 --runs 3)
  startup=(--runs 5)
fi
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j 2 >/dev/null
python=/usr/bin/python3
log=build/bench/run.log
mkdir -p build/bench
: >"$log"
{
  echo "== size"; bash bench/size.sh
  echo "== uninstall at scale"; "$python" bench/uninstall_scale.py "${scale[@]}"
  echo "== start-up"; "$python" bench/startup.py "${startup[@]}"
  if [ -f bench/langfile_bench.cpp ]; then
    echo "== language file"
    cmake -S . -B build/bench/native -DCMAKE_BUILD_TYPE=Release -DQBX_BENCH=ON -DQBX_TESTS=OFF >/dev/null
    cmake --build build/bench/native -j 2 --target langfile_bench >/dev/null
    build/bench/native/bench/langfile_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
  fi
} 2>&1 | tee -a "$log"
echo "== goals"
grep -E 'goal' "$log"
