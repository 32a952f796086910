#!/usr/bin/python3
"""The tool's main job in a sandbox: a Wine prefix of its own under
build/sandbox with a sample install folder of the archiver. Setup mode runs
there, then uninstall mode; after each, a summary by area says what changed
(extensions and their owners, document types, shell extension, links,
uninstall entry, App Paths, template files), then one line what is left over
compared with before setup. --full adds every change to the registry (keys
and values added, changed, removed) and to the disk."""
import argparse
import os
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402
import run32  # noqa: E402 (scripts/, on the path through harness)
import wineregistry  # noqa: E402

FILES = ['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'qbxlng.dll', 'quabix.hlp', 'Qbx.txt', 'license.txt',
         'order.htm', 'Formats\\zip.fmt', 'Formats\\cab.fmt', 'Formats\\Extra\\iso.fmt']
FOLDERS = ['Formats\\Extra', 'Formats']
CAPTION = 'Uninstall Quabix'

CLASSES = 'HKLM\\Software\\Classes\\'
EXTENSIONS = ['.qbx', '.zip', '.cab', '.arj', '.lzh', '.lha', '.ace', '.7z', '.tar', '.gz', '.tgz', '.uue',
              '.xxe', '.uu', '.bz2', '.tbz2', '.bz', '.tbz', '.jar', '.iso', '.z', '.taz']
VOLUMES = [f'.q{n:02d}' for n in range(100)]
DOC_TYPES = ['Quabix', 'Quabix.ZIP', 'Quabix.REV', '.rev']
CLSIDS = {'32-bit': '{6F2A91C0-4D3B-11D2-A7E5-5C31B08E92D4}', '64-bit': '{6F2A91C0-73B3-11D2-A7E5-5C31B08E92D4}'}
OURS = ('quabix', 'quabix.zip')


def disk(prefix, inst):
    files = {f'{k}': v for k, v in prefix.special_files().items()}
    for rel in inst.listing():
        files[f'install folder/{rel}'] = None
    return files


def report(title, before, after, files_before, files_after):
    print(f'\n== {title}')
    changes = wineregistry.diff(before, after, wineregistry.WINE_NOISE)
    print(f'registry: {len(changes)} changes')
    for line in changes:
        print(f'  {line}')
    added = sorted(set(files_after) - set(files_before))
    removed = sorted(set(files_before) - set(files_after))
    print(f'disk: {len(added)} added, {len(removed)} removed')
    for rel in added:
        print(f'  + {rel}')
    for rel in removed:
        print(f'  - {rel}')


def owner(snap, ext):
    """What an extension's key names: its default value, or a note."""
    if not snap.has(CLASSES + ext):
        return 'no key'
    data = snap.data(CLASSES + ext)
    return repr(data) if data else 'no owner'


def product_key(snap, rel):
    """A key under HKLM\\Software, in whichever view the tool wrote it."""
    for path in (f'HKLM\\Software\\Wow6432Node\\{rel}', f'HKLM\\Software\\{rel}'):
        if snap.has(path):
            return path
    return None


def summary_setup(before, after, files_before, files_after):
    print('\n== what setup did')
    bound = [e for e in EXTENSIONS if (after.data(CLASSES + e) or '').lower() in OURS]
    taken = [f'{e} (from {owner(before, e)})' for e in bound if owner(before, e) != 'no key']
    print(f'extensions bound to the archiver: {len(bound)} of {len(EXTENSIONS)}: {" ".join(bound)}')
    print(f'  they belonged before to: {", ".join(taken) if taken else "nobody (no keys)"}')
    volumes = [v for v in VOLUMES if (after.data(CLASSES + v) or '').lower() in OURS]
    print(f'volume extensions: {len(volumes)}' + (f' ({volumes[0]} to {volumes[-1]})' if volumes else ''))
    docs = [d for d in DOC_TYPES if after.has(CLASSES + d) and not before.has(CLASSES + d)]
    print(f'document types: {", ".join(docs) or "none"}')
    for view, sub in (('32-bit view', 'Wow6432Node\\CLSID'), ('64-bit view', 'CLSID'), ('own view', 'CLSID')):
        if view == 'own view' and after.has(CLASSES + 'Wow6432Node'):
            continue
        found = [f'{bits} DLL' for bits, clsid in CLSIDS.items()
                 if after.has(f'{CLASSES}{sub}\\{clsid}\\InProcServer32')]
        if view != 'own view' or found:
            print(f'shell extension, {view}: {", ".join(found) or "nothing"}')
    handlers = [k for k in after.keys if 'shellex' in k.lower() and not before.has(k)]
    print(f'shell extension handler keys added: {len(handlers)}')
    files = sorted(set(files_after) - set(files_before))
    links = [f for f in files if not f.startswith('install folder/')]
    print(f'links and groups: {", ".join(links) or "none"}')
    entry = product_key(after, 'Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quabix archiver')
    if entry:
        values = after.key(entry)
        print(f'uninstall entry: {entry}')
        for name in sorted(values):
            print(f'  {name} = {values[name][1]!r}')
    else:
        print('uninstall entry: none')
    paths = product_key(after, 'Microsoft\\Windows\\CurrentVersion\\App Paths\\Quabix.exe')
    print(f'App Paths: {after.data(paths) if paths else "none"}')
    templates = [f for f in files if f.startswith('install folder/')]
    print(f'template files: {", ".join(t.split("/", 1)[1] for t in templates) or "none"}')


