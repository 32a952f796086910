"""Uninstall mode as a user meets it: the real uninstall.exe in a real install
folder, its message boxes answered from a second process, files and registry
read afterwards."""
import json
import time

import pytest

from harness import IDNO, IDOK, IDYES, RECORD, TOOLS, InstallFolder, ReadGate

CAPTION = 'Uninstall Quabix'
CONFIRM = 'Continue with uninstall Quabix'
REBOOT = 'You need to reboot Windows to uninstall Quabix completely.'


def temp_folder(prefix):
    users = [u for u in prefix.unix('C:\\users').iterdir() if u.name != 'Public']
    assert len(users) == 1
    return f'C:\\users\\{users[0].name}\\Temp'


def expected_batch(exe, folder, bat, nt, silent=False):
    esc = {k: v.replace('%', '%%') for k, v in dict(exe=exe, folder=folder, bat=bat).items()}
    first = f'"{esc["exe"]}" /wait' if nt else f'start /wait "{esc["exe"]}" /wait'
    block = [f'del "{esc["exe"]}"', f'rd "{esc["folder"]}"', f'if not exist "{esc["exe"]}" goto done'] * 5
    warning = '/s /warning' if silent else '/warning'
    tail = [':done', f'if exist "{esc["exe"]}" "{esc["exe"]}" {warning}', f'del "{esc["bat"]}"']
    return '\r\n'.join([first] + block + tail)


def recorded(prefix):
    """The batch file and start-up notes that the stand-in interpreter kept."""
    batch = prefix.unix(f'{RECORD}\\batch.bat')
    start = prefix.unix(f'{RECORD}\\start.txt')
    if not start.exists():
        return None, {}
    notes = dict(line.split('=', 1) for line in start.read_bytes().decode('latin-1').splitlines() if '=' in line)
    return (batch.read_bytes().decode('latin-1') if batch.exists() else None), notes


def only_record_on_9x(prefix):
    # Wine's cmd follows NT rules: the 9x line "start /wait "exe" /wait" opens
    # an interactive cmd that never ends. On 9x the batch file is checked as
    # text and not run.
    if not prefix.nt:
        prefix.write(f'{RECORD}\\norun', b'')


def launch(prefix, inst, *args, unseen=False):
    """Starts the tool as Windows starts its uninstall command (the quoted
    path and the switches), from winpilot, which reports the exit code: a
    deployment tool reads it, and Wine hands only its low byte to Linux.
    unseen: in a window station that is not visible, as a deployment agent
    that runs as the system account starts it."""
    command = ' '.join([f'"{inst.exe}"', *args])
    return prefix.start(f'{TOOLS}\\winpilot.exe', 'launch-unseen' if unseen else 'launch', inst.exe, command)


def exit_code(proc, timeout=60):
    assert proc.wait(timeout) == 0
    for line in proc.log.read_bytes().decode('latin-1').splitlines():
        if line.startswith('{"exit"'):
            return json.loads(line)['exit']
    raise AssertionError(proc.log.read_bytes())


def uninstall(prefix, inst, *args, answer=IDYES):
    """Starts uninstall mode and answers its confirmation; returns the exit
    code."""
    proc = launch(prefix, inst, *args)
    text, buttons = prefix.message_box(CAPTION)
    assert text == CONFIRM
    assert IDYES in buttons and IDNO in buttons
    prefix.click(CAPTION, answer)
    return exit_code(proc)


def sample_install(prefix, win='C:\\Program Files\\Quabix'):
    inst = InstallFolder(prefix, win)
    for rel in ('Quabix.exe', 'qbxext.dll', 'qbxlng.dll', 'quabix.hlp', 'license.txt',
                'Formats\\zip.fmt', 'Formats\\Deep\\cab.fmt', 'Docs\\read me.txt'):
        inst.add(rel)
    inst.add('quabix.gid')
    inst.add('quabix.fts')
    entries = ['Quabix.exe', 'qbxext.dll', 'qbxlng.dll', 'quabix.hlp', 'license.txt',
               'Formats\\zip.fmt', 'Formats\\Deep\\cab.fmt', 'Formats\\Deep', 'Formats',
               'Docs\\read me.txt', 'Docs', 'uninstall.exe', 'Uninstall.lst']
    inst.write_list(entries)
    return inst


