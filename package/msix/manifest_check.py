"""The package manifest held against the rules of Windows' published manifest
schemas, for the part of them this package uses, and against the rules
Windows adds when it reads a manifest. The schemas themselves are not here:
their rules for these elements are written out below, as they stand in the
foundation, types, UAP (and its version 10), desktop (versions 4 and 5), COM
and restricted-capabilities schemas.

Checked: the root, every element's name and namespace and where it may stand,
how often, and in which order where the schema has a sequence; every
attribute's name, whether it is required, and its value against the type's
patterns, enumerations and lengths; the text of the text elements; and
across the manifest, that the verb's class is one the package's COM server
declares, that class IDs are unique, that the application names an
Executable, that MaxVersionTested is not below MinVersion, that the
ignorable namespaces are declared and that every image it names is in the
payload. Stricter than the schemas: an element or attribute they allow but
this package does not use is refused, and of the named background colours
only "transparent" is known.

  check(manifest bytes, payload names) -> None, or the first fault as one line
"""

import io
import re
import xml.etree.ElementTree as ET

NAMESPACES = {
    "f": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
    "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
}
PREFIXES = {uri: prefix for prefix, uri in NAMESPACES.items()}


class Type:
    """A simple type: every pattern and length of its own and of its base must
    hold (one of its own patterns is enough, as in the schemas); a union
    accepts what any member accepts."""

    def __init__(self, name, *patterns, base=None, values=None, min_length=0, max_length=None, union=None):
        self.name, self.patterns, self.base, self.values = name, patterns, base, values
        self.min_length, self.max_length, self.union = min_length, max_length, union

    def accepts(self, value):
        if self.union:
            return any(member.accepts(value) for member in self.union)
        if self.base and not self.base.accepts(value):
            return False
        if len(value) < self.min_length or (self.max_length is not None and len(value) > self.max_length):
            return False
        if self.values is not None and value not in self.values:
            return False
        return not self.patterns or any(re.fullmatch(p, value) for p in self.patterns)

    def __str__(self):
        return "one of %s" % ", ".join(self.values) if self.values else "a valid %s" % self.name


NON_EMPTY = Type("ST_NonEmptyString", r"[^\s]|([^\s].*[^\s])", min_length=1, max_length=32767)
BOOLEAN = Type("xs:boolean", values=("true", "false", "1", "0"))
GUID = Type("ST_GUID", r"[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}", base=NON_EMPTY)
_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
VERSION_QUAD = Type("ST_VersionQuad", _PART + r"(\." + _PART + r"){3}", base=NON_EMPTY)
ASCII_IDENTIFIER = Type("ST_AsciiIdentifier", r"[-.A-Za-z0-9]+", base=NON_EMPTY)
PACKAGE_NAME = Type("ST_PackageName", base=ASCII_IDENTIFIER, min_length=3, max_length=50)
_KEYS = (r"(CN|L|O|OU|E|C|S|STREET|T|G|I|SN|DC|SERIALNUMBER|Description|PostalCode|POBox|Phone|X21Address"
         r"|dnQualifier|(OID\.(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*))+))")
_RDN = _KEYS + r'=(([^,+="<>#;])+|".*")'
PUBLISHER = Type("ST_Publisher_2010_v2", _RDN + r"(, " + _RDN + r")*", base=NON_EMPTY, max_length=8192)
ARCHITECTURE = Type("ST_Architecture_v2", values=("x86", "x64", "arm", "arm64", "x86a64", "neutral"))
RESOURCE_REFERENCE = Type("ST_ResourceReference", r"\bms-resource:.{1,256}", base=NON_EMPTY)
DISPLAY_NAME = Type("ST_DisplayName", union=(RESOURCE_REFERENCE, Type("ST_DisplayName", base=NON_EMPTY,
                                                                      max_length=256)))
