#!/usr/bin/env python3
"""Loads db/schema.sql and db/demo/*.tsv into a fresh SQLite database, the way
the application's loader does, and checks what SQLite itself does not enforce
(column lengths, dates, codes, cross-table consistency).

Usage: scripts/check-demo-data.py [--dir db/demo] [--schema db/schema.sql]
Exits non-zero on the first load error or with the list of failed checks.
"""

import argparse
import hashlib
import os
import re
import sqlite3
import importlib.util
import sys
from decimal import Decimal

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The load order is the generator's.
_spec = importlib.util.spec_from_file_location("make_demo_data", os.path.join(REPO, "scripts", "make-demo-data.py"))
_generator = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_generator)
TABLES = _generator.TABLES
DEMO_PASSWORDS = {"DEMO": "demo", "NUTRI1": "nutri1"}
SURVEY_PATIENT = "000000000001"

problems = []


def problem(text):
    problems.append(text)


def schema_statements(text):
    """Statements end with ';' at the end of a line; '--' lines are comments."""
    statements, current = [], []
    for line in text.splitlines():
        if line.strip().startswith("--"):
            continue
        current.append(line)
        if line.rstrip().endswith(";"):
            statements.append("\n".join(current))
            current = []
    if "".join(current).strip():
        statements.append("\n".join(current))
    return statements


def column_types(schema):
    """{table: {column: (type, length)}} from the CREATE TABLE statements."""
    types = {}
    for m in re.finditer(r"CREATE TABLE (\w+) \((.*?)\n\);", schema, re.S):
        cols = {}
        for line in m.group(2).splitlines():
            c = re.match(r"\s+([A-Z0-9_]+)\s+(VARCHAR\((\d+)\)|INTEGER|DATE|DOUBLE PRECISION)", line)
            if c:
                kind = c.group(2).split("(")[0]
                cols[c.group(1)] = (kind, int(c.group(3)) if c.group(3) else None)
        types[m.group(1)] = cols
    return types


def read_tsv(path):
    columns, rows = None, []
    with open(path, encoding="utf-8", newline="") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n").rstrip("\r")
            if not line or line.startswith("#"):
                continue
            cells = line.split("\t")
            if columns is None:
                columns = cells
                continue
            if len(cells) != len(columns):
                sys.exit("%s:%d: %d cells, expected %d" % (path, number, len(cells), len(columns)))
            rows.append(cells)
    if columns is None:
        sys.exit("%s: no header line" % path)
    return columns, rows


def check_cells(table, columns, rows, types):
    for c in columns:
        if c not in types[table]:
            problem("%s: unknown column %s" % (table, c))
    for r in rows:
        for c, v in zip(columns, r):
            if v == "" or c not in types[table]:
                continue
            kind, length = types[table][c]
            if kind == "VARCHAR" and len(v) > length:
                problem("%s.%s longer than %d: %r" % (table, c, length, v))
            elif kind == "DATE" and not re.fullmatch(r"\d{4}-\d{2}-\d{2}", v):
                problem("%s.%s not a date: %r" % (table, c, v))
            elif kind == "INTEGER" and not re.fullmatch(r"-?\d+", v):
                problem("%s.%s not an integer: %r" % (table, c, v))
            elif kind == "DOUBLE" and not re.fullmatch(r"-?\d+(\.\d+)?", v):
                problem("%s.%s not a plain decimal: %r" % (table, c, v))


def load(directory, schema_path):
    schema = open(schema_path, encoding="utf-8").read()
    types = column_types(schema)
    db = sqlite3.connect(":memory:", isolation_level=None)
    db.execute("PRAGMA foreign_keys = ON")
    for st in schema_statements(schema):
        db.execute(st)
    db.execute("BEGIN")
    for table in TABLES:
        path = os.path.join(directory, table + ".tsv")
        if not os.path.exists(path):
            sys.exit("missing file: " + path)
        columns, rows = read_tsv(path)
        check_cells(table, columns, rows, types)
        sql = "INSERT INTO %s (%s) VALUES (%s)" % (table, ", ".join(columns), ", ".join("?" * len(columns)))
        for r in rows:
            try:
                db.execute(sql, [None if v == "" else v for v in r])
            except sqlite3.Error as e:
                sys.exit("%s: %s in row %r" % (table, e, r))
    db.execute("COMMIT")
    if db.execute("PRAGMA foreign_key_check").fetchall():
        problem("foreign_key_check reports violations")
    return db