def test_confirmation_no_changes_nothing(prefix):
    inst = sample_install(prefix)
    before = inst.listing()
    assert uninstall(prefix, inst, answer=IDNO) == 1602  # ERROR_INSTALL_USEREXIT
    prefix.wait_server()
    assert inst.listing() == before
    assert recorded(prefix) == (None, {})


# A silent run shows a message only where a person can see it; where no one
# can (a deployment agent's window station), it ends by itself and the exit
# code tells.
SEEN = pytest.mark.parametrize('unseen', [False, True], ids=['visible', 'unseen-station'])


@SEEN
def test_missing_list_shows_the_message_and_removes_nothing(prefix, unseen):
    inst = InstallFolder(prefix)
    inst.add('Quabix.exe')
    inst.add('quabix.gid')
    before = inst.listing()
    proc = launch(prefix, inst, '/s', unseen=unseen)
    if not unseen:
        text, buttons = prefix.message_box(CAPTION)
        assert text == 'Cannot open list file Uninstall.lst'
        assert list(buttons) == [IDOK]
        prefix.click(CAPTION, IDOK)
    assert exit_code(proc) == 1603  # ERROR_INSTALL_FAILURE
    prefix.wait_server()
    assert inst.listing() == before
    assert recorded(prefix) == (None, {})


def test_uninstall_removes_the_listed_files_and_then_itself(prefix):
    only_record_on_9x(prefix)
    inst = sample_install(prefix)
    outside = prefix.write('C:\\Program Files\\other.txt', b'not ours')
    assert uninstall(prefix, inst) == 0
    prefix.wait_server()

    batch, notes = recorded(prefix)
    bat = temp_folder(prefix) + '\\Uninstall_Qbx.Bat'
    assert batch == expected_batch(inst.exe, inst.win, bat, prefix.nt)
    # The 9x interpreter gets the batch file's short name: COMMAND.COM knows
    # no quotes.
    assert notes['bat'] == (bat if prefix.nt else short_path(prefix, bat))
    # The interpreter starts in the parent of the install folder.
    assert notes['cwd'].rstrip('\\').lower() == 'c:\\program files'
    assert outside.exists()
    if prefix.nt:
        assert notes['flags'] == '1' and notes['show'] == '0'  # hidden window
        assert not inst.exists(), inst.listing()
        assert not prefix.unix(bat).exists()
    else:
        assert notes['flags'] == '256'  # standard handles: the NUL device
        assert notes['stdin'] == '2' and notes['stdout'] == '2'
        # Only what the batch file would have removed is left.
        assert inst.listing() == ['uninstall.exe']
        assert prefix.unix(bat).exists()


def test_list_formats_and_attributes(prefix):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    for rel in ('a\\b\\c\\deep.txt', 'a\\b\\mid.txt', 'a\\top.txt', ' lead.txt', 'padded.txt', 'last.txt',
                'ro.txt', 'hidden.txt', 'system.txt'):
        inst.add(rel)
    # Folders first, deepest last: removed over several passes.
    lines = ['a', 'a\\b', 'a\\b\\c', '', '   \t', 'a\\b\\c\\deep.txt', 'a\\b\\mid.txt\t ', 'a\\top.txt',
             ' lead.txt', 'padded.txt   ', 'ro.txt', 'hidden.txt', 'system.txt', 'missing.txt', 'last.txt']
    text = '\r\n'.join(lines[:6]) + '\n' + '\n'.join(lines[6:])  # CR LF, LF, no final line break
    inst.add('Uninstall.lst', text.encode())
    for name, flags in (('ro.txt', '+r'), ('hidden.txt', '+h'), ('system.txt', '+s')):
        rc, out = prefix.wine('cmd', '/c', 'attrib', flags, f'{inst.win}\\{name}')
        assert rc == 0, out
    assert not (inst.root / 'ro.txt').stat().st_mode & 0o222
    uninstall(prefix, inst)
    prefix.wait_server()
    left = inst.listing()
    assert left == ([] if prefix.nt else ['uninstall.exe']), left


