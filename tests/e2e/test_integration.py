"""Setup and uninstall against a real Wine registry and shell: what setup
writes, value by value, and that uninstall gives the machine back."""
import re
import subprocess

import pytest

import wineregistry
from harness import IDYES, TOOLS, InstallFolder
from test_uninstall import CAPTION, CONFIRM, only_record_on_9x

CLASSES = 'HKLM\\Software\\Classes'
CLSID32 = '{6F2A91C0-4D3B-11D2-A7E5-5C31B08E92D4}'
CLSID64 = '{6F2A91C0-73B3-11D2-A7E5-5C31B08E92D4}'
APP = 'HKCU\\Software\\Quabix'
MACHINE_RECORD = 'Quabix\\Setup'  # below HKLM\\Software
OTHER_ZIP = 'OtherArchiver.Zip'
OTHER_ZIP_CONTENT = 'application/x-other-zip'
OTHER_JAR = 'OtherRuntime.Jar'
OTHER_PART = 'OtherArchiver.Part'
OTHER_REV = 'OtherRepair.Rev'
OTHER_REV_CONTENT = 'application/x-other-rev'

# Every extension of the 14 archive types, row by row.
EXTENSIONS = ['.qbx', '.zip', '.cab', '.arj', '.lzh', '.lha', '.ace', '.7z', '.tar', '.gz', '.tgz', '.uue', '.xxe',
              '.uu', '.bz2', '.tbz2', '.bz', '.tbz', '.jar', '.iso', '.z', '.taz']
PRIMARY = ['.qbx', '.zip', '.cab', '.arj', '.lzh', '.ace', '.7z', '.tar', '.gz', '.uue', '.bz2', '.jar', '.iso', '.z']
NAMED_HANDLERS = ['*\\shellex\\ContextMenuHandlers\\Quabix', 'Folder\\shellex\\ContextMenuHandlers\\Quabix',
                  'Folder\\shellex\\DragDropHandlers\\Quabix', 'Drive\\shellex\\DragDropHandlers\\Quabix',
                  'Directory\\shellex\\ContextMenuHandlers\\Quabix', 'Directory\\shellex\\DragDropHandlers\\Quabix']
CLSID_HANDLERS = ['Quabix\\shellex\\ContextMenuHandlers\\{}', 'Quabix\\shellex\\PropertySheetHandlers\\{}',
                  'Quabix.ZIP\\shellex\\ContextMenuHandlers\\{}', 'Quabix.ZIP\\shellex\\PropertySheetHandlers\\{}',
                  'exefile\\shellex\\PropertySheetHandlers\\{}']
APPROVED = 'Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved'

def key32(prefix, path):
    """Where a 32-bit program's write to HKLM\\Software\\<path> lands."""
    return f'HKLM\\Software\\Wow6432Node\\{path}' if prefix.flavour == 'nt64' else f'HKLM\\Software\\{path}'


def clsid_key(prefix, clsid, view64=False):
    if prefix.flavour == 'nt64' and not view64:
        return f'{CLASSES}\\Wow6432Node\\CLSID\\{clsid}'
    return f'{CLASSES}\\CLSID\\{clsid}'


def other_programs(prefix):
    """Another archiver owns .zip (with a New-menu entry) and the volume
    extension .q05, a runtime .jar, a repair tool .rev."""
    prefix.reg_set([
        ('HKCR\\.zip', None, 'REG_SZ', OTHER_ZIP),
        ('HKCR\\.zip', 'Content Type', 'REG_SZ', OTHER_ZIP_CONTENT),
        ('HKCR\\.zip\\ShellNew', 'NullFile', 'REG_SZ', ''),
        ('HKCR\\.jar', None, 'REG_SZ', OTHER_JAR),
        ('HKCR\\.q05', None, 'REG_SZ', OTHER_PART),
        ('HKCR\\.rev', None, 'REG_SZ', OTHER_REV),
        ('HKCR\\.rev', 'Content Type', 'REG_SZ', OTHER_REV_CONTENT),
    ])


def all_choices_on(prefix):
    links = f'{APP}\\Setup\\Links'
    prefix.reg_set([(links, n, 'REG_DWORD', '1') for n in ('Desktop', 'StartMenu', 'Programs')] +
                   [(f'{APP}\\Setup', n, 'REG_DWORD', '1') for n in ('ShellExt', 'CascadedMenu', 'MenuIcons')])


