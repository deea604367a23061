"""Edits of a Windows Installer database with msibuild, each checked after it
ran: msibuild reports nothing when an UPDATE matches no row (wixl may have
named a row otherwise, or left it out), so every edit says which row it
touches and what that row must hold afterwards, and apply() reads the touched
tables back with msiinfo and fails naming the first row that is not so.
"""

import subprocess


class EditError(Exception):
    pass


class Edit:
    """One statement. Afterwards the row of table whose columns equal key
    holds every column of expected (a value of None: that column is empty),
    or, with expected None, there is no such row. A table edit (CREATE,
    DROP) has no key: the table then exists, or not."""

    def __init__(self, sql, table, key=None, expected=None, table_exists=True):
        self.sql, self.table, self.key, self.expected, self.table_exists = sql, table, key, expected, table_exists

    def __str__(self):
        return self.sql


def quote(text):
    if "'" in text:
        raise EditError("no apostrophe may appear in a table value: %r" % text)
    return "'%s'" % text


def _literal(value):
    return str(value) if isinstance(value, int) else quote(value)


def insert(table, key_columns, **columns):
    """key_columns: the names of the columns that identify the row."""
    # The query parser knows no NULL literal: an empty column is left out.
    present = {c: v for c, v in columns.items() if v is not None}
    sql = "INSERT INTO `%s` (%s) VALUES (%s)" % (
        table, ", ".join("`%s`" % c for c in present), ", ".join(_literal(v) for v in present.values()))
    return Edit(sql, table, {c: columns[c] for c in key_columns}, columns)


def update(table, key, **columns):
    """key: {column: value} naming one row; columns: the values to set."""
    sql = "UPDATE `%s` SET %s WHERE %s" % (
        table, ", ".join("`%s` = %s" % (c, _literal(v)) for c, v in columns.items()),
        " AND ".join("`%s` = %s" % (c, _literal(v)) for c, v in key.items()))
    return Edit(sql, table, key, columns)


def delete(table, key):
    """By primary key: msibuild deletes only every other row that matches a
    column of another kind."""
    sql = "DELETE FROM `%s` WHERE %s" % (table, " AND ".join("`%s` = %s" % (c, _literal(v)) for c, v in key.items()))
    return Edit(sql, table, key, None)


def sequence(table, action, number, condition=None):
    return insert(table, ["Action"], Action=action, Sequence=number, Condition=condition)


def create_table(table, sql):
    return Edit(sql, table)


def drop_table(table):
    return Edit("DROP TABLE `%s`" % table, table, table_exists=False)


def _run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise EditError("%s failed (exit code %d):\n%s%s"
                        % (" ".join(command[:2]), result.returncode, result.stdout, result.stderr))
    return result.stdout


def tables(msi):
    return set(_run(["msiinfo", "tables", msi]).split())


def table_rows(msi, table):
    """[{column: value}], an empty column as ""."""
    lines = _run(["msiinfo", "export", msi, table]).splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def _text(value):
    return "" if value is None else str(value)


def check(msi, edits):
    """Raises EditError for the first edit whose row or table is not as it
    said. Where edits touch one row, the later value of a column counts."""
    present = tables(msi)
    wanted = {}  # (table, key) -> (key, {column: value}, the last edit)
    for edit in edits:
        if edit.table_exists and edit.table not in present:
            raise EditError("table %s is missing after: %s" % (edit.table, edit))
        if not edit.table_exists and edit.table in present:
            raise EditError("table %s is still there after: %s" % (edit.table, edit))
        if edit.key is not None:
            slot = (edit.table, tuple(sorted((c, _text(v)) for c, v in edit.key.items())))
            columns = wanted.get(slot, (None, {}, None))[1]
            columns = None if edit.expected is None else dict(columns or {}, **edit.expected)
            wanted[slot] = (edit.key, columns, edit)
    rows = {}
    for (table, _), (key, columns, edit) in wanted.items():
        if table not in rows:
            rows[table] = table_rows(msi, table)
        matches = [row for row in rows[table] if all(row.get(c) == _text(v) for c, v in key.items())]
        if columns is None:
            if matches:
                raise EditError("%s still holds the row %s after: %s" % (table, key, edit))
            continue
        if len(matches) != 1:
            raise EditError("%d rows of %s match %s after: %s" % (len(matches), table, key, edit))
        wrong = {c: matches[0].get(c) for c, v in columns.items() if matches[0].get(c) != _text(v)}
        if wrong:
            raise EditError("%s row %s holds %s after: %s" % (table, key, wrong, edit))


def apply(msi, edits):
    """Runs the edits in one msibuild call, then checks every one of them."""
    command = ["msibuild", msi]
    for edit in edits:
        command += ["-q", str(edit)]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0 or result.stdout.strip() or result.stderr.strip():
        raise EditError("msibuild failed (exit code %d):\n%s%s" % (result.returncode, result.stdout, result.stderr))
    check(msi, edits)
