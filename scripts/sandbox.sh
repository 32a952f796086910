#!/usr/bin/env bash
# Runs the tool's main job in a sandbox: builds uninstall.exe, makes a Wine
# prefix of its own under build/sandbox with a sample install folder, and
# uninstalls that folder from the confirmation to self-removal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset release >/dev/null
targets=(uninstall winpilot holder recorder)
# The 64-bit stand-in, where this machine cannot run 32-bit x86 programs.
cmake --build --preset release --target help | grep -w x64 >/dev/null && targets+=(x64)
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" >/dev/null
/usr/bin/python3 scripts/sandbox.py "$@"
