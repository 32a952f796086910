"""End-to-end harness: real Wine prefixes, a real X display, real windows.

A test gets a Prefix: a clone of the booted base prefix of its flavour, with
its own wineserver, the tool's helper programs in C:\\qbx-tools, and the
command interpreter replaced by the recorder (which keeps a copy of the
self-removal batch file and then runs the real cmd.exe on it).

Flavours:
  nt64   64-bit prefix: the tool runs as a WOW64 process (NT family)
  nt32   32-bit prefix: plain 32-bit Windows (NT family)
  win98  32-bit prefix with Wine's version setting "win98" for uninstall.exe
  x64, x64-win98
         the 64-bit stand-in build in a 64-bit prefix, on machines that cannot
         run 32-bit x86 code (NT, and the version setting "win98"): a test of
         nt64 or nt32 runs on x64, one of win98 on x64-win98, unless it is
         marked standin_differs
"""
import ctypes
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import threading
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / 'scripts'))
import wineprefix  # noqa: E402
import wineregistry  # noqa: E402

BUILD = Path(os.environ.get('QBX_BUILD', SOURCE / 'build' / 'release'))
EXE = BUILD / 'app' / 'uninstall.exe'
TOOLS_DIR = BUILD / 'tests'
WINE_ROOT = BUILD / 'wine'

FLAVOURS = {
    'nt64': ('win64', None),
    'nt32': ('win32', None),
    'win98': ('win32', 'win98'),
    'x64': ('x64', None),
    'x64-win98': ('x64', 'win98'),
}
# The flavours of a test that names none.
DEFAULT_FLAVOURS = ('nt64', 'nt32', 'win98')


def standin_flavours(flavours, differs=False):
    """The stand-in flavours that run a test of these flavours: x64 for nt64
    or nt32, x64-win98 for win98; none when the test shows what only the
    32-bit tool can."""
    if differs:
        return []
    out = []
    if 'nt64' in flavours or 'nt32' in flavours:
        out.append('x64')
    if 'win98' in flavours:
        out.append('x64-win98')
    return out


def build_of(flavour):
    """The build tree of a flavour's programs: the 64-bit stand-in's for x64."""
    return BUILD / 'x64' if FLAVOURS[flavour][0] == 'x64' else BUILD

TOOLS = 'C:\\qbx-tools'
RECORD = 'C:\\qbx-record'

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

ROOTS = {'HKCR': 'HKEY_CLASSES_ROOT', 'HKCU': 'HKEY_CURRENT_USER', 'HKLM': 'HKEY_LOCAL_MACHINE'}


def reg_escape(text):
    return text.replace('\\', '\\\\').replace('"', '\\"')


# The longest a program started in the background may run.
PROGRAM_TIMEOUT = 300
# The names the recorder is copied under: itself, the archiver, a program
# that an unquoted path would start.
RECORDER_NAMES = ('/recorder.exe', '/quabix.exe', '/program.exe')

# Wine's own background programs, which end with the server.
SYSTEM_PROGRAMS = ('services.exe', 'winedevice.exe', 'plugplay.exe', 'svchost.exe', 'rpcss.exe')


class Xvfb:
    """A private X display for the test's windows."""

    def __init__(self):
        self.number = None
        self.process = None

    def start(self):
        # Xvfb picks a free display number itself and reports it once it
        # listens: test runs started side by side never share a display.
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                pass_fds=(write_end,))
            os.close(write_end)
            write_end = None
            with os.fdopen(read_end, 'rb') as reply:
                read_end = None
                number = reply.readline().strip()
        finally:
            for fd in (read_end, write_end):
                if fd is not None:
                    os.close(fd)
        if not number.isdigit():
            self.stop()
            raise RuntimeError('no X display could be started')
        self.number = int(number)
        return self

    @property
    def display(self):
        return f':{self.number}'

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.process = None


class WineFailed(Exception):
    """Wine failed to run a program: a Unix signal ended Wine's process, or
    Wine could not start the program at all. A Windows program's own crash
    ends it with an exception code instead, so this is Wine, now and then
    under load, not the program: the test is run once more (see the
    --only-rerun option of the tests' command)."""


def checked(rc, args, log):
    text = log.read_bytes().decode('latin-1') if log.exists() else ''
    if rc < 0 or (rc != 0 and 'could not be started' in text):
        raise WineFailed(f'exit status {rc} of {" ".join(map(str, args))}:\n{text}')
    return rc


class Process:
    """A Windows program started in the background."""

    def __init__(self, popen, log):
        self.popen = popen
        self.log = log

    def wait(self, timeout=60):
        return checked(self.popen.wait(timeout), self.popen.args, self.log)

    def running(self):
        return self.popen.poll() is None


