"""Builds Kestrun's sparse package (.msix): the manifest and its logos, the
block map, the content types, zipped; signed when the signing variables are
set.

  build_msix.py --manifest AppxManifest.xml --version V --out X.msix
                [--work DIR] [--publisher P]

The manifest is the one CMake rendered (class ID, default Version and
Publisher); this sets Identity's Version to V and its Publisher:
  - signed (KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY, as for the Windows
    Installer packages): the signing certificate's subject as Windows writes
    it. A Publisher given (KESTRUN_MSIX_PUBLISHER, else --publisher) must be
    exactly that, or the package is refused: Windows would refuse it;
  - unsigned: the Publisher given, else the manifest's.
The manifest is checked against the schemas' rules (manifest_check.py) before
anything is packed. The payload is stored uncompressed, so the block map
needs no block sizes; zip's layout is checked against the block map. The
finished package is read back: its signature (signing.py verifies it) and
every entry, by readers other than the one that wrote them (Python's
zipfile, unzip), for osslsigncode rewrites [Content_Types].xml and has
written it corrupt for some layouts. A package that fails is removed.
"""

import argparse
import base64
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.dom.minidom
import zipfile
import zlib
from xml.sax.saxutils import quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "msi"))
import manifest_check  # noqa: E402
import signing  # noqa: E402
import windows_subject  # noqa: E402

MANIFEST = "AppxManifest.xml"
BLOCK_MAP = "AppxBlockMap.xml"
CONTENT_TYPES = "[Content_Types].xml"
SIGNATURE = "AppxSignature.p7x"
# The logos the manifest names, square, by side in pixels, and their colour.
LOGOS = {"StoreLogo.png": 50, "Square150x150Logo.png": 150, "Square44x44Logo.png": 44}
LOGO_RGB = (0x1F, 0x4E, 0x79)
TYPE_BY_EXTENSION = {"png": "image/png"}
BLOCK = 65536
LOCAL_HEADER = struct.Struct("<IHHHHHIIIHH")
LOCAL_HEADER_SIGNATURE = 0x04034B50
STORED, DEFLATED = 0, 8
# Fixed file times, so one build's unsigned package is byte for byte the next one's.
FILE_TIME = 946684800  # 2000-01-01 00:00 UTC


class PackageError(Exception):
    pass


def fail(message):
    sys.exit("build_msix.py: " + message)


def one_line(message):
    """A tool's report cut to its first line and the first two lines that name
    an error (osslsigncode prints dozens)."""
    lines = [line.strip() for line in message.strip().splitlines() if line.strip()]
    errors = [line for line in lines[1:] if re.search(r"error|mismatch", line, re.I)]
    return "; ".join([line.rstrip(":") for line in lines[:1]] + list(dict.fromkeys(errors))[:2])


def png(side, rgb):
    """A square PNG of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = (b"\x00" + bytes(rgb) * side) * side
    header = struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def manifest_with_identity(path, version, publisher):
    """The manifest's bytes with Identity's Version and (if given) Publisher set."""
    document = xml.dom.minidom.parse(path)
    identities = document.getElementsByTagName("Identity")
    if len(identities) != 1:
        raise PackageError("%s: not one Identity element" % path)
    identities[0].setAttribute("Version", version)
    if publisher is not None:
        identities[0].setAttribute("Publisher", publisher)
    # Node by node, so the line ends between the comment and the root stay.
    nodes = [node.toxml(encoding="utf-8") for node in document.childNodes]
    return b'<?xml version="1.0" encoding="utf-8"?>\n' + b"\n".join(nodes) + b"\n"


def publisher_for(signer, given):
    if signer is None:
        return given
    try:
        subject = windows_subject.signer_subject(signer.cert, signer.key)
    except windows_subject.SubjectError as e:
        raise PackageError(str(e))
    if given is not None and given != subject:
        raise PackageError("Publisher %s is not the signing certificate's subject %s" % (given, subject))
    return subject


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (FILE_TIME, FILE_TIME))


def zip_files(package, folder, names, level):
    """zip adds names from folder: no extra fields, no folder entries, names
    as they are (brackets are no wildcards), at the given level (0: stored)."""
    command = ["zip", "-X", "-D", "-nw", "-q", "-%d" % level, package, "--"] + names
    result = subprocess.run(command, cwd=folder, capture_output=True, text=True, env=dict(os.environ, TZ="UTC"))
    if result.returncode != 0:
        raise PackageError("zip failed (exit code %d): %s%s" % (result.returncode, result.stdout, result.stderr))


def local_headers(package):
    """Each entry's (compression method, local header size)."""
    headers = {}
    with open(package, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(package) as z:
        for info in z.infolist():
            fields = LOCAL_HEADER.unpack_from(data, info.header_offset)
            if fields[0] != LOCAL_HEADER_SIGNATURE:
                raise PackageError("%s: no local header for %s" % (package, info.filename))
            size = LOCAL_HEADER.size + fields[9] + fields[10]
            headers[info.filename] = (fields[3], size)
    return headers


def block_map(folder, payload, headers):
    files = []
    for name in payload:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        blocks = "".join('<Block Hash="%s"/>' % base64.b64encode(hashlib.sha256(data[i:i + BLOCK]).digest()).decode()
                         for i in range(0, len(data), BLOCK))
        files.append('<File Name=%s Size="%d" LfhSize="%d">%s</File>'
                     % (quoteattr(name.replace("/", "\\")), len(data), headers[name][1], blocks))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
            'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">\n%s\n</BlockMap>\n' % "\n".join(files))


