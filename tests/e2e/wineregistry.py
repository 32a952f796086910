"""Reads Wine's registry files (system.reg, user.reg) into snapshots and
compares them. The files are only complete once the prefix's wineserver has
exited, which is when the tests read them.

A snapshot maps 'HKLM\\path' or 'HKCU\\path' (the case of the file, compared
without case) to {value name: (type, data)}; the default value is named ''.
Both registry views are in the files: under WOW64 the 32-bit view of
HKCR\\CLSID is HKLM\\Software\\Classes\\Wow6432Node\\CLSID.
"""
import re
from pathlib import Path

ROOTS = {'system.reg': 'HKLM', 'user.reg': 'HKCU'}

# What Wine itself records when the first window of a prefix opens: the
# console settings, the fonts it found on the host, the state of the display
# device. Nothing of the tool's.
WINE_NOISE = [r'^HKCU\\Console$', r'\\CurrentVersion\\Fonts$', r'^HKCU\\Software\\Wine\\Fonts\\',
              r'^HKLM\\System\\CurrentControlSet\\Control\\Class\\', r'^HKLM\\System\\CurrentControlSet\\Enum\\DISPLAY\\']


_ESCAPE = re.compile(r'\\(x[0-9a-fA-F]{1,4}|.)', re.S)
_QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"', re.S)


def _escape(m):
    e = m.group(1)
    if e[0] == 'x' and len(e) > 1:
        return chr(int(e[1:], 16))
    return {'n': '\n', 'r': '\r', 't': '\t', '0': '\0'}.get(e, e)


def _unescape(text):
    return _ESCAPE.sub(_escape, text) if '\\' in text else text


def _quoted(line, start):
    """The quoted string at line[start] (a '"'); returns (text, index after it)."""
    m = _QUOTED.match(line, start)
    if not m:
        raise ValueError(f'unterminated string: {line}')
    return _unescape(m.group(1)), m.end()


def _value(data):
    if data.startswith('"'):
        return 'REG_SZ', _quoted(data, 0)[0]
    if data.startswith('dword:'):
        return 'REG_DWORD', int(data[6:], 16)
    m = re.match(r'str\((\d+)\):', data)
    if m:
        kind = {'2': 'REG_EXPAND_SZ', '7': 'REG_MULTI_SZ'}.get(m.group(1), 'str' + m.group(1))
        return kind, _quoted(data, m.end())[0]
    m = re.match(r'hex(?:\(([0-9a-f]+)\))?:', data)
    if m:
        kind = {None: 'REG_BINARY', '0': 'REG_NONE', '2': 'REG_EXPAND_SZ', '7': 'REG_MULTI_SZ',
                'b': 'REG_QWORD'}.get(m.group(1), 'hex' + str(m.group(1)))
        raw = bytes.fromhex(data[m.end():].replace(',', '').replace(' ', ''))
        return kind, raw
    return 'unknown', data


def read_file(path, root):
    keys = {}
    current = None
    pending = ''
    for raw in Path(path).read_text(encoding='latin-1').splitlines():
        line = pending + raw
        if line.endswith('\\') and not line.startswith('['):
            pending = line[:-1].strip() if pending else line[:-1]
            continue
        pending = ''
        if line.startswith('['):
            name, _ = _quoted('"' + line[1:line.rindex(']')] + '"', 0)
            current = {}
            keys[f'{root}\\{name}'] = current
        elif current is None or not line or line.startswith((';', '#')) or line.startswith('WINE REGISTRY'):
            continue
        elif line.startswith('@='):
            current[''] = _value(line[2:])
        elif line.startswith('"'):
            name, end = _quoted(line, 0)
            current[name] = _value(line[end + 1:])
    return keys


def snapshot(prefix_path):
    snap = {}
    for file, root in ROOTS.items():
        snap.update(read_file(Path(prefix_path) / file, root))
    # Wine writes a key without values only when it has no subkeys; the
    # others are implied by their subkeys.
    lower = {k.lower() for k in snap}
    for key in list(snap):
        parts = key.split('\\')
        for i in range(2, len(parts)):
            parent = '\\'.join(parts[:i])
            if parent.lower() not in lower:
                lower.add(parent.lower())
                snap[parent] = {}
    return Snapshot(snap)


class Snapshot:
    def __init__(self, keys):
        self.keys = keys
        self.lower = {k.lower(): k for k in keys}

    def key(self, path):
        """The values of a key, or None when it does not exist."""
        real = self.lower.get(path.lower())
        return None if real is None else self.keys[real]

    def has(self, path):
        return path.lower() in self.lower

    def value(self, path, name=''):
        values = self.key(path)
        if values is None:
            return None
        for n, v in values.items():
            if n.lower() == name.lower():
                return v
        return None

    def data(self, path, name=''):
        v = self.value(path, name)
        return None if v is None else v[1]

    def subkeys(self, path):
        p = path.lower() + '\\'
        return sorted(self.lower[k] for k in self.lower if k.startswith(p))


def diff(before, after, ignore=()):
    """Keys and values added, removed or changed, as readable lines."""
    pattern = re.compile('|'.join(ignore), re.I) if ignore else None
    lines = []
    for k in sorted(set(before.lower) | set(after.lower)):
        if pattern and pattern.search(k):
            continue
        a = before.keys.get(before.lower.get(k)) if k in before.lower else None
        b = after.keys.get(after.lower.get(k)) if k in after.lower else None
        name = after.lower.get(k) or before.lower.get(k)
        if a is None:
            lines.append(f'+ key {name}')
            for v, d in b.items():
                lines.append(f'+ value {name} [{v}] = {d}')
            continue
        if b is None:
            lines.append(f'- key {name}')
            continue
        al = {n.lower(): (n, d) for n, d in a.items()}
        bl = {n.lower(): (n, d) for n, d in b.items()}
        for n in sorted(set(al) | set(bl)):
            if n not in al:
                lines.append(f'+ value {name} [{bl[n][0]}] = {bl[n][1]}')
            elif n not in bl:
                lines.append(f'- value {name} [{al[n][0]}] = {al[n][1]}')
            elif al[n][1] != bl[n][1]:
                lines.append(f'~ value {name} [{al[n][0]}] = {al[n][1]} -> {bl[n][1]}')
    return lines