class Prefix:
    def __init__(self, flavour, name, display):
        arch, version = FLAVOURS[flavour]
        self.flavour = flavour
        self.nt = version is None
        self.build = build_of(flavour)  # where the flavour's programs are built
        self.exe_source = self.build / 'app' / 'uninstall.exe'
        self.tools_source = self.build / 'tests'
        self.wine_command = wineprefix.wine_command(arch)
        base = wineprefix.ensure(WINE_ROOT, arch)
        # Named by the test and this run: runs side by side never share one.
        self.path = wineprefix.clone(base, WINE_ROOT / 'e2e' / f'{name}-{os.getpid()}')
        # Nothing outside the prefix is reachable as a drive: a faulty run can
        # never delete from the machine that runs the tests.
        for drive in ('z:', 'd:', 'e:'):
            link = self.path / 'dosdevices' / drive
            if link.is_symlink():
                link.unlink()
        self.env = wineprefix.wine_env(self.path)
        self.env['DISPLAY'] = display
        self.logs = self.path / 'logs'
        self.logs.mkdir()
        self._log_count = 0
        self._imports = 0
        self._started = []  # programs started in the background
        self.start_server()
        for tool in ('winpilot.exe', 'holder.exe', 'recorder.exe', 'stopper.exe'):
            self.copy_in(self.tools_source / tool, f'{TOOLS}\\{tool}')
        settings = [('HKCU\\Environment', 'COMSPEC', 'REG_SZ', f'{TOOLS}\\recorder.exe')]
        if version:
            settings.append(('HKCU\\Software\\Wine\\AppDefaults\\uninstall.exe', 'Version', 'REG_SZ', version))
        self.reg_set(settings)

    # Paths ---------------------------------------------------------------
    def unix(self, win):
        """The Unix path of a path on drive C:."""
        assert win[:3].upper() == 'C:\\', win
        rel = win[3:].replace('\\', '/')
        return self.path / 'drive_c' / rel if rel else self.path / 'drive_c'

    def copy_in(self, src, win):
        dst = self.unix(win)
        dst.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(src, dst)
        return dst

    def write(self, win, data):
        dst = self.unix(win)
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data if isinstance(data, bytes) else data.encode('latin-1'))
        return dst

    # Server --------------------------------------------------------------
    def start_server(self):
        # Our own server first, with no pipe of ours: see the Wine notes on
        # inherited handles. It outlives a pause of the test by far, so the
        # test's programs share one session (and its background services)
        # until a snapshot or a restart ends it.
        subprocess.run(['wineserver', '-p60'], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def wait_server(self, timeout=90):
        """Waits until every program of the prefix has ended."""
        end = time.monotonic() + timeout
        while self.programs() and time.monotonic() < end:
            time.sleep(0.05)

    def processes(self):
        """(Unix program name, command line) of every process of the prefix:
        its server, Wine's services and the Windows programs."""
        tag = f'WINEPREFIX={self.path}'.encode()
        for pid in os.listdir('/proc'):
            if not pid.isdigit():
                continue
            try:
                exe = os.path.basename(os.readlink(f'/proc/{pid}/exe'))
                if not exe.startswith(('wine', 'qemu-')):
                    continue
                with open(f'/proc/{pid}/environ', 'rb') as f:
                    if tag not in f.read().split(b'\0'):
                        continue
                with open(f'/proc/{pid}/cmdline', 'rb') as f:
                    args = [a for a in f.read().split(b'\0') if a]
            except OSError:
                continue  # ended meanwhile
            if exe.startswith('qemu-'):
                # A 32-bit program under the emulator (scripts/run32.py): its
                # command line is the emulator's, then Wine's loader, then
                # the Windows program's.
                if len(args) < 2 or not os.path.basename(args[1]).startswith(b'wine'):
                    continue
                args = args[1:]
                while args and args[0].startswith(b'/') and os.path.basename(args[0]).startswith(b'wine'):
                    args = args[1:]
            yield exe, args

    def programs(self):
        """Command lines of the prefix's running programs, Wine's own
        services and desktop left out."""
        found = []
        for exe, args in self.processes():
            if exe.startswith('wineserver') or not args:
                continue
            name = args[0].decode('latin-1').replace('\\', '/').rsplit('/', 1)[-1].lower()
            if name in SYSTEM_PROGRAMS or (name == 'explorer.exe' and args[1:] == [b'/desktop']):
                continue
            found.append(b' '.join(args).decode('latin-1'))
        return found

    def kill_server(self):
        """Ends the server and every program of the prefix at once; the
        server writes the registry files as it goes, which under load can
        take long: the wait is for the server's process to be gone."""
        subprocess.run(['wineserver', '-k'], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        end = time.monotonic() + PROGRAM_TIMEOUT
        while any(exe.startswith('wineserver') for exe, _ in self.processes()):
            if time.monotonic() > end:
                raise AssertionError(f'the server of {self.path} did not end')
            time.sleep(0.05)

    def restart(self):
        """What a restart of Windows does: pending renames are carried out."""
        self.wait_server()
        self.kill_server()
        self.start_server()
        self.wine('wineboot', '-r', timeout=120)
        self.wait_server()

    # Programs ------------------------------------------------------------
    def _log(self):
        self._log_count += 1
        return self.logs / f'{self._log_count:03d}.txt'

    def wine(self, *args, timeout=60):
        log = self._log()
        began = time.monotonic()
        with open(log, 'wb') as out:
            command = ['timeout', str(timeout), *self.wine_command, *args]
            rc = subprocess.run(command, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT).returncode
        rc = checked(rc, command, log)
        if os.environ.get('QBX_TRACE'):
            print(f'{time.monotonic() - began:6.1f} s  {" ".join(map(str, args))[:120]}')
        return rc, log.read_bytes().decode('latin-1')

    def start(self, *args, cwd=None, env=None):
        """Starts a program; cwd (a path on C:) becomes its current directory,
        env adds environment variables (LANG, for a code page)."""
        log = self._log()
        out = open(log, 'wb')
        popen = subprocess.Popen(['timeout', str(PROGRAM_TIMEOUT), *self.wine_command, *map(str, args)], env={**self.env, **(env or {})},
                                 cwd=self.unix(cwd) if cwd else None,
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        out.close()
        process = Process(popen, log)
        self._started.append(process)
        return process

    def pilot(self, *args, timeout=60):
        """Runs winpilot; returns its JSON lines, errors included."""
        _, text = self.wine(f'{TOOLS}\\winpilot.exe', *[str(a) for a in args], timeout=timeout)
        lines = []
        for line in text.splitlines():
            line = line.strip()
            if line.startswith('{'):
                lines.append(json.loads(line))
        return lines

    def still_starting(self, began):
        """Whether a window may still come: a program that the test started
        is running (under emulation and load a first window can take far
        longer than usual), within the limit of its own time-out."""
        return any(p.running() for p in self._started) and time.monotonic() - began < PROGRAM_TIMEOUT

    def window(self, caption, timeout_ms=20000):
        """The dump of a visible window: [window, child, child, ...]. Waits
        timeout_ms, and on while a program that could show it runs."""
        began = time.monotonic()
        while True:
            rows = self.pilot('wait', caption, timeout_ms)
            if rows and 'error' not in rows[0]:
                return rows
            if not self.still_starting(began):
                raise AssertionError(f'window {caption!r} did not appear: {rows}')

    def message_box(self, caption, timeout_ms=20000):
        """Text of a message box (its static control 0xFFFF) and its buttons."""
        rows = self.window(caption, timeout_ms)
        text = [r['text'] for r in rows[1:] if r['id'] == 0xFFFF]
        buttons = {r['id']: r['text'] for r in rows[1:] if r['class'].lower() == 'button'}
        return (text[0] if text else ''), buttons

    def click(self, caption, control):
        rows = self.pilot('click', caption, control)
        if not rows or 'error' in rows[0]:
            raise AssertionError(f'cannot click {control} in {caption!r}: {rows}')

    def close_explorer(self):
        """Closes the Explorer windows that setup opened on a program group:
        they would keep the prefix's server alive."""
        for w in self.pilot('windows'):
            if w.get('class') in ('CabinetWClass', 'ExploreWClass', 'ExplorerWClass'):
                self.pilot('close', w['text'])

    def starts(self, count):
        """The command lines the recorder noted in starts.txt, once there are
        at least `count` and no copy of it (under any of the names the tests
        give it) runs any more: a start under emulation takes seconds."""
        path = self.unix(f'{RECORD}\\starts.txt')
        end = time.monotonic() + PROGRAM_TIMEOUT
        while True:
            lines = path.read_bytes().decode('latin-1').splitlines() if path.exists() else []
            running = [p for p in self.programs()
                       if any(n in p.lower().replace('\\', '/') for n in RECORDER_NAMES)]
            if (len(lines) >= count and not running) or time.monotonic() > end:
                return lines
            time.sleep(0.2)

    def watch(self, caption):
        """Watches, from now on, for a visible window with that caption (any
        dialog-class window for "*"). Returns a function that ends the watch
        and tells whether one was seen."""
        flag = f'{TOOLS}\\watch-{time.monotonic_ns()}'
        proc = self.start(f'{TOOLS}\\winpilot.exe', 'watch', caption, flag)
        for _ in range(400):
            if self.unix(flag).exists():
                break
            time.sleep(0.025)
        else:
            raise AssertionError(f'the watch for {caption!r} did not start: {proc.log.read_text(errors="replace")}')

        def seen():
            self.unix(flag).unlink(missing_ok=True)
            proc.wait(30)
            out = proc.log.read_text(errors='replace')
            assert '"seen":' in out, out
            return '"seen":true' in out
        return seen

    def no_window(self, caption, timeout_ms=3000):
        rows = self.pilot('wait', caption, timeout_ms)
        return bool(rows) and 'error' in rows[0]

    # Registry ------------------------------------------------------------
    def reg_add(self, key, name, kind, data):
        args = ['reg', 'add', key, '/f']
        if name is not None:
            args += ['/v', name]
        if kind:
            args += ['/t', kind, '/d', data]
        self.reg(*args)

    def reg(self, *args):
        """Runs reg.exe, which only sets values here: a run that Wine fails
        now and then under load (reg.exe "could not be started", or a crash
        as it exits) is simply repeated."""
        for attempt in range(3):
            try:
                rc, out = self.wine(*args)
            except WineFailed:
                if attempt == 2:
                    raise
                rc, out = -1, ''
            if rc == 0:
                return
            time.sleep(0.5)
        assert rc == 0, out

    def reg_set(self, entries):
        """Sets many values with one program: (key, name, kind, data) as
        reg_add takes them, REG_SZ and REG_DWORD; kind 'DELETE' deletes the
        value, or with name None the key with everything in it."""
        lines = ['REGEDIT4', '']
        for key, name, kind, data in entries:
            root, _, rest = key.partition('\\')
            path = f'{ROOTS.get(root.upper(), root)}\\{rest}' if rest else ROOTS.get(root.upper(), root)
            if kind == 'DELETE' and name is None:
                lines += [f'[-{path}]', '']
                continue
            lines.append(f'[{path}]')
            label = '@' if name is None else '"' + reg_escape(name) + '"'
            if kind == 'DELETE':
                lines.append(f'{label}=-')
            elif kind == 'REG_SZ':
                lines.append(f'{label}="{reg_escape(data)}"')
            elif kind == 'REG_DWORD':
                lines.append(f'{label}=dword:{int(data, 0):08x}')
            else:
                raise ValueError(kind)
            lines.append('')
        self._imports += 1
        win = f'{TOOLS}\\import-{self._imports}.reg'
        self.write(win, '\r\n'.join(lines).encode('latin-1'))
        self.reg('reg', 'import', win)

    def reg_query(self, key, name):
        """(type, data) of a value, or None. REG_MULTI_SZ data is a list."""
        rc, out = self.wine('reg', 'query', key, '/v', name)
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith('REG_'):
                data = parts[2] if len(parts) > 2 else ''
                if parts[1] == 'REG_MULTI_SZ':
                    return parts[1], [d for d in data.split('\\0') if d]
                return parts[1], data
        return None

    def snapshot(self):
        """The whole registry, once every program has ended (Wine writes its
        registry files when the server exits)."""
        self.wait_server()
        self.kill_server()
        snap = wineregistry.snapshot(self.path)
        self.start_server()
        return snap

    def user_folder(self, *parts):
        """A folder of the prefix's one user, as a path on C:."""
        users = [u for u in self.unix('C:\\users').iterdir() if u.name != 'Public']
        assert len(users) == 1
        return '\\'.join(['C:\\users', users[0].name, *parts])

    def special_folders(self):
        """The desktop, Start menu, Programs and all-users Programs folders."""
        start = self.user_folder('AppData', 'Roaming', 'Microsoft', 'Windows', 'Start Menu')
        return {
            'desktop': self.user_folder('Desktop'),
            'start': start,
            'programs': start + '\\Programs',
            'common': 'C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs',
        }

    def special_files(self):
        """Everything in the special folders: 'desktop/x.lnk' -> bytes."""
        out = {}
        for name, win in self.special_folders().items():
            root = self.unix(win)
            for p in sorted(root.rglob('*')) if root.exists() else []:
                rel = p.relative_to(root)
                if name == 'start' and rel.parts[0] == 'Programs':
                    continue  # listed as 'programs'
                out[f'{name}/{rel}'] = p.read_bytes() if p.is_file() else None
        return out

    def pending_renames(self):
        value = self.reg_query('HKLM\\System\\CurrentControlSet\\Control\\Session Manager',
                               'PendingFileRenameOperations')
        return value[1] if value else []

    def close(self):
        """Ends the server and removes the prefix, in the background: the
        next test need not wait for it (see finish_closing)."""
        def end():
            self.kill_server()
            shutil.rmtree(self.path, ignore_errors=True)
        worker = threading.Thread(target=end)
        worker.start()
        _closing.append(worker)


_closing = []


def finish_closing():
    """Waits until every closed prefix is gone."""
    while _closing:
        _closing.pop().join()


def controls(prefix, caption, needed, timeout=20):
    """The controls of the visible dialog that has control `needed`, by id;
    waits timeout seconds, and on while a program the test started runs."""
    began = time.monotonic()
    while time.monotonic() - began < timeout or prefix.still_starting(began):
        rows = prefix.pilot('dump', caption, 2000)
        if rows and 'error' not in rows[0]:
            boxes = {r['id']: r for r in rows[1:]}
            if needed in boxes:
                return rows[0], boxes
        time.sleep(0.2)
    raise AssertionError(f'no {caption!r} dialog with control {needed}')


class ReadGate:
    """Lets the first `allowed` reads of a file through and fails every
    later one (read() reports EPERM, so ReadFile fails in the program) until
    opened: a disk or network share that fails part way through a file.
    Built on fanotify's permission events, which need root; inside the
    emulator's namespace, on a group that scripts/run32.py made outside."""

    EVENT = struct.Struct('IBBHQii')  # struct fanotify_event_metadata

    def __init__(self, path, allowed):
        self.libc = libc = ctypes.CDLL(None, use_errno=True)
        shared = os.environ.get('QBX_FANOTIFY_FD')
        if shared:
            self.fd = os.dup(int(shared))
        else:
            self.fd = libc.fanotify_init(0x4 | 0x1, os.O_RDONLY)  # FAN_CLASS_CONTENT | FAN_CLOEXEC
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), 'fanotify_init')
        # FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD
        if libc.fanotify_mark(self.fd, 0x1, ctypes.c_uint64(0x20000), -100, str(path).encode()) != 0:
            os.close(self.fd)
            raise OSError(ctypes.get_errno(), 'fanotify_mark')
        self.allowed = allowed
        self.reads = 0
        self.denied = 0
        self.open = False
        self.stop = False
        self.worker = threading.Thread(target=self._answer)
        self.worker.start()

    def _answer(self):
        while not self.stop:
            ready, _, _ = select.select([self.fd], [], [], 0.1)
            if not ready:
                continue
            data = os.read(self.fd, 4096)
            for at in range(0, len(data), self.EVENT.size):
                _, _, _, _, _, fd, _ = self.EVENT.unpack_from(data, at)
                self.reads += 1
                allow = self.open or self.reads <= self.allowed
                self.denied += 0 if allow else 1
                os.write(self.fd, struct.pack('iI', fd, 1 if allow else 2))  # FAN_ALLOW, FAN_DENY
                os.close(fd)

    def release(self):
        self.open = True

    def close(self):
        self.open = True
        self.stop = True
        self.worker.join(10)
        # A shared group outlives this gate: its marks go (FAN_MARK_FLUSH), so
        # that no later read waits for an answer nobody gives.
        self.libc.fanotify_mark(self.fd, 0x80, ctypes.c_uint64(0), -100, None)
        os.close(self.fd)


class InstallFolder:
    """A sample install folder with the real uninstall.exe in it."""

    def __init__(self, prefix, win='C:\\Program Files\\Quabix'):
        self.prefix = prefix
        self.win = win
        self.root = prefix.unix(win)
        self.root.mkdir(parents=True, exist_ok=True)
        self.exe = win.rstrip('\\') + '\\uninstall.exe'
        prefix.copy_in(prefix.exe_source, self.exe)

    def add(self, rel, data=b'x'):
        return self.prefix.write(self.win.rstrip('\\') + '\\' + rel, data)

    def folder(self, rel):
        p = self.root / rel.replace('\\', '/')
        p.mkdir(parents=True, exist_ok=True)
        return p

    def write_list(self, entries, line_end='\r\n', final_line_end=True):
        text = line_end.join(entries) + (line_end if final_line_end else '')
        self.add('Uninstall.lst', text.encode('latin-1'))

    def exists(self, rel=''):
        return (self.root / rel.replace('\\', '/')).exists() if rel else self.root.exists()

    def listing(self):
        if not self.root.exists():
            return []
        return sorted(str(p.relative_to(self.root)) for p in self.root.rglob('*'))
