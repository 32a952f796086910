#!/usr/bin/python3
"""Uninstall at scale, side by side with a peer in the same run.

A tree of FILES files in FOLDERS folders is uninstalled by uninstall.exe /s
(its list names the files first, then the folders, deepest first) and by an
NSIS program built with makensis whose script deletes the same entries, one
Delete or RMDir per entry, in the same order. Then both again with the list
in reverse order. The floor (bench/floor.cpp) reads the same list and makes
the same deletions and nothing else, one DeleteFileA or RemoveDirectoryA per
entry in one pass: what the deletions themselves cost. Each run gets a fresh
copy of the tree; the three programs alternate; the time is from the start of
the program to its exit (the self-removal batch file that uninstall.exe
starts at its end is recorded but not run). Prints every time, the medians
and the ratios of uninstall.exe to NSIS and to the floor.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / 'tests' / 'e2e'))
os.environ.setdefault('QBX_BUILD', str(ROOT / 'build' / 'release'))
import harness  # noqa: E402
import run32  # noqa: E402 (scripts/, on the path through harness)

INSTALL = 'C:\\bench\\Quabix'


def make_tree(template, files, folders):
    """folders/20 top folders with 20 subfolders each; files spread evenly."""
    if template.exists():
        shutil.rmtree(template)
    per_top = 20
    tops = max(1, -(-folders // (per_top + 1)))  # enough top folders; the list is cut to size
    dirs = []
    for t in range(tops):
        top = f'Part{t:03d}'
        dirs.append(top)
        for s in range(per_top):
            dirs.append(f'{top}\\Sub{s:02d}')
    dirs = dirs[:folders]
    entries = []
    for i in range(files):
        d = dirs[i % len(dirs)]
        entries.append(f'{d}\\file{i:05d}.dat')
    for d in dirs:
        (template / d.replace('\\', '/')).mkdir(parents=True, exist_ok=True)
    for e in entries:
        (template / e.replace('\\', '/')).write_bytes(b'q' * 64)
    folders_deepest_first = sorted(dirs, key=lambda d: -d.count('\\'))
    return entries + folders_deepest_first


def nsis_program(work, name, entries):
    script = work / f'{name}.nsi'
    lines = ['Unicode true', f'OutFile "{name}.exe"', 'SilentInstall silent', 'RequestExecutionLevel user',
             'Section']
    for e in entries:
        path = f'{INSTALL}\\{e}'
        lines.append(f'  RMDir "{path}"' if '.' not in e.rsplit('\\', 1)[-1] else f'  Delete "{path}"')
    lines.append('SectionEnd')
    script.write_text('\r\n'.join(lines) + '\r\n')
    subprocess.run(['makensis', '-V1', script.name], cwd=work, check=True)
    return work / f'{name}.exe'


def timed(prefix, *args):
    start = time.perf_counter()
    rc, _ = prefix.wine(*args, timeout=600)
    took = time.perf_counter() - start
    if rc != 0:
        raise SystemExit(f'{args[0]} exited with {rc}')
    return took


def profile(prefix, install, entries, runs, exe):
    """Times uninstall.exe on an empty list and on a list of the same entries
    when none of them exists: the fixed cost and the cost of a pass that
    removes nothing (the last pass of every run)."""
    for name, text in (('empty list', ''), ('missing entries', '\r\n'.join(entries) + '\r\n')):
        times = []
        for _ in range(runs):
            if install.exists():
                shutil.rmtree(install)
            install.mkdir(parents=True)
            shutil.copyfile(exe, install / 'uninstall.exe')
            (install / 'Uninstall.lst').write_bytes(text.encode())
            times.append(timed(prefix, f'{INSTALL}\\uninstall.exe', '/s'))
        print(f'profile  uninstall.exe, {name}: median {statistics.median(times):.2f} s '
              f'(' + ' '.join(f'{t:.2f}' for t in times) + ')')


def main():
    # Where 32-bit programs need the emulator, the script runs where it works.
    run32.reexec_if_needed()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--files', type=int, default=10000)
    parser.add_argument('--folders', type=int, default=500)
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--flavour', choices=['nt64', 'nt32', 'x64'],
                        help='nt64 (default), nt32, or x64: the 64-bit stand-in build, the default on a '
                             'machine that cannot run 32-bit x86 programs (the NSIS peer is a 32-bit '
                             'program and is then not run)')
    parser.add_argument('--exe', type=Path,
                        help="the uninstall.exe to measure (default: the flavour's release build)")
    parser.add_argument('--floor', type=Path,
                        help="the floor program (default: the flavour's release build)")
    parser.add_argument('--profile', action='store_true',
                        help='also time where uninstall.exe spends its time: an empty list (start-up, '
                             'integration removal, self-removal) and a list of missing entries (one pass '
                             'that finds nothing)')
    args = parser.parse_args()
    if not args.flavour:
        args.flavour = 'nt64' if harness.wineprefix.can_run_32bit() else 'x64'
    build = harness.build_of(args.flavour)
    args.exe = args.exe or build / 'app' / 'uninstall.exe'
    args.floor = args.floor or build / 'bench' / 'floor.exe'
    with_nsis = args.flavour != 'x64'

    work = ROOT / 'build' / 'bench'
    work.mkdir(parents=True, exist_ok=True)
    template = work / 'tree'
    entries = make_tree(template, args.files, args.folders)
    orders = {'natural': entries, 'reverse': list(reversed(entries))}
    peers = {order: nsis_program(work, f'nsis-{order}', e) for order, e in orders.items()} if with_nsis else {}

    x = harness.Xvfb().start()
    prefix = harness.Prefix(args.flavour, 'bench-uninstall', x.display)
    try:
        prefix.write(f'{harness.RECORD}\\norun', b'')  # record the batch file, do not run it
        for order, peer in peers.items():
            prefix.copy_in(peer, f'C:\\bench\\{peer.name}')
        prefix.copy_in(args.floor, 'C:\\bench\\floor.exe')
        install = prefix.unix(INSTALL)

        def fresh(order):
            if install.exists():
                shutil.rmtree(install)
            shutil.copytree(template, install)
            shutil.copyfile(args.exe, install / 'uninstall.exe')
            (install / 'Uninstall.lst').write_bytes(('\r\n'.join(orders[order]) + '\r\n').encode())

        def remaining():
            return sum(1 for _ in install.rglob('*.dat')) + sum(1 for p in install.rglob('*') if p.is_dir())

        print(f'{args.files} files in {len(entries) - args.files} folders, {args.runs} runs each, '
              f'flavour {args.flavour}')
        results = {}
        for order in orders:
            ours, theirs, floor = [], [], []
            for _ in range(args.runs):
                fresh(order)
                ours.append(timed(prefix, f'{INSTALL}\\uninstall.exe', '/s'))
                left = remaining()
                if left:
                    raise SystemExit(f'uninstall.exe left {left} entries')
                fresh(order)
                floor.append(timed(prefix, 'C:\\bench\\floor.exe', f'{INSTALL}\\Uninstall.lst'))
                # One pass too: with folders listed first, it leaves them.
                floor_left = remaining()
                if with_nsis:
                    fresh(order)
                    theirs.append(timed(prefix, f'C:\\bench\\{peers[order].name}'))
                    # One pass: with folders listed first, the peer leaves them.
                    peer_left = remaining()
            results[order] = (ours, theirs, floor)
            print(f'{order:8s} uninstall.exe: ' + ' '.join(f'{t:.2f}' for t in ours) + '  (left nothing)')
            if with_nsis:
                print(f'{order:8s} NSIS:          ' + ' '.join(f'{t:.2f}' for t in theirs) +
                      f'  (left {peer_left} entries)')
            print(f'{order:8s} floor:         ' + ' '.join(f'{t:.2f}' for t in floor) +
                  f'  (left {floor_left} entries)')
        print()
        if args.profile:
            profile(prefix, install, entries, args.runs, args.exe)
        goals = {'natural': 1.0, 'reverse': 2.0}
        floor_goals = {'natural': 1.3, 'reverse': 1.6}
        for order, (ours, theirs, floor) in results.items():
            a, f = statistics.median(ours), statistics.median(floor)
            if with_nsis:
                b = statistics.median(theirs)
                verdict = 'met' if a / b <= goals[order] else 'MISSED'
                print(f'uninstall {order} order: uninstall.exe {a:.2f} s, NSIS {b:.2f} s, ratio {a / b:.2f}x, '
                      f'goal <= {goals[order]:.1f}x: {verdict}')
            else:
                print(f'uninstall {order} order: NSIS not run (a 32-bit program; flavour {args.flavour})')
            verdict = 'met' if a / f <= floor_goals[order] else 'MISSED'
            print(f'uninstall {order} order: uninstall.exe {a:.2f} s, floor {f:.2f} s, ratio {a / f:.2f}x, '
                  f'goal <= {floor_goals[order]:.1f}x: {verdict}')
    finally:
        prefix.close()
        x.stop()


if __name__ == '__main__':
    main()