def expect_none(db, what, sql, *args):
    rows = db.execute(sql, args).fetchall()
    if rows:
        problem("%s: %r%s" % (what, rows[:5], " ..." if len(rows) > 5 else ""))


def consistency(db):
    one = lambda sql, *a: db.execute(sql, a).fetchone()[0]

    # Operators: the documented demo passwords verify.
    for code, password in DEMO_PASSWORDS.items():
        stored = one("SELECT DSSENHA FROM OPERADOR WHERE CDOPERADOR = ?", code)
        _, iterations, salt, key = stored.split("$")
        got = hashlib.pbkdf2_hmac("sha256", password.encode(), bytes.fromhex(salt), int(iterations), 32).hex()
        if got != key:
            problem("password of %s does not verify" % code)

    # Patients: upper-case name, codes padded where the branch pads them.
    # Python's upper(): SQLite's only folds ASCII.
    for code, name, upper in db.execute("SELECT CDPACIENTE, NMPACIENTE, NMPACIUPPER FROM PACIENTE"):
        if upper != name.upper():
            problem("NMPACIUPPER of %s is not the upper-case name" % code)
    expect_none(db, "patients of a padding branch without 12 digits",
                "SELECT p.CDPACIENTE FROM PACIENTE p JOIN PARADIETO d ON d.CDFILIAL = p.CDFILIAL "
                "WHERE d.IDAJUSTAPACI = 'S' AND (length(p.CDPACIENTE) <> 12 OR p.CDPACIENTE GLOB '*[^0-9]*')")

    # Product tree shape per the mask 99.99.999.
    expect_none(db, "product code length does not match its level",
                "SELECT CDPRODUTO FROM PRODUTO WHERE length(CDARVPROD) <> "
                "CASE CDNVPRODUTO WHEN 1 THEN 2 WHEN 2 THEN 4 WHEN 3 THEN 7 ELSE -1 END "
                "OR CDARVPROD GLOB '*[^0-9]*'")
    expect_none(db, "node without parent",
                "SELECT c.CDARVPROD FROM PRODUTO c WHERE c.CDNVPRODUTO > 1 AND NOT EXISTS (SELECT 1 FROM PRODUTO p "
                "WHERE p.CDNVPRODUTO = c.CDNVPRODUTO - 1 AND p.CDARVPROD = substr(c.CDARVPROD, 1, "
                "CASE c.CDNVPRODUTO WHEN 2 THEN 2 ELSE 4 END))")
    expect_none(db, "product subgroup is not its level-2 parent",
                "SELECT CDPRODUTO FROM PRODUTO WHERE (CDNVPRODUTO = 3 AND (CDSUBGRPROD IS NULL OR "
                "CDSUBGRPROD <> substr(CDARVPROD, 1, 4))) OR (CDNVPRODUTO < 3 AND CDSUBGRPROD IS NOT NULL)")
    expect_none(db, "unit on group nodes or missing on products",
                "SELECT CDPRODUTO FROM PRODUTO WHERE (CDNVPRODUTO = 3) = (SGUNIDADE IS NULL)")
    expect_none(db, "duplicate product names", "SELECT NMPRODUTO FROM PRODUTO WHERE CDNVPRODUTO = 3 "
                "GROUP BY NMPRODUTO HAVING count(*) > 1")
    expect_none(db, "composition on group nodes", "SELECT DISTINCT n.CDPRODUTO FROM PRODNUTR n JOIN PRODUTO p "
                "ON p.CDPRODUTO = n.CDPRODUTO WHERE p.CDNVPRODUTO <> 3")
    expect_none(db, "negative composition", "SELECT * FROM PRODNUTR WHERE QTNUTRPROD < 0")
    expect_none(db, "products without a weighed measure",
                "SELECT CDPRODUTO FROM PRODUTO p WHERE CDNVPRODUTO = 3 AND NOT EXISTS (SELECT 1 FROM PRODMECA m "
                "WHERE m.CDPRODUTO = p.CDPRODUTO AND m.VRPESOMEDI > 0)")
    expect_none(db, "measures on group nodes", "SELECT m.CDPRODUTO FROM PRODMECA m JOIN PRODUTO p "
                "ON p.CDPRODUTO = m.CDPRODUTO WHERE p.CDNVPRODUTO <> 3")
    if one("SELECT count(*) FROM PRODMECA WHERE VRPESOMEDI IS NULL") == 0:
        problem("no product measure without weight")
    if one("SELECT count(*) FROM MEDIPRATO WHERE VRPESOMED IS NULL") == 0:
        problem("no dish measure without weight")

    # Dish tree per the mask 99.999.
    expect_none(db, "dish code length does not match its level",
                "SELECT CDPRATO FROM PRATO WHERE length(CDPRATO) <> CASE CDNVPRATO WHEN 1 THEN 2 WHEN 2 THEN 5 "
                "ELSE -1 END OR CDPRATO GLOB '*[^0-9]*'")
    expect_none(db, "dish without group", "SELECT CDPRATO FROM PRATO d WHERE CDNVPRATO = 2 AND NOT EXISTS "
                "(SELECT 1 FROM PRATO g WHERE g.CDNVPRATO = 1 AND g.CDPRATO = substr(d.CDPRATO, 1, 2))")
    expect_none(db, "dish owner unknown", "SELECT CDPRATO FROM PRATO WHERE CDFILAUXPRAT <> 'P' AND "
                "CDFILAUXPRAT NOT IN (SELECT CDFILIAL FROM FILIAL)")
    expect_none(db, "yield on a group or missing on a dish",
                "SELECT CDPRATO FROM PRATO WHERE (CDNVPRATO = 2) = (QTRENDPRATO IS NULL)")
    expect_none(db, "recipe on a group", "SELECT DISTINCT r.CDPRATO FROM PRATOPROD r JOIN PRATO d "
                "ON d.CDPRATO = r.CDPRATO WHERE d.CDNVPRATO <> 2")
    expect_none(db, "recipe of a group node product", "SELECT r.CDPRATO, r.CDPRODUTO FROM PRATOPROD r "
                "JOIN PRODUTO p ON p.CDPRODUTO = r.CDPRODUTO WHERE p.CDNVPRODUTO <> 3")
    expect_none(db, "dish without recipe or without weighed measure",
                "SELECT CDPRATO FROM PRATO d WHERE CDNVPRATO = 2 AND (NOT EXISTS (SELECT 1 FROM PRATOPROD r "
                "WHERE r.CDPRATO = d.CDPRATO) OR NOT EXISTS (SELECT 1 FROM MEDIPRATO m WHERE m.CDPRATO = "
                "d.CDPRATO AND m.VRPESOMED > 0))")
    expect_none(db, "yield above the sum of the ingredients",
                "SELECT d.CDPRATO, d.QTRENDPRATO, sum(r.QTPRODPRATO) FROM PRATO d JOIN PRATOPROD r "
                "ON r.CDPRATO = d.CDPRATO GROUP BY d.CDPRATO HAVING d.QTRENDPRATO > sum(r.QTPRODPRATO) + 1e-9")

    # Restrictions point at subgroups; interactions at existing nutrients.
    expect_none(db, "restriction on something else than a subgroup",
                "SELECT * FROM RESTDIAG WHERE CDSUBGRPROD NOT IN (SELECT CDARVPROD FROM PRODUTO "
                "WHERE CDNVPRODUTO = 2)")
    expect_none(db, "intolerance on a group node", "SELECT i.* FROM INTOLPROD i JOIN PRODUTO p "
                "ON p.CDPRODUTO = i.CDPRODUTO WHERE p.CDNVPRODUTO <> 3")
    expect_none(db, "ended before it started",
                "SELECT CDPACIENTE FROM PACIDIAG WHERE DTFIMDIAG < DTINIDIAG UNION ALL "
                "SELECT CDPACIENTE FROM PACIMEDIC WHERE DTFIMMEDIC < DTINIMEDIC")

    # Services: HHMM.
    expect_none(db, "bad service time", "SELECT * FROM SERVICO WHERE HRINICSERV IS NOT NULL AND NOT "
                "(length(HRINICSERV) = 4 AND substr(HRINICSERV, 1, 2) BETWEEN '00' AND '23' AND "
                "substr(HRINICSERV, 3, 2) BETWEEN '00' AND '59')")

    # Survey.
    expect_none(db, "survey of a patient of another branch", "SELECT i.* FROM INQUERPACI i JOIN PACIENTE p "
                "ON p.CDPACIENTE = i.CDPACIENTE WHERE p.CDFILIAL <> i.CDFILIAL")
    expect_none(db, "survey day outside its period",
                "SELECT h.* FROM HORAINQPACI h JOIN INQUERPACI i USING (CDFILIAL, CDPACIENTE, DTINIINQU) "
                "WHERE h.DTINQUERITO NOT BETWEEN i.DTINIINQU AND i.DTFININQU")
    expect_none(db, "item with another period end",
                "SELECT it.* FROM ITINQUERPACI it JOIN INQUERPACI i USING (CDFILIAL, CDPACIENTE, DTINIINQU) "
                "WHERE it.DTFININQU <> i.DTFININQU")
    expect_none(db, "item without its meal time",
                "SELECT it.* FROM ITINQUERPACI it WHERE NOT EXISTS (SELECT 1 FROM HORAINQPACI h WHERE "
                "h.CDFILIAL = it.CDFILIAL AND h.CDPACIENTE = it.CDPACIENTE AND h.DTINIINQU = it.DTINIINQU AND "
                "h.CDSERVFILI = it.CDSERVFILI AND h.DTINQUERITO = it.DTINQUERITO AND h.HRSERVINQ = it.HRSERVINQ)")
    expect_none(db, "bad sequence", "SELECT * FROM ITINQUERPACI WHERE length(NRSEQUINQUER) <> 3 OR "
                "NRSEQUINQUER GLOB '*[^0-9]*'")
    expect_none(db, "dish item with wrong owner or not available in the branch",
                "SELECT it.* FROM ITINQUERPACI it JOIN PRATO d ON d.CDPRATO = it.CDPRATO WHERE "
                "it.CDFILAUXPRAT IS NOT d.CDFILAUXPRAT OR d.CDFILAUXPRAT NOT IN ('P', it.CDFILIAL) OR d.CDNVPRATO <> 2")
    expect_none(db, "product item with an owner or on a group node",
                "SELECT it.* FROM ITINQUERPACI it JOIN PRODUTO p ON p.CDPRODUTO = it.CDPRODUTO WHERE "
                "it.CDFILAUXPRAT IS NOT NULL OR p.CDNVPRODUTO <> 3")
    # Portions x weight of the measure, compared exactly as decimals.
    rows = db.execute(
        "SELECT it.CDPACIENTE, it.DTINQUERITO, it.CDSERVFILI, it.NRSEQUINQUER, CAST(it.QTALIMMEDCAS AS TEXT), "
        "CAST(it.QTALIMINQUER AS TEXT), CAST(coalesce(pm.VRPESOMEDI, dm.VRPESOMED) AS TEXT) "
        "FROM ITINQUERPACI it LEFT JOIN PRODMECA pm ON it.IDTIPOINQUER = '0' AND pm.CDPRODUTO = it.CDPRODUTO "
        "AND pm.CDMEDICASE = it.CDMEDICASE LEFT JOIN MEDIPRATO dm ON it.IDTIPOINQUER = '1' AND "
        "dm.CDPRATO = it.CDPRATO AND dm.CDMEDICASE = it.CDMEDICASE").fetchall()
    for *key, portions, grams, weight in rows:
        if weight is None or Decimal(weight) <= 0:
            problem("item %r: measure not of the product/dish or without weight" % key)
        elif Decimal(portions) * Decimal(weight) != Decimal(grams):
            problem("item %r: %s x %s <> %s" % (key, portions, weight, grams))