def test_entries_reaching_outside_and_paths_that_do_not_fit_are_skipped(prefix):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    victim = prefix.write('C:\\Program Files\\victim.txt', b'keep me')
    keep = inst.add('keep.txt', b'keep me')
    inst.add('gone.txt')
    entries = ['..\\victim.txt', 'sub\\..\\..\\victim.txt', '.. \\victim.txt', '...\\victim.txt',
               # Cut at 1024 bytes this would be "keep.txt" and blanks, which
               # Windows takes for keep.txt itself.
               'keep.txt' + ' ' * 1100 + 'x',
               'x' * 5000,
               'gone.txt']
    inst.write_list(entries)
    uninstall(prefix, inst)
    prefix.wait_server()
    assert victim.read_bytes() == b'keep me'
    assert keep.read_bytes() == b'keep me'
    assert not inst.exists('gone.txt')
    assert not inst.exists('Uninstall.lst')


def short_path(prefix, win):
    rows = prefix.pilot('shortpath', win)
    assert rows and 'short' in rows[0], rows
    return rows[0]['short']


def wininit_renames(prefix):
    ini = prefix.unix('C:\\windows\\wininit.ini')
    if not ini.exists():
        return []
    lines = ini.read_bytes().decode('latin-1').split('\r\n')
    assert '[rename]' in [line.lower() for line in lines]
    return [line[4:] for line in lines if line.startswith('NUL=')]


def hold(prefix, mode, *args):
    """Starts holder.exe and waits until it holds its file."""
    flag = f'{TOOLS}\\flag-{mode}-{len(args)}-{time.monotonic_ns()}'
    prog = args[0] if mode == 'run' else f'{TOOLS}\\holder.exe'
    rest = ['run', flag] if mode == 'run' else ['open', args[0], flag]
    proc = prefix.start(prog, *rest)
    for _ in range(200):
        if prefix.unix(flag).exists():
            return proc, flag
        time.sleep(0.05)
    raise AssertionError(f'holder did not start: {prefix.start}')


def release(prefix, flag):
    prefix.unix(flag).unlink()


def test_a_list_read_that_fails_keeps_the_list_and_a_second_run_finishes(prefix):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    # More than the first read of the list (4096 bytes); later reads fail.
    names = [f'Data\\file-{i:03d}-{"x" * 40}.dat' for i in range(150)]
    for name in names:
        inst.add(name)
    inst.write_list(names + ['Data', 'uninstall.exe', 'Uninstall.lst'])
    try:
        gate = ReadGate(inst.root / 'Uninstall.lst', allowed=1)
    except OSError as e:
        pytest.skip(f'no fanotify permission events here ({e}): a failing read cannot be made')
    try:
        assert exit_code(launch(prefix, inst, '/s')) == 1603  # ERROR_INSTALL_FAILURE
        assert gate.denied > 0
        left = inst.listing()
        assert 'Uninstall.lst' in left and 'uninstall.exe' in left
        assert 'Data/' + names[0][5:] not in left  # what was read went
        assert 'Data/' + names[-1][5:] in left
        assert recorded(prefix) == (None, {})  # no self-removal
        gate.release()
        assert exit_code(launch(prefix, inst, '/s')) == 0
    finally:
        gate.close()
    prefix.wait_server()
    assert inst.listing() == ([] if prefix.nt else ['uninstall.exe'])


