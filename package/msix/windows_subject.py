"""The subject of the signing certificate as Windows writes it, the form a
package's Publisher must equal.

Windows writes a name in X.500 form: the relative distinguished names (RDNs)
in the reverse of their order in the certificate, so the most specific comes
first ("CN=Kestrun, O=Kestrun, C=US"), separated by ", ", each as KEY=value.
KEY is Windows' short name of the attribute type, "OID." and the dotted type
for a type it has no name for. A value is put in double quotes when it is
empty, begins or ends with white space, or holds one of , + = " < > # ; or a
line feed; a double quote inside it is then written twice.

A Publisher cannot spell an RDN of several attributes (Windows joins them
with " + ", which the Publisher grammar does not allow), nor a value Windows
writes in hexadecimal (a string type it does not decode): such certificates
are refused with the reason.
"""

import base64
import binascii
import re
import subprocess

# Windows' names of the attribute types a Publisher may use by name.
KEYS = {
    "2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU", "1.2.840.113549.1.9.1": "E",
    "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET", "2.5.4.12": "T", "2.5.4.42": "G", "2.5.4.43": "I",
    "2.5.4.4": "SN", "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER", "2.5.4.13": "Description",
    "2.5.4.17": "PostalCode", "2.5.4.18": "POBox", "2.5.4.20": "Phone", "2.5.4.24": "X21Address",
    "2.5.4.46": "dnQualifier",
}
# DER string types and how their bytes read.
STRING_TYPES = {12: "utf-8", 18: "ascii", 19: "ascii", 20: "latin-1", 22: "ascii", 26: "ascii",
                28: "utf-32-be", 30: "utf-16-be"}
QUOTED_CHARACTERS = set(',+="<>#;\n')
ASCII_SPACE = " \t\n\v\f\r"
SEQUENCE, SET, OID, CONTEXT_0 = 0x30, 0x31, 0x06, 0xA0
PEM = re.compile(rb"-----BEGIN CERTIFICATE-----(.+?)-----END CERTIFICATE-----", re.S)


class SubjectError(Exception):
    pass


def _elements(data):
    """The DER elements of data, each as (tag, content, whole encoding)."""
    pos = 0
    while pos < len(data):
        start = pos
        if pos + 2 > len(data):
            raise SubjectError("the certificate is cut short")
        tag, length = data[pos], data[pos + 1]
        pos += 2
        if length & 0x80:
            count = length & 0x7F
            if count == 0 or count > 4 or pos + count > len(data):
                raise SubjectError("the certificate holds a length it cannot have")
            length = int.from_bytes(data[pos:pos + count], "big")
            pos += count
        if pos + length > len(data):
            raise SubjectError("the certificate is cut short")
        yield tag, data[pos:pos + length], data[start:pos + length]
        pos += length


def _only(data, tag, what):
    items = list(_elements(data))
    if len(items) != 1 or items[0][0] != tag:
        raise SubjectError("the certificate's %s is not where it belongs" % what)
    return items[0][1]


def _oid(content):
    arcs, value = [], 0
    for byte in content:
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            arcs.append(value)
            value = 0
    if not arcs or value:
        raise SubjectError("the certificate holds a malformed attribute type")
    first = min(arcs[0] // 40, 2)
    return ".".join(str(a) for a in [first, arcs[0] - 40 * first] + arcs[1:])


def _quoted(value):
    if value == "" or value[0] in ASCII_SPACE or value[-1] in ASCII_SPACE or QUOTED_CHARACTERS & set(value):
        return '"%s"' % value.replace('"', '""')
    return value


def _attribute(encoded):
    items = list(_elements(encoded))
    if len(items) != 2 or items[0][0] != OID:
        raise SubjectError("the certificate's subject holds an attribute that is not a type and a value")
    (_, type_content, _), (value_tag, value_content, _) = items
    oid = _oid(type_content)
    key = KEYS.get(oid, "OID." + oid)
    if value_tag not in STRING_TYPES:
        raise SubjectError("the subject's %s is not a string Windows reads (type 0x%02x)" % (key, value_tag))
    try:
        value = value_content.decode(STRING_TYPES[value_tag])
    except UnicodeDecodeError:
        raise SubjectError("the subject's %s cannot be read as its string type says" % key)
    return "%s=%s" % (key, _quoted(value))


def _subject_and_key(der):
    """The certificate's subject (its content) and the DER encoding of its
    public key."""
    parts = list(_elements(_only(der, SEQUENCE, "body")))
    if not parts or parts[0][0] != SEQUENCE:
        raise SubjectError("the certificate has no body to sign")
    fields = list(_elements(parts[0][1]))
    if fields and fields[0][0] == CONTEXT_0:  # the version
        fields = fields[1:]
    if len(fields) < 6 or fields[4][0] != SEQUENCE or fields[5][0] != SEQUENCE:
        raise SubjectError("the certificate has no subject where one belongs")
    return fields[4][1], fields[5][2]


def windows_name(subject):
    rdns = []
    for tag, rdn, _ in _elements(subject):
        attributes = list(_elements(rdn))
        if tag != SET or not attributes:
            raise SubjectError("the certificate's subject is malformed")
        if len(attributes) > 1:
            raise SubjectError("the certificate's subject has an RDN of several attributes, which no Publisher "
                               "can spell")
        rdns.append(_attribute(attributes[0][1]))
    return ", ".join(reversed(rdns))


def pem_certificates(path):
    with open(path, "rb") as f:
        blocks = PEM.findall(f.read())
    try:
        return [base64.b64decode(b"".join(block.split()), validate=True) for block in blocks]
    except binascii.Error:
        raise SubjectError("%s holds a certificate that is not base64" % path)


def signer_subject(cert_path, key_path):
    """The subject of the certificate in cert_path (a PEM certificate or
    chain) whose public key is the one of the private key in key_path."""
    result = subprocess.run(["openssl", "pkey", "-in", key_path, "-pubout", "-outform", "DER"],
                            capture_output=True)
    if result.returncode != 0:
        raise SubjectError("openssl cannot read the key %s: %s" % (key_path, result.stderr.decode().strip()))
    for der in pem_certificates(cert_path):
        subject, public_key = _subject_and_key(der)
        if public_key == result.stdout:
            return windows_name(subject)
    raise SubjectError("no certificate in %s is the one of the key %s" % (cert_path, key_path))
