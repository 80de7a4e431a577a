#!/usr/bin/env python3
"""Writes db/dri.tsv, the Dietary Reference Intakes loaded into REFNUTRDRI.

Usage: scripts/make-dri-data.py [--out FILE]

Values are those of the National Academies' DRI summary tables (Food and
Nutrition Board), laid out below one line per nutrient and sex over the
life-stage groups, as in the tables themselves:
- Recommended Dietary Allowances and Adequate Intakes: Elements, Vitamins,
  Total Water and Macronutrients (as updated in Appendix J of "Dietary
  Reference Intakes for Sodium and Potassium", 2019, which takes calcium from
  the 2011 report);
- Tolerable Upper Intake Levels: Elements, Vitamins;
- sodium: the 2019 report replaced its UL by the Chronic Disease Risk
  Reduction Intake (CDRR), kept here as the upper limit of kind CDRR.

Only nutrients of the food table (db/demo/NUTRIENTE.tsv) are written, each in
the unit of the catalogue (copper in mg: the table's ug / 1000). Upper limits
that do not apply to food are left out: magnesium (pharmacological agents
only), niacin (synthetic forms only); the vitamin A UL (preformed vitamin A)
goes with retinol, whose intake it limits, not with RAE, which counts
carotenoids too. Infants, pregnancy and lactation are not written: the
patient's record does not tell them apart.
"""

import argparse
import os

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Life-stage groups, ages in whole years, both ends included (999: and over).
CHILDREN = [(1, 3), (4, 8)]
ADULT_GROUPS = [(9, 13), (14, 18), (19, 30), (31, 50), (51, 70), (71, 999)]

# code, unit, kind of reference; per sex the reference and the upper limit
# (None: not determined) for 1-3, 4-8 (both sexes), then 9-13 ... 71+.
# Upper kind is "UL" unless given.
NUTRIENTS = [
    # Fibra alimentar (total fiber), AI, g/d
    ("008", "g", "AI", None, {
        "M": ([19, 25, 31, 38, 38, 38, 30, 30], None),
        "F": ([19, 25, 26, 26, 25, 25, 21, 21], None)}),
    # Cálcio, RDA, mg/d; UL mg/d
    ("010", "mg", "RDA", None, {
        "M": ([700, 1000, 1300, 1300, 1000, 1000, 1000, 1200], [2500, 2500, 3000, 3000, 2500, 2500, 2000, 2000]),
        "F": ([700, 1000, 1300, 1300, 1000, 1000, 1200, 1200], [2500, 2500, 3000, 3000, 2500, 2500, 2000, 2000])}),
    # Magnésio, RDA, mg/d (its UL is for supplements only)
    ("011", "mg", "RDA", None, {
        "M": ([80, 130, 240, 410, 400, 420, 420, 420], None),
        "F": ([80, 130, 240, 360, 310, 320, 320, 320], None)}),
    # Manganês, AI, mg/d; UL mg/d
    ("012", "mg", "AI", None, {
        "M": ([1.2, 1.5, 1.9, 2.2, 2.3, 2.3, 2.3, 2.3], [2, 3, 6, 9, 11, 11, 11, 11]),
        "F": ([1.2, 1.5, 1.6, 1.6, 1.8, 1.8, 1.8, 1.8], [2, 3, 6, 9, 11, 11, 11, 11])}),
    # Fósforo, RDA, mg/d; UL 3 g, 4 g (9-70 y), 3 g (71+)
    ("013", "mg", "RDA", None, {
        "M": ([460, 500, 1250, 1250, 700, 700, 700, 700], [3000, 3000, 4000, 4000, 4000, 4000, 4000, 3000]),
        "F": ([460, 500, 1250, 1250, 700, 700, 700, 700], [3000, 3000, 4000, 4000, 4000, 4000, 4000, 3000])}),
    # Ferro, RDA, mg/d; UL mg/d
    ("014", "mg", "RDA", None, {
        "M": ([7, 10, 8, 11, 8, 8, 8, 8], [40, 40, 40, 45, 45, 45, 45, 45]),
        "F": ([7, 10, 8, 15, 18, 18, 8, 8], [40, 40, 40, 45, 45, 45, 45, 45])}),
    # Sódio, AI, mg/d; CDRR mg/d
    ("015", "mg", "AI", "CDRR", {
        "M": ([800, 1000, 1200, 1500, 1500, 1500, 1500, 1500], [1200, 1500, 1800, 2300, 2300, 2300, 2300, 2300]),
        "F": ([800, 1000, 1200, 1500, 1500, 1500, 1500, 1500], [1200, 1500, 1800, 2300, 2300, 2300, 2300, 2300])}),
    # Potássio, AI, mg/d (no UL)
    ("016", "mg", "AI", None, {
        "M": ([2000, 2300, 2500, 3000, 3400, 3400, 3400, 3400], None),
        "F": ([2000, 2300, 2300, 2300, 2600, 2600, 2600, 2600], None)}),
    # Cobre, RDA ug/d -> mg/d; UL ug/d -> mg/d
    ("017", "mg", "RDA", None, {
        "M": ([0.34, 0.44, 0.7, 0.89, 0.9, 0.9, 0.9, 0.9], [1, 3, 5, 8, 10, 10, 10, 10]),
        "F": ([0.34, 0.44, 0.7, 0.89, 0.9, 0.9, 0.9, 0.9], [1, 3, 5, 8, 10, 10, 10, 10])}),
    # Zinco, RDA, mg/d; UL mg/d
    ("018", "mg", "RDA", None, {
        "M": ([3, 5, 8, 11, 11, 11, 11, 11], [7, 12, 23, 34, 40, 40, 40, 40]),
        "F": ([3, 5, 8, 9, 8, 8, 8, 8], [7, 12, 23, 34, 40, 40, 40, 40])}),
    # Retinol: only the UL of preformed vitamin A, ug/d; its requirement is
    # stated in RAE (021).
    ("019", "mcg", None, None, {
        "M": (None, [600, 900, 1700, 2800, 3000, 3000, 3000, 3000]),
        "F": (None, [600, 900, 1700, 2800, 3000, 3000, 3000, 3000])}),
    # Vitamina A (RAE), RDA, ug RAE/d
    ("021", "mcg", "RDA", None, {
        "M": ([300, 400, 600, 900, 900, 900, 900, 900], None),
        "F": ([300, 400, 600, 700, 700, 700, 700, 700], None)}),
    # Tiamina, RDA, mg/d (no UL)
    ("022", "mg", "RDA", None, {
        "M": ([0.5, 0.6, 0.9, 1.2, 1.2, 1.2, 1.2, 1.2], None),
        "F": ([0.5, 0.6, 0.9, 1.0, 1.1, 1.1, 1.1, 1.1], None)}),
    # Riboflavina, RDA, mg/d (no UL)
    ("023", "mg", "RDA", None, {
        "M": ([0.5, 0.6, 0.9, 1.3, 1.3, 1.3, 1.3, 1.3], None),
        "F": ([0.5, 0.6, 0.9, 1.0, 1.1, 1.1, 1.1, 1.1], None)}),
    # Piridoxina (vitamin B6), RDA, mg/d; UL mg/d
    ("024", "mg", "RDA", None, {
        "M": ([0.5, 0.6, 1.0, 1.3, 1.3, 1.3, 1.7, 1.7], [30, 40, 60, 80, 100, 100, 100, 100]),
        "F": ([0.5, 0.6, 1.0, 1.2, 1.3, 1.3, 1.5, 1.5], [30, 40, 60, 80, 100, 100, 100, 100])}),
    # Niacina, RDA, mg NE/d (its UL is for synthetic forms only)
    ("025", "mg", "RDA", None, {
        "M": ([6, 8, 12, 16, 16, 16, 16, 16], None),
        "F": ([6, 8, 12, 14, 14, 14, 14, 14], None)}),
    # Vitamina C, RDA, mg/d; UL mg/d
    ("026", "mg", "RDA", None, {
        "M": ([15, 25, 45, 75, 90, 90, 90, 90], [400, 650, 1200, 1800, 2000, 2000, 2000, 2000]),
        "F": ([15, 25, 45, 65, 75, 75, 75, 75], [400, 650, 1200, 1800, 2000, 2000, 2000, 2000])}),
]