@pytest.mark.parametrize('leftover', [True, False], ids=['unlisted-file', 'nothing-else'])
def test_a_running_program_is_moved_and_deleted_at_restart(prefix, leftover):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    prefix.copy_in(prefix.unix(f'{TOOLS}\\holder.exe'), f'{inst.win}\\Quabix.exe')
    if leftover:
        inst.add('Quabix.exe.0.tmp', b'an earlier left-over')
    inst.add('other.dll')
    inst.write_list(['Quabix.exe', 'other.dll', 'uninstall.exe', 'Uninstall.lst'])
    running, flag = hold(prefix, 'run', f'{inst.win}\\Quabix.exe')

    # Silent, so that any message box of this caption is the restart notice,
    # watched for while the tool runs (it would also keep the tool waiting).
    seen = prefix.watch(CAPTION)
    assert exit_code(launch(prefix, inst, '/s')) == 3010  # a file waits for the restart
    assert not seen(), 'no restart notice: the file could be moved'
    moved = f'{inst.win}\\Quabix.exe.{1 if leftover else 0}.tmp'
    assert not inst.exists('Quabix.exe')
    assert prefix.unix(moved).exists()
    if prefix.nt:
        # After the file, the install folder that held it.
        assert prefix.pending_renames() == [f'\\??\\{moved}', f'\\??\\{inst.win}']
    else:
        # wininit.ini cannot remove folders.
        assert wininit_renames(prefix) == [short_path(prefix, moved)]
        assert prefix.pending_renames() == []
    release(prefix, flag)
    running.wait(30)
    prefix.wait_server()
    # The install folder stays while the .tmp file waits in it.
    assert inst.exists()
    assert not inst.exists('uninstall.exe') or not prefix.nt
    prefix.restart()
    assert not prefix.unix(moved).exists()
    if leftover:
        # Not listed, so not ours to delete (and on 9x the batch file did not run).
        assert inst.listing() == ['Quabix.exe.0.tmp'] + ([] if prefix.nt else ['uninstall.exe'])
    elif prefix.nt:
        assert not inst.exists()  # nothing of the install folder is left


@SEEN
def test_a_file_held_open_is_deferred_under_its_own_name_with_notice_in_silent_mode(prefix, unseen):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    locked = f'{inst.win}\\Data\\locked.dat'
    inst.add('Data\\locked.dat', b'busy')
    inst.write_list(['Data\\locked.dat', 'Data', 'uninstall.exe', 'Uninstall.lst'])
    holder, flag = hold(prefix, 'open', locked)

    proc = launch(prefix, inst, '/s', unseen=unseen)
    if not unseen:
        text, buttons = prefix.message_box(CAPTION)
        assert text == REBOOT
        assert list(buttons) == [IDOK]
        prefix.click(CAPTION, IDOK)
    assert exit_code(proc) == 3010  # ERROR_SUCCESS_REBOOT_REQUIRED
    assert inst.exists('Data\\locked.dat')
    assert not any(p.name.endswith('.tmp') for p in inst.root.rglob('*'))
    if prefix.nt:
        # The file, then the folders that held it, deepest first.
        assert prefix.pending_renames() == [f'\\??\\{locked}', f'\\??\\{inst.win}\\Data', f'\\??\\{inst.win}']
    else:
        short_path_before = short_path(prefix, locked)
        assert wininit_renames(prefix) == [short_path_before]
    release(prefix, flag)
    holder.wait(30)
    if unseen:
        return  # the restart is the same as in the visible run
    prefix.wait_server()
    prefix.restart()
    assert not inst.exists('Data\\locked.dat')
    if prefix.nt:
        assert not inst.exists()
    else:
        # The restart carried the section out and set the file aside.
        assert not prefix.unix('C:\\windows\\wininit.ini').exists()
        done = prefix.unix('C:\\windows\\wininit.bak').read_bytes().decode('latin-1')
        assert f'NUL={short_path_before}' in done