DESCRIPTION = Type("ST_Description", r"[^\x01-\x1f]+", base=NON_EMPTY, max_length=2048)
_FILE_NAME_CHARACTERS = Type("ST_FileNameCharSet", r'[^<>":%\|\?\*\x01-\x1f]+', base=NON_EMPTY)
FILE_NAME = Type("ST_FileName", r"([^/\\]*[^./\\]+)(\\[^/\\]*[^./\\]+)*", r"([^/\\]*[^./\\]+)(/[^/\\]*[^./\\]+)*",
                 base=_FILE_NAME_CHARACTERS)
IMAGE_FILE = Type("ST_ImageFile", r".+\.((jpg)|(png)|(jpeg))", base=FILE_NAME)
EXECUTABLE = Type("ST_ExecutableAnyCase", r".+\.([Ee][Xx][Ee])", base=FILE_NAME)
_WINDOWS_ID = Type("ST_AsciiWindowsId", r"([A-Za-z][A-Za-z0-9]*)(\.[A-Za-z][A-Za-z0-9]*)*", base=NON_EMPTY,
                   max_length=255)
APPLICATION_ID = Type("ST_ApplicationId", base=_WINDOWS_ID, max_length=64)
RESTRICTED_CAPABILITY = Type("ST_Capability_Windows_Restricted_Party", r"[a-z][-_.A-Za-z0-9]+", min_length=3,
                             max_length=128)
TRUST_LEVEL = Type("ST_TrustLevel", values=("appContainer", "mediumIL"))
RUNTIME_BEHAVIOR = Type("ST_RuntimeBehavior", values=("windowsApp", "packagedClassicApp", "win32App"))
COLOR = Type("ST_Color", r"#[\da-fA-F]{6}", r"transparent")
APP_LIST_ENTRY = Type("ST_AppListEntry", values=("default", "none"))
DESKTOP4_CATEGORY = Type("ST_ApplicationExtensionCategory_Desktop4", values=("windows.fileExplorerContextMenus",))
COM_CATEGORY = Type("ST_ExtensionCategory_Com", values=("windows.comServer", "windows.comInterface"))
ITEM_TYPE = Type("ST_FileTypeOrStarWithDirectory", r"(\*|(\.[^.\\]+))", r"Directory", r"Directory\\Background",
                 base=NON_EMPTY, max_length=64)
VERB_ID = Type("ST_FileTypeAssociationSupportedVerbId", r"([A-Za-z0-9]*)", base=NON_EMPTY, min_length=3,
               max_length=64)
THREADING_MODEL = Type("ST_ThreadingModel", values=("Both", "STA", "MTA", "MainSTA", "Neutral"))

MANY = 10000


class Element:
    """attributes: name ("prefix:Name" when qualified) -> (type, required).
    children: (prefix, name, at least, at most) in schema order; ordered when
    the schema has a sequence there. text: the type of the element's text."""

    def __init__(self, attributes=None, children=(), ordered=False, text=None):
        self.attributes, self.children, self.ordered, self.text = attributes or {}, children, ordered, text


