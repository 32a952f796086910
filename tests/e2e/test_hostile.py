"""Hostile input end to end: an uninstall list and a language file made to
break the tool. It must never crash, never delete anything outside its
install folder, and still finish its work."""
import random
import re


from harness import InstallFolder
from test_uninstall import only_record_on_9x, recorded

PARENT = 'C:\\Program Files'
INSTALL = PARENT + '\\Quabix'


class Canaries:
    """Files beside and above the install folder, in the Windows folder and in
    sibling folders whose names are prefixes of the install folder's name or
    start with it; with what their folders held."""

    def __init__(self, prefix):
        paths = ['C:\\canary.txt', f'{PARENT}\\canary.txt', f'{PARENT}\\Quabix.txt', f'{PARENT}\\Quab\\canary.txt',
                 f'{PARENT}\\Q\\canary.txt', f'{PARENT}\\Quabix2\\canary.txt', f'{PARENT}\\Quabix 2\\canary.txt',
                 f'{PARENT}\\Quabix.old\\canary.txt', 'C:\\windows\\canary.txt']
        self.files = {p: prefix.write(p, b'canary ' + p.encode()) for p in paths}
        # Wine itself writes into the Windows folder; the others are ours.
        windows = prefix.unix('C:\\windows')
        self.folders = {f: self.names(f) for f in {p.parent for p in self.files.values()} if f != windows}

    @staticmethod
    def names(folder):
        # The install folder and the stand-in interpreter's record may change.
        return sorted(p.name for p in folder.iterdir() if p.name not in ('Quabix', 'qbx-record'))

    def check(self):
        for win, path in self.files.items():
            assert path.exists() and path.read_bytes() == b'canary ' + win.encode(), win
        for folder, names in self.folders.items():
            assert self.names(folder) == names, folder


def assert_clean_exit(proc):
    rc = proc.wait(120)
    log = proc.log.read_bytes().decode('latin-1')
    assert not re.search(r'Unhandled|Backtrace|page fault', log), log
    assert rc == 0, (rc, log)


def hostile_entries(inst):
    """(entries as bytes, files that the list names and that must go, files
    inside that only a refused entry names, so they must stay)."""
    go = ['plain.txt', 'Sub\\deep.txt', 'caf\xe9.txt', 'na\xefve\\\xfc\xdf.dat', 'x\x81\x8d\x90\x9d.bin',
          ' lead.txt', 'Sub', 'na\xefve']
    stay = ['keep-nul.txt', 'keep-long.txt', 'keep-joined.txt']
    for rel in go:
        if rel not in ('Sub', 'na\xefve'):
            inst.add(rel, b'ours')
    for rel in stay:
        inst.add(rel, b'keep')
    lines = [e.encode('latin-1') for e in go]
    lines += [
        # Reaching out of the folder, in every spelling Windows accepts.
        b'..\\canary.txt', b'..\\..\\canary.txt', b'../canary.txt', b'Sub\\..\\..\\canary.txt',
        b'..\\Quab\\canary.txt', b'..\\Quab', b'..\\Quabix2\\canary.txt', b'..\\Quabix2', b'..\\Quabix.txt',
        b'.. \\canary.txt', b'...\\canary.txt', b'. .\\canary.txt', b'.\\..\\canary.txt', b'..',
        b'2\\canary.txt', b' 2\\canary.txt', b'.old\\canary.txt',
        # Absolute paths and device forms, appended to the folder.
        b'C:\\canary.txt', b'C:\\Program Files\\canary.txt', b'\\canary.txt', b'\\\\?\\C:\\canary.txt',
        b'\\\\.\\C:\\canary.txt', b'//?/C:/canary.txt', b'C:..\\canary.txt', b'\\..\\..\\canary.txt',
        b'\\??\\C:\\canary.txt', b'..\\..\\windows\\canary.txt',
        # NUL bytes: cut there, these would name files that must stay.
        b'keep-nul.txt\x00..\\..\\x', b'\x00', b'plain.txt\x00',
        # A line far longer than the line buffer, whose tail names a file.
        b'x' * 2047 + b'keep-long.txt', b'y' * 200000,
        # Joined paths that do not fit; cut at 1024 bytes they would be
        # keep-joined.txt followed by blanks, which Windows takes for it.
        b'keep-joined.txt' + b' ' * 1100 + b'z', b'Sub\\' * 300 + b'deep.txt',
        # Bytes of every value but NUL and the line ends.
        bytes(b for b in range(1, 256) if b not in (10, 13)),
        b'\xff\xfe\x00\x00', b'\t\t', b'   ', b'',
    ]
    rng = random.Random(20261207)
    for _ in range(200):
        lines.append(bytes(rng.choice(b'.\\/ :?*<>|"ab\x00\x81\xff') for _ in range(rng.randrange(1, 40))))
    lines += [b'uninstall.exe', b'Uninstall.lst']
    return b'\r\n'.join(lines), go, stay