@pytest.mark.flavours('win98')
def test_every_deferred_file_keeps_its_own_wininit_line(prefix):
    only_record_on_9x(prefix)
    inst = InstallFolder(prefix)
    prefix.write('C:\\windows\\wininit.ini', b'[rename]\r\nC:\\KEEP.TXT=C:\\KEEP.NEW\r\n')
    first = f'{inst.win}\\one.dat'
    second = f'{inst.win}\\Sub Folder\\two.dat'
    inst.add('one.dat')
    inst.add('Sub Folder\\two.dat')
    inst.write_list(['one.dat', 'Sub Folder\\two.dat'])
    holders = [hold(prefix, 'open', first), hold(prefix, 'open', second)]
    proc = prefix.start(inst.exe, '/s')
    text, _ = prefix.message_box(CAPTION)
    assert text == REBOOT
    prefix.click(CAPTION, IDOK)
    proc.wait(60)
    ini = prefix.unix('C:\\windows\\wininit.ini').read_bytes().decode('latin-1')
    assert ini.startswith('[rename]\r\nC:\\KEEP.TXT=C:\\KEEP.NEW\r\n')
    assert wininit_renames(prefix) == [short_path(prefix, first), short_path(prefix, second)]
    # Written beside it and put in place: nothing else is left.
    assert sorted(p.name.lower() for p in prefix.unix('C:\\windows').glob('wininit.*')) == ['wininit.ini']
    for holder, flag in holders:
        release(prefix, flag)
        holder.wait(30)


@pytest.mark.flavours('nt64', 'nt32')
@pytest.mark.parametrize('install, temp', [
    ('C:\\Program Files\\Quabix R\xe9sum\xe9', None),  # ANSI 0xE9, another letter in OEM 437
    (None, 'C:\\users\\Jos\xe9\\Temp'),
    (None, 'C:\\R&D (tools)\\Temp'),  # cmd /c "..." would drop the quotes
], ids=['accented-install-folder', 'accented-temp-folder', 'ampersand-temp-folder'])
def test_self_removal_where_cmd_reads_paths_otherwise(prefix, install, temp):
    # Wine's real cmd reads the batch file in the OEM code page and applies
    # the /c quoting rule, as Windows' cmd does.
    if temp:
        prefix.unix(temp).mkdir(parents=True)
        for name in ('TEMP', 'TMP'):
            prefix.reg_add('HKCU\\Environment', name, 'REG_SZ', temp)
    inst = sample_install(prefix, install or 'C:\\Program Files\\Quabix')
    assert uninstall(prefix, inst) == 0
    prefix.wait_server()
    batch, notes = recorded(prefix)
    bat = (temp or temp_folder(prefix)) + '\\Uninstall_Qbx.Bat'
    assert notes['bat'] == bat
    assert not inst.exists(), inst.listing()
    assert not prefix.unix(bat).exists()


@pytest.mark.flavours('nt64', 'nt32')
def test_a_temp_folder_the_ansi_code_page_cannot_spell(prefix):
    # An account name in another script: GetTempPathA names the folder with
    # "?" on the NT family, so the batch file goes where it can be named.
    temp = 'C:\\users\\\u0418\u0432\u0430\u043d\\Temp'
    prefix.unix(temp).mkdir(parents=True)
    for name in ('TEMP', 'TMP'):
        prefix.reg_add('HKCU\\Environment', name, 'REG_SZ', temp)
    inst = sample_install(prefix)
    assert exit_code(launch(prefix, inst, '/s')) == 0
    prefix.wait_server()
    _, notes = recorded(prefix)
    folder, _, name = notes['bat'].rpartition('\\')
    assert name == 'Uninstall_Qbx.Bat'
    assert folder.lower() != 'c:\\windows\\temp'  # the short form of the folder came first
    assert '?' not in folder
    assert not inst.exists(), inst.listing()
    assert list(prefix.unix(temp).iterdir()) == []


@pytest.mark.flavours('nt64', 'nt32')
def test_percent_signs_in_the_install_path_keep_their_meaning(prefix):
    inst = sample_install(prefix, 'C:\\Program Files\\Q%TEMP%b 100%')
    uninstall(prefix, inst)
    prefix.wait_server()
    batch, _ = recorded(prefix)
    assert 'rd "C:\\Program Files\\Q%%TEMP%%b 100%%"' in batch
    assert not inst.exists(), inst.listing()


