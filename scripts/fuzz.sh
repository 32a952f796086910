#!/usr/bin/env bash
# Runs every fuzz target (or those named) for a number of executions and
# prints, for each: executions, coverage, and any crash with its input file.
#   bash scripts/fuzz.sh [--runs N] [target ...]     (default 10,000,000 runs)
# A crash input is kept in build/fuzz/crashes/<target>/; copy it into
# fuzz/regressions/<target>/ once fixed, so every test run replays it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=10000000
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
bash scripts/install-deps.sh
cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQBX_SANITIZE=ON -DQBX_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/fuzz/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi
status=0
printf '%-16s %12s %8s %10s  %s\n' target executions cov seconds result
for t in "${targets[@]}"; do
  work=build/fuzz/work/$t crashes=build/fuzz/crashes/$t log=build/fuzz/$t.log
  mkdir -p "$work" "$crashes"
  start=$SECONDS
  set +e
  "build/fuzz/fuzz/fuzz_$t" -runs="$runs" -timeout=10 -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$work" "fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  if [ $rc -eq 0 ]; then
    result=ok
  else
    result="CRASH: $(ls -t "$crashes" | head -1) (see $log)"
    status=1
  fi
  printf '%-16s %12s %8s %10s  %s\n' "$t" "${execs:-?}" "${cov:-?}" $((SECONDS - start)) "$result"
done
exit $status
