#!/usr/bin/python3
"""Start-up: from process start to the Setup dialog being visible.

uninstall.exe /setup in a sample install folder (its working directory)
against two minimal programs that show one dialog from a resource and do
nothing else: the peer shows the very Setup dialog (its template, the same
common-controls manifest and the rich-edit library it needs), so the ratio is
what the tool's own start-up work costs; the bare one shows a dialog of three
controls with no manifest, the least any program can show. Same Wine prefix
and run, alternating, RUNS times each after one warm-up run of each. The time of one run is from starting the program until a second
process, already waiting and polling every millisecond, sees the dialog
visible; the dialog is then closed with Cancel. Prints every time, the
medians and the ratio.
"""
import argparse
import os
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402
import run32  # noqa: E402 (scripts/, on the path through harness)

PEER = harness.BUILD / 'bench' / 'setup_dialog_peer.exe'
BARE = harness.BUILD / 'bench' / 'minimal_dialog.exe'
INSTALL = 'C:\\Program Files\\Quabix'


def time_to_visible(prefix, caption, args, cwd):
    flag = f'{harness.TOOLS}\\visible-{time.monotonic_ns()}'
    pilot = prefix.start(f'{harness.TOOLS}\\winpilot.exe', 'visible', caption, '30000', flag)
    while not prefix.unix(flag).exists():
        if not pilot.running():
            raise SystemExit('winpilot ended early: ' + pilot.log.read_text(errors='replace'))
        time.sleep(0.005)
    start = time.perf_counter()
    program = prefix.start(*args, cwd=cwd)
    if pilot.wait(60) != 0:
        raise SystemExit(f'{caption!r} did not show: ' + pilot.log.read_text(errors='replace'))
    took = time.perf_counter() - start
    rows = prefix.pilot('close', caption)
    if rows != [{'closed': True}]:
        raise SystemExit(f'cannot close {caption!r}: {rows}')
    program.wait(60)
    return took


def main():
    # Where 32-bit programs need the emulator, the script runs where it works.
    run32.reexec_if_needed()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--runs', type=int, default=11)
    parser.add_argument('--flavour', default='nt64', choices=['nt64', 'nt32'])
    args = parser.parse_args()
    x = harness.Xvfb().start()
    prefix = harness.Prefix(args.flavour, 'bench-startup', x.display)
    try:
        inst = harness.InstallFolder(prefix, INSTALL)
        for rel in ('Quabix.exe', 'qbxext.dll', 'quabix.hlp', 'license.txt'):
            inst.add(rel)
        prefix.copy_in(PEER, 'C:\\bench\\setup_dialog_peer.exe')
        prefix.copy_in(BARE, 'C:\\bench\\minimal_dialog.exe')
        tools = {
            'uninstall.exe': ('Quabix Setup', [inst.exe, '/setup'], INSTALL),
            'same dialog': ('Quabix Setup', ['C:\\bench\\setup_dialog_peer.exe'], 'C:\\bench'),
            'bare dialog': ('Minimal Dialog', ['C:\\bench\\minimal_dialog.exe'], 'C:\\bench'),
        }
        times = {name: [] for name in tools}
        for run in range(args.runs + 1):
            for name, (caption, command, cwd) in tools.items():
                took = time_to_visible(prefix, caption, command, cwd)
                if run:  # the first run of each warms the prefix up
                    times[name].append(took)
        print(f'start-up to a visible dialog, {args.runs} runs each, flavour {args.flavour}')
        for name, t in times.items():
            print(f'  {name:14s} ' + ' '.join(f'{v * 1000:.0f}' for v in t) + ' ms')
        ours = statistics.median(times['uninstall.exe'])
        peer = statistics.median(times['same dialog'])
        bare = statistics.median(times['bare dialog'])
        ratio = ours / peer
        print(f'startup   uninstall.exe /setup {ours * 1000:.0f} ms, the same dialog alone {peer * 1000:.0f} ms, '
              f'ratio {ratio:.2f}x, goal <= 1.20x: {"met" if ratio <= 1.2 else "MISSED"}')
        print(f'startup   (a bare three-control dialog without manifest: {bare * 1000:.0f} ms, '
              f'ratio {ours / bare:.2f}x; fastest runs: uninstall.exe {min(times["uninstall.exe"]) * 1000:.0f} ms, '
              f'same dialog {min(times["same dialog"]) * 1000:.0f} ms, bare {min(times["bare dialog"]) * 1000:.0f} ms)')
    finally:
        prefix.close()
        x.stop()


if __name__ == '__main__':
    main()
