#!/usr/bin/python3
"""Checks the release uninstall.exe as a file, without running it.

  check_executable.py EXE ALLOWED_IMPORTS

- a 32-bit PE for the Windows GUI subsystem, with OS and subsystem version
  4.0 (the 9x family and NT 4 refuse a program that asks for more), and no
  TLS callbacks (the 9x family never calls them);
- every function it imports, by DLL and name, is on the list of functions
  that Windows 95/98 and NT 4 export; the functions the tool looks up at run
  time because older systems lack them are never imported;
- the manifest (Common Controls 6, requireAdministrator) and the resources
  the program loads: its three dialogs, its two icons, the strings 5101 to
  5114 and the version resource.

Prints one line per problem and exits with 1 when there is one.
"""
import re
import struct
import sys

RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 5, 14, 16, 24
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
DIR_IMPORT, DIR_RESOURCE, DIR_TLS = 1, 2, 9
DIALOGS = ('SETUPDLG', 'DONEDLG', 'CONTEXTITEMS')
ICONS = ('DELICON', 'QBXICON')
STRINGS = range(5101, 5115)
# Windows versions a listed function may need at most.
OLDEST_9X = ('95', '98')
OLDEST_NT = ('3.1', '3.5', '3.51', '4.0')


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ':
            raise ValueError('no MZ header')
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('no PE signature')
        self.machine, sections, _, _, _, opt_size, self.characteristics = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from('<H', data, opt)[0]
        if self.magic != PE32_MAGIC:
            return
        self.image_base = struct.unpack_from('<I', data, opt + 28)[0]
        (self.os_major, self.os_minor, _, _, self.subsys_major, self.subsys_minor) = \
            struct.unpack_from('<6H', data, opt + 40)
        self.subsystem = struct.unpack_from('<H', data, opt + 68)[0]
        count = struct.unpack_from('<I', data, opt + 92)[0]
        self.dirs = [struct.unpack_from('<II', data, opt + 96 + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            name, vsize, va, rawsize, raw = struct.unpack_from('<8sIIII', data, table + 40 * i)
            self.sections.append((name.rstrip(b'\0').decode('latin-1'), va, max(vsize, rawsize), raw, rawsize))

    def offset(self, rva):
        for _, va, size, raw, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise ValueError(f'RVA {rva:#x} lies in uninitialised data')
                return raw + rva - va
        raise ValueError(f'RVA {rva:#x} is in no section')

    def u32(self, rva):
        return struct.unpack_from('<I', self.data, self.offset(rva))[0]

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode('latin-1')

    def directory(self, index):
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def imports(self):
        """[(dll in lower case, function name or '#ordinal')]"""
        rva, _ = self.directory(DIR_IMPORT)
        out = []
        while rva:
            lookup, _, _, name, thunks = struct.unpack_from('<5I', self.data, self.offset(rva))
            if name == 0:
                break
            dll = self.cstring(name).lower()
            entry = lookup or thunks
            while True:
                value = self.u32(entry)
                if value == 0:
                    break
                out.append((dll, f'#{value & 0xFFFF}' if value & 0x80000000 else self.cstring(value + 2)))
                entry += 4
            rva += 20
        return out

    def tls_callbacks(self):
        """Addresses in the TLS directory's callback array."""
        rva, size = self.directory(DIR_TLS)
        if not rva or not size:
            return []
        callbacks_va = struct.unpack_from('<6I', self.data, self.offset(rva))[3]
        if not callbacks_va:
            return []
        out = []
        at = callbacks_va - self.image_base
        while self.u32(at):
            out.append(self.u32(at))
            at += 4
        return out

    def resources(self):
        """{(type, name): data} of the first language of each; names are
        ints or upper-case strings."""
        root, _ = self.directory(DIR_RESOURCE)
        if not root:
            return {}

        def entries(rva):
            base = self.offset(root + rva)
            named, ids = struct.unpack_from('<HH', self.data, base + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from('<II', self.data, base + 16 + 8 * i)
                if name & 0x80000000:
                    at = self.offset(root + (name & 0x7FFFFFFF))
                    length = struct.unpack_from('<H', self.data, at)[0]
                    name = self.data[at + 2:at + 2 + 2 * length].decode('utf-16-le').upper()
                yield name, target

        out = {}
        for kind, kind_dir in entries(0):
            for name, name_dir in entries(kind_dir & 0x7FFFFFFF):
                for _, leaf in entries(name_dir & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from('<II', self.data, self.offset(root + leaf))
                    start = self.offset(data_rva)
                    out.setdefault((kind, name), self.data[start:start + size])
        return out


def read_allowed(path):
    """(imported {(dll, name): (oldest 9x, oldest NT)}, looked up at run time
    {name}) from the list: '<dll> <function> <9x> <NT>' or
    'runtime <dll> <function> <oldest Windows>'; '#' starts a comment."""
    imported, runtime = {}, set()
    for number, line in enumerate(open(path, encoding='utf-8'), 1):
        line = line.split('#', 1)[0].split()
        if not line:
            continue
        if line[0] == 'runtime' and len(line) >= 3:
            runtime.add(line[2])
        elif len(line) == 4:
            imported[(line[0].lower(), line[1])] = (line[2], line[3])
        else:
            raise SystemExit(f'{path}:{number}: cannot read this line')
    return imported, runtime


def strings_of(resources):
    out = {}
    for (kind, block), data in resources.items():
        if kind != RT_STRING or not isinstance(block, int):
            continue
        at = 0
        for i in range(16):
            length = struct.unpack_from('<H', data, at)[0]
            text = data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
            at += 2 + 2 * length
            if text:
                out[(block - 1) * 16 + i] = text
    return out


def check(exe, allowed_path):
    problems = []
    pe = PeFile(open(exe, 'rb').read())
    if pe.machine != IMAGE_FILE_MACHINE_I386 or pe.magic != PE32_MAGIC:
        return [f'not a 32-bit x86 PE (machine {pe.machine:#x}, magic {pe.magic:#x})']
    if pe.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f'subsystem {pe.subsystem}, not the Windows GUI')
    if (pe.os_major, pe.os_minor) != (4, 0):
        problems.append(f'OS version {pe.os_major}.{pe.os_minor}, not 4.0')
    if (pe.subsys_major, pe.subsys_minor) != (4, 0):
        problems.append(f'subsystem version {pe.subsys_major}.{pe.subsys_minor}, not 4.0')
    for address in pe.tls_callbacks():
        problems.append(f'TLS callback at {address:#x}')

    imported, runtime = read_allowed(allowed_path)
    for dll, name in pe.imports():
        if name in runtime:
            problems.append(f'imports {dll} {name}, which older Windows lack: look it up at run time')
        elif (dll, name) not in imported:
            problems.append(f'imports {dll} {name}, which is not on the list of functions of Windows 95/98 '
                            f'and NT 4')
        else:
            oldest_9x, oldest_nt = imported[(dll, name)]
            if oldest_9x not in OLDEST_9X or oldest_nt not in OLDEST_NT:
                problems.append(f'imports {dll} {name}, which needs Windows {oldest_9x} / NT {oldest_nt}')

    res = pe.resources()
    manifest = res.get((RT_MANIFEST, 1), b'').decode('utf-8', 'replace')
    if not manifest:
        problems.append('no manifest (resource 24, 1)')
    if not re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"', manifest):
        problems.append('the manifest does not ask for Common Controls 6.0.0.0')
    if not re.search(r'<requestedExecutionLevel\s+level="requireAdministrator"', manifest):
        problems.append('the manifest does not ask for requireAdministrator')
    for name in DIALOGS:
        if (RT_DIALOG, name) not in res:
            problems.append(f'no dialog {name}')
    for name in ICONS:
        if (RT_GROUP_ICON, name) not in res:
            problems.append(f'no icon group {name}')
    strings = strings_of(res)
    for sid in STRINGS:
        if sid not in strings:
            problems.append(f'no string {sid}')
    version = res.get((RT_VERSION, 1), b'')
    if b'V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0' not in version:
        problems.append('no version resource')
    elif 'ProductVersion'.encode('utf-16-le') not in version:
        problems.append('the version resource has no ProductVersion')
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    problems = check(argv[0], argv[1])
    for p in problems:
        print(p)
    if not problems:
        print(f'{argv[0]}: 32-bit GUI, version 4.0, no TLS callbacks, imports and resources as allowed')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
