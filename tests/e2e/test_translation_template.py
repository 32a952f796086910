"""The translator's template: every entry that lngtemplate writes is keyed as
the tool looks it up. Each entry of the template is filled with a text that
carries its key, the file is put beside the tool, and every marked text is
found again: in the running dialogs, the message boxes, the registry and the
links."""
# flavours: nt64
import re
import time

import pytest

from harness import IDOK, IDYES, TOOLS, controls
from test_integration import APP, CLASSES, lnkinfo, product
from test_uninstall import hold, release

ENTRY = re.compile(r'^([0-9a-f]{8})="(.*)"$')
WS_EX_LAYOUTRTL = 0x00400000


def read_template(path):
    """[(comment, key, escaped text)] in file order."""
    entries, comment = [], None
    lines = path.read_bytes().decode('latin-1').split('\r\n')
    for line in lines[lines.index('***messages***') + 1:]:
        if line.startswith('; '):
            comment = line[2:]
        m = ENTRY.match(line)
        if m:
            entries.append((comment, m.group(1), m.group(2)))
    return entries


def unescape(text):
    return re.sub(r'\\(.)', lambda m: {'n': '\n', 'r': '\r', 't': '\t'}.get(m.group(1), m.group(1)), text)


def marked(key, text):
    return f'#{key}#{text}'


def make_language_file(entries):
    lines = ['Every text marked with its key', '***messages***']
    for comment, key, text in entries:
        if comment == 'string 5112':
            value = f'{text}#{key}'  # still a web address
        elif comment.endswith('percent of the height'):
            value = '110*120'
        elif comment.startswith('reading direction'):
            value = 'RTL'
        else:
            value = marked(key, text)
        lines.append(f'{key}="{value}"')
    return ('\r\n'.join(lines) + '\r\n').encode('latin-1')


def check_dialog(prefix, name, entries, window, found):
    """Every entry of dialog `name`: the caption and each control's text."""
    rows = prefix.pilot('dump', window['text'])
    children = rows[1:]
    for comment, key, text in entries:
        if not comment.startswith(name + ': ') or comment.endswith('percent of the height'):
            continue
        want = marked(key, unescape(text))
        if comment.endswith(': caption'):
            assert window['text'] == want, comment
        else:
            control = int(comment.rsplit(' ', 1)[1])
            texts = [c['text'] for c in children if c['id'] == control]
            assert want in texts, (comment, texts)
        found.add(key)
    assert window['exstyle'] & WS_EX_LAYOUTRTL, f'{name} reads right to left'


def size(row):
    left, top, right, bottom = row['rect']
    return right - left, bottom - top