def test_a_hostile_list_removes_only_its_own_files_and_finishes(prefix):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix, INSTALL)
    found = Canaries(prefix)
    text, go, stay = hostile_entries(inst)
    inst.add('Uninstall.lst', text)
    proc = prefix.start(inst.exe, '/s')
    assert_clean_exit(proc)
    prefix.wait_server()
    found.check()
    batch, _ = recorded(prefix)
    assert batch, 'self-removal was started'
    if prefix.nt:
        # Whatever the list held, the folder itself is left only with what
        # refused entries name.
        assert sorted(inst.listing()) == sorted(stay), inst.listing()
    else:
        assert sorted(inst.listing()) == sorted(stay + ['uninstall.exe']), inst.listing()
    for rel in stay:
        assert (inst.root / rel).read_bytes() == b'keep', rel


def test_random_bytes_as_the_list_never_crash_nor_reach_outside(prefix):
    only_record_on_9x(prefix)
    rng = random.Random(5150)
    inst = InstallFolder(prefix, INSTALL)
    found = Canaries(prefix)
    for round_ in range(3):
        blob = bytes(rng.randrange(256) for _ in range(65536))
        # Parent references are common in the noise, so that some survive
        # the random line breaks.
        blob = blob.replace(b'\x01', b'..\\').replace(b'\x02', b'\\')
        inst.add('Uninstall.lst', blob)
        if not (inst.root / 'uninstall.exe').exists():
            inst = InstallFolder(prefix, INSTALL)
        proc = prefix.start(inst.exe, '/s')
        assert_clean_exit(proc)
        prefix.wait_server()
        found.check()


def test_a_language_file_of_random_bytes_changes_nothing_but_the_texts(prefix):
    only_record_on_9x(prefix)
    rng = random.Random(77)
    inst = InstallFolder(prefix, INSTALL)
    found = Canaries(prefix)
    inst.add('plain.txt')
    # Setup writes the new-archive templates into the folder on the NT family.
    inst.write_list(['plain.txt', 'qbxnew.dat', 'zipnew.dat', 'uninstall.exe', 'Uninstall.lst'])
    # Random bytes with a message marker inside, so that the noise after it
    # is read as entries, escapes and line breaks.
    noise = bytes(rng.randrange(256) for _ in range(70000))
    lng = noise[:3000] + b'\r\n***messages***\r\n' + noise[3000:].replace(b'\x03', b'\\').replace(b'\x04', b'="')
    inst.add('uninstall.lng', lng)
    seen = prefix.watch('*')
    setup = prefix.start(inst.exe, '/setup', '/s', cwd=inst.win)
    assert_clean_exit(setup)
    assert not seen(), 'a dialog showed in silent mode'
    assert (inst.root / 'uninstall.lng').read_bytes() == lng
    uninstall = prefix.start(inst.exe, '/s')
    assert_clean_exit(uninstall)
    prefix.wait_server()
    found.check()
    assert inst.listing() == (['uninstall.lng'] if prefix.nt else ['uninstall.exe', 'uninstall.lng'])
