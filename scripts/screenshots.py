#!/usr/bin/python3
"""Screenshots of the tool's three dialogs, for a reviewer to look at: in
English, in a translation scaled by its language file, and right to left.
Writes build/screenshots/<translation>-<dialog>.png (9 files).

Runs the real uninstall.exe /setup in a sandbox prefix of its own under
Xvfb, and presses OK to reach the Done dialog."""
import os
import shutil
import subprocess
import sys
import time
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402
import run32  # noqa: E402 (scripts/, on the path through harness)

OUT = ROOT / 'build' / 'screenshots'
FIXTURES = harness.BUILD / 'tests' / 'lang'

# A language file that enlarges every dialog: 120 % wide, 110 % high.
SCALED_FILE = b'''German, with larger dialogs
***messages***
9b889d24="120*110"
'''


def translations(hebrew):
    """(name, language DLL or None, language file bytes or None, environment)."""
    return [
        ('english', None, None, None),
        ('scaled', FIXTURES / 'strings.dll', SCALED_FILE + scale_entries(), None),
        # A Hebrew translation is shown on a Hebrew Windows: code page 1255.
        ('rtl', FIXTURES / 'rtl.dll', None, hebrew),
    ]


def hebrew_locale():
    """Wine takes its ANSI code page from the glibc locale."""
    locales = ROOT / 'build' / 'locale'
    if not (locales / 'he_IL.UTF-8').exists():
        locales.mkdir(parents=True, exist_ok=True)
        subprocess.run(['localedef', '-i', 'he_IL', '-f', 'UTF-8', str(locales / 'he_IL.UTF-8')], check=True)
    return {'LOCPATH': str(locales), 'LANG': 'he_IL.UTF-8', 'LC_ALL': 'he_IL.UTF-8'}


def scale_entries():
    """Size entries of the Done and Context menu items dialogs: the key is
    the CRC-32 of "$", the dialog's name and the empty English text."""
    lines = []
    for name in ('DONEDLG', 'CONTEXTITEMS'):
        key = f'{zlib.crc32(b"$" + name.encode()) & 0xffffffff:08x}'
        lines.append(f'{key}="120*110"')
    return ('\n'.join(lines) + '\n').encode()


def shoot(display, window, path):
    """The window's rectangle from a screenshot of the whole screen."""
    left, top, right, bottom = window['rect']
    full = path.with_suffix('.full.png')
    subprocess.run(['import', '-display', display, '-window', 'root', str(full)], check=True)
    subprocess.run(['convert', str(full), '-crop', f'{right - left}x{bottom - top}+{left}+{top}', '+repage',
                    str(path)], check=True)
    full.unlink()


def main():
    # Where 32-bit programs need the emulator, the script runs where it works.
    run32.reexec_if_needed()
    if OUT.exists():
        shutil.rmtree(OUT)
    OUT.mkdir(parents=True)
    x = harness.Xvfb().start()
    harness.WINE_ROOT = ROOT / 'build' / 'sandbox'
    # The 64-bit stand-in where 32-bit programs can run neither here nor
    # under the emulator.
    flavour = 'nt64' if harness.wineprefix.can_run_32bit() else 'x64'
    global FIXTURES
    FIXTURES = harness.build_of(flavour) / 'tests' / 'lang'
    prefix = harness.Prefix(flavour, 'screenshots', x.display)
    print(f'flavour {flavour}')
    try:
        inst = harness.InstallFolder(prefix)
        for name, dll, language_file, env in translations(hebrew_locale()):
            for f in ('qbxlng.dll', 'uninstall.lng'):
                (inst.root / f).unlink(missing_ok=True)
            if dll:
                shutil.copyfile(dll, inst.root / 'qbxlng.dll')
            if language_file:
                inst.add('uninstall.lng', language_file)
            proc = prefix.start(inst.exe, '/setup', cwd=inst.win, env=env)
            rows = prefix.window('*')
            caption = rows[0]['text']
            window, _ = harness.controls(prefix, caption, 5121)
            time.sleep(0.5)
            shoot(x.display, window, OUT / f'{name}-setup.png')
            prefix.click(caption, 5123)
            time.sleep(1)
            items = [w for w in prefix.pilot('windows') if w['class'] == '#32770' and w['text'] != caption]
            if items:
                shoot(x.display, items[0], OUT / f'{name}-context-items.png')
                prefix.click(items[0]['text'], 2)
                time.sleep(0.5)
            prefix.click(caption, harness.IDOK)
            window, _ = harness.controls(prefix, caption, 5102, 60)
            time.sleep(0.5)
            shoot(x.display, window, OUT / f'{name}-done.png')
            prefix.click(caption, harness.IDOK)
            proc.wait(60)
            time.sleep(1)
            prefix.close_explorer()
            print(f'{name}: {caption!r}')
    finally:
        prefix.kill_server()
        x.stop()
    for p in sorted(OUT.glob('*.png')):
        print(p)


if __name__ == '__main__':
    main()
