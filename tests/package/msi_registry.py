"""Registry snapshots (files of `reg export`) compared key by key and value by
value, for the package's tests under Wine.

  msi_registry.py same BEFORE AFTER
      AFTER holds exactly what BEFORE held (the Installer's own bookkeeping
      aside): an uninstall left nothing behind and removed nothing else.
  msi_registry.py compare MSI_BEFORE MSI_AFTER REG32_BEFORE REG32_AFTER [REG64_BEFORE REG64_AFTER]
      What the package wrote equals what self-registration wrote: REG32_* in a
      prefix where regsvr32 registered the library that plays the 32-bit one,
      REG64_* where it registered the 64-bit one. Each registration's keys are
      placed where 64-bit Windows keeps them for a program of that kind (its
      own view for class and interface keys, the shared keys once); the
      launcher's open command and its "Open with" entries, written by the
      package only, are left out.
      The type library's HELPDIR, one value each registration sets to its own
      library's folder, is the one registered last: the package gives it the
      32-bit library's folder, the launcher's.

Snapshots are exports of HKLM\\Software\\Classes (or HKCU\\Software\\Classes);
keys are compared case-insensitively, relative to that root.
"""

import re
import sys

# Keys 64-bit Windows keeps once per view; Wine also shows a 32-bit program the
# shared ones under Wow6432Node, as links to the same keys.
REDIRECTED = {"clsid", "interface", "directshow", "media type", "mediafoundation"}
WOW = "wow6432node\\"
# The installer's own bookkeeping, in the classes and in the user's software.
BOOKKEEPING = ("installer", "microsoft\\installer")
# Written by the package only: the launcher's open command and "Open with".
PACKAGE_ONLY = ("applications\\kestrun.exe", ".bin\\openwithlist\\kestrun.exe")
# Shared values whose data is whichever registration came last.
LAST_WINS = ("helpdir",)


def parse(path):
    """{key lower: (key, {name lower: (name, data)})}, keys relative to the
    exported root; name "" is the default value."""
    raw = open(path, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8")
    lines = text.replace("\r\n", "\n").split("\n")
    keys, root, current = {}, None, None
    i = 0
    while i < len(lines):
        line = lines[i]
        while line.endswith("\\") and not line.startswith("[") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i].strip()
        i += 1
        m = re.match(r"^\[(.*)\]$", line)
        if m:
            full = m.group(1)
            if root is None:
                root = full
            relative = full[len(root) + 1:] if full.lower() != root.lower() else ""
            current = keys.setdefault(relative.lower(), (relative, {}))[1]
            continue
        m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if m and current is not None:
            name = "" if m.group(1) == "@" else m.group(2).replace('\\"', '"').replace("\\\\", "\\")
            current[name.lower()] = (name, m.group(3))
    keys.pop("", None)
    return keys


def changes(before, after):
    """Keys and values that are new or different in after."""
    result = {}
    for lower, (key, values) in after.items():
        old = before.get(lower, (key, {}))[1]
        new = {n: v for n, v in values.items() if old.get(n) != v}
        if lower not in before or new:
            result[lower] = (key, new)
    return result


def without_bare_parents(keys):
    """Drops keys that only lead to others: created or not, they hold nothing
    of their own (Wine's uninstall may have deleted an empty parent that the
    next install creates again)."""
    return {k: v for k, v in keys.items()
            if v[1] or not any(other.startswith(k + "\\") for other in keys)}


def physical(keys):
    """Drops Wine's links: a Wow6432Node key outside the redirected set that
    mirrors the same key of the shared view."""
    result = {}
    for lower, (key, values) in keys.items():
        if lower.startswith(WOW):
            rest = lower[len(WOW):]
            if rest.split("\\", 1)[0] not in REDIRECTED and keys.get(rest, (None, None))[1] == values:
                continue
        result[lower] = (key, values)
    return result


def placed(keys, view):
    """The keys of one registration placed as 64-bit Windows places a program's
    keys of that view (32 or 64). A registration made by a 32-bit program
    (its class key under Wow6432Node) is read from there: Wine keeps all of
    such a program's class keys under Wow6432Node, the shared ones too."""
    if view == 32 and any(k.startswith(WOW + "clsid\\") for k in keys):
        keys = {k[len(WOW):]: (key[len(WOW):], values)
                for k, (key, values) in keys.items() if k.startswith(WOW)}
    result = {}
    for lower, (key, values) in keys.items():
        if lower.startswith(WOW):
            continue  # Wine's extra copies for the other view
        if view == 32 and lower.split("\\", 1)[0] in REDIRECTED:
            lower, key = WOW + lower, "Wow6432Node\\" + key
        result[lower] = (key, values)
    return result


def within(key, roots):
    return any(key == root or key.startswith(root + "\\") for root in roots)


def without_bookkeeping(keys):
    return {k: v for k, v in keys.items() if not within(k, BOOKKEEPING)}


def ours(keys):
    """Keys self-registration could have written."""
    return {k: v for k, v in without_bookkeeping(keys).items()
            if not within(k, PACKAGE_ONLY)}


def merge(target, source, origin, problems):
    for lower, (key, values) in source.items():
        merged = target.setdefault(lower, (key, {}))[1]
        for name, value in values.items():
            if name in merged and merged[name] != value and lower.rsplit("\\", 1)[-1] not in LAST_WINS:
                problems.append("%s\\%s: %s and %s disagree" % (key, value[0], origin, merged[name][1]))
            merged[name] = value


def describe(key, value):
    return "%s [%s] = %s" % (key, value[0] or "@", value[1])


def compare(msi, expected):
    """Lines naming every difference; empty when equal."""
    lines = []
    for lower in sorted(set(msi) | set(expected)):
        if lower not in msi:
            lines.append("missing from the package's install: key %s" % expected[lower][0])
            continue
        if lower not in expected:
            lines.append("only in the package's install: key %s" % msi[lower][0])
            continue
        key, got = msi[lower]
        want = expected[lower][1]
        for name in sorted(set(got) | set(want)):
            if got.get(name) != want.get(name):
                lines.append("%s: package %s, self-registration %s" % (
                    key, describe("", got[name]) if name in got else "nothing",
                    describe("", want[name]) if name in want else "nothing"))
    return lines


def main(argv):
    if len(argv) == 3 and argv[0] == "same":
        before, after = (without_bookkeeping(parse(p)) for p in argv[1:])
        differences = compare(after, before)
        for line in differences:
            print(line)
        print("%d keys compared, %d differ" % (len(set(before) | set(after)), len(differences)))
        return 1 if differences else 0
    if len(argv) in (5, 7) and argv[0] == "compare":
        snapshots = [parse(p) for p in argv[1:]]
        # Bare parents first: .bin\OpenWithList leads to the package's own entry only.
        msi = ours(without_bare_parents(physical(changes(snapshots[0], snapshots[1]))))
        expected, problems = {}, []
        # The 32-bit library as if registered last.
        if len(snapshots) == 6:
            merge(expected, placed(ours(changes(snapshots[4], snapshots[5])), 64), "64-bit registration", problems)
        merge(expected, placed(ours(changes(snapshots[2], snapshots[3])), 32), "32-bit registration", problems)
        expected = without_bare_parents(expected)
        differences = problems + compare(msi, expected)
        for line in differences:
            print(line)
        values = sum(len(v) for _, v in expected.values())
        print("%d keys and %d values compared, %d differences" % (len(expected), values, len(differences)))
        return 1 if differences or not expected else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