@pytest.mark.flavours('nt64', 'nt32')
def test_an_exclamation_mark_survives_delayed_expansion(prefix):
    # Where the registry turns delayed expansion on, cmd reads "!b!" as a
    # variable, so the interpreter is started with /v:off. Wine 8's cmd reads
    # no such setting: the switch is checked on the command line, and the
    # folder's removal shows that cmd takes it.
    inst = sample_install(prefix, 'C:\\Program Files\\Q!b! now!')
    assert uninstall(prefix, inst) == 0
    prefix.wait_server()
    _, notes = recorded(prefix)
    assert ' /v:off /d /c ' in notes['command']
    assert not inst.exists(), inst.listing()


@pytest.mark.flavours('nt64', 'nt32')
@pytest.mark.parametrize('unseen', [False, True], ids=['interactive', 'silent-unseen-station'])
def test_an_executable_still_locked_after_five_tries_gets_the_warning(prefix, unseen):
    inst = sample_install(prefix)
    holder, flag = hold(prefix, 'open', inst.exe)
    bat = temp_folder(prefix) + '\\Uninstall_Qbx.Bat'
    if unseen:
        # The warning run is silent too, and where no one sees it, it shows
        # nothing: the batch file ends by itself while the file is held.
        assert exit_code(launch(prefix, inst, '/s', unseen=True)) == 0
        for _ in range(600):
            if not prefix.unix(bat).exists():
                break
            time.sleep(0.1)
        assert not prefix.unix(bat).exists(), prefix.programs()
        batch, _ = recorded(prefix)
        assert batch == expected_batch(inst.exe, inst.win, bat, True, silent=True)
    else:
        uninstall(prefix, inst)
        # The batch file cannot delete the executable and asks it to warn.
        text, buttons = prefix.message_box(CAPTION, 30000)
        assert text == f'Uninstall completed\nYou should delete {inst.win}\\uninstall.exe manually'
        assert list(buttons) == [IDOK]
        prefix.click(CAPTION, IDOK)
    release(prefix, flag)
    holder.wait(30)
    prefix.wait_server()
    assert inst.listing() == ['uninstall.exe']
    assert not prefix.unix(temp_folder(prefix) + '\\Uninstall_Qbx.Bat').exists()


def test_wait_and_unknown_switches_do_nothing(prefix):
    inst = sample_install(prefix)
    before = inst.listing()
    # Any counted switch keeps uninstall mode away (no confirmation shows
    # while the runs go on); one that is no switch of a mode (another
    # installer's, a path with a hyphen) is reported as
    # ERROR_INVALID_COMMAND_LINE, not as a success.
    seen = prefix.watch(CAPTION)
    for switch, least, code in (('/wait', 2.0, 0), ('-WAITING', 2.0, 0), ('/clean', 0.0, 1639),
                                ('/sx', 0.0, 1639), ('/S /norestart', 0.0, 1639), ('/quiet', 0.0, 1639),
                                ('/qn', 0.0, 1639), ('C:\\my-files\\x', 0.0, 1639)):
        start = time.monotonic()
        assert exit_code(launch(prefix, inst, switch)) == code, switch
        took = time.monotonic() - start
        assert took >= least, (switch, took)
    assert not seen(), 'a confirmation showed'
    prefix.wait_server()
    assert inst.listing() == before
    assert recorded(prefix) == (None, {})


def test_warning_switch_shows_the_completion_message(prefix):
    inst = sample_install(prefix, 'C:\\Program Files\\Quabix Archiver')
    before = inst.listing()
    proc = prefix.start(inst.exe, '/warning')
    text, buttons = prefix.message_box(CAPTION)
    assert text == f'Uninstall completed\nYou should delete {inst.exe} manually'
    assert list(buttons) == [IDOK]
    prefix.click(CAPTION, IDOK)
    assert proc.wait(30) == 0
    prefix.wait_server()
    assert inst.listing() == before


@pytest.mark.flavours('nt64')
def test_silent_uninstall_asks_nothing(prefix):
    inst = sample_install(prefix)
    proc = prefix.start(inst.exe, '-S')
    assert proc.wait(60) == 0
    prefix.wait_server()
    assert not inst.exists(), inst.listing()
