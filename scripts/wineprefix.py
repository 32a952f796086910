#!/usr/bin/python3
"""Wine prefixes for the tests: one booted base per flavour, cheap clones.

  wineprefix.py ensure ROOT FLAVOUR   boot ROOT/base-FLAVOUR once (win64, win32, x64)
  wineprefix.py clone BASE DEST       a clone whose big read-only folders are
                                      hard links into BASE

Prefixes live in the build tree, never in the user's own ~/.wine.

x64 is a 64-bit prefix driven by Wine's 64-bit loader alone, for the 64-bit
stand-in build on machines that cannot run 32-bit x86 code (see can_run_32bit).
"""
import fcntl
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

FLAVOURS = {'win64': 'win64', 'win32': 'win32'}
X64 = 'x64'
WINE64 = '/usr/lib/wine/wine64'
# Folders that Wine only reads while the tool runs; clones share their files.
SHARED = ('drive_c/windows/system32', 'drive_c/windows/syswow64', 'drive_c/windows/winsxs',
          'drive_c/windows/Fonts', 'drive_c/windows/globalization', 'drive_c/windows/resources')
HOME_LINKS = ('Desktop', 'Documents', 'Downloads', 'Music', 'Pictures', 'Videos', 'Templates')


def wine_env(prefix, arch=None):
    env = dict(os.environ)
    env['WINEPREFIX'] = str(prefix)
    # No Mono or Gecko prompts, and no menu entries or file types in the
    # host's desktop for the links and associations that the tests make.
    env['WINEDLLOVERRIDES'] = 'mscoree,mshtml=;winemenubuilder.exe=d'
    env['WINEDEBUG'] = '-all'
    if arch:
        env['WINEARCH'] = arch
    return env


def can_run_32bit():
    """Whether this machine runs 32-bit x86 programs, which Wine's 32-bit
    loader is. Some virtual machines refuse them outright (exec fails with
    'Exec format error'): no 32-bit Windows program can run there."""
    try:
        with open(os.devnull, 'wb') as null:
            return subprocess.run(['/usr/lib/wine/wine', '--version'], stdout=null, stderr=null,
                                  timeout=60).returncode == 0
    except OSError:
        return False


def wine_command(flavour):
    """The command that starts a Windows program of the flavour's prefix."""
    return [WINE64] if flavour == X64 else ['wine']


def run(args, env, timeout=300):
    with open(os.devnull, 'wb') as null:
        subprocess.run(args, env=env, stdin=null, stdout=null, stderr=null, timeout=timeout, check=False)


def boot(prefix, flavour):
    env = wine_env(prefix, FLAVOURS.get(flavour, 'win64'))
    env.pop('DISPLAY', None)
    wine = wine_command(flavour)
    start = time.time()
    run([*wine, 'wineboot', '-i'], env)
    run(['wineserver', '-w'], env)
    # wineboot links the user's folders to $HOME; tests must not write there.
    users = prefix / 'drive_c' / 'users'
    for user in users.iterdir():
        for name in HOME_LINKS:
            link = user / name
            if link.is_symlink():
                link.unlink()
                link.mkdir()
    settings = [
        ['HKCU\\Software\\Wine\\WineDbg', 'ShowCrashDialog', 'REG_DWORD', '0'],
        ['HKCU\\Software\\Wine\\X11 Driver', 'Decorated', 'REG_SZ', 'N'],
    ]
    for key, name, kind, data in settings:
        run([*wine, 'reg', 'add', key, '/v', name, '/t', kind, '/d', data, '/f'], env)
    run(['wineserver', '-w'], env)
    if not (prefix / 'system.reg').exists():
        raise SystemExit(f'wineboot did not create {prefix}')
    (prefix / '.qbx-ready').write_text(f'{time.time() - start:.1f}\n')


def ensure(root, flavour):
    root = Path(root)
    root.mkdir(parents=True, exist_ok=True)
    prefix = root / f'base-{flavour}'
    with open(root / f'.lock-{flavour}', 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (prefix / '.qbx-ready').exists():
            if prefix.exists():
                shutil.rmtree(prefix)
            boot(prefix, flavour)
            print(f'booted {prefix} in {(prefix / ".qbx-ready").read_text().strip()} s')
    return prefix


def clone(base, dest):
    base, dest = Path(base), Path(dest)
    if dest.exists():
        shutil.rmtree(dest)

    def copy(src, dst):
        rel = os.path.relpath(src, base)
        if any(rel == s or rel.startswith(s + '/') for s in SHARED):
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)

    shutil.copytree(base, dest, symlinks=True, copy_function=copy)
    return dest


# ctest's SKIP_RETURN_CODE of the tests that need 32-bit programs.
SKIPPED = 77


def main(argv):
    if len(argv) == 3 and argv[0] == 'ensure':
        ensure(argv[1], argv[2])
    elif len(argv) == 3 and argv[0] == 'clone':
        clone(argv[1], argv[2])
    elif len(argv) == 2 and argv[0] == 'ensure-all':
        if not can_run_32bit():
            print('skipped: this machine cannot run 32-bit x86 programs, so Wine cannot run '
                  'uninstall.exe here')
            return SKIPPED
        for flavour in FLAVOURS:
            ensure(argv[1], flavour)
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
