"""Setup mode as a user meets it: the Setup, Context menu items and Done
dialogs on screen, read and clicked from a second process."""
import json
import time

import pytest

import wineregistry
from harness import IDOK, TOOLS, controls
from test_integration import APP, CLASSES, check_link, other_programs, product

SETUP = 'Quabix Setup'
ITEMS = 'Context menu items'
TYPES = range(5101, 5115)
JAR = 5112
VK_ESCAPE, VK_F1, VK_F4 = 27, 112, 115
HELP_CONTEXT, HELP_FINDER = 1, 11
WS_EX_LAYOUTRTL = 0x00400000
MENU_VALUES = ['ExtrTo', 'ExtrHere', 'Extr', 'ExtrSep', 'OpenSFX', 'AddTo', 'AddArc', 'EmailArc', 'EmailOpt', 'Test',
               'Convert']


def checked(boxes, ids):
    return {i: boxes[i]['checked'] for i in ids}


def click(prefix, caption, control, needed):
    prefix.click(caption, control)
    time.sleep(0.3)
    return controls(prefix, caption, needed)[1]


def start_setup(prefix, inst, *args):
    proc = prefix.start(inst.exe, '/setup', *args, cwd=inst.win)
    _, boxes = controls(prefix, SETUP, 5121)
    return proc, boxes


def menu_items(snap):
    return {n: snap.data(f'{APP}\\Setup\\MenuItems', n) for n in MENU_VALUES}


def help_spy(prefix):
    log, ready = f'{TOOLS}\\help.log', f'{TOOLS}\\help.ready'
    spy = prefix.start(f'{TOOLS}\\winpilot.exe', 'helpspy', log, ready, 300)
    for _ in range(100):
        if prefix.unix(ready).exists():
            break
        time.sleep(0.05)

    def requests():
        path = prefix.unix(log)
        return [json.loads(line) for line in path.read_text().splitlines()] if path.exists() else []

    return spy, requests


@pytest.mark.flavours('nt64', 'nt32')
def test_the_setup_dialog_shows_the_choices_and_ok_applies_the_changes(prefix):
    other_programs(prefix)
    inst = product(prefix)
    proc, boxes = start_setup(prefix, inst)
    # Defaults: every type but JAR, which another program owns.
    assert checked(boxes, TYPES) == {i: 0 if i == JAR else 1 for i in TYPES}
    assert checked(boxes, range(5115, 5121)) == {5115: 0, 5116: 0, 5117: 1, 5118: 1, 5119: 0, 5120: 1}
    assert boxes[5119]['enabled'] and boxes[5120]['enabled']
    assert boxes[5122]['class'].upper() == 'RICHEDIT'

    # Clearing shell integration greys the two menu boxes and keeps their marks.
    boxes = click(prefix, SETUP, 5118, 5121)
    assert (boxes[5118]['checked'], boxes[5119]['enabled'], boxes[5120]['enabled']) == (0, 0, 0)
    assert (boxes[5119]['checked'], boxes[5120]['checked']) == (0, 1)
    boxes = click(prefix, SETUP, 5118, 5121)
    assert (boxes[5118]['checked'], boxes[5119]['enabled'], boxes[5120]['enabled']) == (1, 1, 1)
    assert (boxes[5119]['checked'], boxes[5120]['checked']) == (0, 1)

    # "Select all" checks the 14 types only.
    click(prefix, SETUP, 5101, 5121)
    click(prefix, SETUP, 5115, 5121)
    boxes = click(prefix, SETUP, 5121, 5121)
    assert checked(boxes, TYPES) == {i: 1 for i in TYPES}
    assert checked(boxes, range(5115, 5121)) == {5115: 1, 5116: 0, 5117: 1, 5118: 1, 5119: 0, 5120: 1}
    click(prefix, SETUP, 5119, 5121)

    # The Context menu items dialog: its defaults, one change, OK.
    prefix.click(SETUP, 5123)
    _, items = controls(prefix, ITEMS, 111)
    assert checked(items, range(101, 112)) == {i: 0 if i >= 110 else 1 for i in range(101, 112)}
    click(prefix, ITEMS, 110, 111)
    prefix.click(ITEMS, IDOK)
    assert prefix.no_window(ITEMS, 500) or prefix.pilot('gone', ITEMS, 5000)[0].get('gone')

    # OK: the choices are applied, then the Done dialog names the folder.
    prefix.click(SETUP, IDOK)
    _, done = controls(prefix, SETUP, 5102, 60)
    assert done[5101]['text'] == inst.win
    assert done[5107]['text'] == 'Thank you for using Quabix !'
    prefix.click(SETUP, IDOK)
    assert proc.wait(60) == 0
    time.sleep(1)
    prefix.close_explorer()
    snap = prefix.snapshot()
    assert snap.data(f'{CLASSES}\\.jar') == 'Quabix'
    assert snap.data(f'{APP}\\Setup\\.jar', 'Type') == 'OtherRuntime.Jar'
    assert snap.data(f'{APP}\\Setup\\.qbx', 'Set') == 1
    assert snap.key(f'{APP}\\Setup\\Links') == {'Desktop': ('REG_DWORD', 1), 'StartMenu': ('REG_DWORD', 0),
                                                'Programs': ('REG_DWORD', 1)}
    assert [snap.data(f'{APP}\\Setup', n) for n in ('ShellExt', 'CascadedMenu', 'MenuIcons')] == [1, 1, 1]
    assert menu_items(snap) == {n: 1 if n != 'Convert' else 0 for n in MENU_VALUES}
    check_link(prefix, prefix.special_folders()['desktop'] + '\\Quabix.lnk', f'{inst.win}\\Quabix.exe')


