#!/usr/bin/python3
"""Runs a command where 32-bit x86 programs can run.

  run32.py COMMAND [ARG...]

Some machines refuse 32-bit x86 code outright ("Exec format error"), and
Wine's 32-bit loader is such a program. There, when a user-mode emulator
that runs Wine well is installed (qemu-i386 10 or later, which
scripts/install-deps.sh brings from bookworm-backports), COMMAND runs as
root in a private user and mount namespace with its own binfmt_misc
(Linux 6.7 and later give every user namespace one), in which 32-bit x86
ELF programs are handed to that emulator. Nothing outside the namespace
changes: the machine's own binfmt_misc stays as it is, and a 32-bit
program started elsewhere still fails.

Where the machine runs 32-bit programs itself, or no such emulator is
there, COMMAND simply runs (and the tests that need 32-bit programs skip
themselves as before). Everything started inside inherits QBX_RUN32, so a
nested call does not look again.
"""
import ctypes
import os
import re
import subprocess
import sys

WINE32 = '/usr/lib/wine/wine'
EMULATOR = os.environ.get('QBX_QEMU_I386', '/usr/bin/qemu-i386')
# Older emulators (Debian 12's 7.2) run Wine so slowly that its services
# time out and crash: only these are used.
MIN_EMULATOR_MAJOR = 10
# QBX_RUN32 of the processes inside: 'native', 'emulated' or 'none'.
MARK = 'QBX_RUN32'
FORCE = 'QBX_EMULATE'

# A fanotify group for permission events, made outside the namespace.
FANOTIFY_FD = 'QBX_FANOTIFY_FD'
FAN_CLASS_CONTENT = 0x4

CLONE_NEWNS, CLONE_NEWUSER = 0x00020000, 0x10000000
MS_REC, MS_PRIVATE = 0x4000, 0x40000
# binfmt_misc entry: the ELF header of a 32-bit x86 executable or shared
# object (e_type 2 or 3, e_machine 3); F opens the emulator now, so it is
# found whatever the program's root and namespace.
ELF_I386_MAGIC = r'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
ELF_I386_MASK = r'\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'


def runs_natively():
    try:
        return subprocess.run([WINE32, '--version'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def emulator_version():
    """The major version of the installed emulator, or 0."""
    try:
        out = subprocess.run([EMULATOR, '--version'], capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return 0
    m = re.search(r'version (\d+)\.', out)
    return int(m.group(1)) if m else 0


def mode():
    """How 32-bit programs run here: 'native', 'emulated' or 'none'.
    QBX_EMULATE=1 asks for the emulator even where the machine runs them
    itself, to try the emulated run on such a machine."""
    if os.environ.get(MARK):
        return os.environ[MARK]
    if os.environ.get(FORCE) == '1' and emulator_version() >= MIN_EMULATOR_MAJOR:
        return 'emulated'
    if runs_natively():
        return 'native'
    return 'emulated' if emulator_version() >= MIN_EMULATOR_MAJOR else 'none'


def _fail(what):
    err = ctypes.get_errno()
    sys.exit(f'run32: {what}: {os.strerror(err)}')


def run_emulated(argv):
    """Runs argv in the private namespace; returns its exit code."""
    libc = ctypes.CDLL(None, use_errno=True)
    # Inside, root has no say over the machine, and fanotify's permission
    # events (tests/e2e/harness.py ReadGate) cannot be had there: a group
    # made out here is handed in, and marks on it work inside.
    fanotify = -1
    if os.getuid() == 0:
        fanotify = libc.fanotify_init(FAN_CLASS_CONTENT, os.O_RDONLY)
        if fanotify >= 0:
            os.set_inheritable(fanotify, True)
            os.environ[FANOTIFY_FD] = str(fanotify)
    go_r, go_w = os.pipe()
    ready_r, ready_w = os.pipe()
    uid, gid = os.getuid(), os.getgid()
    pid = os.fork()
    if pid == 0:
        os.close(go_w)
        os.close(ready_r)
        if libc.unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0:
            _fail('unshare (a kernel without user namespaces?)')
        os.write(ready_w, b'x')
        os.close(ready_w)
        os.read(go_r, 1)  # the parent has written the id maps
        os.close(go_r)
        os.setgid(gid)
        os.setuid(uid)
        # Mounts made here stay here.
        if libc.mount(b'none', b'/', None, MS_REC | MS_PRIVATE, None) != 0:
            _fail('making / private')
        if libc.mount(b'binfmt_misc', b'/proc/sys/fs/binfmt_misc', b'binfmt_misc', 0, None) != 0:
            _fail('mounting a binfmt_misc of its own (Linux 6.7 or later is needed)')
        entry = f':qbx-i386:M::{ELF_I386_MAGIC}:{ELF_I386_MASK}:{EMULATOR}:F'
        with open('/proc/sys/fs/binfmt_misc/register', 'w') as f:
            f.write(entry)
        os.environ[MARK] = 'emulated'
        try:
            os.execvp(argv[0], argv)
        except OSError as e:
            sys.exit(f'run32: {argv[0]}: {e.strerror}')
    os.close(go_r)
    os.close(ready_w)
    if fanotify >= 0:
        os.close(fanotify)
    if not os.read(ready_r, 1):
        _, status = os.waitpid(pid, 0)
        return os.waitstatus_to_exitcode(status)
    os.close(ready_r)
    # The same ids inside as outside, the whole range, so that files keep
    # their owners and root stays root.
    if uid != 0:
        with open(f'/proc/{pid}/setgroups', 'w') as f:
            f.write('deny')  # required before an unprivileged gid_map
    for name, own in (('uid_map', uid), ('gid_map', gid)):
        with open(f'/proc/{pid}/{name}', 'w') as f:
            f.write('0 0 65536\n' if own == 0 else f'{own} {own} 1\n')
    os.write(go_w, b'x')
    os.close(go_w)
    while True:
        try:
            _, status = os.waitpid(pid, 0)
            break
        except InterruptedError:
            continue
    return os.waitstatus_to_exitcode(status)


def run(argv):
    how = mode()
    if how != 'emulated' or os.environ.get(MARK):
        os.environ[MARK] = how
        os.execvp(argv[0], argv)
    return run_emulated(argv)


def reexec_if_needed():
    """For a script started by hand: runs it again inside the namespace
    where 32-bit programs need the emulator, so that it can start them."""
    if not os.environ.get(MARK) and mode() == 'emulated':
        sys.stdout.flush()
        sys.stderr.flush()
        code = run_emulated(list(sys.orig_argv))
        sys.stdout.flush()
        os._exit(code)  # at once: the caller may be inside a framework that catches SystemExit


if __name__ == '__main__':
    if len(sys.argv) < 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(run(sys.argv[1:]))
