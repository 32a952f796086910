"""Translations as a user meets them: the real uninstall.exe with a language
file "uninstall.lng" and a language DLL "qbxlng.dll" beside it, and the test
dialog of langdialog.exe translated, scaled and mirrored the way every dialog
of the tool is. Message boxes and dialogs are read from a second process;
the dialog program also reports the rectangles before and after."""
import json
import zlib

import pytest

from harness import IDNO, IDOK, IDYES, InstallFolder
from test_uninstall import CAPTION, CONFIRM, only_record_on_9x, sample_install, wininit_renames



def fixture(prefix, name):
    """A translation fixture built for the prefix's flavour."""
    return prefix.build / 'tests' / 'lang' / name
WS_EX_LAYOUTRTL = 0x00400000

# The German strings of strings.dll (it has no 5108).
DLL_CAPTION = 'Quabix deinstallieren'
DLL_CONFIRM = 'Deinstallation von Quabix fortsetzen?'


def key(class_context_text):
    return '%08x' % zlib.crc32(class_context_text.encode('latin-1'))


def language_file(entries, before='Quabix language file\r\nAuthor: test\r\n', marker='***messages***\r\n'):
    """The bytes of a language file; entries maps class+context+text to the
    translation as it stands in the file (escapes are written as such)."""
    lines = ''.join(f'{key(k)}="{v}"\r\n' for k, v in entries.items())
    return (before + marker + '; comment line\r\n' + lines).encode('latin-1')


def confirmation(prefix, inst, caption, answer=IDNO):
    """Starts uninstall mode and answers its confirmation; returns its text."""
    proc = prefix.start(inst.exe)
    text, buttons = prefix.message_box(caption)
    assert IDYES in buttons and IDNO in buttons
    prefix.click(caption, answer)
    proc.wait(60)
    return text


# Strings of uninstall.exe ----------------------------------------------------

def test_the_language_file_translates_the_confirmation(prefix):
    inst = sample_install(prefix)
    inst.add('uninstall.lng', language_file({
        's' + CAPTION: 'Quabix entfernen',
        's' + CONFIRM: 'Quabix wirklich\\nentfernen? \\"Ja\\" l\xf6scht alles.',
    }))
    before = inst.listing()
    text = confirmation(prefix, inst, 'Quabix entfernen')
    assert text == 'Quabix wirklich\nentfernen? "Ja" l\xf6scht alles.'
    prefix.wait_server()
    assert inst.listing() == before


def test_the_language_dll_gives_its_strings_and_the_program_the_missing_ones(prefix):
    inst = sample_install(prefix)
    prefix.copy_in(fixture(prefix, 'strings.dll'), f'{inst.win}\\qbxlng.dll')
    assert confirmation(prefix, inst, DLL_CAPTION) == DLL_CONFIRM
    # The DLL has no string 5108: it comes in English, under the DLL's caption.
    (inst.root / 'Uninstall.lst').unlink()
    proc = prefix.start(inst.exe, '/s')
    text, buttons = prefix.message_box(DLL_CAPTION)
    assert text == 'Cannot open list file Uninstall.lst'
    prefix.click(DLL_CAPTION, IDOK)
    proc.wait(60)


def test_with_both_the_language_file_decides_and_english_fills_in(prefix):
    inst = sample_install(prefix)
    prefix.copy_in(fixture(prefix, 'strings.dll'), f'{inst.win}\\qbxlng.dll')
    # The key is made from the English text, not from the DLL's.
    inst.add('uninstall.lng', language_file({
        's' + CONFIRM: 'Continuer la d\xe9sinstallation de Quabix ?',
        's' + DLL_CAPTION: 'never used',
    }))
    text = confirmation(prefix, inst, CAPTION)
    assert text == 'Continuer la d\xe9sinstallation de Quabix ?'