def content_types(payload):
    defaults = {}
    for name in payload:
        if name != MANIFEST:
            extension = name.rsplit(".", 1)[-1].lower()
            if extension not in TYPE_BY_EXTENSION:
                raise PackageError("no content type known for %s" % name)
            defaults[extension] = TYPE_BY_EXTENSION[extension]
    entries = ['<Default Extension="%s" ContentType="%s"/>' % item for item in sorted(defaults.items())]
    entries += ['<Override PartName="/%s" ContentType="application/vnd.ms-appx.manifest+xml"/>' % MANIFEST,
                '<Override PartName="/%s" ContentType="application/vnd.ms-appx.blockmap+xml"/>' % BLOCK_MAP]
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">%s</Types>\n'
            % "".join(entries))


def pack(folder, payload, package):
    """The manifest first, the payload stored; the block map, written from the
    local headers zip made, and the content types deflated (osslsigncode
    writes its rewritten content types deflated, and into a stored entry
    that corrupts them)."""
    zip_files(package, folder, payload, 0)
    headers = local_headers(package)
    write(folder, BLOCK_MAP, block_map(folder, payload, headers).encode("utf-8"))
    write(folder, CONTENT_TYPES, content_types(payload).encode("utf-8"))
    zip_files(package, folder, [BLOCK_MAP, CONTENT_TYPES], 9)
    layout = local_headers(package)
    wanted = dict(headers, **{BLOCK_MAP: (DEFLATED, None), CONTENT_TYPES: (DEFLATED, None)})
    with zipfile.ZipFile(package) as z:
        names = z.namelist()
    if names != list(payload) + [BLOCK_MAP, CONTENT_TYPES]:
        raise PackageError("zip wrote the entries as %s" % names)
    for name, (method, size) in wanted.items():
        if layout[name][0] != method or (size is not None and layout[name][1] != size):
            raise PackageError("zip wrote %s with method %d and a %d-byte local header" % ((name,) + layout[name]))


def read_back(package, signed):
    """The finished package, read by zip readers other than the one that
    wrote it."""
    with zipfile.ZipFile(package) as z:
        names = z.namelist()
        broken = z.testzip()
    if broken is not None:
        raise PackageError("%s: entry %s does not read back (bad data or CRC)" % (package, broken))
    result = subprocess.run(["unzip", "-tq", package], capture_output=True, text=True)
    if result.returncode != 0:
        raise PackageError("%s: unzip -t finds faults: %s" % (package, (result.stdout + result.stderr).strip()))
    if names[0] != MANIFEST or (SIGNATURE in names) != signed:
        raise PackageError("%s: entries %s" % (package, names))


def build(args):
    # A failed step leaves no package behind, not even the last one made.
    out = os.path.abspath(args.out)
    if os.path.exists(out):
        os.remove(out)
    signer = signing.from_environment()
    given = os.environ.get("KESTRUN_MSIX_PUBLISHER") or args.publisher
    manifest = manifest_with_identity(args.manifest, args.version, publisher_for(signer, given))

    payload = [MANIFEST] + sorted(LOGOS)
    fault = manifest_check.check(manifest, payload)
    if fault:
        raise PackageError(fault)
    write(args.work, MANIFEST, manifest)
    for name, side in LOGOS.items():
        write(args.work, name, png(side, LOGO_RGB))

    unsigned = os.path.join(args.work, "Kestrun.msix")
    pack(args.work, payload, unsigned)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    try:
        if signer:
            signer.sign(unsigned, out)
        else:
            shutil.copyfile(unsigned, out)
        read_back(out, signer is not None)
    except (PackageError, signing.SigningError, OSError):
        if os.path.exists(out):
            os.remove(out)
        raise
    print(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--manifest", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--work")
    parser.add_argument("--publisher")
    args = parser.parse_args()
    try:
        if args.work:
            args.work = os.path.abspath(args.work)
            shutil.rmtree(args.work, ignore_errors=True)
            os.makedirs(args.work)
            build(args)
        else:
            with tempfile.TemporaryDirectory() as args.work:
                build(args)
    except (PackageError, signing.SigningError, OSError) as e:
        fail(one_line(str(e)))


if __name__ == "__main__":
    main()