NUTRIENT_OF_ITEMS = """
WITH per_gram AS (
  SELECT 'P' AS kind, CDPRODUTO AS ref, CDNUTRIENTE, QTNUTRPROD / 100.0 AS q FROM PRODNUTR
  UNION ALL
  SELECT 'D', d.CDPRATO, n.CDNUTRIENTE, sum(r.QTPRODPRATO * n.QTNUTRPROD / 100.0) / d.QTRENDPRATO
  FROM PRATO d JOIN PRATOPROD r ON r.CDPRATO = d.CDPRATO JOIN PRODNUTR n ON n.CDPRODUTO = r.CDPRODUTO
  GROUP BY d.CDPRATO, n.CDNUTRIENTE
)
SELECT it.DTINQUERITO, g.CDNUTRIENTE, sum(it.QTALIMINQUER * g.q)
FROM ITINQUERPACI it JOIN per_gram g
  ON (it.IDTIPOINQUER = '0' AND g.kind = 'P' AND g.ref = it.CDPRODUTO)
  OR (it.IDTIPOINQUER = '1' AND g.kind = 'D' AND g.ref = it.CDPRATO)
WHERE it.CDPACIENTE = ?
GROUP BY it.DTINQUERITO, g.CDNUTRIENTE
"""


def report(db):
    print("Rows per table:")
    for t in TABLES:
        print("  %-13s %6d" % (t, db.execute("SELECT count(*) FROM " + t).fetchone()[0]))
    p = db.execute("SELECT CDCALORIAS, CDPROTEINA, CDCARBOHIDRA, CDLIPIDIOS, CDALCOOL FROM PARAMGERAL").fetchone()
    names = ["kcal", "protein g", "carbohydrate g", "lipids g", "alcohol g"]
    extra = {"010": "calcium mg", "016": "potassium mg", "015": "sodium mg"}
    totals = {}
    for day, nutrient, q in db.execute(NUTRIENT_OF_ITEMS, (SURVEY_PATIENT,)):
        totals.setdefault(day, {})[nutrient] = q
    print("Intake of patient %s per survey day:" % SURVEY_PATIENT)
    print("  %-10s %s" % ("day", " ".join("%14s" % n for n in names + list(extra.values()))))
    for day in sorted(totals):
        codes = list(p) + list(extra)
        print("  %-10s %s" % (day, " ".join("%14.1f" % totals[day].get(c, 0.0) for c in codes)))
    items = db.execute("SELECT count(*), sum(QTALIMINQUER) FROM ITINQUERPACI WHERE CDPACIENTE = ?",
                       (SURVEY_PATIENT,)).fetchone()
    print("  %d items, %.0f g in total" % items)
    # The source table did not analyse these; their energy counts as nothing.
    missing = db.execute("SELECT CDPRODUTO || ' ' || NMPRODUTO FROM PRODUTO WHERE CDNVPRODUTO = 3 AND NOT EXISTS "
                         "(SELECT 1 FROM PRODNUTR n WHERE n.CDPRODUTO = PRODUTO.CDPRODUTO AND n.CDNUTRIENTE = "
                         "(SELECT CDCALORIAS FROM PARAMGERAL))").fetchall()
    print("Products without energy (not analysed in the source): " + "; ".join(m[0] for m in missing))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", default=os.path.join(REPO, "db", "demo"))
    parser.add_argument("--schema", default=os.path.join(REPO, "db", "schema.sql"))
    parser.add_argument("--quiet", action="store_true", help="only report problems")
    args = parser.parse_args()
    db = load(args.dir, args.schema)
    consistency(db)
    if problems:
        for p in problems:
            print("FAIL: " + p)
        sys.exit(1)
    if not args.quiet:
        report(db)
    print("demo data OK")


if __name__ == "__main__":
    main()
