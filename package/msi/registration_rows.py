"""The registry rows of the Windows Installer package, read from the libraries
themselves: the registration script and the type library each one embeds are
what its DllRegisterServer hands to the registrar and to RegisterTypeLib, so
the package writes what self-registration would, without running it.

A row is (key under the classes root, value name or None, value, view), where
view is "own" for keys the platform keeps apart per view (the library's own
32- or 64-bit view) and "shared" for keys both views see. Values are Windows
Installer formatted text ([!File] short path, [#File] long path, [Dir]).
"""

import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "static"))
from pe_image import PeImage  # noqa: E402

RT_REGISTRY = "REGISTRY"
RT_TYPELIB = "TYPELIB"
# Keys of the classes root that 64-bit Windows keeps once per view; every
# other key there is shared by 32- and 64-bit programs.
REDIRECTED = {"clsid", "interface", "directshow", "media type", "mediafoundation"}
PS_OA_INTERFACE = "{00020424-0000-0000-C000-000000000046}"
PS_DISPATCH = "{00020420-0000-0000-C000-000000000046}"
LIBFLAG_FHASDISKIMAGE = 0x8
SYSKINDS = {1: "win32", 3: "win64"}
TKIND_INTERFACE, TKIND_DISPATCH = 3, 4
TYPEFLAG_FDUAL, TYPEFLAG_FOLEAUTOMATION = 0x40, 0x100

# Marks in the Name column: "*" creates the key at install and deletes it
# with its subkeys at uninstall.
CREATE_AND_REMOVE = "*"


def view_of(key):
    return "own" if key.split("\\", 1)[0].lower() in REDIRECTED else "shared"


# The registrar's script ------------------------------------------------------

# As the registrar reads it: quoted names, or runs of anything but blanks
# (so a key may be named "{...}"); a lone brace or equals sign is punctuation.
_TOKEN = re.compile(r"\s*(?:('(?:[^']|'')*')|(\S+))")


def _tokens(text):
    pos = 0
    text = text.rstrip()
    while pos < len(text):
        m = _TOKEN.match(text, pos)
        if not m or m.end() == pos:
            raise ValueError("registration script: cannot read %r" % text[pos:pos + 20])
        pos = m.end()
        quoted, word = m.groups()
        if quoted is not None:
            yield ("name", quoted[1:-1].replace("''", "'"))
        elif word in ("{", "}", "="):
            yield (word, word)
        else:
            yield ("name", word)


def script_rows(text, module):
    """Rows of a registration script (HKCR only, string values) with %MODULE%
    replaced by module. Keys marked NoRemove are shared parents: they get no
    row of their own. ForceRemove keys, and keys of ours with neither value nor
    subkey, get a CREATE_AND_REMOVE row, as unregistration deletes them whole."""
    tokens = list(_tokens(text))
    pos = 0

    def take(kind=None):
        nonlocal pos
        if pos >= len(tokens):
            raise ValueError("registration script ends early")
        token = tokens[pos]
        if kind is not None and token[0] != kind:
            raise ValueError("registration script: expected %r, found %r" % (kind, token[1]))
        pos += 1
        return token[1]

    def peek():
        return tokens[pos] if pos < len(tokens) else (None, None)

    def value():
        kind = take("name").lower()
        if kind != "s":
            raise ValueError("registration script: only string values are supported, found type %r" % kind)
        return take("name").replace("%MODULE%", module)

    rows = []

    def body(parent):
        take("{")
        while peek()[0] != "}":
            entry(parent)
        take("}")

    def entry(parent):
        flags = set()
        word = take("name")
        while word.lower() in ("noremove", "forceremove", "delete"):
            flags.add(word.lower())
            word = take("name")
        if "delete" in flags:
            raise ValueError("registration script: Delete is not supported")
        if word.lower() == "val":
            name = take("name")
            take("=")
            rows.append((parent, name, value()))
            return
        key = parent + "\\" + word if parent else word
        first = len(rows)
        if peek()[0] == "=":
            take("=")
            rows.append((key, None, value()))
        if peek()[0] == "{":
            body(key)
        if "noremove" in flags:
            return
        if "forceremove" in flags or len(rows) == first:
            rows.insert(first, (key, CREATE_AND_REMOVE, None))

    if take("name").upper() != "HKCR":
        raise ValueError("registration script: only HKCR is supported")
    body("")
    if pos != len(tokens):
        raise ValueError("registration script: text after the last brace")
    return rows


# The type library ------------------------------------------------------------

