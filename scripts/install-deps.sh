#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (run as root).
# Does nothing when everything is there already.
#
# A package mirror can be in the middle of a sync: then one index fails to
# download ("File has unexpected size ... Mirror sync in progress?"), and
# newer amd64 libraries of an updated suite may have no i386 twins, so the
# install fails with "held broken packages". The update is retried, a
# partial update is accepted, and a failed install is retried against the
# main suite alone. The last line says what was done.
set -euo pipefail

packages=(
  cmake make g++ git ca-certificates
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb fonts-wine
  googletest libgtest-dev
  python3 python3-pytest python3-pytest-rerunfailures
  locales liblnk-utils imagemagick x11-apps
  clang libclang-rt-14-dev
  nsis libbenchmark-dev
)

# Where the processor refuses 32-bit x86 code, Wine's 32-bit loader runs
# under a user-mode emulator (scripts/run32.py). Debian 12's own qemu-user
# (7.2) runs Wine too slowly for its services; the one of bookworm-backports
# (10) runs it well. The backports suite is added beside the sources apt
# already has, with the same mirror; apt prefers the main suite for every
# other package, and the package registers nothing with the machine's
# binfmt_misc (qemu-user-binfmt, which would, is not installed).
emulator_ok() {
  local v
  v=$(/usr/bin/qemu-i386 --version 2>/dev/null | sed -n 's/.*version \([0-9]*\)\..*/\1/p' | head -1)
  [ -n "$v" ] && [ "$v" -ge 10 ]
}
install_emulator() {
  [ "${QBX_EMULATE:-}" != 1 ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  emulator_ok && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: 32-bit programs need the emulator here; run as root to install it" >&2
    return 1
  fi
  local list=/etc/apt/sources.list.d/qbx-backports.sources
  if [ ! -f "$list" ]; then
    local uri
    uri=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
          tr ' ' '\n' | grep -v -- '-security' | grep -m1 '/debian/\?$' || true)
    [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
    if [ -z "$uri" ]; then
      echo "install-deps: no Debian mirror found in apt's sources for bookworm-backports" >&2
      return 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uri" > "$list"
  fi
  local try
  for try in 1 2 3; do
    apt-get update -q && break
    sleep $((try * 5))
  done
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user
  emulator_ok || { echo "install-deps: the emulator from bookworm-backports does not run" >&2; return 1; }
  echo "install-deps: qemu-user $(/usr/bin/qemu-i386 --version | head -1 | sed 's/.*version //') installed from bookworm-backports to run 32-bit programs"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  install_emulator
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

# The update: up to three tries; one that fetched some indexes but not all
# is good enough to go on with (apt keeps the old lists of the failed ones).
update_note="package lists updated"
update_ok=false
for try in 1 2 3; do
  if apt-get update -q; then
    update_ok=true
    break
  fi
  [ "$try" -lt 3 ] && sleep $((try * 5))
done
if ! $update_ok; then
  if ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1; then
    update_note="package lists updated in part (some indexes failed 3 times)"
  else
    echo "install-deps: no package lists could be fetched" >&2
    exit 1
  fi
fi

install_note="installed from every suite"
if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  # The main suite alone has every i386 twin of its amd64 libraries.
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "install-deps: install failed; trying again from the main suite $suite alone" >&2
  apt-get install -y -q --no-install-recommends -t "$suite" "${missing[@]}"
  install_note="installed from the main suite $suite alone after the install from every suite failed"
fi
echo "install-deps: ${#missing[@]} packages; $update_note; $install_note"
install_emulator
