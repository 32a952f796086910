#!/usr/bin/env bash
# Runs the tool's main job in a sandbox: builds uninstall.exe, makes a Wine
# prefix of its own under build/sandbox with a sample install folder, and
# uninstalls that folder from the confirmation to self-removal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target uninstall winpilot holder recorder >/dev/null
/usr/bin/python3 scripts/sandbox.py "$@"