class TypeLibrary:
    """The fields RegisterTypeLib reads from a type library in the MSFT form."""

    def __init__(self, data):
        if data[:4] != b"MSFT":
            raise ValueError("type library: not in the MSFT form")
        # The second locale is the library's own; the first only the one it was
        # built under.
        (_, _, posguid, _, self.lcid, varflags, version, flags, ntypes, helpstring,
         _, _, _, _, _, _, _, _, _, _, _) = struct.unpack_from("<4s20i", data, 0)
        self.syskind = SYSKINDS.get(varflags & 0xF)
        if self.syskind is None:
            raise ValueError("type library: unknown system kind %d" % (varflags & 0xF))
        self.major, self.minor = version & 0xFFFF, version >> 16
        self.flags = flags & 0xFFFF
        offset = 0x54 + (4 if varflags & 0x100 else 0) + 4 * ntypes
        segments = [struct.unpack_from("<4i", data, offset + 16 * i)[:2] for i in range(15)]
        (typeinfo_seg, _, _, _, _, guid_seg, _, name_seg, string_seg) = segments[:9]
        self._data, self._guids, self._names, self._strings = data, guid_seg[0], name_seg[0], string_seg[0]
        self.libid = self._guid(posguid)
        self.helpstring = self._string(helpstring) if helpstring >= 0 else None
        self.interfaces = []
        seen = set()
        for i in range(ntypes):
            base = typeinfo_seg[0] + 0x64 * i
            kind = struct.unpack_from("<i", data, base)[0] & 0xF
            guid_offset, type_flags, name_offset = struct.unpack_from("<iii", data, base + 0x2C)
            if kind == TKIND_DISPATCH or (kind == TKIND_INTERFACE and type_flags & TYPEFLAG_FOLEAUTOMATION):
                iid = self._guid(guid_offset)
                if iid in seen:
                    continue
                seen.add(iid)
                dual = kind == TKIND_INTERFACE or type_flags & TYPEFLAG_FDUAL
                self.interfaces.append((iid, self._name(name_offset), PS_OA_INTERFACE if dual else PS_DISPATCH))

    def _guid(self, offset):
        a, b, c, d = struct.unpack_from("<IHH8s", self._data, self._guids + offset)
        return "{%08X-%04X-%04X-%s-%s}" % (a, b, c, d[:2].hex().upper(), d[2:].hex().upper())

    def _name(self, offset):
        length = struct.unpack_from("<B", self._data, self._names + offset + 8)[0]
        start = self._names + offset + 12
        return self._data[start:start + length].decode("latin-1")

    def _string(self, offset):
        length = struct.unpack_from("<H", self._data, self._strings + offset)[0]
        start = self._strings + offset + 2
        return self._data[start:start + length].decode("latin-1")


def type_library_rows(library, path, help_dir):
    """What RegisterTypeLib(library, path, help_dir) writes. The flags are the
    library's as loaded from a file, which adds FHASDISKIMAGE."""
    version = "%d.%d" % (library.major, library.minor)
    key = "TypeLib\\%s\\%s" % (library.libid, version)
    rows = [
        (key, CREATE_AND_REMOVE, None),
        (key, None, library.helpstring or ""),
        (key + "\\FLAGS", None, "%d" % (library.flags | LIBFLAG_FHASDISKIMAGE)),
        (key + "\\%X\\%s" % (library.lcid, library.syskind), None, path),
        (key + "\\HELPDIR", None, help_dir),
    ]
    for iid, name, proxy in library.interfaces:
        interface = "Interface\\" + iid
        rows += [
            (interface, CREATE_AND_REMOVE, None),
            (interface, None, name),
            (interface + "\\ProxyStubClsid", None, proxy),
            (interface + "\\ProxyStubClsid32", None, proxy),
            (interface + "\\TypeLib", None, library.libid),
            (interface + "\\TypeLib", "Version", version),
        ]
    return rows


def library_rows(dll_path, file_key, directory):
    """Every row DllRegisterServer of the library writes, installed as the
    file file_key in the folder property directory: the script with the
    module's short path, then the type library with the long path and the
    folder as help directory."""
    resources = PeImage(dll_path).resources()

    def resource(rtype, rid):
        if (rtype, rid) not in resources:
            raise ValueError("%s: no %s resource %s" % (dll_path, rtype, rid))
        return resources[(rtype, rid)]

    script = resource(RT_REGISTRY, 101).decode("latin-1")
    library = TypeLibrary(resource(RT_TYPELIB, 1))
    return (script_rows(script, "[!%s]" % file_key)
            + type_library_rows(library, "[#%s]" % file_key, "[%s]" % directory))


def launcher_rows(file_key):
    """The shell's open command of the launcher: its long path quoted, then
    the quoted file; and "Open with" offering it for boot images under the
    menu's name. The whole application key goes at uninstall; of the .bin
    key only the launcher's own entry in its list, which other programs
    share."""
    return [("Applications\\Kestrun.exe", CREATE_AND_REMOVE, None),
            ("Applications\\Kestrun.exe\\shell\\open\\command", None, '"[#%s]" "%%1"' % file_key),
            ("Applications\\Kestrun.exe", "FriendlyAppName", "Quorvex Kestrun"),
            ("Applications\\Kestrun.exe\\SupportedTypes", ".bin", ""),
            (".bin\\OpenWithList\\Kestrun.exe", CREATE_AND_REMOVE, None)]


def package_rows(libraries, launcher_file, shared_component):
    """[(key, name, value, component)] for the package. libraries:
    [(dll path, file key, directory property, component)]. Keys a library
    writes into its own view go with its component; shared keys go with
    shared_component, which must be in the 64-bit view wherever there is one
    (a 32-bit component's shared keys would land in the 32-bit view only).
    Two libraries that want different data in one shared value are an error:
    which one wins would depend on the order of registration."""
    shared = {}
    rows = []
    for dll, file_key, directory, component in libraries:
        for key, name, value in library_rows(dll, file_key, directory):
            if view_of(key) == "own":
                rows.append((key, name, value, component))
                continue
            slot = (key.lower(), (name or "").lower())
            if slot in shared and shared[slot][2] != value:
                raise ValueError("%s: %s\\%s is %r for one library and %r for another"
                                 % (dll, key, name or "", shared[slot][2], value))
            shared.setdefault(slot, (key, name, value))
    for key, name, value in launcher_rows(launcher_file):
        shared[(key.lower(), (name or "").lower())] = (key, name, value)
    rows += [(key, name, value, shared_component) for key, name, value in shared.values()]
    return rows
