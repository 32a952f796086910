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
report() {
  echo "== stage times"
  printf '%s\n' "${stages[@]}"
  printf '%-12s %4d s\n' total "$SECONDS"
}
trap report EXIT

jobs=$(nproc 2>/dev/null || echo 2)
# The end-to-end tests spend much of their time waiting for windows and
# programs: three at a time per core keep the cores busy.
test_jobs=$((jobs * 3))
stage install bash scripts/install-deps.sh
stage configure cmake --preset release
stage build cmake --build --preset release -j "$jobs"
stage test ctest --preset release -j "$test_jobs" --timeout 1800
