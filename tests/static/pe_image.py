"""A small reader for the parts of a PE file the static checks look at:
headers, imports, exports with ordinals, resources and the version block."""

import struct

MACHINES = {0x14C: "i386", 0x8664: "amd64"}
SUBSYSTEMS = {2: "gui", 3: "console"}
IMAGE_FILE_DLL = 0x2000


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("not an MZ file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        machine, nsections, _, _, _, optsize, characteristics = struct.unpack_from("<HHIIIHH", d, pe + 4)
        self.machine = MACHINES.get(machine, hex(machine))
        self.is_dll = bool(characteristics & IMAGE_FILE_DLL)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        self.pe32plus = magic == 0x20B
        self.subsystem = SUBSYSTEMS.get(struct.unpack_from("<H", d, opt + 68)[0], "other")
        dirs = opt + (112 if self.pe32plus else 96)
        ndirs = struct.unpack_from("<I", d, dirs - 4)[0]
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(ndirs)]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("rva %#x outside every section" % rva)

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("latin-1")

    def imports(self):
        """{dll name: [symbol names or '#ordinal']}"""
        rva, size = self.directories[1]
        result = {}
        if not rva:
            return result
        o = self.offset(rva)
        thunk_size, ordinal_flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, o)
            if not (lookup or name or first):
                return result
            symbols = []
            t = self.offset(lookup or first)
            while True:
                value = struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, t)[0]
                if not value:
                    break
                if value & ordinal_flag:
                    symbols.append("#%d" % (value & 0xFFFF))
                else:
                    symbols.append(self.cstring((value & 0x7FFFFFFF) + 2))
                t += thunk_size
            result[self.cstring(name)] = symbols
            o += 20

    def exports(self):
        """[(ordinal, name)] sorted by ordinal; the ordinal base is applied."""
        rva, size = self.directories[0]
        if not rva:
            return []
        o = self.offset(rva)
        (_, _, _, _, _, base, nfuncs, nnames, funcs, names, ordinals) = struct.unpack_from("<IIHHIIIIIII", self.data, o)
        named = {}
        for i in range(nnames):
            name_rva = struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinals) + 2 * i)[0]
            named[index] = self.cstring(name_rva)
        result = []
        for index in range(nfuncs):
            if struct.unpack_from("<I", self.data, self.offset(funcs) + 4 * index)[0]:
                result.append((base + index, named.get(index)))
        return result

    def resources(self):
        """{(type, id): bytes}; type and id are ints or strings."""
        rva, size = self.directories[2]
        if not rva:
            return {}
        root = self.offset(rva)

        def entries(table):
            named, ids = struct.unpack_from("<HH", self.data, table + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
                if name & 0x80000000:
                    s = root + (name & 0x7FFFFFFF)
                    n = struct.unpack_from("<H", self.data, s)[0]
                    key = self.data[s + 2:s + 2 + 2 * n].decode("utf-16-le")
                else:
                    key = name
                yield key, target

        result = {}
        for rtype, t1 in entries(root):
            for rid, t2 in entries(root + (t1 & 0x7FFFFFFF)):
                for _, t3 in entries(root + (t2 & 0x7FFFFFFF)):
                    data_rva, data_size = struct.unpack_from("<II", self.data, root + t3)
                    o = self.offset(data_rva)
                    result[(rtype, rid)] = self.data[o:o + data_size]
        return result

    def version(self):
        """(fixed file info dict, {string table: {key: value}})"""
        block = self.resources()[(16, 1)]
        return parse_version_block(block)


def _align4(n):
    return (n + 3) & ~3


def _node(block, o):
    length, value_length, kind = struct.unpack_from("<HHH", block, o)
    key_end = o + 6
    while block[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = block[o + 6:key_end].decode("utf-16-le")
    value = _align4(key_end + 2)
    return length, value_length, kind, key, value


def parse_version_block(block):
    length, value_length, _, key, value = _node(block, 0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a version block")
    fields = struct.unpack_from("<13I", block, value)
    fixed = {
        "signature": fields[0], "file_version": (fields[2] >> 16, fields[2] & 0xFFFF, fields[3] >> 16, fields[3] & 0xFFFF),
        "product_version": (fields[4] >> 16, fields[4] & 0xFFFF, fields[5] >> 16, fields[5] & 0xFFFF),
        "flags_mask": fields[6], "flags": fields[7], "os": fields[8], "type": fields[9], "subtype": fields[10],
    }
    tables = {}
    o = _align4(value + value_length)
    while o < length:
        child_length, _, _, child_key, child_value = _node(block, o)
        if child_key == "StringFileInfo":
            t = child_value
            while t < o + child_length:
                table_length, _, _, table_key, s = _node(block, t)
                strings = {}
                while s < t + table_length:
                    string_length, chars, _, string_key, string_value = _node(block, s)
                    text = block[string_value:string_value + 2 * chars].decode("utf-16-le").rstrip("\0")
                    strings[string_key] = text
                    s = _align4(s + string_length)
                tables[table_key] = strings
                t = _align4(t + table_length)
        o = _align4(o + child_length)
    return fixed, tables
