#!/usr/bin/env bash
# Builds uninstall.exe and every test, and runs them all: unit tests under
# Wine and natively, end-to-end tests in Wine prefixes under Xvfb. Prints how
# long each stage took. Exit code 0 only when every test passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

declare -a stages
stage() {
  local name=$1; shift
  local start=$SECONDS
  echo "== $name"
  "$@"
  stages+=("$(printf '%-12s %4d s' "$name" $((SECONDS - start)))")
}
# Where 32-bit programs run under the emulator (scripts/run32.py), say so,
# with the time the tests of each flavour took (added up: they ran side by side).
flavour_times() {
  [ -f "$log" ] || return 0
  how=$(/usr/bin/python3 scripts/run32.py sh -c 'echo $QBX_RUN32')
  echo "== 32-bit programs: $how"
  awk '/Test +#[0-9]+: / {
       name = $0; sub(/.*Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
       t = $0; sub(/ sec.*/, "", t); sub(/.* /, "", t)
       f = "other"
       if (match(name, /_(nt64|nt32|win64|win32|win98|x64-win98|x64)(_[0-9]+)?$/)) {
         f = substr(name, RSTART + 1, RLENGTH - 1); sub(/_[0-9]+$/, "", f)
       }
       sum[f] += t; n[f]++
     }
     END { for (f in sum) printf "%-10s %3d tests %6d s\n", f, n[f], sum[f] }' "$log" | sort
}
report() {
  flavour_times
  echo "== stage times"
  printf '%s\n' "${stages[@]}"
  printf '%-12s %4d s\n' total "$SECONDS"
}
trap report EXIT

log=build/release/ctest-output.txt
rm -f "$log"
jobs=$(nproc 2>/dev/null || echo 2)
# The end-to-end tests spend much of their time waiting for windows and
# programs: three at a time per core keep the cores busy.
test_jobs=$((jobs * 3))
stage install bash scripts/install-deps.sh
stage configure cmake --preset release
stage build cmake --build --preset release -j "$jobs"
run_tests() {
  ctest --preset release -j "$test_jobs" --timeout 1800 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}
stage test run_tests