ELEMENTS = {
    ("f", "Package"): Element({"IgnorableNamespaces": (NON_EMPTY, False)},
                              [("f", "Identity", 1, 1), ("f", "Properties", 1, 1), ("f", "Dependencies", 1, 1),
                               ("f", "Capabilities", 0, 1), ("f", "Applications", 0, 1)]),
    ("f", "Identity"): Element({"Name": (PACKAGE_NAME, True), "ProcessorArchitecture": (ARCHITECTURE, False),
                                "Publisher": (PUBLISHER, True), "Version": (VERSION_QUAD, True)}),
    ("f", "Properties"): Element(children=[("f", "DisplayName", 1, 1), ("f", "PublisherDisplayName", 1, 1),
                                           ("f", "Description", 0, 1), ("f", "Logo", 1, 1),
                                           ("uap10", "AllowExternalContent", 0, 1)]),
    ("f", "DisplayName"): Element(text=DISPLAY_NAME),
    ("f", "PublisherDisplayName"): Element(text=DISPLAY_NAME),
    ("f", "Description"): Element(text=DESCRIPTION),
    ("f", "Logo"): Element(text=IMAGE_FILE),
    ("uap10", "AllowExternalContent"): Element(text=BOOLEAN),
    ("f", "Dependencies"): Element(children=[("f", "TargetDeviceFamily", 1, 128)], ordered=True),
    ("f", "TargetDeviceFamily"): Element({"Name": (ASCII_IDENTIFIER, True), "MinVersion": (VERSION_QUAD, True),
                                          "MaxVersionTested": (VERSION_QUAD, True)}),
    ("f", "Capabilities"): Element(children=[("rescap", "Capability", 0, 100)], ordered=True),
    ("rescap", "Capability"): Element({"Name": (RESTRICTED_CAPABILITY, True)}),
    ("f", "Applications"): Element(children=[("f", "Application", 1, 100)], ordered=True),
    ("f", "Application"): Element({"Id": (APPLICATION_ID, True), "Executable": (EXECUTABLE, False),
                                   "uap10:TrustLevel": (TRUST_LEVEL, False),
                                   "uap10:RuntimeBehavior": (RUNTIME_BEHAVIOR, False)},
                                  [("uap", "VisualElements", 1, 1), ("f", "Extensions", 0, 1)]),
    ("uap", "VisualElements"): Element({"DisplayName": (DISPLAY_NAME, True), "Description": (DESCRIPTION, True),
                                        "BackgroundColor": (COLOR, True), "Square150x150Logo": (IMAGE_FILE, True),
                                        "Square44x44Logo": (IMAGE_FILE, True),
                                        "AppListEntry": (APP_LIST_ENTRY, False)}),
    ("f", "Extensions"): Element(children=[("desktop4", "Extension", 0, MANY), ("com", "Extension", 0, MANY)]),
    ("desktop4", "Extension"): Element({"Category": (DESKTOP4_CATEGORY, True)},
                                       [("desktop4", "FileExplorerContextMenus", 1, 1)]),
    ("desktop4", "FileExplorerContextMenus"): Element(children=[("desktop5", "ItemType", 0, MANY)], ordered=True),
    ("desktop5", "ItemType"): Element({"Type": (ITEM_TYPE, True)}, [("desktop5", "Verb", 0, MANY)], ordered=True),
    ("desktop5", "Verb"): Element({"Id": (VERB_ID, True), "Clsid": (GUID, True)}),
    ("com", "Extension"): Element({"Category": (COM_CATEGORY, True)}, [("com", "ComServer", 1, 1)]),
    ("com", "ComServer"): Element(children=[("com", "SurrogateServer", 0, 1000)], ordered=True),
    ("com", "SurrogateServer"): Element({"DisplayName": (DISPLAY_NAME, False), "AppId": (GUID, False)},
                                        [("com", "Class", 1, MANY)], ordered=True),
    ("com", "Class"): Element({"Id": (GUID, True), "Path": (FILE_NAME, True),
                               "ThreadingModel": (THREADING_MODEL, True), "DisplayName": (DISPLAY_NAME, False)}),
}


class Fault(Exception):
    pass


def _name(tag):
    """("prefix", "Name") of an ElementTree tag or attribute name."""
    if not tag.startswith("{"):
        return None, tag
    uri, local = tag[1:].split("}", 1)
    if uri not in PREFIXES:
        raise Fault("namespace %s is none this package may use" % uri)
    return PREFIXES[uri], local


def _label(prefix, local):
    return local if prefix in (None, "f") else "%s:%s" % (prefix, local)


