#!/usr/bin/env bash
# Size of the release uninstall.exe and its largest sections.
#   bash bench/size.sh [path/to/uninstall.exe]      (goal: at most 64 KB)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build/release/app/uninstall.exe}
[ -f "$exe" ] || { echo "no $exe: build the release preset first" >&2; exit 1; }
bytes=$(stat -c %s "$exe")
goal=$((64 * 1024))
verdict=$([ "$bytes" -le "$goal" ] && echo met || echo MISSED)
printf 'size      uninstall.exe %d bytes (%s KB), goal <= %d bytes: %s\n' "$bytes" "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1024 }')" "$goal" "$verdict"
# Sections in the file by size, largest first (.bss takes memory only).
i686-w64-mingw32-objdump -h "$exe" | awk '$1 ~ /^[0-9]+$/ && $2 != ".bss" { print $2, $3 }' |
  while read -r name hex; do echo "$name $((16#$hex))"; done | sort -k2,2nr | head -6 |
  while read -r name size; do printf 'size        section %-8s %6d bytes\n' "$name" "$size"; done
