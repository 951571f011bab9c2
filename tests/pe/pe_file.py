"""A small reader of PE files: headers, sections, imports and resources."""
import struct


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ':
            raise PeError('no MZ signature')
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b'PE\0\0':
            raise PeError('no PE signature')
        (self.machine, nsections, self.timestamp, self.symbol_table, self.symbol_count,
         opt_size, self.characteristics) = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        self.magic = self.u16(opt)
        if self.magic not in (0x10B, 0x20B):
            raise PeError('unknown optional header magic 0x%x' % self.magic)
        self.pe32_plus = self.magic == 0x20B
        (self.os_major, self.os_minor, _, _, self.subsystem_major,
         self.subsystem_minor) = struct.unpack_from('<6H', data, opt + 40)
        self.checksum = self.u32(opt + 64)
        self.subsystem, self.dll_characteristics = struct.unpack_from('<HH', data, opt + 68)
        dirs = opt + (112 if self.pe32_plus else 96)
        count = self.u32(dirs - 4)
        self.directories = [struct.unpack_from('<II', data, dirs + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + opt_size
        for i in range(nsections):
            name, vsize, rva, raw_size, raw_ptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
            self.sections.append((name.rstrip(b'\0').decode('latin-1'), rva, max(vsize, raw_size),
                                  raw_ptr, raw_size))

    def u16(self, off):
        return struct.unpack_from('<H', self.data, off)[0]

    def u32(self, off):
        return struct.unpack_from('<I', self.data, off)[0]

    def offset(self, rva):
        for _, start, size, raw_ptr, raw_size in self.sections:
            if start <= rva < start + size:
                if rva - start >= raw_size:
                    raise PeError('RVA 0x%x lies in no file data' % rva)
                return raw_ptr + rva - start
        raise PeError('RVA 0x%x lies in no section' % rva)

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.index(b'\0', off)
        return self.data[off:end].decode('latin-1')

    def imports(self):
        """{dll name: [function names]}; ordinals appear as '#n'."""
        rva, _ = self.directory(1)
        result = {}
        if not rva:
            return result
        off = self.offset(rva)
        width = 8 if self.pe32_plus else 4
        flag = 1 << (8 * width - 1)
        while True:
            lookup, _, _, name, first = struct.unpack_from('<IIIII', self.data, off)
            if not (lookup or name or first):
                break
            functions = []
            thunk = self.offset(lookup or first)
            while True:
                value = struct.unpack_from('<Q' if self.pe32_plus else '<I', self.data, thunk)[0]
                if not value:
                    break
                functions.append('#%d' % (value & 0xFFFF) if value & flag
                                 else self.cstring((value & 0x7FFFFFFF) + 2))
                thunk += width
            result[self.cstring(name)] = functions
            off += 20
        return result

    def resources(self):
        """{(type, name, language): bytes}; string identifiers stay strings."""
        rva, _ = self.directory(2)
        result = {}
        if not rva:
            return result
        base = self.offset(rva)

        def ident(value):
            if value & 0x80000000:
                off = base + (value & 0x7FFFFFFF)
                n = self.u16(off)
                return self.data[off + 2:off + 2 + 2 * n].decode('utf-16-le')
            return value

        def walk(off, path):
            named, ids = struct.unpack_from('<HH', self.data, off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from('<II', self.data, off + 16 + 8 * i)
                key = path + (ident(name),)
                if target & 0x80000000:
                    if len(key) >= 3:
                        raise PeError('resource tree deeper than type/name/language')
                    walk(base + (target & 0x7FFFFFFF), key)
                elif len(key) != 3:
                    raise PeError('resource leaf at depth %d' % len(key))
                else:
                    data_rva, size = struct.unpack_from('<II', self.data, base + target)
                    start = self.offset(data_rva)
                    result[key] = self.data[start:start + size]

        walk(base, ())
        return result
