#!/usr/bin/python3
"""The tool's main job in a sandbox: a Wine prefix of its own under
build/sandbox with a sample install folder of the archiver. Setup mode runs
there, then uninstall mode; after each, the changes to the registry (keys and
values added, changed, removed) and to the disk (links, program groups,
template files, the install folder) are printed."""
import argparse
import os
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402
import wineregistry  # noqa: E402

FILES = ['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'qbxlng.dll', 'quabix.hlp', 'Qbx.txt', 'license.txt',
         'order.htm', 'Formats\\zip.fmt', 'Formats\\cab.fmt', 'Formats\\Extra\\iso.fmt']
FOLDERS = ['Formats\\Extra', 'Formats']
CAPTION = 'Uninstall Quabix'


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


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--flavour', default='nt64', choices=['nt64', 'nt32'])
    parser.add_argument('--silent', action='store_true', help='run setup silently even with a display')
    args = parser.parse_args()

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
        report('what setup changed', start_reg, setup_reg, start_disk, setup_disk)

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
        print(f'the self-removal batch file had finished after {time.monotonic() - began:.1f} s')
        report('what uninstall changed', setup_reg, end_reg, setup_disk, end_disk)
        report('left over, compared with before setup', start_reg, end_reg, start_disk, end_disk)
        print(f'\nInstall folder still there: {inst.exists()}')
        return 0 if not inst.exists() else 1
    finally:
        prefix.kill_server()
        if x:
            x.stop()


if __name__ == '__main__':
    sys.exit(main())
