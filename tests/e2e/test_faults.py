"""Faults: uninstall and setup stopped at points spread over their work and
run again end as an uninterrupted run does; a DLL planted beside the tool
under a system DLL's name is never loaded; a double-byte install folder.

How a point is hit: stopper.exe, a second Windows process started before the
tool, watches for one file or registry key that the tool removes or writes
at that point (a link, a document type key, a listed file, a saved association)
and terminates the tool the moment it sees the change, as a crash or a
power cut would. The product itself has no hook for it."""
# parts: 2
import time

import pytest

import harness
import wineregistry
from harness import TOOLS
from test_integration import OTHER_PART, CLSID32, all_choices_on, lnkinfo, other_programs, product, setup_silently
from test_uninstall import CAPTION, REBOOT, hold, only_record_on_9x, release, temp_folder

FILES = 1200
# Many folders, so that the folder pass, which removes them one by one after
# the first pass, lasts long enough to be stopped in from outside.
FOLDERS = 200
UNINSTALL_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver'
APP_PATHS_KEY = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe'


def data_file(i):
    return f'Data\\D{i % FOLDERS:02d}\\f{i:04d}.dat'


def prepared(prefix):
    """Another program's .zip, the product with every choice on, and a large
    list: folders first, so that the passes go on after the files."""
    only_record_on_9x(prefix)
    other_programs(prefix)
    inst = product(prefix)
    all_choices_on(prefix)
    folders = ['Data'] + [f'Data\\D{d:02d}' for d in range(FOLDERS)]
    for i in range(FILES):
        inst.add(data_file(i), b'd')
    listed = (inst.root / 'Uninstall.lst').read_bytes().decode('latin-1').split('\r\n')
    inst.write_list(folders + [data_file(i) for i in range(FILES)] + [e for e in listed if e])
    return inst


def end_state(prefix, inst):
    """Registry, links and files, once every program has ended."""
    snap = prefix.snapshot()
    files = sorted(str(p.relative_to(prefix.unix('C:\\Program Files')))
                   for p in prefix.unix('C:\\Program Files').rglob('*') if 'Quabix' in str(p))
    temp = sorted(p.name for p in prefix.unix(temp_folder(prefix)).iterdir())
    # Links by what they hold; their bytes carry the target's file times.
    links = {}
    for name, data in prefix.special_files().items():
        if name.endswith('.lnk'):
            root, rel = name.split('/', 1)
            info = lnkinfo(prefix.unix(prefix.special_folders()[root] + '\\' + rel.replace('/', '\\')))
            data = {k: info.get(k) for k in ('Local path', 'Description', 'Command line arguments',
                                             'Working directory', 'Icon location')}
        links[name] = data
    return snap, links, files, temp


def compare(reference, state):
    ref_snap, ref_links, ref_files, ref_temp = reference
    snap, links, files, temp = state
    changes = wineregistry.diff(ref_snap, snap, wineregistry.WINE_NOISE)
    assert not changes, 'registry differs from an uninterrupted run:\n' + '\n'.join(changes)
    assert links == ref_links
    assert files == ref_files
    assert temp == ref_temp


def uninstall_silently(prefix, inst):
    proc = prefix.start(inst.exe, '/s')
    assert proc.wait(120) == 0, proc.log.read_text(errors="replace")


def stop_at(prefix, condition, path, run):
    """Starts stopper.exe on the condition, then the tool by run(), and waits
    until stopper has ended the tool."""
    flag = f'{TOOLS}\\stopper-{time.monotonic_ns()}'
    stopper = prefix.start(f'{TOOLS}\\stopper.exe', 'uninstall.exe', flag, condition, path, '60000')
    for _ in range(400):
        if prefix.unix(flag).exists():
            break
        time.sleep(0.025)
    else:
        raise AssertionError('stopper did not start')
    tool = run()
    assert stopper.wait(90) == 0, stopper.log.read_text(errors='replace')
    assert '"stopped":1' in stopper.log.read_text(errors='replace')
    tool.wait(60)


_references = {}


def reference(flavour, display, kind):
    """The end state of an uninterrupted run, once per flavour and kind."""
    key = (flavour, kind)
    if key not in _references:
        prefix = harness.Prefix(flavour, f'faults-reference-{kind}-{flavour}', display)
        try:
            inst = prepared(prefix)
            setup_silently(prefix, inst)
            if kind == 'uninstall':
                uninstall_silently(prefix, inst)
            _references[key] = end_state(prefix, inst)
        finally:
            prefix.close()
    return _references[key]