def product(prefix, win='C:\\Program Files\\Quabix'):
    inst = InstallFolder(prefix, win)
    files = ['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'quabix.hlp', 'Qbx.txt', 'license.txt']
    for rel in files:
        inst.add(rel, b'product file ' + rel.encode())
    inst.write_list(files + ['qbxnew.dat', 'zipnew.dat', 'uninstall.exe', 'Uninstall.lst'])
    return inst


def setup_silently(prefix, inst):
    # Silent: every dialog confirms itself. One that waited for an answer
    # would keep the tool running, and the wait would fail.
    proc = prefix.start(inst.exe, '/setup', '/s', cwd=inst.win)
    assert proc.wait(120) == 0, proc.log.read_text(errors="replace")


def uninstall(prefix, inst):
    proc = prefix.start(inst.exe)
    text, _ = prefix.message_box(CAPTION)
    assert text == CONFIRM
    prefix.click(CAPTION, IDYES)
    proc.wait(120)


def lnkinfo(path):
    out = subprocess.run(['lnkinfo', str(path)], capture_output=True, text=True, check=True).stdout
    info = {}
    for line in out.splitlines():
        m = re.match(r'\s*([A-Za-z ]+?)\s*:\s*(.*)$', line)
        if m:
            info.setdefault(m.group(1), m.group(2))
    return info


def check_link(prefix, win, target):
    info = lnkinfo(prefix.unix(win))
    assert info.get('Local path') == target, info
    assert info.get('Description') == 'Process QBX, ZIP and other archive formats', info
    for absent in ('Command line arguments', 'Working directory', 'Icon location'):
        assert absent not in info, info


def listed_kb(inst):
    """KB, rounded up, of the listed files that exist (setup has run)."""
    names = (inst.root / 'Uninstall.lst').read_bytes().decode('latin-1').splitlines()
    files = [inst.root / n.strip().replace('\\', '/') for n in names if n.strip()]
    return (sum(f.stat().st_size for f in files if f.is_file()) + 1023) // 1024


def check_setup(prefix, inst, snap, template_file=None):
    """Everything setup writes, value by value. template_file: whether the
    Windows version takes the New-menu template as a file (Windows Me, 2000
    and later) rather than as bytes; by default the NT family does."""
    exe = f'{inst.win}\\Quabix.exe'
    nt = prefix.nt
    if template_file is None:
        template_file = nt
    # Associations and their saved predecessors.
    for ext in EXTENSIONS:
        if ext == '.jar':
            continue  # another program owns it: not chosen
        assert snap.data(f'{CLASSES}\\{ext}') == ('Quabix.ZIP' if ext == '.zip' else 'Quabix'), ext
        assert snap.value(f'{CLASSES}\\{ext}', 'Content Type') is None, ext
    assert snap.data(f'{CLASSES}\\.jar') == OTHER_JAR
    zip_saved = f'{APP}\\Setup\\.zip'
    assert snap.value(zip_saved, 'Exist') == ('REG_DWORD', 1)
    assert snap.value(zip_saved, 'Type') == ('REG_SZ', OTHER_ZIP)
    assert snap.value(zip_saved, 'Content') == ('REG_SZ', OTHER_ZIP_CONTENT)
    assert snap.value(zip_saved, 'ShellNew') == ('REG_SZ', '*')
    for ext in ('.cab', '.lha', '.qbx'):
        saved = f'{APP}\\Setup\\{ext}'
        assert snap.value(saved, 'Exist') == ('REG_DWORD', 0), ext
        assert [snap.data(saved, n) for n in ('Type', 'Content', 'ShellNew')] == ['', '', ''], ext
    # Volume extensions: 30 on the NT family, 100 on the 9x family.
    count = 30 if nt else 100
    for i in range(100):
        v = f'{CLASSES}\\.q{i:02d}'
        assert snap.data(v) == ('Quabix' if i < count else None), v
    # New-archive templates.
    for ext, name, image in (('.qbx', 'qbxnew.dat', QBX_IMAGE), ('.zip', 'zipnew.dat', ZIP_IMAGE)):
        shell_new = f'{CLASSES}\\{ext}\\ShellNew'
        if template_file:
            assert snap.key(shell_new) == {'FileName': ('REG_SZ', f'{inst.win}\\{name}')}, ext
            assert (inst.root / name).read_bytes() == image
        else:
            assert snap.key(shell_new) == {'Data': ('REG_BINARY', image)}, ext
            assert not inst.exists(name)
    # Document types.
    command = f'"{exe}" "%1"'
    for doc, name, icon in (('Quabix', 'Quabix archive', ',0'), ('Quabix.ZIP', 'Quabix ZIP archive', ',0'),
                            ('Quabix.REV', 'QBX recovery volume', ',1')):
        assert snap.data(f'{CLASSES}\\{doc}') == name
        assert snap.data(f'{CLASSES}\\{doc}\\shell\\open\\command') == command
        assert snap.data(f'{CLASSES}\\{doc}\\DefaultIcon') == exe + icon
    assert snap.data(f'{CLASSES}\\.rev') == 'Quabix.REV'
    # The shell extension: each CLSID in its view, the shared keys naming the
    # one registered last.
    wow64 = prefix.flavour == 'nt64'
    dlls = [(CLSID32, 'qbxext.dll', False)] + ([(CLSID64, 'qbxext64.dll', True)] if wow64 else [])
    for clsid, dll, view64 in dlls:
        key = clsid_key(prefix, clsid, view64)
        assert snap.key(key) == {'': ('REG_SZ', 'Quabix')}, key
        assert snap.key(key + '\\InProcServer32') == {'': ('REG_SZ', f'{inst.win}\\{dll}'),
                                                      'ThreadingModel': ('REG_SZ', 'Apartment')}
        for handler in CLSID_HANDLERS:
            assert snap.key(f'{CLASSES}\\{handler.format(clsid)}') == {'': ('REG_SZ', '')}, handler
    if wow64:
        assert not snap.has(clsid_key(prefix, CLSID64, False)), 'the 64-bit CLSID only in the 64-bit view'
        assert not snap.has(clsid_key(prefix, CLSID32, True)), 'the 32-bit CLSID only in the 32-bit view'
    else:
        assert not any(CLSID64.lower() in k for k in snap.lower), 'no 64-bit CLSID on 32-bit Windows'
    last = CLSID64 if wow64 else CLSID32
    for key in NAMED_HANDLERS + ['Quabix\\shellex\\DropHandler', 'Quabix.ZIP\\shellex\\DropHandler']:
        assert snap.key(f'{CLASSES}\\{key}') == {'': ('REG_SZ', last)}, key
    approved = snap.key(key32(prefix, APPROVED))
    assert {n: v for n, v in approved.items() if 'Quabix' in str(v)} == {
        c: ('REG_SZ', 'Quabix shell extension') for c, _, _ in dlls}
    # App Paths (a key both views share) and the uninstall entry in the
    # tool's own view: the 64-bit view flag was off again for them.
    app_paths = 'Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe'
    assert snap.key(f'HKLM\\Software\\{app_paths}') == {'': ('REG_SZ', exe), 'Path': ('REG_SZ', inst.win)}
    entry = 'Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver'
    assert snap.key(key32(prefix, entry)) == {
        'DisplayName': ('REG_SZ', 'Quabix archiver'),
        'UninstallString': ('REG_SZ', f'"{inst.exe}"'),
        'QuietUninstallString': ('REG_SZ', f'"{inst.exe}" /s'),
        'DisplayIcon': ('REG_SZ', f'{exe},0'),
        'DisplayVersion': ('REG_SZ', '1.0.0.0'),
        'Publisher': ('REG_SZ', 'Quabix'),
        'InstallLocation': ('REG_SZ', inst.win),
        'EstimatedSize': ('REG_DWORD', listed_kb(inst)),
        'NoModify': ('REG_DWORD', 1),
        'NoRepair': ('REG_DWORD', 1)}
    if wow64:
        assert not snap.has(f'HKLM\\Software\\{entry}'), 'written in the 64-bit view'
    # The machine-wide copy of the record, in the tool's own view, for an
    # uninstall by another account: the saved associations and every link
    # and group made.
    machine = key32(prefix, MACHINE_RECORD)
    assert snap.key(f'{machine}\\.zip') == {n: v for n, v in snap.key(zip_saved).items() if n != 'Set'}
    f = prefix.special_folders()
    links = [f['desktop'] + '\\Quabix.lnk', f['start'] + '\\Quabix.lnk']
    groups = [f['programs']] + ([f['common']] if nt else [])
    links += [f'{g}\\Quabix\\{n}.lnk' for g in groups for n in ('Quabix', 'Quabix help', 'Console QBX manual')]
    for copy in (f'{APP}\\Setup', machine):
        assert sorted(d for _, d in snap.key(f'{copy}\\Shortcuts').values()) == sorted(links), copy
        assert sorted(d for _, d in snap.key(f'{copy}\\Groups').values()) == sorted(g + '\\Quabix' for g in groups)
    # The saved choices: 20 values.
    for ext in PRIMARY:
        assert snap.value(f'{APP}\\Setup\\{ext}', 'Set') == ('REG_DWORD', 0 if ext == '.jar' else 1), ext
    assert snap.key(f'{APP}\\Setup\\Links') == {n: ('REG_DWORD', 1) for n in ('Desktop', 'StartMenu', 'Programs')}
    for n in ('ShellExt', 'CascadedMenu', 'MenuIcons'):
        assert snap.value(f'{APP}\\Setup', n) == ('REG_DWORD', 1)
    # Links and program groups.
    check_link(prefix, f['desktop'] + '\\Quabix.lnk', exe)
    check_link(prefix, f['start'] + '\\Quabix.lnk', exe)
    for group in groups:
        check_link(prefix, group + '\\Quabix\\Quabix.lnk', exe)
        check_link(prefix, group + '\\Quabix\\Quabix help.lnk', f'{inst.win}\\Quabix.hlp')
        check_link(prefix, group + '\\Quabix\\Console QBX manual.lnk', f'{inst.win}\\Qbx.txt')
        assert sorted(p.name for p in prefix.unix(group + '\\Quabix').iterdir()) == [
            'Console QBX manual.lnk', 'Quabix help.lnk', 'Quabix.lnk']
    if not nt:
        assert not prefix.unix(f['common'] + '\\Quabix').exists()


QBX_IMAGE = b'Qbx!\x1a\x07\x00\xcf\x90\x73\x00\x00\x0d\x00' + bytes(6)
ZIP_IMAGE = b'PK\x05\x06' + bytes(18)


# The parents that setup may have to create for the shell extension's keys
# and that uninstall leaves, since they can be Windows' own: the only keys
# that a round trip may add, and only empty.
SHELL_PARENTS = ['*', '*\\shellex', '*\\shellex\\ContextMenuHandlers',
                 'Folder', 'Folder\\shellex', 'Folder\\shellex\\ContextMenuHandlers',
                 'Folder\\shellex\\DragDropHandlers',
                 'Drive', 'Drive\\shellex', 'Drive\\shellex\\DragDropHandlers',
                 'Directory', 'Directory\\shellex', 'Directory\\shellex\\ContextMenuHandlers',
                 'Directory\\shellex\\DragDropHandlers',
                 'exefile', 'exefile\\shellex', 'exefile\\shellex\\PropertySheetHandlers']
APPROVED_PARENTS = ['Microsoft', 'Microsoft\\Windows', 'Microsoft\\Windows\\CurrentVersion',
                    'Microsoft\\Windows\\CurrentVersion\\Shell Extensions', APPROVED]


def parent_keys(prefix):
    keys = {f'{CLASSES}\\{k}'.lower() for k in SHELL_PARENTS}
    return keys | {key32(prefix, k).lower() for k in APPROVED_PARENTS}


def product_traces(snap, inst):
    """Keys and values anywhere in the registry that name the product, its
    files or its shell extension, or hold a New-menu template."""
    marks = ['quabix', 'qbxext', 'qbxnew.dat', 'zipnew.dat', CLSID32.lower(), CLSID64.lower(), inst.win.lower()]
    found = []
    for key, values in snap.keys.items():
        if any(m in key.lower() for m in marks):
            found.append(key)
        for name, (_, data) in values.items():
            text = f'{name} {data}'.lower()
            if any(m in text for m in marks) or data in (QBX_IMAGE, ZIP_IMAGE):
                found.append(f'{key} [{name}] = {data!r}')
    return found


def round_trip(prefix, template_file):
    """Setup with every choice, then uninstall: the registry is as before,
    but for empty parents of the shell extension's keys."""
    only_record_on_9x(prefix)
    other_programs(prefix)
    inst = product(prefix)
    before = prefix.snapshot()
    files_before = prefix.special_files()
    all_choices_on(prefix)

    setup_silently(prefix, inst)
    after_setup = prefix.snapshot()
    check_setup(prefix, inst, after_setup, template_file)

    uninstall(prefix, inst)
    after = prefix.snapshot()
    allowed = parent_keys(prefix)
    changes = wineregistry.diff(before, after, wineregistry.WINE_NOISE)
    unexpected = [c for c in changes if not (c.startswith('+ key ') and c[len('+ key '):].lower() in allowed)]
    assert not unexpected, 'unexpected changes:\n' + '\n'.join(unexpected)
    traces = product_traces(after, inst)
    assert not traces, 'left behind:\n' + '\n'.join(traces)
    for handler in NAMED_HANDLERS:
        assert not after.has(f'{CLASSES}\\{handler}'), handler
    assert after.key(f'{CLASSES}\\.zip') == {'': ('REG_SZ', OTHER_ZIP), 'Content Type': ('REG_SZ', OTHER_ZIP_CONTENT)}
    assert after.key(f'{CLASSES}\\.zip\\ShellNew') == {'NullFile': ('REG_SZ', '')}
    assert not after.has(f'{CLASSES}\\.cab')
    # The volume extension and ".rev" that had owners before setup have them
    # back; the other volume keys go.
    assert after.key(f'{CLASSES}\\.q05') == {'': ('REG_SZ', OTHER_PART)}
    assert after.key(f'{CLASSES}\\.rev') == {'': ('REG_SZ', OTHER_REV), 'Content Type': ('REG_SZ', OTHER_REV_CONTENT)}
    assert not any(after.has(f'{CLASSES}\\.q{i:02d}') for i in range(100) if i != 5)
    assert not after.has(APP)
    # Links, groups and the listed files are gone.
    assert prefix.special_files() == files_before
    assert inst.listing() == ([] if prefix.nt else ['uninstall.exe'])


def test_setup_and_uninstall_give_the_machine_back(prefix):
    round_trip(prefix, template_file=prefix.nt)


@pytest.mark.flavours('nt64', 'win98')
def test_a_silent_uninstall_by_another_account_gives_everything_back(prefix):
    """Setup by one account, the silent uninstall by another (a deployment
    tool's system account, say): that account has no application key of
    its own and its shell folders are another profile's."""
    only_record_on_9x(prefix)
    other_programs(prefix)
    inst = product(prefix)
    files_before = prefix.special_files()
    all_choices_on(prefix)
    setup_silently(prefix, inst)
    shell_folders = 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer'
    profile = 'C:\\Other profile'  # beside C:\users, whose one user the harness finds
    folders = {'Desktop': 'Desktop', 'Start Menu': 'Start Menu', 'Programs': 'Start Menu\\Programs'}
    for rel in folders.values():
        prefix.unix(f'{profile}\\{rel}').mkdir(parents=True, exist_ok=True)
    prefix.reg('reg', 'delete', APP, '/f')
    prefix.reg_set([(f'{shell_folders}\\{key}', name, 'REG_SZ', f'{profile}\\{rel}')
                    for key in ('User Shell Folders', 'Shell Folders') for name, rel in folders.items()])

    proc = prefix.start(inst.exe, '/s')
    assert proc.wait(120) == 0, proc.log.read_text(errors='replace')
    prefix.wait_server()
    after = prefix.snapshot()
    assert after.key(f'{CLASSES}\\.zip') == {'': ('REG_SZ', OTHER_ZIP), 'Content Type': ('REG_SZ', OTHER_ZIP_CONTENT)}
    assert after.key(f'{CLASSES}\\.zip\\ShellNew') == {'NullFile': ('REG_SZ', '')}
    traces = product_traces(after, inst)
    assert not traces, 'left behind:\n' + '\n'.join(traces)
    # The installing account's links and program groups are gone.
    assert prefix.special_files() == files_before
    assert not any(prefix.unix(profile).rglob('*.lnk'))


@pytest.mark.flavours('win98')
def test_setup_and_uninstall_give_the_machine_back_on_windows_me(prefix):
    # The 9x family, with the New-menu template as a file ("FileName").
    prefix.reg_add('HKCU\\Software\\Wine\\AppDefaults\\uninstall.exe', 'Version', 'REG_SZ', 'winme')
    round_trip(prefix, template_file=True)


def test_subkeys_another_program_added_after_setup_stay_and_the_archivers_type_goes(prefix):
    only_record_on_9x(prefix)
    inst = product(prefix)
    setup_silently(prefix, inst)
    handler = '{0F0E0D0C-0B0A-0908-0706-050403020100}'
    prefix.reg_set([
        ('HKCR\\.cab\\OpenWithProgids', 'OtherApp.Cab', 'REG_SZ', ''),
        ('HKCR\\.7z\\PersistentHandler', None, 'REG_SZ', handler),
    ])
    uninstall(prefix, inst)
    snap = prefix.snapshot()
    # The keys stay for the other program, without the archiver's type; on
    # the 9x family too, where deleting the key would take its subkeys.
    assert snap.key(f'{CLASSES}\\.cab') == {}
    assert snap.key(f'{CLASSES}\\.cab\\OpenWithProgids') == {'OtherApp.Cab': ('REG_SZ', '')}
    assert snap.key(f'{CLASSES}\\.7z') == {}
    assert snap.key(f'{CLASSES}\\.7z\\PersistentHandler') == {'': ('REG_SZ', handler)}
    assert not snap.has(f'{CLASSES}\\.arj')
    assert not snap.has(f'{CLASSES}\\Quabix')


def test_extensions_another_program_took_back_after_setup_keep_it_and_lose_what_setup_wrote_beside(prefix):
    """Another archiver takes .zip and .qbx back after setup and leaves their
    ShellNew keys as it found them: uninstall leaves both extensions to it
    and takes back the New-menu templates and the volume keys."""
    only_record_on_9x(prefix)
    inst = product(prefix)
    setup_silently(prefix, inst)
    prefix.reg_set([('HKCR\\.zip', None, 'REG_SZ', 'ThirdParty.Zip'), ('HKCR\\.qbx', None, 'REG_SZ', 'ThirdParty.Qbx')])
    uninstall(prefix, inst)
    after = prefix.snapshot()
    assert after.key(f'{CLASSES}\\.zip') == {'': ('REG_SZ', 'ThirdParty.Zip')}
    assert after.key(f'{CLASSES}\\.qbx') == {'': ('REG_SZ', 'ThirdParty.Qbx')}
    assert [i for i in range(100) if after.has(f'{CLASSES}\\.q{i:02d}')] == []
    # Setup's template was all that was in the ShellNew keys.
    assert not after.has(f'{CLASSES}\\.zip\\ShellNew')
    assert not after.has(f'{CLASSES}\\.qbx\\ShellNew')
    traces = product_traces(after, inst)
    assert not traces, 'left behind:\n' + '\n'.join(traces)


@pytest.mark.flavours('nt64', 'nt32')
def test_volume_keys_that_are_not_the_archivers_are_left_alone(prefix):
    """On the NT family setup takes .q00 to .q29; .q45 is another program's
    throughout, .q07 becomes another program's after setup."""
    inst = product(prefix)
    prefix.reg_set([
        ('HKCR\\.qbx', None, 'REG_SZ', 'OtherArchiver.Qbx'),
        ('HKCR\\.q45', None, 'REG_SZ', 'OtherArchiver.Volume'),
        ('HKCR\\.q45', 'Content Type', 'REG_SZ', 'application/x-other-volume'),
    ])
    before = prefix.snapshot()
    setup_silently(prefix, inst)
    prefix.reg_add('HKCR\\.q07', None, 'REG_SZ', 'OtherArchiver.Volume')
    taken = prefix.snapshot()
    assert taken.key(f'{CLASSES}\\.q45') == before.key(f'{CLASSES}\\.q45')
    uninstall(prefix, inst)
    after = prefix.snapshot()
    assert after.key(f'{CLASSES}\\.q45') == before.key(f'{CLASSES}\\.q45')
    assert after.key(f'{CLASSES}\\.q07') == {'': ('REG_SZ', 'OtherArchiver.Volume')}
    assert after.data(f'{CLASSES}\\.qbx') == 'OtherArchiver.Qbx'
    # The volume keys setup took follow the QBX type's previous owner; no
    # other volume key is made.
    for i in range(100):
        if i in (7, 45):
            continue
        v = f'{CLASSES}\\.q{i:02d}'
        assert after.key(v) == ({'': ('REG_SZ', 'OtherArchiver.Qbx')} if i < 30 else None), v


@pytest.mark.flavours('nt64', 'win98')
def test_saved_associations_survive_and_give_back_follows_the_rules(prefix):
    only_record_on_9x(prefix)
    other_programs(prefix)
    inst = product(prefix)
    prefix.reg_set([
        # .cab is the archiver's, with a saved "Type" that names it in capitals.
        ('HKCR\\.cab', None, 'REG_SZ', 'Quabix'),
        (f'{APP}\\Setup\\.cab', 'Exist', 'REG_DWORD', '1'),
        (f'{APP}\\Setup\\.cab', 'Type', 'REG_SZ', 'QUABIX'),
        (f'{APP}\\Setup\\.cab', 'Set', 'REG_DWORD', '0'),
        # .arj has a default value too long to be the archiver's.
        ('HKCR\\.arj', None, 'REG_SZ', 'Quabix' + 'x' * 74),
        (f'{APP}\\Setup\\.arj', 'Type', 'REG_SZ', 'an older record'),
    ])
    setup_silently(prefix, inst)
    setup_silently(prefix, inst)  # the second run saves nothing again
    snap = prefix.snapshot()
    assert snap.data(f'{CLASSES}\\.zip') == 'Quabix.ZIP'
    assert snap.data(f'{APP}\\Setup\\.zip', 'Type') == OTHER_ZIP
    assert snap.data(f'{APP}\\Setup\\.zip', 'ShellNew') == '*'
    assert snap.key(f'{CLASSES}\\.cab') == {'': ('REG_SZ', '')}, 'a saved "QUABIX" gives back an empty default'
    assert snap.data(f'{CLASSES}\\.arj') == 'Quabix'
    assert snap.data(f'{APP}\\Setup\\.arj', 'Type') == 'Quabix' + 'x' * 74, 'saved again'

    # Another program takes .zip back; clearing the box then leaves it to
    # that program, and takes only setup's New-menu template away.
    prefix.reg_add('HKCR\\.zip', None, 'REG_SZ', 'ThirdParty.Zip')
    prefix.reg_add(f'{APP}\\Setup\\.zip', 'Set', 'REG_DWORD', '0')
    before = prefix.snapshot()
    setup_silently(prefix, inst)
    after = prefix.snapshot()
    assert after.key(f'{CLASSES}\\.zip') == before.key(f'{CLASSES}\\.zip')
    assert before.key(f'{CLASSES}\\.zip\\ShellNew') == (
        {'FileName': ('REG_SZ', f'{inst.win}\\zipnew.dat')} if prefix.nt else {'Data': ('REG_BINARY', ZIP_IMAGE)})
    assert not after.has(f'{CLASSES}\\.zip\\ShellNew')
    assert after.key(f'{APP}\\Setup\\.zip') == before.key(f'{APP}\\Setup\\.zip')


@pytest.mark.flavours('nt64', 'nt32')
def test_a_missing_shell_extension_dll_skips_only_its_class_keys(prefix):
    inst = product(prefix)
    (inst.root / 'qbxext.dll').unlink()
    setup_silently(prefix, inst)
    snap = prefix.snapshot()
    assert not snap.has(clsid_key(prefix, CLSID32))
    for handler in CLSID_HANDLERS:
        assert snap.has(f'{CLASSES}\\{handler.format(CLSID32)}'), handler
    assert snap.value(key32(prefix, APPROVED), CLSID32) == ('REG_SZ', 'Quabix shell extension')
    if prefix.flavour == 'nt64':
        assert snap.data(clsid_key(prefix, CLSID64, True) + '\\InProcServer32') == f'{inst.win}\\qbxext64.dll'


@pytest.mark.flavours('nt32')
def test_new_archive_templates_follow_the_windows_version(prefix):
    inst = product(prefix)
    for version, takes_file in (('win98', False), ('nt40', False), ('winme', True), ('win2k', True)):
        prefix.reg_add('HKCU\\Software\\Wine\\AppDefaults\\uninstall.exe', 'Version', 'REG_SZ', version)
        setup_silently(prefix, inst)
        snap = prefix.snapshot()
        for ext, image, name in (('.qbx', QBX_IMAGE, 'qbxnew.dat'), ('.zip', ZIP_IMAGE, 'zipnew.dat')):
            expected = ({'FileName': ('REG_SZ', f'{inst.win}\\{name}')} if takes_file
                        else {'Data': ('REG_BINARY', image)})
            assert snap.key(f'{CLASSES}\\{ext}\\ShellNew') == expected, (version, ext)
        # An existing template file is not written again.
        if takes_file:
            (inst.root / 'zipnew.dat').write_bytes(b'edited by the user')
    assert (inst.root / 'zipnew.dat').read_bytes() == b'edited by the user'


@pytest.mark.flavours('nt64')
def test_an_existing_desktop_link_stays_and_the_start_menu_link_is_rewritten(prefix):
    inst = product(prefix)
    all_choices_on(prefix)
    f = prefix.special_folders()
    desktop = prefix.write(f['desktop'] + '\\Quabix.lnk', b'a link the user edited')
    start = prefix.write(f['start'] + '\\Quabix.lnk', b'an old link')
    setup_silently(prefix, inst)
    prefix.wait_server()
    assert desktop.read_bytes() == b'a link the user edited'
    check_link(prefix, f['start'] + '\\Quabix.lnk', f'{inst.win}\\Quabix.exe')
    assert start.read_bytes() != b'an old link'


@pytest.mark.flavours('nt32')
def test_app_paths_in_a_folder_under_a_drive_root_and_in_the_root(prefix):
    entry = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe'
    for win, archiver, folder in (('C:\\Quabix', 'C:\\Quabix\\Quabix.exe', 'C:\\Quabix'),
                                  ('C:\\', 'C:\\Quabix.exe', 'C:\\')):
        inst = InstallFolder(prefix, win)
        setup_silently(prefix, inst)
        snap = prefix.snapshot()
        assert snap.key(entry) == {'': ('REG_SZ', archiver), 'Path': ('REG_SZ', folder)}, win
        key = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver'
        assert snap.data(key, 'UninstallString') == f'"{inst.exe}"'
        assert snap.data(key, 'InstallLocation') == folder
        assert snap.value(key, 'EstimatedSize') is None, 'no list, no size'


@pytest.mark.flavours('nt64', 'nt32')
@pytest.mark.parametrize('switches', ['', ' /s'])
def test_an_unquoted_uninstall_command_in_a_folder_with_a_blank_and_a_dash_uninstalls(prefix, switches):
    # Started as Windows starts an uninstall command: the text exactly as
    # written, here unquoted with a blank, so the C runtime's own split would
    # find "-Archiver\uninstall.exe" as a switch.
    inst = product(prefix, 'C:\\Program Files\\Quabix-Archiver')
    proc = prefix.start(f'{TOOLS}\\winpilot.exe', 'launch', inst.exe, inst.exe + switches)
    if not switches:
        text, _ = prefix.message_box(CAPTION)
        assert text == CONFIRM
        prefix.click(CAPTION, IDYES)
    assert proc.wait(120) == 0
    prefix.wait_server()
    assert inst.listing() == []


@pytest.mark.flavours('nt64', 'nt32')
def test_the_quiet_uninstall_command_as_listed_uninstalls_without_a_question(prefix):
    # What a deployment tool does: read the command from the entry and start
    # it as written (no application name), then read the exit code.
    inst = product(prefix)
    setup_silently(prefix, inst)
    entry = key32(prefix, 'Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver')
    command = prefix.snapshot().data(entry, 'QuietUninstallString')
    assert command == f'"{inst.exe}" /s'
    proc = prefix.start(f'{TOOLS}\\winpilot.exe', 'launch', '-', command)
    assert proc.wait(120) == 0
    assert '{"exit":0}' in proc.log.read_text(encoding='latin-1')
    prefix.wait_server()
    assert not inst.exists(), inst.listing()
    assert prefix.snapshot().key(entry) is None