@pytest.mark.flavours('nt64', 'win98')
def test_cancel_in_every_way_changes_nothing(prefix):
    inst = product(prefix)
    before = prefix.snapshot()
    files = prefix.special_files()
    for how in ('escape', 'close box', 'alt+f4'):
        proc, _ = start_setup(prefix, inst)
        if how == 'escape':
            prefix.pilot('key', SETUP, VK_ESCAPE)
        elif how == 'close box':
            prefix.pilot('close', SETUP)
        else:
            prefix.pilot('key', SETUP, VK_F4, 'alt')
        # A Done dialog would wait for an answer: the tool ends by itself
        # only without one (and the registry below shows nothing applied).
        assert proc.wait(30) == 0, f'no Done dialog after {how}'
    after = prefix.snapshot()
    assert not after.has(APP)
    assert wineregistry.diff(before, after, wineregistry.WINE_NOISE) == []
    assert prefix.special_files() == files


@pytest.mark.flavours('nt32')
def test_context_menu_items_persist_when_setup_is_cancelled(prefix):
    inst = product(prefix)
    proc, _ = start_setup(prefix, inst)
    # Cancel writes nothing.
    prefix.click(SETUP, 5123)
    controls(prefix, ITEMS, 111)
    click(prefix, ITEMS, 101, 111)
    prefix.click(ITEMS, 2)
    prefix.pilot('gone', ITEMS, 5000)
    # OK writes all eleven values at once.
    prefix.click(SETUP, 5123)
    _, items = controls(prefix, ITEMS, 111)
    assert items[101]['checked'] == 1
    click(prefix, ITEMS, 101, 111)
    click(prefix, ITEMS, 111, 111)
    prefix.click(ITEMS, IDOK)
    prefix.pilot('gone', ITEMS, 5000)
    prefix.pilot('key', SETUP, VK_ESCAPE)
    assert proc.wait(30) == 0
    snap = prefix.snapshot()
    expected = {n: 1 for n in MENU_VALUES}
    expected.update(ExtrTo=0, Test=0, Convert=1)
    assert menu_items(snap) == expected
    assert snap.key(f'{APP}\\Setup') == {}, 'the Setup dialog itself saved nothing'


