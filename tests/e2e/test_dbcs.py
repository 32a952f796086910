"""A double-byte code page end to end: setup and uninstall with the Japanese
locale (code page 932) in an install folder whose name ends in a character
whose second byte is a backslash's, 0x83 0x5C. Cut there, or taken for a
folder that already ends in a backslash, the paths would name files beside
the install folder, where canaries wait."""
import subprocess


from harness import BUILD, InstallFolder
from test_integration import APP, all_choices_on, setup_silently
from test_uninstall import only_record_on_9x

LOCALES = BUILD / 'locale'
PARENT = 'C:\\Program Files'
INSTALL = PARENT + '\\Q\u30bd'  # "Q" and katakana "so": 0x51 0x83 0x5C
APP_PATHS = 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe'


def japanese(prefix):
    """The prefix's programs get code page 932 from the locale."""
    if not (LOCALES / 'ja_JP.UTF-8').exists():
        LOCALES.mkdir(parents=True, exist_ok=True)
        subprocess.run(['localedef', '-i', 'ja_JP', '-f', 'UTF-8', str(LOCALES / 'ja_JP.UTF-8')], check=True,
                       capture_output=True)
    prefix.kill_server()
    prefix.env.update(LOCPATH=str(LOCALES), LANG='ja_JP.UTF-8', LC_ALL='ja_JP.UTF-8')
    prefix.start_server()


def test_setup_and_uninstall_in_a_folder_with_a_trail_byte_backslash(prefix):
    japanese(prefix)
    only_record_on_9x(prefix)
    assert prefix.pilot('acp') == [{'acp': 932}]
    inst = InstallFolder(prefix, INSTALL)
    files = ['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'quabix.hlp', 'Qbx.txt', 'plain.txt',
             '\u30bd\\inner.txt', '\u8868\\\u8868.txt', 'sub\\deep.txt']
    for rel in files:
        inst.add(rel, b'ours')
    entries = files + ['\u30bd', '\u8868', 'sub', 'qbxnew.dat', 'zipnew.dat', 'uninstall.exe', 'Uninstall.lst']
    inst.add('Uninstall.lst', '\r\n'.join(entries).encode('cp932') + b'\r\n')
    # Where the listed names would land if the folder's last byte were taken
    # for a separator: beside the install folder, in names that begin with it.
    canaries = {}
    for win in (f'{INSTALL}plain.txt', f'{INSTALL}sub\\deep.txt', f'{INSTALL}\u30bd\\inner.txt',
                f'{PARENT}\\Q\\plain.txt', f'{PARENT}\\plain.txt', f'{PARENT}\\Quabix.exe'):
        canaries[win] = prefix.write(win, b'canary')
    links_before = prefix.special_files()
    all_choices_on(prefix)

    setup_silently(prefix, inst)
    snap = prefix.snapshot()
    assert snap.key(APP_PATHS) == {'': ('REG_SZ', f'{INSTALL}\\Quabix.exe'), 'Path': ('REG_SZ', INSTALL)}
    assert snap.data('HKLM\\Software\\Classes\\Quabix\\shell\\open\\command') == f'"{INSTALL}\\Quabix.exe" "%1"'
    assert prefix.special_files() != links_before

    proc = prefix.start(inst.exe, '/s')
    assert proc.wait(120) == 0
    prefix.wait_server()
    for win, path in canaries.items():
        assert path.read_bytes() == b'canary', win
    siblings = sorted(p.name for p in prefix.unix(PARENT).iterdir() if p.name.startswith('Q'))
    left = [] if prefix.nt else ['Q\u30bd']  # on 9x the batch file is not run
    assert siblings == sorted(['Q', 'Q\u30bdplain.txt', 'Q\u30bdsub', 'Q\u30bd\u30bd', 'Quabix.exe'] + left)
    assert inst.listing() == ([] if prefix.nt else ['uninstall.exe'])
    snap = prefix.snapshot()
    assert not snap.has(APP)
    assert not snap.has(APP_PATHS)
    assert prefix.special_files() == links_before