COLUMNS = ["CDNUTRIENTE", "IDSEXOPACI", "NRIDADEINI", "NRIDADEFIM", "IDTIPOREF", "VRREFERENCIA",
           "IDTIPOLIMITE", "VRLIMITE", "SGUNIDADE"]

HEADER = [
    "# Generated by scripts/make-dri-data.py; edit the script, not this file.",
    "# Dietary Reference Intakes (DRI), Food and Nutrition Board, National Academies of Sciences,",
    "# Engineering, and Medicine (formerly Institute of Medicine): RDA/AI and UL summary tables;",
    "# sodium and potassium as revised in 2019 (sodium's upper limit is the CDRR).",
    "# Per day, in the unit of the nutrient in NUTRIENTE; ages in whole years (999: and over).",
]


def number(v):
    text = f"{v:.3f}".rstrip("0").rstrip(".")
    return text


def rows():
    out = []
    for code, unit, kind, upper_kind, by_sex in NUTRIENTS:
        for sex in ("M", "F"):
            refs, limits = by_sex[sex]
            for i, (lo, hi) in enumerate(CHILDREN + ADULT_GROUPS):
                ref = refs[i] if refs else None
                limit = limits[i] if limits else None
                if ref is None and limit is None:
                    continue
                out.append([code, sex, str(lo), str(hi), kind or "", "" if ref is None else number(ref),
                            "" if limit is None else (upper_kind or "UL"), "" if limit is None else number(limit),
                            unit])
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", default=os.path.join(REPO, "db", "dri.tsv"))
    args = parser.parse_args()
    for code, unit, kind, upper_kind, by_sex in NUTRIENTS:
        for sex, (refs, limits) in by_sex.items():
            for values in (refs, limits):
                assert values is None or len(values) == len(CHILDREN + ADULT_GROUPS), (code, sex)
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        for line in HEADER:
            f.write(line + "\n")
        f.write("\t".join(COLUMNS) + "\n")
        for row in rows():
            f.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