@pytest.mark.flavours('nt64')
def test_help_button_and_f1_open_the_topic_of_each_dialog(prefix):
    inst = product(prefix)
    spy, requests = help_spy(prefix)
    proc, _ = start_setup(prefix, inst)
    prefix.click(SETUP, 9)
    time.sleep(0.5)
    prefix.pilot('key', SETUP, VK_F1)
    time.sleep(0.5)
    assert [(r['command'], r['data'], r['file']) for r in requests()] == [(HELP_CONTEXT, 4288, 'quabix.hlp')] * 2
    controls(prefix, SETUP, 5121)  # still open

    prefix.click(SETUP, 5123)
    controls(prefix, ITEMS, 111)
    prefix.click(ITEMS, 9)
    time.sleep(0.5)
    prefix.pilot('key', ITEMS, VK_F1)
    time.sleep(0.5)
    # The Setup dialog behind it does not open its own topic.
    assert [(r['command'], r['data']) for r in requests()[2:]] == [(HELP_CONTEXT, 4976)] * 2
    prefix.click(ITEMS, 2)
    prefix.pilot('gone', ITEMS, 5000)

    # The Done dialog has no topic; its "Read help" opens the contents.
    prefix.click(SETUP, IDOK)
    controls(prefix, SETUP, 5102, 60)
    prefix.pilot('key', SETUP, VK_F1)
    time.sleep(0.5)
    assert len(requests()) == 4
    prefix.click(SETUP, 5103)
    time.sleep(0.5)
    assert [(r['command'], r['file']) for r in requests()[4:]] == [(HELP_FINDER, 'quabix.hlp')]
    prefix.click(SETUP, IDOK)
    assert proc.wait(60) == 0
    prefix.unix(f'{TOOLS}\\help.ready').unlink()
    spy.wait(30)
    time.sleep(1)
    prefix.close_explorer()


@pytest.mark.flavours('nt64', 'nt32', 'win98')
def test_silent_setup_applies_exactly_the_loaded_record(prefix):
    inst = product(prefix)
    stored = [(f'{APP}\\Setup\\.zip', 'Set', 'REG_DWORD', '0'), (f'{APP}\\Setup\\Links', 'Desktop', 'REG_DWORD', '1'),
              (f'{APP}\\Setup\\Links', 'Programs', 'REG_DWORD', '0'), (f'{APP}\\Setup', 'ShellExt', 'REG_DWORD', '0'),
              (f'{APP}\\Setup', 'MenuIcons', 'REG_DWORD', '7')]
    for key, name, kind, data in stored:
        prefix.reg_add(key, name, kind, data)
    # Watched while it runs: in silent mode no dialog shows, not even for a
    # moment.
    seen = prefix.watch('*')
    proc = prefix.start(inst.exe, '/s', '/setup', cwd=inst.win)
    assert proc.wait(60) == 0
    assert not seen(), 'a dialog showed in silent mode'
    snap = prefix.snapshot()
    assert snap.data(f'{CLASSES}\\.zip') is None
    assert snap.data(f'{CLASSES}\\.cab') == 'Quabix'
    assert snap.data(f'{APP}\\Setup\\.zip', 'Set') == 0
    assert snap.key(f'{APP}\\Setup\\Links') == {'Desktop': ('REG_DWORD', 1), 'StartMenu': ('REG_DWORD', 0),
                                                'Programs': ('REG_DWORD', 0)}
    assert [snap.data(f'{APP}\\Setup', n) for n in ('ShellExt', 'CascadedMenu', 'MenuIcons')] == [0, 0, 1]
    assert not snap.has(f'{CLASSES}\\*\\shellex\\ContextMenuHandlers\\Quabix')
    files = prefix.special_files()
    assert 'desktop/Quabix.lnk' in files
    assert not any(k.startswith(('programs/Quabix', 'common/Quabix')) for k in files)
    # No Explorer window: silent mode opens no program group.
    assert not [w for w in prefix.pilot('windows') if 'Quabix' in w.get('text', '')]