def test_the_language_dll_is_freed_before_the_files_are_deleted(prefix):
    only_record_on_9x(prefix)
    inst = sample_install(prefix)  # lists qbxlng.dll
    prefix.copy_in(fixture(prefix, 'strings.dll'), f'{inst.win}\\qbxlng.dll')
    inst.add('uninstall.lng', language_file({'s' + CONFIRM: 'Weiter?'}))
    inst.write_list(['qbxlng.dll', 'uninstall.lng', 'Quabix.exe', 'qbxext.dll', 'quabix.hlp', 'license.txt',
                     'Formats\\zip.fmt', 'Formats\\Deep\\cab.fmt', 'Formats\\Deep', 'Formats',
                     'Docs\\read me.txt', 'Docs', 'uninstall.exe', 'Uninstall.lst'])
    assert confirmation(prefix, inst, CAPTION, IDYES) == 'Weiter?'
    prefix.wait_server()
    # Deleted at once: neither moved to a temporary name nor left for a restart.
    assert not any(p.name.endswith('.tmp') for p in inst.root.rglob('*'))
    assert prefix.pending_renames() == []
    if prefix.nt:
        assert not inst.exists(), inst.listing()
    else:
        assert wininit_renames(prefix) == []
        assert inst.listing() == ['uninstall.exe']


def test_broken_and_hostile_language_files_leave_the_english_texts(prefix):
    inst = sample_install(prefix)
    entry = f'{key("s" + CONFIRM)}="not after a marker"\r\n'.encode()
    rng = bytes((i * 7919 + 13) % 256 for i in range(20000))
    for data in (rng,                                   # bytes, no marker
                 b'**messages***\r\n' + entry,          # one asterisk short
                 b'***messages***\n',                   # 15 bytes: no marker
                 b'\0' * 100 + b'***messages***\r\n',  # a marker, no entries
                 b'***messages***\r\n\0' + entry):     # the block ends at the NUL
        inst.add('uninstall.lng', data)
        assert confirmation(prefix, inst, CAPTION) == CONFIRM


def test_hostile_translations_are_bounded(prefix):
    inst = InstallFolder(prefix)
    long_text = ''.join(chr(ord('a') + i % 26) for i in range(2000))
    inst.add('uninstall.lng', language_file({
        's' + CONFIRM: long_text,
        's' + 'Cannot open list file %s': 'Liste %s fehlt: %s %d %n %x %% \\t%',
    }))
    text = confirmation(prefix, inst, CAPTION)
    assert text == long_text[:511]  # cut to the 512-byte string buffer
    proc = prefix.start(inst.exe, '/s')
    text, _ = prefix.message_box(CAPTION)
    assert text == 'Liste Uninstall.lst fehlt: %s %d %n %x % \t%'
    prefix.click(CAPTION, IDOK)
    proc.wait(60)


# Dialogs -----------------------------------------------------------------------

DIALOG = 'LANGTEST'
ENGLISH = {100: '&Name:', 102: '&Check me', 105: '', 106: 'Untranslated', 1: 'OK', 2: 'Cancel', 9: '&Help'}


class DialogRun:
    """One run of langdialog.exe: what it reported, and what a second
    process saw of the shown dialog."""

    def __init__(self, report, seen):
        self.info = report[0]
        self.before = [r for r in report if r.get('phase') == 'before']
        self.after = [r for r in report if r.get('phase') == 'after']
        self.seen = seen

    def texts(self, rows):
        return {r['id']: r['text'] for r in rows if r['kind'] == 'child' and r['id'] in ENGLISH}


def show_dialog(prefix, caption, lng=None, dll=None, children=0, dialog=DIALOG):
    folder = 'C:\\langtest'
    prefix.copy_in(fixture(prefix, 'langdialog.exe'), f'{folder}\\langdialog.exe')
    if lng is not None:
        prefix.write(f'{folder}\\uninstall.lng', lng)
    if dll is not None:
        prefix.copy_in(dll, f'{folder}\\qbxlng.dll')
    proc = prefix.start(f'{folder}\\langdialog.exe', 'show', dialog, str(children))
    seen = prefix.window(caption)
    button = 2 if dialog == DIALOG else 1  # the Setup dialog has no Cancel
    prefix.click(caption, button)
    assert proc.wait(60) == 0
    report = [json.loads(line) for line in proc.log.read_text('latin-1').splitlines() if line.startswith('{')]
    run = DialogRun(report, seen)
    assert report[-1] == {'result': button}
    assert len(run.before) == len(run.after) == len(seen)
    if dialog == DIALOG:
        assert len(seen) == 12 + children
    return run