@pytest.mark.flavours('nt64')
def test_every_template_entry_is_found_where_the_tool_shows_it(prefix):
    inst = product(prefix)
    inst.write_list(['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'quabix.hlp', 'Qbx.txt', 'license.txt',
                     'busy.dat', 'uninstall.lng', 'qbxnew.dat', 'zipnew.dat', 'uninstall.exe', 'Uninstall.lst'])
    inst.add('busy.dat')
    recorder = f'{TOOLS}\\recorder.exe'
    prefix.reg_add('HKCR\\https\\shell\\open\\command', None, 'REG_SZ', f'"{recorder}" "%1"')
    prefix.copy_in(prefix.build / 'tools' / 'lngtemplate.exe', f'{TOOLS}\\lngtemplate.exe')
    rc, out = prefix.wine(f'{TOOLS}\\lngtemplate.exe', inst.exe, f'{TOOLS}\\template.lng')
    assert rc == 0, out
    entries = read_template(prefix.unix(f'{TOOLS}\\template.lng'))
    keys = {key for _, key, _ in entries}
    assert len(keys) == len(entries), 'every text has a key of its own'
    assert len([e for e in entries if e[0].startswith('string ')]) == 14

    # The English dialog first, to compare its size.
    proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
    english, _ = controls(prefix, 'Quabix Setup', 5121)
    prefix.pilot('key', 'Quabix Setup', 27)
    proc.wait(30)

    inst.add('uninstall.lng', make_language_file(entries))
    key_of = {comment: key for comment, key, _ in entries}
    text_of = {comment: unescape(text) for comment, _, text in entries}

    def shown(comment):
        return marked(key_of[comment], text_of[comment])

    found = {key_of[c] for c in key_of if c.endswith('percent of the height') or c.startswith('reading direction')}

    # Messages before anything is removed: the warning and the missing list.
    proc = prefix.start(inst.exe, '/warning')
    caption = shown('string 5104')
    text, _ = prefix.message_box(caption)
    assert text == shown('string 5105') + '\n' + shown('string 5106').replace('%s', inst.exe)
    prefix.click(caption, IDOK)
    proc.wait(30)
    (inst.root / 'Uninstall.lst').rename(inst.root / 'list.keep')
    proc = prefix.start(inst.exe, '/s')
    text, _ = prefix.message_box(caption)
    assert text == shown('string 5108').replace('%s', 'Uninstall.lst')
    prefix.click(caption, IDOK)
    proc.wait(30)
    (inst.root / 'list.keep').rename(inst.root / 'Uninstall.lst')
    found |= {key_of['string 5104'], key_of['string 5105'], key_of['string 5106'], key_of['string 5108']}

    # The dialogs, translated, scaled 110*120 and mirrored.
    setup_caption = shown('SETUPDLG: caption')
    proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
    window, boxes = controls(prefix, setup_caption, 5121)
    check_dialog(prefix, 'SETUPDLG', entries, window, found)
    w, h = size(window)
    ew, eh = size(english)
    assert abs(w / ew - 1.1) < 0.05 and abs(h / eh - 1.2) < 0.05, (w, h, ew, eh)
    prefix.click(setup_caption, 5123)
    items_caption = shown('CONTEXTITEMS: caption')
    window, items = controls(prefix, items_caption, 111)
    check_dialog(prefix, 'CONTEXTITEMS', entries, window, found)
    prefix.click(items_caption, 2)
    prefix.pilot('gone', items_caption, 5000)
    prefix.click(setup_caption, IDOK)
    done_caption = shown('DONEDLG: caption')
    window, done = controls(prefix, done_caption, 5102, 60)
    check_dialog(prefix, 'DONEDLG', entries, window, found)
    before = len(prefix.starts(0))
    prefix.click(done_caption, 5106)
    assert prefix.starts(before + 1)[before:] == [f'"{recorder}" "https://www.quabix.example/#{key_of["string 5112"]}"']
    found.add(key_of['string 5112'])
    prefix.click(done_caption, IDOK)
    assert proc.wait(60) == 0
    time.sleep(1)
    prefix.close_explorer()

    # What setup wrote: the names of the entry, the document types, the links.
    snap = prefix.snapshot()
    view = 'Wow6432Node\\' if prefix.flavour == 'nt64' else ''  # a 32-bit program's writes, under WOW64
    entry = f'HKLM\\Software\\{view}Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver'
    assert snap.data(entry, 'DisplayName') == shown('string 5101')
    for doc, string in (('Quabix', 'string 5109'), ('Quabix.ZIP', 'string 5110'), ('Quabix.REV', 'string 5111')):
        assert snap.data(f'{CLASSES}\\{doc}') == shown(string)
    group = prefix.special_folders()['programs'] + '\\Quabix'
    names = sorted(p.name for p in prefix.unix(group).iterdir())
    assert names == sorted(['Quabix.lnk', shown('string 5102') + '.lnk', shown('string 5103') + '.lnk'])
    info = lnkinfo(prefix.unix(group + '\\Quabix.lnk'))
    assert info['Description'] == shown('string 5113')
    found |= {key_of[f'string {i}'] for i in (5101, 5102, 5103, 5109, 5110, 5111, 5113)}

    # Uninstall: the confirmation, and the restart notice for a busy file.
    holder, flag = hold(prefix, 'open', f'{inst.win}\\busy.dat')
    proc = prefix.start(inst.exe)
    text, _ = prefix.message_box(caption)
    assert text == shown('string 5107')
    prefix.click(caption, IDYES)
    text, _ = prefix.message_box(caption)
    assert text == shown('string 5114')
    prefix.click(caption, IDOK)
    proc.wait(60)
    release(prefix, flag)
    holder.wait(30)
    found |= {key_of['string 5107'], key_of['string 5114']}
    assert not prefix.snapshot().has(APP)
    assert keys - found == set(), [c for c, k, _ in entries if k not in found]