def _check_element(node, path):
    key = _name(node.tag)
    rule = ELEMENTS.get(key)
    if rule is None:
        raise Fault("%s: no element of the schemas this package uses" % path)
    present = set()
    for attribute, value in node.attrib.items():
        name = _label(*_name(attribute))
        if name not in rule.attributes:
            raise Fault("%s: attribute %s is none this element takes" % (path, name))
        kind, _ = rule.attributes[name]
        if not kind.accepts(value):
            raise Fault("%s@%s: %r is not %s" % (path, name, value, kind))
        present.add(name)
    for name, (_, required) in rule.attributes.items():
        if required and name not in present:
            raise Fault("%s: the required attribute %s is missing" % (path, name))
    text = node.text or ""
    if rule.text and not rule.text.accepts(text):
        raise Fault("%s: %r is not %s" % (path, text, rule.text))
    if not rule.text and text.strip():
        raise Fault("%s: holds text where none belongs" % path)
    allowed = [(prefix, local) for prefix, local, _, _ in rule.children]
    counts, last = {}, -1
    for child in node:
        child_key = _name(child.tag)
        child_path = "%s/%s" % (path, _label(*child_key))
        if child_key not in allowed:
            raise Fault("%s: not allowed here" % child_path)
        if (child.tail or "").strip():
            raise Fault("%s: holds text where none belongs" % path)
        position = allowed.index(child_key)
        if rule.ordered and position < last:
            raise Fault("%s: out of the order the schema sets" % child_path)
        last = position
        counts[child_key] = counts.get(child_key, 0) + 1
        _check_element(child, child_path)
    for prefix, local, least, most in rule.children:
        count = counts.get((prefix, local), 0)
        if not least <= count <= most:
            raise Fault("%s: holds %d %s, allowed %d to %d" % (path, count, _label(prefix, local), least, most))


def _version(text):
    return tuple(int(part) for part in text.split("."))


def _check_references(root, declared, payload):
    f = NAMESPACES["f"]
    for family in root.iter("{%s}TargetDeviceFamily" % f):
        if _version(family.get("MaxVersionTested")) < _version(family.get("MinVersion")):
            raise Fault("TargetDeviceFamily: MaxVersionTested is below MinVersion")
    for prefix in root.get("IgnorableNamespaces", "").split():
        if prefix not in declared:
            raise Fault("IgnorableNamespaces names %s, which is not declared" % prefix)
    images = [node.text for node in root.iter("{%s}Logo" % f)]
    for visual in root.iter("{%s}VisualElements" % NAMESPACES["uap"]):
        images += [visual.get("Square150x150Logo"), visual.get("Square44x44Logo")]
    for image in images:
        if image.replace("\\", "/") not in payload:
            raise Fault("the image %s is not in the package" % image)
    classes = [c.get("Id").upper() for c in root.iter("{%s}Class" % NAMESPACES["com"])]
    if len(set(classes)) != len(classes):
        raise Fault("a COM class ID is declared twice")
    for application in root.iter("{%s}Application" % f):
        if not application.get("Executable"):
            raise Fault("Application %s: names no Executable" % application.get("Id"))
        served = {c.get("Id").upper() for c in application.iter("{%s}Class" % NAMESPACES["com"])}
        for verb in application.iter("{%s}Verb" % NAMESPACES["desktop5"]):
            if verb.get("Clsid").upper() not in served:
                raise Fault("Verb %s: class %s is not one the package's COM server declares"
                            % (verb.get("Id"), verb.get("Clsid")))


def check(manifest, payload):
    """manifest: its bytes. payload: the names of the package's files, with /."""
    try:
        declared = {prefix for _, (prefix, _) in ET.iterparse(io.BytesIO(manifest), events=("start-ns",))}
        root = ET.fromstring(manifest)
        if _name(root.tag) != ("f", "Package"):
            raise Fault("the root element is not the foundation namespace's Package")
        _check_element(root, "Package")
        _check_references(root, declared, set(payload))
    except (ET.ParseError, LookupError) as e:  # LookupError: an encoding Python does not know
        return "AppxManifest.xml is not well-formed XML: %s" % e
    except Fault as e:
        return "AppxManifest.xml: %s" % e
    return None