@pytest.mark.flavours('nt64')
def test_done_dialog_buttons_start_the_archiver_and_open_the_documents(prefix):
    inst = product(prefix)
    (inst.root / 'license.txt').unlink()  # a missing licence opens nothing
    inst.add('order.htm', b'<html>order</html>')
    recorder = f'{TOOLS}\\recorder.exe'
    prefix.copy_in(prefix.unix(recorder), f'{inst.win}\\Quabix.exe')
    # Documents and web addresses open with the recorder, which notes them.
    for key in ('HKCR\\txtfile\\shell\\open\\command', 'HKCR\\htmlfile\\shell\\open\\command',
                'HKCR\\https\\shell\\open\\command', 'HKCR\\http\\shell\\open\\command'):
        prefix.reg_add(key, None, 'REG_SZ', f'"{recorder}" "%1"')
    prefix.reg_add('HKCR\\.txt', None, 'REG_SZ', 'txtfile')
    prefix.reg_add('HKCR\\.htm', None, 'REG_SZ', 'htmlfile')
    proc, _ = start_setup(prefix, inst)
    prefix.click(SETUP, IDOK)
    controls(prefix, SETUP, 5102, 60)
    # Started unquoted, the archiver's path would start "C:\Program.exe", a
    # recorder too; Wine would hand the archiver its own path re-quoted.
    prefix.copy_in(prefix.unix(recorder), 'C:\\Program.exe')
    prefix.click(SETUP, 5102)
    prefix.click(SETUP, 5102)
    assert prefix.starts(2) == [f'"{inst.win}\\Quabix.exe"'] * 2, 'two archivers, started by the quoted path'
    prefix.click(SETUP, 5104)  # license.txt is missing: nothing opens, no message
    prefix.click(SETUP, 5105)
    # The clicks are handled in order: once the order form has opened, the
    # licence button has been handled too.
    assert prefix.starts(3)[2:] == [f'"{recorder}" "{inst.win}\\order.htm"']
    assert [w['text'] for w in prefix.pilot('windows') if w['class'] == '#32770'] == [SETUP]
    prefix.click(SETUP, 5106)
    assert prefix.starts(4)[3:] == [f'"{recorder}" "https://www.quabix.example/"']
    controls(prefix, SETUP, 5102)  # the dialog stays open after every button
    prefix.click(SETUP, IDOK)
    assert proc.wait(60) == 0
    # At the very end Explorer opens the new program group.
    group = prefix.special_folders()['programs'] + '\\Quabix'
    rows = prefix.pilot('wait', 'Quabix', 60000)
    assert rows and rows[0].get('class') == 'ExplorerWClass', rows
    assert prefix.unix(group).is_dir(), group
    prefix.close_explorer()


@pytest.mark.flavours('nt64', 'win98')
def test_the_dialogs_come_translated_from_the_language_dll(prefix):
    inst = product(prefix)
    fixtures = prefix.build / 'tests' / 'lang'
    # German dialogs and strings.
    prefix.copy_in(fixtures / 'strings.dll', f'{inst.win}\\qbxlng.dll')
    proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
    window, boxes = controls(prefix, 'Quabix einrichten', 5121)
    assert boxes[5121]['text'] == '&Alle w\u00e4hlen'
    assert boxes[5118]['text'] == 'Quabix in Explorer e&inbinden'
    assert not window['exstyle'] & WS_EX_LAYOUTRTL
    prefix.click('Quabix einrichten', 5123)
    _, items = controls(prefix, 'Kontextmen\u00fceintr\u00e4ge', 111)
    assert items[2]['text'] == 'Abbrechen'
    prefix.click('Kontextmen\u00fceintr\u00e4ge', 2)
    prefix.pilot('gone', 'Kontextmen\u00fceintr\u00e4ge', 5000)
    prefix.pilot('key', 'Quabix einrichten', VK_ESCAPE)
    assert proc.wait(30) == 0
    # Hebrew dialogs, right to left because the DLL has a dialog "RTL".
    prefix.copy_in(fixtures / 'rtl.dll', f'{inst.win}\\qbxlng.dll')
    proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
    window, boxes = controls(prefix, '*', 5121)
    assert window['exstyle'] & WS_EX_LAYOUTRTL
    assert all(b['exstyle'] & WS_EX_LAYOUTRTL for i, b in boxes.items() if i in TYPES)
    assert window['text'].endswith(' Quabix') and window['text'] != SETUP  # Hebrew, outside the ANSI code page
    prefix.pilot('key', '*', VK_ESCAPE)
    assert proc.wait(30) == 0
