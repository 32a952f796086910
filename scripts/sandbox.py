#!/usr/bin/env python3
"""The tool's main job in a sandbox: a Wine prefix of its own under
build/sandbox, a sample install folder of the archiver, and an uninstall of
that folder from the confirmation to self-removal. Prints what it saw."""
import argparse
import os
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402

FILES = ['Quabix.exe', 'qbxext.dll', 'qbxext64.dll', 'qbxlng.dll', 'quabix.hlp', 'Qbx.txt', 'license.txt',
         'order.htm', 'Formats\\zip.fmt', 'Formats\\cab.fmt', 'Formats\\Extra\\iso.fmt']
FOLDERS = ['Formats\\Extra', 'Formats']


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--flavour', default='nt64', choices=['nt64', 'nt32'])
    args = parser.parse_args()

    x = harness.Xvfb().start()
    harness.WINE_ROOT = ROOT / 'build' / 'sandbox'
    print(f'Wine prefix: {harness.WINE_ROOT}/e2e/{args.flavour} ({args.flavour}), display {x.display}')
    prefix = harness.Prefix(args.flavour, args.flavour, x.display)
    try:
        inst = harness.InstallFolder(prefix)
        for rel in FILES:
            inst.add(rel, b'sample ' + rel.encode())
        inst.write_list(FILES + FOLDERS + ['uninstall.exe', 'Uninstall.lst'])
        before = inst.listing()
        print(f'\nInstall folder {inst.win}, {len(before)} entries:')
        for rel in before:
            print(f'  {rel}')

        print(f'\nStarting {inst.exe} (uninstall mode)')
        proc = prefix.start(inst.exe)
        text, buttons = prefix.message_box('Uninstall Quabix')
        print(f'Message box "Uninstall Quabix": {text!r}, buttons {sorted(buttons.values())}; answering Yes')
        prefix.click('Uninstall Quabix', harness.IDYES)
        proc.wait(60)
        print('uninstall.exe has exited; the self-removal batch file runs now')
        start = time.monotonic()
        prefix.wait_server()
        print(f'every program of the prefix had ended after {time.monotonic() - start:.1f} s')

        after = inst.listing()
        removed = [r for r in before if r not in after]
        print(f'\nRemoved {len(removed)} of {len(before)} entries:')
        for rel in removed:
            print(f'  {rel}')
        print(f'Left: {after if after else "nothing"}')
        print(f'Install folder still there: {inst.exists()}')
        batch = prefix.unix(f'{harness.RECORD}\\batch.bat')
        if batch.exists():
            print('\nThe self-removal batch file it wrote (kept by the stand-in interpreter):')
            for line in batch.read_bytes().decode('latin-1').split('\r\n'):
                print(f'  {line}')
        return 0 if not inst.exists() else 1
    finally:
        prefix.kill_server()
        x.stop()


if __name__ == '__main__':
    sys.exit(main())