def desktop_link(prefix):
    return prefix.special_folders()['desktop'] + '\\Quabix.lnk'


# Points spread over an uninstall, in the order in which it reaches them:
# the removal of the integration, the help index, the passes. The start of
# self-removal is no point here: the tool starts the interpreter right after
# writing the batch file, so a stop from outside cannot be made to land
# between the two, and a run in which it landed after them would test
# nothing; the batch file's own run is tested in test_uninstall.
UNINSTALL_POINTS = {
    'associations': lambda p, i: ('key-gone', 'HKCR\\.cab'),
    'shell-extension': lambda p, i: ('key-gone', f'HKCR\\CLSID\\{CLSID32}'),
    'links': lambda p, i: ('file-gone', desktop_link(p)),
    'document-types': lambda p, i: ('key-gone', 'HKCR\\Quabix.ZIP'),
    'application-key': lambda p, i: ('key-gone', 'HKCU\\Software\\Quabix\\Setup\\.zip'),
    'help-index': lambda p, i: ('file-gone', f'{i.win}\\quabix.gid'),
    'first-pass-early': lambda p, i: ('file-gone', f'{i.win}\\{data_file(FILES // 4)}'),
    'first-pass-late': lambda p, i: ('file-gone', f'{i.win}\\{data_file(FILES * 3 // 4)}'),
    # The first folder the pass removes: the other folders are still to go.
    'folder-pass': lambda p, i: ('file-gone', f'{i.win}\\Data\\D00'),
}


@pytest.mark.flavours('nt64', 'win98')
@pytest.mark.parametrize('point', list(UNINSTALL_POINTS))
def test_an_interrupted_uninstall_run_again_ends_as_one_uninterrupted(prefix, display, point):
    expected = reference(prefix.flavour, display, 'uninstall')
    inst = prepared(prefix)
    inst.add('quabix.gid')
    setup_silently(prefix, inst)
    condition, path = UNINSTALL_POINTS[point](prefix, inst)
    stop_at(prefix, condition, path, lambda: prefix.start(inst.exe, '/s'))
    prefix.wait_server()
    # The list goes, and the executable with the batch file, only once
    # self-removal has started: both are there for the second run.
    assert inst.exists('Uninstall.lst'), 'stopped after its work was done'
    assert inst.exists('uninstall.exe')
    uninstall_silently(prefix, inst)
    compare(expected, end_state(prefix, inst))


@pytest.mark.flavours('nt64', 'win98')
def test_a_give_back_stopped_between_the_template_value_and_its_key_is_finished_when_run_again(prefix, display):
    """The first give-back, of .qbx (no key before setup), stopped right after
    it took the New-menu template value away: its volume keys are given back,
    an emptied ShellNew key is left under a .qbx still bound to the archiver.
    The window is a few registry calls wide, too narrow for a stop from
    outside to land in at will, so the test makes the state the stop leaves."""
    expected = reference(prefix.flavour, display, 'uninstall')
    inst = prepared(prefix)
    setup_silently(prefix, inst)
    template = 'FileName' if prefix.nt else 'Data'
    volumes = [(f'HKCR\\.q{i:02d}', None, 'DELETE', None) for i in range(30 if prefix.nt else 100) if i != 5]
    prefix.reg_set(volumes + [('HKCR\\.q05', None, 'REG_SZ', OTHER_PART),
                              ('HKCR\\.qbx\\ShellNew', template, 'DELETE', None)])
    stopped = prefix.snapshot()
    assert stopped.key('HKLM\\Software\\Classes\\.qbx\\ShellNew') == {}
    assert stopped.data('HKLM\\Software\\Classes\\.qbx') == 'Quabix'
    assert not stopped.has('HKLM\\Software\\Classes\\.q00')
    uninstall_silently(prefix, inst)
    compare(expected, end_state(prefix, inst))