def percent(value, scale):
    """value * scale / 100 as C computes it: truncated toward zero."""
    q = abs(value * scale) // 100
    return q if value * scale >= 0 else -q


def scaled(run, xs, ys):
    """The rectangles that the scaling rule gives, from those before it."""
    w = run.before[0]
    wl, wt, wr, wb = w['rect']
    cw, ch = w['client']
    dx = (wr - wl + 1) - cw
    dy = (wb - wt + 1) - ch
    window = [wl, wt, wl + percent(cw, xs) + dx, wt + percent(ch, ys) + dy]
    dy -= w['cydlgframe']
    mirrored = w['exstyle'] & WS_EX_LAYOUTRTL
    origin = run.after[0]['origin']  # client origin: its right edge when mirrored
    children = []
    for r in run.before[1:]:
        left, top, right, bottom = r['rect']
        # Mirrored children keep their distance to the right edge.
        x = percent((wr - right if mirrored else left - wl) - dx // 2, xs)
        y = percent(top - wt - dy, ys)
        width = percent(right - left + 1, xs)
        height = percent(bottom - top + 1, ys)
        if r['class'].lower() == 'combobox' and r['style'] & 3 != 1:
            d = r['dropped']
            height += percent(d[3] - d[1] + 1, ys)
        if mirrored:
            children.append((origin[0] - x - width, origin[1] + y, width, height))
        else:
            children.append((origin[0] + x, origin[1] + y, width, height))
    return window, children


def check_layout(run, xs, ys):
    window, children = scaled(run, xs, ys)
    assert run.after[0]['rect'] == window
    for want, got in zip(children, run.after[1:]):
        left, top, width, height = want
        rect = got['rect']
        assert rect[:2] == [left, top], got
        assert rect[2] - rect[0] == width, got
        if got['class'].lower() == 'combobox' and got['style'] & 3 != 1:
            # A drop-down combo box keeps the height of its edit field; Wine
            # reports the dropped list below it, which gets the rest.
            assert (got['dropped'][3] - got['dropped'][1]) + (rect[3] - rect[1]) == height, got
        else:
            assert rect[3] - rect[1] == height, got


def dialog_entries(size=None):
    entries = {
        f'${DIALOG}Language test': 'Sprachtest',
        f'${DIALOG}&Name:': '&Nom (\\"lang\\"):',
        f'${DIALOG}&Check me': '&Ankreuzen',
        f'${DIALOG}OK': 'Gut',
        f'${DIALOG}&Help': '&Hilfe',
        '$SETUPDLG&Check me': 'wrong dialog',
    }
    if size:
        entries[f'${DIALOG}'] = size  # also the key of an empty text
    return entries


TRANSLATED = {100: '&Nom ("lang"):', 102: '&Ankreuzen', 105: '', 106: 'Untranslated', 1: 'Gut', 2: 'Cancel',
              9: '&Hilfe'}


def test_without_translation_the_dialog_keeps_its_template(prefix):
    run = show_dialog(prefix, 'Language test')
    assert run.info == {'dll': 0, 'file': 0, 'rtl': 0}
    assert run.texts(run.seen) == ENGLISH
    assert [r['rect'] for r in run.after] == [r['rect'] for r in run.before]
    assert not any(r['exstyle'] & WS_EX_LAYOUTRTL for r in run.after)


def test_a_dialog_is_translated_and_scaled_120_110(prefix):
    run = show_dialog(prefix, 'Sprachtest', language_file(dialog_entries('120*110')))
    assert run.info == {'dll': 0, 'file': 1, 'rtl': 0}
    assert run.texts(run.before) == ENGLISH
    assert run.texts(run.seen) == TRANSLATED
    assert run.seen[0]['text'] == 'Sprachtest'
    assert [r['rect'] for r in run.seen] == [r['rect'] for r in run.after]
    check_layout(run, 120, 110)
    # The window grew by the scaled client area and kept its place.
    before, after = run.before[0], run.after[0]
    assert after['rect'][:2] == before['rect'][:2]
    assert after['client'] == [before['client'][0] * 120 // 100 + 1, before['client'][1] * 110 // 100 + 1]
    combos = {r['id']: r for r in run.after if r['class'].lower() == 'combobox'}
    # The drop-down lists grew with their scaled list height; the simple one
    # was only scaled.
    for cid in (103, 107):
        assert combos[cid]['dropped'][3] - combos[cid]['dropped'][1] > 50
    simple_before = next(r for r in run.before if r['id'] == 104)['rect']
    assert combos[104]['rect'][3] - combos[104]['rect'][1] == (simple_before[3] - simple_before[1] + 1) * 110 // 100


def test_100_120_scales_only_vertically_but_every_width_gains_a_pixel(prefix):
    run = show_dialog(prefix, 'Sprachtest', language_file(dialog_entries('100*120')))
    check_layout(run, 100, 120)
    for before, after in zip(run.before, run.after):
        assert after['rect'][2] - after['rect'][0] == before['rect'][2] - before['rect'][0] + 1, after


@pytest.mark.flavours('nt64')
def test_100_100_and_broken_size_entries_leave_the_size(prefix):
    for size in ('100*100', '120', '120*', '5000*5000', '-120*110'):
        run = show_dialog(prefix, 'Sprachtest', language_file(dialog_entries(size)))
        assert [r['rect'] for r in run.after] == [r['rect'] for r in run.before], size
        assert run.texts(run.seen) == TRANSLATED
        prefix.wait_server()


def test_children_after_the_512th_are_neither_translated_nor_scaled(prefix):
    entries = dialog_entries('120*110')
    entries[f'${DIALOG}Item'] = 'Eintrag'
    run = show_dialog(prefix, 'Sprachtest', language_file(entries), children=600)
    _, children = scaled(run, 120, 110)
    for n, (before, after, want) in enumerate(zip(run.before[1:], run.after[1:], children)):
        if n < 512:
            assert after['rect'][:2] == list(want[:2]), (n, after)
            if after['id'] >= 1000:
                assert after['text'] == 'Eintrag', (n, after)
        else:
            assert after['rect'] == before['rect'], (n, after)
            assert after['text'] == 'Item', (n, after)


def check_mirrored_from_creation(run):
    assert run.info['rtl'] == 1
    window = run.after[0]
    assert window['exstyle_at_setfont'] & WS_EX_LAYOUTRTL
    # The controls were created after WM_SETFONT and inherited the layout.
    for r in run.before + run.seen:
        assert r['exstyle'] & WS_EX_LAYOUTRTL, r


def test_rtl_from_the_language_file_mirrors_and_scales_from_the_right(prefix):
    entries = dialog_entries('120*110')
    entries['$LTRLTR'] = 'RTL'
    run = show_dialog(prefix, 'Sprachtest', language_file(entries))
    check_mirrored_from_creation(run)
    assert run.texts(run.seen) == TRANSLATED
    check_layout(run, 120, 110)
    # Mirrored: the first label stands at the right edge, after scaling too.
    label = next(r for r in run.after if r['id'] == 100)['rect']
    assert run.after[0]['origin'][0] - label[2] == 14  # 12 pixels from the edge, scaled by 1.2


def test_rtl_dialog_in_the_dll_wins_over_the_file(prefix):
    entries = dialog_entries()
    entries['$LTRLTR'] = 'LTR'
    run = show_dialog(prefix, 'Sprachtest', language_file(entries), dll=fixture(prefix, 'rtl.dll'))
    assert run.info['dll'] == 1
    check_mirrored_from_creation(run)
    assert [r['rect'] for r in run.after] == [r['rect'] for r in run.before]


def test_dialogs_come_from_the_language_dll(prefix):
    run = show_dialog(prefix, 'Sprachtest', dll=fixture(prefix, 'strings.dll'))
    assert run.info == {'dll': 1, 'file': 0, 'rtl': 0}
    assert run.texts(run.seen) == ENGLISH


def test_the_example_file_on_the_setup_dialog(prefix):
    # The example lines as a translator writes them, keys and all.
    lng = (b'German translation\r\n***messages***\r\n'
           b'29b544f7="Deinstallation abgeschlossen"\r\n'
           b'e6a9b8d7="Hilfe"\r\n'
           b'9b889d24="120*110"\r\n'
           b'50a17ae8="RTL"\r\n')
    run = show_dialog(prefix, 'Quabix Setup', lng, dialog='SETUPDLG')
    check_mirrored_from_creation(run)
    changed = {(b['id'], b['text'], a['text']) for b, a in zip(run.before[1:], run.after[1:]) if b['text'] != a['text']}
    assert changed == {(9, 'Help', 'Hilfe')}
    assert any(r['class'].lower() == 'richedit' and len(r['text']) > 200 for r in run.seen)
    assert any(r['text'] == 'Hilfe' for r in run.seen)
    check_layout(run, 120, 110)


@pytest.mark.flavours('nt64', 'win98')
def test_no_memory_for_the_message_table_is_a_reported_stop(prefix):
    folder = 'C:\\langtest'
    prefix.copy_in(fixture(prefix, 'langdialog.exe'), f'{folder}\\langdialog.exe')
    prefix.copy_in(fixture(prefix, 'strings.dll'), f'{folder}\\qbxlng.dll')
    proc = prefix.start(f'{folder}\\langdialog.exe', 'fatal')
    text, buttons = prefix.message_box('Quabix Archivierer')
    assert text == 'Not enough memory to load the language file uninstall.lng.'
    assert list(buttons) == [IDOK]
    prefix.click('Quabix Archivierer', IDOK)
    assert proc.wait(30) == 1


@pytest.mark.flavours('nt64', 'win98')
def test_the_setup_dialog_of_the_tool_is_translated_scaled_and_mirrored(prefix):
    inst = InstallFolder(prefix)
    proc = prefix.start(inst.exe, '/setup')
    plain = prefix.window('Quabix Setup')
    prefix.pilot('close', 'Quabix Setup')  # cancel: nothing is applied
    proc.wait(60)
    prefix.wait_server()
    inst.add('uninstall.lng', language_file({
        '$SETUPDLGQuabix Setup': 'Quabix einrichten',
        '$SETUPDLGHelp': 'Hilfe',
        '$SETUPDLGSelect &all': '&Alle w\xe4hlen',
        '$SETUPDLG': '120*110',
        '$LTRLTR': 'RTL',
    }))
    proc = prefix.start(inst.exe, '/setup')
    seen = prefix.window('Quabix einrichten')
    prefix.pilot('close', 'Quabix einrichten')
    proc.wait(60)
    texts = {r['id']: r['text'] for r in seen[1:]}
    assert texts[9] == 'Hilfe'
    assert '&Alle w\xe4hlen' in texts.values()
    assert not any(r['exstyle'] & WS_EX_LAYOUTRTL for r in plain)
    assert [r['text'] for r in seen[1:] if r['id'] == 1] == ['OK']
    for r in seen:
        assert r['exstyle'] & WS_EX_LAYOUTRTL, r
    width = lambda rows: rows[0]['rect'][2] - rows[0]['rect'][0]
    height = lambda rows: rows[0]['rect'][3] - rows[0]['rect'][1]
    assert width(plain) * 115 // 100 < width(seen) < width(plain) * 125 // 100
    assert height(plain) * 105 // 100 < height(seen) < height(plain) * 115 // 100
    assert len(seen) == len(plain)