def summary_uninstall(start, setup, end, files_start, files_end):
    print('\n== what uninstall gave back')
    bound = [e for e in EXTENSIONS + VOLUMES if (setup.data(CLASSES + e) or '').lower() in OURS]
    back = [e for e in bound if owner(end, e) == owner(start, e) and end.key(CLASSES + e) == start.key(CLASSES + e)]
    wrong = [f'{e} ({owner(start, e)} before setup, {owner(end, e)} now)' for e in bound if e not in back]
    given = [f'{e} to {owner(start, e)}' for e in bound if e in back and start.has(CLASSES + e)]
    print(f'extensions as before setup: {len(back)} of {len(bound)}'
          + (f'; given back: {", ".join(given)}' if given else ''))
    if wrong:
        print(f'  not as before: {", ".join(wrong)}')
    changes = wineregistry.diff(start, end, wineregistry.WINE_NOISE)
    # Files added since and still there, and whatever of the install folder
    # is left (its removal is the point).
    files = sorted(f for f in files_end if f not in files_start or f.startswith('install folder/'))
    print(f'left over, compared with before setup: {len(changes)} registry changes, {len(files)} files'
          + (': ' + '; '.join(changes + files) if changes or files else ''))


def main():
    # Where 32-bit programs need the emulator, the script runs where it works.
    run32.reexec_if_needed()
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--flavour', choices=['nt64', 'nt32', 'x64'],
                        help='nt64 (default), nt32, or x64: the 64-bit stand-in build, the default on a '
                             'machine that cannot run 32-bit x86 programs')
    parser.add_argument('--silent', action='store_true', help='run setup silently even with a display')
    parser.add_argument('--full', action='store_true', help='also print every registry and disk change')
    args = parser.parse_args()
    if not args.flavour:
        args.flavour = 'nt64' if harness.wineprefix.can_run_32bit() else 'x64'
        if args.flavour == 'x64':
            print('This machine cannot run 32-bit x86 programs: the 64-bit stand-in build runs instead.')

    # With a display of the user's, the real dialogs are shown there and the
    # user answers them; otherwise a private one, and setup runs silently.
    interactive = bool(os.environ.get('DISPLAY')) and not args.silent
    x = None if interactive else harness.Xvfb().start()
    display = os.environ['DISPLAY'] if interactive else x.display
    harness.WINE_ROOT = ROOT / 'build' / 'sandbox'
    print(f'Wine prefix: {harness.WINE_ROOT}/e2e/{args.flavour} ({args.flavour}), display {display}')
    prefix = harness.Prefix(args.flavour, args.flavour, display)
    try:
        # Another archiver owns .zip before Quabix comes, to show the give-back.
        prefix.reg_add('HKCR\\.zip', None, 'REG_SZ', 'OtherArchiver.Zip')
        prefix.reg_add('HKCR\\.zip', 'Content Type', 'REG_SZ', 'application/x-other-zip')
        inst = harness.InstallFolder(prefix)
        for rel in FILES:
            inst.add(rel, b'sample ' + rel.encode())
        inst.write_list(FILES + FOLDERS + ['qbxnew.dat', 'zipnew.dat', 'uninstall.exe', 'Uninstall.lst'])
        print(f'Install folder {inst.win}: {", ".join(inst.listing())}')
        start_reg, start_disk = prefix.snapshot(), disk(prefix, inst)

        if interactive:
            print(f'\nSetup: {inst.exe} /setup, in the install folder. The Setup dialog is on your display:'
                  ' choose, press OK, then Done (or cancel).')
            proc = prefix.start(inst.exe, '/setup', cwd=inst.win)
            proc.wait(3600)
            prefix.close_explorer()
        else:
            print(f'\nSetup: {inst.exe} /setup /s, in the install folder (the stored or default choices)')
            proc = prefix.start(inst.exe, '/setup', '/s', cwd=inst.win)
            proc.wait(120)
        setup_reg, setup_disk = prefix.snapshot(), disk(prefix, inst)
        summary_setup(start_reg, setup_reg, start_disk, setup_disk)

        print(f'\nUninstall: {inst.exe}')
        proc = prefix.start(inst.exe)
        text, buttons = prefix.message_box(CAPTION, 60000)
        if interactive:
            print(f'Message box "{CAPTION}": {text!r}; answer it on your display')
            proc.wait(3600)
        else:
            print(f'Message box "{CAPTION}": {text!r}, buttons {sorted(buttons.values())}; answering Yes')
            prefix.click(CAPTION, harness.IDYES)
            proc.wait(120)
        began = time.monotonic()
        end_reg, end_disk = prefix.snapshot(), disk(prefix, inst)
        print(f'the self-removal batch file had finished after {time.monotonic() - began:.1f} s'
              f'; uninstall.exe exit code {proc.popen.returncode}')
        summary_uninstall(start_reg, setup_reg, end_reg, start_disk, end_disk)
        print(f'install folder still there: {inst.exists()}')
        if args.full:
            report('what setup changed', start_reg, setup_reg, start_disk, setup_disk)
            report('what uninstall changed', setup_reg, end_reg, setup_disk, end_disk)
            report('left over, compared with before setup', start_reg, end_reg, start_disk, end_disk)
        return 0 if not inst.exists() else 1
    finally:
        prefix.kill_server()
        if x:
            x.stop()


if __name__ == '__main__':
    sys.exit(main())