def test_an_uninstall_stopped_at_the_restart_notice_finishes_when_run_again(prefix):
    """The user restarts Windows while the notice is up: the list is still
    there, and the next run finishes the uninstall."""
    only_record_on_9x(prefix)
    inst = harness.InstallFolder(prefix)
    locked = f'{inst.win}\\Data\\locked.dat'
    inst.add('Data\\locked.dat', b'busy')
    inst.add('Data\\other.dat', b'x')
    inst.write_list(['Data\\other.dat', 'Data\\locked.dat', 'Data', 'uninstall.exe', 'Uninstall.lst'])
    holder, flag = hold(prefix, 'open', locked)
    proc = prefix.start(inst.exe, '/s')
    text, _ = prefix.message_box(CAPTION)
    assert text == REBOOT
    # The condition holds at once: stopper ends the tool as soon as it watches.
    stop_at(prefix, 'file-there', inst.exe, lambda: proc)
    assert inst.exists('Uninstall.lst')
    assert not inst.exists('Data\\other.dat')
    release(prefix, flag)
    holder.wait(30)
    uninstall_silently(prefix, inst)
    prefix.wait_server()
    if prefix.nt:
        assert not inst.exists(), inst.listing()
    else:
        # The batch file is recorded, not run: only what it would remove is left.
        assert inst.listing() == ['uninstall.exe']


SETUP_POINTS = {
    'app-paths': ('key-there', APP_PATHS_KEY),
    'shell-extension': ('key-there', f'HKCR\\CLSID\\{CLSID32}'),
    # Saving the choices already makes Setup\.zip (its "Set" value) before
    # any association is saved; Setup\.lha, of no choice of its own, is made
    # only by saving the association of .lha, after those of .qbx to .lzh.
    'saved-association': ('key-there', 'HKCU\\Software\\Quabix\\Setup\\.lha'),
    'volume-extensions': ('key-there', 'HKCR\\.q15'),
    'links': ('file-there', None),
    'uninstall-entry': ('key-there', UNINSTALL_KEY),
}


@pytest.mark.flavours('nt64', 'win98')
@pytest.mark.parametrize('point', list(SETUP_POINTS))
def test_an_interrupted_setup_run_again_ends_as_one_uninterrupted(prefix, display, point):
    expected = reference(prefix.flavour, display, 'setup')
    inst = prepared(prefix)
    condition, path = SETUP_POINTS[point]
    stop_at(prefix, condition, path or desktop_link(prefix),
            lambda: prefix.start(inst.exe, '/setup', '/s', cwd=inst.win))
    prefix.wait_server()
    if point != 'uninstall-entry':
        assert prefix.reg_query(UNINSTALL_KEY, 'UninstallString') is None, 'stopped after setup was done'
        prefix.wait_server()
    setup_silently(prefix, inst)
    compare(expected, end_state(prefix, inst))


@pytest.mark.flavours('nt64', 'nt32')
def test_a_planted_rich_edit_dll_is_not_loaded_and_the_language_dll_is(prefix):
    # Wine prefers its own built-in DLLs; as Windows does, take a DLL file
    # that is found first.
    prefix.env['WINEDLLOVERRIDES'] += ';riched32=n,b'
    inst = product(prefix)
    prefix.copy_in(prefix.tools_source / 'planted.dll', f'{inst.win}\\riched32.dll')
    proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
    # The dialog can only be made with the real control, from the system folder.
    rows = prefix.window('Quabix Setup')
    assert any(r['class'].lower() == 'richedit' for r in rows[1:]), rows
    # Cancel: the close box, which the dialog takes as IDCANCEL.
    assert prefix.pilot('close', 'Quabix Setup') == [{'closed': True}]
    # A Done dialog would wait for an answer and keep the tool running.
    assert proc.wait(60) == 0, 'no Done dialog after cancel'
    prefix.wait_server()
    marker = prefix.unix('C:\\qbx-record\\planted.txt')
    assert not marker.exists(), marker.read_bytes()
    # The planted DLL does record a load when a program takes it from its
    # own folder, as the default search order does.
    prefix.copy_in(prefix.tools_source / 'winpilot.exe', f'{inst.win}\\winpilot.exe')
    _, out = prefix.wine(f'{inst.win}\\winpilot.exe', 'load', 'riched32.dll')
    assert f'{inst.win}\\riched32.dll'.replace('\\', '\\\\') in out, out
    assert marker.read_bytes().decode('latin-1').splitlines() == [f'{inst.win}\\winpilot.exe']
    # The language DLL is loaded from the install folder, by its full path.
    marker.unlink()
    prefix.copy_in(prefix.tools_source / 'planted.dll', f'{inst.win}\\qbxlng.dll')
    rc, _ = prefix.wine(inst.exe, '/wait', timeout=30)
    assert rc == 0
    assert marker.read_bytes().decode('latin-1').splitlines() == [inst.exe]
